// The main window: the address, the interval and the countdown above the embedded browser.
#pragma once

#include <memory>

#include "core/countdown.h"
#include "core/texts.h"
#include "win/kit/form_placement_win.h"
#include "win/kit/timer_win.h"
#include "win/kit/form_win.h"
#include "win/kit/stdctrls_win.h"

namespace reprisa {

class TWebBrowser;

// The address the address field starts with.
inline constexpr std::wstring_view kDefaultAddress = texts::kDefaultAddress;

class TMainForm : public TForm {
 public:
  explicit TMainForm(TComponent* owner);
  ~TMainForm() override;
  std::wstring ClassName() const override { return L"TMainForm"; }

  TPanel* Panel1;
  TWebBrowser* WebBrowser1;
  TPanel* Panel2;
  TBitBtn* GotoWebsiteBtn;
  TLabel* Label1;
  TEdit* Edit1;
  TBitBtn* BitBtn2;
  TEdit* Edit2;
  TEdit* Edit3;
  TLabel* Label2;
  TBitBtn* BitBtn3;
  TFormPlacement* FormPlacement1;
  TEdit* urled;
  TTimerComponent* Timer1;
  TTimerComponent* Timer2;
  TMainMenu* MainMenu1;
  TMenuItem* Hilfe1;
  TMenuItem* ber1;

  void FormCreate(TObject* sender);
  void GotoWebsiteBtnClick(TObject* sender);
  void urledKeyPress(TObject* sender, wchar_t& key);
  void BitBtn2Click(TObject* sender);
  void BitBtn3Click(TObject* sender);
  void Timer1Timer(TObject* sender);
  void Timer2Timer(TObject* sender);
  void ber1Click(TObject* sender);

  ReloadSchedule& Schedule() noexcept { return *schedule_; }

 private:
  // Re-arms Timer2 so that its next tick falls half-way into a second of the countdown (its
  // Interval stays 1000); called after every tick and every restart of the countdown.
  void AlignCountdownTick();

  Win32TickSource ticks_;
  std::unique_ptr<ReloadSchedule> schedule_;
};

extern TMainForm* MainForm;

}  // namespace reprisa
