// The main window's rules: what opening, applying, restarting and the two timers' ticks do, seen
// through a recording view, recording timer backends and a tick count the test sets.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/event_log.h"
#include "core/exceptions.h"
#include "core/reload_presenter.h"
#include "timer_fakes.h"

namespace reprisa {
namespace {

using namespace testing_support;

struct RecordingView final : ReloadView {
  void ShowInterval(const std::wstring& text) override { calls.push_back(L"interval " + text); }
  void ShowCountdown(const std::wstring& text) override { calls.push_back(L"countdown " + text); }
  void OpenAddress(const std::wstring& address) override { calls.push_back(L"open " + address); }
  void Reload() override {
    calls.push_back(L"reload");
    if (reload_fails) throw EOleSysError(L"Unbekannter Fehler", -1);
    if (reload_throws_foreign) throw std::runtime_error("not ours");
  }
  void Recover() override {
    calls.push_back(L"recover");
    if (reload_fails) throw EOleSysError(L"Unbekannter Fehler", -1);
  }
  std::vector<std::wstring> calls;
  bool reload_fails = false;
  bool reload_throws_foreign = false;
};

class Presenter : public testing::Test {
 protected:
  Presenter() {
    ticks.now = 10000;
    presenter.emplace(view, Recording(reload), Recording(display), Recording(recovery), ticks,
                      kGerman);
  }
  void ClearLogs() {
    reload.calls.clear();
    display.calls.clear();
    recovery.calls.clear();
    view.calls.clear();
  }

  RecordingView view;
  BackendLog reload, display, recovery;
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
  BackendLog r, d, b;
  ReloadPresenter dotted(view, Recording(r), Recording(d), Recording(b), ticks,
                         {L'.', L',', L"", L""});
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

TEST_F(Presenter, GoingStopsTheTimersFirst) {
  presenter->LoadFailed();  // a retry waits
  ClearLogs();
  presenter.reset();
  EXPECT_EQ(reload.calls, Calls({"stop"}));
  EXPECT_EQ(display.calls, Calls({"stop"}));
  EXPECT_EQ(recovery.calls, Calls({"stop"}));
  EXPECT_TRUE(reload.destroyed);
  EXPECT_TRUE(display.destroyed);
  EXPECT_TRUE(recovery.destroyed);
}

// Bringing the page back. Each step reports an event at a tick count and names what the recovery
// timer is armed with afterwards ("" for not running), and what the view is asked for.
TEST_F(Presenter, ALostOrFailedPageComesBackWithoutTouchingTheCountdown) {
  enum Event { Lost, Failed, Loaded, Fire, Tick, Resume };
  const struct {
    Event event;
    std::uint32_t at;
    std::int32_t armed;      // the recovery timer's interval when it runs, 0 when it does not
    const wchar_t* view;     // what the view was asked, "" for nothing
  } steps[] = {
      {Lost, 20000, 1, L""},            // at once, on the next turn of the loop
      {Failed, 20000, 1, L""},          // a sooner recovery is not put off by a retry
      {Fire, 20001, 0, L"recover"},
      {Lost, 21000, 2000, L""},         // lost again soon after: back off
      {Lost, 21500, 2000, L""},         // lost during the back-off: the sooner one stays
      {Fire, 23500, 0, L"recover"},
      {Failed, 24000, 5000, L""},       // the page did not load: tried again with growing pauses
      {Fire, 29000, 0, L"recover"},
      {Failed, 29100, 10000, L""},
      {Loaded, 30000, 0, L""},          // a page that loads ends the retries
      {Failed, 31000, 5000, L""},       // ... and the pauses start over
      {Fire, 36000, 0, L"recover"},
      {Failed, 36100, 10000, L""},
      {Fire, 46100, 0, L"recover"},
      {Failed, 46200, 20000, L""},
      {Fire, 66200, 0, L"recover"},
      {Failed, 66300, 40000, L""},
      {Lost, 67000, 8000, L""},         // the fourth loss: sooner than the retry, so it replaces it
      {Loaded, 68000, 8000, L""},       // a load's report does not cancel the re-creation
      {Fire, 75000, 0, L"recover"},
      {Tick, 190000, 0, L"reload"},     // the reload tick reloads anyway and drops the retry
      {Failed, 190100, 5000, L""},
      {Resume, 195000, 0, L"reload"},   // after a sleep: reload at once, countdown anew
      {Failed, 195100, 5000, L""},      // ... and the pauses start over
  };
  std::uint32_t phase = presenter->Schedule().LastTimer();
  for (const auto& s : steps) {
    ticks.now = s.at;
    view.calls.clear();
    switch (s.event) {
      case Lost: presenter->EngineLost(); break;
      case Failed: presenter->LoadFailed(); break;
      case Loaded: presenter->LoadSucceeded(); break;
      case Fire: presenter->RecoveryTimer().Tick(); break;
      case Tick: presenter->ReloadTick(); break;
      case Resume: presenter->Resumed(); break;
    }
    const auto expected_view = *s.view ? std::vector<std::wstring>{s.view}
                                       : std::vector<std::wstring>{};
    EXPECT_EQ(view.calls, expected_view) << s.at;
    EXPECT_EQ(presenter->RecoveryTimer().Running(), s.armed > 0) << s.at;
    EXPECT_EQ(presenter->RecoveryPending(), s.armed > 0) << s.at;
    if (s.armed > 0) {
      EXPECT_EQ(presenter->RecoveryTimer().Interval(), s.armed) << s.at;
    }
    if (s.event == Tick || s.event == Resume) phase = s.at;  // a new countdown from here
    EXPECT_EQ(presenter->Schedule().LastTimer(), phase) << s.at;
  }
}

TEST_F(Presenter, APageLostTooOftenWaitsForTheReloadTickAndGoingStopsTheRecovery) {
  for (std::uint32_t i = 0; i < PageRecovery::kLossDelaysMs.size(); ++i) {
    ticks.now = 20000 + i * 100;
    presenter->EngineLost();
    EXPECT_TRUE(presenter->RecoveryPending()) << i;
  }
  presenter->EngineLost();  // one more within the window: no busy loop
  EXPECT_FALSE(presenter->RecoveryTimer().Running());
  view.reload_fails = true;  // a failing recovery reaches nobody either
  presenter->EngineLost();
  view.calls.clear();
  presenter->ReloadTick();
  EXPECT_EQ(view.calls, std::vector<std::wstring>({L"reload"}));

  presenter->LoadFailed();
  ASSERT_TRUE(presenter->RecoveryTimer().Running());
  recovery.calls.clear();
  presenter.reset();
  EXPECT_EQ(recovery.calls, Calls({"stop"}));
}

TEST_F(Presenter, ARecoveryTimerThatRefusedOnceLeavesNothingPending) {
  presenter->LoadFailed();  // a retry in 5 s
  recovery.refuse = true;
  presenter->EngineLost();  // sooner, but the timer refuses
  EXPECT_FALSE(presenter->RecoveryPending());
  recovery.refuse = false;
  presenter->LoadFailed();
  EXPECT_TRUE(presenter->RecoveryTimer().Running());
}

TEST_F(Presenter, LossesAreForgottenAsTimePassesNotOnlyAtTheNextLoss) {
  for (std::uint32_t i = 0; i < PageRecovery::kLossDelaysMs.size(); ++i) {
    ticks.now = 20000 + i * 100;
    presenter->EngineLost();
  }
  ticks.now = 20000 + PageRecovery::kLossWindowMs;
  presenter->DisplayTick();
  ticks.now = static_cast<std::uint32_t>(21000 + (1ull << 32));  // 49.7 days on: the count wrapped
  presenter->EngineLost();
  EXPECT_TRUE(presenter->RecoveryTimer().Running());
}

// The media watch through the presenter: the channel's raw text, the display tick judging time,
// the recovery timer, and the log's lines.
std::vector<std::string> g_logged;
void Record(std::string_view line) { g_logged.emplace_back(line); }

std::string MediaText(const char* doc, int el, const char* ev, double t, bool inf = false) {
  return std::string(R"({"v":1,"doc":")") + doc + R"(","el":)" + std::to_string(el) +
         R"(,"ev":")" + ev + R"(","t":)" + std::to_string(t) + R"(,"inf":)" +
         (inf ? "true" : "false") + "}";
}

class MediaPresenter : public Presenter {
 protected:
  MediaPresenter() {
    g_logged.clear();
    SetEventSink(&Record);
  }
  ~MediaPresenter() override { SetEventSink(nullptr); }
};

TEST_F(MediaPresenter, AFailedMediaBringsThePageBackAlongTheRetriesAndSaysSo) {
  enum Event { Message, Display, Fire, Loaded, Lost, Tick, Open, Resume };
  const struct {
    std::uint32_t at;
    Event event;
    std::string text;     // the message
    std::int32_t armed;   // the recovery timer's interval when it runs, 0 when it does not
    const wchar_t* view;  // what the view was asked, "" for nothing
    const char* logged;   // the log's new line, "" for none
  } steps[] = {
      {20000, Message, MediaText("docaaa", 1, "play", 0, true), 0, L"", ""},
      {25000, Message, MediaText("docaaa", 1, "time", 5, true), 0, L"", ""},
      {26000, Message, "not ours", 0, L"", ""},
      {26000, Display, "", 0, L"", ""},
      {30000, Message, MediaText("docaaa", 1, "pause", 9), 0, L"", ""},
      {30000, Message, MediaText("docaaa", 1, "end", 9), 5000, L"",
       "Medien: Stream beendet, neu laden in 5 s"},
      {30500, Message, MediaText("docaaa", 2, "error", 0), 5000, L"", ""},
      {35000, Fire, "", 0, L"recover", ""},
      {36000, Loaded, "", 0, L"", ""},
      {50999, Display, "", 0, L"", ""},
      {51000, Display, "", 4000, L"",  // never heard: tried again soon
       "Medien: nach dem Neuladen nichts abgespielt, neu laden in 4 s"},
      {52000, Lost, "", 1, L"", "Seite verloren, neu laden sofort"},  // sooner: it replaces
      {52001, Fire, "", 0, L"recover", ""},
      {53000, Loaded, "", 0, L"", ""},
      {54000, Message, MediaText("docbbb", 1, "play", 0), 0, L"", ""},
      {59000, Message, MediaText("docbbb", 1, "time", 5), 0, L"", ""},
      {74000, Display, "", 10000, L"", "Medien: 15 s ohne Fortschritt, neu laden in 10 s"},
      {74500, Lost, "", 2000, L"", "Seite verloren, neu laden in 2 s"},  // sooner: it replaces
      {74600, Message, MediaText("dochhh", 1, "play", 0), 2000, L"", ""},  // not this recovery
      {76500, Fire, "", 0, L"recover", ""},
      {77000, Message, MediaText("docggg", 1, "play", 0), 0, L"", ""},
      {77001, Message, MediaText("docggg", 1, "error", 0), 20000, L"",
       "Medien: Fehler gemeldet, neu laden in 20 s"},
      {77500, Message, MediaText("docggg", 1, "play", 0), 0, L"",  // heard again: called off
       "Medien spielen wieder: neu laden abgesagt"},
      {77600, Message, MediaText("docggg", 1, "time", 1), 0, L"", ""},
      {77700, Message, MediaText("docggg", 1, "error", 1), 0, L"", ""},  // left to its stall
      {80000, Tick, "", 0, L"reload", ""},  // the reload tick ends the retries
      {81000, Message, MediaText("docggg", 1, "time", 6), 0, L"", ""},  // the left page's
      {96000, Display, "", 0, L"", ""},
      {97000, Message, MediaText("docccc", 1, "play", 0), 0, L"", ""},
      {98000, Message, MediaText("docccc", 1, "error", 1), 5000, L"",
       "Medien: Fehler gemeldet, neu laden in 5 s"},
      {99000, Open, "", 0, L"open http://127.0.0.1:1/x", ""},  // another page: retries over
      {100000, Message, MediaText("docddd", 1, "play", 0), 0, L"", ""},
      {101000, Message, MediaText("docddd", 1, "error", 1), 5000, L"",
       "Medien: Fehler gemeldet, neu laden in 5 s"},
      {102000, Resume, "", 0, L"reload", ""},  // after a sleep, too
      {103000, Message, MediaText("doceee", 1, "play", 0), 0, L"", ""},
      {104000, Message, MediaText("doceee", 1, "error", 1), 5000, L"",
       "Medien: Fehler gemeldet, neu laden in 5 s"},
  };
  for (const auto& s : steps) {
    ticks.now = s.at;
    view.calls.clear();
    const std::size_t logged = g_logged.size();
    switch (s.event) {
      case Message: presenter->MediaMessageReceived(s.text); break;
      case Display: presenter->DisplayTick(); break;
      case Fire: presenter->RecoveryTimer().Tick(); break;
      case Loaded: presenter->LoadSucceeded(); break;
      case Lost: presenter->EngineLost(); break;
      case Tick: presenter->ReloadTick(); break;
      case Open: presenter->OpenAddress(L"http://127.0.0.1:1/x"); break;
      case Resume: presenter->Resumed(); break;
    }
    std::vector<std::wstring> expected_view;
    if (*s.view) expected_view.push_back(s.view);
    std::erase_if(view.calls, [](const std::wstring& c) { return c.starts_with(L"countdown"); });
    EXPECT_EQ(view.calls, expected_view) << s.at;
    EXPECT_EQ(presenter->RecoveryTimer().Running(), s.armed > 0) << s.at;
    if (s.armed > 0) {
      EXPECT_EQ(presenter->RecoveryTimer().Interval(), s.armed) << s.at;
    }
    const std::vector<std::string> line =
        *s.logged ? std::vector<std::string>{s.logged} : std::vector<std::string>{};
    EXPECT_EQ(std::vector<std::string>(g_logged.begin() + logged, g_logged.end()), line) << s.at;
  }
  EXPECT_EQ(presenter->Schedule().LastTimer(), 102000u) << "only the tick and the wake restart it";

  recovery.calls.clear();  // the window closes while the retry waits
  presenter.reset();
  EXPECT_EQ(recovery.calls, Calls({"stop"}));
  EXPECT_TRUE(view.calls.empty());
}

// Another address while a retry waits for the media of the page before: the retry is gone, and
// nothing the page before still says brings it back.
TEST_F(MediaPresenter, ANewAddressDropsAWaitingMediaRetry) {
  presenter->MediaMessageReceived(MediaText("docaaa", 1, "play", 0, true));
  presenter->MediaMessageReceived(MediaText("docaaa", 1, "end", 1, true));
  ASSERT_TRUE(presenter->RecoveryTimer().Running());
  presenter->OpenAddress(L"http://127.0.0.1:1/x");
  presenter->MediaMessageReceived(MediaText("docaaa", 2, "play", 0, true));
  presenter->MediaMessageReceived(MediaText("docaaa", 2, "end", 1, true));
  ticks.now += 60000;
  presenter->DisplayTick();
  EXPECT_FALSE(presenter->RecoveryPending());
  EXPECT_EQ(g_logged.size(), 1u);
}

// A page that posts as fast as it can, from ever new documents and elements: for 100 s failures of
// media it asked to play, then plays and failures mixed. The page is brought back no more often
// than the pauses allow, and the log gets a line per verdict, not per message.
TEST_F(MediaPresenter, AStormOfMessagesStaysOnThePauses) {
  std::vector<std::uint32_t> recovered;  // seconds from the start
  std::optional<std::uint32_t> due;
  int serial = 0;
  for (std::uint32_t second = 0; second < 300; ++second) {
    ticks.now = 20000 + second * 1000;
    if (due == ticks.now) {
      presenter->RecoveryTimer().Tick();
      recovered.push_back(second);
      presenter->LoadSucceeded();
    }
    for (int i = 0; i < 20; ++i) {
      const std::string doc = "storm" + std::to_string(100000 + ++serial);
      presenter->MediaMessageReceived(
          MediaText(doc.c_str(), i + 1, second < 100 ? "want" : "play", 0, true));
      presenter->MediaMessageReceived(MediaText(doc.c_str(), i + 1, i % 2 ? "error" : "end", 1));
      presenter->MediaMessageReceived(R"({"v":1,"v":1})");
    }
    presenter->DisplayTick();
    if (!recovery.calls.empty()) {  // the retry was armed or stopped during this second
      due = presenter->RecoveryTimer().Running()
                ? std::optional(ticks.now + presenter->RecoveryTimer().Interval())
                : std::nullopt;
      recovery.calls.clear();
    }
  }
  // Never heard: four short tries, then the page waits for the reload tick. Heard again, each retry
  // is called off by the next play.
  EXPECT_EQ(recovered, (std::vector<std::uint32_t>{4, 8, 12, 16}));
  // The first 100 s: five lines. Then at most a failure and its retry called off per 15 s.
  EXPECT_LE(g_logged.size(), 5u + 2 * (200000 / MediaWatch::kStallMs + 1));
  EXPECT_GE(g_logged.size(), 5u);
}

// A helper process's end (a frame's renderer, the GPU, the audio service): a page whose media go
// on playing is left alone and still watched; one whose media are silent then is brought back.
TEST_F(MediaPresenter, AHelperProcessEndIsJudgedByWhatThePageStillPlays) {
  enum Event { Message, Display, Fire, Loaded, Helper };
  const struct {
    std::uint32_t at;
    Event event;
    std::string text;     // the message
    std::int32_t armed;   // the recovery timer's interval when it runs, 0 when it does not
    const wchar_t* view;  // what the view was asked, "" for nothing
    const char* logged;   // the log's new line, "" for none
  } steps[] = {
      {20000, Message, MediaText("docaaa", 1, "play", 0, true), 0, L"", ""},
      {25000, Message, MediaText("docaaa", 1, "time", 5, true), 0, L"", ""},
      {26000, Helper, "", 0, L"", ""},
      {28000, Helper, "", 0, L"", ""},  // another end during the check: the first one's stands
      {31000, Message, MediaText("docaaa", 1, "time", 10, true), 0, L"", ""},
      {31999, Display, "", 0, L"", ""},
      {32000, Display, "", 0, L"", "Hilfsprozess beendet, Medien spielen weiter: Seite bleibt"},
      {38000, Display, "", 0, L"", ""},  // judged once
      // Still watched: its failure brings it back.
      {39000, Message, MediaText("docaaa", 1, "error", 12, true), 5000, L"",
       "Medien: Fehler gemeldet, neu laden in 5 s"},
      {44000, Fire, "", 0, L"recover", ""},
      {45000, Loaded, "", 0, L"", ""},
      {46000, Helper, "", 0, L"", ""},  // nothing plays on the page brought back
      {51000, Display, "", 0, L"", ""},
      {52000, Display, "", 1, L"",
       "Hilfsprozess beendet, Medien ohne Fortschritt, neu laden sofort"},
      {52000, Helper, "", 1, L"", ""},  // the page comes back anyway: no check
      {52001, Fire, "", 0, L"recover", ""},
      {59000, Display, "", 0, L"", ""},
  };
  for (const auto& s : steps) {
    ticks.now = s.at;
    view.calls.clear();
    const std::size_t logged = g_logged.size();
    switch (s.event) {
      case Message: presenter->MediaMessageReceived(s.text); break;
      case Display: presenter->DisplayTick(); break;
      case Fire: presenter->RecoveryTimer().Tick(); break;
      case Loaded: presenter->LoadSucceeded(); break;
      case Helper: presenter->HelperProcessEnded(); break;
    }
    std::erase_if(view.calls, [](const std::wstring& c) { return c.starts_with(L"countdown"); });
    std::vector<std::wstring> expected_view;
    if (*s.view) expected_view.push_back(s.view);
    EXPECT_EQ(view.calls, expected_view) << s.at;
    EXPECT_EQ(presenter->RecoveryTimer().Running(), s.armed > 0) << s.at;
    if (s.armed > 0) {
      EXPECT_EQ(presenter->RecoveryTimer().Interval(), s.armed) << s.at;
    }
    const std::vector<std::string> line =
        *s.logged ? std::vector<std::string>{s.logged} : std::vector<std::string>{};
    EXPECT_EQ(std::vector<std::string>(g_logged.begin() + logged, g_logged.end()), line) << s.at;
  }
}

// The loop guard gives up on a page lost too often, and the page stands: its media are still
// heard, and their failure still brings it back along the retries. A helper's end just before the
// loss is not judged on top of it.
TEST_F(MediaPresenter, APageLostTooOftenIsStillListenedTo) {
  for (std::uint32_t i = 0; i < PageRecovery::kLossDelaysMs.size(); ++i) {
    ticks.now = 20000 + i * 100;
    presenter->EngineLost();
  }
  presenter->RecoveryTimer().Tick();
  ticks.now = 21000;
  presenter->MediaMessageReceived(MediaText("docaaa", 1, "play", 0, true));
  presenter->HelperProcessEnded();
  presenter->EngineLost();
  ASSERT_FALSE(presenter->RecoveryPending());
  g_logged.clear();
  ticks.now = 28000;
  presenter->DisplayTick();
  EXPECT_TRUE(g_logged.empty()) << g_logged.front();
  presenter->MediaMessageReceived(MediaText("docaaa", 1, "error", 1, true));
  EXPECT_TRUE(presenter->RecoveryPending());
  EXPECT_EQ(g_logged, std::vector<std::string>{"Medien: Fehler gemeldet, neu laden in 5 s"});
}

TEST(PageRecoveryRule, LossesBackOffAndAreForgottenAfterTheWindow) {
  PageRecovery rule;
  const std::uint32_t base = 0xFFFFF000u;  // across the tick count's wrap-around
  const struct {
    std::uint32_t at;  // after base
    std::optional<std::uint32_t> delay;
  } losses[] = {
      {0, 0},         {1000, 2000},    {5000, 4000},    {12000, 8000}, {30000, 16000},
      {60000, {}},    {70000, {}},     // too often: the reload tick brings it back
      {305000, 16000},                 // the first two fell out of the window
      {700000, 0},                     // all forgotten
  };
  for (const auto& l : losses) EXPECT_EQ(rule.EngineLost(base + l.at), l.delay) << l.at;

  const std::uint32_t retries[] = {5000, 10000, 20000, 40000, 60000, 60000};
  for (auto r : retries) EXPECT_EQ(rule.LoadFailed(), r);
  rule.EngineLost(base + 800000);  // the engine came back with a new load
  EXPECT_EQ(rule.LoadFailed(), 5000u);
}

}  // namespace
}  // namespace reprisa
