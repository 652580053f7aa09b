// The About dialog: its texts with this year, the logo decoded by the core, the web-site button
// that hands the maker's address to the desktop and leaves the dialog open, and OK that closes it.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "core/exceptions.h"
#include "gtk/about_dialog.h"
#include "gtk/resources_gtk.h"
#include "gtk_test_support.h"

namespace reprisa {
namespace {

using testing_gtk::PumpUntil;

TEST(AboutDialog, ShowsTheMakersTextsWithThisYear) {
  AboutDialog about;
  EXPECT_EQ(gtk_window_get_title(about.Window()), std::string("Info"));
  EXPECT_FALSE(gtk_window_get_resizable(about.Window()));
  GDateTime* now = g_date_time_new_now_local();
  const std::string year = std::to_string(g_date_time_get_year(now));
  g_date_time_unref(now);
  const std::pair<GtkWidget*, std::string> labels[] = {
      {about.copyright, "Copyright \u00A9 " + year + " Velmora. Alle Rechte vorbehalten."},
      {about.product_name, "Garantiert ein Original Velmora Programm"},
      {about.quality_label, "Vertrauen Sie auf deutsche Qualit\u00E4t bei Software."},
      {about.comments, "Dies ist eine Velmora Computersoftware Produktion. (info@velmora.example)"},
      {about.news_label,  // paragraphs apart by one empty line, no '\r'
       "Neuigkeiten, Hilfe und weitere Programme finden Sie auf unserer Website "
       "www.velmora.example.\n\nWir freuen uns \u00FCber Ihre Anregungen und "
       "w\u00FCnschen Ihnen viel Freude mit Reprisa."},
  };
  for (const auto& [label, text] : labels) EXPECT_EQ(gtk_label_get_text(GTK_LABEL(label)), text);
  EXPECT_EQ(gtk_button_get_label(GTK_BUTTON(about.web_site_button)),
            std::string("www.velmora.example"));
  EXPECT_EQ(gtk_button_get_label(GTK_BUTTON(about.ok_button)), std::string("OK"));
}

TEST(AboutDialog, TheLogoIsTheEmbeddedJpegDecodedByTheCore) {
  GRef<GdkPixbuf> logo = LogoPixbuf();
  ASSERT_TRUE(logo);
  EXPECT_EQ(gdk_pixbuf_get_width(logo.get()), 306);
  EXPECT_EQ(gdk_pixbuf_get_height(logo.get()), 322);
  AboutDialog about;
  GdkPixbuf* shown = gtk_image_get_pixbuf(GTK_IMAGE(about.logo));
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(gdk_pixbuf_get_width(shown), 306);
}

TEST(AboutDialog, GlyphsHaveTheirBackgroundTransparent) {
  for (Glyph glyph : {Glyph::Ok, Glyph::Cancel, Glyph::Retry, Glyph::Globe}) {
    GRef<GdkPixbuf> pixbuf = GlyphPixbuf(glyph);
    ASSERT_TRUE(pixbuf);
    ASSERT_TRUE(gdk_pixbuf_get_has_alpha(pixbuf.get()));
    const guchar* corner = gdk_pixbuf_read_pixels(pixbuf.get()) +
                           (gdk_pixbuf_get_height(pixbuf.get()) - 1) *
                               gdk_pixbuf_get_rowstride(pixbuf.get());
    EXPECT_EQ(corner[3], 0);
  }
}

// While the dialog runs modally, `step` runs from the main loop: it finds the dialog and acts.
struct ModalScript {
  AboutDialog* about;
  std::vector<std::string> opened;
  bool was_open_after_website = false;
  int shows = 0;
};

TEST(AboutDialog, WebsiteButtonOpensTheAddressAndOkCloses) {
  AboutDialog about;
  ModalScript script{&about, {}, false, 0};
  about.open_uri = [&](GtkWindow* owner, const std::string& uri) {
    EXPECT_EQ(owner, about.Window());
    script.opened.push_back(uri);
  };
  for (int round = 0; round < 2; ++round) {
    g_timeout_add(
        50,
        +[](gpointer data) -> gboolean {
          auto* s = static_cast<ModalScript*>(data);
          if (!gtk_widget_get_visible(GTK_WIDGET(s->about->Window()))) return G_SOURCE_CONTINUE;
          ++s->shows;
          gtk_button_clicked(GTK_BUTTON(s->about->web_site_button));
          s->was_open_after_website = gtk_widget_get_visible(GTK_WIDGET(s->about->Window()));
          gtk_button_clicked(GTK_BUTTON(s->about->ok_button));
          return G_SOURCE_REMOVE;
        },
        &script);
    about.ShowModal(nullptr);  // returns once OK was clicked
    EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(about.Window())));
  }
  EXPECT_EQ(script.shows, 2);
  EXPECT_TRUE(script.was_open_after_website);
  EXPECT_EQ(script.opened, (std::vector<std::string>(2, "https://www.velmora.example/")));
}

}  // namespace
}  // namespace reprisa
