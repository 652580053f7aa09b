#include "gtk/about_dialog.h"

#include "core/exceptions.h"
#include "core/texts.h"
#include "gtk/gtk_ptr.h"
#include "gtk/resources_gtk.h"

namespace reprisa {

namespace {

std::string U8(std::wstring_view text) { return NarrowUtf8(text); }

// GTK breaks lines at '\n'; the shared texts use Windows line ends.
std::string WithoutCr(std::wstring_view text) {
  std::string s = U8(text);
  std::erase(s, '\r');
  return s;
}

GtkWidget* PlaceLabel(GtkWidget* fixed, const char* name, int x, int y, const std::string& text,
                      int width = -1, int height = -1) {
  GtkWidget* l = gtk_label_new(text.c_str());
  gtk_widget_set_name(l, name);
  gtk_label_set_xalign(GTK_LABEL(l), 0.0f);
  gtk_label_set_yalign(GTK_LABEL(l), 0.0f);
  if (width > 0) {
    gtk_label_set_line_wrap(GTK_LABEL(l), TRUE);
    gtk_label_set_max_width_chars(GTK_LABEL(l), 1);  // wrap at the given width
    gtk_widget_set_size_request(l, width, height);
  }
  gtk_fixed_put(GTK_FIXED(fixed), l, x, y);
  return l;
}

void OnWebsiteClicked(GtkButton*, gpointer self) {
  auto* about = static_cast<AboutDialog*>(self);
  Guarded(about, [&] { about->BitBtnXP1Click(); });
}

}  // namespace

std::wstring InsertYear(std::wstring text, int year) {
  std::size_t at = text.find(texts::kYearPlaceholder);
  if (at != std::wstring::npos) {
    text.replace(at, texts::kYearPlaceholder.size(), std::to_wstring(year));
  }
  return text;
}

AboutDialog::AboutDialog() {
  InstallProgramStyle();
  dialog_ = gtk_dialog_new();
  g_object_ref_sink(dialog_);
  gtk_widget_set_name(dialog_, "AboutBox");
  gtk_window_set_title(GTK_WINDOW(dialog_), U8(texts::kAboutCaption).c_str());
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
  gtk_widget_set_size_request(client, 664, 453);
  gtk_box_pack_start(GTK_BOX(area), client, TRUE, TRUE, 0);

  // The panel draws its own background (a bare GtkFixed has none), and holds the texts.
  GtkWidget* panel_frame = gtk_event_box_new();
  gtk_widget_set_name(panel_frame, "AboutPanel");
  gtk_widget_set_size_request(panel_frame, 649, 385);
  gtk_fixed_put(GTK_FIXED(client), panel_frame, 8, 8);
  Panel1 = gtk_fixed_new();
  gtk_container_add(GTK_CONTAINER(panel_frame), Panel1);

  ProgramIcon = gtk_image_new();
  gtk_widget_set_name(ProgramIcon, "ProgramIcon");
  if (auto logo = LogoPixbuf()) {
    // Stretched to the control's 306 x 322 (the picture's own size).
    GRef<GdkPixbuf> sized(gdk_pixbuf_scale_simple(logo.get(), 306, 322, GDK_INTERP_BILINEAR));
    gtk_image_set_from_pixbuf(GTK_IMAGE(ProgramIcon), sized.get());
  }
  gtk_widget_set_size_request(ProgramIcon, 306, 322);
  gtk_fixed_put(GTK_FIXED(Panel1), ProgramIcon, 16, 40);

  ProductName = PlaceLabel(Panel1, "ProductName", 8, 8, U8(texts::kProductName));
  GDateTime* now = g_date_time_new_now_local();
  const int year = g_date_time_get_year(now);
  g_date_time_unref(now);
  Copyright = PlaceLabel(Panel1, "Copyright", 336, 40,
                         U8(InsertYear(std::wstring(texts::kCopyright), year)));
  Comments = PlaceLabel(Panel1, "Comments", 336, 56, U8(texts::kComments), 257, 33);
  Label1 = PlaceLabel(Panel1, "Label1", 336, 96, "");
  GString0 bold(g_markup_printf_escaped("<b>%s</b>", U8(texts::kQuality).c_str()));
  gtk_label_set_markup(GTK_LABEL(Label1), bold.get());
  Label2 = PlaceLabel(Panel1, "Label2", 336, 112, U8(texts::kSlogan));
  Label3 = PlaceLabel(Panel1, "Label3", 336, 131, WithoutCr(texts::kNews), 238, 121);

  BitBtnXP1 = GlyphButton("BitBtnXP1", 169, 25, texts::kMakerWebSiteCaption, Glyph::Globe);
  gtk_fixed_put(GTK_FIXED(Panel1), BitBtnXP1, 336, 240);
  g_signal_connect(BitBtnXP1, "clicked", G_CALLBACK(OnWebsiteClicked), this);

  BitBtn1 = GlyphButton("BitBtn1", 181, 37, L"OK", Glyph::Ok);
  gtk_fixed_put(GTK_FIXED(client), BitBtn1, 241, 404);
  // OK closes the dialog with the result OK, and is its default button.
  gtk_widget_set_can_default(BitBtn1, TRUE);
  g_signal_connect_swapped(BitBtn1, "clicked", G_CALLBACK(+[](gpointer dialog) {
                             gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
                           }),
                           dialog_);
  gtk_window_set_default(GTK_WINDOW(dialog_), BitBtn1);

  gtk_widget_show_all(area);
}

AboutDialog::~AboutDialog() {
  gtk_widget_destroy(dialog_);
  g_object_unref(dialog_);
}

void AboutDialog::ShowModal(GtkWindow* parent) {
  gtk_window_set_transient_for(GTK_WINDOW(dialog_), parent);
  if (shown_before_) gtk_window_set_position(GTK_WINDOW(dialog_), GTK_WIN_POS_NONE);
  shown_before_ = true;
  gtk_widget_grab_focus(BitBtn1);
  gtk_dialog_run(GTK_DIALOG(dialog_));
  gtk_widget_hide(dialog_);
}

void AboutDialog::BitBtnXP1Click() {
  const std::string uri = U8(texts::kMakerWebSite);
  if (open_uri) {
    open_uri(GTK_WINDOW(dialog_), uri);
    return;
  }
  // What the desktop does with the address is its business; the dialog stays open either way.
  GErrorBox error;
  gtk_show_uri_on_window(GTK_WINDOW(dialog_), uri.c_str(), GDK_CURRENT_TIME, error.out());
}

}  // namespace reprisa
