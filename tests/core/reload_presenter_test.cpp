// The main window's rules: what opening, applying, restarting and the two timers' ticks do, seen
// through a recording view, recording timer backends and a tick count the test sets.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/exceptions.h"
#include "core/reload_presenter.h"
#include "timer_fakes.h"

namespace reprisa {
namespace {

using testing_support::BackendLog;
using testing_support::FakeTicks;
using testing_support::Recording;
using Calls = std::vector<std::string>;

const LocaleSettings kGerman{L':', L',', L"", L""};

struct RecordingView final : ReloadView {
  void ShowInterval(const std::wstring& text) override { calls.push_back(L"interval " + text); }
  void ShowCountdown(const std::wstring& text) override { calls.push_back(L"countdown " + text); }
  void OpenAddress(const std::wstring& address) override { calls.push_back(L"open " + address); }
  void Reload() override {
    calls.push_back(L"reload");
    if (reload_fails) throw EOleSysError(L"Unbekannter Fehler", -1);
    if (reload_throws_foreign) throw std::runtime_error("not ours");
  }
  std::vector<std::wstring> calls;
  bool reload_fails = false;
  bool reload_throws_foreign = false;
};

class Presenter : public testing::Test {
 protected:
  Presenter() {
    ticks.now = 10000;
    presenter.emplace(view, Recording(reload), Recording(display), ticks, kGerman);
  }
  void ClearLogs() {
    reload.calls.clear();
    display.calls.clear();
    view.calls.clear();
  }

  RecordingView view;
  BackendLog reload, display;
  FakeTicks ticks;
  std::optional<ReloadPresenter> presenter;
};

TEST_F(Presenter, StartsTheInitialIntervalAndADisplayTickHalfASecondIn) {
  EXPECT_EQ(presenter->ReloadTimer().Interval(), 180000);
  EXPECT_EQ(reload.calls, Calls({"start 180000"}));
  EXPECT_EQ(presenter->DisplayTimer().Interval(), 1000);
  EXPECT_EQ(display.calls, Calls({"start 1000", "stop", "start 500"}));
  EXPECT_EQ(presenter->Schedule().LastTimer(), 10000u);
  EXPECT_TRUE(view.calls.empty());
}

TEST_F(Presenter, TheInitialIntervalIsReadAsWrittenWhateverTheLocale) {
  BackendLog r, d;
  ReloadPresenter dotted(view, Recording(r), Recording(d), ticks, {L'.', L',', L"", L""});
  EXPECT_EQ(dotted.ReloadTimer().Interval(), 180000);
}

TEST_F(Presenter, ApplyingShowsValidIntervalsAndIgnoresOthers) {
  struct {
    const wchar_t* text;
    const wchar_t* shown;  // nullptr: nothing shown
    std::int32_t interval;
  } cases[] = {
      {L"04:30", L"04:30", 270000}, {L" 3 : 00 ", L"03:00", 180000}, {L"xyz", nullptr, 180000},
      {L"24:00", nullptr, 180000},  {L"23:59", L"23:59", 1439000},  {L"", nullptr, 180000},
      {L"00:00", L"00:00", 0},
  };
  for (const auto& c : cases) {
    presenter->ReloadTimer().SetInterval(180000);
    ClearLogs();
    presenter->ApplyInterval(c.text);
    const std::vector<std::wstring> shown =
        c.shown ? std::vector<std::wstring>{std::wstring(L"interval ") + c.shown}
                : std::vector<std::wstring>{};
    EXPECT_EQ(view.calls, shown) << c.text;
    EXPECT_EQ(presenter->ReloadTimer().Interval(), c.interval) << c.text;
    EXPECT_EQ(presenter->ReloadTimer().Running(), c.interval > 0) << c.text;
    if (!c.shown) {
      EXPECT_TRUE(reload.calls.empty()) << c.text;
    }
  }
}

TEST_F(Presenter, ApplyingRestartsTheCountdownAndItsDisplay) {
  ticks.now = 77777;
  ClearLogs();
  presenter->ApplyInterval(L"00:05");
  EXPECT_EQ(presenter->Schedule().LastTimer(), 77777u);
  EXPECT_EQ(reload.calls, Calls({"stop", "start 5000", "stop", "start 5000"}));
  EXPECT_EQ(display.calls, Calls({"stop", "start 500"}));
}

TEST_F(Presenter, ARefusedTimerWhileApplyingReachesNobody) {
  reload.refuse = true;
  EXPECT_NO_THROW(presenter->ApplyInterval(L"04:30"));
  EXPECT_TRUE(view.calls.empty());
  EXPECT_FALSE(presenter->ReloadTimer().Running());
}

TEST_F(Presenter, RestartingStampsAndRealignsTheDisplay) {
  ticks.now = 123456;
  ClearLogs();
  presenter->RestartCountdown();
  EXPECT_EQ(presenter->Schedule().LastTimer(), 123456u);
  EXPECT_EQ(reload.calls, Calls({"stop", "start 180000"}));
  EXPECT_EQ(display.calls, Calls({"stop", "start 500"}));
  // A refused timer is the user's to see: the countdown no longer runs.
  reload.refuse = true;
  EXPECT_THROW(presenter->RestartCountdown(), EOutOfResources);
}

TEST_F(Presenter, OpeningAnAddressKeepsTheCountdownsPhase) {
  ticks.now = 70000;
  ClearLogs();
  presenter->OpenAddress(L"http://127.0.0.1:1/x");
  EXPECT_EQ(view.calls, std::vector<std::wstring>({L"open http://127.0.0.1:1/x"}));
  EXPECT_EQ(presenter->Schedule().LastTimer(), 10000u);
  EXPECT_TRUE(reload.calls.empty());
  EXPECT_TRUE(display.calls.empty());
}

TEST_F(Presenter, AReloadTickStampsRealignsAndReloads) {
  ticks.now = 190003;
  ClearLogs();
  presenter->ReloadTimer().Tick();
  EXPECT_EQ(view.calls, std::vector<std::wstring>({L"reload"}));
  EXPECT_EQ(presenter->Schedule().LastTimer(), 190003u);
  EXPECT_EQ(display.calls, Calls({"stop", "start 500"}));
  EXPECT_TRUE(reload.calls.empty()) << "the reload timer keeps its own period";
}

TEST_F(Presenter, NothingAReloadTickMeetsReachesTheUser) {
  struct {
    bool refuse_display, reload_fails, reload_throws_foreign;
  } cases[] = {{true, false, false}, {false, true, false}, {false, false, true},
               {true, true, false}};
  for (const auto& c : cases) {
    display.refuse = c.refuse_display;
    view.reload_fails = c.reload_fails;
    view.reload_throws_foreign = c.reload_throws_foreign;
    ticks.now += 180000;
    view.calls.clear();
    EXPECT_NO_THROW(presenter->ReloadTick());
    // The reload happens all the same, and the new countdown starts.
    EXPECT_EQ(view.calls, std::vector<std::wstring>({L"reload"}));
    EXPECT_EQ(presenter->Schedule().LastTimer(), ticks.now);
    display.refuse = false;
    presenter->DisplayTimer().SetEnabled(false);
    presenter->DisplayTimer().SetEnabled(true);
  }
}

TEST_F(Presenter, TheDisplayShowsEachNewCountdownTextOnce) {
  ClearLogs();
  const struct {
    std::uint32_t at;
    const wchar_t* shown;  // nullptr: the field keeps its text
  } ticks_at[] = {
      {10500, L"02:59"}, {11500, L"02:58"}, {11600, nullptr}, {12499, L"02:57"}, {12500, nullptr},
  };
  std::vector<std::wstring> expected;
  for (const auto& t : ticks_at) {
    ticks.now = t.at;
    display.calls.clear();
    presenter->DisplayTick();
    if (t.shown) expected.push_back(std::wstring(L"countdown ") + t.shown);
    EXPECT_EQ(view.calls, expected) << t.at;
    EXPECT_EQ(display.calls.size(), 2u) << "re-armed after every tick";
  }
}

TEST_F(Presenter, TheFirstDisplayTickLeavesTheInitialTextThatStillHolds) {
  ticks.now = 10000;
  presenter->DisplayTick();
  EXPECT_TRUE(view.calls.empty());  // the field already shows "03:00"
}

TEST_F(Presenter, GoingStopsBothTimersFirst) {
  ClearLogs();
  presenter.reset();
  EXPECT_EQ(reload.calls, Calls({"stop"}));
  EXPECT_EQ(display.calls, Calls({"stop"}));
  EXPECT_TRUE(reload.destroyed);
  EXPECT_TRUE(display.destroyed);
}

}  // namespace
}  // namespace reprisa
