#include "win/web/web_browser_win.h"

#include <oleauto.h>

#include <atomic>
#include <memory>
#include <utility>

#include "core/error_handler.h"
#include "core/exceptions.h"
#include "win/web/browser_site_win.h"
#include "win/kit/form_win.h"
#include "win/web/webview2_win.h"

namespace reprisa {

namespace {

// {8856F961-340A-11D0-A96B-00C04FD705A2}
constexpr CLSID kWebBrowserClass = {
    0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
// {D30C1661-CDAF-11D0-8A3E-00C04FC9E26E}
constexpr IID kWebBrowser2Interface = {
    0xD30C1661, 0xCDAF, 0x11D0, {0x8A, 0x3E, 0x00, 0xC0, 0x4F, 0xC9, 0xE2, 0x6E}};

const WebViewRuntime* g_webview_runtime = nullptr;  // null: the installed runtime
std::atomic<long> g_controls_left_referenced{0};

// The automation strings come from oleaut32, which is loaded when the first address is opened
// (the browser control loads it by then anyway) rather than at program start.
struct OleAutomation {
  decltype(&SysAllocStringLen) alloc_string = nullptr;
  decltype(&SysFreeString) free_string = nullptr;
};

const OleAutomation& Automation() {
  static const OleAutomation functions = [] {
    OleAutomation f;
    if (HMODULE module = LoadLibraryW(L"oleaut32.dll")) {
      f.alloc_string = reinterpret_cast<decltype(&SysAllocStringLen)>(
          reinterpret_cast<void*>(GetProcAddress(module, "SysAllocStringLen")));
      f.free_string = reinterpret_cast<decltype(&SysFreeString)>(
          reinterpret_cast<void*>(GetProcAddress(module, "SysFreeString")));
    }
    return f;
  }();
  return functions;
}

struct BstrDeleter {
  void operator()(wchar_t* s) const noexcept {
    if (Automation().free_string) Automation().free_string(s);
  }
};
using Bstr = std::unique_ptr<wchar_t, BstrDeleter>;

Bstr NewBstr(const std::wstring& text) {
  const OleAutomation& automation = Automation();
  if (!automation.alloc_string || !automation.free_string)
    OleCheck(HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
  Bstr result(automation.alloc_string(text.data(), static_cast<UINT>(text.size())));
  if (!result) OleCheck(E_OUTOFMEMORY);
  return result;
}

}  // namespace

const wchar_t kBrowserEmulationKey[] =
    L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";

void RequestNewestBrowserMode() noexcept {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  const wchar_t* name = path;
  for (const wchar_t* p = path; *p; ++p)
    if (*p == L'\\' || *p == L'/') name = p + 1;
  if (!*name) return;
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kBrowserEmulationKey, 0, nullptr, 0,
                      KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return;
  // Only a value that is certainly absent is written: a value that cannot be read is left too.
  if (RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_FILE_NOT_FOUND) {
    const DWORD mode = kNewestBrowserMode;
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&mode), sizeof(mode));
  }
  RegCloseKey(key);
}

TWebBrowser::TWebBrowser(TComponent* owner)
    : TWinControl(owner),
      runtime_source_(g_webview_runtime ? g_webview_runtime : &InstalledWebViewRuntime()) {
  SetTabStop(true);
  if (Application) {
    Application->AddMessageFilter(this);
    filter_added_ = true;
  }
}

TWebBrowser::~TWebBrowser() {
  if (filter_added_ && Application) Application->RemoveMessageFilter(this);
  engine_.Close();
  webview_.reset();  // closes the web view and releases it
  // The control goes while our window (its parent) still exists; the base class destroys the
  // window afterwards.
  Teardown();
}

IOleClientSite* TWebBrowser::ClientSite() const noexcept {
  return site_ ? static_cast<IOleClientSite*>(site_.get()) : nullptr;
}

void TWebBrowser::SetWebViewRuntime(const WebViewRuntime* runtime) noexcept {
  g_webview_runtime = runtime;
}

long TWebBrowser::LiveSites() noexcept { return LiveBrowserSites(); }

long TWebBrowser::ControlsLeftReferenced() noexcept { return g_controls_left_referenced.load(); }

unsigned long TWebBrowser::SiteReferences() const noexcept {
  return site_ ? site_->RefCount() : 0;
}

HWND TWebBrowser::ControlWindow() const noexcept {
  HWND hwnd = nullptr;
  if (in_place_ && FAILED(in_place_->GetWindow(&hwnd))) hwnd = nullptr;
  return hwnd;
}

void TWebBrowser::CreateParams(CreateParamsT& params) {
  TWinControl::CreateParams(params);
  params.class_name = ClassName();
  params.style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
}

namespace {
constexpr UINT kEmbedMessage = WM_APP + 0x51;
constexpr UINT kWebViewMessage = WM_APP + 0x52;  // answers of the web view's runtime wait
constexpr UINT_PTR kAnswerTimer = 0x5157;         // the runtime took too long to answer
constexpr UINT_PTR kNoAnswerTimer = 0x5158;       // the page's server took too long to answer
constexpr UINT_PTR kHangTimer = 0x5159;           // the page's renderer has not answered lately
}  // namespace

void TWebBrowser::HandleCreated() {
  TWinControl::HandleCreated();
  HWND top = GetAncestor(WindowHandle(), GA_ROOT);
  if (deferred_embedding_ && top && !IsWindowVisible(top) &&
      PostMessageW(WindowHandle(), kEmbedMessage, 0, 0))
    return;
  ChooseEngine();
}

// Made once: a runtime that is found is tried; without one (or when it fails) the control.
void TWebBrowser::ChooseEngine() {
  if (engine_.State() != EngineState::Undecided) return;
  runtime_ = LookUpRuntime();
  Apply(engine_.Begin(runtime_.has_value()));
}

std::optional<RuntimeChoice> TWebBrowser::LookUpRuntime() noexcept {
  try {
    if (runtime_source_->find) return runtime_source_->find();
  } catch (...) {
    // A lookup that fails finds nothing.
  }
  return std::nullopt;
}

void TWebBrowser::EngineWent() {
  EndWatch();
  if (OnEngineLost) OnEngineLost();
}

void TWebBrowser::WatchLoad(const std::wstring& address) noexcept {
  try {
    watched_ = address;
  } catch (...) {
    watched_.clear();  // the failure is then the page shown's
  }
  watching_ = WindowHandle() && SetTimer(WindowHandle(), kNoAnswerTimer, no_answer_ms_, nullptr);
}

void TWebBrowser::EndWatch() noexcept {
  if (watching_ && WindowHandle()) KillTimer(WindowHandle(), kNoAnswerTimer);
  watching_ = false;
}

// The load has waited its time for the server: stopped, it counts as failed, so that the page is
// tried again (the address it was opened at, or the page shown when it was a reload).
void TWebBrowser::NoAnswer() {
  EndWatch();
  if (engine_.State() == EngineState::WebView && webview_)
    webview_->Stop();
  else if (engine_.State() == EngineState::Control && browser_)
    browser_->Stop();
  else
    return;
  LoadFinished(watched_, LoadOutcome::Failed);
}

// The control's loads carry no ID: they are told apart by their addresses. A load of the top
// document replaces the one under way; one the page starts itself is watched like ours.
void TWebBrowser::ControlLoadStarting(const std::wstring& url) {
  if (url == control_load_) return;  // the load we opened
  replaced_load_ = std::exchange(control_load_, url);
  WatchLoad(url);
}

// An error report of the load that was replaced (the control may report its cancellation late)
// is not the current load's.
void TWebBrowser::ControlLoadFailed(const std::wstring& url, long status) {
  if (url == replaced_load_ && url != control_load_) return;
  LoadFinished(url, ControlErrorOutcome(status));
}

// The page's renderer was reported as not answering: one report is a renderer briefly busy; one
// still reported hung HangWatch::kHungMs later is ended with its web view.
void TWebBrowser::RendererUnresponsive() {
  const DWORD now = GetTickCount();
  if (hang_.Reported(now))
    SetTimer(WindowHandle(), kHangTimer, HangWatch::kHungMs + 50, nullptr);
  else if (hang_.Hung(now))
    EndHungRenderer();
}

// A new web view is made, as after its browser process ended: a reload would go to the same
// hung process.
void TWebBrowser::EndHungRenderer() {
  hang_.Reset();
  if (engine_.State() != EngineState::WebView || !webview_) return;
  webview_->Close();
  engine_.BrowserProcessEnded();
  EngineWent();
}

void TWebBrowser::LoadFinished(const std::wstring& address, LoadOutcome outcome) {
  EndWatch();
  engine_.LoadFinished(address, outcome);
  if (outcome == LoadOutcome::Failed && OnLoadFailed) OnLoadFailed();
  if (outcome == LoadOutcome::Loaded && OnLoaded) OnLoaded();
}

void TWebBrowser::Apply(const EngineStep& step) {
  if (step.start) StartWebView();
  if (step.fallback) {
    DisarmAnswerTimer();
    EndWatch();
    if (webview_) webview_->Close();
    Embed();
    if (step.open) OpenInControl(*step.open);
  } else if (step.open) {
    if (engine_.State() == EngineState::WebView) {
      webview_->Navigate(*step.open);
      WatchLoad(*step.open);
    } else if (engine_.State() == EngineState::Control) {
      OpenInControl(*step.open);
    }
  }
  if (step.reload) {
    if (engine_.State() == EngineState::WebView) {
      webview_->Reload();
      WatchLoad(L"");
    } else {
      OleCheck(Browser()->Refresh());
    }
  }
  if (step.discard && webview_) webview_->Close();
  if (step.lost) {
    DisarmAnswerTimer();
    if (webview_) webview_->Close();
    EngineWent();
  }
  // Not yet: a reload waits for nothing, its caller lets it pass.
  if (step.refuse) OleCheck(E_PENDING);
}

void TWebBrowser::MakeWebViewHost() {
  webview_ = std::make_unique<WebView2Host>(WindowHandle(), kWebViewMessage);
  // Tab out of the page goes on through the window's tab order, as from the control.
  webview_->on_focus_leaving = [this](bool forward) {
    TForm* form = ParentForm();
    return form && form->SelectNextFrom(this, forward);
  };
  webview_->on_step = [this](std::uint32_t a) {
    if (!ArmAnswerTimer(a)) WebViewFailed(a);
  };
  webview_->on_created = [this](std::uint32_t a) {
    DisarmAnswerTimer();
    hang_.Reset();
    EngineStep step = engine_.Created(a);
    if (!step.discard && GetFocus() == WindowHandle()) webview_->Focus();
    Apply(step);
  };
  webview_->on_failed = [this](std::uint32_t a, HRESULT) {
    DisarmAnswerTimer();
    WebViewFailed(a);
  };
  webview_->on_browser_process_ended = [this] {
    engine_.BrowserProcessEnded();
    EngineWent();
  };
  webview_->on_render_process_failed = [this] {
    hang_.Reset();
    EngineWent();
  };
  webview_->on_helper_process_ended = [this] {
    if (OnHelperProcessEnded) OnHelperProcessEnded();
  };
  webview_->on_renderer_unresponsive = [this] { RendererUnresponsive(); };
  webview_->on_navigation_starting = [this](const std::wstring& uri, bool own) {
    if (!own) WatchLoad(uri);  // the page's own load: ours are watched from their start
  };
  webview_->on_navigation_completed = [this](const std::wstring& source, LoadOutcome outcome) {
    LoadFinished(source, outcome);
  };
  webview_->on_content_loading = [this] { EndWatch(); };
  webview_->on_media_message = [this](std::string_view text) {
    if (OnMediaMessage) OnMediaMessage(text);
  };
}

void TWebBrowser::StartWebView() {
  const std::uint32_t attempt = engine_.Attempt();
  if (!webview_) MakeWebViewHost();
  // Made anew after a loss: the runtime may have been updated meanwhile, and the old version's
  // folder removed.
  if (attempt > 1) runtime_ = LookUpRuntime();
  HRESULT result = E_FAIL;
  try {
    if (runtime_ && (!create_ || loaded_dll_ != runtime_->dll)) {
      create_ = runtime_source_->load ? runtime_source_->load(*runtime_) : nullptr;
      loaded_dll_ = create_ ? runtime_->dll : L"";
    }
    wv2::CreateEnvironmentFunction create = runtime_ ? create_ : nullptr;
    std::wstring folder = runtime_source_->data_folder ? runtime_source_->data_folder() : L"";
    result = create ? webview_->Start(create, runtime_->fixed, folder, attempt) : E_NOINTERFACE;
  } catch (...) {
    result = E_FAIL;
  }
  // Without a timer nothing would end a wait that never ends: that too is a failure.
  if (FAILED(result) || !ArmAnswerTimer(attempt)) return WebViewFailed(attempt);
}

void TWebBrowser::WebViewFailed(std::uint32_t attempt) {
  EngineStep step = engine_.Failed(attempt);
  if (step.fallback && webview_) webview_->Close();
  Apply(step);
}

bool TWebBrowser::ArmAnswerTimer(std::uint32_t attempt) noexcept {
  timed_attempt_ = attempt;
  if (SetTimer(WindowHandle(), kAnswerTimer, runtime_source_->answer_timeout_ms, nullptr))
    return true;
  timed_attempt_ = 0;
  return false;
}

void TWebBrowser::DisarmAnswerTimer() noexcept {
  if (timed_attempt_ != 0 && WindowHandle()) KillTimer(WindowHandle(), kAnswerTimer);
  timed_attempt_ = 0;
}

RECT TWebBrowser::HostRect() const noexcept {
  RECT r{};
  if (HWND h = WindowHandle()) GetClientRect(h, &r);
  return r;
}

void TWebBrowser::Embed() {
  if (object_) return;
  tearing_down_ = false;
  HRESULT hr = CoCreateInstance(kWebBrowserClass, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                reinterpret_cast<void**>(object_.put()));
  create_result_ = hr;
  OleCheck(hr);
  if (!object_) {
    create_result_ = E_NOINTERFACE;
    OleCheck(E_NOINTERFACE);
  }
  site_ = ComPtr<Site>::Attach(new Site(this));
  try {
    IOleClientSite* client = static_cast<IOleClientSite*>(site_.get());
    DWORD misc = 0;
    if (FAILED(object_->GetMiscStatus(DVASPECT_CONTENT, &misc))) misc = 0;
    const bool site_first = (misc & OLEMISC_SETCLIENTSITEFIRST) != 0;
    if (site_first) OleCheck(object_->SetClientSite(client));
    if (auto persist = object_.As<IPersistStreamInit>(IID_IPersistStreamInit))
      OleCheck(persist->InitNew());
    if (!site_first) OleCheck(object_->SetClientSite(client));
    RECT r = HostRect();
    OleCheck(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, client, 0, WindowHandle(), &r));
    in_place_ = object_.As<IOleInPlaceObject>(IID_IOleInPlaceObject);
    active_ = object_.As<IOleInPlaceActiveObject>(IID_IOleInPlaceActiveObject);
    UpdateObjectRects();
    FollowEvents();
  } catch (...) {
    Teardown();
    throw;
  }
}

// Without the events the control still works: a failed load then waits for the reload tick.
void TWebBrowser::FollowEvents() noexcept {
  auto container = object_.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
  ComPtr<IConnectionPoint> point;
  if (!container || FAILED(container->FindConnectionPoint(kBrowserEvents, point.put())) || !point)
    return;
  if (SUCCEEDED(point->Advise(static_cast<IDispatch*>(site_.get()), &events_cookie_)))
    events_ = std::move(point);
}

bool TWebBrowser::IsTopDocument(VARIANT* sender) const noexcept {
  if (!sender || !object_ || V_VT(sender) != VT_DISPATCH || !V_DISPATCH(sender)) return false;
  ComPtr<IUnknown> a, b;
  if (FAILED(V_DISPATCH(sender)->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(a.put()))) ||
      FAILED(object_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(b.put()))))
    return false;
  return a.get() == b.get();
}

void TWebBrowser::Teardown() noexcept {
  if (!object_ && !site_) return;
  tearing_down_ = true;
  // Our references go first into locals, so that nothing the control calls back while it
  // shuts down finds a half-released host.
  if (events_) events_->Unadvise(events_cookie_);
  events_.reset();
  ComPtr<IOleInPlaceObject> in_place = std::move(in_place_);
  ComPtr<IOleObject> object = std::move(object_);
  ComPtr<Site> site = std::move(site_);
  active_.reset();
  if (in_place) in_place->InPlaceDeactivate();
  in_place.reset();
  if (object) {
    object->SetClientSite(nullptr);
    object->Close(OLECLOSE_NOSAVE);
  }
  browser_.reset();
  if (IOleObject* last = object.release()) {
    if (last->Release() != 0) ++g_controls_left_referenced;
  }
  if (site) site->Detach();
  site.reset();
  in_place_active_ = false;
}

void TWebBrowser::UpdateObjectRects() noexcept {
  if (!in_place_ || tearing_down_) return;
  RECT r = HostRect();
  in_place_->SetObjectRects(&r, &r);
}

void TWebBrowser::Resized() {
  UpdateObjectRects();
  if (webview_) webview_->SetBounds(HostRect());
}

void TWebBrowser::UIActivate() noexcept {
  if (!object_ || !site_ || focusing_ || tearing_down_) return;
  focusing_ = true;
  RECT r = HostRect();
  object_->DoVerb(OLEIVERB_UIACTIVATE, nullptr, static_cast<IOleClientSite*>(site_.get()), 0,
                  WindowHandle(), &r);
  // A control that took the activation but left the focus with us gets it in its own window.
  if (GetFocus() == WindowHandle()) {
    if (HWND control = ControlWindow()) ::SetFocus(control);
  }
  focusing_ = false;
}

LRESULT TWebBrowser::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SETFOCUS:
      if (engine_.State() == EngineState::WebView && webview_)
        webview_->Focus();
      else
        UIActivate();
      break;  // the form notes the browser as its active control
    case WM_DESTROY:
      // The web view goes before the window it lives in.
      DisarmAnswerTimer();
      EndWatch();
      engine_.Close();
      if (webview_) webview_->Close();
      Teardown();
      break;
    case WM_TIMER:
      if (wp == kAnswerTimer) {
        const std::uint32_t attempt = timed_attempt_;
        DisarmAnswerTimer();
        if (attempt != 0) {
          if (webview_) webview_->Close();
          WebViewFailed(attempt);
        }
        return 0;
      }
      if (wp == kHangTimer) {
        KillTimer(WindowHandle(), kHangTimer);
        if (hang_.Hung(GetTickCount())) EndHungRenderer();
        return 0;
      }
      if (wp == kNoAnswerTimer) {
        if (watching_)
          NoAnswer();
        else
          KillTimer(WindowHandle(), kNoAnswerTimer);
        return 0;
      }
      break;
    case kWebViewMessage:
      if (webview_) webview_->Pump();
      return 0;
    case kEmbedMessage:
      if (engine_.State() == EngineState::Undecided && !tearing_down_) {
        // The window that has just appeared is painted before the control is set up, which
        // takes a while: the user sees the whole window at once.
        if (HWND top = GetAncestor(WindowHandle(), GA_ROOT); top && IsWindowVisible(top))
          RedrawWindow(top, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        ChooseEngine();
      }
      return 0;
    default:
      break;
  }
  return TWinControl::WndProc(msg, wp, lp);
}

bool TWebBrowser::PreTranslateMessage(MSG& msg) {
  if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
  HWND host = WindowHandle();
  if (!host || !active_ || tearing_down_ || !msg.hwnd || !IsChild(host, msg.hwnd)) return false;
  ComPtr<IOleInPlaceActiveObject> target = active_;  // kept alive for the length of the call
  return target->TranslateAccelerator(&msg) == S_OK;
}

IWebBrowser2* TWebBrowser::Browser() {
  if (browser_) return browser_.get();
  if (!object_) Handle();
  if (engine_.State() == EngineState::Undecided && WindowHandle()) ChooseEngine();
  // With the web view (or while it is being made) there is no control to talk to.
  if (engine_.State() != EngineState::Control) OleCheck(E_NOINTERFACE);
  if (!object_ && SUCCEEDED(create_result_) && WindowHandle()) Embed();
  if (!object_) OleCheck(FAILED(create_result_) ? create_result_ : E_UNEXPECTED);
  ComPtr<IWebBrowser2> browser;
  OleCheck(object_->QueryInterface(kWebBrowser2Interface, reinterpret_cast<void**>(browser.put())));
  browser_ = std::move(browser);
  return browser_.get();
}

void TWebBrowser::Navigate(const std::wstring& typed) {
  const std::wstring url = AddressWithScheme(typed);
  if (engine_.State() == EngineState::Undecided) {
    Handle();
    if (engine_.State() == EngineState::Undecided && WindowHandle()) ChooseEngine();
  }
  if (engine_.State() == EngineState::Control || engine_.State() == EngineState::Undecided)
    return OpenInControl(url);
  Apply(engine_.Navigate(url));
}

void TWebBrowser::OpenInControl(const std::wstring& url) {
  IWebBrowser2* browser = Browser();
  Bstr address = NewBstr(url);
  // Left-out optional arguments, as automation callers pass them.
  VARIANT missing{};
  V_VT(&missing) = VT_ERROR;
  V_ERROR(&missing) = DISP_E_PARAMNOTFOUND;
  replaced_load_ = std::exchange(control_load_, url);
  OleCheck(browser->Navigate(address.get(), &missing, &missing, &missing, &missing));
  WatchLoad(url);
}

void TWebBrowser::Recover() {
  if (engine_.State() == EngineState::Undecided) return;
  Apply(engine_.Recover());
}

void TWebBrowser::Refresh() {
  if (engine_.State() == EngineState::Undecided) {
    Handle();
    if (engine_.State() == EngineState::Undecided && WindowHandle()) ChooseEngine();
  }
  if (engine_.State() == EngineState::Undecided) {
    OleCheck(Browser()->Refresh());
    return;
  }
  Apply(engine_.Reload());
}

}  // namespace reprisa
