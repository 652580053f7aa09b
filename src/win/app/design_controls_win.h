// Controls made from the design table (core/design_layout.h): named, placed at their design
// rectangle and tab order, with their text and kind.
#pragma once

#include "core/design_layout.h"
#include "win/kit/form_win.h"
#include "win/kit/stdctrls_win.h"

namespace reprisa {

// A control of the given class at its design place and tab order, owned by the form.
template <class T>
T* PlaceControl(TForm* form, const design::Control& d, TWinControl* parent) {
  auto* c = NewControl<T>(form, d.name.data(), parent);
  c->SetDesignBounds(d.left, d.top, d.width, d.height);
  c->SetTabOrder(d.tab_order);
  return c;
}

// A design font in the given colour.
TFontSpec FontSpec(const design::Font& font, TColor color);

// A one-line label sized to its text.
TLabel* MakeLabel(TForm* form, const design::Control& d, TWinControl* parent);
// A label of the design's size whose text wraps.
TLabel* MakeWrappingLabel(TForm* form, const design::Control& d, TWinControl* parent);
// A field with its initial text; a read-only one on the given colour.
TEdit* MakeEdit(TForm* form, const design::Control& d, TWinControl* parent,
                design::Color read_only_color);
// A button with its caption and kind.
TBitBtn* MakeButton(TForm* form, const design::Control& d, TWinControl* parent);

}  // namespace reprisa
