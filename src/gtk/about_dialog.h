// The About dialog "Info": the maker's logo, headline, rights line with the current year, texts,
// and a button that opens the maker's web site with the desktop's default handler. Made once,
// hidden, and shown modally from the main window's "Hilfe" menu.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <string>

#include "core/error_handler.h"

namespace reprisa {

class AboutDialog : public TObject {
 public:
  // Builds the dialog hidden; the rights line takes the year of today's local date.
  AboutDialog();
  ~AboutDialog() override;
  AboutDialog(const AboutDialog&) = delete;
  AboutDialog& operator=(const AboutDialog&) = delete;

  // Shows the dialog modally over `parent` and returns when it was closed ("OK", Enter, Escape
  // or the close button). It is hidden, not destroyed, and comes back where it was.
  void ShowModal(GtkWindow* parent);

  // Opens the maker's web site; by default with gtk_show_uri_on_window. Tests put their own.
  std::function<void(GtkWindow* owner, const std::string& uri)> open_uri;

  GtkWindow* Window() const noexcept { return GTK_WINDOW(dialog_); }

  GtkWidget* Panel1 = nullptr;
  GtkWidget* ProgramIcon = nullptr;
  GtkWidget* ProductName = nullptr;
  GtkWidget* Copyright = nullptr;
  GtkWidget* Comments = nullptr;
  GtkWidget* BitBtn1 = nullptr;
  GtkWidget* Label1 = nullptr;
  GtkWidget* Label2 = nullptr;
  GtkWidget* Label3 = nullptr;
  GtkWidget* BitBtnXP1 = nullptr;

  void BitBtnXP1Click();

 private:
  GtkWidget* dialog_ = nullptr;
  bool shown_before_ = false;
};

// The rights line: the first "XXXX" of the text replaced by the year.
std::wstring InsertYear(std::wstring text, int year);

}  // namespace reprisa
