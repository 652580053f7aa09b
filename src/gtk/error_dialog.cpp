#include "gtk/error_dialog.h"

#include <exception>
#include <utility>

#include "core/error_handler.h"
#include "core/exceptions.h"
#include "core/texts.h"
#include "core/utf8.h"

namespace reprisa {

void ShowErrorDialog(GtkWindow* parent, const std::string& text) {
  GtkWidget* dialog = gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR,
                                             GTK_BUTTONS_OK, "%s", text.c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), NarrowUtf8(texts::kAppTitle).c_str());
  gtk_window_set_position(GTK_WINDOW(dialog),
                          parent ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);
  gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
}

void InstallErrorDialogHandler(std::function<GtkWindow*()> parent) {
  SetErrorHandler([parent = std::move(parent)](TObject*) {
    const auto text = ReportText(ClassifyException(std::current_exception()));
    if (text) ShowErrorDialog(parent ? parent() : nullptr, NarrowUtf8(*text));
  });
}

}  // namespace reprisa
