// The reload schedule: applying interval texts, restarting, reload stamps and the countdown text.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "core/exceptions.h"
#include "core/countdown.h"
#include "timer_fakes.h"

namespace reprisa {
namespace {

using namespace testing_support;

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
  // The countdown text at each tick count.
  void ExpectCountdown(std::initializer_list<std::pair<std::uint32_t, const wchar_t*>> shown) {
    for (const auto& [now, text] : shown) EXPECT_EQ(schedule.CountdownText(now), text) << now;
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
  ExpectCountdown({{50000, L"04:30"}, {50001, L"04:29"}, {50000 + 269999, L"00:00"}});
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
  ExpectCountdown({{10999, L"00:00"}, {11000, L"00:-1"}, {69000, L"00:-59"}, {70000, L"-1:00"},
                   {71000, L"-1:-1"}});
}

TEST_F(Schedule, RestartCountdownGivesTheFullIntervalFromNow) {
  ticks.now = 91000;
  EXPECT_EQ(schedule.CountdownText(), L"01:30");
  schedule.RestartCountdown();
  EXPECT_EQ(log.calls, Calls({"stop", "start 180000"}));
  EXPECT_EQ(schedule.LastTimer(), 91000u);
  EXPECT_EQ(schedule.CountdownText(), L"03:00");
}

TEST_F(Schedule, StampOnlyStamps) {
  ticks.now = 181000;
  schedule.Stamp();
  EXPECT_TRUE(log.calls.empty());
  EXPECT_EQ(schedule.LastTimer(), 181000u);
  EXPECT_EQ(schedule.CountdownText(182500), L"02:58");
}

TEST_F(Schedule, CountdownStaysRightAcrossTheTickCountWrap) {
  ticks.now = 0xFFFFFC18u;  // one second before the wrap
  schedule.RestartCountdown();
  ExpectCountdown({{0xFFFFFFFFu, L"02:59"}, {500u, L"02:58"}, {179000u, L"00:00"},
                   {180000u, L"00:-1"}});
}

TEST_F(Schedule, RefusedTimerWhileApplyingRaisesOutOfResources) {
  log.refuse = true;
  ticks.now = 5000;
  EXPECT_THROW(schedule.ApplyIntervalText(L"04:30"), EOutOfResources);
  EXPECT_FALSE(timer.Running());
  EXPECT_EQ(schedule.LastTimer(), 1000u);
}

struct DelayRow {
  const char* what;
  std::int32_t interval;
  std::uint32_t lasttimer;
  std::uint32_t now;
  std::uint32_t delay;
};

// Display ticks fall where the remaining time reads x.500 s, at least 250 ms ahead.
const DelayRow kDelayRows[] = {
    {"at the stamp", 180000, 1000, 1000, 500},
    {"1 ms after the stamp", 180000, 1000, 1001, 499},
    {"a quarter second after the stamp", 180000, 1000, 1250, 250},
    {"just under a quarter second before the mid-point", 180000, 1000, 1251, 1249},
    {"on the mid-point", 180000, 1000, 1500, 1000},
    {"10 ms early for the mid-point", 180000, 1000, 1490, 1010},
    {"10 ms late for the mid-point", 180000, 1000, 1510, 990},
    {"just before a boundary", 180000, 1000, 1999, 501},
    {"on a boundary", 180000, 1000, 2000, 500},
    {"the last mid-point before zero", 180000, 1000, 180500, 1000},
    {"at zero", 180000, 1000, 181000, 500},
    {"past zero, boundaries at whole negative seconds", 180000, 1000, 181700, 800},
    {"an interval of no whole seconds", 1234, 0, 0, 734},
    {"a zero interval", 0, 5000, 5000, 500},
    {"a negative interval", -1500, 0, 0, 1000},
    {"the tick count wrapped since the stamp", 180000, 0xFFFFFE0Cu, 0u, 1000},
    {"stamped 1 ms before the wrap", 180000, 0xFFFFFFFFu, 0u, 499},
    {"the tick count half a range on", 0, 0, 0x7FFFFFFFu, 853},
    {"the remaining time at the bottom of its range", INT32_MIN, 0, 0, 852},
    {"the remaining time at the top of its range", INT32_MAX, 0, 0, 1147},
};

TEST(DisplayTick, FallsHalfWayBetweenTheCountdownsSecondBoundaries) {
  for (const DelayRow& row : kDelayRows)
    EXPECT_EQ(DisplayTickDelay(row.interval, row.now, row.lasttimer), row.delay) << row.what;
}

// Whatever the schedule's stamp, the tick it asks for reads the middle of a second.
TEST(DisplayTick, EveryDelayLandsOnAMidPointAtLeastAQuarterSecondAhead) {
  for (std::uint32_t lasttimer : {0u, 777u, 0xFFFFFC00u})
    for (std::uint32_t elapsed = 0; elapsed < 5000; elapsed += 7) {
      const std::uint32_t now = lasttimer + elapsed;
      const std::uint32_t delay = DisplayTickDelay(180000, now, lasttimer);
      EXPECT_GE(delay, kMinDisplayTickDelay) << elapsed;
      EXPECT_LT(delay, kMinDisplayTickDelay + 1000) << elapsed;
      EXPECT_EQ(RemainingTime(180000, now + delay, lasttimer) % 1000, 500) << elapsed;
    }
}

// The main window's rhythm: the display tick re-armed with the delay after each tick and after each
// reload, both arriving with timer jitter, shows every second once, across reloads and the wrap
// of the tick count.
TEST_F(Schedule, DisplayTicksShowEverySecondOnceDespiteJitter) {
  const int jitter[] = {0, 16, -15, 31, 3, -1, 47, 15, -8, 60};
  ticks.now = 0xFFFF0000u;
  schedule.RestartCountdown();
  // The reload timer keeps its own period from the restart and comes 3 ms late each time.
  std::uint32_t reload_due = ticks.now + 180003;
  std::uint32_t due = ticks.now + schedule.NextDisplayTickDelay();
  std::vector<std::wstring> shown;
  for (int i = 0; shown.size() < 400; ++i) {
    const std::uint32_t at = due + static_cast<std::uint32_t>(jitter[i % 10]);
    if (static_cast<std::int32_t>(at - reload_due) >= 0) {
      ticks.now = reload_due;
      schedule.Stamp();
      reload_due += 180000;
    } else {
      ticks.now = at;
      shown.push_back(schedule.CountdownText());
    }
    due = ticks.now + schedule.NextDisplayTickDelay();
  }
  EXPECT_EQ(shown.front(), L"02:59");
  for (std::size_t i = 1; i < shown.size(); ++i) {
    const auto seconds = [&](std::size_t k) {
      return std::stoi(shown[k].substr(0, 2)) * 60 + std::stoi(shown[k].substr(3));
    };
    const bool next = seconds(i) == seconds(i - 1) - 1;
    const bool reloaded = seconds(i - 1) == 0 && seconds(i) == 179;
    EXPECT_TRUE(next || reloaded) << "tick " << i << ": "
                                  << std::string(shown[i - 1].begin(), shown[i - 1].end())
                                  << " then " << std::string(shown[i].begin(), shown[i].end());
  }
}

TEST_F(Schedule, EveryRestartAsksForATickHalfASecondLater) {
  ticks.now = 1700;
  EXPECT_EQ(schedule.NextDisplayTickDelay(), 800u);
  ticks.now = 12345;
  schedule.RestartCountdown();
  EXPECT_EQ(schedule.NextDisplayTickDelay(), 500u);
  ticks.now = 20001;
  schedule.ApplyIntervalText(L"00:05");
  EXPECT_EQ(schedule.NextDisplayTickDelay(), 500u);
  ticks.now = 25004;
  schedule.Stamp();
  EXPECT_EQ(schedule.NextDisplayTickDelay(), 500u);
  EXPECT_EQ(schedule.NextDisplayTickDelay(25504), 1000u);
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
