// The form placement store's rules over a typed string store and the window they serve.
#include "core/placement.h"

#include <algorithm>
#include <limits>

#include "core/texts.h"

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

constexpr std::int32_t kShowHidden = 0;
constexpr std::int32_t kShowMinimized = 2;
constexpr std::uint32_t kFlagSetMinPosition = 1;

constexpr std::int64_t kMin32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kMax32 = std::numeric_limits<std::int32_t>::max();

std::wstring ScreenSuffixOf(PlacementWindow& window) {
  const Point size = window.ScreenSize();
  return ScreenSuffix(size.x, size.y);
}

// One edge pair moved (not cut) into the 32-bit range, keeping its length where it fits.
void Fit32(std::int64_t& low, std::int64_t& high) {
  const std::int64_t length = std::min(high - low, kMax32);
  low = std::clamp(low, kMin32, kMax32 - length);
  high = low + length;
}

Rect ToRect(Rect64 r) {
  Fit32(r.left, r.right);
  Fit32(r.top, r.bottom);
  return {static_cast<int>(r.left), static_cast<int>(r.top), static_cast<int>(r.right),
          static_cast<int>(r.bottom)};
}

bool HasArea(const Rect& r) { return r.right > r.left && r.bottom > r.top; }
}  // namespace

ERegistryException StoreCreateKeyFailure(std::wstring_view section) {
  return ERegistryException(FormatMessageText(texts::kStoreCreateKeyFailed, {section}));
}
ERegistryException StoreSetDataFailure(std::wstring_view ident) {
  return ERegistryException(FormatMessageText(texts::kStoreSetDataFailed, {ident}));
}
ERegistryException StoreGetDataFailure(std::wstring_view ident) {
  return ERegistryException(FormatMessageText(texts::kStoreGetDataFailed, {ident}));
}
ERegistryException StoreDataTypeFailure(std::wstring_view ident) {
  return ERegistryException(FormatMessageText(texts::kStoreDataTypeInvalid, {ident}));
}
ERegistryException StoreDeleteKeyFailure(std::wstring_view name) {
  return ERegistryException(FormatMessageText(texts::kStoreDeleteKeyFailed, {name}));
}

Rect KeepOnScreen(const Rect64& r, const std::vector<PlacementScreen>& screens) {
  const std::int64_t width = r.right - r.left;
  const std::int64_t height = r.bottom - r.top;
  const PlacementScreen* most_overlap = nullptr;
  const PlacementScreen* nearest = nullptr;
  double best_overlap = 0;
  double best_distance = 0;
  Rect64 desktop{kMax32, kMax32, kMin32, kMin32};
  for (const PlacementScreen& screen : screens) {
    if (!HasArea(screen.work_area)) continue;
    const Rect& b = HasArea(screen.bounds) ? screen.bounds : screen.work_area;
    desktop = {std::min<std::int64_t>(desktop.left, b.left),
               std::min<std::int64_t>(desktop.top, b.top),
               std::max<std::int64_t>(desktop.right, b.right),
               std::max<std::int64_t>(desktop.bottom, b.bottom)};
    const std::int64_t across = std::min<std::int64_t>(r.right, b.right) -
                                std::max<std::int64_t>(r.left, b.left);
    const std::int64_t down = std::min<std::int64_t>(r.bottom, b.bottom) -
                              std::max<std::int64_t>(r.top, b.top);
    if (across > 0 && down > 0) {
      const double overlap = static_cast<double>(across) * static_cast<double>(down);
      if (!most_overlap || overlap > best_overlap) {
        most_overlap = &screen;
        best_overlap = overlap;
      }
      continue;
    }
    const auto gap = [](std::int64_t low, std::int64_t high, std::int64_t from, std::int64_t to) {
      return static_cast<double>(std::max<std::int64_t>({0, from - high, low - to}));
    };
    const double dx = gap(r.left, r.right, b.left, b.right);
    const double dy = gap(r.top, r.bottom, b.top, b.bottom);
    const double distance = dx * dx + dy * dy;
    if (!nearest || distance < best_distance) {
      nearest = &screen;
      best_distance = distance;
    }
  }
  if (!most_overlap && !nearest) return ToRect(r);
  if (most_overlap && width <= desktop.right - desktop.left &&
      height <= desktop.bottom - desktop.top)
    return ToRect(r);  // reachable as it is (it may span several screens)

  const Rect& wa = (most_overlap ? most_overlap : nearest)->work_area;
  const std::int64_t w = std::min<std::int64_t>(width, wa.Width());
  const std::int64_t h = std::min<std::int64_t>(height, wa.Height());
  const std::int64_t left = std::clamp<std::int64_t>(r.left, wa.left, wa.right - w);
  const std::int64_t top = std::clamp<std::int64_t>(r.top, wa.top, wa.bottom - h);
  return ToRect({left, top, left + w, top + h});
}

// ---- Links -------------------------------------------------------------------------------------

TPlacementLink::~TPlacementLink() {
  if (placement_) placement_->RemoveLink(this);
}

void PlacementEngine::AddLink(TPlacementLink* link) {
  if (!link || link->placement_ == this) return;
  if (link->placement_) link->placement_->RemoveLink(link);
  links_.push_back(link);
  link->placement_ = this;
}

void PlacementEngine::RemoveLink(TPlacementLink* link) noexcept {
  auto it = std::find(links_.begin(), links_.end(), link);
  if (it == links_.end()) return;
  links_.erase(it);
  link->placement_ = nullptr;
}

// ---- The engine --------------------------------------------------------------------------------

PlacementEngine::PlacementEngine(TObject* sender) : sender_(sender) {}

PlacementEngine::~PlacementEngine() {
  Unbind();
  while (!links_.empty()) RemoveLink(links_.back());
}

void PlacementEngine::Bind(PlacementStore* store, PlacementWindow* window) noexcept {
  CloseStore();
  store_ = store;
  window_ = window;
}

void PlacementEngine::Unbind() noexcept { Bind(nullptr, nullptr); }

std::wstring PlacementEngine::IniFileName() const {
  return ini_file_name_.empty() ? DefaultIniFileName() : ini_file_name_;
}

std::wstring PlacementEngine::IniSection() const {
  return ini_section_.empty() ? DefaultIniSection() : ini_section_;
}

void PlacementEngine::OpenStore(bool read_only) {
  if (store_open_ || !store_) return;
  store_->Open(NormalizeKeyPath(IniFileName()), read_only);
  store_open_ = true;
}

void PlacementEngine::CloseStore() noexcept {
  if (!store_open_) return;
  store_open_ = false;
  store_->Close();
}

// A store for the length of one operation: opened unless one is open already (inside the save
// and restore events), and closed again by whoever opened it, also when the operation fails.
class PlacementEngine::StoreScope {
 public:
  StoreScope(PlacementEngine& engine, bool read_only)
      : engine_(engine), own_(!engine.store_open_) {
    if (own_) engine_.OpenStore(read_only);
  }
  ~StoreScope() {
    if (own_) engine_.CloseStore();
  }
  StoreScope(const StoreScope&) = delete;
  StoreScope& operator=(const StoreScope&) = delete;

 private:
  PlacementEngine& engine_;
  bool own_;
};

std::wstring PlacementEngine::ReadStringValue(const std::wstring& section,
                                              const std::wstring& ident,
                                              const std::wstring& default_value) {
  StoreScope scope(*this, true);
  if (!store_) return default_value;
  std::optional<StoredValue> value = store_->Read(section, ident);
  if (!value) return default_value;
  if (value->type != StoredType::String) throw StoreDataTypeFailure(ident);
  return value->text.empty() ? default_value : value->text;
}

void PlacementEngine::WriteStringValue(const std::wstring& section, const std::wstring& ident,
                                       const std::wstring& value) {
  StoreScope scope(*this, false);
  if (!store_) throw StoreCreateKeyFailure(section);
  store_->Write(section, ident, value);
}

std::wstring PlacementEngine::ReadString(const std::wstring& ident,
                                         const std::wstring& default_value) {
  return ReadStringValue(IniSection(), ident, default_value);
}

void PlacementEngine::WriteString(const std::wstring& ident, const std::wstring& value) {
  WriteStringValue(IniSection(), ident, value);
}

std::int32_t PlacementEngine::ReadInteger(const std::wstring& ident, std::int32_t default_value) {
  std::optional<std::int32_t> v = ParseIntegerText(ReadString(ident, std::wstring()));
  return v ? *v : default_value;
}

void PlacementEngine::WriteInteger(const std::wstring& ident, std::int32_t value) {
  WriteString(ident, IntegerText(value));
}

void PlacementEngine::EraseSections() {
  if (store_open_ || !store_) return;
  StoreScope scope(*this, false);
  const std::wstring section = IniSection();
  for (const std::wstring& name : store_->SectionNames())
    if (MatchesSectionPattern(name, section)) store_->EraseSection(name);
}

void PlacementEngine::DoSavePlacement() {
  if (OnSavePlacement) OnSavePlacement(sender_);
}

void PlacementEngine::DoRestorePlacement() {
  if (OnRestorePlacement) OnRestorePlacement(sender_);
}

void PlacementEngine::SaveFormPlacement() {
  if (!restored_ && active_) return;  // never restored: the stored values stay as they are
  // The window's placement is asked for before anything is written: when the system will not
  // tell it, the save is skipped as a whole (and reported) instead of writing zeros over the
  // values of the last good save.
  struct Pending {
    std::optional<PlacementRecord>& record;
    ~Pending() { record.reset(); }
  } pending{pending_record_};
  if (window_ && (options_ & (fpState | fpPosition))) pending_record_ = window_->GetPlacement();
  StoreScope scope(*this, false);
  WriteInteger(kFormVersion, version_);
  StorePlacementValues();
  DoSavePlacement();
  saved_ = true;
}

void PlacementEngine::StorePlacementValues() {
  if (window_) {
    if (options_ & (fpState | fpPosition)) {
      WritePlacement(pending_record_ ? *pending_record_ : window_->GetPlacement());
      WriteString(kVisible, destroying_ ? L"1" : L"0");
    }
    if (options_ & fpActiveControl) {
      const std::wstring name = window_->ActiveControlName();
      if (!name.empty()) WriteString(kActiveControl, name);
    }
  }
  for (TPlacementLink* link : std::vector<TPlacementLink*>(links_)) link->SaveLink();
}

void PlacementEngine::WritePlacement(const PlacementRecord& placement) {
  PlacementWindow& w = *window_;
  PlacementRecord record = placement;
  if (w.IsMainForm() && w.ApplicationMinimized()) record.show_cmd = kShowMinimized;
  if (w.FormStyle() == PlacementFormStyle::fsMDIChild &&
      w.WindowState() == StoredWindowState::Minimized)
    record.flags |= kFlagSetMinPosition;
  WriteInteger(kFlags, static_cast<std::int32_t>(record.flags));
  WriteInteger(kShowCmd, record.show_cmd);
  WriteInteger(kPixels, w.Dpi());
  const std::wstring suffix = ScreenSuffixOf(w);
  const std::wstring min_max =
      FourNumbersText(record.min_position.x, record.min_position.y, record.max_position.x,
                      record.max_position.y);
  WriteString(kMinMaxPos + suffix, min_max);
  WriteString(kMinMaxPos, min_max);
  const Rect& r = record.normal;
  const std::wstring norm = FourNumbersText(r.left, r.top, r.right, r.bottom);
  WriteString(kNormPos + suffix, norm);
  WriteString(kNormPos, norm);
}

void PlacementEngine::RestoreFormPlacement() {
  saved_ = false;
  {
    StoreScope scope(*this, true);
    if (ReadInteger(kFormVersion, 0) >= version_) {
      LoadPlacementValues();
      restored_ = true;
      DoRestorePlacement();
      if ((options_ & fpActiveControl) && window_) {
        const std::wstring name = ReadString(kActiveControl, std::wstring());
        if (!name.empty()) window_->FocusControl(name);
      }
    }
    restored_ = true;
  }  // the store is closed before the maximised position is reset
  ResetMaximizedPosition();
}

void PlacementEngine::LoadPlacementValues() {
  if (window_) ReadPlacement((options_ & fpState) != 0, (options_ & fpPosition) != 0);
  for (TPlacementLink* link : std::vector<TPlacementLink*>(links_)) link->LoadLink();
}

void PlacementEngine::ReadPlacement(bool load_state, bool load_position) {
  if (!load_state && !load_position) return;
  PlacementWindow& w = *window_;
  if (load_position) ReadPosition(w);
  if (load_state && !ReadState(w)) return;
  w.Repaint();
}

void PlacementEngine::ReadPosition(PlacementWindow& w) {
  PlacementRecord record = w.GetPlacement();
  // At the first showing the window is not visible yet: the placement is set while it stays
  // hidden.
  if (!w.Visible()) record.show_cmd = kShowHidden;
  record.flags =
      static_cast<std::uint32_t>(ReadInteger(kFlags, static_cast<std::int32_t>(record.flags)));
  bool found = false;
  const std::wstring suffix = ScreenSuffixOf(w);
  std::wstring text = ReadString(kMinMaxPos + suffix, std::wstring());
  if (text.empty()) text = ReadString(kMinMaxPos, std::wstring());
  if (!text.empty()) {
    found = true;
    const auto v = ReadFourNumbers(text, {0, 0, 0, 0});
    record.min_position = {v[0], v[1]};
    record.max_position = {v[2], v[3]};
  }
  const Rect bounds = w.Bounds();
  Rect64 r{record.normal.left, record.normal.top, record.normal.right, record.normal.bottom};
  text = ReadString(kNormPos + suffix, std::wstring());
  if (text.empty()) text = ReadString(kNormPos, std::wstring());
  if (!text.empty()) {
    found = true;
    const auto v = ReadFourNumbers(text, {bounds.left, bounds.top, bounds.right, bounds.bottom});
    r = {v[0], v[1], v[2], v[3]};
  }
  const int dpi = w.Dpi();
  if (ReadInteger(kPixels, dpi) != dpi) found = false;  // not scaled: ignored as a whole
  if (!found) return;
  const PlacementBorderStyle border = w.BorderStyle();
  if (border != PlacementBorderStyle::bsSizeable && border != PlacementBorderStyle::bsSizeToolWin) {
    // A form that cannot be resized keeps its size and takes only the stored place.
    r.right = r.left + (std::int64_t{bounds.right} - bounds.left);
    r.bottom = r.top + (std::int64_t{bounds.bottom} - bounds.top);
  }
  // A rectangle without width or height is no place to open at: nothing of the position is
  // applied, and the form shows as on a first run.
  if (r.right <= r.left || r.bottom <= r.top) return;
  const PlacementPosition position = w.Position();
  if (position == PlacementPosition::poScreenCenter ||
      position == PlacementPosition::poDesktopCenter)
    w.SetPosition(PlacementPosition::poDesigned);  // it would centre itself after the show
  record.normal = KeepOnScreen(r, w.Screens());
  // The maximised position the end of the restore sets anyway goes with this placement.
  if (std::optional<Point> max = ResetMaximizedPoint()) record.max_position = *max;
  w.SetPlacement(record);
}

bool PlacementEngine::ReadState(PlacementWindow& w) {
  const bool main_or_first = w.IsMainForm() || !w.HasMainForm();
  // Nothing stored and nothing asked for by default: the state the form already has stays, so
  // that a window started maximised (from a shortcut, say) opens maximised on a first run.
  std::optional<StoredWindowState> state;
  const PlacementFormStyle style = w.FormStyle();
  if (main_or_first &&
      (style == PlacementFormStyle::fsMDIForm ||
       (style == PlacementFormStyle::fsNormal && w.Position() == PlacementPosition::poDefault)))
    state = StoredWindowState::Maximized;
  if (auto stored = StateFromShowCmd(ReadInteger(kShowCmd, 0))) state = stored;
  if (state == StoredWindowState::Minimized && main_or_first) {
    w.MinimizeApplication();  // the application minimises itself when its loop gets there
    return false;
  }
  if (state) w.SetWindowState(*state);
  return true;
}

std::optional<Point> PlacementEngine::ResetMaximizedPoint() {
  if (!window_ || !window_->HandleAllocated() || !MayResetMaximizedPosition()) return std::nullopt;
  Point frame;
  switch (window_->BorderStyle()) {
    case PlacementBorderStyle::bsNone:
      return Point{0, 0};
    case PlacementBorderStyle::bsSingle:
    case PlacementBorderStyle::bsToolWindow:
      frame = window_->FrameSize(FrameMetric::Border);
      break;
    case PlacementBorderStyle::bsDialog:
      frame = window_->FrameSize(FrameMetric::DialogFrame);
      break;
    case PlacementBorderStyle::bsSizeable:
    case PlacementBorderStyle::bsSizeToolWin:
      frame = window_->FrameSize(FrameMetric::Frame);
      break;
  }
  return Point{-frame.x, -frame.y};
}

void PlacementEngine::ResetMaximizedPosition() {
  const std::optional<Point> max = ResetMaximizedPoint();
  if (!max) return;
  PlacementRecord record = window_->GetPlacement();
  // Setting a placement moves the window even when nothing changes, which takes a while.
  if (record.max_position == *max) return;
  if (!window_->Visible()) record.show_cmd = kShowHidden;
  record.max_position = *max;
  window_->SetPlacement(record);
}

void PlacementEngine::SaveGuarded() noexcept {
  try {
    SaveFormPlacement();
  } catch (...) {
    HandleException(sender_);
  }
}

void PlacementEngine::HandleFormShow(TObject* sender) {
  if (active_) {
    try {
      RestoreFormPlacement();
    } catch (...) {
      HandleException(sender_);
    }
  }
  if (KeptShow) KeptShow(sender);
}

void PlacementEngine::HandleFormCloseQuery(TObject* sender, bool& can_close) {
  if (KeptCloseQuery) KeptCloseQuery(sender, can_close);
  if (can_close && active_ && window_ && window_->HandleAllocated()) SaveGuarded();
}

void PlacementEngine::HandleFormDestroy(TObject* sender) {
  if (active_ && !saved_) {
    destroying_ = true;
    SaveGuarded();
    destroying_ = false;
  }
  if (KeptDestroy) KeptDestroy(sender);
}

void PlacementEngine::HandleEndSession() {
  if (session_saved_) return;
  session_saved_ = true;
  // As at a close: saved with "Visible" "0", and FSaved keeps the destroy event from saving.
  if (active_ && window_ && window_->HandleAllocated()) SaveGuarded();
}

}  // namespace reprisa
