#include "win/app/main_form_win.h"

#include "core/design_layout.h"
#include "core/locale_settings.h"
#include "core/texts.h"
#include "win/app/about_box_win.h"
#include "win/app/design_controls_win.h"
#include "win/kit/accessibility_win.h"
#include "win/kit/startup_trace_win.h"
#include "win/kit/timer_win.h"
#include "win/web/web_browser_win.h"

namespace reprisa {

TMainForm* MainForm = nullptr;

namespace {

const design::MainWindow& kDesign = design::kMainWindow;

TEdit* MakeField(TForm* form, const design::Control& d, TWinControl* parent) {
  return MakeEdit(form, d, parent, kDesign.read_only_field);
}

TPanel* MakePanel(TForm* form, const design::Control& d, TWinControl* parent, TAlign align) {
  auto* p = PlaceControl<TPanel>(form, d, parent);
  p->SetBevels(TBevelCut::bvNone, TBevelCut::bvNone);
  p->SetAlign(align);
  return p;
}

}  // namespace

TMainForm::TMainForm(TComponent* owner) : TForm(owner) {
  SetName(std::wstring(kDesign.name));
  SetDesignFont(FontSpec(kDesign.font, clWindowText));
  SetCaption(std::wstring(texts::kMainCaption));
  SetDesignClientSize(kDesign.client_width, kDesign.client_height);
  SetPosition(TPosition::poScreenCenter);
  StartupMark("main form: font and size");
  BuildControls();
  StartupMark("main form: controls (objects)");
  BuildMenu();
  placement = new TFormPlacement(this);
  placement->SetName(L"FormPlacement1");
  StartupMark("main form: menu and placement component");

  ReloadView& view = *this;
  presenter_ = std::make_unique<ReloadPresenter>(view, NewWin32TimerBackend(),
                                                 NewWin32TimerBackend(), NewWin32TimerBackend(),
                                                 SystemTickSource(),
                                                 CurrentLocaleSettings());
  // What the page's engine reports reaches the presenter, which brings the page back later.
  ReloadPresenter* presenter = presenter_.get();
  browser->OnEngineLost = [presenter] { presenter->EngineLost(); };
  browser->OnHelperProcessEnded = [presenter] { presenter->HelperProcessEnded(); };
  browser->OnLoadFailed = [presenter] { presenter->LoadFailed(); };
  browser->OnLoaded = [presenter] { presenter->LoadSucceeded(); };
  browser->OnMediaMessage = [presenter](std::string_view text) {
    presenter->MediaMessageReceived(text);
  };
  StartupMark("main form: presenter and timers");
  FinishBuilding();
  StartupMark("main form: windows made");
}

void TMainForm::BuildControls() {
  top_panel = MakePanel(this, kDesign.top_panel, this, TAlign::alTop);
  browser = PlaceControl<TWebBrowser>(this, kDesign.browser, this);
  browser->SetAlign(TAlign::alClient);
  browser->SetDeferredEmbedding(true);
  button_panel = MakePanel(this, kDesign.button_panel, top_panel, TAlign::alRight);

  open_address_button = MakeButton(this, kDesign.open_address_button, button_panel);
  interval_label = MakeLabel(this, kDesign.interval_label, top_panel);
  interval_edit = MakeField(this, kDesign.interval_edit, top_panel);
  apply_interval_button = MakeButton(this, kDesign.apply_interval_button, top_panel);
  current_interval_edit = MakeField(this, kDesign.current_interval_edit, top_panel);
  countdown_edit = MakeField(this, kDesign.countdown_edit, top_panel);
  countdown_label = MakeLabel(this, kDesign.countdown_label, top_panel);
  restart_countdown_button = MakeButton(this, kDesign.restart_countdown_button, button_panel);
  address_edit = MakeField(this, kDesign.address_edit, top_panel);
  address_edit->SetAnchors(akLeft | akTop | akRight);
  // Screen readers name the interval and countdown fields after their labels.
  interval_label->SetFocusControl(interval_edit);
  countdown_label->SetFocusControl(countdown_edit);

  open_address_button->OnClick = [this](TObject* s) { OnOpenAddressClick(s); };
  address_edit->OnKeyPress = [this](TObject* s, wchar_t& k) { OnAddressKeyPress(s, k); };
  apply_interval_button->OnClick = [this](TObject* s) { OnApplyIntervalClick(s); };
  restart_countdown_button->OnClick = [this](TObject* s) { OnRestartCountdownClick(s); };
}

// The fields without a label get their names for screen readers once the window can be seen,
// before a screen reader can ask for them: the names cost the start no time (the annotation
// service is a library of its own to load). A refusal leaves them unnamed and changes nothing
// else; they are given once.
void TMainForm::Shown() {
  if (named_) return;
  named_ = true;
  SetAccessibleName(address_edit, texts::kAddressName);
  SetAccessibleName(current_interval_edit, texts::kCurrentIntervalName);
}

void TMainForm::BuildMenu() {
  main_menu = new TMainMenu(this);
  main_menu->SetName(L"MainMenu1");
  help_menu = new TMenuItem(this);
  help_menu->SetName(L"Hilfe1");
  help_menu->SetCaption(std::wstring(texts::kHelpMenu));
  about_item = new TMenuItem(this);
  about_item->SetName(L"ber1");
  about_item->SetCaption(std::wstring(texts::kAboutMenu));
  help_menu->Add(about_item);
  main_menu->Add(help_menu);
  SetMenu(main_menu);
  about_item->OnClick = [this](TObject* s) { OnAboutItemClick(s); };
}

TMainForm::~TMainForm() {
  // The presenter stops its timers: no tick may reach a half-destroyed window; nor may a report
  // of the browser, which goes later, reach the presenter.
  browser->OnEngineLost = browser->OnLoadFailed = browser->OnLoaded = nullptr;
  browser->OnHelperProcessEnded = nullptr;
  browser->OnMediaMessage = nullptr;
  presenter_.reset();
  if (MainForm == this) MainForm = nullptr;
}

void TMainForm::OnOpenAddressClick(TObject*) { presenter_->OpenAddress(address_edit->Text()); }

// The second way to open the address: the Enter character reaches the address field when the
// default button cannot take it.
void TMainForm::OnAddressKeyPress(TObject* sender, wchar_t& key) {
  if (key == L'\r') OnOpenAddressClick(sender);
}

void TMainForm::OnApplyIntervalClick(TObject*) { presenter_->ApplyInterval(interval_edit->Text()); }

// Also the Escape key's way: the button is the window's cancel button.
void TMainForm::OnRestartCountdownClick(TObject*) { presenter_->RestartCountdown(); }

void TMainForm::OnAboutItemClick(TObject*) {
  if (AboutBox) AboutBox->ShowModal();
}

void TMainForm::ShowInterval(const std::wstring& text) { current_interval_edit->SetText(text); }

void TMainForm::ShowCountdown(const std::wstring& text) { countdown_edit->SetText(text); }

void TMainForm::OpenAddress(const std::wstring& address) { browser->Navigate(address); }

void TMainForm::Reload() { browser->Refresh(); }

void TMainForm::Recover() { browser->Recover(); }

LRESULT TMainForm::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_POWERBROADCAST) {
    // Every wake brings PBT_APMRESUMEAUTOMATIC; PBT_APMRESUMESUSPEND follows it when a user is
    // there. One wake reloads once, and a wake is never missed for want of a suspend message.
    if (wp == PBT_APMSUSPEND) {
      resumed_ = false;
    } else if (wp == PBT_APMRESUMEAUTOMATIC || (wp == PBT_APMRESUMESUSPEND && !resumed_)) {
      resumed_ = true;
      if (presenter_) presenter_->Resumed();
    }
    return TRUE;
  }
  return TForm::WndProc(msg, wp, lp);
}

}  // namespace reprisa
