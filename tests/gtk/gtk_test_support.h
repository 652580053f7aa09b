// Helpers of the in-process GTK tests: a scratch folder, a file's contents, running the main loop
// until something holds, and key presses delivered as GTK delivers the keyboard's.
#pragma once

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace reprisa::testing_gtk {

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchDir {
 public:
  ScratchDir() {
    char pattern[] = "/tmp/reprisa-gtk-test-XXXXXX";
    path_ = g_mkdtemp(pattern) ? pattern : "";
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The scratch folder under which main() sets the tests' XDG folders: config/, data/, cache/.
inline std::string& UserFolders() {
  static std::string path;
  return path;
}

// A file's whole contents; empty when it cannot be read.
inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs the main loop until `done` holds or `timeout_ms` passed; returns whether it held.
inline bool PumpUntil(const std::function<bool()>& done, int timeout_ms = 5000) {
  const gint64 end = g_get_monotonic_time() + gint64{timeout_ms} * 1000;
  while (!done()) {
    if (g_get_monotonic_time() >= end) return false;
    if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(2000);
  }
  return true;
}

// Presses and releases a key in the window, as if typed on the keyboard: the window's own key
// handling (bindings, default button, our handlers) sees it first and passes it to the focus.
inline void PressKey(GtkWidget* window, guint keyval, GdkModifierType state = GdkModifierType(0)) {
  GdkWindow* gdk_window = gtk_widget_get_window(window);
  ASSERT_NE(gdk_window, nullptr) << "the window must be shown";
  GdkDisplay* display = gtk_widget_get_display(window);
  GdkDevice* keyboard = gdk_seat_get_keyboard(gdk_display_get_default_seat(display));
  GdkKeymapKey* keys = nullptr;
  gint n_keys = 0;  // stays 0 when the keymap has no key for it
  gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), keyval, &keys, &n_keys);
  const guint16 code = n_keys > 0 ? static_cast<guint16>(keys[0].keycode) : 0;
  g_free(keys);
  for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
    GdkEvent* event = gdk_event_new(type);
    event->key.window = GDK_WINDOW(g_object_ref(gdk_window));
    event->key.send_event = TRUE;
    event->key.time = GDK_CURRENT_TIME;
    event->key.state = state;
    event->key.keyval = keyval;
    event->key.hardware_keycode = code;
    gdk_event_set_device(event, keyboard);
    gtk_main_do_event(event);
    gdk_event_free(event);
  }
}

// The first toplevel window (other than `except`) that is visible and whose title is `title`.
inline GtkWindow* FindToplevel(const std::string& title, GtkWindow* except = nullptr) {
  GList* all = gtk_window_list_toplevels();
  GtkWindow* found = nullptr;
  for (GList* w = all; w && !found; w = w->next) {
    auto* window = GTK_WINDOW(w->data);
    const char* t = gtk_window_get_title(window);
    if (window != except && t && title == t && gtk_widget_get_visible(GTK_WIDGET(window)))
      found = window;
  }
  g_list_free(all);
  return found;
}

}  // namespace reprisa::testing_gtk
