#include "win/app/design_controls_win.h"

#include <string>

namespace reprisa {

namespace {

TBitBtnKind KindOf(design::ButtonKind kind) {
  // In the order of design::ButtonKind: Plain, Ok, Cancel, Retry.
  constexpr TBitBtnKind kKinds[] = {TBitBtnKind::bkCustom, TBitBtnKind::bkOK,
                                    TBitBtnKind::bkCancel, TBitBtnKind::bkRetry};
  return kKinds[static_cast<int>(kind)];
}

}  // namespace

TFontSpec FontSpec(const design::Font& font, TColor color) {
  return {std::wstring(font.face), font.height, font.bold, color};
}

TLabel* MakeLabel(TForm* form, const design::Control& d, TWinControl* parent) {
  return NewLabel(form, d.name.data(), parent, d.left, d.top, std::wstring(d.text));
}

TLabel* MakeWrappingLabel(TForm* form, const design::Control& d, TWinControl* parent) {
  auto* l = NewControl<TLabel>(form, d.name.data(), parent);
  l->SetWordWrap(true);
  l->SetAutoSize(false);
  l->SetDesignBounds(d.left, d.top, d.width, d.height);
  l->SetCaption(std::wstring(d.text));
  return l;
}

TEdit* MakeEdit(TForm* form, const design::Control& d, TWinControl* parent,
                design::Color read_only_color) {
  auto* e = PlaceControl<TEdit>(form, d, parent);
  e->SetText(std::wstring(d.text));
  if (d.read_only) {
    e->SetReadOnly(true);
    e->SetColor(TColor::FromValue(read_only_color.Value()));
  }
  return e;
}

TBitBtn* MakeButton(TForm* form, const design::Control& d, TWinControl* parent) {
  auto* b = PlaceControl<TBitBtn>(form, d, parent);
  if (!d.text.empty()) b->SetText(std::wstring(d.text));
  if (d.kind != design::ButtonKind::Plain) b->SetKind(KindOf(d.kind));
  return b;
}

}  // namespace reprisa
