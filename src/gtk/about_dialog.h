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

  GtkWidget* panel = nullptr;
  GtkWidget* logo = nullptr;
  GtkWidget* product_name = nullptr;
  GtkWidget* copyright = nullptr;
  GtkWidget* comments = nullptr;
  GtkWidget* ok_button = nullptr;
  GtkWidget* quality_label = nullptr;
  GtkWidget* slogan_label = nullptr;
  GtkWidget* news_label = nullptr;
  GtkWidget* web_site_button = nullptr;

  void OnWebSiteButtonClick();

 private:
  void BuildPanel(GtkWidget* client);
  void BuildOkButton(GtkWidget* client);

  GtkWidget* dialog_ = nullptr;
  bool shown_before_ = false;
};

}  // namespace reprisa
