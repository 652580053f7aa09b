// Layout arithmetic: design tables are in pixels at 96 dpi with a 13-pixel text height.
#pragma once

#include <cstdint>

namespace reprisa {

constexpr int kDesignDpi = 96;
constexpr int kDesignTextHeight = 13;

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

// a * b / c rounded to the nearest integer (halves away from zero), in 64-bit.
int MulDivRound(int a, int b, int c);

// A font height (negative: character height; positive: cell height) scaled from 96 dpi.
int ScaleFontHeight(int design_height, int dpi);

// Scale from design units to the screen: factor text_height / 13, or exactly 1 at 96 dpi.
class LayoutScale {
 public:
  LayoutScale() = default;
  LayoutScale(int dpi, int scaled_text_height);
  int operator()(int design_value) const { return MulDivRound(design_value, num_, den_); }
  bool IsIdentity() const { return num_ == den_; }

 private:
  int num_ = 1;
  int den_ = 1;
};

// The top-left corner at which a window of the given size is centred in the work area (the
// screen without its task bar), from the work area's own origin, truncating. The window is kept
// inside the work area: one larger than it starts at its left or top edge.
struct Point {
  int x = 0, y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};
Point CenterOnWorkArea(const Rect& work_area, int width, int height);

}  // namespace reprisa
