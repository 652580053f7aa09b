// Errors reach the user in a German message dialog titled "Reprisa", and the program goes on.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <string>

namespace reprisa {

// Shows the text in a modal error dialog titled with the application's title, over `parent`
// (may be null), and returns when the user closed it. Timers keep ticking meanwhile.
void ShowErrorDialog(GtkWindow* parent, const std::string& text);

// Installs the application's error handler: the exception in flight is classified by the core's
// rule and shown with ShowErrorDialog over the window `parent()` returns (null: none); an abort
// shows nothing.
void InstallErrorDialogHandler(std::function<GtkWindow*()> parent);

}  // namespace reprisa
