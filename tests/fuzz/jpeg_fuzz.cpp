// Fuzz target: JPEG decoding never crashes, never reads past its input, and whatever it accepts
// is a picture within the limits whose buffer holds exactly its pixels.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/jpeg_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  reprisa::JpegLimits limits;
  limits.max_side = 2048;
  limits.max_pixels = 1 << 20;  // keeps each run quick
  limits.max_scans = 50;
  auto image = reprisa::DecodeJpeg(data, size, limits);
  if (image) {
    if (image->width <= 0 || image->height <= 0 || image->width > limits.max_side ||
        image->height > limits.max_side ||
        static_cast<std::int64_t>(image->width) * image->height > limits.max_pixels)
      std::abort();
    if (image->bgra.size() != static_cast<std::size_t>(image->width) * image->height * 4)
      std::abort();
    for (std::size_t i = 3; i < image->bgra.size(); i += 4)
      if (image->bgra[i] != 255) std::abort();
  }
  return 0;
}
