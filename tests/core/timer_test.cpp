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

// A fresh timer on a recording backend: Interval 1000, Enabled, no handler yet.
class Timer : public testing::Test {
 protected:
  BackendLog log;
  TTimer timer{Recording(log)};
};

struct RearmRow {
  const char* name;
  std::function<void(TTimer&)> act;
  Calls expected;
  bool running_after;
};

// Each row starts from a running timer (Interval 1000, Enabled, a handler set).
class TimerRearm : public Timer, public testing::WithParamInterface<RearmRow> {};

TEST_P(TimerRearm, KillsAndCreatesAsTheRulesSay) {
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

TEST_F(Timer, StartsWithDefaultsAndTicksOnlyOnceAHandlerIsSet) {
  EXPECT_EQ(log.bound, &timer);
  EXPECT_EQ(timer.Interval(), 1000);
  EXPECT_TRUE(timer.Enabled());
  EXPECT_FALSE(timer.OnTimer());
  timer.SetInterval(180000);
  EXPECT_TRUE(log.calls.empty());
  timer.SetOnTimer([] {});
  EXPECT_EQ(log.calls, Calls({"start 180000"}));
}

TEST_F(Timer, LoadingDefersArmingUntilLoaded) {
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

TEST_F(Timer, LoadedWithoutAHandlerStaysStopped) {
  timer.BeginLoading();
  timer.SetInterval(5000);
  timer.Loaded();
  EXPECT_TRUE(log.calls.empty());
  EXPECT_FALSE(timer.Running());
}

TEST_F(Timer, RefusedTimerRaisesAndLeavesTheTimerStopped) {
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

TEST_F(Timer, RefusedTimerDeliversNoTicks) {
  BackendLog refusing;
  refusing.refuse = true;
  TTimer refused(Recording(refusing));
  int ticks = 0;
  EXPECT_THROW(refused.SetOnTimer([&] { ++ticks; }), EOutOfResources);
  refused.Tick();
  EXPECT_EQ(ticks, 0);
}

TEST_F(Timer, DestructionKillsOnlyARunningTimer) {
  BackendLog running;
  {
    TTimer t(Recording(running));
    t.SetOnTimer([] {});
  }
  EXPECT_EQ(running.calls, Calls({"start 1000", "stop"}));
  EXPECT_TRUE(running.destroyed);

  BackendLog stopped;
  {
    TTimer t(Recording(stopped));
  }
  EXPECT_TRUE(stopped.calls.empty());
}

TEST_F(Timer, TickCallsTheHandlerOnlyWhileRunning) {
  int ticks = 0;
  timer.SetOnTimer([&] { ++ticks; });
  timer.Tick();
  timer.Tick();
  EXPECT_EQ(ticks, 2);
  timer.SetEnabled(false);
  timer.Tick();  // a tick that was already on its way when the timer stopped
  EXPECT_EQ(ticks, 2);
}

TEST_F(Timer, HandlerMayReplaceItselfWhileRunning) {
  std::string seen;
  timer.SetOnTimer([&, marker = std::string("first")] {
    timer.SetOnTimer(nullptr);  // destroys the stored handler while it runs
    seen = marker;
  });
  timer.Tick();
  EXPECT_EQ(seen, "first");
  EXPECT_FALSE(timer.Running());
}

TEST_F(Timer, HandlerExceptionReachesTheErrorHandlerWithTheTimerAsSender) {
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

TEST_F(Timer, DelayedTickComesOnceThenTheIntervalResumes) {
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

TEST_F(Timer, HandlerMayDelayItsOwnNextTick) {
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

TEST_F(Timer, DelayDoesNothingWhileTheTimerDoesNotRunAndAPropertyDropsIt) {
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

TEST_F(Timer, RefusedDelayRaisesAndLeavesTheTimerStopped) {
  int ticks = 0;
  timer.SetOnTimer([&] { ++ticks; });
  log.refuse = true;
  EXPECT_THROW(timer.DelayNextTick(500), EOutOfResources);
  EXPECT_FALSE(timer.Running());
  timer.Tick();
  EXPECT_EQ(ticks, 0);
}

TEST_F(Timer, RejectsAMissingBackend) {
  EXPECT_THROW(TTimer t(nullptr), std::invalid_argument);
}

}  // namespace
}  // namespace reprisa
