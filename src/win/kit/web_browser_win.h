// The host of the system's web browser control: an OLE container inside a child window of ours,
// with the two operations the program needs (open an address, reload the page).
#pragma once

#include <windows.h>

#include <exdisp.h>
#include <ole2.h>

#include <string>

#include "win/kit/application_win.h"
#include "win/kit/com_ptr_win.h"
#include "win/kit/controls_win.h"
#include "win/kit/ole_error_win.h"

namespace reprisa {

// Asks the browser control for its newest document mode in this program, for the current user:
// under HKEY_CURRENT_USER\...\FeatureControl\FEATURE_BROWSER_EMULATION, a value named after the
// running executable's file name is created as REG_DWORD 11001 when there is none. A value that
// exists, of any type or number, is the user's or an administrator's choice and stays. Nothing is
// reported: without the value the control opens pages in its oldest mode. Call it before the
// first control is made.
void RequestNewestBrowserMode() noexcept;
extern const wchar_t kBrowserEmulationKey[];  // the key's path under HKEY_CURRENT_USER
constexpr DWORD kNewestBrowserMode = 11001;

class TWebBrowser : public TWinControl, public MessageFilter {
 public:
  explicit TWebBrowser(TComponent* owner);
  ~TWebBrowser() override;

  std::wstring ClassName() const override { return L"TWebBrowser"; }

  // Opens the address (the four optional arguments left out). Does not wait for the page.
  void Navigate(const std::wstring& url);
  // Reloads the page the control shows (no refresh level).
  void Refresh();

  // With this set before the window exists, a host created inside a hidden window creates the
  // control only once the message loop runs (after the window has appeared), or at the first
  // operation, whichever comes first; this keeps the control's set-up out of the start-up time.
  void SetDeferredEmbedding(bool value) noexcept { deferred_embedding_ = value; }

  // Keys inside the page belong to the page: the form leaves them alone.
  bool WantsAllKeys() const override { return true; }
  // Offers key messages for windows inside ours to the control's in-place active object first.
  bool PreTranslateMessage(MSG& msg) override;

  // The control's automation interface (obtained on first use and kept); raises like the two
  // operations when there is no control.
  IWebBrowser2* ControlInterface() { return Browser(); }
  // The client site the control talks to (null before the control is set up).
  IOleClientSite* ClientSite() const noexcept;

  // True between the control's in-place activation and its deactivation.
  bool InPlaceActive() const noexcept { return in_place_active_; }
  // The control's own window inside ours (null when it is not active in place).
  HWND ControlWindow() const noexcept;
  // References held on this control's site object right now (0 when it has none).
  unsigned long SiteReferences() const noexcept;
  // Site objects of all browser hosts that are still alive (released by nobody yet).
  static long LiveSites() noexcept;
  // Hosts whose control still had references after the host had released its last one.
  static long ControlsLeftReferenced() noexcept;

 protected:
  void CreateParams(CreateParamsT& params) override;
  void HandleCreated() override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  void Resized() override;

 private:
  class Site;
  friend class Site;

  IWebBrowser2* Browser();
  void Embed();
  void Teardown() noexcept;
  void UpdateObjectRects() noexcept;
  void UIActivate() noexcept;
  RECT HostRect() const noexcept;

  ComPtr<Site> site_;
  ComPtr<IOleObject> object_;
  ComPtr<IOleInPlaceObject> in_place_;
  ComPtr<IOleInPlaceActiveObject> active_;
  ComPtr<IWebBrowser2> browser_;  // obtained on the first operation, kept for the control's life
  HRESULT create_result_ = S_OK;
  bool in_place_active_ = false;
  bool tearing_down_ = false;
  bool focusing_ = false;
  bool filter_added_ = false;
  bool deferred_embedding_ = false;
};

}  // namespace reprisa
