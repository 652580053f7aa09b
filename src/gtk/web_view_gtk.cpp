#include "gtk/web_view_gtk.h"

#include <glib/gstdio.h>

#include <utility>

#include "core/event_log.h"
#include "core/exceptions.h"
#include "core/utf8.h"
#include "core/web_runtime.h"

namespace reprisa {

namespace {
constexpr guint kWebProcessMemoryLimitMiB = 1024;
}  // namespace

bool IsLoadFailure(const GError* error) {
  if (!error) return true;
  if (error->domain == WEBKIT_NETWORK_ERROR) return error->code != WEBKIT_NETWORK_ERROR_CANCELLED;
  if (error->domain == WEBKIT_POLICY_ERROR) {
    return error->code != WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE;
  }
  return !g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
}

bool HasRenderNode(const std::string& dri_folder) {
  GDir* dir = g_dir_open(dri_folder.c_str(), 0, nullptr);
  if (!dir) return false;
  bool found = false;
  while (const gchar* name = g_dir_read_name(dir)) {
    if (g_str_has_prefix(name, "renderD")) {
      found = true;
      break;
    }
  }
  g_dir_close(dir);
  return found;
}

WebHost::WebHost(const std::string& data_dir, const std::string& cache_dir) {
  g_mkdir_with_parents(data_dir.c_str(), 0700);
  GRef<WebKitWebsiteDataManager> data(webkit_website_data_manager_new(
      "base-data-directory", data_dir.c_str(), "base-cache-directory", cache_dir.c_str(),
      nullptr));
  // Cookies are kept only in memory unless given a file: a signed-in site stays signed in.
  GString0 cookies(g_build_filename(data_dir.c_str(), "cookies.sqlite", nullptr));
  webkit_cookie_manager_set_persistent_storage(
      webkit_website_data_manager_get_cookie_manager(data.get()), cookies.get(),
      WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
  // One page for hours in a web process that runs all day: the engine's own limit is a share of
  // the machine's memory (up to 3 GiB), so a page whose scripts keep growing would be trimmed only
  // past 1 GiB. With this limit the web process drops its caches and collects garbage past a
  // third of it and releases what it can past half of it; it is never ended for its size (a page
  // that needs more keeps playing). A page with video and audio stays far below (65 MiB).
  WebKitMemoryPressureSettings* pressure = webkit_memory_pressure_settings_new();
  webkit_memory_pressure_settings_set_memory_limit(pressure, kWebProcessMemoryLimitMiB);
  context_.Reset(WEBKIT_WEB_CONTEXT(g_object_new(WEBKIT_TYPE_WEB_CONTEXT,
                                                 "website-data-manager", data.get(),
                                                 "memory-pressure-settings", pressure, nullptr)));
  webkit_memory_pressure_settings_free(pressure);
  // No memory cache of earlier pages' resources, no disk cache: each reload fetches the page
  // anew, as a restart should.
  webkit_web_context_set_cache_model(context_.get(), WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);

  // The restarted video must not wait for a click.
  GRef<WebKitWebsitePolicies> policies(
      webkit_website_policies_new_with_policies("autoplay", WEBKIT_AUTOPLAY_ALLOW, nullptr));
  view_ = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context_.get(),
                                       "website-policies", policies.get(), nullptr));
  g_object_ref_sink(view_);
  WebKitSettings* settings = webkit_web_view_get_settings(view_);
  webkit_settings_set_media_playback_requires_user_gesture(settings, FALSE);
  webkit_settings_set_enable_media(settings, TRUE);
  // Nothing ever goes back to the page before a reload: it is not kept for a return.
  webkit_settings_set_enable_page_cache(settings, FALSE);
  // Without a GPU the engine's GL compositing runs in software: about 50 MiB more in the web
  // process and a second more to the first paint than painting without it, for nothing.
  if (!HasRenderNode("/dev/dri")) {
    webkit_settings_set_hardware_acceleration_policy(settings,
                                                     WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
  }

  media_.emplace(view_, [this](std::string_view message) {
    if (events.media_message) events.media_message(message);
  });
  g_signal_connect(view_, "load-changed", G_CALLBACK(&WebHost::OnLoadChanged), this);
  g_signal_connect(view_, "web-process-terminated", G_CALLBACK(&WebHost::OnTerminated), this);
  g_signal_connect(view_, "load-failed", G_CALLBACK(&WebHost::OnLoadFailed), this);
  g_signal_connect(view_, "notify::is-web-process-responsive",
                   G_CALLBACK(&WebHost::OnResponsive), this);
}

WebHost::~WebHost() {
  StopLoadTimer();
  if (hang_timer_ != 0) g_source_remove(hang_timer_);
  g_signal_handlers_disconnect_by_data(view_, this);
  media_.reset();
  g_object_unref(view_);
}

void WebHost::Navigate(std::wstring_view text) {
  const std::wstring home = WidenUtf8(g_get_home_dir());
  const std::string address = NarrowUtf8(AddressWithScheme(text, {true, home}));
  // A new page: a failure of the one before is no longer the page to bring back.
  ended_ = false;
  failed_uri_.clear();
  error_page_next_ = false;
  opening_ = true;
  last_uri_ = address;
  webkit_web_view_load_uri(view_, address.c_str());
}

void WebHost::Refresh() {
  // After the web process ended, or a load failed (the view may show another page then), or
  // while the address opened last has not arrived yet (the view would reload the page before
  // it), the page to show is loaded again.
  if (ended_ || !failed_uri_.empty() || opening_) return Recover();
  error_page_next_ = false;
  webkit_web_view_reload(view_);
}

void WebHost::Recover() { LoadAgain(!failed_uri_.empty() ? failed_uri_ : last_uri_); }

void WebHost::Recycle() {
  const gchar* shown = webkit_web_view_get_uri(view_);
  const std::string address = shown && *shown ? shown : last_uri_;
  // Reported as ended by the API: not a loss.
  webkit_web_view_terminate_web_process(view_);
  LoadAgain(address);
}

void WebHost::LoadAgain(const std::string& address) {
  ended_ = false;
  error_page_next_ = false;
  if (!address.empty()) webkit_web_view_load_uri(view_, address.c_str());
}

void WebHost::Tell(const std::function<void()>& event) noexcept {
  if (!event) return;
  try {
    event();
  } catch (...) {
    // The window's answers raise nothing; nothing may cross the engine's callback either way.
  }
}

void WebHost::OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self) {
  auto* host = static_cast<WebHost*>(self);
  if (event == WEBKIT_LOAD_STARTED) {
    // The engine shows its error page for a failed load as a load of its own, at once, at the
    // address that failed.
    const gchar* uri = webkit_web_view_get_uri(view);
    host->error_page_ = std::exchange(host->error_page_next_, false) && uri &&
                        host->failed_uri_ == uri;
    host->load_failed_ = false;
    host->StopLoadTimer();
    if (!host->error_page_) {
      host->load_timer_ = g_timeout_add(host->load_timeout_ms_, &WebHost::OnLoadTimeout, host);
    }
    return;
  }
  if (event == WEBKIT_LOAD_FINISHED) {
    // A load that failed (or was cut short) finishes too, and so does the error page after it:
    // neither is a success.
    if (host->load_failed_ || host->error_page_) return;
    WebKitWebResource* page = webkit_web_view_get_main_resource(view);
    WebKitURIResponse* response = page ? webkit_web_resource_get_response(page) : nullptr;
    if (response && IsServerFailure(webkit_uri_response_get_status_code(response))) {
      const gchar* uri = webkit_web_view_get_uri(view);
      host->failed_uri_ = uri ? uri : "";
      Tell(host->events.load_failed);
    } else {
      host->failed_uri_.clear();
      Tell(host->events.load_succeeded);
    }
    return;
  }
  if (event != WEBKIT_LOAD_COMMITTED) return;
  host->StopLoadTimer();
  if (host->error_page_) return;
  // After the web process ended the view may report no address: keep the last real one.
  const gchar* uri = webkit_web_view_get_uri(view);
  if (uri && *uri) host->last_uri_ = uri;
  host->ended_ = false;
  host->opening_ = false;
}

gboolean WebHost::OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error,
                               gpointer self) {
  auto* host = static_cast<WebHost*>(self);
  host->StopLoadTimer();
  host->load_failed_ = true;
  if (IsLoadFailure(error)) {
    host->failed_uri_ = uri ? uri : "";
    host->error_page_next_ = true;
    Tell(host->events.load_failed);
  }
  return FALSE;  // the engine shows its error page
}

void WebHost::OnTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason,
                           gpointer self) {
  auto* host = static_cast<WebHost*>(self);
  host->StopLoadTimer();
  host->ended_ = true;
  // Ended by us: lost when it hung, not when replaced by Recycle.
  const bool lost = reason != WEBKIT_WEB_PROCESS_TERMINATED_BY_API || host->ending_hung_;
  host->ending_hung_ = false;
  if (lost) Tell(host->events.engine_lost);
}

void WebHost::OnResponsive(GObject*, GParamSpec*, gpointer self) {
  auto* host = static_cast<WebHost*>(self);
  const bool responsive = webkit_web_view_get_is_web_process_responsive(host->view_);
  if (responsive && host->hang_timer_ != 0) {
    g_source_remove(host->hang_timer_);
    host->hang_timer_ = 0;
  } else if (!responsive && host->hang_timer_ == 0) {
    host->hang_timer_ = g_timeout_add(kHangMs, &WebHost::OnHung, host);
  }
}

gboolean WebHost::OnHung(gpointer self) {
  auto* host = static_cast<WebHost*>(self);
  host->hang_timer_ = 0;
  if (!webkit_web_view_get_is_web_process_responsive(host->view_)) {
    LogEvent("Web-Prozess antwortet seit 5 s nicht: beendet");
    host->ending_hung_ = true;
    webkit_web_view_terminate_web_process(host->view_);
    host->ending_hung_ = false;
  }
  return G_SOURCE_REMOVE;
}

void WebHost::StopLoadTimer() noexcept {
  if (load_timer_ != 0) g_source_remove(load_timer_);
  load_timer_ = 0;
}

gboolean WebHost::OnLoadTimeout(gpointer self) {
  auto* host = static_cast<WebHost*>(self);
  host->load_timer_ = 0;
  const gchar* uri = webkit_web_view_get_uri(host->view_);
  host->failed_uri_ = uri ? uri : "";
  // The load ends as cancelled, which is not told; its failure is.
  webkit_web_view_stop_loading(host->view_);
  Tell(host->events.load_failed);
  return G_SOURCE_REMOVE;
}

}  // namespace reprisa
