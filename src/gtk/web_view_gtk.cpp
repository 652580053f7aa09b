#include "gtk/web_view_gtk.h"

#include <glib/gstdio.h>

#include "core/exceptions.h"
#include "core/web_runtime.h"

namespace reprisa {

namespace {
constexpr guint kWebProcessMemoryLimitMiB = 1024;
}  // namespace

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

  g_signal_connect(view_, "load-changed", G_CALLBACK(&WebHost::OnLoadChanged), this);
  g_signal_connect(view_, "web-process-terminated", G_CALLBACK(&WebHost::OnTerminated), this);
}

WebHost::~WebHost() {
  g_signal_handlers_disconnect_by_data(view_, this);
  g_object_unref(view_);
}

void WebHost::Navigate(const std::string& text) {
  const std::wstring home = WidenUtf8(g_get_home_dir());
  const std::string address = NarrowUtf8(AddressWithScheme(WidenUtf8(text), {true, home}));
  ended_ = false;
  last_uri_ = address;
  webkit_web_view_load_uri(view_, address.c_str());
}

void WebHost::Refresh() {
  if (ended_) {
    ended_ = false;
    if (!last_uri_.empty()) webkit_web_view_load_uri(view_, last_uri_.c_str());
    return;
  }
  webkit_web_view_reload(view_);
}

void WebHost::OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self) {
  if (event != WEBKIT_LOAD_COMMITTED) return;
  auto* host = static_cast<WebHost*>(self);
  // After the web process ended the view may report no address: keep the last real one.
  const gchar* uri = webkit_web_view_get_uri(view);
  if (uri && *uri) host->last_uri_ = uri;
  host->ended_ = false;
}

void WebHost::OnTerminated(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer self) {
  static_cast<WebHost*>(self)->ended_ = true;
}

}  // namespace reprisa
