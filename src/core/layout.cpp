#include "core/layout.h"

#include <algorithm>

namespace reprisa {

int MulDivRound(int a, int b, int c) {
  if (c == 0) return a;
  std::int64_t p = static_cast<std::int64_t>(a) * b;
  std::int64_t half = (c > 0 ? c : -c) / 2;
  return static_cast<int>((p + (p >= 0 ? half : -half)) / c);
}

int ScaleFontHeight(int design_height, int dpi) {
  if (dpi <= 0 || dpi == kDesignDpi) return design_height;
  return MulDivRound(design_height, dpi, kDesignDpi);
}

LayoutScale::LayoutScale(int dpi, int scaled_text_height) {
  if (dpi > 0 && dpi != kDesignDpi && scaled_text_height > 0) {
    num_ = scaled_text_height;
    den_ = kDesignTextHeight;
  }
}

namespace {
// The start of a span of `size` centred in [low, high), kept inside it; the low edge wins when the
// span is longer than the room.
int CenterSpan(int low, int high, int size) {
  std::int64_t room = static_cast<std::int64_t>(high) - low;
  std::int64_t start = low + (room - size) / 2;
  start = std::min<std::int64_t>(start, static_cast<std::int64_t>(high) - size);
  start = std::max<std::int64_t>(start, low);
  return static_cast<int>(start);
}
}  // namespace

Point CenterOnWorkArea(const Rect& work_area, int width, int height) {
  return {CenterSpan(work_area.left, work_area.right, width),
          CenterSpan(work_area.top, work_area.bottom, height)};
}

}  // namespace reprisa
