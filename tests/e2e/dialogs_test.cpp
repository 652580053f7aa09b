// The program's dialogs worked from outside: the About dialog from the "Hilfe" menu. (Wine's
// browser control takes every address without an error, so the message box of a refused address
// is driven against the fake web view runtime, in tests/win/webview2.)
#include <gtest/gtest.h>

#include <string>

#include "driver.h"
#include "support/win_probes.h"

namespace e2e {
namespace {
using reprisa::testing_support::MenuText;

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
      if (std::wstring text = MenuText(bar, 0); text != L"Hilfe")
        return L"the menu bar's first item is " + text;
      HMENU help = GetSubMenu(bar, 0);
      if (std::wstring text = MenuText(help, 0); text != L"\u00DCber...")
        return L"the first item under Hilfe is " + text;
      PostMessageW(main, WM_COMMAND, MAKEWPARAM(GetMenuItemID(help, 0), 0), 0);
      return L"";
    }
    PostMessageW(main, WM_SYSCOMMAND, SC_KEYMENU, 0);
    if (!WaitUntil([&] { return program_.InMenu(); }, 2000))
      return L"the menu bar did not take the keyboard";
    PressKey(main, VK_RETURN);
    if (!WaitUntil([&] { return program_.ShowsPopupMenu(); }, 2000))
      return L"Enter on \"Hilfe\" opened no popup menu";
    PressKey(main, VK_RETURN);
    if (!WaitUntil([&] { return !program_.InMenu(); }, 2000))
      return L"the menu did not close on Enter";
    return L"";
  }

  // True when Edit3 shows a different text within timeout_ms: the timers are ticking.
  bool CountdownMoves(DWORD timeout_ms) {
    const std::wstring start = Text(c_.edit3);
    return WaitUntil([&] { return Text(c_.edit3) != start; }, timeout_ms);
  }
};

// True when some static child of the dialog shows this text, or with `part`, holds it.
bool HasLabel(HWND dialog, const std::wstring& text, bool part = false) {
  for (HWND h : Children(dialog))
    if (ClassOf(h) == L"Static" &&
        (part ? Text(h).find(text) != std::wstring::npos : Text(h) == text))
      return true;
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
  EXPECT_TRUE(HasLabel(about, std::to_wstring(now.wYear), true))
      << "no label holds the year " << now.wYear;
  EXPECT_FALSE(HasLabel(about, L"XXXX", true));

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
  EXPECT_TRUE(EqualRect(&first, &second)) << "the dialog came back elsewhere";
  PostMessageW(about, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(about); }, 3000))
      << "the close box did not close the dialog";
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(main) != FALSE; }, 2000));
  EXPECT_TRUE(CountdownMoves(2500));
}

}  // namespace
}  // namespace e2e
