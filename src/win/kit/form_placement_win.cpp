// The form placement component on Windows: the rules of the core bound to a form's window and to
// the registry.
#include "win/kit/form_placement_win.h"

#include <commctrl.h>

#include <vector>

#include "core/exceptions.h"
#include "win/kit/application_win.h"
#include "win/kit/ole_error_win.h"
#include "win/kit/registry_store_win.h"

namespace reprisa {

namespace {
std::wstring ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD got = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (got < path.size()) {
      path.resize(got);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

Rect ToRect(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

Rect Offset(const RECT& r, const POINT& origin) {
  return {r.left - origin.x, r.top - origin.y, r.right - origin.x, r.bottom - origin.y};
}

// The core's names for the form's border styles, styles, positions and window states list the
// same values in the same order.
template <typename To, typename From>
constexpr To SameValue(From value) {
  return static_cast<To>(static_cast<int>(value));
}
using PB = PlacementBorderStyle;
using TB = TBorderStyle;
using PF = PlacementFormStyle;
using TF = TFormStyle;
using PP = PlacementPosition;
using TP = TPosition;
static_assert(SameValue<PB>(TB::bsNone) == PB::bsNone);
static_assert(SameValue<PB>(TB::bsSingle) == PB::bsSingle);
static_assert(SameValue<PB>(TB::bsSizeable) == PB::bsSizeable);
static_assert(SameValue<PB>(TB::bsDialog) == PB::bsDialog);
static_assert(SameValue<PB>(TB::bsToolWindow) == PB::bsToolWindow);
static_assert(SameValue<PB>(TB::bsSizeToolWin) == PB::bsSizeToolWin);
static_assert(SameValue<PF>(TF::fsNormal) == PF::fsNormal);
static_assert(SameValue<PF>(TF::fsMDIChild) == PF::fsMDIChild);
static_assert(SameValue<PF>(TF::fsMDIForm) == PF::fsMDIForm);
static_assert(SameValue<PF>(TF::fsStayOnTop) == PF::fsStayOnTop);
static_assert(SameValue<PP>(TP::poDesigned) == PP::poDesigned);
static_assert(SameValue<PP>(TP::poDefault) == PP::poDefault);
static_assert(SameValue<PP>(TP::poScreenCenter) == PP::poScreenCenter);
static_assert(SameValue<PP>(TP::poDesktopCenter) == PP::poDesktopCenter);
static_assert(SameValue<PP>(TP::poMainFormCenter) == PP::poMainFormCenter);
using SW = StoredWindowState;
using TW = TWindowState;
static_assert(SameValue<SW>(TW::wsNormal) == SW::Normal);
static_assert(SameValue<SW>(TW::wsMinimized) == SW::Minimized);
static_assert(SameValue<SW>(TW::wsMaximized) == SW::Maximized);

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  MONITORINFO mi{};
  mi.cbSize = sizeof(mi);
  if (GetMonitorInfoW(monitor, &mi))
    reinterpret_cast<std::vector<MONITORINFO>*>(data)->push_back(mi);
  return TRUE;
}
}  // namespace

// The form as the placement rules see it.
class TFormPlacement::Window final : public PlacementWindow {
 public:
  explicit Window(TForm& form) : form_(form) {}

  bool HandleAllocated() override { return form_.HandleAllocated(); }

  PlacementRecord GetPlacement() override {
    WINDOWPLACEMENT wp{};
    wp.length = sizeof(wp);
    if (!GetWindowPlacement(form_.Handle(), &wp)) {
      const DWORD error = GetLastError();
      const HRESULT code = error != 0 ? HRESULT_FROM_WIN32(error) : E_FAIL;
      throw EOleSysError(OleErrorMessage(code), static_cast<std::int32_t>(code));
    }
    return {wp.flags,
            static_cast<std::int32_t>(wp.showCmd),
            {wp.ptMinPosition.x, wp.ptMinPosition.y},
            {wp.ptMaxPosition.x, wp.ptMaxPosition.y},
            ToRect(wp.rcNormalPosition)};
  }

  void SetPlacement(const PlacementRecord& r) override {
    WINDOWPLACEMENT wp{};
    wp.length = sizeof(wp);
    wp.flags = r.flags;
    wp.showCmd = static_cast<UINT>(r.show_cmd);
    wp.ptMinPosition = {r.min_position.x, r.min_position.y};
    wp.ptMaxPosition = {r.max_position.x, r.max_position.y};
    wp.rcNormalPosition = {r.normal.left, r.normal.top, r.normal.right, r.normal.bottom};
    SetWindowPlacement(form_.WindowHandle(), &wp);
  }

  bool Visible() override { return IsWindowVisible(form_.WindowHandle()) != FALSE; }

  Point ScreenSize() override {
    return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }

  int Dpi() override { return ScreenDpi(); }

  // The placement record of a top-level window without WS_EX_TOOLWINDOW is in workspace
  // coordinates, whose origin is the primary screen's work area: the screens are given in the
  // same coordinates, so that a task bar at the top or the left does not shift the comparison.
  std::vector<PlacementScreen> Screens() override {
    std::vector<MONITORINFO> monitors;
    EnumDisplayMonitors(nullptr, nullptr, &AddMonitor, reinterpret_cast<LPARAM>(&monitors));
    POINT origin{0, 0};
    HWND h = form_.WindowHandle();
    if (!h || (!(GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) &&
               !(GetWindowLongW(h, GWL_STYLE) & WS_CHILD))) {
      RECT work{};
      if (SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) origin = {work.left, work.top};
    }
    std::vector<PlacementScreen> screens;
    for (const MONITORINFO& mi : monitors)
      screens.push_back({Offset(mi.rcMonitor, origin), Offset(mi.rcWork, origin)});
    return screens;
  }

  Point FrameSize(FrameMetric metric) override {
    switch (metric) {
      case FrameMetric::Border:
        return {GetSystemMetrics(SM_CXBORDER), GetSystemMetrics(SM_CYBORDER)};
      case FrameMetric::DialogFrame:
        return {GetSystemMetrics(SM_CXDLGFRAME), GetSystemMetrics(SM_CYDLGFRAME)};
      case FrameMetric::Frame:
        break;
    }
    return {GetSystemMetrics(SM_CXFRAME), GetSystemMetrics(SM_CYFRAME)};
  }

  Rect Bounds() override {
    return {form_.Left(), form_.Top(), form_.Left() + form_.Width(), form_.Top() + form_.Height()};
  }

  PlacementBorderStyle BorderStyle() override {
    return SameValue<PlacementBorderStyle>(form_.BorderStyle());
  }
  PlacementFormStyle FormStyle() override {
    return SameValue<PlacementFormStyle>(form_.FormStyle());
  }
  PlacementPosition Position() override { return SameValue<PlacementPosition>(form_.Position()); }
  void SetPosition(PlacementPosition position) override {
    form_.SetPosition(SameValue<TPosition>(position));
  }

  StoredWindowState WindowState() override {
    return SameValue<StoredWindowState>(form_.WindowState());
  }
  void SetWindowState(StoredWindowState state) override {
    form_.SetWindowState(SameValue<TWindowState>(state));
  }

  void Repaint() override { form_.Repaint(); }
  bool IsMainForm() override { return form_.IsMainForm(); }
  bool HasMainForm() override { return Application && Application->MainForm(); }
  bool ApplicationMinimized() override { return Application && Application->Minimized(); }

  void MinimizeApplication() override {
    if (Application) PostMessageW(Application->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  }

  std::wstring ActiveControlName() override {
    TWinControl* c = form_.ActiveControl();
    return c ? c->Name() : std::wstring();
  }

  void FocusControl(const std::wstring& name) override {
    auto* c = dynamic_cast<TWinControl*>(form_.FindComponent(name));
    if (c && c->CanFocus()) form_.SetActiveControl(c);
  }

 private:
  TForm& form_;
};

bool TFormPlacement::UseTitleForRegistryKey = false;
std::wstring TFormPlacement::RegistryCompanyName;

// ---- TWinMinMaxInfo ----------------------------------------------------------------------------

void TWinMinMaxInfo::Set(LONG& member, int value) {
  if (member == value) return;
  member = value;
  Changed();
}

bool TWinMinMaxInfo::DefaultMinMaxInfo() const noexcept {
  return info_.ptMaxPosition.x == 0 && info_.ptMaxPosition.y == 0 && info_.ptMaxSize.x == 0 &&
         info_.ptMaxSize.y == 0 && info_.ptMaxTrackSize.x == 0 && info_.ptMaxTrackSize.y == 0 &&
         info_.ptMinTrackSize.x == 0 && info_.ptMinTrackSize.y == 0;
}

void TWinMinMaxInfo::Changed() {
  if (owner_) owner_->MinMaxChanged();
}

// ---- TWindowHook -------------------------------------------------------------------------------

void TWindowHook::SetWinControl(TWinControl* control) {
  if (control == control_) return;
  UnhookControl();
  control_ = control;
}

void TWindowHook::HookControl() {
  if (hooked_ || !control_) return;
  HWND h = control_->Handle();
  if (h && SetWindowSubclass(h, &Proc, reinterpret_cast<UINT_PTR>(this),
                             reinterpret_cast<DWORD_PTR>(this)))
    hooked_ = h;
}

void TWindowHook::UnhookControl() noexcept {
  if (hooked_) {
    if (IsWindow(hooked_)) RemoveWindowSubclass(hooked_, &Proc, reinterpret_cast<UINT_PTR>(this));
    hooked_ = nullptr;
  }
}

LRESULT CALLBACK TWindowHook::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                   DWORD_PTR ref) {
  auto* self = reinterpret_cast<TWindowHook*>(ref);
  THookMessage m{msg, wp, lp, 0};
  bool handled = false;
  if (self->active_ && msg != WM_QUIT && self->BeforeMessage) {
    try {
      self->BeforeMessage(self, m, handled);
    } catch (...) {
      HandleException(self);
    }
  }
  if (!handled || msg == WM_DESTROY) m.result = DefSubclassProc(hwnd, msg, wp, lp);
  if (self->active_ && self->AfterMessage) {
    bool after_handled = false;
    try {
      self->AfterMessage(self, m, after_handled);
    } catch (...) {
      HandleException(self);
    }
  }
  if (msg == WM_NCDESTROY && self->hooked_ == hwnd) {
    RemoveWindowSubclass(hwnd, &Proc, reinterpret_cast<UINT_PTR>(self));
    self->hooked_ = nullptr;
  }
  return m.result;
}

// ---- TFormPlacement ----------------------------------------------------------------------------

TFormPlacement::TFormPlacement(TComponent* owner)
    : TComponent(owner),
      PlacementEngine(this),
      registry_(std::make_unique<RegistryPlacementStore>(HKEY_CURRENT_USER)),
      min_max_info_(std::make_unique<TWinMinMaxInfo>(this)) {
  if (TForm* f = Form()) {
    window_adapter_ = std::make_unique<Window>(*f);
    SetOptions(fpState | fpPosition);
  }
  Bind(registry_.get(), window_adapter_.get());
  win_hook_ = new TWindowHook(this);
  win_hook_->AfterMessage = [this](TObject* s, THookMessage& m, bool& h) {
    HandleWindowMessage(s, m, h);
  };
  session_hook_ = new TWindowHook(this);
  session_hook_->AfterMessage = [this](TObject* s, THookMessage& m, bool& h) {
    HandleSessionMessage(s, m, h);
  };
}

TFormPlacement::~TFormPlacement() {
  Unbind();  // closes a store left open while the store and the window are still here
  win_hook_->UnhookControl();
  session_hook_->UnhookControl();
  if (attached_) {
    if (TForm* f = Form()) {
      f->OnShow = KeptShow;
      f->OnCloseQuery = KeptCloseQuery;
      f->OnDestroy = KeptDestroy;
    }
  }
  min_max_info_->DetachOwner();
}

TForm* TFormPlacement::Form() const { return dynamic_cast<TForm*>(Owner()); }

std::wstring TFormPlacement::DefaultIniFileName() const {
  return DefaultKeyPath(ExecutablePath(), Application ? Application->Title() : std::wstring(),
                        UseTitleForRegistryKey, RegistryCompanyName);
}

std::wstring TFormPlacement::DefaultIniSection() const {
  return Owner() ? Owner()->ClassName() : std::wstring();
}

bool TFormPlacement::MayResetMaximizedPosition() const {
  return !Loading() && !prevent_resize_ && min_max_info_->DefaultMinMaxInfo();
}

void TFormPlacement::Loaded() {
  bool was_loading = Loading();
  TComponent::Loaded();
  TForm* f = Form();
  if (was_loading && f) {
    KeptShow = f->OnShow;
    f->OnShow = [this](TObject* s) {
      WatchSession();
      HandleFormShow(s);
    };
    KeptCloseQuery = f->OnCloseQuery;
    f->OnCloseQuery = [this](TObject* s, bool& c) { HandleFormCloseQuery(s, c); };
    KeptDestroy = f->OnDestroy;
    f->OnDestroy = [this](TObject* s) { HandleFormDestroy(s); };
    attached_ = true;
    def_maximize_ = (f->BorderIcons() & biMaximize) != 0;
    if (prevent_resize_) ApplyPreventResize();
    if (f->HandleAllocated()) WatchSession();
  }
  UpdateObserver();
}

// The end of the session reaches the form's window: from then on the observer answers it.
void TFormPlacement::WatchSession() {
  TForm* f = Form();
  if (!f || session_hook_->Hooked()) return;
  session_hook_->SetWinControl(f);
  session_hook_->HookControl();
}

void TFormPlacement::HandleSessionMessage(TObject*, THookMessage& msg, bool&) {
  if (msg.msg == WM_QUERYENDSESSION) {
    msg.result = TRUE;  // the program never holds the session up
  } else if (msg.msg == WM_ENDSESSION && msg.wparam) {
    HandleEndSession();  // the process may end as soon as this returns
  }
}

void TFormPlacement::SetPreventResize(bool value) {
  if (!Form() || value == prevent_resize_) return;
  prevent_resize_ = value;
  ResetMaximizedPosition();
  ApplyPreventResize();
}

void TFormPlacement::ApplyPreventResize() {
  TForm* f = Form();
  if (!f) return;
  if (prevent_resize_) def_maximize_ = (f->BorderIcons() & biMaximize) != 0;
  const bool was_active = Active();
  SetActive(false);
  try {
    unsigned icons = f->BorderIcons();
    if (!prevent_resize_ && def_maximize_ && f->BorderStyle() != TBorderStyle::bsDialog)
      icons |= biMaximize;
    else
      icons &= ~static_cast<unsigned>(biMaximize);
    f->SetBorderIcons(icons);
  } catch (...) {
    SetActive(was_active);
    throw;
  }
  SetActive(was_active);
  if (!Loading()) UpdateObserver();
}

void TFormPlacement::MinMaxChanged() {
  ResetMaximizedPosition();
  if (!Loading()) UpdateObserver();
}

void TFormPlacement::UpdateObserver() {
  TForm* f = Form();
  if (f && (prevent_resize_ || !min_max_info_->DefaultMinMaxInfo())) {
    win_hook_->SetWinControl(f);
    win_hook_->HookControl();
  } else {
    win_hook_->UnhookControl();
    win_hook_->SetWinControl(nullptr);
  }
}

void TFormPlacement::HandleWindowMessage(TObject*, THookMessage& msg, bool&) {
  TForm* f = Form();
  if (prevent_resize_ && f) {
    switch (msg.msg) {
      case WM_GETMINMAXINFO:
        if (f->HandleAllocated() && IsWindowVisible(f->WindowHandle())) {
          auto* info = reinterpret_cast<MINMAXINFO*>(msg.lparam);
          info->ptMinTrackSize = {f->Width(), f->Height()};
          info->ptMaxTrackSize = {f->Width(), f->Height()};
          msg.result = 1;
        }
        break;
      case WM_NCHITTEST:
        if (msg.result >= HTLEFT && msg.result <= HTBOTTOMRIGHT) msg.result = HTNOWHERE;
        break;
      case WM_INITMENUPOPUP:
        if (HIWORD(msg.lparam) != 0) {
          HMENU menu = reinterpret_cast<HMENU>(msg.wparam);
          EnableMenuItem(menu, SC_SIZE, MF_BYCOMMAND | MF_GRAYED);
          EnableMenuItem(menu, SC_MAXIMIZE, MF_BYCOMMAND | MF_GRAYED);
          msg.result = 1;
        }
        break;
      default:
        break;
    }
    return;
  }
  if (msg.msg == WM_GETMINMAXINFO) {
    auto* info = reinterpret_cast<MINMAXINFO*>(msg.lparam);
    const MINMAXINFO& limits = min_max_info_->Info();
    if (!min_max_info_->DefaultMinMaxInfo()) {
      auto take = [](POINT& target, const POINT& value) {
        if (value.x != 0) target.x = value.x;
        if (value.y != 0) target.y = value.y;
      };
      take(info->ptMaxSize, limits.ptMaxSize);
      take(info->ptMaxPosition, limits.ptMaxPosition);
      take(info->ptMinTrackSize, limits.ptMinTrackSize);
      take(info->ptMaxTrackSize, limits.ptMaxTrackSize);
    } else {
      info->ptMaxPosition = {0, 0};
    }
    msg.result = 1;
  }
}

}  // namespace reprisa
