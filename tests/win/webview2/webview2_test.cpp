// reprisa.exe against the fake web view runtime, worked from outside as a user works it: the
// program finds the runtime where the installer records it, makes the web view in the page area
// and keeps it there, opens what is typed, reloads with the reload method, survives the runtime's
// processes ending, falls back to the browser control on every way creation can fail, takes F10
// to its menu through the accelerator event, and gives every reference back when it closes.
// What the program did is read from the fake's log; what the browser control did, from the
// loopback server's requests.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <functional>
#include <string>
#include <vector>

#include "core/media_script.h"
#include "core/media_watch.h"
#include "core/page_recovery.h"
#include "e2e/driver.h"
#include "fake_install.h"
#include "fake_runtime/protocol.h"
#include "support/loopback_server.h"
#include "support/win_probes.h"

namespace fakewv2 {
namespace {

using e2e::Narrow;
using e2e::Text;
using e2e::WaitUntil;
using reprisa::testing_support::MessageBoxText;

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

std::string Describe(const RECT& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" +
         std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

const auto kNameOf = [](const auto& info) { return std::string(info.param.name); };

// What the program under test wrote to its user's log file (its data folder is named after
// reprisa.exe); empty when there is none.
std::string UserLogFile() {
  wchar_t local[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local)))
    return {};
  HANDLE file = CreateFileW((std::wstring(local) + L"\\reprisa\\reprisa.log").c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string text;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
    text.append(buffer, read);
  CloseHandle(file);
  return text;
}

// One program per test against a fake installed for that test; at the end the program is closed
// with WM_CLOSE, must exit with 0 and must have used the fake's objects without fault.
class WebView2Test : public testing::Test {
 protected:
  void SetUp() override {
    FakeRuntime::RemoveAllRecords();
    ASSERT_TRUE(server_.Start()) << "the loopback server could not bind 127.0.0.1";
  }

  void TearDown() override {
    if (started_) {
      EXPECT_TRUE(program_.Alive()) << "the program is no longer running";
      if (program_.Alive()) Close();
    }
    if (runtime_.Installed()) {
      std::vector<std::wstring> log = runtime_.Log();
      EXPECT_EQ(Narrow(Faults(log)), "") << Dump(log);
    }
    runtime_.Remove();
  }

  void Install(const std::string& control, Hive hive = Hive::kMachine,
               Channel channel = Channel::kStable, bool with_entry_point = true) {
    std::wstring failed = runtime_.Install(control, hive, channel, with_entry_point);
    ASSERT_EQ(Narrow(failed), "");
  }

  void StartWithView(const std::string& control, Hive hive = Hive::kMachine,
                     Channel channel = Channel::kStable) {
    ASSERT_NO_FATAL_FAILURE(Install(control, hive, channel));
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(WaitForView());
  }

  void Start() {
    ASSERT_TRUE(program_.Start()) << "no visible TMainForm window with the program's caption";
    started_ = true;
    std::wstring missing = e2e::FindMainControls(program_.MainWindow(), c_);
    ASSERT_EQ(missing, L"") << Narrow(missing);
  }

  // Closes the program with WM_CLOSE: it must end within 15 s, with 0.
  void Close() {
    started_ = false;
    std::optional<DWORD> code = program_.Close(15000);
    ASSERT_TRUE(code.has_value()) << "the program did not end within 15 s of WM_CLOSE";
    EXPECT_EQ(*code, 0u);
  }

  std::vector<std::wstring> Log() const { return runtime_.Log(); }
  std::string DumpLog() const { return Dump(Log()); }

  // The index of the first line at or after `from` that begins with prefix, waiting for it up to
  // timeout_ms (less when the program ends); -1 when none came.
  int WaitForLine(const std::wstring& prefix, DWORD timeout_ms, int from = 0) {
    int at = -1;
    WaitUntil(
        [&] {
          at = Find(Log(), prefix, from);
          return at >= 0 || !program_.Alive();
        },
        timeout_ms);
    return at;
  }

  size_t CallCount(const std::wstring& call) { return CallsOf(Log(), call).size(); }

  // The addresses opened up to the first reload, which the test has brought about.
  std::vector<std::wstring> OpenedBeforeTheReload() {
    const int reload = WaitForLine(L"WebView#1.Reload", 8000);
    EXPECT_GE(reload, 0) << DumpLog();
    std::vector<std::wstring> log = Log();
    log.resize(std::max(reload, 0));
    return CallsOf(log, L"WebView.Navigate");
  }

  // The fake's visible view window inside the main window, or null.
  HWND View() {
    for (HWND h : e2e::Children(program_.MainWindow()))
      if (e2e::ClassOf(h) == kViewClass && IsWindowVisible(h)) return h;
    return nullptr;
  }

  // Where the page is shown: the browser host's client area, on the screen.
  RECT PageArea() {
    RECT r{};
    GetClientRect(c_.browser, &r);
    MapWindowPoints(c_.browser, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
  }

  bool ViewFillsPageArea() {
    HWND view = View();
    if (!view) return false;
    RECT a = e2e::ScreenRect(view), b = PageArea();
    return EqualRect(&a, &b) && !IsRectEmpty(&a);
  }

  std::string Places() {
    HWND view = View();
    return "page area " + Describe(PageArea()) + ", view " +
           (view ? Describe(e2e::ScreenRect(view)) : std::string("none"));
  }

  void WaitForView() {
    ASSERT_TRUE(WaitUntil([&] { return ViewFillsPageArea(); }, 20000))
        << "no web view in the page area within 20 s: " << Places() << "\n" << DumpLog();
  }

  void OpenAddress(const std::wstring& text) {
    e2e::SetText(c_.urled, text);
    e2e::ClickButton(c_.goto_website);
  }

  // Starts with the web view, opens the first address of the test in it and waits until it was
  // asked for; then applies the interval, if one is given.
  void StartAndOpen(const std::wstring& address, const wchar_t* interval = nullptr) {
    ASSERT_NO_FATAL_FAILURE(StartWithView(""));
    OpenAddress(address);
    ASSERT_TRUE(WaitUntil([&] { return CallCount(L"WebView.Navigate") == 1; }, 5000)) << DumpLog();
    ASSERT_GE(Find(Log(), L"WebView#1.Navigate " + address), 0) << DumpLog();
    if (interval) {
      ASSERT_TRUE(ApplyInterval(interval));
    }
  }

  void ClickIntoPage() {
    HWND view = View();
    e2e::ClickInto(view);
    ASSERT_TRUE(WaitUntil([&] { return program_.Focus() == view; }, 3000))
        << "a click into the page did not give it the focus";
  }

  // The page posts `text` from a document at `source`, as `kind` (protocol.h) says.
  bool PagePosts(ULONG_PTR kind, const std::wstring& source, const std::string& text) {
    std::wstring data = source + L"\n" + std::wstring(text.begin(), text.end());
    COPYDATASTRUCT copy{kind, static_cast<DWORD>(data.size() * sizeof(wchar_t)), data.data()};
    DWORD_PTR answer = 0;
    return SendMessageTimeoutW(View(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy),
                               SMTO_NORMAL, 5000, &answer) != 0 && answer == TRUE;
  }

  bool ApplyInterval(const std::wstring& text) {
    e2e::SetText(c_.edit1, text);
    e2e::ClickButton(c_.set_value);
    return WaitUntil([&] { return Text(c_.edit2) == text; }, 3000);
  }

  e2e::Program program_;
  e2e::MainControls c_;
  e2e::LoopbackServer server_;
  FakeRuntime runtime_;
  bool started_ = false;
};

// ---- finding the runtime ----------------------------------------------------------------------

struct Placement {
  const char* name;
  Hive hive;
  Channel channel;
  int runtime_type;  // 0 installed, 1 fixed-version folder
  bool canary_beside;  // a canary runtime is recorded as well, and must stay unused
};

class FindsTheRuntime : public WebView2Test, public testing::WithParamInterface<Placement> {};

TEST_P(FindsTheRuntime, AndCreatesTheWebViewFromIt) {
  const Placement& p = GetParam();
  FakeRuntime canary;
  if (p.canary_beside) {
    ASSERT_EQ(Narrow(canary.Install("", Hive::kMachine, Channel::kCanary)), "");
  }
  ASSERT_NO_FATAL_FAILURE(StartWithView("", p.hive, p.channel));
  std::vector<std::wstring> entries = LinesFrom(Log(), L"entry ");
  ASSERT_EQ(entries.size(), 1u) << DumpLog();
  const std::wstring expected = L"entry checkRunningInstance=1 runtimeType=" +
                                std::to_wstring(p.runtime_type) + L" ";
  EXPECT_EQ(Narrow(entries[0].substr(0, expected.size())), Narrow(expected));
  EXPECT_TRUE(canary.Log().empty()) << "the canary runtime was loaded:\n" << Dump(canary.Log());
}

const Placement kPlacements[] = {
    {"MachineStable", Hive::kMachine, Channel::kStable, 0, false},
    {"MachineBeta", Hive::kMachine, Channel::kBeta, 0, false},
    {"MachineCanary", Hive::kMachine, Channel::kCanary, 0, false},
    {"UserStable", Hive::kUser, Channel::kStable, 0, false},
    {"UserDev", Hive::kUser, Channel::kDev, 0, false},
    {"FixedVersionFolder", Hive::kFixedFolder, Channel::kStable, 1, false},
    {"StableBeforeTheCanary", Hive::kMachine, Channel::kStable, 0, true},
};
INSTANTIATE_TEST_SUITE_P(WhereTheInstallerRecordsIt, FindsTheRuntime,
                         testing::ValuesIn(kPlacements), kNameOf);

// ---- creating and placing the web view ------------------------------------------------------

TEST_F(WebView2Test, CreatesTheWebViewInThePageAreaAsTheReferenceAsks) {
  ASSERT_NO_FATAL_FAILURE(StartWithView(""));
  std::vector<std::wstring> log = Log();

  // The user-data folder under the user's local application data, named after the executable.
  wchar_t local[MAX_PATH] = L"";
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local), S_OK);
  std::vector<std::wstring> entries = LinesFrom(log, L"entry ");
  ASSERT_EQ(entries.size(), 1u) << Dump(log);
  const std::wstring folder = L" userDataFolder=" + std::wstring(local) + L"\\reprisa\\WebView2 ";
  EXPECT_NE(Lower(entries[0]).find(Lower(folder)), std::wstring::npos)
      << Narrow(entries[0]) << "\nwanted" << Narrow(folder);
  // Called on a thread initialised for COM single-threaded.
  EXPECT_TRUE(entries[0].ends_with(L"apartment=STA") || entries[0].ends_with(L"apartment=MainSTA"))
      << Narrow(entries[0]);
  // Media may start without a gesture: the options object says so.
  std::vector<std::wstring> arguments = LinesFrom(log, L"options: AdditionalBrowserArguments=");
  ASSERT_EQ(arguments.size(), 1u) << Dump(log);
  EXPECT_NE(arguments[0].find(L"--autoplay-policy=no-user-gesture-required"), std::wstring::npos)
      << Narrow(arguments[0]);
  // The controller is asked for on the window's own thread, inside the main window.
  std::vector<std::wstring> creates = CallsOf(log, L"Environment.CreateCoreWebView2Controller");
  ASSERT_EQ(creates.size(), 1u) << Dump(log);
  EXPECT_TRUE(creates[0].ends_with(L"same_thread=1")) << Narrow(creates[0]);
  EXPECT_FALSE(CallsOf(log, L"Controller.put_Bounds").empty()) << Dump(log);
  // Nothing is opened before the user asks, and the browser control asks for nothing.
  EXPECT_TRUE(CallsOf(log, L"WebView.Navigate").empty()) << Dump(log);
  EXPECT_TRUE(server_.Paths().empty());
}

TEST_F(WebView2Test, FollowsEveryResizeAndMaximiseAndReportsMoves) {
  ASSERT_NO_FATAL_FAILURE(StartWithView(""));
  HWND main = program_.MainWindow();
  auto size_to = [main](int w, int h) {
    return [main, w, h] {
      SetWindowPos(main, nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    };
  };
  struct Step {
    const char* what;
    std::function<void()> act;
  } steps[] = {
      {"made smaller", size_to(640, 480)},
      {"made larger", size_to(980, 760)},
      {"maximised", [main] { ShowWindow(main, SW_MAXIMIZE); }},
      {"restored", [main] { ShowWindow(main, SW_RESTORE); }},
  };
  for (const Step& step : steps) {
    const RECT before = PageArea();
    step.act();
    EXPECT_TRUE(WaitUntil(
        [&] {
          RECT now = PageArea();
          return !EqualRect(&now, &before) && ViewFillsPageArea();
        },
        5000))
        << "window " << step.what << " (zoomed " << IsZoomed(main) << "): " << Places() << "\n"
        << DumpLog();
  }

  const size_t moves = CallCount(L"Controller.NotifyParentWindowPositionChanged");
  RECT at = e2e::ScreenRect(main);
  SetWindowPos(main, nullptr, at.left + 40, at.top + 30, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_TRUE(WaitUntil(
      [&] { return CallCount(L"Controller.NotifyParentWindowPositionChanged") > moves; }, 5000))
      << "a move of the main window was not reported to the web view\n" << DumpLog();
  EXPECT_TRUE(ViewFillsPageArea()) << Places();
}

// ---- opening and reloading ----------------------------------------------------------------------

TEST_F(WebView2Test, OpensEachTypedAddressOnceAsAnAbsoluteAddress) {
  ASSERT_NO_FATAL_FAILURE(StartWithView(""));
  const std::wstring port = std::to_wstring(server_.Port());
  const struct {
    std::wstring typed, opened;
  } rows[] = {
      {server_.Url("/typed"), server_.Url("/typed")},
      {L"example.invalid/seite?a=1", L"http://example.invalid/seite?a=1"},
      {L"127.0.0.1:" + port + L"/ohne-schema", L"http://127.0.0.1:" + port + L"/ohne-schema"},
      {L"https://example.invalid/sicher", L"https://example.invalid/sicher"},
  };
  std::vector<std::wstring> wanted;
  for (const auto& row : rows) {
    OpenAddress(row.typed);
    wanted.push_back(row.opened);
    EXPECT_TRUE(WaitUntil([&] { return CallCount(L"WebView.Navigate") >= wanted.size(); }, 5000))
        << "typed " << Narrow(row.typed) << ", nothing opened\n" << DumpLog();
  }
  // The next reload is the fence: up to it each address was opened exactly once, in order.
  ASSERT_TRUE(ApplyInterval(L"00:02"));
  EXPECT_EQ(OpenedBeforeTheReload(), wanted) << DumpLog();
  // The web view opened them, not the browser control.
  EXPECT_EQ(server_.Count("/typed"), 0);
  EXPECT_EQ(server_.Count("/ohne-schema"), 0);
}

TEST_F(WebView2Test, OpensAnAddressTypedBeforeTheWebViewIsReadyWhenItIs) {
  ASSERT_NO_FATAL_FAILURE(Install("controller=hold\n"));
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_GE(WaitForLine(L"controller: held", 20000), 0) << DumpLog();
  const std::wstring early = server_.Url("/early");
  OpenAddress(early);
  // A reload tick before the web view exists is swallowed.
  ASSERT_TRUE(ApplyInterval(L"00:02"));
  std::vector<int> seen;
  EXPECT_TRUE(WaitUntil(
      [&] {
        std::optional<int> s = e2e::Seconds(Text(c_.edit3));
        if (s && (seen.empty() || seen.back() != *s)) seen.push_back(*s);
        return seen.size() >= 2 && seen.back() > seen[seen.size() - 2];  // the countdown restarted
      },
      6000))
      << "no reload tick within 6 s";
  EXPECT_EQ(program_.TopLevelWindows().size(), 1u) << "a window appeared on the early reload";
  EXPECT_EQ(View(), nullptr);

  HWND post = FindWindowExW(HWND_MESSAGE, nullptr, kPostClass, nullptr);
  ASSERT_NE(post, nullptr) << "the fake's message window is not there";
  PostMessageW(post, kReleaseMessage, 0, 0);
  ASSERT_NO_FATAL_FAILURE(WaitForView());
  // Opened when ready, once: up to the next reload, the early address is all that was opened.
  EXPECT_EQ(OpenedBeforeTheReload(), std::vector<std::wstring>{early}) << DumpLog();
  EXPECT_EQ(server_.Count("/early"), 0) << "the browser control opened it too";
}

TEST_F(WebView2Test, ReloadsAtTheIntervalWithTheReloadMethod) {
  ASSERT_NO_FATAL_FAILURE(StartAndOpen(server_.Url("/reloaded"), L"00:02"));
  EXPECT_TRUE(WaitUntil([&] { return CallCount(L"WebView.Reload") >= 2; }, 9000)) << DumpLog();
  EXPECT_EQ(CallCount(L"WebView.Navigate"), 1u) << "a reload opened the address anew\n"
                                                << DumpLog();
  EXPECT_EQ(server_.Count("/reloaded"), 0);
}

TEST_F(WebView2Test, ReportsAnAddressTheRuntimeRefusesAndGoesOn) {
  ASSERT_NO_FATAL_FAILURE(StartWithView("navigate=0x80070057\n"));
  OpenAddress(server_.Url("/refused"));
  HWND box = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (box = program_.FindTopLevel(L"#32770", L"Reprisa")); },
                        5000))
      << "no message box for the refused address\n" << DumpLog();
  EXPECT_FALSE(MessageBoxText(box).empty()) << "the box shows no text";
  HWND ok = e2e::FindChild(box, L"Button", L"OK");
  ASSERT_NE(ok, nullptr) << "the box has no OK button";
  e2e::ClickButton(ok);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 3000));
  // The web view stays the engine: nothing went to the browser control.
  EXPECT_TRUE(ViewFillsPageArea()) << Places();
  EXPECT_EQ(server_.Count("/refused"), 0);
}

// The page had the focus when the window was left: coming back gives it the focus again.
TEST_F(WebView2Test, GivesThePageTheFocusBackWhenTheWindowIsActivated) {
  ASSERT_NO_FATAL_FAILURE(StartWithView(""));
  HWND main = program_.MainWindow();
  HWND view = View();
  ASSERT_NO_FATAL_FAILURE(ClickIntoPage());
  HWND other = CreateWindowExW(0, L"STATIC", L"elsewhere", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10,
                               10, 200, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(other, nullptr);
  SetForegroundWindow(other);
  const bool left = WaitUntil([&] { return GetForegroundWindow() == other; }, 3000);
  const size_t moves = CallCount(L"Controller.MoveFocus");
  SetForegroundWindow(main);
  const bool back = WaitUntil([&] { return GetForegroundWindow() == main; }, 3000);
  DestroyWindow(other);
  ASSERT_TRUE(left && back) << "the windows could not be activated from here";
  EXPECT_TRUE(WaitUntil([&] { return CallCount(L"Controller.MoveFocus") > moves; }, 3000))
      << DumpLog();
  std::vector<std::wstring> reasons = CallsOf(Log(), L"Controller.MoveFocus");
  if (!reasons.empty()) {
    EXPECT_EQ(Narrow(reasons.back()), "0") << "not a programmatic move";
  }
  EXPECT_TRUE(WaitUntil([&] { return program_.Focus() == view; }, 3000))
      << "the focus is on " << e2e::Describe(program_.Focus());
}

// Tab from the page's last element (or Shift+Tab from its first) goes on through the window's tab
// order, round its end: to the address field, the first stop, or to the countdown field, the last
// stop before the page.
TEST_F(WebView2Test, TabOutOfThePageGoesToTheNeighbouringControl) {
  ASSERT_NO_FATAL_FAILURE(StartWithView(""));
  const struct {
    const char* key;
    int reason;  // the event's move-focus reason: next or previous
    HWND to;
  } rows[] = {{"Tab", 1, c_.urled}, {"Shift+Tab", 2, c_.edit3}};
  for (const auto& row : rows) {
    ASSERT_NO_FATAL_FAILURE(ClickIntoPage());
    const int mark = static_cast<int>(Log().size());
    PostMessageW(View(), kFocusLeavesMessage, static_cast<WPARAM>(row.reason), 0);
    EXPECT_TRUE(WaitUntil([&] { return program_.Focus() == row.to; }, 3000))
        << row.key << ": the focus is on " << e2e::Describe(program_.Focus());
    const std::wstring handled =
        L"focus leaves reason=" + std::to_wstring(row.reason) + L" handled=1";
    EXPECT_GE(WaitForLine(handled, 3000, mark), 0) << row.key << "\n" << DumpLog();
  }
}

// ---- every way creation fails ends in the browser control -----------------------------------------

struct Failure {
  const char* name;
  bool installed;
  bool with_entry_point;
  const char* control;
  DWORD within_ms;  // from the click to the control's request
};

class FallsBackToTheControl : public WebView2Test, public testing::WithParamInterface<Failure> {};

TEST_P(FallsBackToTheControl, WithTheAskedAddress) {
  const Failure& f = GetParam();
  if (f.installed) {
    ASSERT_NO_FATAL_FAILURE(
        Install(f.control, Hive::kMachine, Channel::kStable, f.with_entry_point));
  }
  ASSERT_NO_FATAL_FAILURE(Start());
  const std::string path = std::string("/asked-") + f.name;
  OpenAddress(server_.Url(path));
  const ULONGLONG asked = GetTickCount64();
  int unanswered = 0;  // times the window did not answer within 2 s while we waited
  const bool opened = WaitUntil(
      [&] {
        if (Text(c_.edit3).empty()) ++unanswered;
        return server_.Count(path) >= 1;
      },
      f.within_ms);
  ASSERT_TRUE(opened) << "the browser control did not ask for " << path << " within "
                      << f.within_ms << " ms\n" << DumpLog();
  std::printf("[ %s ] the control asked for the address %llu ms after the click\n", f.name,
              GetTickCount64() - asked);
  EXPECT_EQ(unanswered, 0) << "the program stopped answering while it waited for the runtime";
  EXPECT_EQ(View(), nullptr) << "a web view is shown as well";
  std::vector<std::wstring> log = Log();
  if (f.installed) {
    EXPECT_GE(Find(log, L"loaded"), 0) << "the runtime was never loaded";
  }
  EXPECT_TRUE(CallsOf(log, L"WebView.Navigate").empty()) << Dump(log);

  // The control stays the engine: the next address goes there too.
  OpenAddress(server_.Url(path + "-next"));
  EXPECT_TRUE(WaitUntil([&] { return server_.Count(path + "-next") >= 1; }, 10000));
  EXPECT_EQ(program_.TopLevelWindows().size(), 1u) << "a message appeared";
}

const Failure kFailures[] = {
    {"NoRuntime", false, true, "", 20000},
    {"NoEntryPoint", true, false, "", 20000},
    {"EntryPointFails", true, true, "entry=0x80004005\n", 20000},
    {"EnvironmentError", true, true, "environment=error\n", 20000},
    {"EnvironmentWithoutObject", true, true, "environment=null\n", 20000},
    {"EnvironmentNeverAnswers", true, true, "environment=hang\n", 35000},
    {"ControllerError", true, true, "controller=error\n", 20000},
    {"ControllerWithoutObject", true, true, "controller=null\n", 20000},
    {"ControllerNeverAnswers", true, true, "controller=hang\n", 35000},
};
INSTANTIATE_TEST_SUITE_P(EachFailure, FallsBackToTheControl, testing::ValuesIn(kFailures), kNameOf);

// ---- the runtime's processes ending --------------------------------------------------------------

struct ProcessEnd {
  const char* name;
  int kind;  // the process-failed kind the fake reports once, or kHungForGood
  // kJudged: a helper the page's media may need; with no media heard, reloaded after the check.
  enum { kRecreated, kReloaded, kJudged, kNothing } then;
};
// The renderer hangs for good: the fake reports it unresponsive at once and every two seconds.
constexpr int kHungForGood = -1;

class SurvivesTheEnd : public WebView2Test, public testing::WithParamInterface<ProcessEnd> {};

// Back at once, in the middle of a long interval: no reload tick helps. A renderer that hangs is
// ended with its web view once it has not answered for 5 s; one report alone (a renderer briefly
// busy) and the ends of helpers the page does not need change nothing. A helper the page's media
// may need is judged by the media: with none heard, the page is reloaded after the check's time.
TEST_P(SurvivesTheEnd, OfTheProcessAtOnce) {
  const ProcessEnd& e = GetParam();
  const std::wstring last = server_.Url("/last");
  ASSERT_NO_FATAL_FAILURE(StartAndOpen(last, L"20:00"));
  const int mark = static_cast<int>(Log().size());
  const ULONGLONG ended = GetTickCount64();
  if (e.kind == kHungForGood)
    PostMessageW(View(), kHangMessage, 1, 0);
  else
    PostMessageW(View(), kEndProcessMessage, static_cast<WPARAM>(e.kind), 0);
  const int raised = WaitForLine(L"raised ProcessFailed", 5000, mark);
  ASSERT_GE(raised, 0) << "the ProcessFailed event did not reach the program\n" << DumpLog();
  if (e.then == ProcessEnd::kRecreated) {
    // The web view is gone for good: a new environment and controller, and the last address.
    EXPECT_GE(WaitForLine(L"WebView#2.Navigate " + last, 7000, raised), 0) << DumpLog();
    EXPECT_EQ(LinesFrom(Log(), L"entry ").size(), 2u) << "no new environment\n" << DumpLog();
    EXPECT_TRUE(WaitUntil([&] { return ViewFillsPageArea(); }, 5000)) << Places();
    EXPECT_EQ(CallCount(L"WebView.Reload"), 0u) << "reloaded into the old web view\n" << DumpLog();
  } else if (e.then == ProcessEnd::kReloaded || e.then == ProcessEnd::kJudged) {
    // The same web view reloads.
    const DWORD within = e.then == ProcessEnd::kJudged ? 9000 : 2000;
    EXPECT_GE(WaitForLine(L"WebView#1.Reload", within, raised), 0) << DumpLog();
    if (e.then == ProcessEnd::kJudged) {
      EXPECT_GE(GetTickCount64() - ended, 5000u) << "reloaded before the media were judged";
    }
    EXPECT_EQ(Find(Log(), L"Controller#2 created"), -1) << DumpLog();
  } else {
    EXPECT_EQ(WaitForLine(L"WebView#1.Reload", 7000, raised), -1) << DumpLog();
    EXPECT_EQ(Find(Log(), L"Controller#2 created"), -1) << DumpLog();
  }
  EXPECT_EQ(server_.Count("/last"), 0) << "the browser control opened the address";
}

const ProcessEnd kProcessEnds[] = {
    {"BrowserProcess", 0, ProcessEnd::kRecreated},
    {"RenderProcess", 1, ProcessEnd::kReloaded},
    {"RenderProcessHungForGood", kHungForGood, ProcessEnd::kRecreated},
    {"RenderProcessBrieflyBusy", 2, ProcessEnd::kNothing},
    {"FrameRenderProcess", 3, ProcessEnd::kJudged},
    {"UtilityProcess", 4, ProcessEnd::kJudged},  // the audio service among them
    {"GpuProcess", 6, ProcessEnd::kJudged},
    {"SandboxHelperProcess", 5, ProcessEnd::kNothing}};
INSTANTIATE_TEST_SUITE_P(Each, SurvivesTheEnd, testing::ValuesIn(kProcessEnds), kNameOf);

// The updater installs a newer version and removes the old one's folder while the program runs:
// the web view made after the browser process ended comes from the newer version.
TEST_F(WebView2Test, ComesBackOnTheNewerVersionInstalledMeanwhile) {
  const std::wstring last = server_.Url("/updated");
  ASSERT_NO_FATAL_FAILURE(StartAndOpen(last, L"20:00"));
  ASSERT_EQ(Narrow(runtime_.Upgrade(L"121.0.2277.83", "")), "");
  PostMessageW(View(), kEndProcessMessage, 0, 0);
  // Log() now reads the newer version's log: it was loaded, and opened the address.
  EXPECT_GE(WaitForLine(L"WebView#1.Navigate " + last, 5000), 0) << DumpLog();
  EXPECT_TRUE(WaitUntil([&] { return ViewFillsPageArea(); }, 5000)) << Places();
}

// A web view that cannot be made again after its browser process ended is tried again with the
// pauses of a lost engine (at once, then after 2, 4 and 8 s); when the third retry fails too, the
// control.
TEST_F(WebView2Test, TakesTheControlAfterThreeFailedRetries) {
  ASSERT_NO_FATAL_FAILURE(StartAndOpen(server_.Url("/after-three"), L"20:00"));
  ASSERT_EQ(Narrow(runtime_.SetControl("entry=0x80004005\n")), "");
  const ULONGLONG ended = GetTickCount64();
  PostMessageW(View(), kEndProcessMessage, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return server_.Count("/after-three") >= 1; }, 30000))
      << "the control did not open the address\n" << DumpLog();
  EXPECT_GE(GetTickCount64() - ended, 13500u) << "the pauses between the tries were not kept";
  EXPECT_EQ(LinesFrom(Log(), L"entry checkRunningInstance=").size(), 5u) << DumpLog();
  EXPECT_EQ(View(), nullptr);
}

// A load that fails in a way a later try may mend is tried again after the first pause (5 s),
// long before the reload tick, with the address it failed at; so is a load whose server never
// answers, once it has waited its time (a minute, in the real program) and been stopped. The
// countdown runs on untouched.
struct LoadFailure {
  const char* name;
  const char* control;
  DWORD fails_within_ms;  // from the click to the failed load's report
};

class RetriesALoad : public WebView2Test, public testing::WithParamInterface<LoadFailure> {};

TEST_P(RetriesALoad, ThatFailed) {
  const LoadFailure& f = GetParam();
  ASSERT_NO_FATAL_FAILURE(StartWithView(""));
  ASSERT_TRUE(ApplyInterval(L"20:00"));
  const ULONGLONG applied = GetTickCount64();
  ASSERT_EQ(Narrow(runtime_.SetControl(f.control)), "");
  const std::wstring page = server_.Url("/down");
  OpenAddress(page);
  ASSERT_GE(WaitForLine(L"raised NavigationCompleted", f.fails_within_ms), 0) << DumpLog();
  const ULONGLONG failed = GetTickCount64();
  ASSERT_EQ(Narrow(runtime_.SetControl("")), "");  // the site is back
  EXPECT_TRUE(WaitUntil([&] { return CallCount(L"WebView.Navigate") >= 2; }, 9000)) << DumpLog();
  const ULONGLONG retried = GetTickCount64();
  std::printf("[ %s ] failed %llu ms after the interval was applied, retried %llu ms later\n",
              f.name, failed - applied, retried - failed);
  EXPECT_GE(retried - failed, 4000u) << "tried again without a pause";
  std::vector<std::wstring> opened = CallsOf(Log(), L"WebView.Navigate");
  ASSERT_GE(opened.size(), 2u);
  EXPECT_EQ(Narrow(opened[1]), Narrow(page));
  EXPECT_EQ(CallCount(L"WebView.Reload"), 0u) << DumpLog();
  const std::optional<int> left = e2e::Seconds(Text(c_.edit3));
  ASSERT_TRUE(left.has_value()) << Narrow(Text(c_.edit3));
  EXPECT_LE(*left, 1200 - static_cast<int>((retried - applied) / 1000) + 1)
      << "the countdown started again";
}

const LoadFailure kLoadFailures[] = {{"NoConnection", "web_error_status=12\n", 5000},
                                     {"ServerError", "http_status=503\n", 5000},
                                     {"NoAnswer", "navigation=hang\n", 70000}};
INSTANTIATE_TEST_SUITE_P(Each, RetriesALoad, testing::ValuesIn(kLoadFailures), kNameOf);

// ---- waking from sleep ------------------------------------------------------------------------

// Each wake reloads at once, once: the system tells it twice (the automatic resume, then the
// resume when the user is back).
TEST_F(WebView2Test, AWakeFromSleepReloadsOnceAtOnce) {
  ASSERT_NO_FATAL_FAILURE(StartAndOpen(server_.Url("/asleep"), L"20:00"));
  HWND main = program_.MainWindow();
  // Sent: the reload is asked for before the answer comes back.
  auto tell = [main](WPARAM event) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(main, WM_POWERBROADCAST, event, 0, SMTO_NORMAL, 5000, &result) != 0;
  };
  for (size_t wake = 1; wake <= 2; ++wake) {
    ASSERT_TRUE(tell(PBT_APMSUSPEND));
    ASSERT_TRUE(tell(PBT_APMRESUMEAUTOMATIC));
    ASSERT_TRUE(tell(PBT_APMRESUMESUSPEND));
    EXPECT_EQ(CallCount(L"WebView.Reload"), wake) << DumpLog();
  }
  // A wake whose suspend message never came is a wake all the same.
  ASSERT_TRUE(tell(PBT_APMRESUMEAUTOMATIC));
  EXPECT_EQ(CallCount(L"WebView.Reload"), 3u) << DumpLog();
}

// ---- keys typed in the page -----------------------------------------------------------------

struct PageKey {
  const char* name;
  UINT down, up;  // the key messages the runtime's window gets
  UINT vk;
  bool opens_menu;
};

class KeyInThePage : public WebView2Test, public testing::WithParamInterface<PageKey> {};

// Keys typed into the page never pass the program's message loop: the fake's window gets them as
// sent messages and reports them through the accelerator event only.
TEST_P(KeyInThePage, ReachesTheMenuOnlyWhenItIsTheMenuKey) {
  const PageKey& k = GetParam();
  ASSERT_NO_FATAL_FAILURE(StartWithView(""));
  HWND view = View();
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(k.vk, MAPVK_VK_TO_VSC)) << 16;
  SendNotifyMessageW(view, k.down, k.vk, scan | 1);
  SendNotifyMessageW(view, k.up, k.vk, scan | 1 | (1 << 30) | (1u << 31));
  wchar_t vk[8];
  swprintf(vk, 8, L"0x%02X", k.vk);
  const int up_kind = k.up == WM_SYSKEYUP ? 3 : 1;
  if (k.opens_menu) {
    EXPECT_TRUE(WaitUntil([&] { return program_.InMenu(); }, 5000))
        << k.name << " in the page did not open the menu bar\n" << DumpLog();
    EXPECT_GE(Find(Log(), L"AcceleratorArgs#"), 0) << DumpLog();
    EXPECT_FALSE(LinesFrom(Log(), L"AcceleratorArgs#1.put_Handled 1").empty() &&
                 LinesFrom(Log(), L"AcceleratorArgs#2.put_Handled 1").empty())
        << "the event was not marked handled\n" << DumpLog();
    // The bar is on "Hilfe", its one item: Enter opens its popup.
    HWND main = program_.MainWindow();
    auto popup_shown = [&] { return program_.ShowsPopupMenu(); };
    e2e::PressKey(main, VK_RETURN);
    EXPECT_TRUE(WaitUntil(popup_shown, 3000)) << "Enter on the menu bar opened no popup";
    // Out of the menu again, as a user would leave it.
    e2e::PressKey(main, VK_ESCAPE);
    EXPECT_TRUE(WaitUntil([&] { return !popup_shown(); }, 3000)) << "Escape left the popup open";
    e2e::PressKey(main, VK_ESCAPE);
    EXPECT_TRUE(WaitUntil([&] { return !program_.InMenu(); }, 3000))
        << "Escape did not leave the menu";
  } else {
    const std::wstring last = L"key kind=" + std::to_wstring(up_kind) + L" vk=" + vk + L" handled=";
    ASSERT_GE(WaitForLine(last, 5000), 0) << DumpLog();
    std::vector<std::wstring> log = Log();
    for (const std::wstring& line : LinesFrom(log, L"key kind="))
      if (line.find(L" handled=") != std::wstring::npos) {
        EXPECT_TRUE(line.ends_with(L"handled=0")) << "the program took the page's key\n"
                                                   << Dump(log);
      }
    EXPECT_FALSE(program_.InMenu()) << k.name << " in the page opened the menu";
  }
}

const PageKey kPageKeys[] = {
    {"F10", WM_SYSKEYDOWN, WM_SYSKEYUP, VK_F10, true},
    {"F5", WM_KEYDOWN, WM_KEYUP, VK_F5, false},
    {"Escape", WM_KEYDOWN, WM_KEYUP, VK_ESCAPE, false},
};
INSTANTIATE_TEST_SUITE_P(Each, KeyInThePage, testing::ValuesIn(kPageKeys), kNameOf);

// ---- the page's media ------------------------------------------------------------------------

// What the program's script posts for an element that played, then failed.
constexpr char kPlayed[] = R"({"v":1,"doc":"page0001","el":1,"ev":"play","t":0,"inf":true})";
constexpr char kFailed[] = R"({"v":1,"doc":"page0001","el":1,"ev":"error","t":3,"inf":true})";

// The script, once per web view (also the one made anew after its browser process ended) and
// never again on a later load; the fake's log has its length and a hash of its text. That no page
// is loaded before the script is in place, the fake checks in every test.
TEST_F(WebView2Test, AddsTheMediaScriptOnceToEachWebView) {
  const std::wstring page = server_.Url("/radio");
  ASSERT_NO_FATAL_FAILURE(StartAndOpen(page, L"20:00"));
  OpenAddress(server_.Url("/other"));
  ASSERT_GE(WaitForLine(L"WebView#1.Navigate " + server_.Url("/other"), 5000), 0) << DumpLog();
  PostMessageW(View(), kEndProcessMessage, 0, 0);
  ASSERT_GE(WaitForLine(L"WebView#2.Navigate", 7000), 0) << DumpLog();
  unsigned hash = 2166136261u;
  for (const char* p = reprisa::kMediaWatchScript; *p; ++p)
    hash = (hash ^ static_cast<unsigned char>(*p)) * 16777619u;
  char expected[64];
  std::snprintf(expected, sizeof(expected), "length=%u hash=%08X",
                static_cast<unsigned>(std::strlen(reprisa::kMediaWatchScript)), hash);
  const std::vector<std::wstring> log = Log();
  const auto added = CallsOf(log, L"WebView.AddScriptToExecuteOnDocumentCreated");
  ASSERT_EQ(added.size(), 2u) << Dump(log);
  for (const std::wstring& call : added) EXPECT_EQ(Narrow(call), expected);
  EXPECT_GE(Find(log, L"WebView#2.AddScriptToExecuteOnDocumentCreated"), 0) << Dump(log);
}

// A media failure (an element that played reports an error) brings the page back after the
// first pause of the retries, 5 s, in the middle of a long interval, and says so in the user's log
// file: from the top document, from a frame (whose messages come only on the frame's own
// channel), from a frame inside that frame, and on a runtime without frames.
struct MediaFailure {
  const char* name;
  const char* control;
  ULONG_PTR posted;
};

class MediaFails : public WebView2Test, public testing::WithParamInterface<MediaFailure> {};

TEST_P(MediaFails, AndThePageIsReloadedAfterFiveSeconds) {
  ASSERT_NO_FATAL_FAILURE(StartWithView(GetParam().control));
  ASSERT_TRUE(ApplyInterval(L"20:00"));
  const std::wstring page = server_.Url("/radio");
  OpenAddress(page);
  ASSERT_GE(WaitForLine(L"raised NavigationCompleted", 5000), 0) << DumpLog();
  const std::wstring source = GetParam().posted >= kPostedInFrame ? server_.Url("/player") : page;
  ASSERT_TRUE(PagePosts(GetParam().posted, source, kPlayed));
  const std::size_t logged = UserLogFile().size();
  const ULONGLONG failed = GetTickCount64();
  ASSERT_TRUE(PagePosts(GetParam().posted, source, kFailed));
  ASSERT_GE(WaitForLine(L"WebView#1.Reload", 10000), 0) << "the page did not come back\n"
                                                        << DumpLog();
  const ULONGLONG back = GetTickCount64() - failed;
  EXPECT_GE(back, 4500u) << "brought back without the pause";
  EXPECT_LE(back, 8000u);
  const std::string log = UserLogFile();
  EXPECT_NE(log.find("  Medien: Fehler gemeldet, neu laden in 5 s\r\n", logged), std::string::npos)
      << log;
}

const MediaFailure kMediaFailures[] = {{"InTheTopDocument", "", kPostedString},
                                       {"InAFrame", "", kPostedInFrame},
                                       {"InAFrameInAFrame", "", kPostedInFrame + 1},
                                       {"OnARuntimeWithoutFrames", "frames=no\n", kPostedString}};
INSTANTIATE_TEST_SUITE_P(Each, MediaFails, testing::ValuesIn(kMediaFailures), kNameOf);

// A player the page keeps outside the document (the page-world part of the script posts its facts
// under a doc id of its own) is heard as the page's: asked to play, it fails before it ever
// played (the stream is down at the open), and the page is brought back after the quick pause.
TEST_F(WebView2Test, APlayerOutsideTheDocumentThatNeverPlayedBringsThePageBackQuickly) {
  const std::wstring page = server_.Url("/radio");
  ASSERT_NO_FATAL_FAILURE(StartAndOpen(page, L"20:00"));
  ASSERT_GE(WaitForLine(L"raised NavigationCompleted", 5000), 0) << DumpLog();
  ASSERT_TRUE(PagePosts(kPostedString, page,
                        R"({"v":1,"doc":"world0002","el":1,"ev":"want","t":0,"inf":false})"));
  const std::size_t logged = UserLogFile().size();
  const ULONGLONG failed = GetTickCount64();
  ASSERT_TRUE(PagePosts(kPostedString, page,
                        R"({"v":1,"doc":"world0002","el":1,"ev":"error","t":0,"inf":false})"));
  ASSERT_GE(WaitForLine(L"WebView#1.Reload", 8000), 0) << "the page did not come back\n"
                                                       << DumpLog();
  const ULONGLONG back = GetTickCount64() - failed;
  EXPECT_GE(back, 3500u) << "brought back without the pause";
  EXPECT_LE(back, 6500u);
  EXPECT_NE(UserLogFile().find("  Medien: Fehler gemeldet, neu laden in 4 s\r\n", logged),
            std::string::npos);
}

// Heard again before the pause is over (its time moves on), the page is left as it is.
TEST_F(WebView2Test, MediaHeardAgainBeforeThePauseCallsTheRetryOff) {
  const std::wstring page = server_.Url("/radio");
  ASSERT_NO_FATAL_FAILURE(StartAndOpen(page, L"20:00"));
  ASSERT_GE(WaitForLine(L"raised NavigationCompleted", 5000), 0) << DumpLog();
  ASSERT_TRUE(PagePosts(kPostedString, page, kPlayed));
  const std::size_t logged = UserLogFile().size();
  ASSERT_TRUE(PagePosts(kPostedString, page, kFailed));  // back in 5 s
  Sleep(1500);
  ASSERT_TRUE(PagePosts(kPostedString, page,
                        R"({"v":1,"doc":"page0001","el":1,"ev":"time","t":5,"inf":true})"));
  EXPECT_EQ(WaitForLine(L"WebView#1.Reload", 6500), -1) << "brought back anyway\n" << DumpLog();
  EXPECT_NE(UserLogFile().find("  Medien spielen wieder: neu laden abgesagt\r\n", logged),
            std::string::npos);
}

// A page can forge the script's messages: a storm of them (many a second, each round a player
// of a fresh document, on through every reload) brings it back no more often than the pauses
// allow. Each reload follows a pause begun after the one before: the quick pause (kQuickRetryMs)
// at most kQuickRetries times (its count is reset only by 30 s of play in a row, longer than the
// storm, or by another page), every other pause at least the first of the failed load's (5 s).
// So within `elapsed` ms there are at most kQuickRetries + (elapsed - the quick pauses) / 5 s
// reloads, fewer when elapsed is short. A storm of every fact (each player plays, moves on,
// fails and ends) is heard again at once after each failure; one of failures only (after a first
// player that played) brings the page back along the pauses, up to the bound in 25 s.
struct Storm {
  const char* name;
  std::vector<const char*> first, each;  // the facts of the first round's player, of the others'
  size_t at_least;                       // reloads
};

class ForgedMessages : public WebView2Test, public testing::WithParamInterface<Storm> {};

TEST_P(ForgedMessages, BringThePageBackNoMoreOftenThanThePausesAllow) {
  using reprisa::MediaWatch;
  const Storm& storm = GetParam();
  const std::wstring page = server_.Url("/radio");
  ASSERT_NO_FATAL_FAILURE(StartAndOpen(page, L"20:00"));
  ASSERT_GE(WaitForLine(L"raised NavigationCompleted", 5000), 0) << DumpLog();
  const std::size_t logged = UserLogFile().size();
  const ULONGLONG began = GetTickCount64();
  unsigned rounds = 0, posted = 0, taken = 0;
  while (GetTickCount64() - began < 25000 && program_.Alive()) {
    const std::vector<const char*>& facts = rounds++ == 0 ? storm.first : storm.each;
    for (unsigned i = 0; i < facts.size(); ++i) {
      const std::string text = R"({"v":1,"doc":"forged)" + std::to_string(rounds) + R"(","el":)" +
                               std::to_string(rounds) + R"(,"ev":")" + facts[i] + R"(","t":)" +
                               std::to_string(i) + R"(,"inf":true})";
      ++posted;
      taken += PagePosts(kPostedString, page, text) ? 1 : 0;
    }
    Sleep(40);
  }
  const ULONGLONG elapsed = GetTickCount64() - began;
  const ULONGLONG quick = MediaWatch::kQuickRetries * MediaWatch::kQuickRetryMs;
  const ULONGLONG pause = reprisa::PageRecovery::kRetryDelaysMs[0];
  const size_t bound = elapsed < quick ? elapsed / MediaWatch::kQuickRetryMs
                                       : MediaWatch::kQuickRetries + (elapsed - quick) / pause;
  const size_t reloads = LinesFrom(Log(), L"WebView#1.Reload").size();
  std::printf("[ %s ] %u messages in %llu ms, %zu reloads (at most %zu)\n", storm.name, taken,
              elapsed, reloads, bound);
  EXPECT_EQ(taken, posted) << "the view did not take every message";
  // The forged failures were heard as failures.
  EXPECT_NE(UserLogFile().find("  Medien: Fehler gemeldet, neu laden in ", logged),
            std::string::npos);
  EXPECT_GE(reloads, storm.at_least);
  EXPECT_LE(reloads, bound);
}

const Storm kStorms[] = {
    {"EveryFact", {"play", "time", "error", "end"}, {"play", "time", "error", "end"}, 0},
    {"FailuresOnly", {"play", "time", "error"}, {"want", "error", "end"}, 3},
};
INSTANTIATE_TEST_SUITE_P(Each, ForgedMessages, testing::ValuesIn(kStorms), kNameOf);

// A helper the page's media may need ends while they play on (the page's script reports their time
// every few seconds): the page is left alone, and still watched: its media's failure later brings
// it back after the first pause of the retries.
class HelperEndsWhileMediaPlays : public WebView2Test, public testing::WithParamInterface<int> {};

TEST_P(HelperEndsWhileMediaPlays, AndThePageStaysWatched) {
  const std::wstring page = server_.Url("/radio");
  ASSERT_NO_FATAL_FAILURE(StartAndOpen(page, L"20:00"));
  ASSERT_GE(WaitForLine(L"raised NavigationCompleted", 5000), 0) << DumpLog();
  ASSERT_TRUE(PagePosts(kPostedString, page, kPlayed));
  PostMessageW(View(), kEndProcessMessage, static_cast<WPARAM>(GetParam()), 0);
  ASSERT_GE(WaitForLine(L"raised ProcessFailed", 5000), 0) << DumpLog();
  // The page's time moves on, reported every 2 s, for longer than the check takes.
  const ULONGLONG ended = GetTickCount64();
  ULONGLONG reported = ended;
  int t = 0;
  const bool reloaded = WaitUntil(
      [&] {
        if (GetTickCount64() - reported >= 2000) {
          reported = GetTickCount64();
          t += 2;
          const std::string time = R"({"v":1,"doc":"page0001","el":1,"ev":"time","t":)" +
                                   std::to_string(t) + R"(,"inf":true})";
          PagePosts(kPostedString, page, time);
        }
        return CallCount(L"WebView.Reload") > 0;
      },
      9000);
  EXPECT_FALSE(reloaded) << "the page playing on was reloaded\n" << DumpLog();
  const ULONGLONG failed = GetTickCount64();
  ASSERT_TRUE(PagePosts(kPostedString, page, kFailed));
  ASSERT_GE(WaitForLine(L"WebView#1.Reload", 10000), 0) << "no longer watched\n" << DumpLog();
  EXPECT_GE(GetTickCount64() - failed, 4500u) << "brought back without the pause";
}

INSTANTIATE_TEST_SUITE_P(Each, HelperEndsWhileMediaPlays, testing::Values(3, 6),
                         [](const auto& info) {
                           return std::string(info.param == 3 ? "FrameRenderProcess"
                                                              : "GpuProcess");
                         });

// What is not the script's message from a page of the web or the disk is dropped without a word:
// no reload after the pause a failure would have. The script's own failure message afterwards
// still brings the page back.
TEST_F(WebView2Test, IgnoresMessagesOfAnotherShapeOrOrigin) {
  const std::wstring page = server_.Url("/radio");
  ASSERT_NO_FATAL_FAILURE(StartAndOpen(page, L"20:00"));
  ASSERT_TRUE(PagePosts(kPostedString, page, kPlayed));
  const struct {
    const char* name;
    ULONG_PTR posted;
    std::wstring source;
    std::string text;
  } kIgnored[] = {
      {"not a string", kPostedNotAString, page, kFailed},
      {"malformed", kPostedString, page, std::string(kFailed, sizeof(kFailed) - 2)},
      {"another key", kPostedString, page,
       R"({"v":1,"doc":"page0001","el":1,"event":"error","t":3,"inf":true})"},
      {"a data document", kPostedString, L"data:text/html,<audio>", kFailed},
      {"a blank frame", kPostedInFrame, L"about:blank", kFailed},
  };
  for (const auto& message : kIgnored)
    ASSERT_TRUE(PagePosts(message.posted, message.source, message.text)) << message.name;
  EXPECT_EQ(WaitForLine(L"WebView#1.Reload", 7000), -1) << "one of them was taken\n" << DumpLog();
  ASSERT_TRUE(PagePosts(kPostedString, page, kFailed));
  EXPECT_GE(WaitForLine(L"WebView#1.Reload", 8000), 0) << DumpLog();
}

// ---- closing ------------------------------------------------------------------------------

TEST_F(WebView2Test, ClosingClosesTheControllerFirstAndReturnsEveryReference) {
  ASSERT_NO_FATAL_FAILURE(StartAndOpen(server_.Url("/closing")));
  ASSERT_NO_FATAL_FAILURE(Close());
  std::vector<std::wstring> log = Log();
  std::vector<std::wstring> closes = CallsOf(log, L"Controller.Close");
  ASSERT_EQ(closes.size(), 1u) << Dump(log);
  EXPECT_EQ(Narrow(closes[0]), "parent_alive=1 view_alive=1") << "closed after its window went";
  EXPECT_EQ(Find(log, L"Controller#1 view window destroyed before Close"), -1) << Dump(log);
  EXPECT_EQ(Narrow(Faults(log)), "") << Dump(log);
  EXPECT_GE(Find(log, L"unloaded live=0 host_references=0"), 0) << Dump(log);
}

}  // namespace
}  // namespace fakewv2
