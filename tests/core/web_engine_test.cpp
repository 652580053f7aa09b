#include "core/web_engine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace reprisa {
namespace {

EngineStep Start() { return {.start = true, .open = {}}; }
EngineStep Fallback(std::optional<std::wstring> open = std::nullopt) {
  return EngineStep{.fallback = true, .open = std::move(open)};
}
EngineStep Open(std::wstring address) { return EngineStep{.open = std::move(address)}; }
EngineStep ReloadNow() { return {.reload = true, .open = {}}; }
EngineStep Refuse() { return {.refuse = true, .open = {}}; }
EngineStep Discard() { return {.discard = true, .open = {}}; }
EngineStep Lost() { return {.lost = true, .open = {}}; }
constexpr EngineStep kNothing{};

// One call on the rules ("begin with" / "begin without" a runtime, "navigate <address>",
// "reload", "created <attempt>", "failed <attempt>", "ended" for the browser process, "recover",
// "close", "loaded", "load-failed" and "load-other <address>" for a page's load), the step it must
// return and the state after it. Attempts are counted from 1.
struct Call {
  std::string what;
  EngineStep step;
  EngineState state;
};

struct EngineCase {
  const char* name;
  std::vector<Call> calls;
};

EngineStep Do(EngineLifecycle& e, const std::string& what) {
  const std::size_t space = what.find(' ');
  const std::string verb = what.substr(0, space);
  const std::string arg = space == std::string::npos ? "" : what.substr(space + 1);
  const std::wstring address(arg.begin(), arg.end());
  if (verb == "begin") return e.Begin(arg == "with");
  if (verb == "navigate") return e.Navigate(address);
  if (verb == "reload") return e.Reload();
  if (verb == "created") return e.Created(static_cast<std::uint32_t>(std::stoul(arg)));
  if (verb == "failed") return e.Failed(static_cast<std::uint32_t>(std::stoul(arg)));
  if (verb == "ended") return e.BrowserProcessEnded();
  if (verb == "recover") return e.Recover();
  if (verb == "close") e.Close();
  else if (verb == "loaded") e.LoadFinished(address, LoadOutcome::Loaded);
  else if (verb == "load-failed") e.LoadFinished(address, LoadOutcome::Failed);
  else if (verb == "load-other") e.LoadFinished(address, LoadOutcome::Other);
  else ADD_FAILURE() << "unknown call " << what;
  return {};
}

class EngineChoice : public ::testing::TestWithParam<EngineCase> {};

TEST_P(EngineChoice, StepsAndStates) {
  EngineLifecycle e;
  for (const Call& c : GetParam().calls) {
    EXPECT_EQ(Do(e, c.what), c.step) << c.what;
    EXPECT_EQ(e.State(), c.state) << c.what;
  }
}

using S = EngineState;
const EngineCase kEngineCases[] = {
    {"no_runtime_means_the_control_at_once_with_the_address_asked_for",
     {{"navigate http://a/", kNothing, S::Undecided},
      {"begin without", Fallback(L"http://a/"), S::Control},
      {"reload", ReloadNow(), S::Control},
      {"navigate http://b/", Open(L"http://b/"), S::Control},
      {"begin with", kNothing, S::Control}}},  // the choice is made once
    {"an_address_before_the_controller_is_opened_when_it_is_there",
     {{"begin with", Start(), S::Creating},
      {"navigate http://first/", kNothing, S::Creating},
      {"navigate http://second/", kNothing, S::Creating},  // the last one asked for counts
      {"created 1", Open(L"http://second/"), S::WebView},
      {"navigate http://third/", Open(L"http://third/"), S::WebView},
      {"reload", ReloadNow(), S::WebView}}},
    {"no_address_yet_opens_nothing",
     {{"begin with", Start(), S::Creating}, {"created 1", kNothing, S::WebView}}},
    {"a_reload_before_the_controller_is_refused_and_changes_nothing",
     {{"reload", Refuse(), S::Undecided},  // before anything was tried
      {"begin with", Start(), S::Creating},
      {"navigate http://a/", kNothing, S::Creating},
      {"reload", Refuse(), S::Creating},
      {"created 1", Open(L"http://a/"), S::WebView}}},
    // Every failure while creating, whatever its kind (no entry point, a failed result, a
    // completion with an error or without an object, no answer in time), is one Failed.
    {"a_failure_while_creating_ends_in_the_control",
     {{"begin with", Start(), S::Creating}, {"failed 1", Fallback(), S::Control},
      {"reload", ReloadNow(), S::Control}}},
    {"a_failure_while_creating_ends_in_the_control_with_the_address",
     {{"begin with", Start(), S::Creating}, {"navigate http://a/", kNothing, S::Creating},
      {"failed 1", Fallback(L"http://a/"), S::Control}, {"reload", ReloadNow(), S::Control}}},
    {"late_answers_after_a_fallback_are_discarded",
     {{"begin with", Start(), S::Creating},
      {"failed 1", Fallback(), S::Control},  // the 10 s are over
      {"created 1", Discard(), S::Control},  // the controller comes after all
      {"failed 1", kNothing, S::Control}}},  // and a second failure changes nothing
    {"the_browser_process_ending_is_survived_at_the_next_reload",
     {{"begin with", Start(), S::Creating}, {"navigate http://a/", kNothing, S::Creating},
      {"created 1", Open(L"http://a/"), S::WebView}, {"ended", kNothing, S::Lost},
      {"reload", Start(), S::Creating},
      {"created 1", Discard(), S::Creating},  // the first attempt's answer is not the new one
      {"reload", Refuse(), S::Creating}, {"created 2", Open(L"http://a/"), S::WebView}}},
    {"a_new_address_after_the_browser_process_ended_recreates_and_opens_it",
     {{"begin with", Start(), S::Creating}, {"created 1", kNothing, S::WebView},
      {"ended", kNothing, S::Lost}, {"navigate http://b/", Start(), S::Creating},
      {"created 2", Open(L"http://b/"), S::WebView}}},
    // Each failed re-creation is a loss of its own, until the first try and three more failed.
    {"recreating_that_fails_ends_in_the_control_with_the_last_address",
     {{"begin with", Start(), S::Creating}, {"navigate http://a/", kNothing, S::Creating},
      {"created 1", Open(L"http://a/"), S::WebView}, {"ended", kNothing, S::Lost},
      {"reload", Start(), S::Creating}, {"failed 2", Lost(), S::Lost},
      {"recover", Start(), S::Creating}, {"failed 3", Lost(), S::Lost},
      {"recover", Start(), S::Creating}, {"failed 4", Lost(), S::Lost},
      {"recover", Start(), S::Creating}, {"failed 5", Fallback(L"http://a/"), S::Control}}},
    {"the_failures_in_a_row_start_over_once_the_web_view_is_back",
     {{"begin with", Start(), S::Creating}, {"created 1", kNothing, S::WebView},
      {"ended", kNothing, S::Lost}, {"recover", Start(), S::Creating},
      {"failed 2", Lost(), S::Lost}, {"recover", Start(), S::Creating},
      {"failed 3", Lost(), S::Lost}, {"recover", Start(), S::Creating},
      {"created 4", kNothing, S::WebView}, {"ended", kNothing, S::Lost},
      {"recover", Start(), S::Creating}, {"failed 5", Lost(), S::Lost},
      {"recover", Start(), S::Creating}, {"failed 6", Lost(), S::Lost}}},
    // A failure of an earlier attempt arriving while the web view is made anew is not the new
    // attempt's.
    {"a_stale_failure_while_recreating_is_ignored",
     {{"begin with", Start(), S::Creating}, {"created 1", kNothing, S::WebView},
      {"ended", kNothing, S::Lost}, {"recover", Start(), S::Creating},
      {"failed 1", kNothing, S::Creating}, {"created 2", kNothing, S::WebView}}},
    {"the_browser_process_ending_only_matters_to_a_live_web_view",
     {{"begin without", Fallback(), S::Control}, {"ended", kNothing, S::Control}}},
    // A new web view opens the page shown last (the page moved on from the typed address), and a
    // newly typed address wins over it.
    {"a_new_web_view_opens_the_page_shown_last",
     {{"begin with", Start(), S::Creating}, {"navigate http://a/", kNothing, S::Creating},
      {"created 1", Open(L"http://a/"), S::WebView}, {"loaded http://a/next", kNothing, S::WebView},
      {"ended", kNothing, S::Lost}, {"recover", Start(), S::Creating},
      {"created 2", Open(L"http://a/next"), S::WebView}}},
    {"a_newly_typed_address_wins_over_the_page_shown_last",
     {{"begin with", Start(), S::Creating}, {"navigate http://a/", kNothing, S::Creating},
      {"created 1", Open(L"http://a/"), S::WebView}, {"loaded http://a/next", kNothing, S::WebView},
      {"ended", kNothing, S::Lost}, {"navigate http://c/", Start(), S::Creating},
      {"created 2", Open(L"http://c/"), S::WebView}}},
    // The reload tick after a failed load opens the failed page again, in either engine: the
    // control would reload its own error page, a web view the page before a load it stopped.
    {"the_reload_tick_after_a_failed_load_opens_it_again_in_either_engine",
     {{"begin without", Fallback(), S::Control},
      {"navigate http://a/", Open(L"http://a/"), S::Control},
      {"load-failed http://a/", kNothing, S::Control}, {"reload", Open(L"http://a/"), S::Control},
      {"loaded http://a/", kNothing, S::Control}, {"reload", ReloadNow(), S::Control},
      {"close", kNothing, S::Closed}, {"begin with", kNothing, S::Closed}}},
    {"the_reload_tick_after_a_failed_load_in_the_web_view",
     {{"begin with", Start(), S::Creating}, {"navigate http://a/", kNothing, S::Creating},
      {"created 1", Open(L"http://a/"), S::WebView},
      {"navigate http://b/", Open(L"http://b/"), S::WebView}, {"load-failed", kNothing, S::WebView}, {"reload", Open(L"http://b/"), S::WebView}}},
    {"after_close_every_answer_is_discarded_and_nothing_starts",
     {{"begin with", Start(), S::Creating}, {"close", kNothing, S::Closed},
      {"created 1", Discard(), S::Closed}, {"failed 1", kNothing, S::Closed},
      {"navigate http://a/", kNothing, S::Closed}, {"reload", Refuse(), S::Closed}}},
};
INSTANTIATE_TEST_SUITE_P(Table, EngineChoice, ::testing::ValuesIn(kEngineCases),
                         [](const auto& info) { return std::string(info.param.name); });

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
    EXPECT_EQ(keys.Key(p.kind, p.key, p.shift_or_ctrl, L"HXZ"), p.expected) << "press " << i;
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
        KeyCase{"both_alts_ask_for_the_menu_once",
                {{K::SystemKeyDown, kKeyLeftAlt, false, kPage},
                 {K::SystemKeyDown, kKeyRightAlt, false, kPage},
                 {K::SystemKeyUp, kKeyLeftAlt, false, kBar},
                 {K::SystemKeyUp, kKeyRightAlt, false, kPage}}},
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
        KeyCase{"last_letter_mnemonic", {{K::SystemKeyDown, 'Z', false, MenuKeyStep{true, true, L'z'}}}},
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
  std::vector<std::string> happened;  // calls as in the table above
  EngineStep expected;
  EngineState state;
};

class RecoverRule : public ::testing::TestWithParam<RecoverCase> {};

TEST_P(RecoverRule, BringsThePageBack) {
  EngineLifecycle e;
  for (const char* call : {"begin with", "navigate http://a/", "created 1"}) Do(e, call);
  for (const std::string& call : GetParam().happened) Do(e, call);
  EXPECT_EQ(e.Recover(), GetParam().expected);
  EXPECT_EQ(e.State(), GetParam().state);
}

const RecoverCase kRecoverCases[] = {
    {"render_process_ended", {}, ReloadNow(), S::WebView},
    {"load_failed", {"load-failed http://a/"}, Open(L"http://a/"), S::WebView},
    {"load_failed_after_the_page_moved_on", {"load-failed http://a/b"}, Open(L"http://a/b"),
     S::WebView},
    {"a_later_load_succeeded", {"load-failed http://a/", "loaded http://a/"}, ReloadNow(),
     S::WebView},
    {"a_report_of_neither_kind_after_a_failure",
     {"load-failed http://a/", "load-other http://a/"}, Open(L"http://a/"), S::WebView},
    {"a_report_of_neither_kind_alone", {"load-other http://a/"}, ReloadNow(), S::WebView},
    // A failure reported without an address is the page's asked for: never the empty address.
    {"load_failed_without_an_address", {"navigate http://x/", "load-failed"}, Open(L"http://x/"),
     S::WebView},
    {"browser_process_ended", {"ended"}, Start(), S::Creating},
    {"while_creating", {"ended", "recover"}, kNothing, S::Creating},
    {"closed", {"close"}, kNothing, S::Closed},
};
INSTANTIATE_TEST_SUITE_P(Table, RecoverRule, ::testing::ValuesIn(kRecoverCases),
                         [](const auto& info) { return std::string(info.param.name); });

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

// Which opening the engine does within the document shown rather than as a load.
TEST(SameDocumentRule, AFragmentOfTheDocumentShownIsNoLoad) {
  using D = SameDocument;
  const struct {
    const wchar_t* address;
    const wchar_t* shown;
    D expected;
  } rows[] = {
      {L"http://r.example/#/station/5", L"http://r.example/#/station/5", D::SameAddress},
      {L"http://r.example/#/station/5", L"http://r.example/#/station/4", D::OtherFragment},
      {L"http://r.example/#/station/5", L"http://r.example/", D::OtherFragment},
      {L"http://r.example/#", L"http://r.example/", D::OtherFragment},
      {L"http://r.example/", L"http://r.example/#/station/5", D::No},  // no fragment: a load
      {L"http://r.example/", L"http://r.example/", D::No},
      {L"http://r.example/a#x", L"http://r.example/b#x", D::No},
      {L"http://r.example/?q=1#x", L"http://r.example/?q=2#x", D::No},
      {L"http://r.example/#x", L"about:blank", D::No},
      {L"http://r.example/#x", L"", D::No},
      // As the engine writes the address shown.
      {L"HTTP://R.Example#x", L"http://r.example/#x", D::SameAddress},
      {L"http://r.example:80/#x", L"http://r.example/#y", D::OtherFragment},
      {L"https://r.example:443?q#x", L"https://r.example/?q#x", D::SameAddress},
      {L"http://r.example:8080/#x", L"http://r.example/#x", D::No},
      {L"http://r.example/Path#x", L"http://r.example/path#x", D::No},
      {L"file:///C:/radio.html#x", L"file:///C:/radio.html", D::OtherFragment},
  };
  for (const auto& r : rows)
    EXPECT_EQ(SameDocumentAs(r.address, r.shown), r.expected)
        << testing::PrintToString(std::wstring(r.address)) << " shown "
        << testing::PrintToString(std::wstring(r.shown));
}

// A renderer reported unresponsive at these times (ms), and asked whether it hung for good at
// `asked`: only when reported again since its episode began, 5 s before, and lately still.
TEST(HangRule, ARunOfReportsIsOneEpisode) {
  const struct {
    const char* name;
    std::vector<std::uint32_t> reports;
    std::uint32_t asked;
    bool hung;
  } rows[] = {
      {"reported_every_two_seconds", {0, 2000, 4000}, 5050, true},
      {"at_a_later_report", {0, 6000}, 6000, true},
      {"one_report_then_it_answers", {0}, 5050, false},
      {"answers_after_a_while", {0, 2000}, 5050, false},
      {"not_yet_five_seconds", {0, 2000, 4000}, 4900, false},
      {"two_brief_episodes", {0, 11000, 13000}, 13000, false},
      {"across_the_tick_counts_wrap", {0xFFFFF000u, 0xFFFFF000u + 2000, 0xFFFFF000u + 4000},
       0xFFFFF000u + 5050, true},
  };
  for (const auto& r : rows) {
    HangWatch watch;
    for (std::uint32_t at : r.reports) watch.Reported(at);
    EXPECT_EQ(watch.Hung(r.asked), r.hung) << r.name;
  }
  HangWatch watch;
  EXPECT_TRUE(watch.Reported(100));
  EXPECT_FALSE(watch.Reported(2100));
  watch.Reset();
  EXPECT_TRUE(watch.Reported(4100)) << "a new episode after a reset";
}

}  // namespace
}  // namespace reprisa
