// Files built into the executable (generated from resources/ at build time) and the pictures
// made from them.
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtk/gtk.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/design_layout.h"
#include "core/jpeg_image.h"
#include "gtk/gtk_ptr.h"

namespace reprisa {

struct EmbeddedFile {
  const std::uint8_t* data;
  std::size_t size;
};

// resources/logo.jpg
EmbeddedFile LogoJpeg() noexcept;
// The window icon at 16, 24, 32, 48 and 256 pixels (PNG), from resources/reprisa.ico.
EmbeddedFile IconPng(int index) noexcept;
inline constexpr int kIconCount = 5;
// The 18 x 18 button glyphs of the three stock kinds and the About dialog's 16 x 16 globe (BMP).
enum class Glyph { Ok, Cancel, Retry, Globe };
EmbeddedFile GlyphBmp(Glyph glyph) noexcept;
// The glyph of a design button's stock kind (kind Plain, the web-site button's: the globe).
Glyph StockGlyph(design::ButtonKind kind) noexcept;

// The widget name of the About dialog's coloured panel (its background; the design's panel is
// the layout inside it).
inline constexpr char kAboutPanelName[] = "AboutPanel";

// The program's look, scoped by widget names (the main window's panel, the About dialog): the
// design's fonts and colours. Installed once for the screen, before the first window is built.
void InstallProgramStyle();
// The style sheet that InstallProgramStyle installs.
std::string ProgramStyleSheet();

// A pixbuf holding a decoded picture; null for an empty picture.
GRef<GdkPixbuf> PixbufFromImage(const PixelImage& image);
// A pixbuf from an encoded file GdkPixbuf can read (PNG, BMP); null when it cannot.
GRef<GdkPixbuf> PixbufFromFile(EmbeddedFile file);
// A button glyph, its bottom-left pixel's colour made transparent (the rule of bitmap buttons).
GRef<GdkPixbuf> GlyphPixbuf(Glyph glyph);
// A push button of the given size with a caption and a glyph beside it.
GtkWidget* GlyphButton(const char* name, int width, int height, std::wstring_view caption,
                       Glyph glyph);
// The About dialog's logo, decoded by the core's JPEG decoder; null when it does not decode.
GRef<GdkPixbuf> LogoPixbuf();

}  // namespace reprisa
