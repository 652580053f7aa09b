#include "win/kit/form_placement_win.h"

#include <commctrl.h>

#include <algorithm>
#include <typeinfo>

#include "win/kit/application_win.h"
#include "core/placement_values.h"
#include "win/kit/registry_store_win.h"

namespace reprisa {

namespace {
constexpr wchar_t kFormVersion[] = L"FormVersion";
constexpr wchar_t kFlags[] = L"Flags";
constexpr wchar_t kShowCmd[] = L"ShowCmd";
constexpr wchar_t kPixels[] = L"PixelsPerInch";
constexpr wchar_t kMinMaxPos[] = L"MinMaxPos";
constexpr wchar_t kNormPos[] = L"NormPos";
constexpr wchar_t kVisible[] = L"Visible";
constexpr wchar_t kActiveControl[] = L"ActiveControl";

// The suffix of the values that belong to the present screen size. Asked for once per read or
// write: every question about the screen is a round trip to the window system under Wine.
std::wstring CurrentScreenSuffix() {
  return ScreenSuffix(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
}

// The window's placement as the starting point of a new one: a hidden window stays hidden when
// the placement is set.
WINDOWPLACEMENT PlacementToSet(HWND h) {
  WINDOWPLACEMENT wp{};
  wp.length = sizeof(wp);
  GetWindowPlacement(h, &wp);
  if (!IsWindowVisible(h)) wp.showCmd = SW_HIDE;
  return wp;
}

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

// A rectangle that lies off every present screen is moved onto the nearest screen's work area,
// so that the window can always be reached.
void KeepOnScreen(RECT& r) {
  if (r.right <= r.left || MonitorFromRect(&r, MONITOR_DEFAULTTONULL)) return;
  MONITORINFO mi{};
  mi.cbSize = sizeof(mi);
  if (!GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &mi)) return;
  const RECT& wa = mi.rcWork;
  int w = std::min(static_cast<int>(r.right - r.left), static_cast<int>(wa.right - wa.left));
  int h = std::min(static_cast<int>(r.bottom - r.top), static_cast<int>(wa.bottom - wa.top));
  int left = std::clamp(static_cast<int>(r.left), static_cast<int>(wa.left), static_cast<int>(wa.right) - w);
  int top = std::clamp(static_cast<int>(r.top), static_cast<int>(wa.top), static_cast<int>(wa.bottom) - h);
  r = {left, top, left + w, top + h};
}
}  // namespace

bool TFormPlacement::UseTitleForRegistryKey = false;
std::wstring TFormPlacement::RegistryCompanyName;

// ---- TWinMinMaxInfo ----------------------------------------------------------------------------

void TWinMinMaxInfo::Set(LONG& member, int value) {
  if (member == value) return;
  member = value;
  Changed();
}

void TWinMinMaxInfo::Assign(const TWinMinMaxInfo& other) {
  info_ = other.info_;
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

// ---- Links -------------------------------------------------------------------------------------

TPlacementLink::~TPlacementLink() {
  if (placement_) placement_->RemoveLink(this);
}

void TFormPlacement::AddLink(TPlacementLink* link) {
  if (!link || link->placement_ == this) return;
  if (link->placement_) link->placement_->RemoveLink(link);
  links_.push_back(link);
  link->placement_ = this;
}

void TFormPlacement::RemoveLink(TPlacementLink* link) noexcept {
  auto it = std::find(links_.begin(), links_.end(), link);
  if (it == links_.end()) return;
  links_.erase(it);
  link->placement_ = nullptr;
}

// ---- TFormPlacement ----------------------------------------------------------------------------

TFormPlacement::TFormPlacement(TComponent* owner)
    : TComponent(owner), min_max_info_(std::make_unique<TWinMinMaxInfo>(this)) {
  options_ = dynamic_cast<TForm*>(owner) ? (fpState | fpPosition) : 0;
  win_hook_ = new TWindowHook(this);
  win_hook_->AfterMessage = [this](TObject* s, THookMessage& m, bool& h) {
    HandleWindowMessage(s, m, h);
  };
}

TFormPlacement::~TFormPlacement() {
  CloseStore();
  win_hook_->UnhookControl();
  if (attached_) {
    if (TForm* f = Form()) {
      f->OnShow = save_form_show_;
      f->OnCloseQuery = save_form_close_query_;
      f->OnDestroy = save_form_destroy_;
    }
  }
  while (!links_.empty()) RemoveLink(links_.back());
  min_max_info_->DetachOwner();
}

TForm* TFormPlacement::Form() const { return dynamic_cast<TForm*>(Owner()); }

std::wstring TFormPlacement::IniFileName() const {
  if (!ini_file_name_.empty()) return ini_file_name_;
  return DefaultKeyPath(ExecutablePath(), Application ? Application->Title() : std::wstring(),
                        UseTitleForRegistryKey, RegistryCompanyName);
}

std::wstring TFormPlacement::IniSection() const {
  if (!ini_section_.empty()) return ini_section_;
  return Owner() ? Owner()->ClassName() : std::wstring();
}

void TFormPlacement::Loaded() {
  bool was_loading = Loading();
  TComponent::Loaded();
  TForm* f = Form();
  if (was_loading && f) {
    save_form_show_ = f->OnShow;
    f->OnShow = [this](TObject* s) { HandleFormShow(s); };
    save_form_close_query_ = f->OnCloseQuery;
    f->OnCloseQuery = [this](TObject* s, bool& c) { HandleFormCloseQuery(s, c); };
    save_form_destroy_ = f->OnDestroy;
    f->OnDestroy = [this](TObject* s) { HandleFormDestroy(s); };
    attached_ = true;
    def_maximize_ = (f->BorderIcons() & biMaximize) != 0;
    if (prevent_resize_) ApplyPreventResize();
  }
  UpdateObserver();
}

void TFormPlacement::OpenStore(bool read_only) {
  static const HKEY roots[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_CURRENT_CONFIG,
                               HKEY_CLASSES_ROOT, HKEY_USERS, HKEY_DYN_DATA};
  store_ = std::make_unique<RegistryStore>(roots[static_cast<int>(registry_root_)],
                                           NormalizeKeyPath(IniFileName()), read_only);
}

void TFormPlacement::CloseStore() noexcept { store_.reset(); }

// A store for the length of one operation: opened unless one is open already (inside the save and
// restore events), and closed again by whoever opened it, also when the operation fails.
class TFormPlacement::StoreScope {
 public:
  StoreScope(TFormPlacement& placement, bool read_only)
      : placement_(placement), own_(!placement.store_) {
    if (own_) placement_.OpenStore(read_only);
  }
  ~StoreScope() {
    if (own_) placement_.CloseStore();
  }
  StoreScope(const StoreScope&) = delete;
  StoreScope& operator=(const StoreScope&) = delete;

 private:
  TFormPlacement& placement_;
  bool own_;
};

std::wstring TFormPlacement::ReadStringValue(const std::wstring& section, const std::wstring& ident,
                                             const std::wstring& default_value) {
  StoreScope scope(*this, true);
  std::optional<std::wstring> value = store_->ReadValue(section, ident);
  return value && !value->empty() ? *value : default_value;
}

void TFormPlacement::WriteStringValue(const std::wstring& section, const std::wstring& ident,
                                      const std::wstring& value) {
  StoreScope scope(*this, false);
  store_->WriteValue(section, ident, value);
}

std::wstring TFormPlacement::ReadString(const std::wstring& ident, const std::wstring& default_value) {
  return ReadStringValue(IniSection(), ident, default_value);
}

void TFormPlacement::WriteString(const std::wstring& ident, const std::wstring& value) {
  WriteStringValue(IniSection(), ident, value);
}

std::int32_t TFormPlacement::ReadInteger(const std::wstring& ident, std::int32_t default_value) {
  std::optional<std::int32_t> v = ParseIntegerText(ReadString(ident, std::wstring()));
  return v ? *v : default_value;
}

void TFormPlacement::WriteInteger(const std::wstring& ident, std::int32_t value) {
  WriteString(ident, IntegerText(value));
}

void TFormPlacement::EraseSections() {
  if (store_) return;
  StoreScope scope(*this, false);
  std::wstring section = IniSection();
  for (const std::wstring& name : store_->SubkeyNames())
    if (MatchesSectionPattern(name, section)) store_->DeleteSubkeyTree(name);
}

void TFormPlacement::DoSavePlacement() {
  if (OnSavePlacement) OnSavePlacement(this);
}

void TFormPlacement::DoRestorePlacement() {
  if (OnRestorePlacement) OnRestorePlacement(this);
}

void TFormPlacement::SaveFormPlacement() {
  if (!restored_ && active_) return;  // never restored: the stored values stay as they are
  StoreScope scope(*this, false);
  WriteInteger(kFormVersion, version_);
  StorePlacementValues();
  DoSavePlacement();
  saved_ = true;
}

void TFormPlacement::StorePlacementValues() {
  TForm* f = Form();
  if (f) {
    if (options_ & (fpState | fpPosition)) {
      WritePlacement();
      WriteString(kVisible, destroying_ ? L"1" : L"0");
    }
    if (options_ & fpActiveControl) {
      if (TWinControl* c = f->ActiveControl(); c && !c->Name().empty())
        WriteString(kActiveControl, c->Name());
    }
  }
  for (TPlacementLink* link : std::vector<TPlacementLink*>(links_)) link->SaveLink();
}

void TFormPlacement::WritePlacement() {
  TForm* f = Form();
  WINDOWPLACEMENT wp{};
  wp.length = sizeof(wp);
  GetWindowPlacement(f->Handle(), &wp);
  if (f->IsMainForm() && Application && Application->Minimized()) wp.showCmd = SW_SHOWMINIMIZED;
  WriteInteger(kFlags, static_cast<std::int32_t>(wp.flags));
  WriteInteger(kShowCmd, static_cast<std::int32_t>(wp.showCmd));
  WriteInteger(kPixels, ScreenDpi());
  std::wstring min_max = FourNumbersText(wp.ptMinPosition.x, wp.ptMinPosition.y,
                                         wp.ptMaxPosition.x, wp.ptMaxPosition.y);
  const std::wstring suffix = CurrentScreenSuffix();
  WriteString(kMinMaxPos + suffix, min_max);
  WriteString(kMinMaxPos, min_max);
  const RECT& r = wp.rcNormalPosition;
  std::wstring norm = FourNumbersText(r.left, r.top, r.right, r.bottom);
  WriteString(kNormPos + suffix, norm);
  WriteString(kNormPos, norm);
}

void TFormPlacement::RestoreFormPlacement() {
  saved_ = false;
  max_position_applied_ = false;
  {
    StoreScope scope(*this, true);
    std::int32_t stored_version = ReadInteger(kFormVersion, 0);
    if (stored_version >= version_) {
      LoadPlacementValues();
      restored_ = true;
      DoRestorePlacement();
      if ((options_ & fpActiveControl) && Form()) {
        std::wstring name = ReadString(kActiveControl, std::wstring());
        auto* c = dynamic_cast<TWinControl*>(Form()->FindComponent(name));
        if (c && c->CanFocus()) Form()->SetActiveControl(c);
      }
    }
    restored_ = true;
  }  // the store is closed before the maximised position is reset
  // Setting a placement moves the window even when nothing changes, which takes a while: when
  // the restored placement carried the reset position already and nothing else had the chance to
  // change it since, it is not set a second time.
  // (A derived store may change the placement in its own restore steps: it always resets.)
  bool applied = max_position_applied_ && !OnRestorePlacement && links_.empty() &&
                 typeid(*this) == typeid(TFormPlacement);
  max_position_applied_ = false;
  if (!applied) ResetMaximizedPosition();
}

void TFormPlacement::LoadPlacementValues() {
  if (Form()) ReadPlacement((options_ & fpState) != 0, (options_ & fpPosition) != 0);
  for (TPlacementLink* link : std::vector<TPlacementLink*>(links_)) link->LoadLink();
}

void TFormPlacement::ReadPlacement(bool load_state, bool load_position) {
  if (!load_state && !load_position) return;
  TForm* f = Form();
  HWND h = f->Handle();
  WINDOWPLACEMENT wp = PlacementToSet(h);
  if (load_position) {
    wp.flags = static_cast<UINT>(ReadInteger(kFlags, static_cast<std::int32_t>(wp.flags)));
    bool found = false;
    const std::wstring suffix = CurrentScreenSuffix();
    std::wstring text = ReadString(kMinMaxPos + suffix, std::wstring());
    if (text.empty()) text = ReadString(kMinMaxPos, std::wstring());
    if (!text.empty()) {
      found = true;
      auto v = ReadFourNumbers(text, {0, 0, 0, 0});
      wp.ptMinPosition = {v[0], v[1]};
      wp.ptMaxPosition = {v[2], v[3]};
    }
    text = ReadString(kNormPos + suffix, std::wstring());
    if (text.empty()) text = ReadString(kNormPos, std::wstring());
    if (!text.empty()) {
      found = true;
      auto v = ReadFourNumbers(text, {f->Left(), f->Top(), f->Left() + f->Width(),
                                      f->Top() + f->Height()});
      wp.rcNormalPosition = {v[0], v[1], v[2], v[3]};
    }
    if (ReadInteger(kPixels, ScreenDpi()) != ScreenDpi()) found = false;  // not scaled: ignored
    if (found) {
      RECT& r = wp.rcNormalPosition;
      if (f->BorderStyle() != TBorderStyle::bsSizeable &&
          f->BorderStyle() != TBorderStyle::bsSizeToolWin)
        r = {r.left, r.top, r.left + f->Width(), r.top + f->Height()};
      if (r.right > r.left) {
        if (f->Position() == TPosition::poScreenCenter || f->Position() == TPosition::poDesktopCenter)
          f->SetPosition(TPosition::poDesigned);
        KeepOnScreen(r);
        if (std::optional<POINT> max = ResetMaximizedPoint()) {
          wp.ptMaxPosition = *max;
          max_position_applied_ = true;
        }
        SetWindowPlacement(h, &wp);
      }
    }
  }
  if (load_state) {
    bool main_or_first = f->IsMainForm() || !Application || !Application->MainForm();
    // Nothing stored and nothing asked for by default: the state the form already has stays,
    // so that a window started maximised (from a shortcut, say) opens maximised on a first run.
    std::optional<TWindowState> state;
    if (main_or_first && (f->FormStyle() == TFormStyle::fsMDIForm ||
                          (f->FormStyle() == TFormStyle::fsNormal &&
                           f->Position() == TPosition::poDefault)))
      state = TWindowState::wsMaximized;
    if (auto stored = StateFromShowCmd(ReadInteger(kShowCmd, 0))) {
      state = *stored == StoredWindowState::Minimized   ? TWindowState::wsMinimized
              : *stored == StoredWindowState::Maximized ? TWindowState::wsMaximized
                                                        : TWindowState::wsNormal;
    }
    if (state == TWindowState::wsMinimized && main_or_first) {
      // The application minimises itself when its message loop gets there.
      if (Application) PostMessageW(Application->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
      return;
    }
    if (state) f->SetWindowState(*state);
  }
  f->Repaint();
}

std::optional<POINT> TFormPlacement::ResetMaximizedPoint() {
  TForm* f = Form();
  if (!f || !f->HandleAllocated() || Loading() || prevent_resize_ ||
      !min_max_info_->DefaultMinMaxInfo())
    return std::nullopt;
  switch (f->BorderStyle()) {
    case TBorderStyle::bsNone:
      return POINT{0, 0};
    case TBorderStyle::bsSingle:
    case TBorderStyle::bsToolWindow:
      return POINT{-GetSystemMetrics(SM_CXBORDER), -GetSystemMetrics(SM_CYBORDER)};
    case TBorderStyle::bsDialog:
      return POINT{-GetSystemMetrics(SM_CXDLGFRAME), -GetSystemMetrics(SM_CYDLGFRAME)};
    default:
      return POINT{-GetSystemMetrics(SM_CXFRAME), -GetSystemMetrics(SM_CYFRAME)};
  }
}

void TFormPlacement::ResetMaximizedPosition() {
  std::optional<POINT> max = ResetMaximizedPoint();
  if (!max) return;
  HWND h = Form()->WindowHandle();
  WINDOWPLACEMENT wp = PlacementToSet(h);
  wp.ptMaxPosition = *max;
  SetWindowPlacement(h, &wp);
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
  bool was_active = active_;
  active_ = false;
  try {
    unsigned icons = f->BorderIcons();
    if (!prevent_resize_ && def_maximize_ && f->BorderStyle() != TBorderStyle::bsDialog)
      icons |= biMaximize;
    else
      icons &= ~static_cast<unsigned>(biMaximize);
    f->SetBorderIcons(icons);
  } catch (...) {
    active_ = was_active;
    throw;
  }
  active_ = was_active;
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

void TFormPlacement::HandleFormShow(TObject* sender) {
  if (active_) {
    try {
      RestoreFormPlacement();
    } catch (...) {
      HandleException(this);
    }
  }
  if (save_form_show_) save_form_show_(sender);
}

void TFormPlacement::HandleFormCloseQuery(TObject* sender, bool& can_close) {
  if (save_form_close_query_) save_form_close_query_(sender, can_close);
  TForm* f = Form();
  if (can_close && active_ && f && f->HandleAllocated()) {
    try {
      SaveFormPlacement();
    } catch (...) {
      HandleException(this);
    }
  }
}

void TFormPlacement::HandleFormDestroy(TObject* sender) {
  if (active_ && !saved_) {
    destroying_ = true;
    try {
      SaveFormPlacement();
    } catch (...) {
      HandleException(this);
    }
    destroying_ = false;
  }
  if (save_form_destroy_) save_form_destroy_(sender);
}

}  // namespace reprisa
