#include "gtk/media_watch_gtk.h"

#include <string>
#include <utility>

#include "core/media_script.h"

namespace reprisa {

namespace {
// Longer texts are not the script's: they are dropped before they are copied.
constexpr gsize kLongestMessage = 1024;
}  // namespace

MediaWatchGtk::MediaWatchGtk(WebKitWebView* view, std::function<void(std::string_view)> received)
    : manager_(WEBKIT_USER_CONTENT_MANAGER(
          g_object_ref(webkit_web_view_get_user_content_manager(view)))),
      received_(std::move(received)) {
  // The same script in both worlds, each with its own channel; a message from either is read
  // alike, by the strict reader.
  for (const char* channel : {kMediaChannel, kMediaPageChannel}) {
    const std::string signal = std::string("script-message-received::") + channel;
    g_signal_connect(manager_, signal.c_str(), G_CALLBACK(&MediaWatchGtk::OnMessage), this);
  }
  webkit_user_content_manager_register_script_message_handler_in_world(manager_, kMediaChannel,
                                                                       kWorld);
  webkit_user_content_manager_register_script_message_handler(manager_, kMediaPageChannel);
  // At the document's start, so that it listens before the first media element plays, and in
  // the page's world before the page's own scripts run.
  for (const char* world : {kWorld, static_cast<const char*>(nullptr)}) {
    WebKitUserScript* script =
        world ? webkit_user_script_new_for_world(
                    kMediaWatchScript, WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                    WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, world, nullptr, nullptr)
              : webkit_user_script_new(kMediaWatchScript, WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                                       WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr,
                                       nullptr);
    webkit_user_content_manager_add_script(manager_, script);
    webkit_user_script_unref(script);
  }
}

MediaWatchGtk::~MediaWatchGtk() {
  g_signal_handlers_disconnect_by_data(manager_, this);
  webkit_user_content_manager_unregister_script_message_handler_in_world(manager_,
                                                                         kMediaChannel, kWorld);
  webkit_user_content_manager_unregister_script_message_handler(manager_, kMediaPageChannel);
  webkit_user_content_manager_remove_all_scripts(manager_);
  g_object_unref(manager_);
}

void MediaWatchGtk::OnMessage(WebKitUserContentManager*, WebKitJavascriptResult* result,
                              gpointer self) {
  auto* watch = static_cast<MediaWatchGtk*>(self);
  JSCValue* value = webkit_javascript_result_get_js_value(result);
  if (!watch->received_ || !value || !jsc_value_is_string(value)) return;
  GBytes* bytes = jsc_value_to_string_as_bytes(value);
  if (!bytes) return;
  gsize size = 0;
  const auto* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
  // The bytes are the text's own, without a terminating zero; a zero within makes it not ours.
  if (data && size <= kLongestMessage) {
    try {
      watch->received_(std::string_view(data, size));
    } catch (...) {
      // Nothing may cross the engine's callback; a message is worth nothing to lose.
    }
  }
  g_bytes_unref(bytes);
}

}  // namespace reprisa
