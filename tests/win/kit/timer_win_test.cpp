// The timer on the system backend under a real message loop.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "core/error_handler.h"
#include "support/scoped_error_handler.h"
#include "core/exceptions.h"
#include "core/countdown.h"
#include "support/win_test_support.h"
#include "win/kit/timer_win.h"

namespace reprisa {
namespace {

using testing_support::PumpFor;
using testing_support::PumpUntil;

// A running system timer that counts its ticks in `ticks`.
std::unique_ptr<TTimer> CountingTimer(int interval, int& ticks) {
  auto timer = std::make_unique<TTimer>(NewWin32TimerBackend());
  timer->SetInterval(interval);
  timer->SetOnTimer([&ticks] { ++ticks; });
  return timer;
}

TEST(Win32Timer, TicksOnTheMessageLoop) {
  int ticks = 0;
  const auto timer = CountingTimer(30, ticks);
  ASSERT_TRUE(timer->Running());
  EXPECT_TRUE(PumpUntil([&] { return ticks >= 3; }, 5000)) << "ticks: " << ticks;
}

BOOL CALLBACK CloseIfMessageBox(HWND window, LPARAM) {
  if (testing_support::IsMessageBox(window)) PostMessageW(window, WM_COMMAND, IDOK, 0);
  return TRUE;
}

// Asks every message box of the given thread to close.
void CloseMessageBoxes(DWORD thread) { EnumThreadWindows(thread, &CloseIfMessageBox, 0); }

TEST(Win32Timer, TicksGoOnWhileAMessageBoxRunsItsOwnLoop) {
  // An error is reported in a message box; the countdown must not stand still behind it.
  const DWORD self = GetCurrentThreadId();
  TTimer timer(NewWin32TimerBackend());
  int ticks = 0;
  timer.SetInterval(30);
  timer.SetOnTimer([&] {
    if (++ticks == 4) CloseMessageBoxes(self);
  });
  // The guard that ends the box when the ticks never come runs on a thread of its own, so that
  // it does not depend on the timers under test.
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(done, nullptr);
  std::thread guard([&] {
    while (WaitForSingleObject(done, 5000) == WAIT_TIMEOUT) CloseMessageBoxes(self);
  });
  MessageBoxW(nullptr, L"Test", L"Test", MB_OK);
  SetEvent(done);
  guard.join();
  CloseHandle(done);
  EXPECT_GE(ticks, 4) << "the box was closed by the guard, not by the ticks";
}

TEST(Win32Timer, TimersTickEachOnTheirOwn) {
  int first_ticks = 0, second_ticks = 0, third_ticks = 0;
  const auto first = CountingTimer(20, first_ticks);
  {
    const auto second = CountingTimer(300, second_ticks);
    ASSERT_TRUE(PumpUntil([&] { return second_ticks >= 1; }, 5000));
    EXPECT_GE(first_ticks, 5) << "the faster timer ticks at its own rate";
  }
  const int second_seen = second_ticks;
  const int first_seen = first_ticks;
  EXPECT_TRUE(PumpUntil([&] { return first_ticks >= first_seen + 3; }, 5000))
      << "a timer goes on when another one ends";
  // A timer made after the other one ended must not get that one's ticks, even when the
  // system gives it the same id.
  const auto third = CountingTimer(10000, third_ticks);
  PumpFor(700);
  EXPECT_EQ(second_ticks, second_seen) << "an ended timer gets no tick";
  EXPECT_EQ(third_ticks, 0) << "a tick of an ended timer reached a new one";
}

TEST(Win32Timer, StoppedTimerDeliversNothing) {
  int stopped_ticks = 0, running_ticks = 0;
  const auto stopped = CountingTimer(20, stopped_ticks);
  const auto running = CountingTimer(20, running_ticks);
  stopped->SetEnabled(false);
  EXPECT_TRUE(PumpUntil([&] { return running_ticks >= 5; }, 5000));
  EXPECT_EQ(stopped_ticks, 0);
  running->SetInterval(0);
  const int seen = running_ticks;
  PumpFor(150);
  EXPECT_EQ(running_ticks, seen);
}

TEST(Win32Timer, RestartGivesTheFullIntervalAgain) {
  constexpr DWORD kInterval = 400;
  // Most of the interval passes, then the timer restarts: the first tick must wait a whole
  // interval from the restart, not just the rest of the first one. A loop that comes back too
  // late for the restart (a busy machine) sees the first tick instead, which must not be early;
  // then the run is tried again.
  for (int attempt = 1; attempt <= 5; ++attempt) {
    TTimer timer(NewWin32TimerBackend());
    DWORD fired_at = 0;
    timer.SetInterval(kInterval);
    timer.SetOnTimer([&] { fired_at = GetTickCount(); });
    const DWORD started_at = GetTickCount();
    PumpUntil([&] { return fired_at != 0 || GetTickCount() - started_at >= kInterval * 3 / 4; },
              kInterval * 3 / 4);
    if (fired_at != 0) {
      ASSERT_GE(fired_at - started_at, kInterval - 50) << "ticked before its interval";
      continue;
    }
    timer.Restart();
    const DWORD restarted_at = GetTickCount();
    ASSERT_TRUE(PumpUntil([&] { return fired_at != 0; }, 5000));
    EXPECT_GE(fired_at - restarted_at, kInterval - 50) << "attempt " << attempt;
    return;
  }
  FAIL() << "the message loop never came back before the first tick";
}

TEST(Win32Timer, ExceptionFromTheHandlerReachesTheErrorHandler) {
  TObject* sender = nullptr;
  std::wstring text;
  int reports = 0;
  {
    testing_support::ScopedErrorHandler handler([&](TObject* s) {
      sender = s;
      text = ClassifyException(nullptr).text;
      ++reports;
    });
    TTimer timer(NewWin32TimerBackend());
    timer.SetInterval(20);
    timer.SetOnTimer([] { throw EConvertError(L"''x'' is not a valid time"); });
    EXPECT_TRUE(PumpUntil([&] { return reports >= 2; }, 5000)) << "reports: " << reports;
    EXPECT_EQ(sender, &timer);
    EXPECT_TRUE(timer.Running()) << "the timer keeps ticking after a failed tick";
  }
  EXPECT_EQ(text, L"''x'' is not a valid time.");
}

TEST(Win32Timer, ScheduleCountsDownOnTheSystemTickCount) {
  TTimer timer(NewWin32TimerBackend());
  timer.SetOnTimer([] {});
  ReloadSchedule schedule(timer, SystemTickSource(), LocaleSettings{});
  EXPECT_EQ(schedule.ApplyIntervalText(L"00:02"), L"00:02");
  EXPECT_EQ(timer.Interval(), 2000);
  const DWORD start = GetTickCount();
  EXPECT_TRUE(PumpUntil([&] { return schedule.CountdownText() == L"00:00"; }, 3000));
  EXPECT_GE(GetTickCount() - start, 900u) << "counted down faster than the clock";
}

}  // namespace
}  // namespace reprisa
