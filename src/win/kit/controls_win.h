// The widget kit's base: windowed controls as thin objects over real Win32 windows.
// A window finds its control without any table: windows of our own classes keep `this` in their
// user data from WM_NCCREATE, standard controls (EDIT, BUTTON, STATIC) are subclassed with `this`
// as the reference data; both forget it at WM_NCDESTROY. WM_COMMAND and WM_CTLCOLOR* are
// reflected to the child control that sent them.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/component.h"
#include "core/layout.h"

namespace reprisa {

class TForm;

using TNotifyEvent = std::function<void(TObject* sender)>;
using TKeyPressEvent = std::function<void(TObject* sender, wchar_t& key)>;

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TAnchor : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };

// A colour: an RGB value, or a system colour index when `system` is set.
struct TColor {
  COLORREF rgb = 0;
  int system = -1;
  static TColor Rgb(COLORREF c) { return {c, -1}; }
  static TColor FromValue(unsigned value) { return {static_cast<COLORREF>(value), -1}; }
  static TColor Sys(int index) { return {0, index}; }
  COLORREF Resolve() const { return system >= 0 ? GetSysColor(system) : rgb; }
  bool IsDefault() const { return system < 0 && rgb == CLR_INVALID; }
};
inline const TColor clDefault{CLR_INVALID, -1};
inline const TColor clBtnFace = TColor::Sys(COLOR_BTNFACE);
inline const TColor clWindow = TColor::Sys(COLOR_WINDOW);
inline const TColor clWindowText = TColor::Sys(COLOR_WINDOWTEXT);
inline const TColor clSilver = TColor::Rgb(RGB(0xC0, 0xC0, 0xC0));
inline const TColor clBlack = TColor::Rgb(RGB(0, 0, 0));

// A font in design units (height in pixels at 96 dpi, negative = character height).
struct TFontSpec {
  std::wstring name = L"Tahoma";
  int height = -11;
  bool bold = false;
  TColor color = clWindowText;
};

// RAII owners for GDI objects.
struct GdiDeleter {
  void operator()(HGDIOBJ h) const noexcept {
    if (h) DeleteObject(h);
  }
};
using FontHandle = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiDeleter>;
using BrushHandle = std::unique_ptr<std::remove_pointer_t<HBRUSH>, GdiDeleter>;
using BitmapHandle = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiDeleter>;

FontHandle CreateFontFor(const TFontSpec& font, int dpi);

class TWinControl : public TComponent {
 public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  std::wstring ClassName() const override { return L"TWinControl"; }

  // The window; created (with the parent's) on first use.
  HWND Handle();
  HWND WindowHandle() const noexcept { return handle_; }
  bool HandleAllocated() const noexcept { return handle_ != nullptr; }
  // The control of one of our windows; null for any other window.
  static TWinControl* FromHandle(HWND hwnd);
  // The innermost control of ours that contains `hwnd` (which may be a foreign child window).
  static TWinControl* FindControl(HWND hwnd);

  TWinControl* Parent() const noexcept { return parent_; }
  void SetParent(TWinControl* parent);
  const std::vector<TWinControl*>& Children() const noexcept { return children_; }
  // The form this control sits on (itself for a form).
  TForm* ParentForm();

  int Left() const noexcept { return bounds_.left; }
  int Top() const noexcept { return bounds_.top; }
  int Width() const noexcept { return bounds_.Width(); }
  int Height() const noexcept { return bounds_.Height(); }
  Rect Bounds() const noexcept { return bounds_; }
  virtual void SetBounds(int left, int top, int width, int height);
  // Bounds in design units, scaled by the owning form's layout scale.
  void SetDesignBounds(int left, int top, int width, int height);
  Rect ClientRect();

  TAlign Align() const noexcept { return align_; }
  void SetAlign(TAlign align);
  unsigned Anchors() const noexcept { return anchors_; }
  void SetAnchors(unsigned anchors) { anchors_ = anchors; }

  int TabOrder() const;
  void SetTabOrder(int order);
  bool TabStop() const noexcept { return tab_stop_; }
  void SetTabStop(bool value);

  bool Visible() const noexcept { return visible_; }
  void SetVisible(bool value);
  bool Enabled() const noexcept { return enabled_; }
  void SetEnabled(bool value);

  std::wstring Text() const;
  void SetText(const std::wstring& text);

  TColor Color() const noexcept { return color_; }
  void SetColor(TColor color);
  // A font of the control's own; without one the parent's is used.
  void SetFont(const TFontSpec& font);
  bool ParentFont() const noexcept { return !own_font_spec_; }
  HFONT Font();
  TColor FontColor();

  bool CanFocus();
  bool Focused();
  void SetFocus();
  // Controls that take every key themselves (the browser) are left alone by the form's
  // dialog keys.
  virtual bool WantsAllKeys() const { return false; }
  // Whether the control has a place in its parent's tab order (labels have none).
  virtual bool InTabList() const { return true; }

  // Re-lays out the children after a size change (docking, then anchors).
  void AlignControls();
  void Repaint();

 protected:
  struct CreateParamsT {
    std::wstring class_name;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    DWORD ex_style = 0;
    bool own_class = true;  // registered by us under class_name
    HMENU menu = nullptr;
    HWND owner = nullptr;  // top-level windows: the owner window
  };
  virtual void CreateParams(CreateParamsT& params);
  virtual void CreateHandle();
  virtual void HandleCreated() {}
  // The control's own messages. Default: the class's own behaviour.
  virtual LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);
  LRESULT DefaultProc(UINT msg, WPARAM wp, LPARAM lp);
  // Reflected notifications from the parent.
  virtual bool Command(WORD /*code*/) { return false; }
  virtual HBRUSH CtlColor(HDC dc);
  virtual void Resized() {}
  HBRUSH BackgroundBrush();
  void RecreateFont();
  LayoutScale FormScale();
  int FormDpi();

  Rect bounds_;
  bool visible_ = true;

 private:
  static LRESULT CALLBACK OwnClassProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  LRESULT Dispatch(UINT msg, WPARAM wp, LPARAM lp);
  void Detach() noexcept;
  // The child control whose window this is (reflected notifications come from children).
  TWinControl* ChildFromHandle(HWND hwnd) const noexcept;
  void InsertChild(TWinControl* child);
  void RemoveChild(TWinControl* child) noexcept;
  void UpdateAnchorMargins();
  // Moves the control to `r` (and lays out its children) when it is not there yet.
  void Place(const Rect& r);
  // The two steps of AlignControls: the docked children, then the anchored ones.
  void DockChildren(const Rect& area);
  void AnchorChildren(const Rect& area);

  HWND handle_ = nullptr;
  bool subclassed_ = false;  // a standard control with our procedure in its subclass chain
  TWinControl* parent_ = nullptr;
  std::vector<TWinControl*> children_;  // in tab order
  TAlign align_ = TAlign::alNone;
  unsigned anchors_ = akLeft | akTop;
  int anchor_right_ = 0, anchor_bottom_ = 0;  // distance to the parent's right and bottom edges
  bool anchors_known_ = false;
  bool tab_stop_ = false;
  bool enabled_ = true;
  std::wstring text_;
  TColor color_ = clDefault;
  std::unique_ptr<TFontSpec> own_font_spec_;
  FontHandle own_font_;
  BrushHandle brush_;
  COLORREF brush_color_ = CLR_INVALID;
};

// Puts the application icon into a window class, large and small.
void SetApplicationIcons(WNDCLASSEXW& wc);

// Registers (once) a window class of ours under the given name; top-level classes carry the
// application icon.
void RegisterOwnClass(const std::wstring& name, WNDPROC proc, UINT style, HBRUSH background,
                      bool with_icon);

}  // namespace reprisa
