// The main window worked from outside: setting the interval, the countdown, opening an address
// with the button and with Enter, restarting the countdown with Escape, and the reload ticks.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "driver.h"
#include "support/loopback_server.h"

namespace e2e {

// A fresh program and loopback server per test; closing at the end must give exit code 0.
class MainWindowTest : public ProgramTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Start()) << "the loopback server could not bind 127.0.0.1";
    StartProgram();
  }

  // The countdown in seconds, or a large sentinel when Edit3 holds no time text.
  int Countdown() { return Seconds(Text(c_.edit3)).value_or(100000); }

  // Notes Edit3's text when it differs from the last one noted; returns it.
  std::wstring Sample(std::vector<std::wstring>& seen) {
    std::wstring t = Text(c_.edit3);
    if (seen.empty() || seen.back() != t) seen.push_back(t);
    return t;
  }
  static std::string Sequence(const std::vector<std::wstring>& seen) {
    std::string sequence;
    for (const auto& t : seen) sequence += Narrow(t) + " ";
    return sequence;
  }

  // Types an interval into Edit1 and clicks "Wert setzen"; true when Edit2 shows it.
  bool ApplyInterval(const std::wstring& text) {
    SetText(c_.edit1, text);
    ClickButton(c_.set_value);
    return WaitUntil([&] { return Text(c_.edit2) == text; }, 1500);
  }

  // Gives a control the focus with a click, as a user would before pressing a key there.
  bool FocusByClick(HWND hwnd) {
    ClickInto(hwnd);
    if (WaitUntil([&] { return program_.Focus() == hwnd; }, 2000)) return true;
    ADD_FAILURE() << "the focus is on " << Describe(program_.Focus()) << ", not on the clicked "
                  << Describe(hwnd);
    return false;
  }

  // Returns once the program has handled every message posted to it so far (a key press and the
  // characters it brought): a selection posted last to the address field has arrived there.
  bool ProgramCaughtUp() {
    PostMessageW(c_.urled, EM_SETSEL, 1, 2);
    return WaitUntil(
        [&] {
          DWORD_PTR selection = 0;
          return SendMessageTimeoutW(c_.urled, EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, 1000,
                                     &selection) &&
                 selection == MAKELONG(1, 2);
        },
        5000);
  }

  // The key pressed at `pressed_at` opened `path`, and once the program has handled all of the
  // key, no second request follows. A second opening would send its request as quickly as the
  // first one came: that long (twice, at least half a second) is waited for it.
  void ExpectOpenedOnce(const std::string& path, ULONGLONG pressed_at) {
    ASSERT_TRUE(WaitUntil([&] { return server_.Count(path) >= 1; }, 5000))
        << "no request for " << path << " within 5 s";
    const ULONGLONG first_came = GetTickCount64() - pressed_at;
    ASSERT_TRUE(ProgramCaughtUp()) << "the program does not answer";
    WaitUntil([&] { return server_.Count(path) >= 2; },
              static_cast<DWORD>(std::max<ULONGLONG>(500, 2 * first_came)));
    EXPECT_EQ(server_.Count(path), 1) << "opened more than once";
  }

  LoopbackServer server_;
};

TEST_F(MainWindowTest, StartsWithTheBuiltInTexts) {
  EXPECT_EQ(Text(c_.edit1), L"03:00");
  EXPECT_EQ(Text(c_.edit2), L"03:00");
  EXPECT_EQ(Narrow(Text(c_.urled)).rfind("http", 0), 0u) << Narrow(Text(c_.urled));
  // The countdown runs from 3 minutes as soon as the window exists.
  EXPECT_TRUE(WaitUntil([&] { return Countdown() <= 179; }, 2500)) << Narrow(Text(c_.edit3));
  EXPECT_GE(Countdown(), 170);
  for (auto [edit, read_only] : {std::pair{c_.edit2, true}, std::pair{c_.edit3, true},
                                 std::pair{c_.edit1, false}, std::pair{c_.urled, false}})
    EXPECT_EQ((GetWindowLongW(edit, GWL_STYLE) & ES_READONLY) != 0, read_only) << Describe(edit);
  // The window opens with the focus on the first control in tab order, the address field, so
  // that what the user types goes there.
  HWND focus = nullptr;
  EXPECT_TRUE(WaitUntil([&] { return (focus = program_.Focus()) == c_.urled; }, 1500))
      << "the focus is on " << Describe(focus);
}

TEST_F(MainWindowTest, TypedIntervalIsAppliedAndCountedDown) {
  TypeText(c_.edit1, L"04:30");
  ASSERT_TRUE(WaitUntil([&] { return Text(c_.edit1) == L"04:30"; }, 2000))
      << "Edit1 holds \"" << Narrow(Text(c_.edit1)) << "\" after typing 04:30";
  ClickButton(c_.set_value);
  bool shown = WaitUntil(
      [&] { return Text(c_.edit2) == L"04:30" && Text(c_.edit3) == L"04:29"; }, 1500);
  EXPECT_TRUE(shown) << "after 1.5 s Edit2 = \"" << Narrow(Text(c_.edit2)) << "\", Edit3 = \""
                     << Narrow(Text(c_.edit3)) << "\"";
}

TEST_F(MainWindowTest, InvalidIntervalChangesNothingAndShowsNothing) {
  ASSERT_TRUE(WaitUntil([&] { return Countdown() <= 178; }, 4000)) << Narrow(Text(c_.edit3));
  const std::vector<HWND> before_windows = program_.TopLevelWindows();
  const std::set<HWND> known(before_windows.begin(), before_windows.end());
  const int before = Countdown();

  SetText(c_.edit1, L"xyz");
  ClickButton(c_.set_value);

  // For two seconds: no new window of the program, the countdown never goes back up.
  std::vector<std::wstring> seen;
  std::wstring new_window;
  WaitUntil(
      [&] {
        for (HWND h : program_.TopLevelWindows())
          if (!known.count(h)) new_window = ClassOf(h) + L" \"" + Text(h) + L"\"";
        Sample(seen);
        return false;
      },
      2000);
  EXPECT_EQ(new_window, L"") << "a window appeared: " << Narrow(new_window);
  EXPECT_EQ(Text(c_.edit2), L"03:00");
  const std::string sequence = Sequence(seen);
  for (const auto& t : seen) EXPECT_LE(Seconds(t).value_or(100000), before) << sequence;
  EXPECT_LT(Countdown(), before) << "the countdown stopped: " << sequence;
}

TEST_F(MainWindowTest, EnterInTheAddressFieldOpensTheAddressOnce) {
  SetText(c_.urled, server_.Url("/enter-urled"));
  ASSERT_TRUE(FocusByClick(c_.urled)) << "a click into urled did not give it the focus";
  const ULONGLONG pressed_at = GetTickCount64();
  PressKey(c_.urled, VK_RETURN);
  ExpectOpenedOnce("/enter-urled", pressed_at);
  EXPECT_EQ(Text(c_.urled), server_.Url("/enter-urled"));
}

TEST_F(MainWindowTest, EnterInTheIntervalFieldOpensTheAddressAndLeavesTheInterval) {
  SetText(c_.urled, server_.Url("/enter-edit1"));
  SetText(c_.edit1, L"00:10");
  ASSERT_TRUE(FocusByClick(c_.edit1)) << "a click into Edit1 did not give it the focus";
  const ULONGLONG pressed_at = GetTickCount64();
  PressKey(c_.edit1, VK_RETURN);
  ExpectOpenedOnce("/enter-edit1", pressed_at);
  EXPECT_EQ(Text(c_.edit2), L"03:00");
  EXPECT_GT(Countdown(), 10) << "the countdown runs from the typed interval: "
                             << Narrow(Text(c_.edit3));
}

TEST_F(MainWindowTest, EscapeRestartsTheCountdownFromEveryControl) {
  SetText(c_.urled, server_.Url("/escape"));
  ASSERT_TRUE(ApplyInterval(L"00:10"));
  struct Case {
    const char* name;
    HWND target;
  } cases[] = {{"urled", c_.urled},
               {"Edit1", c_.edit1},
               {"Edit3 (read-only)", c_.edit3},
               {"Zur Website...", c_.goto_website}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    ASSERT_TRUE(WaitUntil([&] { return Countdown() <= 7; }, 5000)) << Narrow(Text(c_.edit3));
    ASSERT_TRUE(FocusByClick(k.target)) << "a click did not give the control the focus";
    ASSERT_LE(Countdown(), 7);
    PressKey(k.target, VK_ESCAPE);
    EXPECT_TRUE(WaitUntil([&] { return Text(c_.edit3) == L"00:09"; }, 1500))
        << "Edit3 = \"" << Narrow(Text(c_.edit3)) << "\" 1.5 s after Escape";
  }
}

TEST_F(MainWindowTest, OpeningAnAddressHalfWayKeepsTheCountdownRunning) {
  SetText(c_.urled, server_.Url("/half-way"));
  const ULONGLONG applied = GetTickCount64();
  ASSERT_TRUE(ApplyInterval(L"00:06"));
  ASSERT_TRUE(WaitUntil([&] { return Countdown() <= 3; }, 5000)) << Narrow(Text(c_.edit3));
  const int at_click = Countdown();
  ClickButton(c_.goto_website);

  // The countdown goes on down to zero; only the reload tick, 6 s after applying, restarts it.
  std::vector<std::wstring> seen;
  bool restarted = WaitUntil([&] { return Sample(seen) == L"00:05" && seen.size() > 1; }, 8000);
  const double after_s = (GetTickCount64() - applied) / 1000.0;
  EXPECT_TRUE(WaitUntil([&] { return server_.Count("/half-way") >= 1; }, 5000))
      << "no request for /half-way";
  const std::string sequence = std::to_string(at_click) + "s at the click; then " + Sequence(seen);
  ASSERT_TRUE(restarted) << "the countdown never came back to 00:05: " << sequence;
  EXPECT_GE(after_s, 5.0) << "restarted too early: " << sequence;
  EXPECT_LE(after_s, 8.0) << sequence;
  for (size_t i = 0; i + 1 < seen.size(); ++i)
    EXPECT_LE(Seconds(seen[i]).value_or(100000), at_click) << sequence;
}

TEST_F(MainWindowTest, ShortIntervalReloadsAgainAndAgain) {
  ASSERT_TRUE(ApplyInterval(L"00:02"));
  ASSERT_TRUE(WaitUntil([&] { return Text(c_.edit3) == L"00:01"; }, 1500))
      << Narrow(Text(c_.edit3));
  std::vector<std::wstring> seen;
  WaitUntil([&] { Sample(seen); return false; }, 7000);
  const std::string sequence = Sequence(seen);
  int returns = 0;
  for (size_t i = 0; i < seen.size(); ++i) {
    int s = Seconds(seen[i]).value_or(100000);
    // Between two reloads the countdown shows 00:01 and 00:00 (00:02 in the very millisecond of
    // a reload); anything else means a tick came late or the countdown went wrong.
    EXPECT_TRUE(s >= 0 && s <= 2) << sequence;
    if (i > 0 && s > Seconds(seen[i - 1]).value_or(100000)) ++returns;
  }
  EXPECT_GE(returns, 3) << "the countdown went back up only " << returns << " times: "
                        << sequence;
}

}  // namespace e2e
