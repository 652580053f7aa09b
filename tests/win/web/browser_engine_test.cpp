// The browser's choice of engine, in-process: a runtime entry point of the test's own that
// answers when the test says so, with an environment, controller and web view that record what
// the host asks of them. Every way of failing while creating ends in the control with the address
// asked for; the web view's own life (first address, reloads, bounds, the browser process ending,
// menu keys, closing) is checked against the recording objects.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/exceptions.h"
#include "support/loopback_server.h"
#include "support/scoped_error_handler.h"
#include "support/win_test_support.h"
#include "win/kit/application_win.h"
#include "win/kit/form_win.h"
#include "win/kit/stdctrls_win.h"
#include "win/web/web_browser_win.h"
#include "win/web/webview2_win.h"

namespace reprisa {
namespace {
using e2e::LoopbackServer;
using testing_support::PumpUntil;

// --- recording objects -----------------------------------------------------------------------

struct Recorder {
  std::vector<std::wstring> calls;
  std::vector<std::wstring> navigated;
  std::vector<RECT> bounds;
  int reloads = 0, closes = 0, focus = 0, moves = 0;
  long refs = 0;  // references the host holds on our environment, controller and web view
  wv2::AcceleratorKeyHandler* keys = nullptr;
  wv2::ProcessFailedHandler* failed = nullptr;
  wv2::NavigationCompletedHandler* completed = nullptr;
  std::wstring source = L"about:blank";
  HRESULT navigate_result = S_OK;
  HWND parent = nullptr;
};
Recorder* g_rec = nullptr;

template <class T>
struct Obj {
  T iface;
  long refs = 1;
};
template <class T>
ULONG STDMETHODCALLTYPE AddRefObj(T* self) {
  ++g_rec->refs;
  return ++reinterpret_cast<Obj<T>*>(self)->refs;
}
template <class T>
ULONG STDMETHODCALLTYPE ReleaseObj(T* self) {
  --g_rec->refs;
  return --reinterpret_cast<Obj<T>*>(self)->refs;
}
template <class T>
HRESULT STDMETHODCALLTYPE QueryObj(T* self, REFIID iid, void** out) {
  // A runtime from before frames: its tables end where ICoreWebView2's does.
  if (IsEqualIID(iid, wv2::kIidWebView4)) {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  *out = self;
  AddRefObj(self);
  return S_OK;
}

Obj<wv2::WebView> g_webview;
Obj<wv2::Controller> g_controller;
Obj<wv2::Environment> g_environment;
wv2::ControllerCompletedHandler* g_controller_handler = nullptr;
wv2::EnvironmentCompletedHandler* g_env_handler = nullptr;
bool g_answer_controller_at_once = true;

// Answers a call the host is waiting for, with or without the object.
template <class Handler, class T>
void Answer(Handler*& waiting, HRESULT result, T& object, bool with_object) {
  ASSERT_NE(waiting, nullptr);
  Handler* handler = std::exchange(waiting, nullptr);
  handler->vtbl->Invoke(handler, result, with_object ? &object.iface : nullptr);
  handler->Release();
}
void AnswerEnvironment(HRESULT result, bool with_object) {
  Answer(g_env_handler, result, g_environment, with_object);
}
void AnswerController(HRESULT result, bool with_object) {
  Answer(g_controller_handler, result, g_controller, with_object);
}

// Unless the test holds it back, the controller answers from the message loop, like the runtime.
constexpr UINT_PTR kAnswerTimerId = 0x7E57;
void CALLBACK AnswerController(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  if (g_controller_handler) AnswerController(S_OK, true);
}

// The recording methods, one per slot the host calls.
HRESULT STDMETHODCALLTYPE Fake1_Navigate(wv2::WebView*, LPCWSTR uri) {
  g_rec->navigated.push_back(uri);
  return g_rec->navigate_result;
}
// An event's handler is kept in the recorder's field under the token value `Token`.
template <class T, class H, H* Recorder::*Field, long long Token>
HRESULT STDMETHODCALLTYPE AddHandler(T*, H* h, wv2::EventToken* token) {
  h->AddRef();
  g_rec->*Field = h;
  token->value = Token;
  return S_OK;
}
template <class T, class H, H* Recorder::*Field, long long Token>
HRESULT STDMETHODCALLTYPE RemoveHandler(T*, wv2::EventToken token) {
  if (token.value == Token && g_rec->*Field) std::exchange(g_rec->*Field, nullptr)->Release();
  return S_OK;
}
// A call that is only counted.
template <class T, int Recorder::*Counter, class... Args>
HRESULT STDMETHODCALLTYPE Count(T*, Args...) {
  ++(g_rec->*Counter);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE Fake20_get_Source(wv2::WebView*, LPWSTR* uri) {
  const size_t bytes = (g_rec->source.size() + 1) * sizeof(wchar_t);
  *uri = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
  std::memcpy(*uri, g_rec->source.c_str(), bytes);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE Fake5_put_IsVisible(wv2::Controller*, BOOL) { return S_OK; }
HRESULT STDMETHODCALLTYPE Fake6_put_Bounds(wv2::Controller*, RECT r) {
  g_rec->bounds.push_back(r);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE Fake12_get_CoreWebView2(wv2::Controller*, wv2::WebView** out) {
  AddRefObj(&g_webview.iface);
  *out = &g_webview.iface;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE Fake13_CreateCoreWebView2Controller(wv2::Environment*, HWND parent,
                                    wv2::ControllerCompletedHandler* h) {
  g_rec->calls.push_back(L"CreateController");
  g_rec->parent = parent;
  h->AddRef();
  g_controller_handler = h;
  if (g_answer_controller_at_once) SetTimer(nullptr, kAnswerTimerId, 1, &AnswerController);
  return S_OK;
}
// A runtime without the focus event: the web view works without it.
HRESULT STDMETHODCALLTYPE Fake14_add_MoveFocusRequested(wv2::Controller*,
                                                        wv2::MoveFocusRequestedHandler*,
                                                        wv2::EventToken*) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE Fake15_remove_MoveFocusRequested(wv2::Controller*, wv2::EventToken) {
  return E_UNEXPECTED;
}

const wv2::WebViewVtbl kWebViewVtbl = [] {
  wv2::WebViewVtbl v{};
  v.QueryInterface = &QueryObj<wv2::WebView>;
  v.AddRef = &AddRefObj<wv2::WebView>;
  v.Release = &ReleaseObj<wv2::WebView>;
  v.Navigate = &Fake1_Navigate;
  v.add_ProcessFailed = &AddHandler<wv2::WebView, wv2::ProcessFailedHandler, &Recorder::failed, 2>;
  v.remove_ProcessFailed =
      &RemoveHandler<wv2::WebView, wv2::ProcessFailedHandler, &Recorder::failed, 2>;
  v.Reload = &Count<wv2::WebView, &Recorder::reloads>;
  v.add_NavigationCompleted =
      &AddHandler<wv2::WebView, wv2::NavigationCompletedHandler, &Recorder::completed, 3>;
  v.remove_NavigationCompleted =
      &RemoveHandler<wv2::WebView, wv2::NavigationCompletedHandler, &Recorder::completed, 3>;
  v.get_Source = &Fake20_get_Source;
  return v;
}();

const wv2::ControllerVtbl kControllerVtbl = [] {
  wv2::ControllerVtbl v{};
  v.QueryInterface = &QueryObj<wv2::Controller>;
  v.AddRef = &AddRefObj<wv2::Controller>;
  v.Release = &ReleaseObj<wv2::Controller>;
  v.put_IsVisible = &Fake5_put_IsVisible;
  v.put_Bounds = &Fake6_put_Bounds;
  v.MoveFocus = &Count<wv2::Controller, &Recorder::focus, wv2::MoveFocusReason>;
  v.add_MoveFocusRequested = &Fake14_add_MoveFocusRequested;
  v.remove_MoveFocusRequested = &Fake15_remove_MoveFocusRequested;
  v.add_AcceleratorKeyPressed =
      &AddHandler<wv2::Controller, wv2::AcceleratorKeyHandler, &Recorder::keys, 1>;
  v.remove_AcceleratorKeyPressed =
      &RemoveHandler<wv2::Controller, wv2::AcceleratorKeyHandler, &Recorder::keys, 1>;
  v.NotifyParentWindowPositionChanged = &Count<wv2::Controller, &Recorder::moves>;
  v.Close = &Count<wv2::Controller, &Recorder::closes>;
  v.get_CoreWebView2 = &Fake12_get_CoreWebView2;
  return v;
}();

const wv2::EnvironmentVtbl kEnvironmentVtbl = [] {
  wv2::EnvironmentVtbl v{};
  v.QueryInterface = &QueryObj<wv2::Environment>;
  v.AddRef = &AddRefObj<wv2::Environment>;
  v.Release = &ReleaseObj<wv2::Environment>;
  v.CreateCoreWebView2Controller = &Fake13_CreateCoreWebView2Controller;
  return v;
}();

// --- the entry point -------------------------------------------------------------------------

struct EntryCall {
  bool check_running;
  int runtime_type;
  std::wstring folder;
  std::wstring arguments;
};
std::vector<EntryCall> g_entry_calls;
HRESULT g_entry_result = S_OK;

HRESULT STDAPICALLTYPE FakeEntry(bool check_running, int runtime_type, PCWSTR folder,
                                 IUnknown* options, wv2::EnvironmentCompletedHandler* handler) {
  EntryCall call{check_running, runtime_type, folder ? folder : L"", L""};
  wv2::EnvironmentOptions* opts = nullptr;
  if (options && SUCCEEDED(options->QueryInterface(wv2::kIidEnvironmentOptions,
                                                   reinterpret_cast<void**>(&opts)))) {
    LPWSTR args = nullptr;
    if (SUCCEEDED(opts->vtbl->get_AdditionalBrowserArguments(opts, &args)) && args) {
      call.arguments = args;
      CoTaskMemFree(args);
    }
    opts->Release();
  }
  g_entry_calls.push_back(call);
  if (FAILED(g_entry_result)) return g_entry_result;
  // The runtime asks the handler for its interface before it keeps it.
  wv2::EnvironmentCompletedHandler* kept = nullptr;
  if (FAILED(handler->QueryInterface(wv2::kIidEnvironmentCompletedHandler,
                                     reinterpret_cast<void**>(&kept))))
    return E_NOINTERFACE;
  g_env_handler = kept;
  return S_OK;
}

// Event arguments the test hands to the host's handlers: the interface first, then the values
// its getters read.
template <class Args, class Outer, class T, T Outer::*Field>
HRESULT STDMETHODCALLTYPE Get(Args* a, T* v) {
  *v = reinterpret_cast<Outer*>(a)->*Field;
  return S_OK;
}
struct KeyArgs {
  wv2::AcceleratorKeyArgs args;
  wv2::KeyEventKind kind;
  UINT key;
  BOOL handled;
};
HRESULT STDMETHODCALLTYPE PutHandled(wv2::AcceleratorKeyArgs* a, BOOL h) {
  reinterpret_cast<KeyArgs*>(a)->handled = h;
  return S_OK;
}
// A process-failed kind, and a load's completion (without the second interface, as older
// runtimes have it).
struct FailedArgs {
  wv2::ProcessFailedArgs args;
  wv2::ProcessFailedKind kind;
};
struct CompletedArgs {
  wv2::NavigationCompletedArgs args;
  BOOL success;
  std::int32_t status;
};
HRESULT STDMETHODCALLTYPE NoSecondInterface(wv2::NavigationCompletedArgs*, REFIID, void** out) {
  *out = nullptr;
  return E_NOINTERFACE;
}

void RaiseProcessFailed(wv2::ProcessFailedKind kind) {
  static const wv2::ProcessFailedArgsVtbl kArgs = [] {
    wv2::ProcessFailedArgsVtbl v{};
    v.get_ProcessFailedKind = &Get<wv2::ProcessFailedArgs, FailedArgs, wv2::ProcessFailedKind,
                                   &FailedArgs::kind>;
    return v;
  }();
  FailedArgs args{{&kArgs}, kind};
  g_rec->failed->vtbl->Invoke(g_rec->failed, &g_webview.iface, &args.args);
}

void RaiseCompleted(BOOL success, std::int32_t status) {
  using Args = wv2::NavigationCompletedArgs;
  static const wv2::NavigationCompletedArgsVtbl kArgs = [] {
    wv2::NavigationCompletedArgsVtbl v{};
    v.QueryInterface = &NoSecondInterface;
    v.get_IsSuccess = &Get<Args, CompletedArgs, BOOL, &CompletedArgs::success>;
    v.get_WebErrorStatus = &Get<Args, CompletedArgs, std::int32_t, &CompletedArgs::status>;
    return v;
  }();
  CompletedArgs args{{&kArgs}, success, status};
  g_rec->completed->vtbl->Invoke(g_rec->completed, &g_webview.iface, &args.args);
}

// Notes that the thread is in a menu's loop, and ends it.
bool* g_in_menu = nullptr;
void CALLBACK MenuProbe(HWND, UINT, UINT_PTR id, DWORD) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (GetGUIThreadInfo(GetCurrentThreadId(), &info) && (info.flags & GUI_INMENUMODE)) {
    *g_in_menu = true;
    KillTimer(nullptr, id);
    EndMenu();
  }
}

// --- fixture ---------------------------------------------------------------------------------

class BrowserEngine : public ::testing::Test {
 public:
  void SetUp() override {
    rec_ = Recorder{};
    g_rec = &rec_;
    g_webview = {{&kWebViewVtbl}, 1};
    g_controller = {{&kControllerVtbl}, 1};
    g_environment = {{&kEnvironmentVtbl}, 1};
    g_entry_calls.clear();
    g_entry_result = S_OK;
    g_env_handler = nullptr;
    g_controller_handler = nullptr;
    g_answer_controller_at_once = true;
    runtime_.find = [this]() -> std::optional<RuntimeChoice> {
      if (!installed_) return std::nullopt;
      return RuntimeChoice{L"C:\\runtime\\EBWebView\\x86\\EmbeddedBrowserWebView.dll", false};
    };
    runtime_.load = [this](const RuntimeChoice&) -> wv2::CreateEnvironmentFunction {
      return has_entry_ ? &FakeEntry : nullptr;
    };
    runtime_.data_folder = [] { return std::wstring(L"C:\\Users\\u\\AppData\\Local\\win_tests\\WebView2"); };
    runtime_.answer_timeout_ms = 10000;
    TWebBrowser::SetWebViewRuntime(&runtime_);
  }
  void TearDown() override {
    form_.reset();
    TWebBrowser::SetWebViewRuntime(nullptr);
    // Whatever the test left unanswered is let go.
    if (g_env_handler) std::exchange(g_env_handler, nullptr)->Release();
    if (g_controller_handler) std::exchange(g_controller_handler, nullptr)->Release();
    Application->ProcessMessages();  // what the host posted before it went
    g_rec = nullptr;
  }

  void MakeForm() {
    form_ = std::make_unique<TForm>(nullptr);
    form_->SetBounds(60, 60, 420, 320);
    browser_ = new TWebBrowser(form_.get());
    browser_->SetParent(form_.get());
    browser_->SetAlign(TAlign::alClient);
    form_->Handle();
  }
  bool WaitForWebView() {
    return PumpUntil([&] { return browser_->Engine() == EngineState::WebView; }, 5000);
  }
  bool WaitForControl() {
    return PumpUntil([&] { return browser_->Engine() == EngineState::Control; }, 15000);
  }
  // The web view as the host made it: environment answered, controller answered.
  void MakeWebView() {
    MakeForm();
    ASSERT_EQ(browser_->Engine(), EngineState::Creating);
    AnswerEnvironment(S_OK, true);
    ASSERT_TRUE(WaitForWebView());
  }

 public:
  Recorder rec_;
  WebViewRuntime runtime_;
  bool installed_ = true;
  bool has_entry_ = true;
  std::unique_ptr<TForm> form_;
  TWebBrowser* browser_ = nullptr;
};

// --- no runtime: the control, exactly as before ------------------------------------------------

TEST_F(BrowserEngine, WithoutARuntimeTheControlIsMadeAtOnce) {
  installed_ = false;
  MakeForm();
  EXPECT_EQ(browser_->Engine(), EngineState::Control);
  EXPECT_TRUE(browser_->InPlaceActive());
  EXPECT_EQ(browser_->WebView(), nullptr);
  EXPECT_TRUE(g_entry_calls.empty());
}

TEST_F(BrowserEngine, TheInstalledLookupFindsNoRuntimeUnderThisPrefix) {
  TWebBrowser::SetWebViewRuntime(nullptr);
  MakeForm();
  EXPECT_EQ(browser_->Engine(), EngineState::Control);
}

// --- creating ----------------------------------------------------------------------------------

TEST_F(BrowserEngine, TheEntryPointGetsTheDataFolderAndTheAutoplayArgument) {
  MakeForm();
  ASSERT_EQ(g_entry_calls.size(), 1u);
  EXPECT_TRUE(g_entry_calls[0].check_running);
  EXPECT_EQ(g_entry_calls[0].runtime_type, 0);
  EXPECT_EQ(g_entry_calls[0].folder, L"C:\\Users\\u\\AppData\\Local\\win_tests\\WebView2");
  EXPECT_EQ(g_entry_calls[0].arguments, L"--autoplay-policy=no-user-gesture-required");
}

TEST_F(BrowserEngine, AnAddressBeforeTheControllerIsOpenedOnceWhenItIsThere) {
  MakeForm();
  browser_->Navigate(L"first.example");
  browser_->Navigate(L"example.com:8080/x");
  EXPECT_TRUE(rec_.navigated.empty());
  AnswerEnvironment(S_OK, true);
  ASSERT_TRUE(WaitForWebView());
  EXPECT_EQ(rec_.parent, browser_->WindowHandle());
  EXPECT_EQ(rec_.navigated, std::vector<std::wstring>{L"http://example.com:8080/x"});
  browser_->Navigate(L"https://example.org/");
  EXPECT_EQ(rec_.navigated.back(), L"https://example.org/");
  EXPECT_EQ(rec_.navigated.size(), 2u);
}

TEST_F(BrowserEngine, AReloadBeforeTheControllerRaisesAndChangesNothing) {
  MakeForm();
  EXPECT_THROW(browser_->Refresh(), EOleSysError);
  EXPECT_EQ(browser_->Engine(), EngineState::Creating);
  AnswerEnvironment(S_OK, true);
  ASSERT_TRUE(WaitForWebView());
  browser_->Refresh();
  EXPECT_EQ(rec_.reloads, 1);
}

TEST_F(BrowserEngine, AnAddressTheRuntimeRefusesIsReported) {
  MakeWebView();
  rec_.navigate_result = E_INVALIDARG;
  try {
    browser_->Navigate(L"http://a b/");
    ADD_FAILURE() << "no error";
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ErrorCode(), E_INVALIDARG);
  }
}

TEST_F(BrowserEngine, TheWebViewFillsTheWindowAndFollowsResizesAndMoves) {
  MakeWebView();
  ASSERT_FALSE(rec_.bounds.empty());
  RECT client{};
  GetClientRect(browser_->WindowHandle(), &client);
  EXPECT_TRUE(EqualRect(&rec_.bounds.back(), &client));
  form_->SetBounds(60, 60, 600, 450);
  GetClientRect(browser_->WindowHandle(), &client);
  EXPECT_EQ(client.right, rec_.bounds.back().right);
  EXPECT_EQ(client.bottom, rec_.bounds.back().bottom);
  EXPECT_GT(client.right, 420 - 40);
  const int moves = rec_.moves;
  SetWindowPos(form_->WindowHandle(), nullptr, 90, 80, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_GT(rec_.moves, moves);
}

TEST_F(BrowserEngine, FocusOnTheWindowGoesToThePage) {
  MakeWebView();
  const int before = rec_.focus;
  form_->Show();
  browser_->SetFocus();
  EXPECT_GT(rec_.focus, before);
}

// --- every failure ends in the control, with the address ---------------------------------------

// How creation fails: what the entry point does, how long the host waits, and which answers the
// test gives (an environment answer, then the held-back controller's, without an object).
struct FailureCase {
  const char* name;
  bool has_entry = true;
  HRESULT entry = S_OK;
  DWORD timeout_ms = 10000;
  bool hold_controller = false;
  enum { kNoAnswer, kError, kNoObject, kObject } environment = kNoAnswer;
  std::optional<HRESULT> controller{};
};

class BrowserEngineFailure : public BrowserEngine,
                             public ::testing::WithParamInterface<FailureCase> {
 protected:
  // Makes a form, asks for the server's /asked before creation ends, then fails as the case says.
  void Fail(const FailureCase& c, const std::wstring& asked) {
    has_entry_ = c.has_entry;
    g_entry_result = c.entry;
    runtime_.answer_timeout_ms = c.timeout_ms;
    g_answer_controller_at_once = !c.hold_controller;
    MakeForm();
    browser_->Navigate(asked);
    if (c.environment != FailureCase::kNoAnswer)
      AnswerEnvironment(c.environment == FailureCase::kError
                            ? HRESULT_FROM_WIN32(ERROR_INVALID_STATE)
                            : S_OK,
                        c.environment == FailureCase::kObject);
    if (c.controller) {
      ASSERT_TRUE(PumpUntil([] { return g_controller_handler != nullptr; }));
      AnswerController(*c.controller, false);
    }
  }
};

TEST_P(BrowserEngineFailure, EndsInTheControlWithTheAddressAskedFor) {
  LoopbackServer server;
  ASSERT_TRUE(server.Start());
  ASSERT_NO_FATAL_FAILURE(Fail(GetParam(), server.Url("/asked")));
  EXPECT_TRUE(WaitForControl());
  EXPECT_TRUE(browser_->InPlaceActive());
  EXPECT_TRUE(PumpUntil([&] { return server.Count("/asked") > 0; }, 10000))
      << "the address asked for before the fallback was not opened in the control";
  // Nothing of the runtime's is held any more.
  EXPECT_EQ(rec_.refs, 0);
  // The browser goes on as the control: reloads are the control's.
  EXPECT_NO_THROW(browser_->Navigate(server.Url("/after")));
  EXPECT_TRUE(PumpUntil([&] { return server.Count("/after") > 0; }, 10000));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, BrowserEngineFailure,
    ::testing::Values(
        FailureCase{.name = "no_entry_point", .has_entry = false},
        FailureCase{.name = "entry_point_fails", .entry = E_FAIL},
        FailureCase{.name = "environment_with_an_error", .environment = FailureCase::kError},
        FailureCase{.name = "environment_without_an_object",
                    .environment = FailureCase::kNoObject},
        FailureCase{.name = "controller_with_an_error", .hold_controller = true,
                    .environment = FailureCase::kObject, .controller = E_ABORT},
        FailureCase{.name = "controller_without_an_object", .hold_controller = true,
                    .environment = FailureCase::kObject, .controller = S_OK},
        FailureCase{.name = "no_answer_in_time", .timeout_ms = 300},
        FailureCase{.name = "no_controller_in_time", .timeout_ms = 300, .hold_controller = true,
                    .environment = FailureCase::kObject}),
    [](const auto& info) { return std::string(info.param.name); });

// --- late answers, the browser process ending, keys, closing -------------------------------------

TEST_F(BrowserEngine, AControllerAfterTheTimeoutIsClosedAndReleased) {
  runtime_.answer_timeout_ms = 200;
  g_answer_controller_at_once = false;
  MakeForm();
  AnswerEnvironment(S_OK, true);
  ASSERT_TRUE(WaitForControl());
  AnswerController(S_OK, true);  // nobody waits for it: closed at once
  EXPECT_EQ(rec_.closes, 1);
  EXPECT_EQ(rec_.refs, 0);
  EXPECT_EQ(browser_->Engine(), EngineState::Control);
}

TEST_F(BrowserEngine, TheBrowserProcessEndingIsSurvivedAtTheNextReload) {
  MakeWebView();
  browser_->Navigate(L"http://music.example/");
  ASSERT_NE(rec_.failed, nullptr);
  RaiseProcessFailed(wv2::kBrowserProcessExited);
  ASSERT_TRUE(PumpUntil([&] { return browser_->Engine() == EngineState::Lost; }));
  EXPECT_EQ(rec_.closes, 1);
  EXPECT_EQ(rec_.refs, 0);  // the dead web view is let go at once
  rec_.navigated.clear();
  browser_->Refresh();  // the reload tick
  EXPECT_EQ(browser_->Engine(), EngineState::Creating);
  EXPECT_EQ(g_entry_calls.size(), 2u);
  AnswerEnvironment(S_OK, true);
  ASSERT_TRUE(WaitForWebView());
  EXPECT_EQ(rec_.navigated, std::vector<std::wstring>{L"http://music.example/"});
  EXPECT_EQ(rec_.reloads, 0);
}

TEST_F(BrowserEngine, F10InThePageOpensTheMenuBar) {
  MakeForm();
  TMainMenu* menu = new TMainMenu(form_.get());
  TMenuItem* help = new TMenuItem(form_.get());
  help->SetCaption(L"Hilfe");
  menu->Add(help);
  form_->SetMenu(menu);
  form_->Show();
  AnswerEnvironment(S_OK, true);
  ASSERT_TRUE(WaitForWebView());
  ASSERT_NE(rec_.keys, nullptr);
  static const wv2::AcceleratorKeyArgsVtbl kArgs = [] {
    wv2::AcceleratorKeyArgsVtbl v{};
    using Args = wv2::AcceleratorKeyArgs;
    v.get_KeyEventKind = &Get<Args, KeyArgs, wv2::KeyEventKind, &KeyArgs::kind>;
    v.get_VirtualKey = &Get<Args, KeyArgs, UINT, &KeyArgs::key>;
    v.put_Handled = &PutHandled;
    return v;
  }();
  KeyArgs letter{{&kArgs}, wv2::kKeyDown, 'A', FALSE};
  rec_.keys->vtbl->Invoke(rec_.keys, &g_controller.iface, &letter.args);
  EXPECT_FALSE(letter.handled);

  bool in_menu = false;
  // The menu loop runs modally inside the dispatch of the posted command; a timer inside it
  // notes it and ends it.
  KeyArgs f10{{&kArgs}, wv2::kSystemKeyDown, VK_F10, FALSE};
  rec_.keys->vtbl->Invoke(rec_.keys, &g_controller.iface, &f10.args);
  EXPECT_TRUE(f10.handled);
  g_in_menu = &in_menu;
  const UINT_PTR probe = SetTimer(nullptr, 0, 50, &MenuProbe);
  EXPECT_TRUE(PumpUntil([&] { return in_menu; }, 5000)) << "the menu bar did not open";
  if (!in_menu) KillTimer(nullptr, probe);
}

TEST_F(BrowserEngine, ClosingClosesTheControllerAndReturnsEveryReference) {
  MakeWebView();
  EXPECT_GT(rec_.refs, 0);
  form_.reset();
  EXPECT_EQ(rec_.closes, 1);
  EXPECT_EQ(rec_.refs, 0);
  EXPECT_EQ(rec_.keys, nullptr);    // handlers removed
  EXPECT_EQ(rec_.failed, nullptr);
  EXPECT_EQ(WebView2Host::LiveHostObjects(), 0);
}

TEST_F(BrowserEngine, ClosingWhileCreatingLetsTheLateAnswersGo) {
  g_answer_controller_at_once = false;
  MakeForm();
  AnswerEnvironment(S_OK, true);
  ASSERT_TRUE(PumpUntil([] { return g_controller_handler != nullptr; }));
  form_.reset();
  EXPECT_EQ(rec_.refs, 0);
  AnswerController(S_OK, true);  // after the window went
  EXPECT_EQ(rec_.closes, 1);
  EXPECT_EQ(rec_.refs, 0);
  EXPECT_EQ(WebView2Host::LiveHostObjects(), 0);
}

// --- the page's engine lost, loads reported ---------------------------------------------------------

struct Reports {
  int lost = 0, failed = 0, loaded = 0, helpers = 0;
  void Attach(TWebBrowser* browser) {
    browser->OnEngineLost = [this] { ++lost; };
    browser->OnHelperProcessEnded = [this] { ++helpers; };
    browser->OnLoadFailed = [this] { ++failed; };
    browser->OnLoaded = [this] { ++loaded; };
  }
};

// The page's render process that ends is a loss; a recovery then reloads the same web view. A
// process the page's media may depend on (a frame's renderer, a utility process such as the audio
// service, the GPU process) is reported as such, for the program to judge. A helper the page does
// not need, or one report of a renderer briefly busy, is neither. A load that fails is reported,
// and a recovery opens the page it failed at again.
TEST_F(BrowserEngine, ReportsLossesAndLoadsAndBringsThePageBack) {
  MakeWebView();
  Reports reports;
  reports.Attach(browser_);
  browser_->Navigate(L"http://music.example/");
  ASSERT_NE(rec_.completed, nullptr);
  RaiseProcessFailed(wv2::kSandboxHelperProcessExited);
  RaiseProcessFailed(wv2::kRenderProcessUnresponsive);
  EXPECT_FALSE(PumpUntil([&] { return reports.lost > 0 || reports.helpers > 0; }, 300));
  RaiseProcessFailed(wv2::kRenderProcessExited);
  EXPECT_TRUE(PumpUntil([&] { return reports.lost == 1; }));
  browser_->Recover();
  EXPECT_EQ(rec_.reloads, 1);
  for (wv2::ProcessFailedKind kind :
       {wv2::kFrameRenderProcessExited, wv2::kUtilityProcessExited, wv2::kGpuProcessExited}) {
    const int helpers = reports.helpers;
    RaiseProcessFailed(kind);
    EXPECT_TRUE(PumpUntil([&] { return reports.helpers > helpers; })) << kind;
  }
  rec_.source = L"http://music.example/next";
  RaiseCompleted(FALSE, 12);  // no connection
  ASSERT_TRUE(PumpUntil([&] { return reports.failed == 1; }));
  EXPECT_EQ(reports.lost, 1);
  EXPECT_EQ(reports.helpers, 3);
  browser_->Recover();
  EXPECT_EQ(rec_.navigated.back(), L"http://music.example/next");
  RaiseCompleted(TRUE, 0);
  EXPECT_TRUE(PumpUntil([&] { return reports.loaded == 1; }));
  EXPECT_EQ(browser_->Engine(), EngineState::WebView);
}

// What one answer raises goes to the application's error handler; the answers queued with it are
// handled all the same.
TEST_F(BrowserEngine, AnAnswerThatRaisesLeavesTheOthersQueuedWithIt) {
  MakeWebView();
  Reports reports;
  reports.Attach(browser_);
  browser_->OnEngineLost = [] { throw std::runtime_error("refused"); };
  int errors = 0;
  testing_support::ScopedErrorHandler handler([&](TObject*) { ++errors; });
  RaiseProcessFailed(wv2::kRenderProcessExited);
  RaiseCompleted(TRUE, 0);  // queued behind the loss, handled in the same turn
  EXPECT_TRUE(PumpUntil([&] { return reports.loaded == 1; })) << "the load's report was dropped";
  EXPECT_EQ(errors, 1);
}

// A relative fixed-version folder is made absolute from the current folder.
TEST(RuntimeProbe, ARelativeFixedFolderIsMadeAbsolute) {
  wchar_t current[MAX_PATH];
  ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, current), 0u);
  ASSERT_TRUE(SetEnvironmentVariableW(L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", L"runtime\\120"));
  std::optional<std::wstring> folder = RegistryRuntimeProbe().FixedFolder();
  SetEnvironmentVariableW(L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", nullptr);
  std::wstring expected = current;
  if (expected.back() != L'\\') expected += L'\\';
  EXPECT_EQ(folder, expected + L"runtime\\120");
}

}  // namespace
}  // namespace reprisa
