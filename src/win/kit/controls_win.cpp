#include "win/kit/controls_win.h"

#include <commctrl.h>

#include <algorithm>
#include <set>

#include "core/exceptions.h"
#include "core/texts.h"
#include "win/kit/form_win.h"

namespace reprisa {

namespace {
// The id under which our procedure sits in a standard control's subclass chain; the control
// object itself is the reference data.
constexpr UINT_PTR kSubclassId = 1;

// Whether a window's client area is all of it: no border, no edge, no scroll bar, no caption.
bool HasEmptyFrame(HWND hwnd) {
  RECT w, c;
  if (!GetWindowRect(hwnd, &w) || !GetClientRect(hwnd, &c)) return false;
  return w.right - w.left == c.right - c.left && w.bottom - w.top == c.bottom - c.top;
}
}  // namespace

FontHandle CreateFontFor(const TFontSpec& font, int dpi) {
  LOGFONTW lf{};
  lf.lfHeight = ScaleFontHeight(font.height, dpi);
  lf.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = DEFAULT_QUALITY;
  lstrcpynW(lf.lfFaceName, font.name.c_str(), LF_FACESIZE);
  return FontHandle(CreateFontIndirectW(&lf));
}

void SetApplicationIcons(WNDCLASSEXW& wc) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  // Without a small icon of its own the class would get one scaled down from the large icon,
  // which takes longer than loading the icon file's own small image.
  wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON),
                                             GetSystemMetrics(SM_CYSMICON), LR_SHARED));
}

void RegisterOwnClass(const std::wstring& name, WNDPROC proc, UINT style, HBRUSH background,
                      bool with_icon) {
  static std::set<std::wstring> registered;
  if (registered.count(name)) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = style;
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = background;
  wc.lpszClassName = name.c_str();
  // Only top-level windows show the application icon; loading it costs start-up time.
  if (with_icon) SetApplicationIcons(wc);
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    throw EOutOfResources(std::wstring(texts::kWindowClassFailed));
  registered.insert(name);
}

TWinControl::TWinControl(TComponent* owner) : TComponent(owner) {}

TWinControl::~TWinControl() {
  BeginDestroy();
  DestroyComponents();
  if (handle_) {
    HWND h = handle_;
    DestroyWindow(h);  // WM_NCDESTROY detaches
    Detach();          // unless a procedure put on top of ours kept that message from us
  }
  for (TWinControl* c : children_) c->parent_ = nullptr;
  children_.clear();
  if (parent_) parent_->RemoveChild(this);
}

TWinControl* TWinControl::FromHandle(HWND hwnd) {
  if (!hwnd) return nullptr;
  // A window of one of our own classes keeps its control in its user data; a standard control
  // keeps it as the reference data of our place in its subclass chain. Anything else is not ours,
  // whatever its user data holds.
  if (GetClassLongPtrW(hwnd, GCLP_WNDPROC) == reinterpret_cast<ULONG_PTR>(&OwnClassProc))
    return reinterpret_cast<TWinControl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  DWORD_PTR ref = 0;
  if (GetWindowSubclass(hwnd, &SubclassProc, kSubclassId, &ref))
    return reinterpret_cast<TWinControl*>(ref);
  return nullptr;
}

TWinControl* TWinControl::ChildFromHandle(HWND hwnd) const noexcept {
  if (!hwnd) return nullptr;
  for (TWinControl* c : children_)
    if (c->handle_ == hwnd) return c;
  return nullptr;
}

TWinControl* TWinControl::FindControl(HWND hwnd) {
  while (hwnd) {
    if (TWinControl* c = FromHandle(hwnd)) return c;
    if (!(GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD)) break;
    hwnd = GetParent(hwnd);
  }
  return nullptr;
}

void TWinControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent_) parent_->RemoveChild(this);
  parent_ = parent;
  if (parent_) {
    parent_->InsertChild(this);
    if (parent_->HandleAllocated()) CreateHandle();
  }
}

TForm* TWinControl::ParentForm() {
  TWinControl* c = this;
  while (c->parent_) c = c->parent_;
  return dynamic_cast<TForm*>(c);
}

void TWinControl::InsertChild(TWinControl* child) { children_.push_back(child); }

void TWinControl::RemoveChild(TWinControl* child) noexcept {
  auto it = std::find(children_.begin(), children_.end(), child);
  if (it != children_.end()) children_.erase(it);
}

int TWinControl::TabOrder() const {
  if (!parent_ || !InTabList()) return -1;
  int index = 0;
  for (TWinControl* c : parent_->children_) {
    if (c == this) return index;
    if (c->InTabList()) ++index;
  }
  return -1;
}

void TWinControl::SetTabOrder(int order) {
  if (!parent_ || !InTabList()) return;
  auto& list = parent_->children_;
  list.erase(std::find(list.begin(), list.end(), this));
  // Insert before the sibling that holds the wanted place now (or at the end).
  auto at = list.end();
  int index = 0;
  for (auto it = list.begin(); it != list.end(); ++it) {
    if (!(*it)->InTabList()) continue;
    if (index == order) {
      at = it;
      break;
    }
    ++index;
  }
  at = list.insert(at, this);
  if (handle_) {
    // Z-order follows the tab order, so that the system's own navigation agrees with ours.
    HWND after = at == list.begin() ? HWND_TOP : (*(at - 1))->handle_;
    if (after) SetWindowPos(handle_, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void TWinControl::SetTabStop(bool value) {
  tab_stop_ = value;
  if (handle_) {
    LONG style = GetWindowLongW(handle_, GWL_STYLE);
    SetWindowLongW(handle_, GWL_STYLE, value ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP));
  }
}

LayoutScale TWinControl::FormScale() {
  TForm* f = dynamic_cast<TForm*>(Owner());
  if (!f) f = ParentForm();
  return f ? f->Scale() : LayoutScale();
}

int TWinControl::FormDpi() {
  TForm* f = dynamic_cast<TForm*>(Owner());
  if (!f) f = ParentForm();
  return f ? f->Dpi() : kDesignDpi;
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  bounds_ = {left, top, left + width, top + height};
  if (handle_) {
    MoveWindow(handle_, left, top, width, height, TRUE);
  }
  anchors_known_ = false;
}

void TWinControl::SetDesignBounds(int left, int top, int width, int height) {
  LayoutScale s = FormScale();
  SetBounds(s(left), s(top), s(width), s(height));
}

Rect TWinControl::ClientRect() {
  if (handle_) {
    RECT r;
    GetClientRect(handle_, &r);
    return {r.left, r.top, r.right, r.bottom};
  }
  return {0, 0, Width(), Height()};
}

void TWinControl::SetAlign(TAlign align) {
  align_ = align;
  if (parent_) parent_->AlignControls();
}

void TWinControl::UpdateAnchorMargins() {
  if (!parent_) return;
  Rect pc = parent_->ClientRect();
  anchor_right_ = pc.right - bounds_.right;
  anchor_bottom_ = pc.bottom - bounds_.bottom;
  anchors_known_ = true;
}

void TWinControl::AlignControls() {
  const Rect area = ClientRect();
  DockChildren(area);
  AnchorChildren(area);
}

void TWinControl::Place(const Rect& r) {
  if (bounds_ == r) return;
  bounds_ = r;
  if (handle_) MoveWindow(handle_, r.left, r.top, r.Width(), r.Height(), TRUE);
  AlignControls();
}

void TWinControl::DockChildren(const Rect& area) {
  Rect rest = area;
  for (TAlign pass : {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight,
                      TAlign::alClient}) {
    for (TWinControl* c : children_) {
      if (c->align_ != pass || !c->visible_) continue;
      int w = c->Width(), h = c->Height();
      switch (pass) {
        case TAlign::alTop:
          c->Place({rest.left, rest.top, rest.right, rest.top + h});
          rest.top += h;
          break;
        case TAlign::alBottom:
          c->Place({rest.left, rest.bottom - h, rest.right, rest.bottom});
          rest.bottom -= h;
          break;
        case TAlign::alLeft:
          c->Place({rest.left, rest.top, rest.left + w, rest.bottom});
          rest.left += w;
          break;
        case TAlign::alRight:
          c->Place({rest.right - w, rest.top, rest.right, rest.bottom});
          rest.right -= w;
          break;
        case TAlign::alClient:
          c->Place({rest.left, rest.top, std::max(rest.left, rest.right),
                    std::max(rest.top, rest.bottom)});
          break;
        default:
          break;
      }
    }
  }
}

void TWinControl::AnchorChildren(const Rect& area) {
  for (TWinControl* c : children_) {
    if (c->align_ != TAlign::alNone) continue;
    if (!c->anchors_known_) {
      c->UpdateAnchorMargins();
      continue;
    }
    Rect r = c->bounds_;
    if (c->anchors_ & akRight) {
      if (c->anchors_ & akLeft) r.right = std::max(r.left, area.right - c->anchor_right_);
      else { int w = r.Width(); r.right = area.right - c->anchor_right_; r.left = r.right - w; }
    }
    if (c->anchors_ & akBottom) {
      if (c->anchors_ & akTop) r.bottom = std::max(r.top, area.bottom - c->anchor_bottom_);
      else { int h = r.Height(); r.bottom = area.bottom - c->anchor_bottom_; r.top = r.bottom - h; }
    }
    c->Place(r);
  }
}

void TWinControl::SetVisible(bool value) {
  visible_ = value;
  if (handle_) ShowWindow(handle_, value ? SW_SHOWNA : SW_HIDE);
  if (parent_) parent_->AlignControls();
}

void TWinControl::SetEnabled(bool value) {
  enabled_ = value;
  if (handle_) EnableWindow(handle_, value);
}

std::wstring TWinControl::Text() const {
  if (!handle_) return text_;
  int len = GetWindowTextLengthW(handle_);
  std::wstring s(static_cast<std::size_t>(len) + 1, L'\0');
  int got = GetWindowTextW(handle_, s.data(), len + 1);
  s.resize(static_cast<std::size_t>(std::max(got, 0)));
  return s;
}

void TWinControl::SetText(const std::wstring& text) {
  text_ = text;
  if (handle_) SetWindowTextW(handle_, text.c_str());
}

void TWinControl::SetColor(TColor color) {
  color_ = color;
  if (handle_) InvalidateRect(handle_, nullptr, TRUE);
}

void TWinControl::SetFont(const TFontSpec& font) {
  own_font_spec_ = std::make_unique<TFontSpec>(font);
  own_font_.reset();
  RecreateFont();
}

void TWinControl::RecreateFont() {
  // The font itself is made when first needed (Font()), at the latest with the window.
  if (handle_) SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), TRUE);
  for (TWinControl* c : children_)
    if (c->ParentFont()) c->RecreateFont();
}

HFONT TWinControl::Font() {
  if (own_font_spec_) {
    if (!own_font_) own_font_ = CreateFontFor(*own_font_spec_, FormDpi());
    return own_font_.get();
  }
  return parent_ ? parent_->Font() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

TColor TWinControl::FontColor() {
  if (own_font_spec_) return own_font_spec_->color;
  return parent_ ? parent_->FontColor() : clWindowText;
}

HBRUSH TWinControl::BackgroundBrush() {
  TColor c = color_;
  if (c.IsDefault()) return parent_ ? parent_->BackgroundBrush() : GetSysColorBrush(COLOR_BTNFACE);
  if (c.system >= 0) return GetSysColorBrush(c.system);
  if (!brush_ || brush_color_ != c.rgb) {
    brush_.reset(CreateSolidBrush(c.rgb));
    brush_color_ = c.rgb;
  }
  return brush_.get();
}

HBRUSH TWinControl::CtlColor(HDC dc) {
  SetTextColor(dc, FontColor().Resolve());
  TColor c = color_;
  if (c.IsDefault() && parent_) c = parent_->color_.IsDefault() ? clBtnFace : parent_->color_;
  SetBkColor(dc, c.Resolve());
  return BackgroundBrush();
}

bool TWinControl::CanFocus() {
  for (TWinControl* c = this; c; c = c->parent_)
    if (!c->visible_ || !c->enabled_) return false;
  return handle_ && IsWindowVisible(handle_) && IsWindowEnabled(handle_);
}

bool TWinControl::Focused() {
  HWND f = GetFocus();
  return handle_ && f && (f == handle_ || (WantsAllKeys() && IsChild(handle_, f)));
}

void TWinControl::SetFocus() {
  if (HWND h = Handle()) ::SetFocus(h);
}

void TWinControl::Repaint() {
  if (handle_) {
    InvalidateRect(handle_, nullptr, TRUE);
    UpdateWindow(handle_);
  }
}

void TWinControl::CreateParams(CreateParamsT& params) {
  params.class_name = ClassName();
  params.style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  params.own_class = true;
}

HWND TWinControl::Handle() {
  if (!handle_) {
    if (parent_ && !parent_->handle_) parent_->Handle();
    if (!handle_) CreateHandle();
  }
  return handle_;
}

void TWinControl::CreateHandle() {
  if (handle_) return;
  CreateParamsT p;
  CreateParams(p);
  if (visible_ && (p.style & WS_CHILD)) p.style |= WS_VISIBLE;
  if (!enabled_) p.style |= WS_DISABLED;
  if (tab_stop_) p.style |= WS_TABSTOP;
  HWND parent_hwnd = parent_ ? parent_->Handle() : p.owner;
  if (p.own_class)
    RegisterOwnClass(p.class_name, &OwnClassProc, CS_DBLCLKS, nullptr, !(p.style & WS_CHILD));
  // Our own classes bind the window to `this` at WM_NCCREATE (from the creation parameter).
  HWND h = CreateWindowExW(p.ex_style, p.class_name.c_str(), text_.c_str(), p.style,
                           bounds_.left, bounds_.top, bounds_.Width(), bounds_.Height(),
                           parent_hwnd, p.menu, GetModuleHandleW(nullptr), this);
  // A window of a system class: our procedure joins its subclass chain and passes on what it
  // leaves alone.
  if (h && !p.own_class) {
    if (SetWindowSubclass(h, &SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
      handle_ = h;
      subclassed_ = true;
    }
  }
  if (!h || handle_ != h) {
    if (h) DestroyWindow(h);
    handle_ = nullptr;
    subclassed_ = false;
    throw EOutOfResources(std::wstring(texts::kWindowFailed) + ClassName());
  }
  SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);
  // Pictures and texts sit below the controls that share their parent, so that a text that runs
  // long never hides the control next to it: a new child window goes below its older siblings,
  // so they are made last.
  for (TWinControl* c : children_)
    if (c->InTabList()) c->CreateHandle();
  for (TWinControl* c : children_)
    if (!c->InTabList()) c->CreateHandle();
  HandleCreated();
  AlignControls();
}

void TWinControl::Detach() noexcept {
  if (!handle_) return;
  // The window forgets us only if it still names us: a handle the system has already given to
  // a new window belongs to that window's control.
  if (subclassed_) {
    DWORD_PTR ref = 0;
    if (GetWindowSubclass(handle_, &SubclassProc, kSubclassId, &ref) &&
        ref == reinterpret_cast<DWORD_PTR>(this))
      RemoveWindowSubclass(handle_, &SubclassProc, kSubclassId);
  } else if (GetWindowLongPtrW(handle_, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(this)) {
    SetWindowLongPtrW(handle_, GWLP_USERDATA, 0);
  }
  subclassed_ = false;
  handle_ = nullptr;
}

LRESULT CALLBACK TWinControl::OwnClassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  TWinControl* self;
  if (msg == WM_NCCREATE) {
    self = static_cast<TWinControl*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    if (self) {
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
      self->handle_ = hwnd;
    }
  } else {
    // Null before WM_NCCREATE (a top-level window is asked for its size limits first) and
    // after WM_NCDESTROY.
    self = reinterpret_cast<TWinControl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  return self->Dispatch(msg, wp, lp);
}

LRESULT CALLBACK TWinControl::SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                           DWORD_PTR ref) {
  auto* self = reinterpret_cast<TWinControl*>(ref);
  if (!self || self->handle_ != hwnd) return DefSubclassProc(hwnd, msg, wp, lp);
  return self->Dispatch(msg, wp, lp);
}

LRESULT TWinControl::Dispatch(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  try {
    result = WndProc(msg, wp, lp);
  } catch (...) {
    HandleException(this);
  }
  if (msg == WM_NCDESTROY) Detach();
  return result;
}

LRESULT TWinControl::DefaultProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (subclassed_) return DefSubclassProc(handle_, msg, wp, lp);
  return DefWindowProcW(handle_, msg, wp, lp);
}

LRESULT TWinControl::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      if (lp) {
        if (TWinControl* c = ChildFromHandle(reinterpret_cast<HWND>(lp)); c && c->Command(HIWORD(wp)))
          return 0;
      }
      break;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      if (TWinControl* c = ChildFromHandle(reinterpret_cast<HWND>(lp)))
        return reinterpret_cast<LRESULT>(c->CtlColor(reinterpret_cast<HDC>(wp)));
      break;
    case WM_SETFOCUS:
      // The form remembers which of its controls had the focus last, to give it back.
      if (TForm* f = ParentForm(); f && f != this) f->active_control_ = this;
      break;
    case WM_NCPAINT:
      // A child without a frame has nothing outside its client area to paint; the default
      // handling would still prepare a window DC for it, which adds up over a form's children.
      if (parent_ && HasEmptyFrame(handle_)) return 0;
      break;
    case WM_ERASEBKGND:
      if (!subclassed_) {
        RECT r;
        GetClientRect(handle_, &r);
        FillRect(reinterpret_cast<HDC>(wp), &r, BackgroundBrush());
        return 1;
      }
      break;
    case WM_MOVE:
      if (!IsIconic(handle_)) {
        RECT r;
        GetWindowRect(handle_, &r);
        if (parent_) MapWindowPoints(HWND_DESKTOP, parent_->handle_, reinterpret_cast<POINT*>(&r), 2);
        bounds_ = {r.left, r.top, r.right, r.bottom};
      }
      break;
    case WM_SIZE:
      if (wp != SIZE_MINIMIZED) {
        RECT r;
        GetWindowRect(handle_, &r);
        if (parent_) MapWindowPoints(HWND_DESKTOP, parent_->handle_, reinterpret_cast<POINT*>(&r), 2);
        bounds_ = {r.left, r.top, r.right, r.bottom};
        AlignControls();
        Resized();
      }
      break;
    default:
      break;
  }
  return DefaultProc(msg, wp, lp);
}

}  // namespace reprisa
