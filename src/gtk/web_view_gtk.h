// The embedded browser: one WebKit web view with its own web context, whose cookies and site
// storage live in a folder of the program's, media allowed to start without a click, and a
// page that comes back after its web process ended or its load failed (the window is told, and
// decides when). Set up for one page reloaded for days: no caches of pages or resources, a web
// process that trims itself early and can be replaced by a fresh one, and no GL in software.
#pragma once

#include <webkit2/webkit2.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/page_recovery.h"
#include "gtk/gtk_ptr.h"
#include "gtk/media_watch_gtk.h"

namespace reprisa {

class WebHost {
 public:
  // data_dir holds cookies and site storage (made when missing); cache_dir the web cache.
  WebHost(const std::string& data_dir, const std::string& cache_dir);
  ~WebHost();
  WebHost(const WebHost&) = delete;
  WebHost& operator=(const WebHost&) = delete;

  // The web view widget (owned by the window it is packed into).
  GtkWidget* Widget() const noexcept { return GTK_WIDGET(view_); }
  WebKitWebView* View() const noexcept { return view_; }

  // Opens the address typed by the user, made absolute by the program's one rule (a path opens
  // the file, a text without a scheme is taken as an http address).
  void Navigate(std::wstring_view address);

  // Reloads the page now shown (also one reached through a link). After the web process ended
  // or a load failed, recovers instead (below), so the window does not stay blank.
  void Refresh();

  // Brings the page back after its web process ended or its load failed: loads the address that
  // failed, or else the one last shown (the view itself may show none after its process ended).
  void Recover();
  // Replaces the web process by a fresh one and loads the page now shown in it. Cookies and site
  // storage stay: they live in the network process and the data folder.
  void Recycle();

  // How long a page may take to start arriving before its load counts as failed.
  static constexpr guint kLoadTimeoutMs = PageRecovery::kNoAnswerMs;
  void SetLoadTimeout(guint ms) noexcept { load_timeout_ms_ = ms; }

  // How long the web process may stay unresponsive (the engine notices after a few seconds of
  // no answer) before it is ended and counted as lost: a web process can hang for good, e.g. in
  // its media pipeline's teardown at a reload.
  static constexpr guint kHangMs = 5000;

  // What the page's engine reports, told to the window. Called from GLib callbacks: each must
  // not throw.
  struct Events {
    std::function<void()> engine_lost;     // the web process ended (not by Recycle)
    std::function<void()> load_failed;     // the page itself could not be loaded
    std::function<void()> load_succeeded;  // the page loaded
    // What the page's media elements do, as the program's script in the page reports it.
    std::function<void(std::string_view)> media_message;
  };
  Events events;

  // Whether the web process ended since the page was last (re)loaded.
  bool WebProcessEnded() const noexcept { return ended_; }
  // The address of the page last committed, "" before any.
  const std::string& LastUri() const noexcept { return last_uri_; }

 private:
  // Loads the address again in a fresh state (no process ended, no error page awaited).
  void LoadAgain(const std::string& address);
  static void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self);
  static void OnTerminated(WebKitWebView* view, WebKitWebProcessTerminationReason reason,
                           gpointer self);
  static gboolean OnLoadFailed(WebKitWebView* view, WebKitLoadEvent event, gchar* uri,
                               GError* error, gpointer self);
  static void Tell(const std::function<void()>& event) noexcept;
  static gboolean OnLoadTimeout(gpointer self);
  static void OnResponsive(GObject* view, GParamSpec* property, gpointer self);
  static gboolean OnHung(gpointer self);
  void StopLoadTimer() noexcept;

  GRef<WebKitWebContext> context_;
  WebKitWebView* view_ = nullptr;  // floating until packed; we hold a reference of our own
  std::optional<MediaWatchGtk> media_;
  std::string last_uri_;
  std::string failed_uri_;     // the address whose load failed, until a load succeeds
  bool ended_ = false;
  bool opening_ = false;          // the address opened last has not arrived yet
  bool error_page_next_ = false;  // the engine's error page for a failed load comes next
  bool error_page_ = false;       // the load under way is that error page
  bool load_failed_ = false;      // the load under way failed or was cut short
  guint load_timeout_ms_ = kLoadTimeoutMs;
  guint load_timer_ = 0;  // runs from a load's start until the page starts arriving
  guint hang_timer_ = 0;  // runs while the web process does not answer
  bool ending_hung_ = false;  // the web process is being ended because it hung
};

// Whether dri_folder (the system's is /dev/dri) holds a DRM render node ("renderD<n>"): without
// one there is no GPU to render with, and GL would run in software.
bool HasRenderNode(const std::string& dri_folder);

// Whether a failed load is a failure of the page (no connection, no such host, a time-out, a
// TLS or protocol error, a missing file ...), rather than a load that was cancelled or replaced,
// or that became a download.
bool IsLoadFailure(const GError* error);
// Whether an answer of this HTTP status is the server's failure, which may well pass (500-599).
inline bool IsServerFailure(guint status) { return status >= 500 && status <= 599; }

}  // namespace reprisa
