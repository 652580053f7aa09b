#include "win/web/webview2_win.h"

#include <commctrl.h>

#include <atomic>
#include <cwchar>
#include <type_traits>
#include <utility>

#include "core/error_handler.h"
#include "win/kit/ole_error_win.h"
#include "win/web/webview2_handler_win.h"

namespace reprisa {

using wv2::Handler;

namespace {

// A copy of `text` the caller frees with CoTaskMemFree, as every get_ of a string hands out.
HRESULT CopyOut(const std::wstring& text, LPWSTR* out) {
  if (!out) return E_POINTER;
  *out = static_cast<LPWSTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(wchar_t)));
  if (!*out) return E_OUTOFMEMORY;
  std::wmemcpy(*out, text.c_str(), text.size() + 1);
  return S_OK;
}

// The mnemonics of a menu bar's items, upper case.
std::wstring MenuMnemonics(HMENU menu) {
  std::wstring mnemonics;
  if (!menu) return mnemonics;
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count && i < 64; ++i) {
    wchar_t caption[128] = {};
    if (GetMenuStringW(menu, static_cast<UINT>(i), caption, 128, MF_BYPOSITION) <= 0) continue;
    if (wchar_t c = MenuMnemonic(caption)) mnemonics += c;
  }
  return mnemonics;
}

}  // namespace

// What our handlers know of their host: nothing once it has closed.
struct WebView2Host::Link {
  std::atomic<long> refs{1};
  WebView2Host* host;
  explicit Link(WebView2Host* h) : host(h) {}
  void AddRef() noexcept { ++refs; }
  void Release() noexcept {
    if (--refs == 0) delete this;
  }
};

class WebView2Host::LinkRef {
 public:
  explicit LinkRef(Link* link) noexcept : link_(link) { link_->AddRef(); }
  LinkRef(const LinkRef& other) noexcept : link_(other.link_) { link_->AddRef(); }
  LinkRef& operator=(const LinkRef&) = delete;
  ~LinkRef() { link_->Release(); }
  WebView2Host* Host() const noexcept { return link_->host; }

 private:
  Link* link_;
};

// The options the environment is created with. The runtime reads them during the entry point's
// call (and may keep the object).
class WebView2Host::Options : public wv2::EnvironmentOptions {
 public:
  static ComPtr<wv2::EnvironmentOptions> Make() {
    static_assert(!std::is_polymorphic_v<Options>,
                  "the runtime's interface pointer must be the object's own address");
    auto* options = new Options;
    return ComPtr<wv2::EnvironmentOptions>::Attach(options);
  }

 private:
  Options() {
    vtbl = &kVtbl;
    ++wv2::live_host_objects;
  }
  ~Options() { --wv2::live_host_objects; }
  static Options* From(wv2::EnvironmentOptions* self) noexcept {
    return static_cast<Options*>(self);
  }
  static HRESULT Put(std::wstring& field, LPCWSTR value) noexcept {
    try {
      field = value ? value : L"";
      return S_OK;
    } catch (...) {
      return E_OUTOFMEMORY;
    }
  }

  static HRESULT STDMETHODCALLTYPE QueryInterfaceSlot(wv2::EnvironmentOptions* self, REFIID iid,
                                                      void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, wv2::kIidEnvironmentOptions)) {
      *out = self;
      AddRefSlot(self);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  static ULONG STDMETHODCALLTYPE AddRefSlot(wv2::EnvironmentOptions* self) {
    return static_cast<ULONG>(++From(self)->refs_);
  }
  static ULONG STDMETHODCALLTYPE ReleaseSlot(wv2::EnvironmentOptions* self) {
    long left = --From(self)->refs_;
    if (left == 0) delete From(self);
    return static_cast<ULONG>(left);
  }
  static HRESULT STDMETHODCALLTYPE GetArguments(wv2::EnvironmentOptions* self, LPWSTR* value) {
    return CopyOut(From(self)->arguments_, value);
  }
  static HRESULT STDMETHODCALLTYPE PutArguments(wv2::EnvironmentOptions* self, LPCWSTR value) {
    return Put(From(self)->arguments_, value);
  }
  static HRESULT STDMETHODCALLTYPE GetLanguage(wv2::EnvironmentOptions* self, LPWSTR* value) {
    return CopyOut(From(self)->language_, value);
  }
  static HRESULT STDMETHODCALLTYPE PutLanguage(wv2::EnvironmentOptions* self, LPCWSTR value) {
    return Put(From(self)->language_, value);
  }
  static HRESULT STDMETHODCALLTYPE GetTargetVersion(wv2::EnvironmentOptions* self,
                                                    LPWSTR* value) {
    return CopyOut(From(self)->target_version_, value);
  }
  static HRESULT STDMETHODCALLTYPE PutTargetVersion(wv2::EnvironmentOptions* self,
                                                    LPCWSTR value) {
    return Put(From(self)->target_version_, value);
  }
  static HRESULT STDMETHODCALLTYPE GetSingleSignOn(wv2::EnvironmentOptions* self, BOOL* allow) {
    if (!allow) return E_POINTER;
    *allow = From(self)->single_sign_on_;
    return S_OK;
  }
  static HRESULT STDMETHODCALLTYPE PutSingleSignOn(wv2::EnvironmentOptions* self, BOOL allow) {
    From(self)->single_sign_on_ = allow;
    return S_OK;
  }
  static constexpr wv2::EnvironmentOptionsVtbl kVtbl{
      &QueryInterfaceSlot, &AddRefSlot,       &ReleaseSlot,      &GetArguments,
      &PutArguments,       &GetLanguage,      &PutLanguage,      &GetTargetVersion,
      &PutTargetVersion,   &GetSingleSignOn,  &PutSingleSignOn};

  std::atomic<long> refs_{1};
  std::wstring arguments_ = kWebViewBrowserArguments;
  std::wstring language_;
  // The oldest runtime we ask for, which is also the oldest we try.
  std::wstring target_version_ = L"86.0.616.0";
  BOOL single_sign_on_ = FALSE;
};

template <class Interface, class Object>
ComPtr<Interface> WebView2Host::CompletedHandler(const IID& iid, typename Answer::Kind kind,
                                                 ComPtr<Object> Answer::*slot) {
  LinkRef link(link_);
  const std::uint32_t attempt = attempt_;
  return Handler<Interface, HRESULT, Object*>::Make(
      iid, [link, attempt, kind, slot](HRESULT result, Object* object) -> HRESULT {
        Answer answer(kind, attempt, result);
        if (object) {
          object->AddRef();
          answer.*slot = ComPtr<Object>::Attach(object);
        }
        if (WebView2Host* host = link.Host())
          host->Queue(std::move(answer));
        else
          Discard(answer);  // nobody waits for it: it must not stay in our window
        return S_OK;
      });
}

WebView2Host::WebView2Host(HWND window, UINT message) : window_(window), message_(message) {}

WebView2Host::~WebView2Host() { Close(); }

long WebView2Host::LiveHostObjects() noexcept { return wv2::live_host_objects.load(); }

HRESULT WebView2Host::Start(wv2::CreateEnvironmentFunction create, bool fixed_runtime,
                            const std::wstring& data_folder, std::uint32_t attempt) {
  Close();
  if (!create || data_folder.empty() || !window_) return E_INVALIDARG;
  attempt_ = attempt;
  link_ = new Link(this);
  ComPtr<wv2::EnvironmentOptions> options = Options::Make();
  ComPtr<wv2::EnvironmentCompletedHandler> handler =
      CompletedHandler<wv2::EnvironmentCompletedHandler>(wv2::kIidEnvironmentCompletedHandler,
                                                         Answer::Environment, &Answer::environment);
  HRESULT result = create(true, fixed_runtime ? 1 : 0, data_folder.c_str(),
                          reinterpret_cast<IUnknown*>(options.get()), handler.get());
  if (FAILED(result)) Close();
  return result;
}

void WebView2Host::Queue(Answer answer) {
  answers_.push_back(std::move(answer));
  // One message fetches everything that waits: a page posting a storm does not fill the
  // window's message queue.
  if (!posted_) posted_ = PostMessageW(window_, message_, 0, 0) != FALSE;
}

void WebView2Host::Discard(Answer& answer) noexcept {
  if (answer.controller) answer.controller->Close();
  answer.controller.reset();
  answer.environment.reset();
}

void WebView2Host::Fail(HRESULT result) {
  const std::uint32_t attempt = attempt_;
  Close();
  if (on_failed) on_failed(attempt, FAILED(result) ? result : E_NOINTERFACE);
}

void WebView2Host::Pump() noexcept {
  posted_ = false;
  std::vector<Answer> answers;
  answers.swap(answers_);
  for (Answer& answer : answers) {
    try {
      Handle(answer);
    } catch (...) {
      HandleException(nullptr);
    }
    Discard(answer);  // whatever of it was not taken
  }
}

void WebView2Host::Handle(Answer& answer) {
  if (!link_ || answer.attempt != attempt_) return;  // discarded by the caller
  switch (answer.kind) {
    case Answer::Environment:
      EnvironmentAnswered(answer);
      break;
    case Answer::Controller:
      ControllerAnswered(answer);
      break;
    case Answer::ProcessFailed:
      ProcessFailed(answer.failed);
      break;
    case Answer::NavigationStarting:
      NavigationStarting(answer);
      break;
    case Answer::NavigationCompleted:
      NavigationCompleted(answer);
      break;
    case Answer::ContentLoading:
      // The empty page in between is no page's arrival: the watch goes on for the one after it.
      if (Current(answer) && then_open_.empty() && webview_ && on_content_loading)
        on_content_loading();
      break;
    case Answer::ScriptAdded:
      if (std::exchange(awaiting_script_, false) && webview_ && on_created)
        on_created(answer.attempt);
      break;
    case Answer::MediaMessage:
      if (webview_ && on_media_message) on_media_message(answer.text);
      break;
  }
}

bool WebView2Host::Current(const Answer& answer) const noexcept {
  if (!starting_added_ || !answer.identified) return true;
  return !awaiting_start_ && answer.navigation == current_;
}

void WebView2Host::NavigationStarting(Answer& answer) {
  // A redirect keeps its load's ID: the same load goes on.
  if (!webview_ || !answer.identified || answer.navigation == current_) return;
  current_ = answer.navigation;
  stopped_ = false;
  const bool own = std::exchange(awaiting_start_, false);
  if (!own) then_open_.clear();  // the page's own load took the place of ours
  if (on_navigation_starting) on_navigation_starting(answer.source, own);
}

void WebView2Host::NavigationCompleted(Answer& answer) {
  if (!webview_ || !Current(answer)) return;
  // A load we stopped ends as cancelled: no outcome of the page's.
  if (std::exchange(stopped_, false) && answer.outcome != LoadOutcome::Loaded) return;
  // The empty page in between has loaded: now the address is a document of its own.
  if (!then_open_.empty()) return Open(std::exchange(then_open_, std::wstring()));
  if (on_navigation_completed) on_navigation_completed(answer.source, answer.outcome);
}

void WebView2Host::ProcessFailed(wv2::ProcessFailedKind kind) {
  if (!webview_) return;
  switch (kind) {
    case wv2::kBrowserProcessExited:
      Close();
      if (on_browser_process_ended) on_browser_process_ended();
      break;
    case wv2::kRenderProcessUnresponsive:
      if (on_renderer_unresponsive) on_renderer_unresponsive();
      break;
    case wv2::kRenderProcessExited:
      if (on_render_process_failed) on_render_process_failed();
      break;
    // A frame's own process: the player a page plays its media in is often a frame. The media's
    // sound goes through the audio service, a utility process, and its pictures are decoded and
    // drawn in the GPU process: playback may stop with either, or go on.
    case wv2::kFrameRenderProcessExited:
    case wv2::kUtilityProcessExited:
    case wv2::kGpuProcessExited:
      if (on_helper_process_ended) on_helper_process_ended();
      break;
    default:  // the sandbox helper, plug-in processes, unknown ones: the page does not need them
      break;
  }
}

void WebView2Host::EnvironmentAnswered(Answer& answer) {
  if (environment_ || controller_) return;  // one environment per attempt
  if (FAILED(answer.result) || !answer.environment) return Fail(answer.result);
  environment_ = std::move(answer.environment);
  const std::uint32_t attempt = attempt_;
  ComPtr<wv2::ControllerCompletedHandler> handler =
      CompletedHandler<wv2::ControllerCompletedHandler>(wv2::kIidControllerCompletedHandler,
                                                        Answer::Controller, &Answer::controller);
  HRESULT result = environment_->CreateController(window_, handler.get());
  if (FAILED(result)) return Fail(result);
  if (on_step) on_step(attempt);
}

void WebView2Host::ControllerAnswered(Answer& answer) {
  if (!environment_ || controller_) return Discard(answer);
  if (FAILED(answer.result) || !answer.controller) return Fail(answer.result);
  controller_ = std::move(answer.controller);
  ComPtr<wv2::WebView> webview;
  HRESULT result = controller_->GetWebView(webview.put());
  if (FAILED(result) || !webview) return Fail(result);
  webview_ = std::move(webview);

  LinkRef link(link_);
  const std::uint32_t attempt = attempt_;
  // Without either event the web view still works: the menu keys stay the page's, and a page
  // whose processes ended comes back only with the next reload tick (which then makes a new web
  // view when the browser process ended, as the reload is refused).
  auto keys = Handler<wv2::AcceleratorKeyHandler, wv2::Controller*, wv2::AcceleratorKeyArgs*>::Make(
      wv2::kIidAcceleratorKeyHandler,
      [link](wv2::Controller*, wv2::AcceleratorKeyArgs* args) -> HRESULT {
        WebView2Host* host = link.Host();
        if (host && args && host->KeyPressed(args)) args->PutHandled(TRUE);
        return S_OK;
      });
  key_added_ = SUCCEEDED(controller_->AddAcceleratorKeyPressed(keys.get(), &key_token_));
  auto failed = Handler<wv2::ProcessFailedHandler, wv2::WebView*, wv2::ProcessFailedArgs*>::Make(
      wv2::kIidProcessFailedHandler,
      [link, attempt](wv2::WebView*, wv2::ProcessFailedArgs* args) -> HRESULT {
        wv2::ProcessFailedKind kind = wv2::kBrowserProcessExited;
        if (!args || FAILED(args->GetKind(&kind))) return S_OK;
        if (WebView2Host* host = link.Host()) {
          Answer answer(Answer::ProcessFailed, attempt);
          answer.failed = kind;
          host->Queue(std::move(answer));
        }
        return S_OK;
      });
  failed_added_ = SUCCEEDED(webview_->AddProcessFailed(failed.get(), &failed_token_));
  WatchNavigations(attempt);
  awaiting_script_ = WatchMedia(attempt);

  RECT bounds{};
  GetClientRect(window_, &bounds);
  controller_->PutBounds(bounds);
  controller_->PutIsVisible(TRUE);
  WatchFocusLeaving();
  Subclass(true);
  if (!awaiting_script_ && on_created) on_created(attempt);
}

bool WebView2Host::WatchMedia(std::uint32_t attempt) {
  // What a page posts waits here for the next Pump; beyond this many waiting answers its
  // messages are dropped.
  constexpr std::size_t kMaxWaiting = 256;
  LinkRef link(link_);
  WebViewMediaWatch::Sinks sinks;
  sinks.message = [link, attempt](std::string text) {
    WebView2Host* host = link.Host();
    if (!host || host->answers_.size() >= kMaxWaiting) return;
    Answer answer(Answer::MediaMessage, attempt);
    answer.text = std::move(text);
    host->Queue(std::move(answer));
  };
  sinks.script_ready = [link, attempt] {
    if (WebView2Host* host = link.Host()) host->Queue(Answer(Answer::ScriptAdded, attempt));
  };
  return media_.Start(webview_.get(), std::move(sinks));
}

void WebView2Host::WatchNavigations(std::uint32_t attempt) {
  LinkRef link(link_);
  auto completed = Handler<wv2::NavigationCompletedHandler, wv2::WebView*,
                           wv2::NavigationCompletedArgs*>::Make(
      wv2::kIidNavigationCompletedHandler,
      [link, attempt](wv2::WebView* sender, wv2::NavigationCompletedArgs* args) -> HRESULT {
        WebView2Host* host = link.Host();
        if (!host || !args) return S_OK;
        BOOL success = FALSE;
        std::int32_t status = 0, http = 0;
        if (FAILED(args->GetIsSuccess(&success))) return S_OK;
        if (FAILED(args->GetWebErrorStatus(&status))) status = 0;
        // The HTTP status only where the runtime has the arguments' second interface.
        wv2::NavigationCompletedArgs2* args2 = nullptr;
        if (SUCCEEDED(args->QueryInterface(wv2::kIidNavigationCompletedArgs2,
                                           reinterpret_cast<void**>(&args2))) &&
            args2) {
          if (FAILED(args2->GetHttpStatusCode(&http))) http = 0;
          args2->Release();
        }
        Answer answer(Answer::NavigationCompleted, attempt);
        answer.outcome = WebViewLoadOutcome(success != FALSE, status, http);
        answer.identified = SUCCEEDED(args->GetNavigationId(&answer.navigation));
        LPWSTR source = nullptr;
        if (sender && SUCCEEDED(sender->GetSource(&source)) && source) answer.source = source;
        CoTaskMemFree(source);
        host->Queue(std::move(answer));
        return S_OK;
      });
  navigation_added_ =
      SUCCEEDED(webview_->AddNavigationCompleted(completed.get(), &navigation_token_));
  auto loading = Handler<wv2::ContentLoadingHandler, wv2::WebView*, wv2::ContentLoadingArgs*>::Make(
      wv2::kIidContentLoadingHandler,
      [link, attempt](wv2::WebView*, wv2::ContentLoadingArgs* args) -> HRESULT {
        WebView2Host* host = link.Host();
        if (!host) return S_OK;
        Answer answer(Answer::ContentLoading, attempt);
        answer.identified = args && SUCCEEDED(args->GetNavigationId(&answer.navigation));
        host->Queue(std::move(answer));
        return S_OK;
      });
  content_added_ = SUCCEEDED(webview_->AddContentLoading(loading.get(), &content_token_));
  auto starting =
      Handler<wv2::NavigationStartingHandler, wv2::WebView*, wv2::NavigationStartingArgs*>::Make(
          wv2::kIidNavigationStartingHandler,
          [link, attempt](wv2::WebView*, wv2::NavigationStartingArgs* args) -> HRESULT {
            WebView2Host* host = link.Host();
            if (!host || !args) return S_OK;
            Answer answer(Answer::NavigationStarting, attempt);
            answer.identified = SUCCEEDED(args->GetNavigationId(&answer.navigation));
            LPWSTR uri = nullptr;
            if (SUCCEEDED(args->GetUri(&uri)) && uri) answer.source = uri;
            CoTaskMemFree(uri);
            host->Queue(std::move(answer));
            return S_OK;
          });
  // Without it every report counts as the current load's, as older runtimes' stand-ins have it.
  starting_added_ = SUCCEEDED(webview_->AddNavigationStarting(starting.get(), &starting_token_));
}

void WebView2Host::Close() noexcept {
  Subclass(false);
  UnwatchFocusLeaving();
  if (link_) {
    link_->host = nullptr;
    link_->Release();
    link_ = nullptr;
  }
  attempt_ = 0;
  for (Answer& answer : answers_) Discard(answer);
  answers_.clear();
  posted_ = awaiting_script_ = false;
  media_.Stop();
  ComPtr<wv2::Controller> controller = std::move(controller_);
  ComPtr<wv2::WebView> webview = std::move(webview_);
  if (webview && failed_added_) webview->RemoveProcessFailed(failed_token_);
  if (webview && navigation_added_) webview->RemoveNavigationCompleted(navigation_token_);
  if (webview && content_added_) webview->RemoveContentLoading(content_token_);
  if (webview && starting_added_) webview->RemoveNavigationStarting(starting_token_);
  navigation_added_ = content_added_ = starting_added_ = stopped_ = awaiting_start_ = false;
  current_ = 0;
  then_open_.clear();
  if (controller && key_added_) controller->RemoveAcceleratorKeyPressed(key_token_);
  failed_added_ = key_added_ = false;
  if (controller) controller->Close();
  webview.reset();
  controller.reset();
  environment_.reset();
}

void WebView2Host::Navigate(const std::wstring& address) {
  if (!webview_) OleCheck(E_UNEXPECTED);
  switch (SameDocumentAs(address, Source())) {
    case SameDocument::SameAddress:
      return Reload();
    case SameDocument::OtherFragment:
      Open(L"about:blank");
      then_open_ = address;
      return;
    case SameDocument::No:
      return Open(address);
  }
}

void WebView2Host::Open(const std::wstring& address) {
  stopped_ = false;
  then_open_.clear();
  OleCheck(webview_->Navigate(address.c_str()));
  awaiting_start_ = true;
}

std::wstring WebView2Host::Source() const {
  LPWSTR source = nullptr;
  std::wstring shown;
  if (webview_ && SUCCEEDED(webview_->GetSource(&source)) && source) shown = source;
  CoTaskMemFree(source);
  return shown;
}

void WebView2Host::Reload() {
  if (!webview_) OleCheck(E_UNEXPECTED);
  stopped_ = false;
  then_open_.clear();
  OleCheck(webview_->Reload());
  awaiting_start_ = true;
}

// Whatever was asked for is over: a start that never came (a navigation the runtime made within
// the document after all) leaves the reports of later loads heard.
void WebView2Host::Stop() noexcept {
  if (webview_ && SUCCEEDED(webview_->Stop())) {
    stopped_ = true;
    awaiting_start_ = false;
    then_open_.clear();
  }
}

void WebView2Host::SetBounds(const RECT& bounds) noexcept {
  if (controller_) controller_->PutBounds(bounds);
}

void WebView2Host::ParentMoved() noexcept {
  if (controller_) controller_->NotifyParentWindowPositionChanged();
}

void WebView2Host::Focus() noexcept {
  if (controller_) controller_->MoveFocus(wv2::kFocusProgrammatic);
}

bool WebView2Host::KeyPressed(wv2::AcceleratorKeyArgs* args) noexcept {
  wv2::KeyEventKind kind = wv2::kKeyDown;
  UINT key = 0;
  if (FAILED(args->GetKind(&kind)) || FAILED(args->GetVirtualKey(&key))) return false;
  if (kind < wv2::kKeyDown || kind > wv2::kSystemKeyUp) return false;
  const bool shift_or_ctrl = GetKeyState(VK_SHIFT) < 0 || GetKeyState(VK_CONTROL) < 0;
  HWND root = GetAncestor(window_, GA_ROOT);
  std::wstring mnemonics;
  try {
    mnemonics = MenuMnemonics(root ? GetMenu(root) : nullptr);
  } catch (...) {
  }
  MenuKeyStep step =
      menu_keys_.Key(static_cast<KeyEventKind>(kind), key, shift_or_ctrl, mnemonics);
  // Posted: the menu's own loop runs from our message loop, never inside the runtime's call.
  if (step.open_menu && root && GetMenu(root))
    PostMessageW(root, WM_SYSCOMMAND, SC_KEYMENU, static_cast<LPARAM>(step.mnemonic));
  return step.handled;
}

// Without the event Tab stays inside the page; the web view works as before.
void WebView2Host::WatchFocusLeaving() {
  LinkRef link(link_);
  auto leaving =
      Handler<wv2::MoveFocusRequestedHandler, wv2::Controller*, wv2::MoveFocusRequestedArgs*>::Make(
          wv2::kIidMoveFocusRequestedHandler,
          [link](wv2::Controller*, wv2::MoveFocusRequestedArgs* args) -> HRESULT {
            wv2::MoveFocusReason reason = wv2::kFocusProgrammatic;
            if (!args || FAILED(args->GetReason(&reason))) return S_OK;
            if (reason != wv2::kFocusNext && reason != wv2::kFocusPrevious) return S_OK;
            WebView2Host* host = link.Host();
            if (host && host->on_focus_leaving && host->on_focus_leaving(reason == wv2::kFocusNext))
              args->PutHandled(TRUE);
            return S_OK;
          });
  focus_added_ = SUCCEEDED(controller_->AddMoveFocusRequested(leaving.get(), &focus_token_));
}

void WebView2Host::UnwatchFocusLeaving() noexcept {
  if (controller_ && focus_added_) controller_->RemoveMoveFocusRequested(focus_token_);
  focus_added_ = false;
}

void WebView2Host::Subclass(bool on) noexcept {
  if (!on) {
    if (subclassed_root_)
      RemoveWindowSubclass(subclassed_root_, RootProc, reinterpret_cast<UINT_PTR>(this));
    subclassed_root_ = nullptr;
    return;
  }
  HWND root = GetAncestor(window_, GA_ROOT);
  if (subclassed_root_ || !root || root == window_) return;
  if (SetWindowSubclass(root, RootProc, reinterpret_cast<UINT_PTR>(this),
                        reinterpret_cast<DWORD_PTR>(this)))
    subclassed_root_ = root;
}

LRESULT CALLBACK WebView2Host::RootProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                        DWORD_PTR data) {
  auto* host = reinterpret_cast<WebView2Host*>(data);
  switch (msg) {
    case WM_MOVE:
      host->ParentMoved();
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, RootProc, id);
      host->subclassed_root_ = nullptr;
      break;
    default:
      break;
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace reprisa
