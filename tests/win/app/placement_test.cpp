// The placement store on the main window: what a close writes, what the next showing restores.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/exceptions.h"
#include "core/placement_values.h"
#include "core/utf8.h"
#include "win/kit/registry_store_win.h"
#include "win/app/main_form_win.h"
#include "support/win_test_support.h"

namespace reprisa {
namespace {
using namespace testing_support;

const std::wstring kSection = L"TMainForm";

std::wstring KeyPath() { return L"Software\\win_tests"; }

std::optional<std::wstring> Stored(const std::wstring& ident) {
  RegistryStore store(HKEY_CURRENT_USER, KeyPath(), true);
  return store.ReadValue(kSection, ident);
}

void Store(std::initializer_list<std::pair<std::wstring, std::wstring>> values) {
  RegistryStore store(HKEY_CURRENT_USER, KeyPath(), false);
  for (const auto& [ident, value] : values) store.WriteValue(kSection, ident, value);
}

std::wstring Suffix() {
  return ScreenSuffix(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
}

class PlacementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetScreenDpiOverride(96);
    ClearStoredPlacement();
  }
  void TearDown() override {
    if (form && IsIconic(form->WindowHandle())) ShowWindow(form->WindowHandle(), SW_RESTORE);
    delete form;
    ClearStoredPlacement();
    SetScreenDpiOverride(0);
  }
  void Open() {
    form = new TMainForm(Application);
    form->Show();
  }
  // Makes and shows the form; its window rectangle before the showing restored anything.
  RECT OpenAndRememberMadePlace() {
    form = new TMainForm(Application);
    RECT made;
    GetWindowRect(form->WindowHandle(), &made);
    form->Show();
    return made;
  }
  // The close query as closing the window asks it (without ending the test program).
  void CloseQuery() {
    bool can_close = true;
    form->OnCloseQuery(form, can_close);
    EXPECT_TRUE(can_close);
  }
  RECT WindowRect() {
    RECT r;
    GetWindowRect(form->WindowHandle(), &r);
    return r;
  }
  // The window's corner and, where given (not 0), its size.
  void ExpectPlace(int left, int top, int width = 0, int height = 0) {
    const RECT r = WindowRect();
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    if (width) { EXPECT_EQ(r.right - r.left, width); }
    if (height) { EXPECT_EQ(r.bottom - r.top, height); }
  }
  // Where a first run puts the window: 854 x 600 (the design's client area with the frame and
  // the menu bar), centred on the work area.
  void ExpectFirstRunPlace() {
    RECT wa;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &wa, 0);
    ExpectPlace(wa.left + (wa.right - wa.left - 854) / 2, wa.top + (wa.bottom - wa.top - 600) / 2,
                854, 600);
  }
  TMainForm* form = nullptr;
};

TEST_F(PlacementTest, FirstRunCentresOnceAndTheCloseWritesEveryValue) {
  Open();
  ExpectFirstRunPlace();
  EXPECT_EQ(form->Position(), TPosition::poDesigned);
  EXPECT_TRUE(form->placement->Restored());
  // Hidden, moved and shown again: it stays where it was put.
  form->Hide();
  SetWindowPos(form->WindowHandle(), nullptr, 5, 7, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  form->Show();
  ExpectPlace(5, 7);
  CloseQuery();
  EXPECT_TRUE(form->placement->Saved());
  for (const auto& [ident, value] : std::initializer_list<std::pair<const wchar_t*, const wchar_t*>>{
           {L"FormVersion", L"0"}, {L"ShowCmd", L"1"}, {L"PixelsPerInch", L"96"}, {L"Visible", L"0"}})
    EXPECT_EQ(Stored(ident), value) << NarrowUtf8(ident);
  ASSERT_TRUE(Stored(L"Flags").has_value());
  ASSERT_TRUE(Stored(L"NormPos").has_value());
  EXPECT_EQ(Stored(L"NormPos"), Stored(L"NormPos" + Suffix()));
  EXPECT_TRUE(Stored(L"MinMaxPos").has_value());
  EXPECT_EQ(Stored(L"MinMaxPos"), Stored(L"MinMaxPos" + Suffix()));
  EXPECT_EQ(Stored(L"NormPos"), L"5,7,859,607");  // where it was put, 854 x 600
}

TEST_F(PlacementTest, TheNextRunOpensWhereTheLastOneClosed) {
  Store({{L"NormPos", L"100,120,1000,700"}, {L"ShowCmd", L"1"}});
  Open();
  ExpectPlace(100, 120, 900, 580);
  EXPECT_EQ(form->Position(), TPosition::poDesigned);
  // The suffixed name for this screen wins over the plain one.
  CloseQuery();
  delete form;
  form = nullptr;
  Store({{L"NormPos" + Suffix(), L"40,50,940,630"}});
  Open();
  ExpectPlace(40, 50);
}

TEST_F(PlacementTest, ClosedMaximisedOpensMaximised) {
  Store({{L"NormPos", L"100,120,1000,700"}, {L"ShowCmd", L"3"}});
  Open();
  EXPECT_TRUE(IsZoomed(form->WindowHandle()));
  CloseQuery();
  EXPECT_EQ(Stored(L"ShowCmd"), L"3");
  EXPECT_EQ(Stored(L"NormPos"), L"100,120,1000,700");  // the normal rectangle is kept
}

TEST_F(PlacementTest, AnotherResolutionKeepsTheStateButNotThePlace) {
  Store({{L"NormPos", L"100,120,1000,700"}, {L"PixelsPerInch", L"144"}, {L"ShowCmd", L"3"}});
  Open();
  EXPECT_TRUE(IsZoomed(form->WindowHandle()));
  ShowWindow(form->WindowHandle(), SW_RESTORE);
  ExpectFirstRunPlace();
}

TEST_F(PlacementTest, AValueOfTheWrongTypeIsReportedAndNothingIsSavedThatRun) {
  {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (KeyPath() + L"\\TMainForm").c_str(), 0, nullptr,
                              0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    DWORD one = 1;
    RegSetValueExW(key, L"FormVersion", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one),
                   sizeof(one));
    RegCloseKey(key);
  }
  BoxRecorder recorder;
  Open();
  ASSERT_EQ(recorder.boxes.size(), 1u);
  // Ends in "'", below "." in code: no full stop is added.
  EXPECT_EQ(recorder.boxes[0].text, L"Invalid data type for 'FormVersion'");
  EXPECT_EQ(recorder.boxes[0].caption, L"Reprisa");
  EXPECT_FALSE(form->placement->Restored());
  CloseQuery();
  delete form;
  form = nullptr;
  EXPECT_FALSE(Stored(L"NormPos").has_value());  // the stored values stay as they were
}

TEST_F(PlacementTest, DestroyedWithoutClosingSavesWithVisibleOne) {
  Open();
  BoxRecorder recorder;
  EXPECT_TRUE(form->placement->Restored());
  EXPECT_FALSE(form->placement->Saved());
  delete form;
  for (auto& b : recorder.boxes) ADD_FAILURE() << NarrowUtf8(b.text);
  form = nullptr;
  EXPECT_EQ(Stored(L"Visible"), L"1");
}

TEST_F(PlacementTest, APlaceOffEveryScreenIsBroughtBackOntoTheScreen) {
  Store({{L"NormPos", L"5000,4000,5900,4580"}});
  Open();
  const RECT r = WindowRect();
  EXPECT_LT(r.left, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_LT(r.top, GetSystemMetrics(SM_CYSCREEN));
  EXPECT_EQ(r.right - r.left, 900);
}

TEST_F(PlacementTest, AnOverflowingPlaceComesBackOntoTheWorkAreaWithAPositiveSize) {
  Store({{L"NormPos", L"-2147483648,-100000,2147483647,-99000"}});
  Open();
  RECT wa;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &wa, 0);
  ExpectPlace(wa.left, wa.top, wa.right - wa.left, 1000);
}

TEST_F(PlacementTest, TheFirstRunsRestoreMakesTheKeySoThatItsEventCanWrite) {
  BoxRecorder recorder;
  form = new TMainForm(Application);
  form->placement->OnRestorePlacement = [this](TObject*) {
    form->placement->WriteInteger(L"Runs", form->placement->ReadInteger(L"Runs", 0) + 1);
  };
  form->Show();
  for (auto& b : recorder.boxes) ADD_FAILURE() << NarrowUtf8(b.text);
  EXPECT_EQ(Stored(L"Runs"), L"1");
}

TEST_F(PlacementTest, TheEndOfTheSessionSavesAsAtACloseAndTheDestroyDoesNotAgain) {
  Store({{L"NormPos", L"100,120,1000,700"}});
  Open();
  HWND h = form->WindowHandle();
  EXPECT_EQ(SendMessageW(h, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
  EXPECT_FALSE(Stored(L"Visible").has_value());  // asking saves nothing
  SendMessageW(h, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF);  // cancelled: nothing either
  EXPECT_FALSE(Stored(L"Visible").has_value());
  SendMessageW(h, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
  EXPECT_EQ(Stored(L"Visible"), L"0");
  EXPECT_EQ(Stored(L"NormPos"), L"100,120,1000,700");
  EXPECT_TRUE(form->placement->Saved());
  delete form;
  form = nullptr;
  EXPECT_EQ(Stored(L"Visible"), L"0");
}

TEST_F(PlacementTest, ClosedMinimisedStartsTheApplicationMinimised) {
  Store({{L"ShowCmd", L"2"}});
  Open();
  EXPECT_TRUE(PumpUntil([&] { return IsIconic(form->WindowHandle()) != FALSE; }, 2000));
}

TEST_F(PlacementTest, InactiveStoreNeitherRestoresNorSavesButAnExplicitSaveWrites) {
  Store({{L"NormPos", L"100,120,1000,700"}});
  form = new TMainForm(Application);
  form->placement->SetActive(false);
  form->Show();
  ExpectFirstRunPlace();
  ClearStoredPlacement();
  CloseQuery();
  EXPECT_FALSE(Stored(L"FormVersion").has_value());
  form->placement->SaveFormPlacement();
  EXPECT_EQ(Stored(L"FormVersion"), L"0");
}

TEST_F(PlacementTest, TheComponentGivesTheFormItsEventsBack) {
  form = new TMainForm(Application);
  EXPECT_TRUE(static_cast<bool>(form->OnShow));
  delete form->placement;
  EXPECT_FALSE(static_cast<bool>(form->OnShow));
  EXPECT_FALSE(static_cast<bool>(form->OnCloseQuery));
  EXPECT_FALSE(static_cast<bool>(form->OnDestroy));
}

// Size limits and a fixed size, through the observer on the form's window.
class PlacementLimitsTest : public PlacementTest {
 protected:
  void SetUp() override {
    PlacementTest::SetUp();
    form = new TMainForm(Application);
  }
  MINMAXINFO AskLimits() {
    MINMAXINFO info{};
    info.ptMaxPosition = {-4, -4};
    info.ptMaxTrackSize = {5000, 5000};
    SendMessageW(form->WindowHandle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    return info;
  }
};

TEST_F(PlacementLimitsTest, NoLimitsNoObserverAndLimitsReplaceOnlyTheirMembers) {
  TFormPlacement* p = form->placement;
  EXPECT_FALSE(p->Observing());
  p->MinMaxInfo().SetMinTrackWidth(500);
  EXPECT_TRUE(p->Observing());
  MINMAXINFO info = AskLimits();
  EXPECT_EQ(info.ptMinTrackSize.x, 500);
  EXPECT_EQ(info.ptMaxTrackSize.x, 5000);  // 0 keeps what the system put there
  p->MinMaxInfo().SetMinTrackWidth(0);
  EXPECT_FALSE(p->Observing());
}

TEST_F(PlacementLimitsTest, PreventResizeFixesTheSizeAndTakesAwayTheMaximiseBox) {
  TFormPlacement* p = form->placement;
  ASSERT_TRUE(form->BorderIcons() & biMaximize);
  p->SetPreventResize(true);
  EXPECT_TRUE(p->Observing());
  EXPECT_FALSE(form->BorderIcons() & biMaximize);
  EXPECT_FALSE(GetWindowLongW(form->WindowHandle(), GWL_STYLE) & WS_MAXIMIZEBOX);
  form->Show();
  MINMAXINFO info = AskLimits();
  EXPECT_EQ(info.ptMinTrackSize.x, form->Width());
  EXPECT_EQ(info.ptMaxTrackSize.y, form->Height());
  RECT r;
  GetWindowRect(form->WindowHandle(), &r);
  LRESULT hit = SendMessageW(form->WindowHandle(), WM_NCHITTEST, 0,
                             MAKELPARAM(r.right - 1, (r.top + r.bottom) / 2));
  EXPECT_EQ(hit, HTNOWHERE);  // the sizing border is no border any more
  p->SetPreventResize(false);
  EXPECT_TRUE(form->BorderIcons() & biMaximize);
  EXPECT_FALSE(p->Observing());
}

TEST_F(PlacementLimitsTest, EraseSectionsRemovesTheSectionAndItsNamesakesOnly) {
  RegistryStore store(HKEY_CURRENT_USER, L"Software\\win_tests", false);
  for (const wchar_t* section : {L"TMainForm", L"TMainForm.Grid", L"TMainForm2", L"Other"})
    store.WriteValue(section, L"x", L"1");
  form->placement->EraseSections();
  std::vector<std::wstring> left = store.SubkeyNames();
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::wstring>{L"Other", L"TMainForm2"}));
}

}  // namespace
}  // namespace reprisa
