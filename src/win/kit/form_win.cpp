#include "win/kit/form_win.h"

#include <algorithm>

#include "win/kit/application_win.h"
#include "core/exceptions.h"
#include "core/texts.h"
#include "win/kit/startup_trace_win.h"
#include "win/kit/stdctrls_win.h"

namespace reprisa {

namespace {
int g_dpi_override = 0;

void CollectTabStops(TWinControl* c, std::vector<TWinControl*>& out) {
  for (TWinControl* child : c->Children()) {
    if (!child->Visible() || !child->Enabled() || !child->HandleAllocated()) continue;
    if (child->TabStop()) out.push_back(child);
    if (!child->WantsAllKeys()) CollectTabStops(child, out);
  }
}

bool IsEditWindow(HWND hwnd) {
  wchar_t cls[16] = {};
  GetClassNameW(hwnd, cls, 16);
  return lstrcmpiW(cls, L"Edit") == 0;
}
}  // namespace

int ScreenDpi() {
  if (g_dpi_override > 0) return g_dpi_override;
  // The system dpi of a process is fixed when it starts (a change needs a new sign-in), so it is
  // asked for once.
  static const int screen_dpi = [] {
    HDC dc = GetDC(nullptr);
    int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : kDesignDpi;
    if (dc) ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : kDesignDpi;
  }();
  return screen_dpi;
}

void SetScreenDpiOverride(int dpi) { g_dpi_override = dpi; }

TForm::TForm(TComponent* owner) : TWinControl(owner) {
  BeginLoading();
  dpi_ = ScreenDpi();
  SetDesignFont(font_spec_);
  SetColor(clBtnFace);
  if (Application && owner == Application) Application->RegisterCreating(this);
  if (Application) Application->AddMessageFilter(this);
}

void TForm::BeforeDestruction() {
  if (destroy_event_done_) return;
  destroy_event_done_ = true;
  if (OnDestroy) {
    try {
      OnDestroy(this);
    } catch (...) {
      HandleException(this);
    }
  }
}

TForm::~TForm() {
  // A form deleted directly (not by its owner) still gets its destroy event, while its
  // components and its window exist.
  BeforeDestruction();
  if (Application) {
    Application->RemoveMessageFilter(this);
    Application->FormDestroyed(this);
  }
  BeginDestroy();
  DestroyComponents();
  if (HWND h = WindowHandle()) {
    if (GetActiveWindow() == h) SetActiveWindow(nullptr);
    DestroyWindow(h);
  }
}

void TForm::SetDesignFont(const TFontSpec& font) {
  font_spec_ = font;
  SetFont(font);
  int text_height = kDesignTextHeight;
  // At the design resolution nothing scales, so the font need not be measured (or made) yet.
  if (HDC dc = dpi_ == kDesignDpi ? nullptr : GetDC(nullptr)) {
    HGDIOBJ old = SelectObject(dc, Font());
    TEXTMETRICW tm{};
    if (GetTextMetricsW(dc, &tm)) text_height = tm.tmHeight;
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
  }
  scale_ = LayoutScale(dpi_, text_height);
}

void TForm::SetDesignClientSize(int width, int height) {
  design_client_width_ = width;
  design_client_height_ = height;
  bounds_.right = bounds_.left + scale_(width);
  bounds_.bottom = bounds_.top + scale_(height);
  if (HandleAllocated()) ApplyClientSize();
}

int TForm::ClientWidth() { return ClientRect().Width(); }
int TForm::ClientHeight() { return ClientRect().Height(); }

void TForm::SetBorderIcons(unsigned icons) {
  border_icons_ = icons;
  if (HWND h = WindowHandle()) {
    LONG style = GetWindowLongW(h, GWL_STYLE);
    style = (icons & biMaximize) ? (style | WS_MAXIMIZEBOX) : (style & ~WS_MAXIMIZEBOX);
    style = (icons & biMinimize) ? (style | WS_MINIMIZEBOX) : (style & ~WS_MINIMIZEBOX);
    SetWindowLongW(h, GWL_STYLE, style);
    SetWindowPos(h, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  }
}

bool TForm::IsMainForm() const { return Application && Application->MainForm() == this; }

void TForm::CreateParams(CreateParamsT& p) {
  p.class_name = ClassName();
  p.own_class = true;
  p.ex_style = 0;
  switch (border_style_) {
    case TBorderStyle::bsDialog:
      p.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
      p.ex_style = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
      break;
    case TBorderStyle::bsSingle:
      p.style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_BORDER;
      break;
    case TBorderStyle::bsNone:
      p.style = WS_POPUP;
      break;
    default:
      p.style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
      break;
  }
  if (border_style_ != TBorderStyle::bsDialog) {
    if (border_icons_ & biMinimize) p.style |= WS_MINIMIZEBOX;
    if (border_icons_ & biMaximize) p.style |= WS_MAXIMIZEBOX;
  }
  p.style |= WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  p.ex_style |= WS_EX_CONTROLPARENT;
  if (Application) {
    if (IsMainForm() && Application->MainFormOnTaskBar()) {
      p.ex_style |= WS_EX_APPWINDOW;
      p.owner = nullptr;
    } else if (Application->MainForm() && Application->MainForm() != this &&
               Application->MainForm()->HandleAllocated()) {
      p.owner = Application->MainForm()->WindowHandle();
    } else {
      p.owner = Application->Handle();
    }
  }
  if (menu_) p.menu = menu_->Handle();
  visible_ = false;  // a form is shown by Show() or ShowModal(), never at creation
}

void TForm::CreateHandle() {
  // The window is made at the size that gives the design client area, so that no resize
  // follows its creation.
  if (design_client_width_ > 0 && !WindowHandle()) {
    CreateParamsT p;
    CreateParams(p);
    RECT r{0, 0, scale_(design_client_width_), scale_(design_client_height_)};
    AdjustWindowRectEx(&r, p.style, p.menu != nullptr, p.ex_style);
    bounds_.right = bounds_.left + (r.right - r.left);
    bounds_.bottom = bounds_.top + (r.bottom - r.top);
  }
  TWinControl::CreateHandle();
}

void TForm::HandleCreated() { ApplyClientSize(); }

void TForm::ApplyClientSize() {
  HWND h = WindowHandle();
  if (!h || design_client_width_ <= 0) return;
  int want_w = scale_(design_client_width_), want_h = scale_(design_client_height_);
  RECT c;
  GetClientRect(h, &c);
  if (c.right == want_w && c.bottom == want_h) return;
  RECT r{0, 0, want_w, want_h};
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongW(h, GWL_STYLE)), GetMenu(h) != nullptr,
                     static_cast<DWORD>(GetWindowLongW(h, GWL_EXSTYLE)));
  SetWindowPos(h, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // A menu bar that wraps takes more room than the adjustment assumed: correct once more.
  GetClientRect(h, &c);
  int dw = want_w - c.right, dh = want_h - c.bottom;
  if (dw != 0 || dh != 0) {
    RECT w;
    GetWindowRect(h, &w);
    SetWindowPos(h, nullptr, 0, 0, w.right - w.left + dw, w.bottom - w.top + dh,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void TForm::SetMenu(TMainMenu* menu) {
  menu_ = menu;
  if (HWND h = WindowHandle()) {
    ::SetMenu(h, menu ? menu->Handle() : nullptr);
    ApplyClientSize();
  }
}

TWindowState TForm::WindowState() {
  HWND h = WindowHandle();
  if (h && IsWindowVisible(h)) {
    if (IsIconic(h)) return TWindowState::wsMinimized;
    if (IsZoomed(h)) return TWindowState::wsMaximized;
    return TWindowState::wsNormal;
  }
  return window_state_;
}

void TForm::SetWindowState(TWindowState state) {
  window_state_ = state;
  HWND h = WindowHandle();
  if (h && IsWindowVisible(h)) {
    ShowWindow(h, state == TWindowState::wsMinimized   ? SW_MINIMIZE
                  : state == TWindowState::wsMaximized ? SW_SHOWMAXIMIZED
                                                       : SW_RESTORE);
  }
}

TWinControl* TForm::ActiveControl() {
  if (HWND h = WindowHandle(); h && GetActiveWindow() == h) {
    if (TWinControl* c = FindControl(GetFocus()); c && c != this) return c;
  }
  return active_control_;
}

void TForm::SetActiveControl(TWinControl* control) {
  active_control_ = control;
  if (HWND h = WindowHandle(); h && control && GetActiveWindow() == h && control->CanFocus())
    control->SetFocus();
}

void TForm::FinishBuilding() {
  class_name_ = ClassName();
  // The main window gets its windows at once; any other form when it is first shown, which
  // keeps start-up short.
  if (IsMainForm()) Handle();
  EndLoading();
  if (OnCreate) OnCreate(this);
}

void TForm::DoShow() {
  if (OnShow) OnShow(this);
  if (position_ == TPosition::poScreenCenter && !shown_once_) {
    CenterOnScreen();
    position_ = TPosition::poDesigned;
  }
  shown_once_ = true;
}

void TForm::CenterOnScreen() {
  HWND h = Handle();
  RECT wa{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &wa, 0);
  RECT wr;
  GetWindowRect(h, &wr);
  Point p = CenterOnWorkArea({wa.left, wa.top, wa.right, wa.bottom}, wr.right - wr.left,
                             wr.bottom - wr.top);
  SetWindowPos(h, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::Show() {
  HWND h = Handle();
  if (!IsWindowVisible(h)) {
    DoShow();
    StartupMark("show: show event (placement read and applied)");
    int cmd = SW_SHOWNORMAL;
    if (window_state_ == TWindowState::wsMaximized) cmd = SW_SHOWMAXIMIZED;
    else if (window_state_ == TWindowState::wsMinimized) cmd = SW_SHOWMINNOACTIVE;
    // Visible before the system activates the window, so that activation can focus a control.
    visible_ = true;
    ShowWindow(h, cmd);
    StartupMark("show: ShowWindow");
    Shown();
    StartupMark("show: after-show work");
  }
  if (!IsIconic(h)) SetForegroundWindow(h);
  StartupMark("show: brought to the foreground");
}

void TForm::Hide() {
  if (HWND h = WindowHandle(); h && IsWindowVisible(h)) {
    if (OnHide) OnHide(this);
    ShowWindow(h, SW_HIDE);
  }
  visible_ = false;
}

bool TForm::CloseQuery() {
  bool can_close = true;
  if (OnCloseQuery) OnCloseQuery(this, can_close);
  return can_close;
}

void TForm::Close() {
  if (modal_) {
    if (CloseQuery()) modal_result_ = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = IsMainForm() ? TCloseAction::caFree : TCloseAction::caHide;
  if (OnClose) OnClose(this, action);
  if (action == TCloseAction::caNone) return;
  if (IsMainForm()) {
    Application->Terminate();
  } else if (action == TCloseAction::caMinimize) {
    SetWindowState(TWindowState::wsMinimized);
  } else {
    Hide();
  }
}

int TForm::ShowModal() {
  HWND h = Handle();
  if (IsWindowVisible(h) || modal_)
    throw Exception(std::wstring(texts::kVisibleWindowModal));
  if (GetCapture()) SendMessageW(GetCapture(), WM_CANCELMODE, 0, 0);
  ReleaseCapture();
  TModalScope scope(h);
  modal_ = true;
  modal_result_ = mrNone;
  auto restore = [&] {
    scope.EnableOthers();  // before the window goes, so that the system can activate its owner
    Hide();
    modal_ = false;
    scope.End();
    if (Application->Terminated()) PostQuitMessage(0);  // hand the quit on to the outer loop
  };
  try {
    Show();
    while (modal_result_ == mrNone) {
      Application->HandleMessage();
      if (Application->Terminated()) modal_result_ = mrCancel;
    }
  } catch (...) {
    restore();
    throw;  // a failure while showing goes on to the error handler
  }
  restore();
  return modal_result_;
}

TWinControl* TForm::FocusTarget() {
  TWinControl* target = active_control_;
  if (!target || !target->CanFocus()) {
    std::vector<TWinControl*> stops;
    CollectTabStops(this, stops);
    target = stops.empty() ? nullptr : stops.front();
  }
  return target && target->CanFocus() ? target : nullptr;
}

bool TForm::SelectNext(bool forward) { return SelectNextFrom(FindControl(GetFocus()), forward); }

bool TForm::SelectNextFrom(TWinControl* current, bool forward) {
  std::vector<TWinControl*> stops;
  CollectTabStops(this, stops);
  if (stops.empty()) return false;
  auto it = stops.end();
  for (TWinControl* c = current; c && it == stops.end(); c = c->Parent())
    it = std::find(stops.begin(), stops.end(), c);
  std::size_t index;
  if (it == stops.end()) {
    index = forward ? 0 : stops.size() - 1;
  } else {
    std::size_t at = static_cast<std::size_t>(it - stops.begin());
    index = forward ? (at + 1) % stops.size() : (at + stops.size() - 1) % stops.size();
  }
  TWinControl* next = stops[index];
  next->SetFocus();
  if (IsEditWindow(next->WindowHandle())) SendMessageW(next->WindowHandle(), EM_SETSEL, 0, -1);
  return true;
}

bool TForm::PreTranslateMessage(MSG& msg) {
  if (msg.message != WM_KEYDOWN) return false;
  HWND h = WindowHandle();
  if (!h || !msg.hwnd || GetAncestor(msg.hwnd, GA_ROOT) != h) return false;
  TWinControl* target = FindControl(msg.hwnd);
  if (!target) return false;
  bool shift = GetKeyState(VK_SHIFT) < 0, ctrl = GetKeyState(VK_CONTROL) < 0,
       alt = GetKeyState(VK_MENU) < 0;
  // Keys inside the page belong to the browser, which has seen them first; only a Tab that the
  // page did not take moves on to the next control, so that the keyboard can leave the page.
  for (TWinControl* c = target; c; c = c->Parent())
    if (c->WantsAllKeys()) return msg.wParam == VK_TAB && !ctrl && !alt && SelectNext(!shift);
  switch (msg.wParam) {
    case VK_TAB:
      if (ctrl || alt) return false;
      return SelectNext(!shift);
    case VK_RETURN: {
      if (shift || ctrl || alt) return false;
      if (auto* button = dynamic_cast<TButtonControl*>(target)) {
        button->Click();
        return true;
      }
      if (default_button_ && default_button_->CanFocus()) {
        default_button_->Click();
        return true;
      }
      return false;
    }
    case VK_ESCAPE:
      if (shift || ctrl || alt) return false;
      if (cancel_button_ && cancel_button_->CanFocus()) {
        cancel_button_->Click();
        return true;
      }
      return false;
    default:
      return false;
  }
}

LRESULT TForm::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CLOSE:
      Close();
      return 0;
    case WM_COMMAND:
      if (lp == 0 && HIWORD(wp) == 0 && menu_ && menu_->DispatchCommand(LOWORD(wp))) return 0;
      break;
    case WM_SETFOCUS:
      // The window itself got the focus (restored from the task bar, say): hand it on, unless
      // it is minimised, when the keys belong to the window itself.
      if (TWinControl* target = IsIconic(WindowHandle()) ? nullptr : FocusTarget()) {
        target->SetFocus();
        return 0;
      }
      break;
    case WM_ACTIVATE:
      if (LOWORD(wp) == WA_INACTIVE) {
        if (TWinControl* c = FindControl(GetFocus()); c && c != this && c->ParentForm() == this)
          active_control_ = c;
      } else if (!HIWORD(wp)) {
        if (TWinControl* target = FocusTarget()) {
          target->SetFocus();
          return 0;
        }
      }
      break;
    default:
      break;
  }
  return TWinControl::WndProc(msg, wp, lp);
}

}  // namespace reprisa
