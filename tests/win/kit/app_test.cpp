#include <gtest/gtest.h>

#include <objbase.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "core/exceptions.h"
#include "win/kit/form_win.h"
#include "win/kit/stdctrls_win.h"
#include "support/win_test_support.h"

namespace reprisa {
namespace {
using namespace testing_support;

// A hidden form with two buttons, built as the program builds its windows.
class ProbeForm : public TForm {
 public:
  explicit ProbeForm(TComponent* owner) : TForm(owner) {
    SetDesignClientSize(200, 100);
    failing = new TButtonControl(this);
    failing->SetParent(this);
    failing->SetDesignBounds(8, 8, 80, 25);
    failing->SetText(L"Fehler");
    counting = new TButtonControl(this);
    counting->SetParent(this);
    counting->SetDesignBounds(100, 8, 80, 25);
    counting->SetText(L"Z\u00E4hlen");
    counting->OnClick = [this](TObject*) { ++clicks; };
    FinishBuilding();
  }
  void Click(TButtonControl* b) {
    PostMessageW(WindowHandle(), WM_COMMAND, MAKEWPARAM(0, BN_CLICKED),
                 reinterpret_cast<LPARAM>(b->WindowHandle()));
  }
  // Clicks the failing button, then the counting one; true once that click has been counted.
  bool FailThenCount(int clicks_after, DWORD timeout_ms = 3000) {
    Click(failing);
    Click(counting);
    return PumpUntil([&] { return clicks == clicks_after; }, timeout_ms);
  }
  TButtonControl* failing;
  TButtonControl* counting;
  int clicks = 0;
};

class HandleExceptionTest : public ::testing::Test {
 protected:
  void SetUp() override { form = new ProbeForm(Application); }
  void TearDown() override { delete form; }
  ProbeForm* form = nullptr;
};

TEST_F(HandleExceptionTest, ShowsOwnErrorsCaptionedWithTheTitleAndTheLoopGoesOn) {
  BoxRecorder recorder;
  form->failing->OnClick = [](TObject*) { throw EConvertError(L"Absichtlich geworfen"); };
  ASSERT_TRUE(form->FailThenCount(1));
  ASSERT_EQ(recorder.boxes.size(), 1u);
  EXPECT_EQ(recorder.boxes[0].caption, L"Reprisa");
  EXPECT_EQ(recorder.boxes[0].text, L"Absichtlich geworfen.");
  EXPECT_EQ(recorder.boxes[0].flags, static_cast<UINT>(MB_ICONERROR | MB_OK));
  EXPECT_EQ(recorder.boxes[0].flags, 16u);
}

TEST_F(HandleExceptionTest, SilentAbortShowsNothingAndForeignErrorsGetTheLastResortReport) {
  BoxRecorder recorder;
  form->failing->OnClick = [](TObject*) { throw EAbort(); };
  ASSERT_TRUE(form->FailThenCount(1));
  EXPECT_TRUE(recorder.boxes.empty());

  form->failing->OnClick = [](TObject*) { throw std::runtime_error("kein Programmfehler"); };
  ASSERT_TRUE(form->FailThenCount(2));
  ASSERT_EQ(recorder.boxes.size(), 1u);
  EXPECT_NE(recorder.boxes[0].text.find(L"kein Programmfehler"), std::wstring::npos);
  EXPECT_EQ(recorder.boxes[0].caption, L"Reprisa");
  EXPECT_TRUE(recorder.boxes[0].flags & MB_ICONERROR);
}

TEST_F(HandleExceptionTest, ErrorsInAMessageFilterReachTheHandlerToo) {
  struct Failing : MessageFilter {
    bool PreTranslateMessage(MSG& msg) override {
      if (msg.message == WM_APP + 7) throw Exception(L"Filter kaputt");
      return false;
    }
  } filter;
  BoxRecorder recorder;
  Application->AddMessageFilter(&filter);
  PostMessageW(form->WindowHandle(), WM_APP + 7, 0, 0);
  form->Click(form->counting);
  bool done = PumpUntil([&] { return form->clicks == 1; });
  Application->RemoveMessageFilter(&filter);
  ASSERT_TRUE(done);
  ASSERT_EQ(recorder.boxes.size(), 1u);
  EXPECT_EQ(recorder.boxes[0].text, L"Filter kaputt.");
}

TEST_F(HandleExceptionTest, CancelsTheMouseCaptureFirst) {
  BoxRecorder recorder;
  SetCapture(form->counting->WindowHandle());
  ASSERT_EQ(GetCapture(), form->counting->WindowHandle());
  form->failing->OnClick = [](TObject*) { throw Exception(L"Mitten im Ziehen"); };
  form->Click(form->failing);
  ASSERT_TRUE(PumpUntil([&] { return !recorder.boxes.empty(); }));
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(HandleExceptionTest, TheRealBoxIsCaptionedWithTheTitleAndDisablesTheOtherWindows) {
  // Another thread plays the user: it reads the box and presses its OK button.
  std::atomic<bool> found{false}, others_disabled{false};
  std::wstring text;
  HWND form_window = form->WindowHandle();
  std::thread user([&] {
    for (int i = 0; i < 250 && !found; ++i) {
      Sleep(20);
      HWND box = FindWindowW(L"#32770", L"Reprisa");
      if (!box) continue;
      text = MessageBoxText(box);
      others_disabled = !IsWindowEnabled(form_window);
      found = true;
      PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
  });
  form->Show();
  form->failing->OnClick = [](TObject*) { throw ERegistryException(L"Schl\u00FCssel fehlt"); };
  const bool done = form->FailThenCount(1, 8000);
  user.join();
  ASSERT_TRUE(done);
  ASSERT_TRUE(found);
  EXPECT_EQ(text, L"Schl\u00FCssel fehlt.");
  EXPECT_TRUE(others_disabled);
  EXPECT_TRUE(IsWindowEnabled(form_window));  // enabled again afterwards
}

// ---- Control windows --------------------------------------------------------------------------

class ControlWindowTest : public HandleExceptionTest {};

TEST_F(ControlWindowTest, ControlsAreFoundFromTheirWindowsAndForeignWindowsAreNot) {
  EXPECT_EQ(TWinControl::FromHandle(form->WindowHandle()), form);
  EXPECT_EQ(TWinControl::FromHandle(form->counting->WindowHandle()), form->counting);
  // A window that is not ours, carrying a value where ours keep theirs, inside our form.
  HWND foreign = CreateWindowExW(0, L"STATIC", L"fremd", WS_CHILD, 0, 0, 10, 10,
                                 form->WindowHandle(), nullptr, nullptr, nullptr);
  ASSERT_NE(foreign, nullptr);
  SetWindowLongPtrW(foreign, GWLP_USERDATA, 0x1234);
  EXPECT_EQ(TWinControl::FromHandle(foreign), nullptr);
  EXPECT_EQ(TWinControl::FindControl(foreign), form);
  DestroyWindow(foreign);
  HWND gone = form->counting->WindowHandle();
  delete form->counting;
  EXPECT_EQ(TWinControl::FromHandle(gone), nullptr);
  form->counting = nullptr;
}

// Whoever replaces a control's window procedure after us passes messages on to ours.
WNDPROC g_ours = nullptr;
int g_foreign_calls = 0;
bool g_saw_ncdestroy = false;
LRESULT CALLBACK ForeignProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  ++g_foreign_calls;
  if (msg == WM_NCDESTROY) g_saw_ncdestroy = true;
  return CallWindowProcW(g_ours, hwnd, msg, wp, lp);
}

TEST_F(ControlWindowTest, AProcedurePutOnTopOfOursStillReachesTheControlAndItsSystemClass) {
  HWND button = form->counting->WindowHandle();
  g_foreign_calls = 0;
  g_saw_ncdestroy = false;
  g_ours = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ForeignProc)));
  SetWindowTextW(button, L"Neu");  // handled by the system class, through both procedures
  wchar_t text[16] = {};
  GetWindowTextW(button, text, 16);
  EXPECT_STREQ(text, L"Neu");
  SendMessageW(button, BM_CLICK, 0, 0);  // the system class clicks, our form reacts
  EXPECT_TRUE(PumpUntil([&] { return form->clicks == 1; }));
  EXPECT_GT(g_foreign_calls, 0);
  delete form;  // destroys the button with the foreign procedure still on top: no crash
  form = nullptr;
  EXPECT_TRUE(g_saw_ncdestroy);
  EXPECT_FALSE(IsWindow(button));
}

LRESULT CALLBACK SwallowingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCDESTROY) return 0;  // ours never hears of the window's end
  return CallWindowProcW(g_ours, hwnd, msg, wp, lp);
}

TEST_F(ControlWindowTest, AControlLetsGoOfItsWindowEvenWhenItsEndIsKeptFromIt) {
  HWND button = form->counting->WindowHandle();
  g_ours = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SwallowingProc)));
  delete form->counting;
  form->counting = nullptr;
  EXPECT_FALSE(IsWindow(button));
  // A later window that gets this handle is no one's.
  EXPECT_EQ(TWinControl::FromHandle(button), nullptr);
}

TEST(Application, IsSetUpAsTheProgramNeedsIt) {
  EXPECT_TRUE(Application->OleInitialized());
  EXPECT_EQ(Application->Title(), L"Reprisa");
  wchar_t text[64] = {};
  GetWindowTextW(Application->Handle(), text, 64);
  EXPECT_STREQ(text, L"Reprisa");
  // The thread is already a single-threaded apartment: asking for the free-threaded one fails.
  HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  EXPECT_EQ(hr, RPC_E_CHANGED_MODE);
  if (SUCCEEDED(hr)) CoUninitialize();
}

TEST(Application, FirstFormCreatedBecomesTheMainFormAndAFailedCreationClearsTheReference) {
  struct Failing : TForm {
    explicit Failing(TComponent* owner) : TForm(owner) { throw Exception(L"geht nicht"); }
  };
  Failing* ref = reinterpret_cast<Failing*>(0x1);
  EXPECT_THROW(Application->CreateForm(ref), Exception);
  EXPECT_EQ(ref, nullptr);

  // The main window has the task-bar button; the application's window neither has one nor
  // takes activation: made before the main window, it gets that style when the main window
  // has been created.
  HWND app_window = Application->Handle();
  SetWindowLongW(app_window, GWL_EXSTYLE,
                 GetWindowLongW(app_window, GWL_EXSTYLE) & ~(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE));
  ProbeForm* form = nullptr;
  Application->CreateForm(form);
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(Application->MainForm(), form);
  LONG ex = GetWindowLongW(app_window, GWL_EXSTYLE);
  EXPECT_EQ(ex & (WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE), WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE);
  EXPECT_EQ(ex & WS_EX_APPWINDOW, 0);
  ProbeForm* second = nullptr;
  Application->CreateForm(second);
  EXPECT_EQ(Application->MainForm(), form);
  delete second;
  delete form;
  EXPECT_EQ(Application->MainForm(), nullptr);
}

// ---- Modal scope and COM scope ----------------------------------------------------------------

// A plain top-level window of the thread, shown without taking activation.
HWND ShowPlainWindow() {
  HWND h = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"andere", WS_POPUP, 0, 0, 40, 40,
                           nullptr, nullptr, nullptr, nullptr);
  if (h) ShowWindow(h, SW_SHOWNA);
  return h;
}

TEST(ModalScope, DisablesTheOtherWindowsAndGivesBackActivationAndFocus) {
  ProbeForm first(nullptr), modal(nullptr);
  HWND other = ShowPlainWindow(), going = ShowPlainWindow(), already_disabled = ShowPlainWindow();
  HWND hidden = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 40, 40, nullptr, nullptr,
                                nullptr, nullptr);
  ASSERT_TRUE(other && going && already_disabled && hidden);
  EnableWindow(already_disabled, FALSE);
  first.Show();
  first.counting->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == first.counting->WindowHandle(); }));
  {
    TModalScope scope(modal.Handle());
    for (HWND h : {first.WindowHandle(), other, going}) EXPECT_FALSE(IsWindowEnabled(h)) << h;
    EXPECT_TRUE(IsWindowEnabled(modal.WindowHandle()));
    EXPECT_TRUE(IsWindowEnabled(hidden)) << "a hidden window is left alone";
    // The modal window takes activation and focus while the scope lasts; one of the disabled
    // windows goes away meanwhile.
    modal.Show();
    modal.failing->SetFocus();
    EXPECT_TRUE(PumpUntil([&] { return GetFocus() == modal.failing->WindowHandle(); }, 3000))
        << "the focus is on " << GetFocus();
    DestroyWindow(going);
  }
  EXPECT_TRUE(IsWindowEnabled(first.WindowHandle()));
  EXPECT_TRUE(IsWindowEnabled(other));
  EXPECT_FALSE(IsWindowEnabled(already_disabled)) << "it was not ours to enable";
  EXPECT_EQ(GetActiveWindow(), first.WindowHandle());
  EXPECT_EQ(GetFocus(), first.counting->WindowHandle());
  for (HWND h : {other, already_disabled, hidden}) DestroyWindow(h);
}

TEST(ModalScope, EnablingTheOthersEarlyLeavesActivationForTheEnd) {
  ProbeForm modal(nullptr);
  HWND owner = ShowPlainWindow();
  modal.Show();
  ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == modal.WindowHandle(); }));
  TModalScope scope(modal.WindowHandle());
  EXPECT_FALSE(IsWindowEnabled(owner));
  scope.EnableOthers();
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_EQ(GetActiveWindow(), modal.WindowHandle());
  scope.End();
  scope.End();  // a second end changes nothing
  EXPECT_TRUE(IsWindowEnabled(owner));
  DestroyWindow(owner);
}

TEST(ComScope, SFalseIsASuccessBalancedLikeAnyOtherAndAFailureIsNotUndone) {
  HRESULT outer = E_FAIL, inner = E_FAIL, afterwards = E_FAIL, ole = S_OK, still_mta = E_FAIL;
  bool both_succeeded = false, ole_succeeded = true;
  // A thread of its own: the test thread's apartment is the program's.
  std::thread([&] {
    {
      TComScope first(TComScope::Kind::Com);
      TComScope second(TComScope::Kind::Com);
      outer = first.Result();
      inner = second.Result();
      both_succeeded = first.Succeeded() && second.Succeeded();
    }
    // Both ends balanced: the thread has left the apartment and may join another one.
    afterwards = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    {
      TComScope wrong(TComScope::Kind::Ole);  // OLE needs a single-threaded apartment
      ole = wrong.Result();
      ole_succeeded = wrong.Succeeded();
    }
    // The failed scope took nothing away: the thread is still in the free-threaded apartment.
    still_mta = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(still_mta)) CoUninitialize();
    if (SUCCEEDED(afterwards)) CoUninitialize();
  }).join();
  EXPECT_EQ(outer, S_OK);
  EXPECT_EQ(inner, S_FALSE);
  EXPECT_TRUE(both_succeeded);
  EXPECT_EQ(afterwards, S_OK) << "a scope was not undone";
  EXPECT_EQ(ole, RPC_E_CHANGED_MODE);
  EXPECT_FALSE(ole_succeeded);
  EXPECT_EQ(still_mta, S_FALSE) << "a failed scope was undone";
}

}  // namespace
}  // namespace reprisa
