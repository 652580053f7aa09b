// The form placement store: carries a form's window placement from one run to the next in the
// registry. It restores the placement every time the form is shown and saves it when the form is
// asked whether it may close (or, failing that, when it is destroyed), through the form's show,
// close-query and destroy events, which it takes over when the form has been built.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "win/kit/form_win.h"

namespace reprisa {

class RegistryStore;
class TFormPlacement;

enum TPlacementOption : unsigned { fpState = 1, fpPosition = 2, fpActiveControl = 4 };
using TPlacementOptions = unsigned;

enum class TPlacementRegRoot { prCurrentUser, prLocalMachine, prCurrentConfig, prClassesRoot,
                               prUsers, prDynData };

// Size limits for the form (all 0: none).
class TWinMinMaxInfo {
 public:
  explicit TWinMinMaxInfo(TFormPlacement* owner) : owner_(owner) {}
  int MaxPosLeft() const noexcept { return info_.ptMaxPosition.x; }
  int MaxPosTop() const noexcept { return info_.ptMaxPosition.y; }
  int MaxSizeHeight() const noexcept { return info_.ptMaxSize.y; }
  int MaxSizeWidth() const noexcept { return info_.ptMaxSize.x; }
  int MaxTrackHeight() const noexcept { return info_.ptMaxTrackSize.y; }
  int MaxTrackWidth() const noexcept { return info_.ptMaxTrackSize.x; }
  int MinTrackHeight() const noexcept { return info_.ptMinTrackSize.y; }
  int MinTrackWidth() const noexcept { return info_.ptMinTrackSize.x; }
  void SetMaxPosLeft(int v) { Set(info_.ptMaxPosition.x, v); }
  void SetMaxPosTop(int v) { Set(info_.ptMaxPosition.y, v); }
  void SetMaxSizeHeight(int v) { Set(info_.ptMaxSize.y, v); }
  void SetMaxSizeWidth(int v) { Set(info_.ptMaxSize.x, v); }
  void SetMaxTrackHeight(int v) { Set(info_.ptMaxTrackSize.y, v); }
  void SetMaxTrackWidth(int v) { Set(info_.ptMaxTrackSize.x, v); }
  void SetMinTrackHeight(int v) { Set(info_.ptMinTrackSize.y, v); }
  void SetMinTrackWidth(int v) { Set(info_.ptMinTrackSize.x, v); }
  void Assign(const TWinMinMaxInfo& other);
  bool DefaultMinMaxInfo() const noexcept;
  const MINMAXINFO& Info() const noexcept { return info_; }
  void DetachOwner() noexcept { owner_ = nullptr; }

 private:
  void Set(LONG& member, int value);
  void Changed();
  TFormPlacement* owner_;
  MINMAXINFO info_{};
};

// The window-message observer: runs handlers after the observed form's own window procedure.
// It subclasses the form's window while it is hooked.
struct THookMessage {
  UINT msg;
  WPARAM wparam;
  LPARAM lparam;
  LRESULT result;
};
using THookMessageEvent = std::function<void(TObject* sender, THookMessage& msg, bool& handled)>;

class TWindowHook : public TComponent {
 public:
  explicit TWindowHook(TComponent* owner) : TComponent(owner) {}
  ~TWindowHook() override { UnhookControl(); }
  std::wstring ClassName() const override { return L"TWindowHook"; }
  bool Active() const noexcept { return active_; }
  void SetActive(bool value) { active_ = value; }
  TWinControl* WinControl() const noexcept { return control_; }
  void SetWinControl(TWinControl* control);
  void HookControl();
  void UnhookControl() noexcept;
  bool Hooked() const noexcept { return hooked_ != nullptr; }
  THookMessageEvent BeforeMessage, AfterMessage;

 private:
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  TWinControl* control_ = nullptr;
  HWND hooked_ = nullptr;
  bool active_ = true;
};

// Another storage object that saves and loads with the placement.
class TPlacementLink {
 public:
  virtual ~TPlacementLink();
  virtual void SaveLink() {}
  virtual void LoadLink() {}
  TFormPlacement* Placement() const noexcept { return placement_; }

 private:
  friend class TFormPlacement;
  TFormPlacement* placement_ = nullptr;
};

class TFormPlacement : public TComponent {
 public:
  explicit TFormPlacement(TComponent* owner);
  ~TFormPlacement() override;
  std::wstring ClassName() const override { return L"TFormPlacement"; }

  bool Active() const noexcept { return active_; }
  void SetActive(bool value) { active_ = value; }
  std::wstring IniFileName() const;
  void SetIniFileName(std::wstring value) { ini_file_name_ = std::move(value); }
  std::wstring IniSection() const;
  void SetIniSection(std::wstring value) { ini_section_ = std::move(value); }
  TWinMinMaxInfo& MinMaxInfo() noexcept { return *min_max_info_; }
  TPlacementOptions Options() const noexcept { return options_; }
  void SetOptions(TPlacementOptions value) { options_ = value; }
  bool PreventResize() const noexcept { return prevent_resize_; }
  void SetPreventResize(bool value);
  TPlacementRegRoot RegistryRoot() const noexcept { return registry_root_; }
  void SetRegistryRoot(TPlacementRegRoot value) { registry_root_ = value; }
  bool UseRegistry() const noexcept { return use_registry_; }
  void SetUseRegistry(bool value) { use_registry_ = value; }
  std::int32_t Version() const noexcept { return version_; }
  void SetVersion(std::int32_t value) { version_ = value; }
  TNotifyEvent OnSavePlacement, OnRestorePlacement;

  void SaveFormPlacement();
  void RestoreFormPlacement();
  std::int32_t ReadInteger(const std::wstring& ident, std::int32_t default_value);
  void WriteInteger(const std::wstring& ident, std::int32_t value);
  std::wstring ReadString(const std::wstring& ident, const std::wstring& default_value);
  void WriteString(const std::wstring& ident, const std::wstring& value);
  void EraseSections();
  void AddLink(TPlacementLink* link);
  void RemoveLink(TPlacementLink* link) noexcept;

  bool Saved() const noexcept { return saved_; }
  bool Restored() const noexcept { return restored_; }
  bool Observing() const noexcept { return win_hook_->Hooked(); }

  void Loaded() override;

  // Settings of the module: the application title instead of the file name in the default key
  // path, and a company folder. This program changes neither.
  static bool UseTitleForRegistryKey;
  static std::wstring RegistryCompanyName;

 protected:
  virtual void StorePlacementValues();
  virtual void LoadPlacementValues();
  virtual std::wstring ReadStringValue(const std::wstring& section, const std::wstring& ident,
                                       const std::wstring& default_value);
  virtual void WriteStringValue(const std::wstring& section, const std::wstring& ident,
                                const std::wstring& value);
  virtual void DoSavePlacement();
  virtual void DoRestorePlacement();

 private:
  friend class TWinMinMaxInfo;
  class StoreScope;
  TForm* Form() const;
  void OpenStore(bool read_only);
  void CloseStore() noexcept;
  void WritePlacement();
  void ReadPlacement(bool load_state, bool load_position);
  void ResetMaximizedPosition();
  // The maximised position ResetMaximizedPosition sets; nothing when it sets none.
  std::optional<POINT> ResetMaximizedPoint();
  void ApplyPreventResize();
  void UpdateObserver();
  void MinMaxChanged();
  void HandleFormShow(TObject* sender);
  void HandleFormCloseQuery(TObject* sender, bool& can_close);
  void HandleFormDestroy(TObject* sender);
  void HandleWindowMessage(TObject* sender, THookMessage& msg, bool& handled);

  bool active_ = true;
  std::wstring ini_file_name_;
  std::wstring ini_section_;
  bool use_registry_ = false;
  std::unique_ptr<RegistryStore> store_;  // open only for one save, restore, read or write
  TPlacementRegRoot registry_root_ = TPlacementRegRoot::prCurrentUser;
  std::vector<TPlacementLink*> links_;
  TPlacementOptions options_ = 0;
  std::int32_t version_ = 0;
  bool saved_ = false;
  bool restored_ = false;
  bool max_position_applied_ = false;  // the restore in progress has set the reset position
  bool destroying_ = false;
  bool prevent_resize_ = false;
  std::unique_ptr<TWinMinMaxInfo> min_max_info_;
  bool def_maximize_ = false;
  TWindowHook* win_hook_;  // owned as a component
  bool attached_ = false;
  TNotifyEvent save_form_show_;
  TNotifyEvent save_form_destroy_;
  TCloseQueryEvent save_form_close_query_;
};

}  // namespace reprisa
