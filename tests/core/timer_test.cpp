// The timer's re-arm rules against a recording backend, ticks and their failures.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/error_handler.h"
#include "core/exceptions.h"
#include "core/timer.h"
#include "timer_fakes.h"

namespace reprisa {
namespace {

using testing_support::BackendLog;
using testing_support::Recording;
using Calls = std::vector<std::string>;

struct RearmRow {
  const char* name;
  std::function<void(TTimer&)> act;
  Calls expected;
  bool running_after;
};

// Each row starts from a running timer (Interval 1000, Enabled, a handler set).
class TimerRearm : public testing::TestWithParam<RearmRow> {};

TEST_P(TimerRearm, KillsAndCreatesAsTheRulesSay) {
  BackendLog log;
  TTimer timer(Recording(log));
  timer.SetOnTimer([] {});
  ASSERT_EQ(log.calls, Calls({"start 1000"}));
  log.calls.clear();

  GetParam().act(timer);
  EXPECT_EQ(log.calls, GetParam().expected);
  EXPECT_EQ(timer.Running(), GetParam().running_after);
}

const RearmRow kRearmRows[] = {
    {"SameInterval", [](TTimer& t) { t.SetInterval(1000); }, {}, true},
    {"NewInterval", [](TTimer& t) { t.SetInterval(2000); }, {"stop", "start 2000"}, true},
    {"NewIntervalTwice", [](TTimer& t) { t.SetInterval(2000); t.SetInterval(2000); },
     {"stop", "start 2000"}, true},
    {"ZeroInterval", [](TTimer& t) { t.SetInterval(0); }, {"stop"}, false},
    {"ZeroThenPositive", [](TTimer& t) { t.SetInterval(0); t.SetInterval(500); },
     {"stop", "start 500"}, true},
    {"NegativeInterval", [](TTimer& t) { t.SetInterval(-5); }, {"stop"}, false},
    {"EnabledAgain", [](TTimer& t) { t.SetEnabled(true); }, {}, true},
    {"Disabled", [](TTimer& t) { t.SetEnabled(false); }, {"stop"}, false},
    {"DisabledTwice", [](TTimer& t) { t.SetEnabled(false); t.SetEnabled(false); }, {"stop"},
     false},
    {"IntervalWhileDisabled", [](TTimer& t) { t.SetEnabled(false); t.SetInterval(3000); },
     {"stop"}, false},
    {"Restart", [](TTimer& t) { t.Restart(); }, {"stop", "start 1000"}, true},
    {"RestartWhileDisabled", [](TTimer& t) { t.SetEnabled(false); t.Restart(); },
     {"stop", "start 1000"}, true},
    {"RestartWithZeroInterval", [](TTimer& t) { t.SetInterval(0); t.Restart(); }, {"stop"},
     false},
    {"NewHandler", [](TTimer& t) { t.SetOnTimer([] {}); }, {"stop", "start 1000"}, true},
    {"HandlerCleared", [](TTimer& t) { t.SetOnTimer(nullptr); }, {"stop"}, false},
    {"HandlerClearedThenSet", [](TTimer& t) { t.SetOnTimer(nullptr); t.SetOnTimer([] {}); },
     {"stop", "start 1000"}, true},
};
INSTANTIATE_TEST_SUITE_P(Rules, TimerRearm, testing::ValuesIn(kRearmRows),
                         [](const testing::TestParamInfo<RearmRow>& info) {
                           return std::string(info.param.name);
                         });

TEST(Timer, StartsWithDefaultsAndTicksOnlyOnceAHandlerIsSet) {
  BackendLog log;
  TTimer timer(Recording(log));
  EXPECT_EQ(log.bound, &timer);
  EXPECT_EQ(timer.Interval(), 1000);
  EXPECT_TRUE(timer.Enabled());
  EXPECT_FALSE(timer.OnTimer());
  timer.SetInterval(180000);
  EXPECT_TRUE(log.calls.empty());
  timer.SetOnTimer([] {});
  EXPECT_EQ(log.calls, Calls({"start 180000"}));
}

TEST(Timer, LoadingDefersArmingUntilLoaded) {
  BackendLog log;
  TTimer timer(Recording(log));
  timer.BeginLoading();
  timer.SetInterval(180000);
  timer.SetOnTimer([] {});
  timer.SetEnabled(false);
  timer.SetEnabled(true);
  EXPECT_TRUE(log.calls.empty());
  EXPECT_FALSE(timer.Running());
  timer.Loaded();
  EXPECT_FALSE(timer.Loading());
  EXPECT_EQ(log.calls, Calls({"start 180000"}));
  EXPECT_TRUE(timer.Running());
}

TEST(Timer, LoadedWithoutAHandlerStaysStopped) {
  BackendLog log;
  TTimer timer(Recording(log));
  timer.BeginLoading();
  timer.SetInterval(5000);
  timer.Loaded();
  EXPECT_TRUE(log.calls.empty());
  EXPECT_FALSE(timer.Running());
}

TEST(Timer, RefusedTimerRaisesAndLeavesTheTimerStopped) {
  BackendLog log;
  TTimer timer(Recording(log));
  timer.SetOnTimer([] {});
  log.calls.clear();
  log.refuse = true;
  try {
    timer.SetInterval(2000);
    FAIL() << "a refused timer must raise";
  } catch (const EOutOfResources& e) {
    EXPECT_EQ(e.Message(), L"Not enough timers available");
  }
  EXPECT_FALSE(timer.Running());
  EXPECT_EQ(timer.Interval(), 2000);
  EXPECT_EQ(log.calls, Calls({"stop", "start 2000"}));

  // Nothing runs, so the next re-arm kills nothing; once the system agrees, it runs again.
  log.calls.clear();
  log.refuse = false;
  timer.Restart();
  EXPECT_EQ(log.calls, Calls({"start 2000"}));
  EXPECT_TRUE(timer.Running());
}

TEST(Timer, RefusedTimerDeliversNoTicks) {
  BackendLog log;
  log.refuse = true;
  TTimer timer(Recording(log));
  int ticks = 0;
  EXPECT_THROW(timer.SetOnTimer([&] { ++ticks; }), EOutOfResources);
  timer.Tick();
  EXPECT_EQ(ticks, 0);
}

TEST(Timer, DestructionKillsOnlyARunningTimer) {
  BackendLog running;
  {
    TTimer timer(Recording(running));
    timer.SetOnTimer([] {});
  }
  EXPECT_EQ(running.calls, Calls({"start 1000", "stop"}));
  EXPECT_TRUE(running.destroyed);

  BackendLog stopped;
  {
    TTimer timer(Recording(stopped));
  }
  EXPECT_TRUE(stopped.calls.empty());
}

TEST(Timer, TickCallsTheHandlerOnlyWhileRunning) {
  BackendLog log;
  TTimer timer(Recording(log));
  int ticks = 0;
  timer.SetOnTimer([&] { ++ticks; });
  timer.Tick();
  timer.Tick();
  EXPECT_EQ(ticks, 2);
  timer.SetEnabled(false);
  timer.Tick();  // a tick that was already on its way when the timer stopped
  EXPECT_EQ(ticks, 2);
}

TEST(Timer, HandlerMayReplaceItselfWhileRunning) {
  BackendLog log;
  TTimer timer(Recording(log));
  std::string seen;
  timer.SetOnTimer([&, marker = std::string("first")] {
    timer.SetOnTimer(nullptr);  // destroys the stored handler while it runs
    seen = marker;
  });
  timer.Tick();
  EXPECT_EQ(seen, "first");
  EXPECT_FALSE(timer.Running());
}

TEST(Timer, HandlerExceptionReachesTheErrorHandlerWithTheTimerAsSender) {
  BackendLog log;
  TTimer timer(Recording(log));
  timer.SetOnTimer([] { throw EConvertError(L"tick failed"); });
  EXPECT_THROW(timer.Tick(), EConvertError);

  TObject* sender = nullptr;
  std::wstring text;
  ErrorHandler previous = SetErrorHandler([&](TObject* s) {
    sender = s;
    text = ClassifyException(nullptr).text;
  });
  timer.DeliverTick();
  SetErrorHandler(std::move(previous));
  EXPECT_EQ(sender, &timer);
  EXPECT_EQ(text, L"tick failed.");
  EXPECT_TRUE(timer.Running());
}

TEST(Timer, DelayedTickComesOnceThenTheIntervalResumes) {
  BackendLog log;
  TTimer timer(Recording(log));
  int ticks = 0;
  timer.SetOnTimer([&] { ++ticks; });
  log.calls.clear();
  timer.DelayNextTick(500);
  EXPECT_EQ(log.calls, Calls({"stop", "start 500"}));
  EXPECT_EQ(timer.Interval(), 1000);
  EXPECT_TRUE(timer.Running());
  timer.Tick();
  EXPECT_EQ(ticks, 1);
  EXPECT_EQ(log.calls, Calls({"stop", "start 500", "stop", "start 1000"}));
  timer.Tick();
  EXPECT_EQ(ticks, 2);
  EXPECT_EQ(log.calls.size(), 4u) << "the interval runs on without re-arming";
}

TEST(Timer, HandlerMayDelayItsOwnNextTick) {
  BackendLog log;
  TTimer timer(Recording(log));
  std::uint32_t next = 700;
  timer.SetOnTimer([&] { timer.DelayNextTick(next++); });
  timer.DelayNextTick(300);
  log.calls.clear();
  timer.Tick();
  timer.Tick();
  EXPECT_EQ(log.calls,
            Calls({"stop", "start 1000", "stop", "start 700", "stop", "start 1000", "stop",
                   "start 701"}));
}

TEST(Timer, DelayDoesNothingWhileTheTimerDoesNotRunAndAPropertyDropsIt) {
  BackendLog log;
  TTimer timer(Recording(log));
  timer.DelayNextTick(500);  // no handler yet
  timer.SetOnTimer([] {});
  timer.SetEnabled(false);
  timer.DelayNextTick(500);
  EXPECT_EQ(log.calls, Calls({"start 1000", "stop"}));
  EXPECT_FALSE(timer.Running());

  timer.SetEnabled(true);
  timer.DelayNextTick(250);
  timer.SetInterval(2000);  // a re-arm through a property gives the full new interval
  log.calls.clear();
  timer.Tick();
  EXPECT_TRUE(log.calls.empty()) << "no delay is left to undo";
}

TEST(Timer, RefusedDelayRaisesAndLeavesTheTimerStopped) {
  BackendLog log;
  TTimer timer(Recording(log));
  int ticks = 0;
  timer.SetOnTimer([&] { ++ticks; });
  log.refuse = true;
  EXPECT_THROW(timer.DelayNextTick(500), EOutOfResources);
  EXPECT_FALSE(timer.Running());
  timer.Tick();
  EXPECT_EQ(ticks, 0);
}

TEST(Timer, RejectsAMissingBackend) {
  EXPECT_THROW(TTimer timer(nullptr), std::invalid_argument);
}

}  // namespace
}  // namespace reprisa
