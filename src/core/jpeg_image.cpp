#include "core/jpeg_image.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE declared before it
#include <new>

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

namespace reprisa {
namespace {

// libjpeg reports a fatal error through error_exit, whose default prints and calls exit().
// Ours jumps back to the decoding step that is running; that step then returns false.
// Everything between the setjmp and the jump is C or trivially destructible, so the jump
// skips no destructor.
struct ErrorManager {
  jpeg_error_mgr pub;  // first member: libjpeg only knows this part
  std::jmp_buf jump;
};

[[noreturn]] void FailDecoding(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Warnings tell of data that libjpeg had to patch up (corrupt entropy data, a missing
// marker, an inconsistent progression): a picture that looks wrong. Those count as damage.
// Only notes about unusual but well-formed headers are let through.
bool IsHarmlessWarning(int code) {
  return code == JWRN_JFIF_MAJOR || code == JWRN_ADOBE_XFORM;
}

void OnMessage(j_common_ptr cinfo, int level) {
  if (level < 0 && !IsHarmlessWarning(cinfo->err->msg_code)) {
    FailDecoding(cinfo);
  }
  // Trace messages (level >= 0) are dropped.
}

void DropOutput(j_common_ptr) {}

// Source manager over a caller-owned memory block. Running out of data is an error at once
// (libjpeg's own sources would pad with a fake end marker and decode grey).
void InitSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr cinfo) {
  ERREXIT(cinfo, JERR_INPUT_EOF);
  return FALSE;
}

void SkipInput(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* source = cinfo->src;
  if (static_cast<unsigned long>(count) > source->bytes_in_buffer) {
    ERREXIT(cinfo, JERR_INPUT_EOF);
  }
  source->next_input_byte += count;
  source->bytes_in_buffer -= static_cast<size_t>(count);
}

void TermSource(j_decompress_ptr) {}

// A progressive file can hold any number of scans, each making libjpeg walk the whole
// coefficient buffer again; a limit keeps a tiny file from costing minutes.
struct ScanLimit {
  jpeg_progress_mgr pub;  // first member
  int max_scans;
};

void CheckScanCount(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  auto* decompress = reinterpret_cast<j_decompress_ptr>(cinfo);
  auto* limit = reinterpret_cast<ScanLimit*>(cinfo->progress);
  if (decompress->input_scan_number > limit->max_scans) {
    FailDecoding(cinfo);
  }
}

// All of libjpeg's state for one decoding; plain C structures only.
struct Decoder {
  jpeg_decompress_struct cinfo;
  ErrorManager error;
  jpeg_source_mgr source;
  ScanLimit scan_limit;
};

// Releases libjpeg's memory however decoding ended. Safe on a zeroed, never-created struct.
class DecoderGuard {
 public:
  explicit DecoderGuard(Decoder& decoder) : decoder_(decoder) {}
  ~DecoderGuard() { jpeg_destroy_decompress(&decoder_.cinfo); }
  DecoderGuard(const DecoderGuard&) = delete;
  DecoderGuard& operator=(const DecoderGuard&) = delete;

 private:
  Decoder& decoder_;
};

// Step 1: set up and read the header. False when libjpeg reports an error.
bool ReadHeader(Decoder& d, const uint8_t* data, size_t size, int max_scans) {
  d.cinfo.err = jpeg_std_error(&d.error.pub);
  d.error.pub.error_exit = FailDecoding;
  d.error.pub.emit_message = OnMessage;
  d.error.pub.output_message = DropOutput;
  if (setjmp(d.error.jump) != 0) return false;

  jpeg_create_decompress(&d.cinfo);
  d.source.next_input_byte = data;
  d.source.bytes_in_buffer = size;
  d.source.init_source = InitSource;
  d.source.fill_input_buffer = FillInput;
  d.source.skip_input_data = SkipInput;
  d.source.resync_to_restart = jpeg_resync_to_restart;
  d.source.term_source = TermSource;
  d.cinfo.src = &d.source;
  d.scan_limit.pub.progress_monitor = CheckScanCount;
  d.scan_limit.max_scans = max_scans;
  d.cinfo.progress = &d.scan_limit.pub;
  return jpeg_read_header(&d.cinfo, TRUE) == JPEG_HEADER_OK;
}

// Chooses the output colour space: RGB from anything libjpeg can convert to it, CMYK from
// CMYK and YCCK (converted to RGB below). False for what has no known meaning.
bool ChooseOutput(jpeg_decompress_struct& cinfo) {
  switch (cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
    case JCS_YCbCr:
    case JCS_RGB:
      cinfo.out_color_space = JCS_RGB;
      return true;
    case JCS_CMYK:
    case JCS_YCCK:
      cinfo.out_color_space = JCS_CMYK;
      return true;
    default:
      return false;
  }
}

inline uint8_t Scale255(unsigned a, unsigned b) {
  return static_cast<uint8_t>((a * b + 127) / 255);
}

// Step 2: decode all rows into `out` (width * height * 4 bytes). False on any error.
bool ReadPixels(Decoder& d, uint8_t* out) {
  if (setjmp(d.error.jump) != 0) return false;

  jpeg_decompress_struct& cinfo = d.cinfo;
  const JDIMENSION width = cinfo.image_width;
  const JDIMENSION height = cinfo.image_height;
  if (!jpeg_start_decompress(&cinfo)) return false;
  const bool cmyk = cinfo.out_color_space == JCS_CMYK;
  const int components = cmyk ? 4 : 3;
  if (cinfo.output_width != width || cinfo.output_height != height ||
      cinfo.output_components != components) {
    return false;
  }
  // Adobe writes CMYK inverted (0 = full ink); files without its marker are taken as plain.
  const bool inverted = cmyk && cinfo.saw_Adobe_marker;

  JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo),
                                              JPOOL_IMAGE, width * components, 1);
  while (cinfo.output_scanline < height) {
    uint8_t* target = out + static_cast<size_t>(cinfo.output_scanline) * width * 4;
    if (jpeg_read_scanlines(&cinfo, row, 1) != 1) return false;
    const JSAMPLE* source = row[0];
    for (JDIMENSION x = 0; x < width; ++x, target += 4, source += components) {
      if (cmyk) {
        unsigned c = source[0], m = source[1], y = source[2], k = source[3];
        if (!inverted) {
          c = 255 - c;
          m = 255 - m;
          y = 255 - y;
          k = 255 - k;
        }
        target[0] = Scale255(y, k);
        target[1] = Scale255(m, k);
        target[2] = Scale255(c, k);
      } else {
        target[0] = source[2];
        target[1] = source[1];
        target[2] = source[0];
      }
      target[3] = 255;
    }
  }
  // Reads on to the end marker, so a file cut after its last scan is refused too.
  return jpeg_finish_decompress(&cinfo) != FALSE;
}

}  // namespace

std::optional<PixelImage> DecodeJpeg(const uint8_t* data, size_t size, const JpegLimits& limits) {
  if (data == nullptr || size == 0) return std::nullopt;

  Decoder decoder{};
  DecoderGuard guard(decoder);
  if (!ReadHeader(decoder, data, size, limits.max_scans)) return std::nullopt;

  const int64_t width = decoder.cinfo.image_width;
  const int64_t height = decoder.cinfo.image_height;
  if (width <= 0 || height <= 0 || width > limits.max_side || height > limits.max_side ||
      width * height > limits.max_pixels) {
    return std::nullopt;
  }
  if (!ChooseOutput(decoder.cinfo)) return std::nullopt;

  PixelImage image;
  image.width = static_cast<int>(width);
  image.height = static_cast<int>(height);
  try {
    // In 64 bits: on a 32-bit system width * height * 4 can exceed what size_t holds.
    const std::uint64_t bytes = static_cast<std::uint64_t>(width) * height * 4;
    if (bytes > static_cast<std::uint64_t>(PTRDIFF_MAX)) return std::nullopt;
    image.bgra.resize(static_cast<size_t>(bytes));
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  if (!ReadPixels(decoder, image.bgra.data())) return std::nullopt;
  return image;
}

}  // namespace reprisa
