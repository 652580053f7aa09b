#include "core/jpeg_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <ostream>
#include <random>
#include <set>
#include <string>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

namespace reprisa {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes Logo() { return ReadFile(REPRISA_SOURCE_DIR "/resources/logo.jpg"); }

std::optional<PixelImage> Decode(const Bytes& bytes, const JpegLimits& limits = {}) {
  return DecodeJpeg(bytes.data(), bytes.size(), limits);
}

// Offset of the first marker FF <code> in a JPEG byte stream, or npos.
size_t FindMarker(const Bytes& bytes, uint8_t code) {
  for (size_t i = 0; i + 1 < bytes.size(); ++i) {
    if (bytes[i] == 0xFF && bytes[i + 1] == code) return i;
  }
  return std::string::npos;
}

struct Rgb {
  int r, g, b;
};

Rgb PixelAt(const PixelImage& image, int x, int y) {
  const uint8_t* p = &image.bgra[(static_cast<size_t>(y) * image.width + x) * 4];
  return {p[2], p[1], p[0]};
}

// --- pictures made here with libjpeg's encoder --------------------------------------------

// A 50 x 37 picture (odd sizes: partial blocks at the right and bottom edges) of flat
// 16 x 16 tiles, so each tile's colour survives the lossy round trip nearly unchanged.
constexpr int kWidth = 50;
constexpr int kHeight = 37;
constexpr int kTile = 16;

int TileColour(int x, int y) { return (x / kTile + 2 * (y / kTile)) % 4; }

enum class Source { kRgb, kGray, kCmyk };

struct Sample {
  uint8_t v[4];
  Rgb expected;
};

// Four colours per input kind. CMYK is given as Adobe writes it (inverted: 255 = no ink),
// and its expected RGB is (255 - C)(255 - K) with the inversion undone.
const Sample kPalette[3][4] = {
    {{{220, 30, 40, 0}, {220, 30, 40}},
     {{30, 180, 60, 0}, {30, 180, 60}},
     {{40, 60, 210, 0}, {40, 60, 210}},
     {{240, 220, 30, 0}, {240, 220, 30}}},
    {{{30, 0, 0, 0}, {30, 30, 30}},
     {{120, 0, 0, 0}, {120, 120, 120}},
     {{200, 0, 0, 0}, {200, 200, 200}},
     {{250, 0, 0, 0}, {250, 250, 250}}},
    {{{220, 30, 40, 255}, {220, 30, 40}},
     {{30, 180, 60, 255}, {30, 180, 60}},
     {{255, 255, 255, 128}, {128, 128, 128}},
     {{240, 220, 30, 200}, {188, 173, 24}}},
};

struct EncodeOptions {
  Source source = Source::kRgb;
  J_COLOR_SPACE stored = JCS_YCbCr;  // colour space inside the file
  bool adobe_marker = true;          // only meaningful for CMYK/YCCK
  bool progressive = false;
  int width = kWidth;
  int height = kHeight;
};

Bytes Encode(const EncodeOptions& options) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr error;
  cinfo.err = jpeg_std_error(&error);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);

  const int components = options.source == Source::kGray ? 1 : options.source == Source::kRgb ? 3 : 4;
  cinfo.image_width = static_cast<JDIMENSION>(options.width);
  cinfo.image_height = static_cast<JDIMENSION>(options.height);
  cinfo.input_components = components;
  cinfo.in_color_space = options.source == Source::kGray  ? JCS_GRAYSCALE
                         : options.source == Source::kRgb ? JCS_RGB
                                                          : JCS_CMYK;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 95, TRUE);
  jpeg_set_colorspace(&cinfo, options.stored);
  if (options.source == Source::kCmyk) cinfo.write_Adobe_marker = options.adobe_marker;
  if (options.progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);

  const auto& palette = kPalette[static_cast<int>(options.source)];
  const bool invert = options.source == Source::kCmyk && !options.adobe_marker;
  std::vector<JSAMPLE> row(static_cast<size_t>(options.width) * components);
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = static_cast<int>(cinfo.next_scanline);
    for (int x = 0; x < options.width; ++x) {
      for (int c = 0; c < components; ++c) {
        const uint8_t v = palette[TileColour(x, y)].v[c];
        row[static_cast<size_t>(x) * components + c] = invert ? 255 - v : v;
      }
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes bytes(buffer, buffer + size);
  std::free(buffer);
  return bytes;
}

Bytes Baseline() { return Encode({}); }
Bytes Progressive() { return Encode({.progressive = true}); }

// --- our logo ----------------------------------------------------------------------------

TEST(JpegImage, LogoIsAProgressiveJpegThatDecodesTo306By322) {
  const Bytes logo = Logo();
  ASSERT_FALSE(logo.empty()) << "resources/logo.jpg missing";
  EXPECT_NE(FindMarker(logo, 0xC2), std::string::npos) << "logo is not progressive";
  EXPECT_EQ(FindMarker(logo, 0xC0), std::string::npos) << "logo has a baseline frame";

  const auto image = Decode(logo);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 306);
  EXPECT_EQ(image->height, 322);
  ASSERT_EQ(image->bgra.size(), 306u * 322u * 4u);

  std::set<uint32_t> colours;
  for (size_t i = 0; i < image->bgra.size(); i += 4) {
    ASSERT_EQ(image->bgra[i + 3], 255) << "pixel " << i / 4 << " not opaque";
    colours.insert(image->bgra[i] | image->bgra[i + 1] << 8 | image->bgra[i + 2] << 16);
  }
  EXPECT_GT(colours.size(), 100u);

  // The mark's left arm is blue and its right arm green: the channels come out in B, G, R.
  const Rgb left = PixelAt(*image, 95, 60);
  EXPECT_GT(left.b, left.r + 100) << left.r << "," << left.g << "," << left.b;
  const Rgb right = PixelAt(*image, 211, 60);
  EXPECT_GT(right.g, right.r + 60) << right.r << "," << right.g << "," << right.b;
  EXPECT_GT(right.g, right.b + 40) << right.r << "," << right.g << "," << right.b;
}

// --- colour spaces and both frame kinds -----------------------------------------------------

struct ColourCase {
  const char* name;
  EncodeOptions options;
};

void PrintTo(const ColourCase& c, std::ostream* os) { *os << c.name; }

class JpegColours : public testing::TestWithParam<ColourCase> {};

TEST_P(JpegColours, DecodesEveryTileToItsColourInBgrOrder) {
  const ColourCase& c = GetParam();
  const Bytes bytes = Encode(c.options);
  ASSERT_EQ(FindMarker(bytes, c.options.progressive ? 0xC2 : 0xC0) != std::string::npos, true);

  const auto image = Decode(bytes);
  ASSERT_TRUE(image);
  ASSERT_EQ(image->width, kWidth);
  ASSERT_EQ(image->height, kHeight);
  ASSERT_EQ(image->bgra.size(), static_cast<size_t>(kWidth) * kHeight * 4);
  for (size_t i = 3; i < image->bgra.size(); i += 4) ASSERT_EQ(image->bgra[i], 255);

  const auto& palette = kPalette[static_cast<int>(c.options.source)];
  // Tile centres, plus the last pixel of the partial tiles on the right and bottom edges.
  std::vector<std::pair<int, int>> points;
  for (int y = kTile / 2; y < kHeight; y += kTile)
    for (int x = kTile / 2; x < kWidth; x += kTile) points.emplace_back(x, y);
  points.emplace_back(kWidth - 1, kHeight - 1);
  points.emplace_back(kWidth - 1, kTile / 2);
  points.emplace_back(kTile / 2, kHeight - 1);
  for (const auto& [x, y] : points) {
    const Rgb want = palette[TileColour(x, y)].expected;
    const Rgb got = PixelAt(*image, x, y);
    EXPECT_NEAR(got.r, want.r, 8) << "red at " << x << "," << y;
    EXPECT_NEAR(got.g, want.g, 8) << "green at " << x << "," << y;
    EXPECT_NEAR(got.b, want.b, 8) << "blue at " << x << "," << y;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, JpegColours,
    testing::Values(
        ColourCase{"YCbCrBaseline", {}},
        ColourCase{"YCbCrProgressive", {.progressive = true}},
        ColourCase{"StoredAsRgb", {.stored = JCS_RGB}},
        ColourCase{"GrayBaseline", {.source = Source::kGray, .stored = JCS_GRAYSCALE}},
        ColourCase{"GrayProgressive",
                   {.source = Source::kGray, .stored = JCS_GRAYSCALE, .progressive = true}},
        ColourCase{"AdobeCmyk", {.source = Source::kCmyk, .stored = JCS_CMYK}},
        ColourCase{"AdobeCmykProgressive",
                   {.source = Source::kCmyk, .stored = JCS_CMYK, .progressive = true}},
        ColourCase{"AdobeYcck", {.source = Source::kCmyk, .stored = JCS_YCCK}},
        ColourCase{"PlainCmyk",
                   {.source = Source::kCmyk, .stored = JCS_CMYK, .adobe_marker = false}}),
    [](const testing::TestParamInfo<ColourCase>& info) { return std::string(info.param.name); });

// --- refused input -----------------------------------------------------------------------

// The whole file decodes; cut at any of `cuts`, it is refused.
void ExpectRefusedWhenCut(const Bytes& bytes, std::initializer_list<size_t> cuts) {
  ASSERT_TRUE(Decode(bytes)) << "whole";
  for (size_t cut : cuts)
    EXPECT_FALSE(Decode(Bytes(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(cut))))
        << "cut at " << cut << " of " << bytes.size();
}

TEST(JpegImage, TruncatedFilesAreRefused) {
  for (const auto& [name, file] : {std::pair{"logo", Logo()}, std::pair{"baseline", Baseline()},
                                   std::pair{"progressive", Progressive()}}) {
    SCOPED_TRACE(name);
    const size_t size = file.size();
    ASSERT_GT(size, 200u);
    const size_t sos = FindMarker(file, 0xDA);
    ExpectRefusedWhenCut(file, {1, 2, 20, sos, sos + 20, size / 2, size - 40, size - 2, size - 1});
  }
}

// Inserts a segment FF <marker> with a payload of payload bytes at offset at.
Bytes WithSegment(const Bytes& bytes, size_t at, uint8_t marker, size_t payload) {
  Bytes out(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(at));
  const size_t length = payload + 2;
  out.insert(out.end(), {0xFF, marker, static_cast<uint8_t>(length >> 8),
                         static_cast<uint8_t>(length)});
  for (size_t i = 0; i < payload; ++i) out.push_back(static_cast<uint8_t>('a' + i % 26));
  out.insert(out.end(), bytes.begin() + static_cast<ptrdiff_t>(at), bytes.end());
  return out;
}

// A segment the decoder skips unread (a comment, an APPn nobody handles) may claim more bytes
// than the file has left: skipping past the end must refuse, not read on beyond the buffer.
TEST(JpegImage, FileCutInsideASkippedSegmentIsRefused) {
  for (const Bytes& file : {Baseline(), Progressive()}) {
    for (uint8_t marker : {0xFE, 0xE5, 0xEF}) {  // a comment, APP5, APP15
      SCOPED_TRACE(static_cast<int>(marker));
      ExpectRefusedWhenCut(WithSegment(file, 2, marker, 4000), {6, 7, 2000, 4005});
    }
  }
}

// The pixels are all there, but the file ends before its end marker: in a segment after the last
// scan or just before the marker. Only the finishing step sees it.
TEST(JpegImage, FileCutAfterItsLastScanIsRefused) {
  for (const Bytes& file : {Baseline(), Progressive()}) {
    const Bytes bytes = WithSegment(file, file.size() - 2, 0xFE, 300);
    const size_t comment = bytes.size() - 2 - 304;
    ExpectRefusedWhenCut(bytes, {comment, comment + 2, comment + 150, bytes.size() - 2,
                                 bytes.size() - 1});
  }
}

// Noise that starts with `head` (by default a byte no JPEG starts with).
Bytes RandomBytes(size_t count, const Bytes& head = {0x12}) {
  std::mt19937 random(12345);
  Bytes bytes(count);
  for (auto& b : bytes) b = static_cast<uint8_t>(random());
  std::copy(head.begin(), head.end(), bytes.begin());
  return bytes;
}

TEST(JpegImage, ForeignDataIsRefused) {
  const struct {
    const char* name;
    Bytes bytes;
  } cases[] = {
      {"one byte", {0xFF}},
      {"random", RandomBytes(4096)},
      {"png", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R',
               0, 0, 0, 16, 0, 0, 0, 16, 8, 6, 0, 0, 0, 0x1F, 0xF3, 0xFF, 0x61}},
      {"gif", {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0}},
      {"start marker only", {0xFF, 0xD8}},
      {"start and end markers", {0xFF, 0xD8, 0xFF, 0xD9}},
      {"start marker then noise", RandomBytes(512, {0xFF, 0xD8})},
  };
  for (const auto& c : cases) EXPECT_FALSE(Decode(c.bytes)) << c.name;

  const uint8_t byte = 0xFF;
  EXPECT_FALSE(DecodeJpeg(nullptr, 0));
  EXPECT_FALSE(DecodeJpeg(&byte, 0));
}

// Offset just past the first scan's entropy-coded data: the next marker that is not a
// stuffed FF 00 or a restart marker.
size_t EndOfFirstScan(const Bytes& bytes, size_t data) {
  for (size_t i = data; i + 1 < bytes.size(); ++i) {
    const uint8_t next = bytes[i + 1];
    if (bytes[i] == 0xFF && next != 0x00 && next != 0xFF && (next < 0xD0 || next > 0xD7))
      return i;
  }
  return bytes.size();
}

TEST(JpegImage, DamagedScanDataIsRefused) {
  for (Bytes bytes : {Baseline(), Progressive()}) {
    const size_t sos = FindMarker(bytes, 0xDA);
    ASSERT_NE(sos, std::string::npos);
    const size_t data = sos + 2 + (bytes[sos + 2] << 8 | bytes[sos + 3]);
    const size_t end = EndOfFirstScan(bytes, data);
    ASSERT_GT(end, data + 4);
    // An end marker in the middle of the scan: libjpeg would pad the rest of it with grey.
    const size_t middle = data + (end - data) / 2;
    bytes[middle] = 0xFF;
    bytes[middle + 1] = 0xD9;
    EXPECT_FALSE(Decode(bytes)) << "damaged at " << middle;
  }
}

TEST(JpegImage, UnknownJfifVersionIsOnlyANote) {
  Bytes bytes = Baseline();
  const std::string jfif("JFIF");
  auto at = std::search(bytes.begin(), bytes.end(), jfif.begin(), jfif.end());
  ASSERT_NE(at, bytes.end());
  at[5] = 2;  // major version after "JFIF\0"
  const auto image = Decode(bytes);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, kWidth);
}

// Writes new dimensions into the frame header (SOF0 or SOF2) of a JPEG.
Bytes WithDimensions(Bytes bytes, int width, int height) {
  size_t sof = FindMarker(bytes, 0xC0);
  if (sof == std::string::npos) sof = FindMarker(bytes, 0xC2);
  bytes[sof + 5] = static_cast<uint8_t>(height >> 8);
  bytes[sof + 6] = static_cast<uint8_t>(height);
  bytes[sof + 7] = static_cast<uint8_t>(width >> 8);
  bytes[sof + 8] = static_cast<uint8_t>(width);
  return bytes;
}

TEST(JpegImage, HugeDimensionsAreRefusedBeforeDecoding) {
  const struct {
    int width, height;
  } sizes[] = {{20000, 16}, {16, 20000}, {16384, 16384}, {65535, 65535}};
  for (const Bytes& source : {Baseline(), Progressive()}) {
    for (const auto& s : sizes)
      EXPECT_FALSE(Decode(WithDimensions(source, s.width, s.height)))
          << s.width << " x " << s.height;
  }
}

TEST(JpegImage, LimitsAreEnforced) {
  const Bytes baseline = Baseline();
  const Bytes progressive = Progressive();
  const Bytes tall = Encode({.width = 20, .height = 40});
  const struct {
    const char* name;
    Bytes bytes;
    JpegLimits limits;
    bool accepted;
  } cases[] = {
      {"width at the side limit", baseline, {.max_side = kWidth}, true},
      {"width over the side limit", baseline, {.max_side = kWidth - 1}, false},
      {"tall picture at the side limit", tall, {.max_side = 40}, true},
      {"height over the side limit", tall, {.max_side = 39}, false},
      {"pixels at the limit", baseline, {.max_pixels = kWidth * kHeight}, true},
      {"pixels over the limit", baseline, {.max_pixels = kWidth * kHeight - 1}, false},
      {"baseline has one scan", baseline, {.max_scans = 1}, true},
      {"progressive within the scan limit", progressive, {.max_scans = 20}, true},
      {"progressive over the scan limit", progressive, {.max_scans = 2}, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Decode(c.bytes, c.limits).has_value(), c.accepted) << c.name;
}

}  // namespace
}  // namespace reprisa
