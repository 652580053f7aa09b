// The conversation with the system's modern web view: the options object and the handlers we
// implement, creating the environment and then the controller inside a window of ours, and the
// web view's operations once it is there. Every answer of the runtime is queued and the window
// is sent a message; the window hands it back through Pump(), so that nothing of ours runs inside
// the runtime's callbacks but the bookkeeping (and the menu keys, which must be answered there).
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/web_engine.h"
#include "win/kit/com_ptr_win.h"
#include "win/web/media_watch_win.h"
#include "win/web/webview2_api_win.h"

namespace reprisa {

// The browser arguments the environment is created with: media may start without a click.
inline constexpr wchar_t kWebViewBrowserArguments[] = L"--autoplay-policy=no-user-gesture-required";

class WebView2Host {
 public:
  // `window` is the window the web view fills; `message` is posted to it when answers wait.
  WebView2Host(HWND window, UINT message);
  ~WebView2Host();
  WebView2Host(const WebView2Host&) = delete;
  WebView2Host& operator=(const WebView2Host&) = delete;

  // Told inside the runtime's call, as the runtime needs its answer there: Tab left the page's
  // last element (forward) or Shift+Tab its first. True when the focus was moved on; otherwise
  // the runtime does what it does by default.
  std::function<bool(bool forward)> on_focus_leaving;

  // Told from Pump(), on the window's thread and outside the runtime's calls.
  std::function<void(std::uint32_t attempt)> on_step;     // the environment is there
  std::function<void(std::uint32_t attempt)> on_created;  // the web view is there
  std::function<void(std::uint32_t attempt, HRESULT)> on_failed;
  std::function<void()> on_browser_process_ended;
  // The page's render process ended: the web view stays, the page is gone.
  std::function<void()> on_render_process_failed;
  // A process the page's media may depend on ended: a frame's render process (a player is often
  // a frame), the GPU process or a utility process (the audio service is one). The page stands;
  // what it plays may have stopped. The other helpers' ends are ignored.
  std::function<void()> on_helper_process_ended;
  // The page's render process was reported as not answering (again while it hangs).
  std::function<void()> on_renderer_unresponsive;
  // A load of the top document began at `uri`: one the program asked for (`own`), or one the page
  // started itself (a link, a script's redirect). Not told for a redirect of a load under way.
  std::function<void(const std::wstring& uri, bool own)> on_navigation_starting;
  // The load that began last ended, at `source` (the address the web view shows now). Reports of
  // older loads (replaced, and reported cancelled late) are not passed on.
  std::function<void(const std::wstring& source, LoadOutcome outcome)> on_navigation_completed;
  // The page of the load that began last began to arrive.
  std::function<void()> on_content_loading;
  // A message on the media watch's channel (WebViewMediaWatch), from the top document or a frame.
  std::function<void(std::string_view text)> on_media_message;

  // Starts attempt `attempt` (closing whatever was there): the entry point is called with the
  // data folder and our options. A failed result is returned (and nothing more happens);
  // otherwise the answer comes through Pump().
  HRESULT Start(wv2::CreateEnvironmentFunction create, bool fixed_runtime,
                const std::wstring& data_folder, std::uint32_t attempt);
  // Handles the answers that have arrived, each on its own: what one of them raises goes to the
  // application's error handler, and the others are handled all the same.
  void Pump() noexcept;
  // Closes the controller and releases every reference; answers of earlier attempts that still
  // arrive are closed and released as they come.
  void Close() noexcept;

  bool Ready() const noexcept { return static_cast<bool>(webview_); }
  // Raise EOleSysError when the web view refuses (or is not there).
  // Loads the page at `address`, whatever its fragment: the runtime would only move within the
  // document it shows to an address with a fragment of that document, and report no load. The
  // address shown is reloaded; another fragment is opened after an empty page.
  void Navigate(const std::wstring& address);
  void Reload();
  // Stops the load under way; the cancelled load's report is not passed on (its caller reports
  // what became of it).
  void Stop() noexcept;
  void SetBounds(const RECT& bounds) noexcept;
  void ParentMoved() noexcept;
  void Focus() noexcept;

  // For tests: objects of ours the runtime may still hold, across all hosts.
  static long LiveHostObjects() noexcept;

 private:
  struct Link;
  class LinkRef;
  class Options;
  struct Answer {
    enum Kind {
      Environment,
      Controller,
      ProcessFailed,
      NavigationStarting,
      NavigationCompleted,
      ContentLoading,
      ScriptAdded,
      MediaMessage
    };
    Answer(Kind k, std::uint32_t a, HRESULT r = S_OK) : kind(k), attempt(a), result(r) {}
    Kind kind;
    std::uint32_t attempt;
    HRESULT result;
    ComPtr<wv2::Environment> environment;
    ComPtr<wv2::Controller> controller;
    wv2::ProcessFailedKind failed = wv2::kBrowserProcessExited;
    LoadOutcome outcome = LoadOutcome::Other;
    std::wstring source;
    std::string text;  // a media message
    std::uint64_t navigation = 0;  // the load's ID, when `identified`
    bool identified = false;
  };
  // The handler the runtime answers one creation step through: it queues the object it is given
  // as an answer of `kind` for `attempt`, or releases it when nobody waits for it any more.
  template <class Interface, class Object>
  ComPtr<Interface> CompletedHandler(const IID& iid, typename Answer::Kind kind,
                                     ComPtr<Object> Answer::*slot);
  friend struct Link;

  void Queue(Answer answer);
  void Fail(HRESULT result);
  static void Discard(Answer& answer) noexcept;
  void EnvironmentAnswered(Answer& answer);
  void ControllerAnswered(Answer& answer);
  void Handle(Answer& answer);
  void ProcessFailed(wv2::ProcessFailedKind kind);
  void NavigationStarting(Answer& answer);
  void NavigationCompleted(Answer& answer);
  // The address the web view shows (its document's; empty when it does not say). After a load that
  // was stopped, or one that still waits for its server, the page before it.
  std::wstring Source() const;
  // Has the runtime open `address` (a load, which reports its start).
  void Open(const std::wstring& address);
  // Whether a load's report is of the load that began last: always, where the runtime tells no
  // IDs; never between our own Navigate or Reload and its start.
  bool Current(const Answer& answer) const noexcept;
  // Follows the page's loads (the web view's navigation-starting, navigation-completed and
  // content-loading events).
  void WatchNavigations(std::uint32_t attempt);
  // Starts the media watch on the new web view; true when its script's readiness is awaited.
  bool WatchMedia(std::uint32_t attempt);
  bool KeyPressed(wv2::AcceleratorKeyArgs* args) noexcept;
  void WatchFocusLeaving();
  void UnwatchFocusLeaving() noexcept;
  void Subclass(bool on) noexcept;
  static LRESULT CALLBACK RootProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

  HWND window_;
  UINT message_;
  std::uint32_t attempt_ = 0;
  Link* link_ = nullptr;  // shared with our handlers; cut at Close
  std::vector<Answer> answers_;
  bool posted_ = false;  // the window was sent the message that fetches the answers
  wv2::EventToken key_token_{}, failed_token_{}, navigation_token_{}, content_token_{},
      starting_token_{};
  bool key_added_ = false, failed_added_ = false, navigation_added_ = false, content_added_ = false,
       starting_added_ = false;
  bool stopped_ = false;  // the load under way was stopped: its report is swallowed
  std::uint64_t current_ = 0;    // the ID of the load that began last
  bool awaiting_start_ = false;  // our Navigate or Reload was called; its load has not begun
  std::wstring then_open_;  // opened when the empty page in between has loaded
  // The new web view waits for the media watch's script before it is reported created: the
  // script runs only in documents created after the runtime took it, the first page among them.
  bool awaiting_script_ = false;
  WebViewMediaWatch media_;
  ComPtr<wv2::Environment> environment_;
  ComPtr<wv2::Controller> controller_;
  ComPtr<wv2::WebView> webview_;
  HWND subclassed_root_ = nullptr;
  MenuKeys menu_keys_;
  wv2::EventToken focus_token_{};
  bool focus_added_ = false;
};

}  // namespace reprisa
