// Starting and closing the program: the window appears under its caption, honours the show
// command it was started with, and closing it ends the process with exit code 0.
#include <gtest/gtest.h>

#include "driver.h"

namespace e2e {
namespace {

TEST(Startup, ClosingTheMainWindowEndsTheProgramWithCodeZero) {
  Program program;
  ASSERT_TRUE(program.Start()) << "no visible TMainForm with the main window's caption";
  EXPECT_TRUE(IsWindowVisible(program.MainWindow()));
  EXPECT_FALSE(IsIconic(program.MainWindow()));
  EXPECT_FALSE(IsZoomed(program.MainWindow()));
  // The window opens at least at its design client size of 846 x 554 (at 96 dpi or more).
  RECT client{};
  GetClientRect(program.MainWindow(), &client);
  EXPECT_GE(client.right, 846);
  EXPECT_GE(client.bottom, 554);
  // Once the loop runs, the application's own window exists: hidden, captioned with the title,
  // without a task-bar button.
  HWND app = nullptr;
  EXPECT_TRUE(WaitUntil(
      [&] { return (app = program.FindTopLevel(L"TApplication", L"Reprisa", true)) != nullptr; },
      3000));
  if (app) {
    EXPECT_FALSE(IsWindowVisible(app));
    EXPECT_NE(GetWindowLongW(app, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
  }

  EXPECT_EQ(program.Close(5000), std::optional<DWORD>(0)) << "not ended with 0 within 5 s";
}

TEST(Startup, TheWindowReopensWhereAndHowItWasClosed) {
  RECT moved{};
  {
    Program first;
    ASSERT_TRUE(first.Start());
    SetWindowPos(first.MainWindow(), nullptr, 77, 66, 900, 640, SWP_NOZORDER | SWP_NOACTIVATE);
    moved = ScreenRect(first.MainWindow());
    ASSERT_EQ(first.Close(5000), std::optional<DWORD>(0));
  }
  {
    Program second;
    ASSERT_TRUE(second.Start(std::nullopt, 20000, false));
    const RECT reopened = ScreenRect(second.MainWindow());
    EXPECT_TRUE(EqualRect(&reopened, &moved)) << reopened.left << "," << reopened.top;
    // Closed maximised, it opens maximised.
    ShowWindow(second.MainWindow(), SW_MAXIMIZE);
    ASSERT_TRUE(WaitUntil([&] { return IsZoomed(second.MainWindow()) != FALSE; }, 2000));
    ASSERT_EQ(second.Close(5000), std::optional<DWORD>(0));
  }
  Program third;
  ASSERT_TRUE(third.Start(std::nullopt, 20000, false));
  EXPECT_TRUE(WaitUntil([&] { return IsZoomed(third.MainWindow()) != FALSE; }, 3000));
  EXPECT_EQ(third.Close(5000), std::optional<DWORD>(0));
}

struct ShowCase {
  const char* name;
  WORD show;
  bool iconic;
  bool zoomed;
};

class StartupShowCommand : public testing::TestWithParam<ShowCase> {};

TEST_P(StartupShowCommand, WindowStateFollowsTheStartupInfo) {
  const ShowCase& c = GetParam();
  Program program;
  ASSERT_TRUE(program.Start(c.show)) << "no visible TMainForm with the main window's caption";
  HWND main = program.MainWindow();
  // The state may be applied right after the window became visible: give it a moment.
  WaitUntil([&] { return (IsIconic(main) != FALSE) == c.iconic &&
                         (IsZoomed(main) != FALSE) == c.zoomed; },
            3000);
  EXPECT_EQ(IsIconic(main) != FALSE, c.iconic);
  EXPECT_EQ(IsZoomed(main) != FALSE, c.zoomed);

  EXPECT_EQ(program.Close(5000), std::optional<DWORD>(0)) << "not ended with 0 within 5 s";
}

INSTANTIATE_TEST_SUITE_P(Startup, StartupShowCommand,
                         testing::Values(ShowCase{"Minimized", SW_SHOWMINNOACTIVE, true, false},
                                         ShowCase{"Maximized", SW_SHOWMAXIMIZED, false, true},
                                         ShowCase{"Normal", SW_SHOWNORMAL, false, false}),
                         [](const testing::TestParamInfo<ShowCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace e2e
