// The main window: the address, the interval and the countdown above the embedded browser. Its
// rules are the reload presenter's; this is the Win32 wiring of controls, keys and events.
#pragma once

#include <memory>

#include "core/reload_presenter.h"
#include "win/kit/form_placement_win.h"
#include "win/kit/form_win.h"
#include "win/kit/stdctrls_win.h"

namespace reprisa {

class TWebBrowser;

class TMainForm : public TForm, private ReloadView {
 public:
  explicit TMainForm(TComponent* owner);
  ~TMainForm() override;
  std::wstring ClassName() const override { return L"TMainForm"; }

  TPanel* top_panel;
  TWebBrowser* browser;
  TPanel* button_panel;
  TBitBtn* open_address_button;
  TBitBtn* restart_countdown_button;
  TEdit* address_edit;
  TLabel* interval_label;
  TEdit* interval_edit;
  TBitBtn* apply_interval_button;
  TEdit* current_interval_edit;
  TLabel* countdown_label;
  TEdit* countdown_edit;
  TFormPlacement* placement;
  TMainMenu* main_menu;
  TMenuItem* help_menu;
  TMenuItem* about_item;

  void OnOpenAddressClick(TObject* sender);
  void OnAddressKeyPress(TObject* sender, wchar_t& key);
  void OnApplyIntervalClick(TObject* sender);
  void OnRestartCountdownClick(TObject* sender);
  void OnAboutItemClick(TObject* sender);

  ReloadPresenter& Presenter() noexcept { return *presenter_; }

 protected:
  // Also: the computer woke from sleep (the power broadcast's resume events).
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 public:
  TTimer& ReloadTimer() noexcept { return presenter_->ReloadTimer(); }
  TTimer& DisplayTimer() noexcept { return presenter_->DisplayTimer(); }
  ReloadSchedule& Schedule() noexcept { return presenter_->Schedule(); }

 protected:
  void Shown() override;

 private:
  void BuildControls();
  void BuildMenu();

  // ReloadView
  void ShowInterval(const std::wstring& text) override;
  void ShowCountdown(const std::wstring& text) override;
  void OpenAddress(const std::wstring& address) override;
  void Reload() override;
  void Recover() override;

  std::unique_ptr<ReloadPresenter> presenter_;
  // A wake is told twice (the automatic resume, then the one when the user is back): the page
  // is reloaded at the first resume after each suspend.
  bool resumed_ = false;
  bool named_ = false;  // the fields without a label have their names for screen readers
};

extern TMainForm* MainForm;

}  // namespace reprisa
