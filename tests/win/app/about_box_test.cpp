#include <gtest/gtest.h>

#include <functional>

#include "core/exceptions.h"
#include "win/app/about_box_win.h"
#include "support/win_test_support.h"

namespace reprisa {
namespace {
using namespace testing_support;

// While it lives, runs `action` when `message` comes through the application's loop (posted
// before a modal loop starts, it arrives once that loop runs).
struct OnMessage : MessageFilter {
  OnMessage(UINT m, std::function<void()> a) : message(m), action(std::move(a)) {
    Application->AddMessageFilter(this);
  }
  ~OnMessage() override { Application->RemoveMessageFilter(this); }
  bool PreTranslateMessage(MSG& msg) override {
    if (msg.message != message) return false;
    action();
    return true;
  }
  UINT message;
  std::function<void()> action;
};

class AboutBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetScreenDpiOverride(96);
    // As in the program: the main window first, then the dialog.
    main_form = new TForm(Application);
    main_form->FinishBuilding();
    box = new TAboutBox(Application);
    box->Handle();
  }
  void TearDown() override {
    delete box;
    delete main_form;
    SetScreenDpiOverride(0);
  }
  // Clicks a button of the dialog through the message loop once the modal loop runs.
  void PostClick(TButtonControl* b) {
    PostMessageW(GetParent(b->WindowHandle()), WM_COMMAND, MAKEWPARAM(0, BN_CLICKED),
                 reinterpret_cast<LPARAM>(b->WindowHandle()));
  }
  TForm* main_form = nullptr;
  TAboutBox* box = nullptr;
};

TEST_F(AboutBoxTest, IsBuiltAtOnceButMakesItsWindowsOnlyWhenFirstShown) {
  TAboutBox* fresh = new TAboutBox(Application);
  EXPECT_FALSE(fresh->HandleAllocated());
  EXPECT_FALSE(fresh->ok_button->HandleAllocated());
  EXPECT_EQ(fresh->copyright->Caption().find(L"XXXX"), std::wstring::npos);  // created already
  EXPECT_FALSE(fresh->logo->HasPicture());  // decoded with the windows
  // Once the modal loop runs (and the windows exist), click OK.
  OnMessage clicker(WM_APP + 3, [&] { fresh->ok_button->Click(); });
  PostMessageW(main_form->WindowHandle(), WM_APP + 3, 0, 0);
  EXPECT_EQ(fresh->ShowModal(), mrOk);
  EXPECT_TRUE(fresh->ok_button->HandleAllocated());
  EXPECT_EQ(GetWindow(fresh->WindowHandle(), GW_OWNER), main_form->WindowHandle());
  delete fresh;
}

TEST_F(AboutBoxTest, IsAFixedDialogWithTheTableLayoutAndTexts) {
  HWND h = box->WindowHandle();
  EXPECT_EQ(box->Caption(), L"Info");
  EXPECT_FALSE(IsWindowVisible(h));
  const LONG style = GetWindowLongW(h, GWL_STYLE);
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0) << std::hex << style;
  EXPECT_EQ(box->ClientWidth(), 664);
  EXPECT_EQ(box->ClientHeight(), 453);

  const design::AboutDialog& d = design::kAboutDialog;
  ExpectAsDesigned(*box, {&d.panel, &d.ok_button, &d.logo, &d.product_name, &d.copyright,
                          &d.comments, &d.quality, &d.slogan, &d.news, &d.web_site_button});
  for (TLabel* l : {box->product_name, box->copyright, box->quality_label, box->slogan_label})
    EXPECT_EQ(GetParent(l->WindowHandle()), box->panel->WindowHandle()) << l->Name().c_str();

  EXPECT_EQ(box->product_name->Caption(), L"Garantiert ein Original Velmora Programm");
  EXPECT_EQ(box->quality_label->Caption(),
            L"Vertrauen Sie auf deutsche Qualit\u00E4t bei Software.");
  EXPECT_EQ(
      box->comments->Caption().rfind(L"Dies ist eine Velmora Computersoftware Produktion. (", 0),
      0u);
  EXPECT_EQ(box->comments->Caption().back(), L')');
  EXPECT_NE(box->news_label->Caption().find(L"velmora.example"), std::wstring::npos);
  EXPECT_EQ(box->ok_button->Text(), L"OK");
  EXPECT_EQ(box->DefaultButton(), box->ok_button);
  EXPECT_EQ(box->ok_button->ModalResult(), mrOk);
  EXPECT_TRUE(box->web_site_button->HasGlyph());
  EXPECT_EQ(box->panel->Color().Resolve(), RGB(240, 202, 166));

  LOGFONTW lf{};
  GetObjectW(box->product_name->Font(), sizeof(lf), &lf);
  EXPECT_STREQ(lf.lfFaceName, L"Arial Narrow");
  EXPECT_EQ(lf.lfHeight, -24);
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  GetObjectW(box->quality_label->Font(), sizeof(lf), &lf);
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  GetObjectW(box->Font(), sizeof(lf), &lf);
  EXPECT_STREQ(lf.lfFaceName, L"MS Sans Serif");
  EXPECT_EQ(lf.lfHeight, -11);
}

TEST_F(AboutBoxTest, RightsLineHoldsThisYearAndTheLogoIsLoaded) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  std::wstring rights = box->copyright->Caption();
  EXPECT_EQ(rights.find(L"XXXX"), std::wstring::npos);
  EXPECT_NE(rights.find(std::to_wstring(now.wYear)), std::wstring::npos);
  EXPECT_TRUE(box->logo->HasPicture());
  EXPECT_EQ(box->logo->PictureWidth(), 306);
  EXPECT_EQ(box->logo->PictureHeight(), 322);
}

TEST(AboutBoxLogo, AMissingLogoGivesNoPictureAndNoError) {
  EXPECT_TRUE(LoadLogo().has_value());
  EXPECT_FALSE(LoadLogo(GetModuleHandleW(L"kernel32.dll")).has_value());
}

TEST_F(AboutBoxTest, WebSiteButtonHandsTheAddressToTheShellAndTheDialogStaysOpen) {
  std::vector<std::pair<HWND, std::wstring>> opened;
  box->open_hook = [&](HWND owner, const std::wstring& address) {
    opened.emplace_back(owner, address);
  };
  PostClick(box->web_site_button);
  PostClick(box->ok_button);  // only this one ends the modal loop
  int result = box->ShowModal();
  EXPECT_EQ(result, mrOk);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].first, box->WindowHandle());
  EXPECT_EQ(opened[0].second, L"https://www.velmora.example/");
}

TEST_F(AboutBoxTest, ClosingHidesAndTheNextShowingIsUnchangedWhereItWasLeft) {
  PostMessageW(box->WindowHandle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(box->ShowModal(), mrCancel);
  EXPECT_FALSE(IsWindowVisible(box->WindowHandle()));
  RECT first;
  GetWindowRect(box->WindowHandle(), &first);
  // The first showing centred it; move it and show again: no second centring.
  SetWindowPos(box->WindowHandle(), nullptr, first.left + 37, first.top + 23, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  std::wstring rights = box->copyright->Caption();
  PostClick(box->ok_button);
  EXPECT_EQ(box->ShowModal(), mrOk);
  RECT second;
  GetWindowRect(box->WindowHandle(), &second);
  EXPECT_EQ(second.left, first.left + 37);
  EXPECT_EQ(second.top, first.top + 23);
  EXPECT_EQ(box->copyright->Caption(), rights);
}

TEST_F(AboutBoxTest, EveryShowingStartsWithTheOkButtonFocused) {
  HWND focus[2] = {};
  int step = 0;
  OnMessage probe(WM_APP + 9, [&] {
    focus[step] = GetFocus();
    if (step++ == 0) box->web_site_button->SetFocus();  // left on the web-site button
    PostMessageW(box->WindowHandle(), WM_CLOSE, 0, 0);
  });
  box->open_hook = [](HWND, const std::wstring&) {};
  for (int showing = 0; showing < 2; ++showing) {
    PostMessageW(box->WindowHandle(), WM_APP + 9, 0, 0);
    box->ShowModal();
  }
  EXPECT_EQ(focus[0], box->ok_button->WindowHandle());
  EXPECT_EQ(focus[1], box->ok_button->WindowHandle());
}

TEST_F(AboutBoxTest, AFailureWhileShowingReachesTheCallerAndLeavesTheDialogClosed) {
  box->OnShow = [](TObject*) { throw Exception(L"Anzeige gescheitert"); };
  EXPECT_THROW(box->ShowModal(), Exception);
  EXPECT_FALSE(IsWindowVisible(box->WindowHandle()));
  EXPECT_TRUE(IsWindowEnabled(main_form->WindowHandle()));
}

TEST_F(AboutBoxTest, EnterClosesTheDialogThroughItsOkButton) {
  // Enter is pressed on whatever has the focus once the dialog is up.
  PostMessageW(box->WindowHandle(), WM_APP, 0, 0);  // lets the dialog activate first
  OnMessage presser(WM_APP, [] { PressKey(GetFocus(), VK_RETURN); });
  BoxRecorder recorder;  // nothing may be shown
  EXPECT_EQ(box->ShowModal(), mrOk);
  EXPECT_TRUE(recorder.boxes.empty());
}

}  // namespace
}  // namespace reprisa
