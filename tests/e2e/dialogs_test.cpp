// The program's dialogs worked from outside: the About dialog from the "Hilfe" menu, and the
// message box that a failing navigation shows.
#include <gtest/gtest.h>

#include <string>

#include "driver.h"

namespace e2e {
namespace {

class DialogsTest : public ProgramTest {
 protected:
  void SetUp() override { StartProgram(); }

  // Chooses "Hilfe" -> "\u00DCber..." in the main window's menu bar. Where the menu can be read
  // from outside (Windows), its command is posted; where it cannot (Wine keeps menus inside their
  // process), the menu is worked with the keyboard as a user would: F10's system command opens
  // the bar on its first item "Hilfe", Enter opens its popup on its first item "\u00DCber...",
  // Enter chooses it. Returns an empty text, or what went wrong.
  std::wstring ChooseAboutFromMenu() {
    HWND main = program_.MainWindow();
    HMENU bar = GetMenu(main);
    if (!bar) return L"the main window has no menu bar";
    if (GetMenuItemCount(bar) >= 0) {
      wchar_t text[64] = {};
      GetMenuStringW(bar, 0, text, static_cast<int>(std::size(text)), MF_BYPOSITION);
      if (std::wstring(text) != L"Hilfe")
        return L"the menu bar's first item is " + std::wstring(text);
      HMENU help = GetSubMenu(bar, 0);
      GetMenuStringW(help, 0, text, static_cast<int>(std::size(text)), MF_BYPOSITION);
      if (std::wstring(text) != L"\u00DCber...")
        return L"the first item under Hilfe is " + std::wstring(text);
      PostMessageW(main, WM_COMMAND, MAKEWPARAM(GetMenuItemID(help, 0), 0), 0);
      return L"";
    }
    auto in_menu = [&] {
      GUITHREADINFO info{};
      info.cbSize = sizeof(info);
      return GetGUIThreadInfo(program_.ThreadId(), &info) && (info.flags & GUI_INMENUMODE);
    };
    auto popup_shown = [&] {
      for (HWND h : program_.TopLevelWindows())
        if (ClassOf(h) == L"#32768") return true;
      return false;
    };
    PostMessageW(main, WM_SYSCOMMAND, SC_KEYMENU, 0);
    if (!WaitUntil(in_menu, 2000)) return L"the menu bar did not take the keyboard";
    PressKey(main, VK_RETURN);
    if (!WaitUntil(popup_shown, 2000)) return L"Enter on \"Hilfe\" opened no popup menu";
    PressKey(main, VK_RETURN);
    if (!WaitUntil([&] { return !in_menu(); }, 2000)) return L"the menu did not close on Enter";
    return L"";
  }

  // True when Edit3 shows a different text within timeout_ms: the timers are ticking.
  bool CountdownMoves(DWORD timeout_ms) {
    const std::wstring start = Text(c_.edit3);
    return WaitUntil([&] { return Text(c_.edit3) != start; }, timeout_ms);
  }

};

// True when some static child of the dialog shows exactly this text.
bool HasLabel(HWND dialog, const std::wstring& text) {
  for (HWND h : Children(dialog))
    if (ClassOf(h) == L"Static" && Text(h) == text) return true;
  return false;
}

bool AnyLabelContains(HWND dialog, const std::wstring& part) {
  for (HWND h : Children(dialog))
    if (ClassOf(h) == L"Static" && Text(h).find(part) != std::wstring::npos) return true;
  return false;
}

TEST_F(DialogsTest, AboutDialogOpensModallyClosesWithEnterAndReopensInPlace) {
  HWND main = program_.MainWindow();
  std::wstring failed = ChooseAboutFromMenu();
  ASSERT_EQ(failed, L"") << Narrow(failed);
  HWND about = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (about = program_.FindTopLevel(L"TAboutBox", L"Info")); },
                        5000))
      << "no visible TAboutBox \"Info\" within 5 s";
  EXPECT_FALSE(IsWindowEnabled(main)) << "the main window still takes input: not modal";
  EXPECT_TRUE(HasLabel(about, L"Garantiert ein Original Velmora Programm"));
  SYSTEMTIME now;
  GetLocalTime(&now);
  EXPECT_TRUE(AnyLabelContains(about, std::to_wstring(now.wYear)))
      << "no label holds the year " << now.wYear;
  EXPECT_FALSE(AnyLabelContains(about, L"XXXX"));

  EXPECT_TRUE(CountdownMoves(2500)) << "the countdown stood still while the dialog was open";

  // The dialog opens with the focus on its OK button; Enter, sent where the focus is, closes
  // (hides) it.
  HWND focus = nullptr;
  WaitUntil([&] { return ClassOf(focus = program_.Focus()) == L"Button"; }, 1500);
  ASSERT_NE(focus, nullptr) << "nothing has the focus";
  ASSERT_EQ(GetAncestor(focus, GA_ROOT), about) << "the focus is not inside the dialog";
  EXPECT_EQ(ClassOf(focus) + L" " + Text(focus), L"Button OK")
      << "the focus is on " << Describe(focus);
  // Enter on the web-site button would open a browser: never press it there.
  ASSERT_TRUE(ClassOf(focus) != L"Button" || Text(focus) == L"OK");
  const RECT first = ScreenRect(about);
  PressKey(focus, VK_RETURN);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(about); }, 3000))
      << "the dialog is still shown 3 s after Enter";
  EXPECT_TRUE(IsWindow(about)) << "the dialog was destroyed, not hidden";
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(main) != FALSE; }, 2000));

  // Once more: the same window at the same place; its close box closes it as well.
  failed = ChooseAboutFromMenu();
  ASSERT_EQ(failed, L"") << Narrow(failed);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(about) != FALSE; }, 5000))
      << "the dialog did not open a second time";
  EXPECT_EQ(program_.FindTopLevel(L"TAboutBox", L"Info"), about);
  const RECT second = ScreenRect(about);
  EXPECT_EQ(second.left, first.left);
  EXPECT_EQ(second.top, first.top);
  EXPECT_EQ(second.right - second.left, first.right - first.left);
  EXPECT_EQ(second.bottom - second.top, first.bottom - first.top);
  PostMessageW(about, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(about); }, 3000))
      << "the close box did not close the dialog";
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(main) != FALSE; }, 2000));
  EXPECT_TRUE(CountdownMoves(2500));
}

// Texts that are no address. Whether the browser control refuses one of them right away (and so
// the program must report it) is the platform's business: Windows' control refuses some, Wine's
// accepts every text and fails later, inside the page, where no error reaches the program.
const wchar_t* const kNoAddresses[] = {L"", L"::invalid", L"http://["};

TEST_F(DialogsTest, FailingNavigationIsReportedInAMessageBoxAndTheProgramGoesOn) {
  HWND main = program_.MainWindow();
  HWND box = nullptr;
  std::string tried;
  for (const wchar_t* address : kNoAddresses) {
    SetText(c_.urled, address);
    ClickButton(c_.goto_website);
    tried += " \"" + Narrow(address) + "\"";
    if (WaitUntil([&] { return (box = program_.FindTopLevel(L"#32770", L"Reprisa")); }, 1500))
      break;
  }
  if (!box) {
    ASSERT_TRUE(program_.Alive());
    GTEST_SKIP() << "the browser control here accepts every address tried (" << tried
                 << " ), so no navigation fails in a way the program could report";
  }
  std::wstring message;
  HWND ok = nullptr;
  for (HWND h : Children(box)) {
    if (ClassOf(h) == L"Static" && Text(h).size() > message.size()) message = Text(h);
    if (ClassOf(h) == L"Button") {
      EXPECT_EQ(Text(h), L"OK") << "the box has more than its OK button";
      ok = h;
    }
  }
  ASSERT_FALSE(message.empty()) << "the box shows no text";
  EXPECT_EQ(message.back(), L'.') << "\"" << Narrow(message) << "\"";
  ASSERT_NE(ok, nullptr) << "the box has no OK button";

  EXPECT_TRUE(CountdownMoves(2500)) << "the countdown stood still while the box was shown";
  ClickButton(ok);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 3000))
      << "the box is still shown after OK";
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(main) != FALSE; }, 2000));
  EXPECT_TRUE(program_.Alive());
  EXPECT_TRUE(CountdownMoves(2500)) << "the countdown stopped after the box";
}

}  // namespace
}  // namespace e2e
