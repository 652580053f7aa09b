#include "gtk/about_dialog.h"

#include "core/design_layout.h"
#include "core/exceptions.h"
#include "core/texts.h"
#include "core/utf8.h"
#include "gtk/gtk_ptr.h"
#include "gtk/resources_gtk.h"

namespace reprisa {

namespace {

const design::AboutDialog& kDesign = design::kAboutDialog;

// GTK breaks lines at '\n'; the shared texts use Windows line ends.
std::string WithoutCr(std::wstring_view text) {
  std::string s = NarrowUtf8(text);
  std::erase(s, '\r');
  return s;
}

// A label at its design place; one with a design size wraps at its width.
GtkWidget* PlaceLabel(GtkWidget* fixed, const design::Control& d) {
  GtkWidget* l = gtk_label_new(WithoutCr(d.text).c_str());
  gtk_widget_set_name(l, NarrowUtf8(d.name).c_str());
  gtk_label_set_xalign(GTK_LABEL(l), 0.0f);
  gtk_label_set_yalign(GTK_LABEL(l), 0.0f);
  if (d.width > 0) {
    gtk_label_set_line_wrap(GTK_LABEL(l), TRUE);
    gtk_label_set_max_width_chars(GTK_LABEL(l), 1);  // wrap at the given width
    gtk_widget_set_size_request(l, d.width, d.height);
  }
  gtk_fixed_put(GTK_FIXED(fixed), l, d.left, d.top);
  return l;
}

GtkWidget* PlaceButton(GtkWidget* fixed, const design::Control& d) {
  GtkWidget* b =
      GlyphButton(NarrowUtf8(d.name).c_str(), d.width, d.height, d.text, StockGlyph(d.kind));
  gtk_fixed_put(GTK_FIXED(fixed), b, d.left, d.top);
  return b;
}

int CurrentYear() {
  GDateTime* now = g_date_time_new_now_local();
  const int year = g_date_time_get_year(now);
  g_date_time_unref(now);
  return year;
}

void OnWebsiteClicked(GtkButton*, gpointer self) {
  auto* about = static_cast<AboutDialog*>(self);
  Guarded(about, [&] { about->OnWebSiteButtonClick(); });
}

}  // namespace

AboutDialog::AboutDialog() {
  InstallProgramStyle();
  dialog_ = gtk_dialog_new();
  g_object_ref_sink(dialog_);
  gtk_widget_set_name(dialog_, NarrowUtf8(kDesign.name).c_str());
  gtk_window_set_title(GTK_WINDOW(dialog_), NarrowUtf8(texts::kAboutCaption).c_str());
  gtk_window_set_resizable(GTK_WINDOW(dialog_), FALSE);
  gtk_window_set_type_hint(GTK_WINDOW(dialog_), GDK_WINDOW_TYPE_HINT_DIALOG);
  gtk_window_set_modal(GTK_WINDOW(dialog_), TRUE);
  gtk_window_set_position(GTK_WINDOW(dialog_), GTK_WIN_POS_CENTER);
  // Closing hides the dialog for the next showing.
  g_signal_connect(dialog_, "delete-event", G_CALLBACK(gtk_widget_hide_on_delete), nullptr);

  GtkWidget* area = gtk_dialog_get_content_area(GTK_DIALOG(dialog_));
  gtk_container_set_border_width(GTK_CONTAINER(dialog_), 0);
  gtk_box_set_spacing(GTK_BOX(area), 0);
  GtkWidget* client = gtk_fixed_new();
  gtk_widget_set_size_request(client, kDesign.client_width, kDesign.client_height);
  gtk_box_pack_start(GTK_BOX(area), client, TRUE, TRUE, 0);
  BuildPanel(client);
  BuildOkButton(client);
  gtk_widget_show_all(area);
}

void AboutDialog::BuildPanel(GtkWidget* client) {
  // The panel draws its own background (a bare GtkFixed has none), and holds the texts.
  GtkWidget* panel_frame = gtk_event_box_new();
  gtk_widget_set_name(panel_frame, kAboutPanelName);
  gtk_widget_set_size_request(panel_frame, kDesign.panel.width, kDesign.panel.height);
  gtk_fixed_put(GTK_FIXED(client), panel_frame, kDesign.panel.left, kDesign.panel.top);
  panel = gtk_fixed_new();
  gtk_container_add(GTK_CONTAINER(panel_frame), panel);

  const design::Control& place = kDesign.logo;
  logo = gtk_image_new();
  gtk_widget_set_name(logo, NarrowUtf8(place.name).c_str());
  if (auto picture = LogoPixbuf()) {
    // Stretched to the control's size.
    GRef<GdkPixbuf> sized(
        gdk_pixbuf_scale_simple(picture.get(), place.width, place.height, GDK_INTERP_BILINEAR));
    gtk_image_set_from_pixbuf(GTK_IMAGE(logo), sized.get());
  }
  gtk_widget_set_size_request(logo, place.width, place.height);
  gtk_fixed_put(GTK_FIXED(panel), logo, place.left, place.top);

  product_name = PlaceLabel(panel, kDesign.product_name);
  copyright = PlaceLabel(panel, kDesign.copyright);
  gtk_label_set_text(
      GTK_LABEL(copyright),
      NarrowUtf8(texts::InsertYear(std::wstring(kDesign.copyright.text), CurrentYear())).c_str());
  comments = PlaceLabel(panel, kDesign.comments);
  quality_label = PlaceLabel(panel, kDesign.quality);
  GString0 bold(g_markup_printf_escaped("<b>%s</b>", NarrowUtf8(kDesign.quality.text).c_str()));
  gtk_label_set_markup(GTK_LABEL(quality_label), bold.get());
  slogan_label = PlaceLabel(panel, kDesign.slogan);
  news_label = PlaceLabel(panel, kDesign.news);

  web_site_button = PlaceButton(panel, kDesign.web_site_button);
  g_signal_connect(web_site_button, "clicked", G_CALLBACK(OnWebsiteClicked), this);
}

// OK closes the dialog with the result OK, and is its default button.
void AboutDialog::BuildOkButton(GtkWidget* client) {
  ok_button = PlaceButton(client, kDesign.ok_button);
  gtk_widget_set_can_default(ok_button, TRUE);
  g_signal_connect_swapped(ok_button, "clicked", G_CALLBACK(+[](gpointer dialog) {
                             gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
                           }),
                           dialog_);
  gtk_window_set_default(GTK_WINDOW(dialog_), ok_button);
}

AboutDialog::~AboutDialog() {
  gtk_widget_destroy(dialog_);
  g_object_unref(dialog_);
}

void AboutDialog::ShowModal(GtkWindow* parent) {
  gtk_window_set_transient_for(GTK_WINDOW(dialog_), parent);
  if (shown_before_) gtk_window_set_position(GTK_WINDOW(dialog_), GTK_WIN_POS_NONE);
  shown_before_ = true;
  gtk_widget_grab_focus(ok_button);
  gtk_dialog_run(GTK_DIALOG(dialog_));
  gtk_widget_hide(dialog_);
}

void AboutDialog::OnWebSiteButtonClick() {
  const std::string uri = NarrowUtf8(texts::kMakerWebSite);
  if (open_uri) {
    open_uri(GTK_WINDOW(dialog_), uri);
    return;
  }
  // What the desktop does with the address is its business; the dialog stays open either way.
  GErrorBox error;
  gtk_show_uri_on_window(GTK_WINDOW(dialog_), uri.c_str(), GDK_CURRENT_TIME, error.out());
}

}  // namespace reprisa
