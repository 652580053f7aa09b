// Program entry: no arguments and no environment variables are read by the program itself
// (GLib finds the user's folders, the C library the user's locale).
#include <glib-unix.h>
#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <clocale>
#include <csignal>
#include <string_view>

#include "core/error_handler.h"
#include "core/event_log.h"
#include "core/exceptions.h"
#include "core/locale_settings.h"
#include "core/texts.h"
#include "core/utf8.h"
#include "gtk/about_dialog.h"
#include "gtk/error_dialog.h"
#include "gtk/locale_gtk.h"
#include "gtk/main_window.h"
#include "gtk/resources_gtk.h"

namespace {

// What the program did by itself: one line in the journal when started from the desktop, on
// standard error otherwise (GLib's default writer decides).
void WriteToGLibLog(std::string_view line) {
  g_log_structured("reprisa", G_LOG_LEVEL_MESSAGE, "SYSLOG_IDENTIFIER", "reprisa", "MESSAGE",
                   "%.*s", static_cast<int>(line.size()), line.data());
}

gboolean OnTerminate(gpointer main_window) {
  // SIGTERM: end cleanly, saving nothing.
  if (auto* window = *static_cast<reprisa::MainWindow**>(main_window)) window->DiscardPlacement();
  // A modal dialog runs a loop of its own, which would keep the program waiting for the user.
  GList* toplevels = gtk_window_list_toplevels();
  for (GList* w = toplevels; w; w = w->next) {
    if (GTK_IS_DIALOG(w->data) && gtk_widget_get_visible(GTK_WIDGET(w->data))) {
      gtk_dialog_response(GTK_DIALOG(w->data), GTK_RESPONSE_DELETE_EVENT);
    }
  }
  g_list_free(toplevels);
  gtk_main_quit();
  return G_SOURCE_REMOVE;
}

#ifdef GDK_WINDOWING_X11
XErrorHandler gdk_error_handler = nullptr;

// A window destroyed by another client (a window manager's "destroy", xdotool windowclose) makes
// every later request for it fail with BadWindow or BadDrawable, and GDK ends the process on any
// error it did not expect. Those two are expected here: the window is gone, its object closes.
int OnXError(Display* display, XErrorEvent* error) {
  if (error->error_code == BadWindow || error->error_code == BadDrawable) return 0;
  return gdk_error_handler ? gdk_error_handler(display, error) : 0;
}
#endif

void SetWindowIcons() {
  GList* icons = nullptr;
  for (int i = 0; i < reprisa::kIconCount; ++i) {
    if (auto pixbuf = reprisa::PixbufFromFile(reprisa::IconPng(i))) {
      icons = g_list_append(icons, g_object_ref(pixbuf.get()));
    }
  }
  gtk_window_set_default_icon_list(icons);
  g_list_free_full(icons, g_object_unref);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace reprisa;
  std::setlocale(LC_ALL, "");
  g_set_prgname("reprisa");  // the window class the desktop file names
  const char* exe = argc > 0 ? argv[0] : "reprisa";
  // Arguments are not the program's: GTK's own options are not offered either.
  int no_argc = 0;
  char** no_argv = nullptr;
  if (!gtk_init_check(&no_argc, &no_argv)) return 1;
  SetCurrentLocaleSettings(ReadCLocaleSettings());
#ifdef GDK_WINDOWING_X11
  if (GDK_IS_X11_DISPLAY(gdk_display_get_default())) gdk_error_handler = XSetErrorHandler(OnXError);
#endif
  g_set_application_name(NarrowUtf8(texts::kAppTitle).c_str());
  SetEventSink(&WriteToGLibLog);
  SetWindowIcons();

  MainWindow* main_window = nullptr;
  InstallErrorDialogHandler(
      [&main_window]() -> GtkWindow* { return main_window ? main_window->Window() : nullptr; });
  g_unix_signal_add(SIGTERM, OnTerminate, &main_window);
  g_unix_signal_add(SIGINT, OnTerminate, &main_window);

  try {
    MainWindow window(UserAppFolders(exe));
    main_window = &window;
    AboutDialog about;
    window.about = &about;
    window.on_closed = [] { gtk_main_quit(); };
    window.Show();
    gtk_main();
    main_window = nullptr;
  } catch (...) {
    main_window = nullptr;
    HandleException(nullptr);
    return 1;
  }
  return 0;
}
