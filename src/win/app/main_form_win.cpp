#include "win/app/main_form_win.h"

#include "core/locale_settings.h"
#include "core/texts.h"
#include "win/app/about_box_win.h"
#include "win/kit/web_browser_win.h"

namespace reprisa {

TMainForm* MainForm = nullptr;

namespace {
TEdit* MakeEdit(TForm* form, const wchar_t* name, TWinControl* parent, int left, int top, int width,
                int height, std::wstring_view text, int tab_order) {
  auto* e = NewControl<TEdit>(form, name, parent);
  e->SetDesignBounds(left, top, width, height);
  e->SetText(std::wstring(text));
  e->SetTabOrder(tab_order);
  return e;
}

TBitBtn* MakeButton(TForm* form, const wchar_t* name, TWinControl* parent, int left, int top,
                    int width, int height, std::wstring_view caption, TBitBtnKind kind,
                    int tab_order) {
  auto* b = NewControl<TBitBtn>(form, name, parent);
  b->SetDesignBounds(left, top, width, height);
  b->SetText(std::wstring(caption));
  b->SetKind(kind);
  b->SetTabOrder(tab_order);
  return b;
}

}  // namespace

TMainForm::TMainForm(TComponent* owner) : TForm(owner) {
  SetName(L"MainForm");
  SetDesignFont({L"Tahoma", -11, false, clWindowText});
  SetCaption(std::wstring(texts::kMainCaption));
  SetDesignClientSize(846, 554);
  SetPosition(TPosition::poScreenCenter);

  Panel1 = NewControl<TPanel>(this, L"Panel1", this);
  Panel1->SetDesignBounds(0, 0, 846, 65);
  Panel1->SetBevels(TBevelCut::bvNone, TBevelCut::bvNone);
  Panel1->SetAlign(TAlign::alTop);

  WebBrowser1 = NewControl<TWebBrowser>(this, L"WebBrowser1", this);
  WebBrowser1->SetDesignBounds(0, 65, 846, 489);
  WebBrowser1->SetAlign(TAlign::alClient);
  WebBrowser1->SetDeferredEmbedding(true);
  WebBrowser1->SetTabOrder(1);

  Panel2 = NewControl<TPanel>(this, L"Panel2", Panel1);
  Panel2->SetDesignBounds(672, 0, 174, 65);
  Panel2->SetBevels(TBevelCut::bvNone, TBevelCut::bvNone);
  Panel2->SetAlign(TAlign::alRight);

  GotoWebsiteBtn = MakeButton(this, L"GotoWebsiteBtn", Panel2, 8, 3, 153, 25, texts::kGotoWebsite,
                              TBitBtnKind::bkOK, 0);
  Label1 = NewLabel(this, L"Label1", Panel1, 8, 35, std::wstring(texts::kIntervalLabel));
  Edit1 = MakeEdit(this, L"Edit1", Panel1, 226, 35, 71, 21, texts::kInitialInterval, 2);
  BitBtn2 = MakeButton(this, L"BitBtn2", Panel1, 303, 34, 122, 25, texts::kApplyInterval,
                       TBitBtnKind::bkRetry, 3);
  Edit2 = MakeEdit(this, L"Edit2", Panel1, 431, 35, 71, 21, texts::kInitialInterval, 4);
  Edit2->SetReadOnly(true);
  Edit2->SetColor(clSilver);
  Edit3 = MakeEdit(this, L"Edit3", Panel1, 571, 35, 71, 21, texts::kInitialInterval, 5);
  Edit3->SetReadOnly(true);
  Edit3->SetColor(clSilver);
  Label2 = NewLabel(this, L"Label2", Panel1, 508, 35, std::wstring(texts::kCountdownLabel));
  BitBtn3 = MakeButton(this, L"BitBtn3", Panel2, 8, 34, 153, 25, texts::kRestartCountdown,
                       TBitBtnKind::bkCancel, 1);
  FormPlacement1 = new TFormPlacement(this);
  FormPlacement1->SetName(L"FormPlacement1");
  urled = MakeEdit(this, L"urled", Panel1, 8, 8, 658, 21, kDefaultAddress, 0);
  urled->SetAnchors(akLeft | akTop | akRight);
  Panel2->SetTabOrder(1);

  Timer1 = new TTimerComponent(this);
  Timer1->SetName(L"Timer1");
  Timer1->Timer().SetInterval(180000);
  Timer2 = new TTimerComponent(this);
  Timer2->SetName(L"Timer2");
  Timer2->Timer().SetInterval(1000);

  MainMenu1 = new TMainMenu(this);
  MainMenu1->SetName(L"MainMenu1");
  Hilfe1 = new TMenuItem(this);
  Hilfe1->SetName(L"Hilfe1");
  Hilfe1->SetCaption(std::wstring(texts::kHelpMenu));
  ber1 = new TMenuItem(this);
  ber1->SetName(L"ber1");
  ber1->SetCaption(std::wstring(texts::kAboutMenu));
  Hilfe1->Add(ber1);
  MainMenu1->Add(Hilfe1);
  SetMenu(MainMenu1);

  schedule_ = std::make_unique<ReloadSchedule>(Timer1->Timer(), ticks_, CurrentLocaleSettings());

  // Handlers, as the layout table wires them.
  OnCreate = [this](TObject* s) { FormCreate(s); };
  GotoWebsiteBtn->OnClick = [this](TObject* s) { GotoWebsiteBtnClick(s); };
  urled->OnKeyPress = [this](TObject* s, wchar_t& k) { urledKeyPress(s, k); };
  BitBtn2->OnClick = [this](TObject* s) { BitBtn2Click(s); };
  BitBtn3->OnClick = [this](TObject* s) { BitBtn3Click(s); };
  Timer1->Timer().SetOnTimer([this] { Timer1Timer(Timer1); });
  Timer2->Timer().SetOnTimer([this] { Timer2Timer(Timer2); });
  ber1->OnClick = [this](TObject* s) { ber1Click(s); };

  FinishBuilding();
}

TMainForm::~TMainForm() {
  // The timers go first: no tick may reach a half-destroyed window.
  Timer1->Timer().SetEnabled(false);
  Timer2->Timer().SetEnabled(false);
  if (MainForm == this) MainForm = nullptr;
}

void TMainForm::AlignCountdownTick() {
  Timer2->Timer().DelayNextTick(schedule_->NextDisplayTickDelay());
}

void TMainForm::FormCreate(TObject*) {
  schedule_->Stamp();
  AlignCountdownTick();
}

void TMainForm::GotoWebsiteBtnClick(TObject*) { WebBrowser1->Navigate(urled->Text()); }

void TMainForm::urledKeyPress(TObject* sender, wchar_t& key) {
  if (key == L'\r') GotoWebsiteBtnClick(sender);
}

void TMainForm::BitBtn2Click(TObject*) {
  try {
    Edit2->SetText(schedule_->ApplyIntervalText(Edit1->Text()));
    AlignCountdownTick();
  } catch (...) {
    // An invalid interval text changes nothing and shows nothing.
  }
}

// Also the Escape key's way: BitBtn3 is the window's cancel button.
void TMainForm::BitBtn3Click(TObject*) {
  schedule_->RestartCountdown();
  AlignCountdownTick();
}

void TMainForm::Timer1Timer(TObject*) {
  try {
    schedule_->NoteReload();
    AlignCountdownTick();
  } catch (...) {
    // A refused timer stops the countdown display; the reload itself still happens.
  }
  try {
    WebBrowser1->Refresh();
  } catch (...) {
    // Whatever the browser reports on a reload is not the user's concern; the next comes later.
  }
}

void TMainForm::Timer2Timer(TObject*) {
  std::wstring text = schedule_->CountdownText();
  if (text != Edit3->Text()) Edit3->SetText(text);
  AlignCountdownTick();
}

void TMainForm::ber1Click(TObject*) {
  if (AboutBox) AboutBox->ShowModal();
}

}  // namespace reprisa
