// The browser host against the system's control: in-place hosting, a loopback HTTP server that
// sees the requests of Navigate, error texts, keyboard routing, and a clean teardown.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "win/kit/application_win.h"
#include "core/exceptions.h"
#include "win/kit/web_browser_win.h"
#include "win/kit/form_win.h"

namespace reprisa {
namespace {

// Dispatches this thread's messages until done() holds or the time is up.
bool Pump(const std::function<bool()>& done, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (done()) return true;
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= timeout_ms) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(50, timeout_ms - elapsed),
                              QS_ALLINPUT);
  }
}

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

// The rectangle of `child` in the client coordinates of `parent`.
RECT RectIn(HWND child, HWND parent) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

::testing::AssertionResult FillsHost(TWebBrowser& b) {
  HWND host = b.WindowHandle();
  HWND control = b.ControlWindow();
  if (!host || !control) return ::testing::AssertionFailure() << "no host or control window";
  if (GetParent(control) != host)
    return ::testing::AssertionFailure() << "control window is not a child of the host";
  RECT want = ClientRectOf(host), got = RectIn(control, host);
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

// A loopback HTTP server on 127.0.0.1 and an ephemeral port, serving on a background thread.
// It records each request line; while `hold` is set it answers nothing until Release().
class LoopbackServer {
 public:
  LoopbackServer() {
    WSADATA wsa;
    started_ = WSAStartup(MAKEWORD(2, 2), &wsa) == 0;
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (listener_ == INVALID_SOCKET ||
        bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        listen(listener_, 8) != 0)
      return;
    int len = sizeof(addr);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~LoopbackServer() {
    stop_ = true;
    Release();
    if (thread_.joinable()) thread_.join();
    if (listener_ != INVALID_SOCKET) closesocket(listener_);
    if (started_) WSACleanup();
  }

  int Port() const { return port_; }
  std::wstring Url(const std::string& path) const {
    return L"http://127.0.0.1:" + std::to_wstring(port_) + std::wstring(path.begin(), path.end());
  }
  void Hold() { hold_ = true; }
  void Release() {
    std::lock_guard lock(mutex_);
    hold_ = false;
    released_.notify_all();
  }
  bool Seen(const std::string& request_line_start) const {
    std::lock_guard lock(mutex_);
    for (const auto& line : requests_)
      if (line.rfind(request_line_start, 0) == 0) return true;
    return false;
  }
  std::vector<std::string> Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }

 private:
  void Serve() {
    // Bounded: the server ends by itself after 30 s even if nobody stops it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!stop_ && std::chrono::steady_clock::now() < deadline) {
      fd_set set;
      FD_ZERO(&set);
      FD_SET(listener_, &set);
      timeval tv{0, 50 * 1000};
      if (select(0, &set, nullptr, nullptr, &tv) <= 0) continue;
      SOCKET s = accept(listener_, nullptr, nullptr);
      if (s == INVALID_SOCKET) continue;
      Answer(s);
      closesocket(s);
    }
  }

  void Answer(SOCKET s) {
    std::string request;
    char buf[2048];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (request.find("\r\n\r\n") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline && request.size() < 65536) {
      fd_set set;
      FD_ZERO(&set);
      FD_SET(s, &set);
      timeval tv{0, 50 * 1000};
      if (select(0, &set, nullptr, nullptr, &tv) <= 0) continue;
      int n = recv(s, buf, sizeof(buf), 0);
      if (n <= 0) break;
      request.append(buf, static_cast<std::size_t>(n));
    }
    {
      std::unique_lock lock(mutex_);
      requests_.push_back(request.substr(0, request.find("\r\n")));
      released_.wait_for(lock, std::chrono::seconds(10), [this] { return !hold_; });
    }
    const std::string body = "<html><body>Reprisa loopback page</body></html>";
    const std::string reply = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                              std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    send(s, reply.data(), static_cast<int>(reply.size()), 0);
  }

  bool started_ = false;
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> hold_{false};
  mutable std::mutex mutex_;
  std::condition_variable released_;
  std::vector<std::string> requests_;
};

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
  Pump([] { return false; }, 20);
  RECT after = ClientRectOf(h.browser->WindowHandle());
  EXPECT_NE(before.right, after.right);
  EXPECT_NE(before.bottom, after.bottom);
  EXPECT_TRUE(FillsHost(*h.browser));

  if (!c.show_later) return;
  // Shown later, it still fills the host.
  ShowWindow(h.form->WindowHandle(), SW_SHOWNOACTIVATE);
  Pump([] { return false; }, 20);
  EXPECT_TRUE(h.browser->InPlaceActive());
  EXPECT_TRUE(FillsHost(*h.browser));
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
  Pump([] { return false; }, 50);
  SetFocus(h.browser->WindowHandle());
  Pump([] { return false; }, 50);
  HWND focus = GetFocus();
  EXPECT_TRUE(focus && IsChild(h.browser->WindowHandle(), focus))
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
  ASSERT_GT(server.Port(), 0);
  server.Hold();  // no answer until released: Navigate must not wait for the page
  Host h;
  const DWORD start = GetTickCount();
  h.browser->Navigate(server.Url("/reprisa/probe.html?n=1"));
  const DWORD navigate_ms = GetTickCount() - start;
  EXPECT_TRUE(Pump([&] { return server.Seen("GET /reprisa/probe.html?n=1 HTTP/1."); }, 10000))
      << "requests seen: " << server.Requests().size();
  EXPECT_LT(navigate_ms, 5000u);
  server.Release();
  // A second address on the same control goes out too (the interface is kept, not lost).
  h.browser->Navigate(server.Url("/second"));
  EXPECT_TRUE(Pump([&] { return server.Seen("GET /second HTTP/1."); }, 10000));
  Pump([] { return false; }, 100);
}

TEST(BrowserErrors, RefreshBeforeAnyPageRaisesWithADescription) {
  Host h;
  try {
    h.browser->Refresh();
    GTEST_SKIP() << "this platform's control reloads an empty document without failing";
  } catch (const EOleSysError& e) {
    EXPECT_LT(e.ErrorCode(), 0);
    EXPECT_FALSE(e.Message().empty());
    EXPECT_EQ(e.Message(), OleErrorMessage(e.ErrorCode()));
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

TEST_P(BrowserTeardown, SiteReferencesReturnToZero) {
  const TeardownCase& c = GetParam();
  const long sites_before = TWebBrowser::LiveSites();
  const long referenced_before = TWebBrowser::ControlsLeftReferenced();
  const int windows_before = CountThreadWindows();
  std::unique_ptr<LoopbackServer> server;
  {
    Host h;
    EXPECT_EQ(TWebBrowser::LiveSites(), sites_before + 1);
    // The control holds references of its own on the site while it is active.
    EXPECT_GT(h.browser->SiteReferences(), 1u);
    if (c.navigate) {
      server = std::make_unique<LoopbackServer>();
      h.browser->Navigate(server->Url("/teardown"));
      Pump([&] { return server->Seen("GET /teardown "); }, 10000);
    }
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
  Pump([] { return false; }, 50);
  EXPECT_EQ(TWebBrowser::LiveSites(), sites_before);
  EXPECT_EQ(TWebBrowser::ControlsLeftReferenced(), referenced_before);
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
  Pump([] { return false; }, 20);
  const DWORD gdi_before = GetGuiResources(self, GR_GDIOBJECTS);
  const DWORD user_before = GetGuiResources(self, GR_USEROBJECTS);
  const int windows_before = CountThreadWindows();
  const long sites_before = TWebBrowser::LiveSites();
  const long referenced_before = TWebBrowser::ControlsLeftReferenced();
  const DWORD start = GetTickCount();
  for (int i = 0; i < 200; ++i) {
    cycle();
    if (i % 20 == 0) Pump([] { return false; }, 0);
  }
  Pump([] { return false; }, 20);
  const DWORD elapsed = GetTickCount() - start;
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

}  // namespace
}  // namespace reprisa
