// The reload schedule: applying interval texts, restarting, reload stamps and the countdown text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/exceptions.h"
#include "core/countdown.h"
#include "timer_fakes.h"

namespace reprisa {
namespace {

using testing_support::BackendLog;
using testing_support::FakeTicks;
using testing_support::Recording;
using Calls = std::vector<std::string>;

const LocaleSettings kGerman{L':', L',', L"", L""};

// The reload timer as the main window sets it up: 180000 ms, enabled, with a handler.
class Schedule : public testing::Test {
 protected:
  Schedule() : timer(Recording(log)), schedule(timer, ticks, kGerman) {
    timer.SetInterval(180000);
    timer.SetOnTimer([] {});
    ticks.now = 1000;
    schedule.Stamp();
    log.calls.clear();
  }

  BackendLog log;
  FakeTicks ticks;
  TTimer timer;
  ReloadSchedule schedule;
};

TEST_F(Schedule, ApplyingATextSetsTheIntervalRestartsAndStamps) {
  ticks.now = 50000;
  EXPECT_EQ(schedule.ApplyIntervalText(L"04:30"), L"04:30");
  EXPECT_EQ(timer.Interval(), 270000);
  EXPECT_EQ(log.calls, Calls({"stop", "start 270000", "stop", "start 270000"}));
  EXPECT_EQ(schedule.LastTimer(), 50000u);
  EXPECT_EQ(schedule.CountdownText(50000), L"04:30");
  EXPECT_EQ(schedule.CountdownText(50001), L"04:29");
  EXPECT_EQ(schedule.CountdownText(50000 + 269999), L"00:00");
}

TEST_F(Schedule, ReturnsTheTimeTextOfTheIntervalNotTheTypedText) {
  EXPECT_EQ(schedule.ApplyIntervalText(L"  3 : 5 "), L"03:05");
  EXPECT_EQ(schedule.ApplyIntervalText(L"PM 1:00:59,5"), L"13:00");
}

TEST_F(Schedule, InvalidTextRaisesBeforeAnythingChanges) {
  ticks.now = 99999;
  try {
    schedule.ApplyIntervalText(L"xyz");
    FAIL() << "an invalid text must raise";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), L"''xyz'' is not a valid time");
  }
  EXPECT_EQ(timer.Interval(), 180000);
  EXPECT_TRUE(timer.Running());
  EXPECT_TRUE(log.calls.empty());
  EXPECT_EQ(schedule.LastTimer(), 1000u);
}

TEST_F(Schedule, SameTextTwiceStillRestartsTheCountdown) {
  ticks.now = 2000;
  schedule.ApplyIntervalText(L"03:00");
  EXPECT_EQ(log.calls, Calls({"stop", "start 180000"}));
  log.calls.clear();
  ticks.now = 62000;
  schedule.ApplyIntervalText(L"03:00");
  EXPECT_EQ(log.calls, Calls({"stop", "start 180000"}));
  EXPECT_EQ(schedule.LastTimer(), 62000u);
  EXPECT_EQ(schedule.CountdownText(62000), L"03:00");
}

TEST_F(Schedule, ZeroIntervalStopsTheTimerAndTheCountdownGoesNegative) {
  ticks.now = 10000;
  EXPECT_EQ(schedule.ApplyIntervalText(L"00:00"), L"00:00");
  EXPECT_FALSE(timer.Running());
  EXPECT_EQ(log.calls, Calls({"stop"}));
  EXPECT_EQ(schedule.CountdownText(10999), L"00:00");
  EXPECT_EQ(schedule.CountdownText(11000), L"00:-1");
  EXPECT_EQ(schedule.CountdownText(69000), L"00:-59");
  EXPECT_EQ(schedule.CountdownText(70000), L"-1:00");
  EXPECT_EQ(schedule.CountdownText(71000), L"-1:-1");
}

TEST_F(Schedule, RestartCountdownGivesTheFullIntervalFromNow) {
  ticks.now = 91000;
  EXPECT_EQ(schedule.CountdownText(), L"01:30");
  schedule.RestartCountdown();
  EXPECT_EQ(log.calls, Calls({"stop", "start 180000"}));
  EXPECT_EQ(schedule.LastTimer(), 91000u);
  EXPECT_EQ(schedule.CountdownText(), L"03:00");
}

TEST_F(Schedule, NoteReloadOnlyStamps) {
  ticks.now = 181000;
  schedule.NoteReload();
  EXPECT_TRUE(log.calls.empty());
  EXPECT_EQ(schedule.LastTimer(), 181000u);
  EXPECT_EQ(schedule.CountdownText(182500), L"02:58");
}

TEST_F(Schedule, CountdownStaysRightAcrossTheTickCountWrap) {
  ticks.now = 0xFFFFFC18u;  // one second before the wrap
  schedule.RestartCountdown();
  EXPECT_EQ(schedule.CountdownText(0xFFFFFFFFu), L"02:59");
  EXPECT_EQ(schedule.CountdownText(500u), L"02:58");
  EXPECT_EQ(schedule.CountdownText(179000u), L"00:00");
  EXPECT_EQ(schedule.CountdownText(180000u), L"00:-1");
}

TEST_F(Schedule, RefusedTimerWhileApplyingRaisesOutOfResources) {
  log.refuse = true;
  ticks.now = 5000;
  EXPECT_THROW(schedule.ApplyIntervalText(L"04:30"), EOutOfResources);
  EXPECT_FALSE(timer.Running());
  EXPECT_EQ(schedule.LastTimer(), 1000u);
}

TEST(ScheduleLocale, ReadsTextsUnderTheProcessLocaleByDefault) {
  const LocaleSettings saved = CurrentLocaleSettings();
  SetCurrentLocaleSettings({L'.', L',', L"", L""});
  BackendLog log;
  FakeTicks ticks;
  TTimer timer(Recording(log));
  ReloadSchedule schedule(timer, ticks);
  SetCurrentLocaleSettings(saved);
  EXPECT_EQ(schedule.ApplyIntervalText(L"4.30"), L"04:30");
  EXPECT_THROW(schedule.ApplyIntervalText(L"4:30"), EConvertError);
}

}  // namespace
}  // namespace reprisa
