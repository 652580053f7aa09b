// The fake runtime itself, loaded into this process: it answers only through the message loop,
// asks the handler for its interface first, refuses relative addresses, counts references, and
// every slot of its tables is the method the reference puts there (a second transcription of
// the reference's slot numbers, so that a slip in either shows).
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "e2e/driver.h"
#include "fake_install.h"
#include "fake_runtime/protocol.h"

namespace fakewv2 {
namespace {

using Slot = void (*)();

// A completed handler as a host writes it, with a C-style table.
struct Handler {
  const Slot* vtbl;
  GUID iid;
  LONG refs = 1;
  int asked = 0;    // QueryInterface calls for iid
  int invoked = 0;  // Invoke calls
  HRESULT code = E_PENDING;
  void* result = nullptr;  // kept (AddRef'd)
};

template <typename Fn>
Fn SlotOf(void* object, int index) {
  return reinterpret_cast<Fn>((*static_cast<Slot**>(object))[index]);
}
ULONG AddRefOf(void* o) { return SlotOf<ULONG(__stdcall*)(void*)>(o, 1)(o); }
ULONG ReleaseOf(void* o) { return SlotOf<ULONG(__stdcall*)(void*)>(o, 2)(o); }
// What a slot hands back through its one pointer argument: nothing (no argument), a value, or a
// text the caller frees.
enum Answer { kNone, kValue, kText };
// Calls a slot that takes no arguments.
HRESULT CallSlot(void* o, int slot) { return SlotOf<HRESULT(__stdcall*)(void*)>(o, slot)(o); }

HRESULT __stdcall HandlerQueryInterface(Handler* self, const GUID* iid, void** out) {
  *out = nullptr;
  if (!IsEqualGUID(*iid, self->iid)) return E_NOINTERFACE;
  ++self->asked;
  ++self->refs;
  *out = self;
  return S_OK;
}
ULONG __stdcall HandlerAddRef(Handler* self) { return ++self->refs; }
ULONG __stdcall HandlerRelease(Handler* self) { return --self->refs; }
HRESULT __stdcall HandlerInvoke(Handler* self, HRESULT code, void* result) {
  ++self->invoked;
  self->code = code;
  self->result = result;
  if (result) AddRefOf(result);
  return S_OK;
}
const Slot kHandlerVtbl[] = {reinterpret_cast<Slot>(&HandlerQueryInterface),
                             reinterpret_cast<Slot>(&HandlerAddRef),
                             reinterpret_cast<Slot>(&HandlerRelease),
                             reinterpret_cast<Slot>(&HandlerInvoke)};

using Entry = HRESULT(__stdcall*)(bool, int, PCWSTR, void*, void*);

void PumpUntil(const std::function<bool()>& done, DWORD timeout_ms = 5000) {
  const ULONGLONG end = GetTickCount64() + timeout_ms;
  while (!done() && GetTickCount64() < end) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    if (done()) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

class FakeRuntimeTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(e2e::Narrow(runtime_.Install("")), "");
    module_ = LoadLibraryW((Folder() + L"EmbeddedBrowserWebView.dll").c_str());
    ASSERT_NE(module_, nullptr);
    entry_ = reinterpret_cast<Entry>(reinterpret_cast<void*>(
        GetProcAddress(module_, "CreateWebViewEnvironmentWithOptionsInternal")));
    ASSERT_NE(entry_, nullptr);
    parent_ = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                              nullptr, nullptr, nullptr);
    ASSERT_NE(parent_, nullptr);
  }

  void TearDown() override {
    if (parent_) DestroyWindow(parent_);
    Unload(module_);
    runtime_.Remove();
  }

  std::wstring Folder() const { return runtime_.DllFolder() + L"\\"; }

  // A creation's one answer: through the loop, after the handler was asked for its interface.
  static void Await(HRESULT call, Handler& handler, void** result) {
    ASSERT_EQ(call, S_OK);
    EXPECT_EQ(handler.invoked, 0) << "answered inside the call";
    PumpUntil([&] { return handler.invoked > 0; });
    ASSERT_EQ(handler.invoked, 1);
    EXPECT_EQ(handler.asked, 1) << "Invoke without asking for the interface";
    ASSERT_EQ(handler.code, S_OK);
    *result = handler.result;
    ASSERT_NE(*result, nullptr);
  }

  // Environment, controller and web view, made through the entry point as a host makes them.
  void Create() {
    env_handler_ = {kHandlerVtbl, kIEnvironmentCompleted};
    ASSERT_NO_FATAL_FAILURE(
        Await(entry_(true, 0, L"C:\\data", nullptr, &env_handler_), env_handler_, &environment_));
    controller_handler_ = {kHandlerVtbl, kIControllerCompleted};
    using CreateController = HRESULT(__stdcall*)(void*, HWND, void*);
    ASSERT_NO_FATAL_FAILURE(Await(SlotOf<CreateController>(environment_, 3)(
                                      environment_, parent_, &controller_handler_),
                                  controller_handler_, &controller_));
    using GetWebView = HRESULT(__stdcall*)(void*, void**);
    ASSERT_EQ(SlotOf<GetWebView>(controller_, 25)(controller_, &webview_), S_OK);
    ASSERT_NE(webview_, nullptr);
  }

  void ReleaseAll() {
    for (void** o : {&webview_, &controller_, &environment_})
      if (*o) {
        ReleaseOf(*o);
        *o = nullptr;
      }
  }

  FakeRuntime runtime_;
  HMODULE module_ = nullptr;
  Entry entry_ = nullptr;
  HWND parent_ = nullptr;
  Handler env_handler_{kHandlerVtbl, {}}, controller_handler_{kHandlerVtbl, {}};
  void* environment_ = nullptr;
  void* controller_ = nullptr;
  void* webview_ = nullptr;
};

TEST_F(FakeRuntimeTest, AnswersThroughTheLoopAndCountsEveryReference) {
  ASSERT_NO_FATAL_FAILURE(Create());
  using Navigate = HRESULT(__stdcall*)(void*, LPCWSTR);
  EXPECT_EQ(SlotOf<Navigate>(webview_, 5)(webview_, L"example.invalid/x"), E_INVALIDARG);
  EXPECT_EQ(SlotOf<Navigate>(webview_, 5)(webview_, L"http://example.invalid/x"), S_OK);
  EXPECT_EQ(CallSlot(controller_, 24), S_OK);  // Close
  // A reference kept back shows as an object never freed.
  void* kept = webview_;
  AddRefOf(kept);
  ReleaseAll();
  EXPECT_TRUE(Faults(runtime_.Log()) == L"WebView#1 was never freed\n")
      << e2e::Narrow(Faults(runtime_.Log()));
  ReleaseOf(kept);
  EXPECT_EQ(env_handler_.refs, 1) << "the environment's handler is still held";
  EXPECT_EQ(controller_handler_.refs, 1) << "the controller's handler is still held";
  std::vector<std::wstring> log = runtime_.Log();
  EXPECT_EQ(e2e::Narrow(Faults(log)), "") << Dump(log);
  EXPECT_EQ(CallsOf(log, L"WebView.Navigate").size(), 2u) << Dump(log);
  EXPECT_GE(Find(log, L"Navigate refused"), 0) << Dump(log);
}

// Calls each slot that takes one pointer for its answer (or nothing), and reads back the name
// the fake recorded. Slot numbers as the reference gives them.
TEST_F(FakeRuntimeTest, EverySlotIsTheReferencesMethod) {
  ASSERT_NO_FATAL_FAILURE(Create());
  void* settings = nullptr;
  using GetPointer = HRESULT(__stdcall*)(void*, void*);
  ASSERT_EQ(SlotOf<GetPointer>(webview_, 3)(webview_, &settings), S_OK);
  ASSERT_NE(settings, nullptr);
  struct Row {
    void* object;
    const wchar_t* kind;
    int slot;
    const wchar_t* method;
    Answer answer;
  } rows[] = {
      {environment_, L"Environment", 5, L"get_BrowserVersionString", kText},
      {controller_, L"Controller", 3, L"get_IsVisible", kValue},
      {controller_, L"Controller", 5, L"get_Bounds", kValue},
      {controller_, L"Controller", 7, L"get_ZoomFactor", kValue},
      {controller_, L"Controller", 21, L"get_ParentWindow", kValue},
      {controller_, L"Controller", 23, L"NotifyParentWindowPositionChanged", kNone},
      {webview_, L"WebView", 4, L"get_Source", kText},
      {webview_, L"WebView", 31, L"Reload", kNone},
      {webview_, L"WebView", 37, L"get_BrowserProcessId", kValue},
      {webview_, L"WebView", 38, L"get_CanGoBack", kValue},
      {webview_, L"WebView", 39, L"get_CanGoForward", kValue},
      {webview_, L"WebView", 40, L"GoBack", kNone},
      {webview_, L"WebView", 41, L"GoForward", kNone},
      {webview_, L"WebView", 43, L"Stop", kNone},
      {webview_, L"WebView", 48, L"get_DocumentTitle", kText},
      {webview_, L"WebView", 51, L"OpenDevToolsWindow", kNone},
      {webview_, L"WebView", 54, L"get_ContainsFullScreenElement", kValue},
      {settings, L"Settings", 3, L"get_IsScriptEnabled", kValue},
      {settings, L"Settings", 5, L"get_IsWebMessageEnabled", kValue},
      {settings, L"Settings", 7, L"get_AreDefaultScriptDialogsEnabled", kValue},
      {settings, L"Settings", 9, L"get_IsStatusBarEnabled", kValue},
      {settings, L"Settings", 11, L"get_AreDevToolsEnabled", kValue},
      {settings, L"Settings", 13, L"get_AreDefaultContextMenusEnabled", kValue},
      {settings, L"Settings", 15, L"get_AreHostObjectsAllowed", kValue},
      {settings, L"Settings", 17, L"get_IsZoomControlEnabled", kValue},
      {settings, L"Settings", 19, L"get_IsBuiltInErrorPageEnabled", kValue},
  };
  for (const Row& row : rows) {
    alignas(8) unsigned char answer[16] = {};
    const size_t before = runtime_.Log().size();
    if (row.answer != kNone)
      SlotOf<GetPointer>(row.object, row.slot)(row.object, answer);
    else
      CallSlot(row.object, row.slot);
    std::vector<std::wstring> log = runtime_.Log();
    ASSERT_GT(log.size(), before);
    const std::wstring line = log[before];
    const std::wstring want = std::wstring(row.kind) + L"#1." + row.method;
    EXPECT_EQ(e2e::Narrow(line.substr(0, want.size())), e2e::Narrow(want))
        << "slot " << row.slot;
    if (row.answer == kText) CoTaskMemFree(*reinterpret_cast<LPWSTR*>(answer));
  }
  ReleaseOf(settings);
  CallSlot(controller_, 24);  // Close
  ReleaseAll();
  std::vector<std::wstring> log = runtime_.Log();
  EXPECT_EQ(e2e::Narrow(Faults(log)), "") << Dump(log);
}

// A slot past the table ends the process loudly: run in a child process (this program, started
// with --call-past-the-table), which calls the environment's first slot after the reference's.
TEST_F(FakeRuntimeTest, ASlotPastTheTableIsRecordedAndEndsTheProcess) {
  wchar_t self_path[MAX_PATH];
  GetModuleFileNameW(nullptr, self_path, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(self_path) + L"\" --call-past-the-table \"" +
                         Folder() + L"EmbeddedBrowserWebView.dll\"";
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessW(self_path, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &si, &pi));
  const bool ended = WaitForSingleObject(pi.hProcess, 20000) == WAIT_OBJECT_0;
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  if (!ended) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  ASSERT_TRUE(ended);
  EXPECT_EQ(code, kUnknownSlotExitCode);
  std::vector<std::wstring> log = runtime_.Log();
  EXPECT_GE(Find(log, L"UNKNOWN SLOT 8 called on Environment#1"), 0) << Dump(log);
  EXPECT_NE(Faults(log), L"");
}

// A runtime really registered where the fake records its own (here: one the test writes itself) is
// neither overwritten nor removed, not even by the clean-up of an aborted run.
TEST(FakeInstall, LeavesARuntimeItDidNotRecord) {
  const std::wstring key =
      L"SOFTWARE\\Microsoft\\EdgeUpdate\\ClientState\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
  const REGSAM view = KEY_WOW64_32KEY;
  FakeRuntime::RemoveAllRecords();
  HKEY k = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0,
                            KEY_SET_VALUE | view, nullptr, &k, nullptr),
            ERROR_SUCCESS);
  const wchar_t real[] = L"C:\\real";
  RegSetValueExW(k, L"EBWebView", 0, REG_SZ, reinterpret_cast<const BYTE*>(real), sizeof(real));
  RegCloseKey(k);
  {
    FakeRuntime fake;
    EXPECT_NE(fake.Install(""), L"") << "wrote over a runtime it did not record";
  }
  FakeRuntime::RemoveAllRecords();
  wchar_t value[64] = {};
  DWORD size = sizeof(value) - sizeof(wchar_t);
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE | view, &k),
            ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExW(k, L"EBWebView", nullptr, nullptr, reinterpret_cast<BYTE*>(value),
                             &size),
            ERROR_SUCCESS);
  RegCloseKey(k);
  EXPECT_STREQ(value, real);
  for (const wchar_t* made : {key.c_str(), L"SOFTWARE\\Microsoft\\EdgeUpdate\\ClientState",
                              L"SOFTWARE\\Microsoft\\EdgeUpdate"})
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, made, view, 0);
}

}  // namespace

// The child's side of the test above; returns only when the fake failed to end the process.
int CallPastTheTable(const std::wstring& dll) {
  HMODULE module = LoadLibraryW(dll.c_str());
  if (!module) return 3;
  auto entry = reinterpret_cast<Entry>(reinterpret_cast<void*>(
      GetProcAddress(module, "CreateWebViewEnvironmentWithOptionsInternal")));
  if (!entry) return 4;
  Handler handler{kHandlerVtbl, kIEnvironmentCompleted};
  if (FAILED(entry(true, 0, L"C:\\data", nullptr, &handler))) return 5;
  PumpUntil([&] { return handler.invoked > 0; });
  if (!handler.result) return 6;
  CallSlot(handler.result, 8);
  return 7;
}

}  // namespace fakewv2
