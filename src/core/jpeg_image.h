// JPEG decoding into a plain pixel buffer (portable; the shell turns it into a bitmap).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace reprisa {

// A decoded picture: rows top-down, 4 bytes per pixel in the order B, G, R, A with A = 255
// (the layout of a 32-bit top-down DIB section).
struct PixelImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bgra;  // width * height * 4 bytes
};

// What a picture may ask of us before we decline to decode it. The defaults keep a hostile
// or broken file from making us allocate gigabytes or spin through endless progressive scans.
struct JpegLimits {
  int max_side = 16384;                      // pixels, width and height alike
  int64_t max_pixels = 64LL * 1024 * 1024;   // width * height
  int max_scans = 500;                       // progressive files have a handful normally
};

// Decodes a baseline or progressive JPEG (grayscale, YCbCr/RGB, CMYK/YCCK) held in memory.
// Returns nullopt for anything that is not a complete, undamaged JPEG within `limits`:
// empty or foreign data, a truncated file, corrupt entropy data, a colour space that cannot
// be turned into RGB, or dimensions beyond the limits (checked before any pixel memory is
// allocated). Never terminates the process and prints nothing.
std::optional<PixelImage> DecodeJpeg(const uint8_t* data, size_t size,
                                     const JpegLimits& limits = {});

}  // namespace reprisa
