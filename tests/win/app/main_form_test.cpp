#include <gtest/gtest.h>

#include "win/kit/web_browser_win.h"
#include "win/app/main_form_win.h"
#include "support/win_test_support.h"

namespace reprisa {
namespace {
using namespace testing_support;

struct Place {
  const wchar_t* name;
  int left, top, width, height;
};

// The design table: rectangles relative to the parent, at 96 dpi.
constexpr Place kDesign[] = {
    {L"Panel1", 0, 0, 846, 65},          {L"WebBrowser1", 0, 65, 846, 489},
    {L"Panel2", 672, 0, 174, 65},        {L"GotoWebsiteBtn", 8, 3, 153, 25},
    {L"Edit1", 226, 35, 71, 21},         {L"BitBtn2", 303, 34, 122, 25},
    {L"Edit2", 431, 35, 71, 21},         {L"Edit3", 571, 35, 71, 21},
    {L"BitBtn3", 8, 34, 153, 25},        {L"urled", 8, 8, 658, 21},
};

TWinControl* Control(TForm* form, const wchar_t* name) {
  return dynamic_cast<TWinControl*>(form->FindComponent(name));
}

class MainFormTest : public ::testing::Test {
 protected:
  void TearDown() override {
    delete form;
    SetScreenDpiOverride(0);
    ClearStoredPlacement();
  }
  void Build(int dpi) {
    ClearStoredPlacement();
    SetScreenDpiOverride(dpi);
    form = new TMainForm(Application);
  }
  TMainForm* form = nullptr;
};

TEST_F(MainFormTest, AtDesignDpiEveryControlSitsWhereTheTableSays) {
  Build(96);
  EXPECT_EQ(form->Caption(), L"Velmora Reprisa 1.0");
  EXPECT_EQ(form->ClientWidth(), 846);
  EXPECT_EQ(form->ClientHeight(), 554);
  for (const Place& p : kDesign) {
    TWinControl* c = Control(form, p.name);
    ASSERT_NE(c, nullptr) << p.name;
    RECT r = RectInParent(c->WindowHandle());
    EXPECT_EQ(r.left, p.left) << p.name;
    EXPECT_EQ(r.top, p.top) << p.name;
    EXPECT_EQ(r.right - r.left, p.width) << p.name;
    EXPECT_EQ(r.bottom - r.top, p.height) << p.name;
  }
  RECT l1 = RectInParent(form->Label1->WindowHandle()), l2 = RectInParent(form->Label2->WindowHandle());
  EXPECT_EQ(l1.left, 8);
  EXPECT_EQ(l1.top, 35);
  EXPECT_EQ(l2.left, 508);
  EXPECT_EQ(l2.top, 35);
  // A label is as wide as its text, and lies below every control beside it, so that a text
  // longer than its room never hides a control.
  SIZE text{};
  HDC dc = GetDC(form->Label2->WindowHandle());
  HGDIOBJ old = SelectObject(dc, form->Label2->Font());
  GetTextExtentPoint32W(dc, L"Neustart in:", 12, &text);
  SelectObject(dc, old);
  ReleaseDC(form->Label2->WindowHandle(), dc);
  EXPECT_EQ(l2.right - l2.left, text.cx);
  bool label_seen = false;
  for (HWND h = GetWindow(form->Panel1->WindowHandle(), GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
    bool is_label = h == form->Label1->WindowHandle() || h == form->Label2->WindowHandle();
    if (!is_label) {
      EXPECT_FALSE(label_seen) << "a control lies below a label";
    }
    label_seen = label_seen || is_label;
  }
  EXPECT_TRUE(label_seen);
}

TEST_F(MainFormTest, OnAHighDpiScreenFontFirstThenEveryPlaceScales) {
  // The screen must be large enough for the scaled window (scripts/test runs a 1920 x 1200 one):
  // the system keeps a sizeable window within the screen's tracking size.
  if (GetSystemMetrics(SM_CXSCREEN) < 1400) GTEST_SKIP() << "screen too small for 144 dpi";
  Build(144);
  LayoutScale s = form->Scale();
  ASSERT_FALSE(s.IsIdentity());
  // Tahoma at -17 px is about 20 px high, so the factor is about one and a half.
  EXPECT_GE(s(1300), 1800);
  EXPECT_LE(s(1300), 2300);
  LOGFONTW lf{};
  GetObjectW(form->Font(), sizeof(lf), &lf);
  EXPECT_EQ(lf.lfHeight, -17);
  EXPECT_EQ(form->ClientWidth(), s(846));
  EXPECT_EQ(form->ClientHeight(), s(554));
  for (const Place& p : kDesign) {
    TWinControl* c = Control(form, p.name);
    RECT r = RectInParent(c->WindowHandle());
    EXPECT_EQ(r.left, s(p.left)) << p.name;
    EXPECT_EQ(r.top, s(p.top)) << p.name;
    EXPECT_EQ(r.right - r.left, s(p.width)) << p.name;
    // Docked controls fill what the panels above leave, so only their tops and widths follow.
    if (std::wstring(p.name) != L"WebBrowser1") {
      EXPECT_EQ(r.bottom - r.top, s(p.height)) << p.name;
    }
  }
}

TEST_F(MainFormTest, WideningWidensTheAddressAndKeepsTheButtonsAtTheRightEdge) {
  Build(96);
  HWND h = form->WindowHandle();
  RECT w;
  GetWindowRect(h, &w);
  SetWindowPos(h, nullptr, 0, 0, w.right - w.left + 200, w.bottom - w.top + 100,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(form->ClientWidth(), 1046);
  RECT url = RectInParent(form->urled->WindowHandle());
  EXPECT_EQ(url.left, 8);
  EXPECT_EQ(url.right - url.left, 858);
  RECT panel2 = RectInParent(form->Panel2->WindowHandle());
  EXPECT_EQ(panel2.left, 872);
  EXPECT_EQ(panel2.right, 1046);
  RECT go = RectInParent(form->GotoWebsiteBtn->WindowHandle());
  EXPECT_EQ(go.left, 8);
  RECT browser = RectInParent(form->WebBrowser1->WindowHandle());
  EXPECT_EQ(browser.right - browser.left, 1046);
  EXPECT_EQ(browser.bottom - browser.top, 654 - 65);
  // Squeezed to almost nothing, nothing gets a negative size.
  SetWindowPos(h, nullptr, 0, 0, 60, 60, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  for (TWinControl* c : std::initializer_list<TWinControl*>{form->urled, form->Panel1, form->Panel2,
                                                            form->WebBrowser1}) {
    RECT r = RectInParent(c->WindowHandle());
    EXPECT_GE(r.right - r.left, 0) << c->Name().c_str();
    EXPECT_GE(r.bottom - r.top, 0) << c->Name().c_str();
  }
  // Narrowing back restores the design rectangles.
  SetWindowPos(h, nullptr, 0, 0, w.right - w.left, w.bottom - w.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  url = RectInParent(form->urled->WindowHandle());
  EXPECT_EQ(url.right - url.left, 658);
}

TEST_F(MainFormTest, MembersCarryTheirTextsKindsAndTabOrder) {
  Build(96);
  EXPECT_EQ(form->urled->Text(), kDefaultAddress);
  EXPECT_EQ(form->Edit1->Text(), L"03:00");
  EXPECT_EQ(form->Edit2->Text(), L"03:00");
  EXPECT_EQ(form->Edit3->Text(), L"03:00");
  EXPECT_EQ(form->Label1->Caption(), L"Wiederholung starten nach Min:Sekunden:");
  EXPECT_EQ(form->Label2->Caption(), L"Neustart in:");
  EXPECT_EQ(form->GotoWebsiteBtn->Text(), L"Zur Website...");
  EXPECT_EQ(form->BitBtn2->Text(), L"Wert setzen");
  EXPECT_EQ(form->BitBtn3->Text(), L"Stopuhr auf 0");
  EXPECT_EQ(form->DefaultButton(), form->GotoWebsiteBtn);
  EXPECT_EQ(form->CancelButton(), form->BitBtn3);
  EXPECT_TRUE(form->GotoWebsiteBtn->HasGlyph());
  EXPECT_TRUE(form->BitBtn2->HasGlyph());
  EXPECT_TRUE(form->BitBtn3->HasGlyph());
  EXPECT_TRUE(form->Edit2->ReadOnly());
  EXPECT_TRUE(form->Edit3->ReadOnly());
  EXPECT_FALSE(form->Edit1->ReadOnly());
  EXPECT_EQ(form->Edit2->Color().Resolve(), RGB(192, 192, 192));

  struct Order {
    TWinControl* c;
    int order;
  } orders[] = {{form->Panel1, 0}, {form->WebBrowser1, 1}, {form->urled, 0},  {form->Panel2, 1},
                {form->Edit1, 2},  {form->BitBtn2, 3},     {form->Edit2, 4},  {form->Edit3, 5},
                {form->GotoWebsiteBtn, 0}, {form->BitBtn3, 1}};
  for (const Order& o : orders) EXPECT_EQ(o.c->TabOrder(), o.order) << o.c->Name().c_str();

  EXPECT_EQ(form->Timer1->Timer().Interval(), 180000);
  EXPECT_EQ(form->Timer2->Timer().Interval(), 1000);
  EXPECT_TRUE(form->Timer1->Timer().Running());
  EXPECT_TRUE(form->Timer2->Timer().Running());

  HMENU bar = GetMenu(form->WindowHandle());
  ASSERT_NE(bar, nullptr);
  wchar_t text[32] = {};
  GetMenuStringW(bar, 0, text, 32, MF_BYPOSITION);
  EXPECT_STREQ(text, L"Hilfe");
  GetMenuStringW(GetSubMenu(bar, 0), 0, text, 32, MF_BYPOSITION);
  EXPECT_STREQ(text, L"\u00DCber...");
}

TEST_F(MainFormTest, CreationStampsTheCountdownStart) {
  DWORD before = GetTickCount();
  Build(96);
  DWORD after = GetTickCount();
  std::uint32_t stamp = form->Schedule().LastTimer();
  EXPECT_LE(before - 20, stamp);
  EXPECT_LE(stamp, after + 20);
}

class MainFormKeysTest : public MainFormTest {
 protected:
  void SetUp() override {
    Build(96);
    form->GotoWebsiteBtn->OnClick = [this](TObject*) { ++go; };
    form->BitBtn2->OnClick = [this](TObject*) { ++apply; };
    form->BitBtn3->OnClick = [this](TObject*) { ++restart; };
    form->Show();
    PumpFor(100);
  }
  void Focus(TWinControl* c) {
    c->SetFocus();
    PumpFor(20);
  }
  void Press(WPARAM vk) {
    PressKey(GetFocus(), vk);
    PumpFor(60);
  }
  int go = 0, apply = 0, restart = 0;
};

TEST_F(MainFormKeysTest, EnterInAnyEditClicksTheDefaultButtonOnlyOnce) {
  for (TEdit* e : {form->urled, form->Edit1, form->Edit2, form->Edit3}) {
    Focus(e);
    ASSERT_EQ(GetFocus(), e->WindowHandle());
    int before = go;
    Press(VK_RETURN);
    EXPECT_EQ(go, before + 1) << e->Name().c_str();
  }
  EXPECT_EQ(apply, 0);  // Enter in the interval field does not apply the interval
  EXPECT_EQ(form->Edit1->Text(), L"03:00");
}

TEST_F(MainFormKeysTest, TheFirstShowingCentresTheWindowOnTheWorkAreaOnce) {
  RECT wa, w;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &wa, 0);
  GetWindowRect(form->WindowHandle(), &w);
  Point expected = CenterOnWorkArea({wa.left, wa.top, wa.right, wa.bottom}, w.right - w.left,
                                    w.bottom - w.top);
  EXPECT_EQ(w.left, expected.x);
  EXPECT_EQ(w.top, expected.y);
  EXPECT_EQ(form->Position(), TPosition::poDesigned);
  // Hidden, moved and shown again: it stays where it was put.
  form->Hide();
  SetWindowPos(form->WindowHandle(), nullptr, 5, 7, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  form->Show();
  GetWindowRect(form->WindowHandle(), &w);
  EXPECT_EQ(w.left, 5);
  EXPECT_EQ(w.top, 7);
}

TEST_F(MainFormKeysTest, AfterMinimisingAndRestoringTheLastFieldHasTheFocusAgain) {
  Focus(form->Edit1);
  ShowWindow(form->WindowHandle(), SW_MINIMIZE);
  PumpFor(100);
  ShowWindow(form->WindowHandle(), SW_RESTORE);
  SetForegroundWindow(form->WindowHandle());
  EXPECT_TRUE(PumpUntil([&] { return GetFocus() == form->Edit1->WindowHandle(); }, 2000))
      << "focus on " << GetFocus();
}

TEST_F(MainFormKeysTest, AnEditsEdgeIsStillPaintedWhenFramelessChildrenSkipTheirs) {
  // The edge of an edit is drawn: on the screen it is neither the panel behind it, nor the
  // field's own background, nor the black of a window surface nobody painted.
  RedrawWindow(form->WindowHandle(), nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpFor(50);
  RECT w, c;
  GetWindowRect(form->Edit1->WindowHandle(), &w);
  GetClientRect(form->Edit1->WindowHandle(), &c);
  MapWindowPoints(form->Edit1->WindowHandle(), HWND_DESKTOP, reinterpret_cast<POINT*>(&c), 2);
  HDC screen = GetDC(nullptr);
  COLORREF edge = GetPixel(screen, w.left, (w.top + w.bottom) / 2);
  COLORREF field = GetPixel(screen, (c.left + c.right) / 2, c.bottom - 1);
  COLORREF panel = GetPixel(screen, w.left - 2, (w.top + w.bottom) / 2);
  ReleaseDC(nullptr, screen);
  EXPECT_NE(edge, panel);
  EXPECT_NE(edge, field);
  EXPECT_NE(edge, RGB(0, 0, 0));
}

TEST_F(MainFormKeysTest, TheBrowserIsActiveInPlaceOnceTheWindowHasAppeared) {
  EXPECT_TRUE(PumpUntil([&] { return form->WebBrowser1->InPlaceActive(); }, 3000));
  EXPECT_EQ(GetFocus(), form->urled->WindowHandle());  // the first control of the tab order
}

TEST_F(MainFormKeysTest, EnterOnAFocusedButtonClicksThatButton) {
  Focus(form->BitBtn2);
  Press(VK_RETURN);
  EXPECT_EQ(apply, 1);
  EXPECT_EQ(go, 0);
}

TEST_F(MainFormKeysTest, EnterWithAModifierOrADisabledDefaultButtonIsLeftToTheEdit) {
  Focus(form->Edit1);
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_SHIFT] = keys[VK_LSHIFT] = 0x80;
  SetKeyboardState(keys);
  Press(VK_RETURN);
  keys[VK_SHIFT] = keys[VK_LSHIFT] = 0;
  SetKeyboardState(keys);
  EXPECT_EQ(go, 0);

  // With the default button unable to take the focus, Enter reaches the address field as a
  // character, and its key-press handler opens the address.
  form->GotoWebsiteBtn->SetEnabled(false);
  int navigations = 0;
  form->urled->OnKeyPress = [&](TObject*, wchar_t& key) {
    if (key == L'\r') ++navigations;
  };
  Focus(form->urled);
  Press(VK_RETURN);
  EXPECT_EQ(go, 0);
  EXPECT_EQ(navigations, 1);
}

TEST_F(MainFormKeysTest, EscapeFromAnyOwnControlRestartsTheCountdown) {
  for (TWinControl* c : std::initializer_list<TWinControl*>{form->urled, form->Edit1, form->Edit3,
                                                            form->BitBtn2, form->GotoWebsiteBtn}) {
    Focus(c);
    int before = restart;
    Press(VK_ESCAPE);
    EXPECT_EQ(restart, before + 1) << c->Name().c_str();
  }
}

TEST_F(MainFormKeysTest, TabAndShiftTabWalkTheTabOrder) {
  Focus(form->urled);
  std::vector<HWND> expected = {form->GotoWebsiteBtn->WindowHandle(), form->BitBtn3->WindowHandle(),
                                form->Edit1->WindowHandle(),          form->BitBtn2->WindowHandle(),
                                form->Edit2->WindowHandle(),          form->Edit3->WindowHandle()};
  for (HWND h : expected) {
    Press(VK_TAB);
    EXPECT_EQ(GetFocus(), h);
  }
  Press(VK_TAB);  // into the page
  EXPECT_TRUE(form->WebBrowser1->Focused());
  Press(VK_TAB);  // and out again when the page does not take the key
  EXPECT_EQ(GetFocus(), form->urled->WindowHandle());
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_SHIFT] = 0x80;
  SetKeyboardState(keys);
  Focus(form->Edit1);
  Press(VK_TAB);
  keys[VK_SHIFT] = 0;
  SetKeyboardState(keys);
  EXPECT_EQ(GetFocus(), form->BitBtn3->WindowHandle());
}

TEST_F(MainFormTest, HandlersApplyRestartAndSwallowAsTheyShould) {
  Build(96);
  BoxRecorder recorder;
  form->Edit1->SetText(L"04:30");
  form->BitBtn2Click(form->BitBtn2);
  EXPECT_EQ(form->Edit2->Text(), L"04:30");
  EXPECT_EQ(form->Timer1->Timer().Interval(), 270000);
  form->Timer2Timer(form->Timer2);
  // Whole seconds left, truncated: 04:29 as soon as a millisecond has passed.
  std::wstring countdown = form->Edit3->Text();
  EXPECT_TRUE(countdown == L"04:29" || countdown == L"04:30") << countdown.c_str();

  form->Edit1->SetText(L"xyz");
  form->BitBtn2Click(form->BitBtn2);
  EXPECT_EQ(form->Edit2->Text(), L"04:30");
  EXPECT_EQ(form->Timer1->Timer().Interval(), 270000);

  // A reload before any page: the browser's complaint is swallowed, the start is stamped anew.
  form->Schedule().SetLastTimer(GetTickCount() - 100000);
  form->Timer1Timer(form->Timer1);
  EXPECT_LE(GetTickCount() - form->Schedule().LastTimer(), 1000u);

  form->Schedule().SetLastTimer(GetTickCount() - 100000);
  form->BitBtn3Click(form->BitBtn3);
  EXPECT_LE(GetTickCount() - form->Schedule().LastTimer(), 1000u);
  EXPECT_TRUE(recorder.boxes.empty());
}

}  // namespace
}  // namespace reprisa
