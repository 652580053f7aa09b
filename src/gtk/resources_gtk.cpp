#include "gtk/resources_gtk.h"

#include <gtk/gtk.h>

#include <cstdlib>
#include <cstring>

#include "core/design_layout.h"
#include "core/exceptions.h"
#include "core/layout.h"
#include "core/utf8.h"

namespace reprisa {

namespace {

// A CSS font declaration for a design font: the face with the given fallbacks, the design height
// as whole points (at 96 dpi, as the desktop's font chooser offers them).
std::string CssFont(const design::Font& font, const char* fallbacks) {
  const int points = (std::abs(font.height) * 72 + kDesignDpi / 2) / kDesignDpi;
  std::string css = "font-family: \"" + NarrowUtf8(font.face) + "\", " + fallbacks +
                    "; font-size: " + std::to_string(points) + "pt;";
  if (font.bold) css += " font-weight: bold;";
  return css;
}

std::string CssColor(design::Color color) {
  return "rgb(" + std::to_string(color.red) + ", " + std::to_string(color.green) + ", " +
         std::to_string(color.blue) + ")";
}

std::string Id(std::wstring_view name) { return "#" + NarrowUtf8(name); }

}  // namespace

// The look of the classic form: small text, fields 21 and buttons 25 pixels high, read-only
// fields on silver; the About panel in its colour. Scoped by widget names, so message dialogs
// and the page keep the desktop's look.
std::string ProgramStyleSheet() {
  const design::MainWindow& main = design::kMainWindow;
  const design::AboutDialog& about = design::kAboutDialog;
  const std::string panel = Id(main.top_panel.name);
  const std::string about_panel = std::string("#") + kAboutPanelName;
  return panel + " { " + CssFont(main.font, "\"DejaVu Sans Condensed\", sans-serif") + " }\n" +
         panel + " entry { min-height: 0; padding-top: 1px; padding-bottom: 1px; }\n" +
         panel + " button { min-height: 0; padding: 0 4px; }\n" +
         panel + " entry.read-only-field { background-color: " + CssColor(main.read_only_field) +
         "; background-image: none; }\n" +
         about_panel + " { background-color: " + CssColor(about.panel_color) +
         "; border: 2px groove #a0a0a0; }\n" +
         Id(about.name) + " { " + CssFont(about.font, "\"DejaVu Sans\", sans-serif") + " }\n" +
         Id(about.product_name.name) + " { " +
         CssFont(about.product_name_font, "\"DejaVu Sans Condensed\", sans-serif") +
         " color: black; }\n" +
         about_panel + " label { color: black; }\n";
}

void InstallProgramStyle() {
  static bool installed = false;
  if (installed) return;
  GdkScreen* screen = gdk_screen_get_default();
  if (!screen) return;
  GRef<GtkCssProvider> css(gtk_css_provider_new());
  const std::string sheet = ProgramStyleSheet();
  gtk_css_provider_load_from_data(css.get(), sheet.c_str(), -1, nullptr);
  gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(css.get()),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  installed = true;
}

GRef<GdkPixbuf> PixbufFromImage(const PixelImage& image) {
  if (image.width <= 0 || image.height <= 0 ||
      image.bgra.size() < static_cast<std::size_t>(image.width) * image.height * 4) {
    return {};
  }
  GRef<GdkPixbuf> pixbuf(
      gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, image.width, image.height));
  if (!pixbuf) return {};
  guchar* pixels = gdk_pixbuf_get_pixels(pixbuf.get());
  const int stride = gdk_pixbuf_get_rowstride(pixbuf.get());
  for (int y = 0; y < image.height; ++y) {
    const std::uint8_t* in = image.bgra.data() + static_cast<std::size_t>(y) * image.width * 4;
    guchar* out = pixels + static_cast<std::size_t>(y) * stride;
    for (int x = 0; x < image.width; ++x, in += 4, out += 4) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
      out[3] = in[3];
    }
  }
  return pixbuf;
}

GRef<GdkPixbuf> PixbufFromFile(EmbeddedFile file) {
  if (!file.data || file.size == 0) return {};
  GRef<GdkPixbufLoader> loader(gdk_pixbuf_loader_new());
  GErrorBox error;
  bool ok = gdk_pixbuf_loader_write(loader.get(), file.data, file.size, error.out());
  // The loader is always closed, also after a failed write (it complains when finalised open).
  ok = gdk_pixbuf_loader_close(loader.get(), ok ? error.out() : nullptr) && ok;
  if (!ok) return {};
  return GRef<GdkPixbuf>::Share(gdk_pixbuf_loader_get_pixbuf(loader.get()));
}

GRef<GdkPixbuf> GlyphPixbuf(Glyph glyph) {
  GRef<GdkPixbuf> bitmap = PixbufFromFile(GlyphBmp(glyph));
  if (!bitmap) return {};
  const int height = gdk_pixbuf_get_height(bitmap.get());
  const guchar* corner = gdk_pixbuf_read_pixels(bitmap.get()) +
                         static_cast<std::size_t>(height - 1) * gdk_pixbuf_get_rowstride(bitmap.get());
  return GRef<GdkPixbuf>(
      gdk_pixbuf_add_alpha(bitmap.get(), TRUE, corner[0], corner[1], corner[2]));
}

Glyph StockGlyph(design::ButtonKind kind) noexcept {
  // In the order of design::ButtonKind: Plain, Ok, Cancel, Retry.
  constexpr Glyph kGlyphs[] = {Glyph::Globe, Glyph::Ok, Glyph::Cancel, Glyph::Retry};
  return kGlyphs[static_cast<int>(kind)];
}

GtkWidget* GlyphButton(const char* name, int width, int height, std::wstring_view caption,
                       Glyph glyph) {
  GtkWidget* button = gtk_button_new_with_label(NarrowUtf8(caption).c_str());
  gtk_widget_set_name(button, name);
  gtk_widget_set_size_request(button, width, height);
  if (auto pixbuf = GlyphPixbuf(glyph)) {
    gtk_button_set_image(GTK_BUTTON(button), gtk_image_new_from_pixbuf(pixbuf.get()));
    gtk_button_set_always_show_image(GTK_BUTTON(button), TRUE);
  }
  return button;
}

GRef<GdkPixbuf> LogoPixbuf() {
  EmbeddedFile file = LogoJpeg();
  auto image = DecodeJpeg(file.data, file.size);
  if (!image) return {};
  return PixbufFromImage(*image);
}

}  // namespace reprisa
