// The browser host against the system's control: in-place hosting, a loopback HTTP server that
// sees the requests of Navigate, error texts, keyboard routing, and a clean teardown.
#include <winsock2.h>
#include <windows.h>

#include <docobj.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "core/exceptions.h"
#include "support/loopback_server.h"
#include "support/win_test_support.h"
#include "win/kit/application_win.h"
#include "win/kit/form_win.h"
#include "win/web/web_browser_win.h"

namespace reprisa {
namespace {
using e2e::LoopbackServer;
using testing_support::PumpFor;
using testing_support::PumpUntil;
using testing_support::PumpUntilIdle;

// A form holding one browser that fills its client area. The form stays hidden unless shown.
struct Host {
  std::unique_ptr<TForm> form;
  TWebBrowser* browser = nullptr;

  // window_first: the form's window exists before the browser is placed on it.
  explicit Host(int width = 400, int height = 300, bool window_first = false) {
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(50, 50, width, height);
    if (window_first) form->Handle();
    browser = new TWebBrowser(form.get());
    browser->SetParent(form.get());
    browser->SetAlign(TAlign::alClient);
    form->Handle();
  }
};

RECT ClientRectOf(HWND hwnd) {
  RECT r{};
  GetClientRect(hwnd, &r);
  return r;
}

::testing::AssertionResult FillsHost(TWebBrowser& b) {
  HWND host = b.WindowHandle();
  HWND control = b.ControlWindow();
  if (!host || !control) return ::testing::AssertionFailure() << "no host or control window";
  if (GetParent(control) != host)
    return ::testing::AssertionFailure() << "control window is not a child of the host";
  RECT want = ClientRectOf(host), got = testing_support::RectInParent(control);
  if (!EqualRect(&want, &got))
    return ::testing::AssertionFailure()
           << "host client " << want.right << "x" << want.bottom << ", control at (" << got.left
           << "," << got.top << ")-(" << got.right << "," << got.bottom << ")";
  return ::testing::AssertionSuccess();
}

// Windows of this thread, top-level ones and all their descendants.
int CountThreadWindows() {
  struct Counter {
    static BOOL CALLBACK Child(HWND, LPARAM lp) {
      ++*reinterpret_cast<int*>(lp);
      return TRUE;
    }
    static BOOL CALLBACK Top(HWND hwnd, LPARAM lp) {
      ++*reinterpret_cast<int*>(lp);
      EnumChildWindows(hwnd, &Child, lp);
      return TRUE;
    }
  };
  int n = 0;
  EnumThreadWindows(GetCurrentThreadId(), &Counter::Top, reinterpret_cast<LPARAM>(&n));
  return n;
}

// --- hosting ------------------------------------------------------------------------------------

struct HostingCase {
  const char* name;
  bool window_first;
  int width, height;          // first size
  int new_width, new_height;  // after the resize
  bool show_later;            // shown only after the resize
};
void PrintTo(const HostingCase& c, std::ostream* os) { *os << c.name; }

class BrowserHosting : public ::testing::TestWithParam<HostingCase> {};

TEST_P(BrowserHosting, ActiveInPlaceAndFillsHostBeforeAndAfterResize) {
  const HostingCase& c = GetParam();
  Host h(c.width, c.height, c.window_first);
  ASSERT_FALSE(IsWindowVisible(h.form->WindowHandle())) << "the form must still be hidden";
  EXPECT_TRUE(h.browser->InPlaceActive());
  EXPECT_TRUE(FillsHost(*h.browser));
  RECT before = ClientRectOf(h.browser->WindowHandle());
  EXPECT_GT(before.right, 0);

  h.form->SetBounds(50, 50, c.new_width, c.new_height);
  RECT after = ClientRectOf(h.browser->WindowHandle());
  EXPECT_NE(before.right, after.right);
  EXPECT_NE(before.bottom, after.bottom);
  EXPECT_TRUE(PumpUntil([&] { return FillsHost(*h.browser); })) << FillsHost(*h.browser).message();

  if (!c.show_later) return;
  // Shown later, it still fills the host.
  ShowWindow(h.form->WindowHandle(), SW_SHOWNOACTIVATE);
  EXPECT_TRUE(PumpUntil([&] { return h.browser->InPlaceActive() && FillsHost(*h.browser); }))
      << FillsHost(*h.browser).message();
}

INSTANTIATE_TEST_SUITE_P(
    Table, BrowserHosting,
    ::testing::Values(HostingCase{"PlacedBeforeTheFormWindow", false, 400, 300, 640, 480, true},
                      HostingCase{"PlacedOnAnExistingWindow", true, 400, 300, 640, 480, false},
                      HostingCase{"Shrinking", false, 800, 600, 220, 160, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BrowserHost, FocusOnTheHostMovesIntoTheControl) {
  Host h;
  HWND form = h.form->WindowHandle();
  ShowWindow(form, SW_SHOW);
  SetForegroundWindow(form);
  // The window system activates the form in its own time; the focus can only move once it has.
  ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == form; }, 3000));
  SetFocus(h.browser->WindowHandle());
  HWND focus = nullptr;
  EXPECT_TRUE(PumpUntil(
      [&] { return (focus = GetFocus()) && IsChild(h.browser->WindowHandle(), focus); }, 3000))
      << "focus " << focus << ", host " << h.browser->WindowHandle() << ", control "
      << h.browser->ControlWindow() << ", active " << GetActiveWindow() << ", fg "
      << GetForegroundWindow() << ", form " << form;
  EXPECT_TRUE(h.browser->Focused());
}

// --- keyboard -----------------------------------------------------------------------------------

TEST(BrowserHost, LeavesKeysOutsideThePageAlone) {
  Host h;
  HWND outside = h.form->WindowHandle();
  HWND inside = h.browser->ControlWindow();
  ASSERT_NE(inside, nullptr);
  struct Case {
    HWND hwnd;
    UINT message;
    WPARAM key;
  };
  // Keys for the form itself (Enter, Escape, Tab of the form's own fields) and messages that are
  // no keys never reach the page.
  const Case cases[] = {
      {outside, WM_KEYDOWN, VK_RETURN},
      {outside, WM_KEYDOWN, VK_ESCAPE},
      {outside, WM_CHAR, L'\t'},
      {h.browser->WindowHandle(), WM_KEYDOWN, VK_TAB},  // the host itself is not the page
      {inside, WM_LBUTTONDOWN, 0},
      {inside, WM_PAINT, 0},
      {nullptr, WM_KEYDOWN, VK_TAB},
  };
  for (const Case& c : cases) {
    MSG msg{c.hwnd, c.message, c.key, 0, 0, {0, 0}};
    EXPECT_FALSE(h.browser->PreTranslateMessage(msg)) << "message " << c.message;
  }
  EXPECT_TRUE(h.browser->WantsAllKeys());
}

// --- the two operations -------------------------------------------------------------------------

TEST(BrowserNavigate, TheServerReceivesTheRequestForThePath) {
  LoopbackServer server;
  ASSERT_TRUE(server.Start());
  server.Hold();  // no answer until released: Navigate must not wait for the page
  Host h;
  const DWORD start = GetTickCount();
  h.browser->Navigate(server.Url("/reprisa/probe.html?n=1"));
  const DWORD navigate_ms = GetTickCount() - start;
  EXPECT_TRUE(PumpUntil([&] { return server.Count("/reprisa/probe.html?n=1") > 0; }, 10000))
      << "requests seen: " << server.Paths().size();
  EXPECT_LT(navigate_ms, 5000u);
  server.Release();
  // A second address on the same control goes out too (the interface is kept, not lost), typed
  // without its scheme as a user would.
  h.browser->Navigate(server.Url("/second").substr(std::wstring(L"http://").size()));
  EXPECT_TRUE(PumpUntil([&] { return server.Count("/second") > 0; }, 10000));
  PumpFor(100);
}

// The control has no document to reload yet: its failure comes back as the system's text for
// it (Wine's, in the tests' pinned English), without the line break the system ends it with.
TEST(BrowserErrors, RefreshBeforeAnyPageRaisesWithTheSystemsDescription) {
  Host h;
  try {
    h.browser->Refresh();
    ADD_FAILURE() << "a reload with no page raised nothing";
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ErrorCode(), E_FAIL);
    EXPECT_EQ(e.Message(), L"Call failed.");
  }
}

TEST(BrowserErrors, ResultCodesBecomeErrorTexts) {
  struct Case {
    HRESULT code;
    bool raises;
  };
  for (const Case& c : {Case{E_FAIL, true}, Case{E_NOINTERFACE, true}, Case{E_OUTOFMEMORY, true},
                        Case{static_cast<HRESULT>(0x8FFF4321), true}, Case{S_OK, false},
                        Case{S_FALSE, false}}) {
    if (!c.raises) {
      EXPECT_EQ(OleCheck(c.code), c.code);
      continue;
    }
    try {
      OleCheck(c.code);
      ADD_FAILURE() << "no error for " << std::hex << c.code;
    } catch (const EOleSysError& e) {
      EXPECT_EQ(e.ErrorCode(), c.code);
      EXPECT_FALSE(e.Message().empty());
      EXPECT_NE(e.Message().back(), L'\n');
      EXPECT_NE(e.Message().back(), L' ');
    }
  }
  // A code the system has no text for is named in hex.
  EXPECT_EQ(OleErrorMessage(static_cast<HRESULT>(0x8FFF4321)), L"Unbekannter Fehler 0x8FFF4321");
}

// --- teardown -----------------------------------------------------------------------------------

enum class Teardown { DeleteForm, DestroyFormWindowFirst, DeleteBrowserFirst };

struct TeardownCase {
  const char* name;
  bool navigate;
  Teardown how;
};
void PrintTo(const TeardownCase& c, std::ostream* os) { *os << c.name; }

class BrowserTeardown : public ::testing::TestWithParam<TeardownCase> {};

// The control's references as they stand, read through a reference of the caller's own.
unsigned long ReferencesOn(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

// The first control of a process loads the control's libraries, which keep windows of their own
// for the rest of the process: one control is made and let go here, once, before a test counts
// windows.
void LoadTheControlOnce() {
  static const bool loaded = [] {
    IUnknown* control = nullptr;
    {
      Host h;
      control = h.browser->ControlInterface();
      control->AddRef();
    }
    const bool released = PumpUntil([&] { return ReferencesOn(control) == 1; }, 5000);
    control->Release();
    return released;
  }();
  ASSERT_TRUE(loaded) << "the first control kept references of its own after its host went";
}

// The host returns every reference it took on the site and on the control at its teardown. The
// control releases references of its own later, from posted messages (after a navigation above
// all): the test holds one reference of its own on the control, waits for the control's, and
// then finds its own the only one left.
TEST_P(BrowserTeardown, SiteReferencesReturnToZero) {
  const TeardownCase& c = GetParam();
  LoadTheControlOnce();
  const long sites_before = TWebBrowser::LiveSites();
  const long referenced_before = TWebBrowser::ControlsLeftReferenced();
  const int windows_before = CountThreadWindows();
  std::unique_ptr<LoopbackServer> server;
  IUnknown* control = nullptr;  // the test's own reference
  {
    Host h;
    EXPECT_EQ(TWebBrowser::LiveSites(), sites_before + 1);
    // The control holds references of its own on the site while it is active.
    EXPECT_GT(h.browser->SiteReferences(), 1u);
    if (c.navigate) {
      server = std::make_unique<LoopbackServer>();
      ASSERT_TRUE(server->Start());
      h.browser->Navigate(server->Url("/teardown"));
      ASSERT_TRUE(PumpUntil([&] { return server->Count("/teardown") > 0; }, 10000))
          << "the navigation never reached the server";
    }
    control = h.browser->ControlInterface();
    ASSERT_NE(control, nullptr);
    control->AddRef();
    switch (c.how) {
      case Teardown::DeleteForm:
        break;
      case Teardown::DestroyFormWindowFirst:
        DestroyWindow(h.form->WindowHandle());
        EXPECT_FALSE(h.browser->InPlaceActive());
        EXPECT_EQ(h.browser->SiteReferences(), 0u);
        break;
      case Teardown::DeleteBrowserFirst:
        delete h.browser;
        h.browser = nullptr;
        break;
    }
  }
  EXPECT_EQ(TWebBrowser::LiveSites(), sites_before);
  // The host saw a reference left on the control at its teardown: the test's.
  EXPECT_EQ(TWebBrowser::ControlsLeftReferenced(), referenced_before + 1);
  EXPECT_TRUE(PumpUntil([&] { return ReferencesOn(control) == 1; }, 5000))
      << ReferencesOn(control) - 1 << " references besides the test's are left on the control";
  EXPECT_EQ(control->Release(), 0u);
  EXPECT_EQ(CountThreadWindows(), windows_before);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BrowserTeardown,
    ::testing::Values(TeardownCase{"NeverLoadedDeleteForm", false, Teardown::DeleteForm},
                      TeardownCase{"NeverLoadedWindowFirst", false,
                                   Teardown::DestroyFormWindowFirst},
                      TeardownCase{"NeverLoadedBrowserFirst", false, Teardown::DeleteBrowserFirst},
                      TeardownCase{"NavigatedDeleteForm", true, Teardown::DeleteForm},
                      TeardownCase{"NavigatedWindowFirst", true, Teardown::DestroyFormWindowFirst}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BrowserTeardown, TwoHundredHostsLeakNoHandles) {
  const HANDLE self = GetCurrentProcess();
  auto cycle = [] {
    Host h(320, 240);
    EXPECT_TRUE(h.browser->InPlaceActive());
  };
  // Warm-up: the first hosts load the control's libraries and their shared objects.
  for (int i = 0; i < 5; ++i) cycle();
  PumpUntilIdle();
  const DWORD gdi_before = GetGuiResources(self, GR_GDIOBJECTS);
  const DWORD user_before = GetGuiResources(self, GR_USEROBJECTS);
  const int windows_before = CountThreadWindows();
  const long sites_before = TWebBrowser::LiveSites();
  const long referenced_before = TWebBrowser::ControlsLeftReferenced();
  const DWORD start = GetTickCount();
  for (int i = 0; i < 200; ++i) {
    cycle();
    if (i % 20 == 0) PumpFor(0);
  }
  const DWORD elapsed = GetTickCount() - start;
  // What the control posts at its teardown is handled before anything is counted.
  EXPECT_TRUE(PumpUntil([&] { return CountThreadWindows() == windows_before; }))
      << CountThreadWindows() << " windows, " << windows_before << " before";
  const DWORD gdi_after = GetGuiResources(self, GR_GDIOBJECTS);
  const DWORD user_after = GetGuiResources(self, GR_USEROBJECTS);
  const int windows_after = CountThreadWindows();
  EXPECT_EQ(TWebBrowser::LiveSites(), sites_before);
  EXPECT_EQ(TWebBrowser::ControlsLeftReferenced(), referenced_before);
  // A few objects of the system's own caches may come and go; one per host would be hundreds.
  EXPECT_LE(gdi_after, gdi_before + 10) << "GDI objects " << gdi_before << " -> " << gdi_after;
  EXPECT_LE(user_after, user_before + 10) << "USER objects " << user_before << " -> " << user_after;
  EXPECT_EQ(windows_after, windows_before);
  std::printf("[ browser  ] 200 hosts in %lu ms; GDI %lu -> %lu, USER %lu -> %lu, "
              "windows %d -> %d\n",
              static_cast<unsigned long>(elapsed), static_cast<unsigned long>(gdi_before),
              static_cast<unsigned long>(gdi_after), static_cast<unsigned long>(user_before),
              static_cast<unsigned long>(user_after), windows_before, windows_after);
}

// --- document mode and script errors -----------------------------------------------------------

// The value this test program's own browser mode is kept under: its executable's file name.
std::wstring OwnExecutableName() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return PathFindFileNameW(path);
}

struct StoredValue {
  bool present = false;
  DWORD type = REG_NONE;
  std::wstring bytes;  // the raw data, two bytes per character
};

StoredValue ReadModeValue(const std::wstring& name) {
  StoredValue v;
  wchar_t data[64] = {};
  DWORD size = sizeof(data);
  v.present = RegGetValueW(HKEY_CURRENT_USER, kBrowserEmulationKey, name.c_str(), RRF_RT_ANY,
                           &v.type, data, &size) == ERROR_SUCCESS;
  if (v.present) v.bytes.assign(data, (size + 1) / sizeof(wchar_t));
  return v;
}

DWORD AsDword(const StoredValue& v) {
  DWORD d = 0;
  if (v.bytes.size() * sizeof(wchar_t) >= sizeof(d)) std::memcpy(&d, v.bytes.data(), sizeof(d));
  return d;
}

// Leaves the key as it found it: made again when a test took it away, gone when a test made it.
class BrowserMode : public ::testing::Test {
 protected:
  void SetUp() override {
    key_existed = ValueCount().has_value();
    Forget();
  }
  void TearDown() override {
    Forget();
    HKEY key = nullptr;
    if (key_existed && RegCreateKeyExW(HKEY_CURRENT_USER, kBrowserEmulationKey, 0, nullptr, 0,
                                       KEY_READ, nullptr, &key, nullptr) == ERROR_SUCCESS)
      RegCloseKey(key);
    if (!key_existed && ValueCount() == 0u) RegDeleteKeyW(HKEY_CURRENT_USER, kBrowserEmulationKey);
  }
  // The number of values under the key; nothing without the key.
  static std::optional<DWORD> ValueCount() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kBrowserEmulationKey, 0, KEY_QUERY_VALUE, &key) != 0)
      return std::nullopt;
    DWORD values = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return values;
  }
  void Forget() { RegDeleteKeyValueW(HKEY_CURRENT_USER, kBrowserEmulationKey, name.c_str()); }
  void Store(DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kBrowserEmulationKey, name.c_str(), type, data,
                              size),
              ERROR_SUCCESS);
  }
  const std::wstring name = OwnExecutableName();
  bool key_existed = false;
};

TEST_F(BrowserMode, TheNewestModeIsCreatedWhenAbsentEvenWithoutTheKey) {
  ASSERT_EQ(name.substr(name.size() - 4), L".exe");
  // Without the key (a new user) as well as with a key that holds only other programs' values.
  if (ValueCount() == 0u) RegDeleteKeyW(HKEY_CURRENT_USER, kBrowserEmulationKey);
  RequestNewestBrowserMode();
  StoredValue v = ReadModeValue(name);
  ASSERT_TRUE(v.present);
  EXPECT_EQ(v.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(v.bytes.size() * sizeof(wchar_t), sizeof(DWORD));
  EXPECT_EQ(AsDword(v), 11001u);
  // A second start finds it and changes nothing.
  RequestNewestBrowserMode();
  EXPECT_EQ(AsDword(ReadModeValue(name)), 11001u);
}

TEST_F(BrowserMode, AValueThatExistsIsNeverOverwritten) {
  struct Case {
    const char* what;
    DWORD type;
    std::wstring data;  // raw bytes, two per character
  };
  const DWORD older = 7000, newest = 11001;
  const Case cases[] = {
      {"another mode", REG_DWORD, std::wstring(reinterpret_cast<const wchar_t*>(&older), 2)},
      {"the newest mode", REG_DWORD, std::wstring(reinterpret_cast<const wchar_t*>(&newest), 2)},
      {"a text", REG_SZ, std::wstring(L"11001\0", 6)},
      {"an empty binary value", REG_BINARY, std::wstring()},
  };
  for (const Case& c : cases) {
    Store(c.type, c.data.data(), static_cast<DWORD>(c.data.size() * sizeof(wchar_t)));
    RequestNewestBrowserMode();
    StoredValue v = ReadModeValue(name);
    EXPECT_TRUE(v.present) << c.what;
    EXPECT_EQ(v.type, c.type) << c.what;
    EXPECT_EQ(v.bytes, c.data) << c.what;
    Forget();
  }
}

TEST(BrowserHost, AnswersScriptErrorsWithGoOnAndNoDialog) {
  Host h;
  IOleClientSite* site = h.browser->ClientSite();
  ASSERT_NE(site, nullptr);
  IOleCommandTarget* target = nullptr;
  ASSERT_EQ(site->QueryInterface(IID_IOleCommandTarget, reinterpret_cast<void**>(&target)), S_OK);
  const GUID doc_host = {0xF38BC242, 0xB950, 0x11D1,
                         {0x89, 0x18, 0x00, 0xC0, 0x4F, 0xC2, 0xC8, 0x36}};
  const GUID other = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
  // The script error command: handled (so the control shows nothing), scripts go on.
  VARIANT in{}, out{};
  EXPECT_EQ(target->Exec(&doc_host, OLECMDID_SHOWSCRIPTERROR, OLECMDEXECOPT_DODEFAULT, &in, &out),
            S_OK);
  EXPECT_EQ(V_VT(&out), VT_BOOL);
  EXPECT_EQ(V_BOOL(&out), VARIANT_TRUE);
  EXPECT_EQ(target->Exec(&doc_host, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, nullptr), S_OK);
  // Anything else is left to the control: unknown groups and commands are not taken.
  VARIANT untouched{};
  struct Case {
    const GUID* group;
    DWORD id;
    HRESULT expected;
  };
  for (const Case& c : {Case{&doc_host, OLECMDID_SHOWMESSAGE, OLECMDERR_E_NOTSUPPORTED},
                        Case{&doc_host, OLECMDID_SHOWFIND, OLECMDERR_E_NOTSUPPORTED},
                        Case{&other, OLECMDID_SHOWSCRIPTERROR, OLECMDERR_E_UNKNOWNGROUP},
                        Case{nullptr, OLECMDID_SHOWSCRIPTERROR, OLECMDERR_E_UNKNOWNGROUP}}) {
    EXPECT_EQ(target->Exec(c.group, c.id, 0, nullptr, &untouched), c.expected) << c.id;
    EXPECT_EQ(V_VT(&untouched), VT_EMPTY);
  }
  OLECMD commands[2] = {{OLECMDID_SHOWSCRIPTERROR, 0}, {OLECMDID_SHOWMESSAGE, 0}};
  EXPECT_EQ(target->QueryStatus(&doc_host, 2, commands, nullptr), S_OK);
  EXPECT_EQ(commands[0].cmdf, static_cast<DWORD>(OLECMDF_SUPPORTED | OLECMDF_ENABLED));
  EXPECT_EQ(commands[1].cmdf, 0u);
  EXPECT_EQ(target->QueryStatus(&other, 2, commands, nullptr), OLECMDERR_E_UNKNOWNGROUP);
  target->Release();
}

TEST(BrowserHost, TheControlIsNotSilent) {
  // Silent mode would also hide sign-in prompts and certificate warnings.
  Host h;
  VARIANT_BOOL silent = VARIANT_TRUE;
  ASSERT_EQ(h.browser->ControlInterface()->get_Silent(&silent), S_OK);
  EXPECT_EQ(silent, VARIANT_FALSE);
}

// The control's report of a page that cannot be loaded, and a recovery that opens it again (and
// fails again, the server being still gone, silent or in error). Under Wine without its HTML
// engine no page completes, so only failures are seen here. A refused connection is reported by
// the control itself; a server's error too, followed by a report of its own failure to show the
// answer, which must not make the page count as shown; a silent server (one that holds its answer
// for longer than the test takes) is never reported, so the load is stopped once it has waited
// its time, and reported once for each time it was opened.
struct LoadFailureCase {
  const char* name;
  enum { Refused, Silent, ServerError } server;
};

class WebBrowserLoads : public ::testing::TestWithParam<LoadFailureCase> {};

TEST_P(WebBrowserLoads, AFailureIsReportedAndARecoveryOpensThePageAgain) {
  LoopbackServer server;
  ASSERT_TRUE(server.Start());
  const std::wstring address = server.Url("/gone");
  const bool silent = GetParam().server == LoadFailureCase::Silent;
  if (silent)
    server.Hold();
  else if (GetParam().server == LoadFailureCase::Refused)
    server.Stop();
  else
    server.AnswerWith("503 Service Unavailable");
  Host host;
  constexpr UINT kNoAnswerMs = 400;
  host.browser->SetNoAnswerTimeout(kNoAnswerMs);
  int failed = 0;
  host.browser->OnLoadFailed = [&] { ++failed; };
  for (int time = 1; time <= 2; ++time) {
    const DWORD opened = GetTickCount();
    if (time == 1)
      host.browser->Navigate(address);
    else
      host.browser->Recover();
    ASSERT_TRUE(PumpUntil([&] { return failed == time; }, 15000)) << "no failure reported";
    if (silent) {
      EXPECT_GE(GetTickCount() - opened, kNoAnswerMs - 50) << "reported before its time";
    }
  }
  EXPECT_FALSE(PumpUntil([&] { return failed > 2; }, 3 * kNoAnswerMs)) << "reported again";
}

INSTANTIATE_TEST_SUITE_P(Each, WebBrowserLoads,
                         ::testing::Values(LoadFailureCase{"Refused", LoadFailureCase::Refused},
                                           LoadFailureCase{"Silent", LoadFailureCase::Silent},
                                           LoadFailureCase{"ServerError",
                                                           LoadFailureCase::ServerError}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace reprisa
