#include "win/kit/stdctrls_win.h"

#include "core/exceptions.h"
#include "core/texts.h"
#include "win/kit/kit_resource_ids.h"
#include "win/kit/form_win.h"

namespace reprisa {

namespace {
// One WM_PAINT: BeginPaint, the client rectangle, and EndPaint when it goes.
struct PaintScope {
  explicit PaintScope(HWND window) : hwnd(window), dc(BeginPaint(window, &ps)) {
    GetClientRect(window, &client);
  }
  ~PaintScope() { EndPaint(hwnd, &ps); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;

  HWND hwnd;
  PAINTSTRUCT ps{};
  HDC dc;
  RECT client{};
};
}  // namespace

// ---- TPanel ------------------------------------------------------------------------------------

TPanel::TPanel(TComponent* owner) : TWinControl(owner) {}

void TPanel::SetBevels(TBevelCut inner, TBevelCut outer) {
  inner_ = inner;
  outer_ = outer;
  if (HWND h = WindowHandle()) InvalidateRect(h, nullptr, TRUE);
}

void TPanel::CreateParams(CreateParamsT& p) {
  TWinControl::CreateParams(p);
  p.ex_style |= WS_EX_CONTROLPARENT;
}

LRESULT TPanel::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    PaintScope paint(WindowHandle());
    HDC dc = paint.dc;
    RECT r = paint.client;
    if (outer_ != TBevelCut::bvNone) {
      DrawEdge(dc, &r, outer_ == TBevelCut::bvRaised ? BDR_RAISEDOUTER : BDR_SUNKENOUTER, BF_RECT);
      InflateRect(&r, -1, -1);
    }
    if (inner_ != TBevelCut::bvNone)
      DrawEdge(dc, &r, inner_ == TBevelCut::bvRaised ? BDR_RAISEDINNER : BDR_SUNKENINNER, BF_RECT);
    return 0;
  }
  return TWinControl::WndProc(msg, wp, lp);
}

// ---- TLabel ------------------------------------------------------------------------------------

TLabel::TLabel(TComponent* owner) : TWinControl(owner) {}

void TLabel::SetCaption(const std::wstring& caption) {
  SetText(caption);
  if (HandleAllocated()) AdjustSize();
  if (focus_control_) ClipToWindowsAfter();
}

void TLabel::CreateParams(CreateParamsT& p) {
  AdjustSize();  // the window is made at the size of its text
  TWinControl::CreateParams(p);
  p.class_name = L"STATIC";
  p.own_class = false;
  p.style = WS_CHILD | WS_CLIPSIBLINGS | SS_NOPREFIX | (word_wrap_ ? SS_LEFT : SS_LEFTNOWORDWRAP);
}

void TLabel::AdjustSize() {
  if (!auto_size_ || word_wrap_) return;
  // A memory device context measures as well as the window's and costs far less to get.
  static HDC measure = CreateCompatibleDC(nullptr);
  if (!measure) return;
  HGDIOBJ old = SelectObject(measure, Font());
  std::wstring text = Text();
  RECT r{0, 0, 0, 0};
  DrawTextW(measure, text.empty() ? L" " : text.c_str(), -1, &r,
            DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(measure, old);
  if (Width() != r.right - r.left || Height() != r.bottom - r.top)
    SetBounds(Left(), Top(), r.right - r.left, r.bottom - r.top);
}

void TLabel::SetFocusControl(TWinControl* control) {
  focus_control_ = control;
  PlaceBeforeFocusControl();
}

void TLabel::HandleCreated() { PlaceBeforeFocusControl(); }

void TLabel::PlaceBeforeFocusControl() noexcept {
  HWND label = WindowHandle();
  HWND field = focus_control_ ? focus_control_->WindowHandle() : nullptr;
  if (!label || !field || GetParent(label) != GetParent(field)) return;
  HWND before = GetWindow(field, GW_HWNDPREV);
  if (before != label)
    SetWindowPos(label, before ? before : HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ClipToWindowsAfter();
}

void TLabel::ClipToWindowsAfter() noexcept {
  HWND label = WindowHandle();
  if (!label) return;
  RECT own;
  GetWindowRect(label, &own);
  HRGN shown = CreateRectRgn(0, 0, own.right - own.left, own.bottom - own.top);
  if (!shown) return;
  bool cut = false;
  for (HWND h = GetWindow(label, GW_HWNDNEXT); h; h = GetWindow(h, GW_HWNDNEXT)) {
    RECT r, overlap;
    if (!(GetWindowLongW(h, GWL_STYLE) & WS_VISIBLE) || !GetWindowRect(h, &r) ||
        !IntersectRect(&overlap, &r, &own))
      continue;
    OffsetRect(&overlap, -own.left, -own.top);
    if (HRGN hole = CreateRectRgnIndirect(&overlap)) {
      cut = CombineRgn(shown, shown, hole, RGN_DIFF) != ERROR || cut;
      DeleteObject(hole);
    }
  }
  // The window owns a region it is given.
  if (!cut || !SetWindowRgn(label, shown, TRUE)) DeleteObject(shown);
  if (!cut) SetWindowRgn(label, nullptr, TRUE);
}

HBRUSH TLabel::CtlColor(HDC dc) {
  SetTextColor(dc, FontColor().Resolve());
  SetBkMode(dc, TRANSPARENT);
  return BackgroundBrush();
}

TLabel* NewLabel(TComponent* owner, const wchar_t* name, TWinControl* parent, int left, int top,
                 const std::wstring& caption) {
  auto* l = NewControl<TLabel>(owner, name, parent);
  l->SetDesignBounds(left, top, 0, 13);
  l->SetCaption(caption);
  return l;
}

// ---- TEdit -------------------------------------------------------------------------------------

TEdit::TEdit(TComponent* owner) : TWinControl(owner) {
  SetTabStop(true);
  SetColor(clWindow);
}

void TEdit::SetReadOnly(bool value) {
  read_only_ = value;
  if (HWND h = WindowHandle()) SendMessageW(h, EM_SETREADONLY, value, 0);
}

void TEdit::CreateParams(CreateParamsT& p) {
  TWinControl::CreateParams(p);
  p.class_name = L"EDIT";
  p.own_class = false;
  p.style = WS_CHILD | WS_CLIPSIBLINGS | ES_AUTOHSCROLL | ES_LEFT | (read_only_ ? ES_READONLY : 0);
  p.ex_style = WS_EX_CLIENTEDGE;
}

LRESULT TEdit::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CHAR && OnKeyPress) {
    wchar_t key = static_cast<wchar_t>(wp);
    OnKeyPress(this, key);
    if (key == 0) return 0;
    wp = key;
  }
  return TWinControl::WndProc(msg, wp, lp);
}

// ---- TButtonControl ----------------------------------------------------------------------------

TButtonControl::TButtonControl(TComponent* owner) : TWinControl(owner) { SetTabStop(true); }

void TButtonControl::CreateParams(CreateParamsT& p) {
  TWinControl::CreateParams(p);
  p.class_name = L"BUTTON";
  p.own_class = false;
  p.style = WS_CHILD | WS_CLIPSIBLINGS | (default_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
}

void TButtonControl::SetDefault(bool value) {
  default_ = value;
  if (TForm* f = dynamic_cast<TForm*>(Owner())) {
    if (value) f->SetDefaultButton(this);
    else if (f->DefaultButton() == this) f->SetDefaultButton(nullptr);
  }
  if (HWND h = WindowHandle()) SendMessageW(h, BM_SETSTYLE, value ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButtonControl::SetCancel(bool value) {
  if (TForm* f = dynamic_cast<TForm*>(Owner())) {
    if (value) f->SetCancelButton(this);
    else if (f->CancelButton() == this) f->SetCancelButton(nullptr);
  }
}

void TButtonControl::Click() {
  if (modal_result_ != mrNone)
    if (TForm* f = ParentForm()) f->SetModalResult(modal_result_);
  if (OnClick) OnClick(this);
}

bool TButtonControl::Command(WORD code) {
  if (code != BN_CLICKED) return false;
  Click();
  return true;
}

// ---- TBitBtn -----------------------------------------------------------------------------------

TBitBtn::TBitBtn(TComponent* owner) : TButtonControl(owner) {}

TBitBtn::~TBitBtn() {
  if (!image_list_) return;
  if (HWND h = WindowHandle()) {
    BUTTON_IMAGELIST none{};
    none.himl = nullptr;
    SendMessageW(h, BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&none));
  }
  ImageList_Destroy(image_list_);
}

namespace {
// What a button of a stock kind brings: its result, its glyphs and its caption.
struct StockKind {
  TBitBtnKind kind;
  int modal_result;
  int glyph_id, disabled_id;
  std::wstring_view caption;
};
constexpr StockKind kStockKinds[] = {
    {TBitBtnKind::bkOK, mrOk, IDB_GLYPH_OK, IDB_GLYPH_OK_DISABLED, texts::kButtonOk},
    {TBitBtnKind::bkCancel, mrCancel, IDB_GLYPH_CANCEL, IDB_GLYPH_CANCEL_DISABLED,
     texts::kButtonCancel},
    {TBitBtnKind::bkRetry, mrRetry, IDB_GLYPH_RETRY, IDB_GLYPH_RETRY_DISABLED,
     texts::kButtonRetry},
};
constexpr int kStockGlyphSize = 18;
}  // namespace

void TBitBtn::SetKind(TBitBtnKind kind) {
  kind_ = kind;
  if (kind == TBitBtnKind::bkOK) SetDefault(true);
  if (kind == TBitBtnKind::bkCancel) SetCancel(true);
  for (const StockKind& stock : kStockKinds) {
    if (stock.kind != kind) continue;
    SetModalResult(stock.modal_result);
    SetGlyph(stock.glyph_id, stock.disabled_id, kStockGlyphSize);
    if (Text().empty()) SetText(std::wstring(stock.caption));
  }
}

void TBitBtn::SetGlyph(int normal_id, int disabled_id, int size) {
  glyph_id_ = normal_id;
  disabled_id_ = disabled_id;
  glyph_size_ = size;
  if (HandleAllocated()) LoadGlyph();
}

void TBitBtn::HandleCreated() {
  if (glyph_id_) LoadGlyph();
}

void TBitBtn::LoadGlyph() {
  HINSTANCE inst = GetModuleHandleW(nullptr);
  auto load = [&](int id) {
    return BitmapHandle(static_cast<HBITMAP>(
        LoadImageW(inst, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  };
  BitmapHandle normal = load(glyph_id_), disabled = load(disabled_id_);
  if (!normal) return;  // a missing glyph leaves a plain button
  if (!disabled) disabled = load(glyph_id_);
  HIMAGELIST list = ImageList_Create(glyph_size_, glyph_size_, ILC_COLOR32, 6, 0);
  if (!list) return;
  // normal, hot, pressed, disabled, defaulted, stylus-hot
  for (int i = 0; i < 6; ++i) ImageList_Add(list, i == 3 ? disabled.get() : normal.get(), nullptr);
  BUTTON_IMAGELIST bil{};
  bil.himl = list;
  bil.margin = {2, 0, 2, 0};
  bil.uAlign = BUTTON_IMAGELIST_ALIGN_LEFT;
  SendMessageW(WindowHandle(), BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&bil));
  if (image_list_) ImageList_Destroy(image_list_);
  image_list_ = list;
}

// ---- TImage ------------------------------------------------------------------------------------

HBITMAP CreateBitmapFromPixels(const PixelImage& image) {
  if (image.width <= 0 || image.height <= 0 ||
      image.bgra.size() < static_cast<std::size_t>(image.width) * image.height * 4)
    return nullptr;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = image.width;
  bi.bmiHeader.biHeight = -image.height;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bmp || !bits) return bmp;
  std::copy(image.bgra.begin(), image.bgra.begin() + static_cast<std::ptrdiff_t>(image.width) * image.height * 4,
            static_cast<std::uint8_t*>(bits));
  return bmp;
}

TImage::TImage(TComponent* owner) : TWinControl(owner) {}

void TImage::SetPicture(const PixelImage& image) {
  bitmap_.reset(CreateBitmapFromPixels(image));
  picture_width_ = bitmap_ ? image.width : 0;
  picture_height_ = bitmap_ ? image.height : 0;
  if (HWND h = WindowHandle()) InvalidateRect(h, nullptr, TRUE);
}

LRESULT TImage::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    PaintScope paint(WindowHandle());
    HDC dc = paint.dc;
    const RECT& r = paint.client;
    if (bitmap_) {
      HDC mem = CreateCompatibleDC(dc);
      HGDIOBJ old = SelectObject(mem, bitmap_.get());
      SetStretchBltMode(dc, HALFTONE);
      SetBrushOrgEx(dc, 0, 0, nullptr);
      if (stretch_)
        StretchBlt(dc, 0, 0, r.right, r.bottom, mem, 0, 0, picture_width_, picture_height_, SRCCOPY);
      else
        BitBlt(dc, 0, 0, picture_width_, picture_height_, mem, 0, 0, SRCCOPY);
      SelectObject(mem, old);
      DeleteDC(mem);
    }
    return 0;
  }
  return TWinControl::WndProc(msg, wp, lp);
}

// ---- Menus -------------------------------------------------------------------------------------

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner) {}

void TMenuItem::Click() {
  if (OnClick) OnClick(this);
}

TMainMenu::TMainMenu(TComponent* owner) : TComponent(owner) {}

TMainMenu::~TMainMenu() {
  // A menu still attached to its window is destroyed with the window.
  if (handle_ && !IsMenu(handle_)) handle_ = nullptr;
  if (handle_) {
    bool attached = false;
    if (TForm* f = dynamic_cast<TForm*>(Owner()); f && f->WindowHandle())
      attached = GetMenu(f->WindowHandle()) == handle_;
    if (!attached) DestroyMenu(handle_);
  }
}

HMENU TMainMenu::Handle() {
  if (!handle_) {
    handle_ = CreateMenu();
    if (!handle_) throw EOutOfResources(std::wstring(texts::kMenuFailed));
    Build(handle_, items_);
  }
  return handle_;
}

void TMainMenu::Build(HMENU menu, const std::vector<TMenuItem*>& items) {
  for (TMenuItem* item : items) {
    if (!item->items_.empty()) {
      HMENU popup = CreatePopupMenu();
      Build(popup, item->items_);
      AppendMenuW(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), item->caption_.c_str());
    } else {
      item->command_ = next_id_++;
      AppendMenuW(menu, MF_STRING, item->command_, item->caption_.c_str());
    }
  }
}

TMenuItem* TMainMenu::Find(const std::vector<TMenuItem*>& items, UINT id) {
  for (TMenuItem* item : items) {
    if (item->items_.empty() && item->command_ == id) return item;
    if (TMenuItem* found = Find(item->items_, id)) return found;
  }
  return nullptr;
}

bool TMainMenu::DispatchCommand(UINT id) {
  TMenuItem* item = Find(items_, id);
  if (!item) return false;
  item->Click();
  return true;
}

}  // namespace reprisa
