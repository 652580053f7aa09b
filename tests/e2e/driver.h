// The end-to-end driver's tools: start reprisa.exe as a user would, find its windows by class,
// caption and place, type, click, press keys and read fields from outside the process. Every wait
// is bounded; a program that is still running when its handle goes is terminated.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// The program under test (argv[1] of the driver), as a full Windows path.
const std::wstring& ProgramPath();
void SetProgramPath(const std::wstring& path);
// The registry key that holds the program's stored window placement: Software\<file stem>
// under HKEY_CURRENT_USER.
std::wstring PlacementKey();
// Under Wine, the DOS path of a Unix path (one that starts with "/"); any other path as it is.
std::wstring WindowsPath(const std::wstring& path);

// Polls pred every 50 ms until it holds or timeout_ms has passed; returns its last result.
bool WaitUntil(const std::function<bool()>& pred, DWORD timeout_ms);

// Window text through WM_GETTEXT, bounded (a hung program yields an empty text).
std::wstring Text(HWND hwnd);
std::wstring ClassOf(HWND hwnd);

// The screen rectangle of a window.
RECT ScreenRect(HWND hwnd);

// All descendants of parent (direct_only: only its own children).
std::vector<HWND> Children(HWND parent, bool direct_only = false);

// A seconds count read from a time text "mm:ss" as the program writes it (either part may carry
// a minus sign); nothing for any other text.
std::optional<int> Seconds(const std::wstring& text);

// The child of `parent` (at any depth) of that class with that caption, or null.
HWND FindChild(HWND parent, const wchar_t* cls, const std::wstring& caption);

// Input as a user would give it.
void SetText(HWND edit, const std::wstring& text);       // WM_SETTEXT
void TypeText(HWND edit, const std::wstring& text);      // select all, then posted WM_CHARs
void ClickButton(HWND button);                           // posted BM_CLICK
void ClickInto(HWND hwnd);                               // posted left button down/up
void PressKey(HWND target, UINT vk);                     // posted WM_KEYDOWN + WM_KEYUP

// One run of the program. The destructor terminates it if it is still running.
class Program {
 public:
  Program() = default;
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;
  ~Program();

  // Starts the program with the given show command (STARTUPINFO) and waits, up to timeout_ms, for
  // its main window to be visible. False when it did not start or no window came.
  // With first_run false, the placement stored by the last run is kept.
  bool Start(std::optional<WORD> show_command = std::nullopt, DWORD timeout_ms = 20000,
             bool first_run = true);

  bool Alive() const;
  HWND MainWindow() const { return main_; }

  // Visible (or, with hidden_too, all) top-level windows of the process.
  std::vector<HWND> TopLevelWindows(bool hidden_too = false) const;
  // A visible (or, with hidden_too, any) top-level window of the process with this class and
  // caption, or null.
  HWND FindTopLevel(const wchar_t* cls, const std::wstring& caption,
                    bool hidden_too = false) const;
  // The focused window of the program's user-interface thread, or null.
  HWND Focus() const;
  // Whether that thread is in a menu's loop, and whether a popup menu of the program is shown.
  bool InMenu() const;
  bool ShowsPopupMenu() const;

  // Sends WM_CLOSE to the main window and waits for the process to end; its exit code, or
  // nothing when it did not end in time (it is then terminated).
  std::optional<DWORD> Close(DWORD timeout_ms = 10000);
  // Waits for the process to end by itself.
  std::optional<DWORD> WaitForExit(DWORD timeout_ms);
  void Kill();

 private:
  GUITHREADINFO GuiInfo() const;  // all zero when it cannot be read

  PROCESS_INFORMATION pi_{};
  HWND main_ = nullptr;
};

// The controls of the main window, found by class and caption, the edits by their place in the
// top panel.
struct MainControls {
  HWND panel = nullptr;  // the top panel
  HWND urled = nullptr;
  HWND edit1 = nullptr;
  HWND edit2 = nullptr;
  HWND edit3 = nullptr;
  HWND goto_website = nullptr;
  HWND set_value = nullptr;
  HWND restart = nullptr;
  HWND browser = nullptr;
};
// Fills controls; an empty text on success, else what was missing.
std::wstring FindMainControls(HWND main, MainControls& controls);

// A printable form of a wide text for failure messages.
std::string Narrow(const std::wstring& text);
// A window for failure messages: its class and caption, or "nothing".
std::string Describe(HWND hwnd);

// A test with one running program whose main controls have been found; at the end the program
// is closed with WM_CLOSE and must exit with code 0.
class ProgramTest : public testing::Test {
 protected:
  void StartProgram() {
    ASSERT_TRUE(program_.Start()) << "no visible TMainForm with the main window's caption";
    std::wstring missing = FindMainControls(program_.MainWindow(), c_);
    ASSERT_EQ(missing, L"") << Narrow(missing);
  }

  void TearDown() override {
    if (!program_.Alive()) {
      ADD_FAILURE() << "the program is no longer running";
      return;
    }
    std::optional<DWORD> code = program_.Close(10000);
    ASSERT_TRUE(code.has_value()) << "the program did not end within 10 s of WM_CLOSE";
    EXPECT_EQ(*code, 0u);
  }

  Program program_;
  MainControls c_;
};

}  // namespace e2e
