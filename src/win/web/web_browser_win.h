// The kit's browser: a child window of ours with the two operations the program needs (open an
// address, reload the page). Behind it one of two engines, chosen once per start and silently:
// the system's modern web view where its runtime is installed (created asynchronously after the
// window shows), else the system's browser control, an OLE container in our window. Every failure
// while the web view is being created ends in the control, with the address asked for.
#pragma once

#include <windows.h>

#include <exdisp.h>
#include <ocidl.h>
#include <ole2.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/page_recovery.h"
#include "core/web_engine.h"
#include "core/web_runtime.h"
#include "win/kit/application_win.h"
#include "win/kit/com_ptr_win.h"
#include "win/kit/controls_win.h"
#include "win/kit/ole_error_win.h"
#include "win/web/webview2_loader_win.h"

namespace reprisa {

// Asks the browser control for its newest document mode in this program, for the current user:
// under HKEY_CURRENT_USER\...\FeatureControl\FEATURE_BROWSER_EMULATION, a value named after the
// running executable's file name is created as REG_DWORD 11001 when there is none. A value that
// exists, of any type or number, is the user's or an administrator's choice and stays. Nothing is
// reported: without the value the control opens pages in its oldest mode. Call it before the
// first control is made.
void RequestNewestBrowserMode() noexcept;
extern const wchar_t kBrowserEmulationKey[];  // the key's path under HKEY_CURRENT_USER
constexpr DWORD kNewestBrowserMode = 11001;

class WebView2Host;

class TWebBrowser : public TWinControl, public MessageFilter {
 public:
  explicit TWebBrowser(TComponent* owner);
  ~TWebBrowser() override;

  std::wstring ClassName() const override { return L"TWebBrowser"; }

  // Opens the typed address, made absolute first by the program's one rule, in either engine
  // (the control: the four optional arguments left out). Does not wait for the page. Before the
  // web view exists the address is kept and opened when it does.
  void Navigate(const std::wstring& typed);
  // Reloads the page shown (the control: no refresh level). Raises before the web view exists;
  // after its browser process ended, creates it anew and opens the last address instead.
  void Refresh();

  // Brings the page back after its engine was lost or its load failed (see the events below): a
  // web view whose browser process ended is made anew, from the runtime found now, and opens the
  // page shown last; a page whose load failed is opened again; any other page is reloaded.
  // Raises when the engine refuses.
  void Recover();

  // What the engine reports between the operations, on the window's thread and never inside the
  // engine's own calls; what a handler raises goes to the application's error handler.
  // The engine went: the web view's browser or render process ended (or has not answered for
  // some seconds), or a web view could not be made anew after that.
  std::function<void()> OnEngineLost;
  // A process the page's media may depend on ended (a frame's renderer, the GPU process, a
  // utility process such as the audio service); the page stands, and what it plays may or may not
  // have stopped. The web view only.
  std::function<void()> OnHelperProcessEnded;
  // The page could not be loaded in a way a later try may mend (no connection, a time-out, a
  // server error), or it loaded.
  std::function<void()> OnLoadFailed;
  std::function<void()> OnLoaded;
  // A message on the page's media channel, as a document of the web or the disk posted it (the
  // program's own script, or anything the page posts there too). The web view only: the browser
  // control has no channel.
  std::function<void(std::string_view text)> OnMediaMessage;

  // A page opened (or reloaded, in the web view) that has not begun to arrive within this time
  // is stopped and reported as failed (OnLoadFailed): an engine waits for ever on a server that
  // accepted the connection and never answers. Test seam; PageRecovery::kNoAnswerMs by default.
  void SetNoAnswerTimeout(UINT ms) noexcept { no_answer_ms_ = ms; }

  // The engine in use (Undecided until the window exists and the choice is made).
  EngineState Engine() const noexcept { return engine_.State(); }
  // The web view's side, when it is or was being tried (null with the control alone).
  WebView2Host* WebView() const noexcept { return webview_.get(); }
  // Test seam: where browsers made from now on get the runtime from (null: the installed one).
  static void SetWebViewRuntime(const WebViewRuntime* runtime) noexcept;

  // With this set before the window exists, a host created inside a hidden window creates the
  // control only once the message loop runs (after the window has appeared), or at the first
  // operation, whichever comes first; this keeps the control's set-up out of the start-up time.
  void SetDeferredEmbedding(bool value) noexcept { deferred_embedding_ = value; }

  // Keys inside the page belong to the page: the form leaves them alone.
  bool WantsAllKeys() const override { return true; }
  // Offers key messages for windows inside ours to the control's in-place active object first.
  bool PreTranslateMessage(MSG& msg) override;

  // The control's automation interface (obtained on first use and kept); raises like the two
  // operations when there is no control.
  IWebBrowser2* ControlInterface() { return Browser(); }
  // The client site the control talks to (null before the control is set up).
  IOleClientSite* ClientSite() const noexcept;

  // True between the control's in-place activation and its deactivation.
  bool InPlaceActive() const noexcept { return in_place_active_; }
  // The control's own window inside ours (null when it is not active in place).
  HWND ControlWindow() const noexcept;
  // References held on this control's site object right now (0 when it has none).
  unsigned long SiteReferences() const noexcept;
  // Site objects of all browser hosts that are still alive (released by nobody yet).
  static long LiveSites() noexcept;
  // Hosts whose control still had references after the host had released its last one.
  static long ControlsLeftReferenced() noexcept;

 protected:
  void CreateParams(CreateParamsT& params) override;
  void HandleCreated() override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  void Resized() override;

 private:
  class Site;
  friend class Site;

  IWebBrowser2* Browser();
  void ChooseEngine();
  void Apply(const EngineStep& step);
  void StartWebView();
  // Makes the web view's host and hands its reports on.
  void MakeWebViewHost();
  bool ArmAnswerTimer(std::uint32_t attempt) noexcept;
  void DisarmAnswerTimer() noexcept;
  void WebViewFailed(std::uint32_t attempt);
  // The runtime as it is recorded now (nothing when the lookup fails).
  std::optional<RuntimeChoice> LookUpRuntime() noexcept;
  void EngineWent();
  void LoadFinished(const std::wstring& address, LoadOutcome outcome);
  void ControlLoadStarting(const std::wstring& url);
  void ControlLoadFailed(const std::wstring& url, long status);
  void RendererUnresponsive();
  void EndHungRenderer();
  // The watch over a load from its start until its page begins to arrive (or it ends), of the
  // address opened (empty: the page shown, reloaded).
  void WatchLoad(const std::wstring& address) noexcept;
  void EndWatch() noexcept;
  void NoAnswer();
  void OpenInControl(const std::wstring& url);
  void Embed();
  void FollowEvents() noexcept;
  // Whether the sender of a control's event is the control itself (the top document).
  bool IsTopDocument(VARIANT* sender) const noexcept;
  void Teardown() noexcept;
  void UpdateObjectRects() noexcept;
  void UIActivate() noexcept;
  RECT HostRect() const noexcept;

  ComPtr<Site> site_;
  ComPtr<IOleObject> object_;
  ComPtr<IOleInPlaceObject> in_place_;
  ComPtr<IOleInPlaceActiveObject> active_;
  ComPtr<IWebBrowser2> browser_;  // obtained on the first operation, kept for the control's life
  ComPtr<IConnectionPoint> events_;  // where the site is advised of the control's events
  DWORD events_cookie_ = 0;
  HRESULT create_result_ = S_OK;
  bool in_place_active_ = false;
  bool tearing_down_ = false;
  bool focusing_ = false;
  bool filter_added_ = false;
  bool deferred_embedding_ = false;

  EngineLifecycle engine_;
  const WebViewRuntime* runtime_source_;
  std::optional<RuntimeChoice> runtime_;
  std::unique_ptr<WebView2Host> webview_;
  std::uint32_t timed_attempt_ = 0;  // the attempt the answer timer runs for (0: none)
  UINT no_answer_ms_ = PageRecovery::kNoAnswerMs;
  bool watching_ = false;  // the no-answer timer runs
  std::wstring watched_;   // for the load of this address
  std::wstring control_load_, replaced_load_;  // the control's load under way, and the one before
  HangWatch hang_;
  // The runtime's entry point loaded last, and from which DLL.
  std::wstring loaded_dll_;
  wv2::CreateEnvironmentFunction create_ = nullptr;
};

}  // namespace reprisa
