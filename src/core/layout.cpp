#include "core/layout.h"

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

Point CenterOnWorkArea(const Rect& work_area, const Rect& desktop, int width, int height) {
  Point p{(work_area.right - work_area.left - width) / 2,
          (work_area.bottom - work_area.top - height) / 2};
  if (p.x < desktop.left) p.x = desktop.left;
  if (p.y < desktop.top) p.y = desktop.top;
  return p;
}

}  // namespace reprisa
