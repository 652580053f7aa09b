#include "core/web_engine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace reprisa {
namespace {

EngineStep Start() {
  EngineStep s;
  s.start = true;
  return s;
}
EngineStep Fallback(std::optional<std::wstring> open = std::nullopt) {
  return EngineStep{.fallback = true, .open = std::move(open)};
}
EngineStep Open(std::wstring address) { return EngineStep{.open = std::move(address)}; }
EngineStep ReloadNow() {
  EngineStep s;
  s.reload = true;
  return s;
}
EngineStep Refuse() {
  EngineStep s;
  s.refuse = true;
  return s;
}
EngineStep Discard() {
  EngineStep s;
  s.discard = true;
  return s;
}

TEST(EngineChoice, NoRuntimeMeansTheControlAtOnceWithTheAddressAskedFor) {
  EngineLifecycle e;
  EXPECT_EQ(e.Navigate(L"http://a/"), EngineStep{});
  EXPECT_EQ(e.Begin(false), Fallback(L"http://a/"));
  EXPECT_EQ(e.State(), EngineState::Control);
  EXPECT_EQ(e.Reload(), ReloadNow());
  EXPECT_EQ(e.Navigate(L"http://b/"), Open(L"http://b/"));
  // The choice is made once.
  EXPECT_EQ(e.Begin(true), EngineStep{});
  EXPECT_EQ(e.State(), EngineState::Control);
}

TEST(EngineChoice, AnAddressBeforeTheControllerIsOpenedWhenItIsThere) {
  EngineLifecycle e;
  EXPECT_EQ(e.Begin(true), Start());
  EXPECT_EQ(e.State(), EngineState::Creating);
  EXPECT_EQ(e.Navigate(L"http://first/"), EngineStep{});
  EXPECT_EQ(e.Navigate(L"http://second/"), EngineStep{});  // the last one asked for counts
  EXPECT_EQ(e.Created(e.Attempt()), Open(L"http://second/"));
  EXPECT_EQ(e.State(), EngineState::WebView);
  EXPECT_EQ(e.Navigate(L"http://third/"), Open(L"http://third/"));
  EXPECT_EQ(e.Reload(), ReloadNow());
}

TEST(EngineChoice, NoAddressYetOpensNothing) {
  EngineLifecycle e;
  e.Begin(true);
  EXPECT_EQ(e.Created(e.Attempt()), EngineStep{});
}

TEST(EngineChoice, AReloadBeforeTheControllerIsRefusedAndChangesNothing) {
  EngineLifecycle e;
  EXPECT_EQ(e.Reload(), Refuse());  // before anything was tried
  e.Begin(true);
  e.Navigate(L"http://a/");
  EXPECT_EQ(e.Reload(), Refuse());
  EXPECT_EQ(e.State(), EngineState::Creating);
  EXPECT_EQ(e.Created(e.Attempt()), Open(L"http://a/"));
}

// Every failure while creating, whatever its kind (no entry point, a failed result, a completion
// with an error or without an object, no answer in time), is one Failed for the attempt.
TEST(EngineChoice, AFailureWhileCreatingEndsInTheControlWithTheAddress) {
  for (bool with_address : {false, true}) {
    EngineLifecycle e;
    e.Begin(true);
    if (with_address) e.Navigate(L"http://a/");
    EXPECT_EQ(e.Failed(e.Attempt()),
              Fallback(with_address ? std::optional<std::wstring>(L"http://a/") : std::nullopt));
    EXPECT_EQ(e.State(), EngineState::Control);
    EXPECT_EQ(e.Reload(), ReloadNow());
  }
}

TEST(EngineChoice, LateAnswersAfterAFallbackAreDiscarded) {
  EngineLifecycle e;
  e.Begin(true);
  const auto attempt = e.Attempt();
  EXPECT_EQ(e.Failed(attempt), Fallback());  // the 10 s are over
  EXPECT_EQ(e.Created(attempt), Discard());  // the controller comes after all
  EXPECT_EQ(e.Failed(attempt), EngineStep{});  // and a second failure changes nothing
  EXPECT_EQ(e.State(), EngineState::Control);
}

TEST(EngineChoice, TheBrowserProcessEndingIsSurvivedAtTheNextReload) {
  EngineLifecycle e;
  e.Begin(true);
  e.Navigate(L"http://a/");
  e.Created(e.Attempt());
  const auto first = e.Attempt();
  EXPECT_EQ(e.BrowserProcessEnded(), EngineStep{});
  EXPECT_EQ(e.State(), EngineState::Lost);
  EXPECT_EQ(e.Reload(), Start());
  EXPECT_NE(e.Attempt(), first);
  // An answer of the first attempt arriving now is not the new web view.
  EXPECT_EQ(e.Created(first), Discard());
  EXPECT_EQ(e.Reload(), Refuse());
  EXPECT_EQ(e.Created(e.Attempt()), Open(L"http://a/"));
  EXPECT_EQ(e.State(), EngineState::WebView);
}

TEST(EngineChoice, ANewAddressAfterTheBrowserProcessEndedRecreatesAndOpensIt) {
  EngineLifecycle e;
  e.Begin(true);
  e.Created(e.Attempt());
  e.BrowserProcessEnded();
  EXPECT_EQ(e.Navigate(L"http://b/"), Start());
  EXPECT_EQ(e.Created(e.Attempt()), Open(L"http://b/"));
}

TEST(EngineChoice, RecreatingThatFailsEndsInTheControlWithTheLastAddress) {
  EngineLifecycle e;
  e.Begin(true);
  e.Navigate(L"http://a/");
  e.Created(e.Attempt());
  e.BrowserProcessEnded();
  // Each failed re-creation is a loss of its own, until the third in a row.
  EngineStep lost;
  lost.lost = true;
  for (int i = 1; i <= 3; ++i) {
    ASSERT_EQ(i == 1 ? e.Reload() : e.Recover(), Start()) << i;
    EXPECT_EQ(e.Failed(e.Attempt()), i < 3 ? lost : Fallback(L"http://a/")) << i;
  }
  EXPECT_EQ(e.State(), EngineState::Control);
}

TEST(EngineChoice, TheBrowserProcessEndingOnlyMattersToALiveWebView) {
  EngineLifecycle e;
  e.Begin(false);
  e.BrowserProcessEnded();
  EXPECT_EQ(e.State(), EngineState::Control);
}

TEST(EngineChoice, AfterCloseEveryAnswerIsDiscardedAndNothingStarts) {
  EngineLifecycle e;
  e.Begin(true);
  const auto attempt = e.Attempt();
  e.Close();
  EXPECT_EQ(e.Created(attempt), Discard());
  EXPECT_EQ(e.Failed(attempt), EngineStep{});
  EXPECT_EQ(e.Navigate(L"http://a/"), EngineStep{});
  EXPECT_EQ(e.Reload(), Refuse());
  EXPECT_EQ(e.State(), EngineState::Closed);
}

struct KeyCase {
  const char* name;
  struct Press {
    KeyEventKind kind;
    unsigned key;
    bool shift_or_ctrl;
    MenuKeyStep expected;
  };
  std::vector<Press> presses;
};

constexpr MenuKeyStep kPage{};
constexpr MenuKeyStep kBar{true, true, 0};

class MenuKeyRule : public ::testing::TestWithParam<KeyCase> {};

TEST_P(MenuKeyRule, AsTheWindowWouldTreatThem) {
  MenuKeys keys;
  int i = 0;
  for (const auto& p : GetParam().presses) {
    EXPECT_EQ(keys.Key(p.kind, p.key, p.shift_or_ctrl, L"HX"), p.expected) << "press " << i;
    ++i;
  }
}

using K = KeyEventKind;
INSTANTIATE_TEST_SUITE_P(
    Table, MenuKeyRule,
    ::testing::Values(
        KeyCase{"f10", {{K::SystemKeyDown, kKeyF10, false, kBar}, {K::SystemKeyUp, kKeyF10, false, kPage}}},
        KeyCase{"f10_as_plain_key", {{K::KeyDown, kKeyF10, false, kBar}}},
        KeyCase{"shift_f10_is_the_pages_context_menu", {{K::SystemKeyDown, kKeyF10, true, kPage}}},
        KeyCase{"alt_alone_opens_at_release",
                {{K::SystemKeyDown, kKeyAlt, false, kPage},
                 {K::SystemKeyDown, kKeyAlt, false, kPage},  // held: repeats
                 {K::KeyUp, kKeyAlt, false, kBar}}},
        KeyCase{"left_alt", {{K::SystemKeyDown, kKeyLeftAlt, false, kPage}, {K::SystemKeyUp, kKeyLeftAlt, false, kBar}}},
        KeyCase{"alt_with_another_key_is_a_shortcut",
                {{K::SystemKeyDown, kKeyAlt, false, kPage},
                 {K::SystemKeyDown, 0x25 /* left */, false, kPage},
                 {K::KeyUp, kKeyAlt, false, kPage}}},
        KeyCase{"alt_up_without_down", {{K::SystemKeyUp, kKeyAlt, false, kPage}}},
        KeyCase{"ctrl_alt_is_altgr", {{K::KeyDown, kKeyAlt, true, kPage}, {K::KeyUp, kKeyAlt, false, kPage}}},
        KeyCase{"alt_and_a_mnemonic",
                {{K::SystemKeyDown, kKeyAlt, false, kPage},
                 {K::SystemKeyDown, 'H', false, MenuKeyStep{true, true, L'h'}},
                 {K::SystemKeyUp, kKeyAlt, false, kPage}}},
        KeyCase{"digit_mnemonic", {{K::SystemKeyDown, 'X', false, MenuKeyStep{true, true, L'x'}}}},
        KeyCase{"alt_and_another_letter_is_the_pages", {{K::SystemKeyDown, 'D', false, kPage}}},
        KeyCase{"a_letter_typed_is_the_pages", {{K::KeyDown, 'H', false, kPage}}},
        KeyCase{"altgr_letter_is_the_pages", {{K::SystemKeyDown, 'H', true, kPage}}},
        KeyCase{"other_function_keys", {{K::KeyDown, 0x74 /* F5 */, false, kPage}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MenuMnemonicRule, TheCharacterAfterASingleAmpersand) {
  EXPECT_EQ(MenuMnemonic(L"&Hilfe"), L'H');
  EXPECT_EQ(MenuMnemonic(L"Hi&lfe"), L'L');
  EXPECT_EQ(MenuMnemonic(L"A&&B &c"), L'C');
  EXPECT_EQ(MenuMnemonic(L"Hilfe"), 0);
  EXPECT_EQ(MenuMnemonic(L"Hilfe&"), 0);
  EXPECT_EQ(MenuMnemonic(L"&&"), 0);
  EXPECT_EQ(MenuMnemonic(L"&1 Datei"), L'1');
}

// ---- bringing the page back -------------------------------------------------------------------

// From a web view that shows "http://a/" (typed), each row reports what happened, then asks for
// the page back, and says what the engine does.
struct RecoverCase {
  const char* name;
  void (*happen)(EngineLifecycle&);
  EngineStep expected;
  EngineState state;
};

EngineStep Lost() {
  EngineStep s;
  s.lost = true;
  return s;
}

class RecoverRule : public ::testing::TestWithParam<RecoverCase> {};

TEST_P(RecoverRule, BringsThePageBack) {
  EngineLifecycle e;
  e.Begin(true);
  e.Navigate(L"http://a/");
  e.Created(e.Attempt());
  GetParam().happen(e);
  EXPECT_EQ(e.Recover(), GetParam().expected);
  EXPECT_EQ(e.State(), GetParam().state);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RecoverRule,
    ::testing::Values(
        RecoverCase{"render_process_ended", [](EngineLifecycle&) {}, ReloadNow(),
                    EngineState::WebView},
        RecoverCase{"load_failed",
                    [](EngineLifecycle& e) { e.LoadFinished(L"http://a/", true); },
                    Open(L"http://a/"), EngineState::WebView},
        RecoverCase{"load_failed_after_the_page_moved_on",
                    [](EngineLifecycle& e) { e.LoadFinished(L"http://a/b", true); },
                    Open(L"http://a/b"), EngineState::WebView},
        RecoverCase{"a_later_load_succeeded",
                    [](EngineLifecycle& e) {
                      e.LoadFinished(L"http://a/", true);
                      e.LoadFinished(L"http://a/", false);
                    },
                    ReloadNow(), EngineState::WebView},
        RecoverCase{"browser_process_ended",
                    [](EngineLifecycle& e) { e.BrowserProcessEnded(); }, Start(),
                    EngineState::Creating},
        RecoverCase{"while_creating",
                    [](EngineLifecycle& e) {
                      e.BrowserProcessEnded();
                      e.Recover();
                    },
                    EngineStep{}, EngineState::Creating},
        RecoverCase{"closed", [](EngineLifecycle& e) { e.Close(); }, EngineStep{},
                    EngineState::Closed}),
    [](const auto& info) { return std::string(info.param.name); });

// A new web view opens the page shown last (the page moved on from the typed address), and a
// newly typed address wins over it.
TEST(EngineRecovery, ANewWebViewOpensThePageShownLast) {
  for (bool typed_again : {false, true}) {
    EngineLifecycle e;
    e.Begin(true);
    e.Navigate(L"http://a/");
    e.Created(e.Attempt());
    e.LoadFinished(L"http://a/next", false);
    e.BrowserProcessEnded();
    if (typed_again) {
      EXPECT_EQ(e.Navigate(L"http://c/"), Start());
    } else {
      EXPECT_EQ(e.Recover(), Start());
    }
    EXPECT_EQ(e.Created(e.Attempt()), Open(typed_again ? L"http://c/" : L"http://a/next"));
  }
}

// A web view made anew after a failed re-creation starts the count of failures over.
TEST(EngineRecovery, TheFailuresInARowStartOverOnceTheWebViewIsBack) {
  EngineLifecycle e;
  e.Begin(true);
  e.Created(e.Attempt());
  for (int round = 0; round < 2; ++round) {
    e.BrowserProcessEnded();
    e.Recover();
    EXPECT_EQ(e.Failed(e.Attempt()), Lost()) << round;
    e.Recover();
    EXPECT_EQ(e.Failed(e.Attempt()), Lost()) << round;
    e.Recover();
    EXPECT_EQ(e.Created(e.Attempt()), EngineStep{}) << round;
  }
  EXPECT_EQ(e.State(), EngineState::WebView);
}

// A failure of an earlier attempt that arrives while the web view is being made anew is not the
// new attempt's: it is ignored.
TEST(EngineRecovery, AStaleFailureWhileRecreatingIsIgnored) {
  EngineLifecycle e;
  e.Begin(true);
  const auto first = e.Attempt();
  e.Created(first);
  e.BrowserProcessEnded();
  ASSERT_EQ(e.Recover(), Start());
  EXPECT_EQ(e.Failed(first), EngineStep{});
  EXPECT_EQ(e.State(), EngineState::Creating);
  EXPECT_EQ(e.Created(e.Attempt()), EngineStep{});
  EXPECT_EQ(e.State(), EngineState::WebView);
}

TEST(LoadOutcomeRule, WhatIsTriedAgain) {
  const struct {
    bool success;
    int status, http;
    LoadOutcome expected;
  } web_view[] = {
      {true, 0, 200, LoadOutcome::Loaded},    {true, 0, 0, LoadOutcome::Loaded},
      {true, 0, 503, LoadOutcome::Failed},    {false, 0, 500, LoadOutcome::Failed},
      {true, 0, 599, LoadOutcome::Failed},    {true, 0, 600, LoadOutcome::Loaded},
      {false, 0, 404, LoadOutcome::Other},    {false, 5, 0, LoadOutcome::Other},   // certificate
      {false, 6, 0, LoadOutcome::Failed},     {false, 12, 0, LoadOutcome::Failed},  // refused
      {false, 13, 0, LoadOutcome::Failed},    {false, 14, 0, LoadOutcome::Other},  // cancelled
  };
  for (const auto& r : web_view)
    EXPECT_EQ(WebViewLoadOutcome(r.success, r.status, r.http), r.expected)
        << r.success << " " << r.status << " " << r.http;
  const struct {
    long status;
    LoadOutcome expected;
  } control[] = {{500, LoadOutcome::Failed},
                 {599, LoadOutcome::Failed},
                 {404, LoadOutcome::Other},
                 {static_cast<long>(0x800C0004), LoadOutcome::Failed},
                 {static_cast<long>(0x800C000B), LoadOutcome::Failed},
                 {static_cast<long>(0x800C0006), LoadOutcome::Other},
                 {static_cast<long>(0x800C000E), LoadOutcome::Other}};
  for (const auto& r : control) EXPECT_EQ(ControlErrorOutcome(r.status), r.expected) << r.status;
}

}  // namespace
}  // namespace reprisa
