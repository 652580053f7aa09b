#include <gtest/gtest.h>

#include <array>

#include "core/texts.h"
#include "win/app/main_form_win.h"
#include "win/kit/accessibility_win.h"
#include "win/web/web_browser_win.h"
#include "support/win_test_support.h"

namespace reprisa {
namespace {
using namespace testing_support;

const design::MainWindow& kMain = design::kMainWindow;

struct Place {
  const wchar_t* name;
  int left, top, width, height;
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
  EXPECT_EQ(form->Caption(), L"Velmora Reprisa " REPRISA_VERSION_SHORT_W);
  EXPECT_EQ(form->ClientWidth(), 846);
  EXPECT_EQ(form->ClientHeight(), 554);
  ExpectAsDesigned(*form, {&kMain.top_panel, &kMain.browser, &kMain.button_panel,
                           &kMain.open_address_button, &kMain.restart_countdown_button,
                           &kMain.address_edit, &kMain.interval_label, &kMain.interval_edit,
                           &kMain.apply_interval_button, &kMain.current_interval_edit,
                           &kMain.countdown_label, &kMain.countdown_edit});
  for (TEdit* e : {form->current_interval_edit, form->countdown_edit})
    EXPECT_EQ(e->Color().Resolve(), RGB(192, 192, 192)) << e->Name().c_str();
  RECT l2 = RectInParent(form->countdown_label->WindowHandle());
  // A label is as wide as its text, and lies below every control beside it, so that a text
  // longer than its room never hides a control.
  SIZE text{};
  HDC dc = GetDC(form->countdown_label->WindowHandle());
  HGDIOBJ old = SelectObject(dc, form->countdown_label->Font());
  GetTextExtentPoint32W(dc, L"Neustart in:", 12, &text);
  SelectObject(dc, old);
  ReleaseDC(form->countdown_label->WindowHandle(), dc);
  EXPECT_EQ(l2.right - l2.left, text.cx);
}

// Screen readers name a field after the static text that comes right before it in the window
// order: each label sits just before its field, every other window keeps its tab-order place.
TEST_F(MainFormTest, EachLabelComesRightBeforeItsFieldInTheWindowOrder) {
  Build(96);
  std::vector<HWND> order;
  for (HWND h = GetWindow(form->top_panel->WindowHandle(), GW_CHILD); h;
       h = GetWindow(h, GW_HWNDNEXT))
    order.push_back(h);
  std::vector<HWND> expected;
  for (TWinControl* c : std::initializer_list<TWinControl*>{
           form->address_edit, form->button_panel, form->interval_label, form->interval_edit,
           form->apply_interval_button, form->current_interval_edit, form->countdown_label,
           form->countdown_edit})
    expected.push_back(c->WindowHandle());
  EXPECT_EQ(order, expected);

  // Above its field now, a label whose text is longer than its room is cut where the windows
  // after it begin: it never hides them.
  const std::wstring text(texts::kIntervalLabel);
  form->interval_label->SetCaption(text + L" " + text);
  HWND label = form->interval_label->WindowHandle();
  const RECT own = RectInParent(label);
  HRGN shown = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(label, shown), ERROR) << "the long label was not cut";
  EXPECT_TRUE(PtInRegion(shown, 2, 2));  // its first letters are still shown
  for (TWinControl* c : std::initializer_list<TWinControl*>{form->interval_edit,
                                                            form->apply_interval_button}) {
    const RECT r = RectInParent(c->WindowHandle());
    const POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ASSERT_GT(own.right, centre.x) << "the text does not reach " << c->Name().c_str();
    EXPECT_FALSE(PtInRegion(shown, centre.x - own.left, centre.y - own.top)) << c->Name().c_str();
  }
  DeleteObject(shown);
}

// The system's annotation service is reached through the kit's seam, and the calls themselves are
// what is checked here: under Wine the service is a stub that answers every name E_NOTIMPL.
std::vector<std::pair<HWND, std::wstring>> g_named;
HRESULT g_naming_result = S_OK;
HRESULT RecordName(HWND window, const wchar_t* name) {
  g_named.emplace_back(window, name);
  return g_naming_result;
}

// The names are given when the window is first shown (they cost the start no time before it),
// and only then.
TEST_F(MainFormTest, TheFieldsWithoutALabelAreNamedOnceAndARefusalChangesNothingElse) {
  SetAccessibleNameService(&RecordName);
  for (HRESULT result : {S_OK, E_NOTIMPL}) {
    g_named.clear();
    g_naming_result = result;
    Build(96);
    EXPECT_TRUE(g_named.empty()) << "named while hidden";
    form->Show();
    form->Hide();
    form->Show();
    std::vector<std::pair<HWND, std::wstring>> expected = {
        {form->address_edit->WindowHandle(), L"Adresse"},
        {form->current_interval_edit->WindowHandle(), L"Aktuelles Intervall"}};
    EXPECT_EQ(g_named, expected) << std::hex << result;
    EXPECT_EQ(form->address_edit->Text(), texts::kDefaultAddress);
    EXPECT_TRUE(IsWindow(form->current_interval_edit->WindowHandle()));
    delete form;
    form = nullptr;
  }
  SetAccessibleNameService(nullptr);
}

// The same places at 144 dpi: the form's font is scaled first (Tahoma at -17 px is 21 px high
// here against the design's 13), and every place by that factor, 21/13, rounded.
constexpr Place kAt144Dpi[] = {
    {L"Panel1", 0, 0, 1367, 105},        {L"WebBrowser1", 0, 105, 1367, 790},
    {L"Panel2", 1086, 0, 281, 105},      {L"GotoWebsiteBtn", 13, 5, 247, 40},
    {L"Edit1", 365, 57, 115, 34},        {L"BitBtn2", 489, 55, 197, 40},
    {L"Edit2", 696, 57, 115, 34},        {L"Edit3", 922, 57, 115, 34},
    {L"BitBtn3", 13, 55, 247, 40},       {L"urled", 13, 13, 1063, 34},
};

TEST_F(MainFormTest, OnAHighDpiScreenFontFirstThenEveryPlaceScales) {
  // The screen must be large enough for the scaled window (scripts/test runs a 1920 x 1200 one):
  // the system keeps a sizeable window within the screen's tracking size.
  if (GetSystemMetrics(SM_CXSCREEN) < 1400) GTEST_SKIP() << "screen too small for 144 dpi";
  Build(144);
  LOGFONTW lf{};
  GetObjectW(form->Font(), sizeof(lf), &lf);
  EXPECT_EQ(lf.lfHeight, -17);
  EXPECT_EQ(form->ClientWidth(), 1367);
  EXPECT_EQ(form->ClientHeight(), 895);
  for (const Place& p : kAt144Dpi) {
    TWinControl* c = Control(form, p.name);
    ASSERT_NE(c, nullptr) << p.name;
    const RECT r = RectInParent(c->WindowHandle());
    EXPECT_EQ((std::array{r.left, r.top, r.right - r.left, r.bottom - r.top}),
              (std::array<LONG, 4>{p.left, p.top, p.width, p.height})) << p.name;
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
  RECT url = RectInParent(form->address_edit->WindowHandle());
  EXPECT_EQ(url.left, 8);
  EXPECT_EQ(url.right - url.left, 858);
  RECT panel2 = RectInParent(form->button_panel->WindowHandle());
  EXPECT_EQ(panel2.left, 872);
  EXPECT_EQ(panel2.right, 1046);
  RECT go = RectInParent(form->open_address_button->WindowHandle());
  EXPECT_EQ(go.left, 8);
  RECT browser = RectInParent(form->browser->WindowHandle());
  EXPECT_EQ(browser.right - browser.left, 1046);
  EXPECT_EQ(browser.bottom - browser.top, 654 - 65);
  // Squeezed to almost nothing, nothing gets a negative size.
  SetWindowPos(h, nullptr, 0, 0, 60, 60, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  for (TWinControl* c : std::initializer_list<TWinControl*>{form->address_edit, form->top_panel,
                                                            form->button_panel, form->browser}) {
    RECT r = RectInParent(c->WindowHandle());
    EXPECT_GE(r.right - r.left, 0) << c->Name().c_str();
    EXPECT_GE(r.bottom - r.top, 0) << c->Name().c_str();
  }
  // Narrowing back restores the design rectangles.
  SetWindowPos(h, nullptr, 0, 0, w.right - w.left, w.bottom - w.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  url = RectInParent(form->address_edit->WindowHandle());
  EXPECT_EQ(url.right - url.left, 658);
}

TEST_F(MainFormTest, MembersCarryTheirTextsKindsAndTimers) {
  Build(96);
  EXPECT_EQ(form->address_edit->Text(), texts::kDefaultAddress);
  EXPECT_EQ(form->interval_edit->Text(), L"03:00");
  EXPECT_EQ(form->current_interval_edit->Text(), L"03:00");
  EXPECT_EQ(form->countdown_edit->Text(), L"03:00");
  EXPECT_EQ(form->interval_label->Caption(), L"Wiederholung starten nach Min:Sekunden:");
  EXPECT_EQ(form->countdown_label->Caption(), L"Neustart in:");
  EXPECT_EQ(form->open_address_button->Text(), L"Zur Website...");
  EXPECT_EQ(form->apply_interval_button->Text(), L"Wert setzen");
  EXPECT_EQ(form->restart_countdown_button->Text(), L"Stopuhr auf 0");
  EXPECT_EQ(form->DefaultButton(), form->open_address_button);
  EXPECT_EQ(form->CancelButton(), form->restart_countdown_button);
  for (auto* b : {form->open_address_button, form->apply_interval_button,
                  form->restart_countdown_button})
    EXPECT_TRUE(b->HasGlyph()) << b->Name().c_str();
  EXPECT_EQ(form->ReloadTimer().Interval(), 180000);
  EXPECT_EQ(form->DisplayTimer().Interval(), 1000);
  EXPECT_TRUE(form->ReloadTimer().Running());
  EXPECT_TRUE(form->DisplayTimer().Running());

  HMENU bar = GetMenu(form->WindowHandle());
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(MenuText(bar, 0), L"Hilfe");
  EXPECT_EQ(MenuText(GetSubMenu(bar, 0), 0), L"\u00DCber...");
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
    form->open_address_button->OnClick = [this](TObject*) { ++go; };
    form->apply_interval_button->OnClick = [this](TObject*) { ++apply; };
    form->restart_countdown_button->OnClick = [this](TObject*) { ++restart; };
    form->Show();
    ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == form->WindowHandle(); }));
  }
  void Focus(TWinControl* c) {
    c->SetFocus();
    EXPECT_TRUE(PumpUntil([&] { return GetFocus() == c->WindowHandle(); })) << c->Name().c_str();
  }
  void Press(WPARAM vk) { EXPECT_TRUE(PressKeyAndWait(GetFocus(), vk)) << "key " << vk; }
  // Marks keys as held down (or up again) in this thread's keyboard state.
  static void Hold(std::initializer_list<int> vks, bool down) {
    BYTE keys[256];
    GetKeyboardState(keys);
    for (int vk : vks) keys[vk] = down ? 0x80 : 0;
    SetKeyboardState(keys);
  }
  int go = 0, apply = 0, restart = 0;
};

TEST_F(MainFormKeysTest, EnterInAnyEditClicksTheDefaultButtonOnlyOnce) {
  for (TEdit* e : {form->address_edit, form->interval_edit, form->current_interval_edit,
                   form->countdown_edit}) {
    Focus(e);
    ASSERT_EQ(GetFocus(), e->WindowHandle());
    int before = go;
    Press(VK_RETURN);
    EXPECT_EQ(go, before + 1) << e->Name().c_str();
  }
  EXPECT_EQ(apply, 0);  // Enter in the interval field does not apply the interval
  EXPECT_EQ(form->interval_edit->Text(), L"03:00");
}

TEST_F(MainFormKeysTest, AfterMinimisingAndRestoringTheLastFieldHasTheFocusAgain) {
  Focus(form->interval_edit);
  ShowWindow(form->WindowHandle(), SW_MINIMIZE);
  ASSERT_TRUE(PumpUntil([&] { return IsIconic(form->WindowHandle()) != FALSE; }));
  ShowWindow(form->WindowHandle(), SW_RESTORE);
  SetForegroundWindow(form->WindowHandle());
  EXPECT_TRUE(PumpUntil([&] { return GetFocus() == form->interval_edit->WindowHandle(); }, 2000))
      << "focus on " << GetFocus();
}

TEST_F(MainFormKeysTest, AnEditsEdgeIsStillPaintedWhenFramelessChildrenSkipTheirs) {
  // The edge of an edit is drawn: on the screen it is neither the panel behind it, nor the
  // field's own background, nor the black of a window surface nobody painted.
  RedrawWindow(form->WindowHandle(), nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  RECT w, c;
  GetWindowRect(form->interval_edit->WindowHandle(), &w);
  GetClientRect(form->interval_edit->WindowHandle(), &c);
  MapWindowPoints(form->interval_edit->WindowHandle(), HWND_DESKTOP, reinterpret_cast<POINT*>(&c),
                  2);
  COLORREF edge = 0, field = 0, panel = 0;
  auto painted = [&] {
    HDC screen = GetDC(nullptr);
    edge = GetPixel(screen, w.left, (w.top + w.bottom) / 2);
    field = GetPixel(screen, (c.left + c.right) / 2, c.bottom - 1);
    panel = GetPixel(screen, w.left - 2, (w.top + w.bottom) / 2);
    ReleaseDC(nullptr, screen);
    return edge != panel && edge != field && edge != RGB(0, 0, 0);
  };
  EXPECT_TRUE(PumpUntil(painted)) << std::hex << "edge " << edge << ", field " << field
                                  << ", panel " << panel;
}

TEST_F(MainFormKeysTest, TheBrowserIsActiveInPlaceOnceTheWindowHasAppeared) {
  EXPECT_TRUE(PumpUntil([&] { return form->browser->InPlaceActive(); }, 3000));
  EXPECT_EQ(GetFocus(), form->address_edit->WindowHandle());  // the first control of the tab order
}

TEST_F(MainFormKeysTest, EnterOnAFocusedButtonClicksThatButton) {
  Focus(form->apply_interval_button);
  Press(VK_RETURN);
  EXPECT_EQ(apply, 1);
  EXPECT_EQ(go, 0);
}

TEST_F(MainFormKeysTest, EnterWithAModifierOrADisabledDefaultButtonIsLeftToTheEdit) {
  Focus(form->interval_edit);
  Hold({VK_SHIFT, VK_LSHIFT}, true);
  Press(VK_RETURN);
  Hold({VK_SHIFT, VK_LSHIFT}, false);
  EXPECT_EQ(go, 0);

  // With the default button unable to take the focus, Enter reaches the address field as a
  // character, and its key-press handler opens the address.
  form->open_address_button->SetEnabled(false);
  int navigations = 0;
  form->address_edit->OnKeyPress = [&](TObject*, wchar_t& key) {
    if (key == L'\r') ++navigations;
  };
  Focus(form->address_edit);
  Press(VK_RETURN);
  EXPECT_EQ(go, 0);
  EXPECT_EQ(navigations, 1);
}

TEST_F(MainFormKeysTest, EscapeFromAnyOwnControlRestartsTheCountdown) {
  for (TWinControl* c : std::initializer_list<TWinControl*>{
           form->address_edit, form->interval_edit, form->countdown_edit,
           form->apply_interval_button, form->open_address_button}) {
    Focus(c);
    int before = restart;
    Press(VK_ESCAPE);
    EXPECT_EQ(restart, before + 1) << c->Name().c_str();
  }
}

TEST_F(MainFormKeysTest, TabAndShiftTabWalkTheTabOrder) {
  Focus(form->address_edit);
  for (TWinControl* c : std::initializer_list<TWinControl*>{
           form->open_address_button, form->restart_countdown_button, form->interval_edit,
           form->apply_interval_button, form->current_interval_edit, form->countdown_edit}) {
    Press(VK_TAB);
    EXPECT_EQ(GetFocus(), c->WindowHandle()) << c->Name().c_str();
  }
  Press(VK_TAB);  // into the page
  EXPECT_TRUE(PumpUntil([&] { return form->browser->Focused(); }));
  Press(VK_TAB);  // and out again when the page does not take the key
  EXPECT_EQ(GetFocus(), form->address_edit->WindowHandle());
  Hold({VK_SHIFT}, true);
  Focus(form->interval_edit);
  Press(VK_TAB);
  Hold({VK_SHIFT}, false);
  EXPECT_EQ(GetFocus(), form->restart_countdown_button->WindowHandle());
}

// The rules are the presenter's (tests/core); here: the buttons reach it, and it reaches the
// fields and the real browser.
TEST_F(MainFormTest, TheButtonsAndTicksAreWiredToThePresenterAndItsFields) {
  Build(96);
  BoxRecorder recorder;
  form->interval_edit->SetText(L"04:30");
  form->apply_interval_button->Click();
  EXPECT_EQ(form->current_interval_edit->Text(), L"04:30");
  EXPECT_EQ(form->ReloadTimer().Interval(), 270000);
  // 170.5 s left: "02:50" for the next half second.
  form->Schedule().SetLastTimer(GetTickCount() - 99500);
  form->DisplayTimer().Tick();
  EXPECT_EQ(form->countdown_edit->Text(), L"02:50");

  // A reload before any page: the real browser's complaint is swallowed.
  form->ReloadTimer().Tick();
  EXPECT_LE(GetTickCount() - form->Schedule().LastTimer(), 1000u);

  form->Schedule().SetLastTimer(GetTickCount() - 100000);
  form->restart_countdown_button->Click();
  EXPECT_LE(GetTickCount() - form->Schedule().LastTimer(), 1000u);
  EXPECT_TRUE(recorder.boxes.empty());
}

}  // namespace
}  // namespace reprisa
