#include "gtk/resources_gtk.h"

#include <cstring>

namespace reprisa {

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

GRef<GdkPixbuf> LogoPixbuf() {
  EmbeddedFile file = LogoJpeg();
  auto image = DecodeJpeg(file.data, file.size);
  if (!image) return {};
  return PixbufFromImage(*image);
}

}  // namespace reprisa
