// The form placement component on Windows: binds the placement rules of the core to a form's
// window and to the registry. It takes over the form's show, close-query and destroy events when
// the form has been built, answers the end of the session, and can impose size limits on the form
// through a window-message observer.
//
// The program's main window uses it as built: options fpState and fpPosition, the section named
// after the form, the key path named after the program. The size limits (MinMaxInfo), the fixed
// size (PreventResize) and the module settings below are the component's documented behaviour,
// kept and tested, but no window of this program sets them; see core/placement.h for the rules.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "core/placement.h"
#include "win/kit/form_win.h"

namespace reprisa {

class RegistryPlacementStore;
class TFormPlacement;

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

class TFormPlacement : public TComponent, public PlacementEngine {
 public:
  explicit TFormPlacement(TComponent* owner);
  ~TFormPlacement() override;
  std::wstring ClassName() const override { return L"TFormPlacement"; }

  TWinMinMaxInfo& MinMaxInfo() noexcept { return *min_max_info_; }
  bool PreventResize() const noexcept { return prevent_resize_; }
  void SetPreventResize(bool value);

  bool Observing() const noexcept { return win_hook_->Hooked(); }

  void Loaded() override;

  // Settings of the module: the application title instead of the file name in the default key
  // path, and a company folder. This program changes neither.
  static bool UseTitleForRegistryKey;
  static std::wstring RegistryCompanyName;

 protected:
  std::wstring DefaultIniFileName() const override;
  std::wstring DefaultIniSection() const override;
  bool MayResetMaximizedPosition() const override;

 private:
  friend class TWinMinMaxInfo;
  class Window;
  TForm* Form() const;
  void ApplyPreventResize();
  void UpdateObserver();
  void MinMaxChanged();
  void WatchSession();
  void HandleWindowMessage(TObject* sender, THookMessage& msg, bool& handled);
  void HandleSessionMessage(TObject* sender, THookMessage& msg, bool& handled);

  std::unique_ptr<RegistryPlacementStore> registry_;
  std::unique_ptr<Window> window_adapter_;
  bool prevent_resize_ = false;
  std::unique_ptr<TWinMinMaxInfo> min_max_info_;
  bool def_maximize_ = false;
  TWindowHook* win_hook_;      // owned as a component; on the form only while limits are in force
  TWindowHook* session_hook_;  // owned as a component; on the form once it has a window
  bool attached_ = false;
};

}  // namespace reprisa
