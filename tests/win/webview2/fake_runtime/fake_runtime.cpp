// A stand-in for the system's web view runtime, installed by the tests where the real one lives
// (EBWebView\x86\EmbeddedBrowserWebView.dll). It exports the documented entry point and hands out
// COM objects whose vtables are written here, slot by slot, from the public reference, with no
// declaration shared with the program: a method the program has out of order calls the wrong
// function here, and every function records its own name first. Slots past the reference's table
// record themselves and end the process.
//
// It behaves as the real runtime does where a host can tell: every answer comes later through the
// calling thread's message loop, never inside the call that asked; the web view is a coloured
// child window of the parent it is given; the completed handlers are asked for their interface
// before they are called. It records every call and every object's life in calls.log beside
// itself and is told how to fail by fake_runtime.ini there (see protocol.h).
//
// Built without FAKEWV2_NO_ENTRY_POINT it exports the entry point; with it, it is a DLL that
// loads but lacks it.
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "protocol.h"

namespace {

using namespace fakewv2;

// ---- facts from the public reference -------------------------------------------------------

struct Token {  // EventRegistrationToken: one 64-bit value, passed by value to remove_*
  long long value;
};

constexpr GUID kIUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID kIEnvironment = {
    0xB96D755E, 0x0319, 0x4E92, {0xA2, 0x96, 0x23, 0x43, 0x6F, 0x46, 0xA1, 0xFC}};
constexpr GUID kIEnvironmentOptions = {
    0x2FDE08A8, 0x1E9A, 0x4766, {0x8C, 0x05, 0x95, 0xA9, 0xCE, 0xB9, 0xD1, 0xC5}};
constexpr GUID kIController = {
    0x4D00C0D1, 0x9434, 0x4EB6, {0x80, 0x78, 0x86, 0x97, 0xA5, 0x60, 0x33, 0x4F}};
constexpr GUID kIWebView = {
    0x76ECEACB, 0x0462, 0x4D94, {0xAC, 0x83, 0x42, 0x3A, 0x67, 0x93, 0x77, 0x5E}};
constexpr GUID kISettings = {
    0xE562E4F0, 0xD7FA, 0x43AC, {0x8D, 0x71, 0xC0, 0x51, 0x50, 0x49, 0x9F, 0x00}};
constexpr GUID kINavigationCompletedArgs = {
    0x30D68B7D, 0x20D9, 0x4752, {0xA9, 0xCA, 0xEC, 0x84, 0x48, 0xFB, 0xB5, 0xC1}};
constexpr GUID kINavigationCompletedArgs2 = {
    0xFDF8B738, 0xEE1E, 0x4DB2, {0xA3, 0x29, 0x8D, 0x7D, 0x7B, 0x74, 0xD7, 0x92}};
constexpr GUID kINavigationStartingArgs = {
    0x5B495469, 0xE119, 0x438A, {0x9B, 0x18, 0x76, 0x04, 0xF2, 0x5E, 0x2F, 0x49}};
constexpr GUID kIContentLoadingArgs = {
    0x0C8A1275, 0x9B6B, 0x4901, {0x87, 0xAD, 0x70, 0xDF, 0x25, 0xBA, 0xFA, 0x6E}};
constexpr GUID kIProcessFailedArgs = {
    0x8155A9A4, 0x1474, 0x4A86, {0x8C, 0xAE, 0x15, 0x1B, 0x0F, 0xA6, 0xB8, 0xCA}};
constexpr GUID kIAcceleratorArgs = {
    0x9F760F8A, 0xFB79, 0x42BE, {0x99, 0x90, 0x7B, 0x56, 0x90, 0x0F, 0xA9, 0xC7}};

constexpr GUID kIWebView4 = {
    0x20D02D59, 0x6DF2, 0x42DC, {0xBD, 0x06, 0xF9, 0x8A, 0x69, 0x4B, 0x13, 0x02}};
constexpr GUID kIScriptAddedHandler = {
    0xB99369F3, 0x9B11, 0x47B5, {0xBC, 0x6F, 0x8E, 0x78, 0x95, 0xFC, 0xEA, 0x17}};
constexpr GUID kIWebMessageArgs = {
    0x0F99A40C, 0xE962, 0x4207, {0x9E, 0x92, 0xE3, 0xD5, 0x42, 0xEF, 0xF8, 0x49}};
constexpr GUID kIFrameCreatedArgs = {
    0x4D6E7B5E, 0x9BAA, 0x11EB, {0xA8, 0xB3, 0x02, 0x42, 0xAC, 0x13, 0x00, 0x03}};
constexpr GUID kIFrame = {
    0xF1131A5E, 0x9BA9, 0x11EB, {0xA8, 0xB3, 0x02, 0x42, 0xAC, 0x13, 0x00, 0x03}};
constexpr GUID kIFrame2 = {
    0x7A6A5834, 0xD185, 0x4DBF, {0xB6, 0x3F, 0x4A, 0x9B, 0xC4, 0x31, 0x07, 0xD4}};
constexpr GUID kIFrame7 = {
    0x3598CFA2, 0xD85D, 0x5A9F, {0x92, 0x28, 0x4D, 0xDE, 0x1F, 0x59, 0xEC, 0x64}};

constexpr GUID kIMoveFocusRequestedArgs = {
    0x2D6AA13B, 0x3839, 0x4A15, {0x92, 0xFC, 0xD8, 0x8B, 0x3C, 0x0D, 0x9C, 0x9D}};

constexpr int kBrowserProcessExited = 0;  // COREWEBVIEW2_PROCESS_FAILED_KIND
constexpr int kRenderProcessUnresponsive = 2;
constexpr int kKeyDown = 0, kKeyUp = 1, kSystemKeyDown = 2, kSystemKeyUp = 3;

// ---- the log --------------------------------------------------------------------------------

wchar_t g_folder[MAX_PATH];  // the DLL's own folder, with a trailing backslash

std::wstring Beside(const wchar_t* name) { return std::wstring(g_folder) + name; }

void Log(const wchar_t* format, ...) {
  wchar_t line[4096];
  va_list args;
  va_start(args, format);
  int n = vswprintf(line, 4095, format, args);
  va_end(args);
  if (n < 0) n = static_cast<int>(wcslen(line));
  line[n++] = L'\n';
  char utf8[4096 * 3];
  int bytes = WideCharToMultiByte(CP_UTF8, 0, line, n, utf8, sizeof(utf8), nullptr, nullptr);
  HANDLE file = CreateFileW(Beside(kLogFile).c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, utf8, static_cast<DWORD>(bytes), &written, nullptr);
  CloseHandle(file);
}

std::wstring Hex(ULONG_PTR value) {
  wchar_t text[16];
  swprintf(text, 16, L"0x%08lX", value);
  return text;
}

std::wstring GuidText(const GUID& g) {
  wchar_t text[48];
  StringFromGUID2(g, text, 48);
  return text;
}

std::wstring Printable(const wchar_t* text) { return text ? text : L"(null)"; }

// ---- the control file -------------------------------------------------------------------------

enum class Mode { kOk, kError, kNull, kHang, kHold };

struct Config {
  HRESULT entry = S_OK;
  Mode environment = Mode::kOk;
  Mode controller = Mode::kOk;
  HRESULT navigate = S_OK;  // what every Navigate answers when it is a failure
  int web_error_status = 0;  // a load completes as failed with this status (0: succeeds)
  int http_status = 200;     // the HTTP status every load reports
  // How a load goes: it completes (its page begins to arrive first), waits for its server for
  // ever (until it is stopped), or its page begins to arrive and it never completes.
  enum class Navigation { kComplete, kHang, kArrive } navigation = Navigation::kComplete;
  bool frames = true;  // the web view has its fourth interface (frames and their channels)
  bool frame7 = true;  // frames have their seventh interface (the frames made inside them)
};

Mode ModeOf(const std::string& value) {
  if (value == "error") return Mode::kError;
  if (value == "null") return Mode::kNull;
  if (value == "hang") return Mode::kHang;
  if (value == "hold") return Mode::kHold;
  if (value != "ok") Log(L"control: unknown mode, taken as ok");
  return Mode::kOk;
}

[[maybe_unused]] Config ReadConfig() {
  Config config;
  HANDLE file = CreateFileW(Beside(kControlFile).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return config;
  char buffer[1024];
  DWORD read = 0;
  ReadFile(file, buffer, sizeof(buffer) - 1, &read, nullptr);
  CloseHandle(file);
  std::string text(buffer, read);
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "entry") config.entry = static_cast<HRESULT>(std::strtoul(value.c_str(), nullptr, 0));
    if (key == "environment") config.environment = ModeOf(value);
    if (key == "controller") config.controller = ModeOf(value);
    if (key == "navigate")
      config.navigate = static_cast<HRESULT>(std::strtoul(value.c_str(), nullptr, 0));
    if (key == "web_error_status") config.web_error_status = std::atoi(value.c_str());
    if (key == "http_status") config.http_status = std::atoi(value.c_str());
    if (key == "navigation" && value == "hang") config.navigation = Config::Navigation::kHang;
    if (key == "navigation" && value == "arrive") config.navigation = Config::Navigation::kArrive;
    if (key == "frames") config.frames = value != "no";
    if (key == "frame7") config.frame7 = value != "no";
  }
  return config;
}

// ---- calling the host's objects -----------------------------------------------------------------

using Slot = void (*)();

struct ComObject {
  const Slot* vtbl;
};

template <typename Fn>
Fn SlotOf(void* object, int index) {
  return reinterpret_cast<Fn>(static_cast<ComObject*>(object)->vtbl[index]);
}

int g_host_references = 0;  // references this DLL holds on the host's objects

HRESULT HostQueryInterface(void* object, const GUID& iid, void** out) {
  return SlotOf<HRESULT(__stdcall*)(void*, const GUID*, void**)>(object, 0)(object, &iid, out);
}
void HostAddRef(void* object) {
  SlotOf<ULONG(__stdcall*)(void*)>(object, 1)(object);
  ++g_host_references;
}
void HostRelease(void* object) {
  SlotOf<ULONG(__stdcall*)(void*)>(object, 2)(object);
  --g_host_references;
}

// ---- our objects ----------------------------------------------------------------------------

int g_live = 0;  // objects of ours not yet freed

struct Object {
  const Slot* vtbl;
  LONG refs;
  const wchar_t* kind;
  int id;
  const GUID* iid;
  void (*destroy)(Object*);
  const GUID* iid2 = nullptr;  // a second interface the same table serves
  const GUID* iid3 = nullptr;  // and a third
};

template <typename T, size_t M>
T* Make(const std::array<Slot, M>& vtbl, const wchar_t* kind, const GUID& iid) {
  static int counters[16];
  static const wchar_t* kinds[16];
  int slot = 0;
  while (kinds[slot] && wcscmp(kinds[slot], kind) != 0) ++slot;
  kinds[slot] = kind;
  T* object = new T();
  object->vtbl = vtbl.data();
  object->refs = 1;
  object->kind = kind;
  object->id = ++counters[slot];
  object->iid = &iid;
  object->destroy = [](Object* o) { delete static_cast<T*>(o); };
  ++g_live;
  Log(L"%ls#%d created", kind, object->id);
  return object;
}

// "Kind#id.method args" for the log.
void Note(const Object* self, const wchar_t* method, const wchar_t* format = L"", ...) {
  wchar_t args[3000];
  va_list list;
  va_start(list, format);
  vswprintf(args, 3000, format, list);
  va_end(list);
  Log(L"%ls#%d.%ls%ls%ls", self->kind, self->id, method, args[0] ? L" " : L"", args);
}

HRESULT __stdcall QueryInterface(Object* self, const GUID* iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!iid) return E_POINTER;
  if (IsEqualGUID(*iid, kIUnknown) || IsEqualGUID(*iid, *self->iid) ||
      (self->iid2 && IsEqualGUID(*iid, *self->iid2)) ||
      (self->iid3 && IsEqualGUID(*iid, *self->iid3))) {
    ++self->refs;
    *out = self;
    Note(self, L"QueryInterface", L"%ls -> S_OK, refs %ld", GuidText(*iid).c_str(), self->refs);
    return S_OK;
  }
  Note(self, L"QueryInterface", L"%ls -> E_NOINTERFACE", GuidText(*iid).c_str());
  return E_NOINTERFACE;
}

ULONG __stdcall AddRef(Object* self) {
  ULONG refs = static_cast<ULONG>(++self->refs);
  Note(self, L"AddRef", L"-> %lu", refs);
  return refs;
}

void Free(Object* o) {
  --g_live;
  Log(L"%ls#%d freed (live %d)", o->kind, o->id, g_live);
  o->destroy(o);
}

ULONG __stdcall Release(Object* self) {
  if (self->refs <= 0) {
    Note(self, L"Release", L"OVER-RELEASED");
    return 0;
  }
  ULONG refs = static_cast<ULONG>(--self->refs);
  Note(self, L"Release", L"-> %lu", refs);
  if (refs == 0) Free(self);
  return refs;
}

void Keep(Object* o) { ++o->refs; }
void Drop(Object* o) {
  if (--o->refs == 0) Free(o);
}

// A slot past the reference's table: recorded, then the process ends (its arguments are unknown,
// so returning would unbalance the caller's stack).
template <int Index>
HRESULT __stdcall UnknownSlot(Object* self) {
  Log(L"UNKNOWN SLOT %d called on %ls#%d", Index, self->kind, self->id);
  TerminateProcess(GetCurrentProcess(), kUnknownSlotExitCode);
  return E_FAIL;
}

#define FN(f) reinterpret_cast<Slot>(&f)

// A table of the reference's N slots: IUnknown's three, the interface's own from slot 3, then 16
// past its end.
template <int N, int... I, typename... F>
std::array<Slot, N + 16> WithSlotsPast(std::integer_sequence<int, I...>, F... own) {
  static_assert(3 + sizeof...(F) == N, "not the reference's number of slots");
  return {FN(QueryInterface), FN(AddRef), FN(Release), own..., FN(UnknownSlot<N + I>)...};
}
template <int N, typename... F>
std::array<Slot, N + 16> Table(F... known) {
  return WithSlotsPast<N>(std::make_integer_sequence<int, 16>(), known...);
}
#define WIDE2(x) L##x
#define WIDE(x) WIDE2(x)

// ---- event handler lists ----------------------------------------------------------------------

long long g_next_token = 0;

struct Handler {
  const wchar_t* event;
  long long token;
  void* sink;
};

struct EventSource : Object {
  std::vector<Handler> handlers;
};

HRESULT AddHandler(EventSource* self, const wchar_t* event, void* sink, Token* token) {
  Note(self, (std::wstring(L"add_") + event).c_str());
  if (!sink || !token) return E_INVALIDARG;
  HostAddRef(sink);
  token->value = ++g_next_token;
  self->handlers.push_back({event, token->value, sink});
  return S_OK;
}

HRESULT RemoveHandler(EventSource* self, const wchar_t* event, Token token) {
  for (size_t i = 0; i < self->handlers.size(); ++i) {
    if (self->handlers[i].token == token.value && wcscmp(self->handlers[i].event, event) == 0) {
      void* sink = self->handlers[i].sink;
      self->handlers.erase(self->handlers.begin() + static_cast<long>(i));
      Note(self, (std::wstring(L"remove_") + event).c_str());
      HostRelease(sink);
      return S_OK;
    }
  }
  Note(self, (std::wstring(L"remove_") + event).c_str(), L"unknown token %d",
       static_cast<int>(token.value));
  return S_OK;
}

void DropHandlers(EventSource* self) {
  std::vector<Handler> handlers;
  handlers.swap(self->handlers);
  for (Handler& h : handlers) HostRelease(h.sink);
}

// Calls Invoke (slot 3) of every handler of the event with (sender, args).
void Raise(EventSource* self, const wchar_t* event, void* sender, void* args) {
  std::vector<void*> sinks;
  for (Handler& h : self->handlers)
    if (wcscmp(h.event, event) == 0) {
      HostAddRef(h.sink);
      sinks.push_back(h.sink);
    }
  Log(L"raise %ls on %ls#%d to %d handler(s)", event, self->kind, self->id,
      static_cast<int>(sinks.size()));
  for (void* sink : sinks) {
    HRESULT hr = SlotOf<HRESULT(__stdcall*)(void*, void*, void*)>(sink, 3)(sink, sender, args);
    Log(L"raised %ls -> %ls", event, Hex(hr).c_str());
    HostRelease(sink);
  }
}

// A method's or an event's name as a template argument, so that one template serves them all.
template <size_t N>
struct Name {
  constexpr Name(const wchar_t (&text)[N]) { std::copy_n(text, N, value); }
  wchar_t value[N];
};

template <Name event>
HRESULT __stdcall AddEvent(EventSource* self, void* sink, Token* token) {
  return AddHandler(self, event.value, sink, token);
}
template <Name event>
HRESULT __stdcall RemoveEvent(EventSource* self, Token token) {
  return RemoveHandler(self, event.value, token);
}
#define EVENT_SLOTS(Name) FN(AddEvent<WIDE(#Name)>), FN(RemoveEvent<WIDE(#Name)>)

// A method the host has no business calling: recorded, answered E_NOTIMPL. Its parameters are
// given, as the callee clears them from the stack.
template <Name method, typename... Args>
HRESULT __stdcall Unused(Object* self, Args...) {
  Note(self, method.value, L"(not implemented)");
  return E_NOTIMPL;
}
#define UNUSED_SLOT(Name, ...) FN((Unused<WIDE(#Name), ##__VA_ARGS__>))

// A property read: recorded, then the value (an expression of `self`).
#define GETTER(Type, Name, T, value)                          \
  HRESULT __stdcall Type##_get_##Name(Type* self, T* out) {   \
    Note(self, L"get_" WIDE(#Name));                          \
    if (!out) return E_POINTER;                               \
    return Hand(out, (value));                                \
  }
template <typename T, typename V>
HRESULT Hand(T* out, const V& value) {
  *out = value;
  return S_OK;
}
// A text is handed over in memory the caller frees with CoTaskMemFree.
HRESULT Hand(LPWSTR* out, const std::wstring& text) {
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  *out = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
  if (!*out) return E_OUTOFMEMORY;
  memcpy(*out, text.c_str(), bytes);
  return S_OK;
}
// A property written: recorded, then kept in the field.
#define SETTER(Type, Name, T, field)                                     \
  HRESULT __stdcall Type##_put_##Name(Type* self, T value) {             \
    Note(self, L"put_" WIDE(#Name), L"%d", static_cast<int>(value));     \
    self->field = value;                                                 \
    return S_OK;                                                         \
  }

// ---- posting to the caller's thread -------------------------------------------------------------

constexpr UINT kRunMessage = WM_APP + 0x2F0;
HINSTANCE g_instance;
HWND g_post_window;
std::vector<std::function<void()>> g_held;

LRESULT CALLBACK PostWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kRunMessage) {
    auto* task = reinterpret_cast<std::function<void()>*>(lp);
    (*task)();
    delete task;
    return 0;
  }
  if (msg == kReleaseMessage) {
    std::vector<std::function<void()>> held;
    held.swap(g_held);
    Log(L"release: %d held answer(s)", static_cast<int>(held.size()));
    for (auto& task : held) task();
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

void Post(std::function<void()> task) {
  if (!g_post_window) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = PostWindowProc;
    wc.hInstance = g_instance;
    wc.lpszClassName = kPostClass;
    RegisterClassW(&wc);
    g_post_window = CreateWindowExW(0, kPostClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    g_instance, nullptr);
  }
  PostMessageW(g_post_window, kRunMessage, 0,
               reinterpret_cast<LPARAM>(new std::function<void()>(std::move(task))));
}

// Answers as the mode says: soon (posted) or when released.
void Answer(Mode mode, std::function<void()> task, const wchar_t* what) {
  if (mode == Mode::kHold) {
    Log(L"%ls: held", what);
    g_held.push_back(std::move(task));
    return;
  }
  Post(std::move(task));
}

// Asks a completed handler for its interface, then calls its Invoke(errorCode, result).
void Complete(void* handler, const GUID& iid, const wchar_t* what, HRESULT code, void* result) {
  void* typed = nullptr;
  HRESULT hr = HostQueryInterface(handler, iid, &typed);
  if (FAILED(hr) || !typed) {
    Log(L"%ls: WRONG the handler does not answer its interface (%ls)", what, Hex(hr).c_str());
    return;
  }
  ++g_host_references;
  Log(L"%ls: Invoke %ls %ls", what, Hex(code).c_str(), result ? L"object" : L"null");
  hr = SlotOf<HRESULT(__stdcall*)(void*, HRESULT, void*)>(typed, 3)(typed, code, result);
  Log(L"%ls: Invoke returned %ls", what, Hex(hr).c_str());
  HostRelease(typed);
}

// Answers a creation's completed handler as the mode says: never, with a failure, without an
// object, or with what `make` makes; with E_ABORT when `gone` says its window went meanwhile.
// `keep` is kept until the answer came.
HRESULT AnswerAsTold(Mode mode, void* handler, const GUID& iid, const wchar_t* what, Object* keep,
                     std::function<bool()> gone, std::function<Object*()> make) {
  HostAddRef(handler);  // a hung runtime holds it for good
  if (mode == Mode::kHang) {
    Log(L"%ls: never answered", what);
    return S_OK;
  }
  if (keep) Keep(keep);
  Answer(
      mode,
      [=] {
        if (gone && gone()) {
          Complete(handler, iid, what, E_ABORT, nullptr);
        } else if (mode == Mode::kError) {
          Complete(handler, iid, what, E_FAIL, nullptr);
        } else if (mode == Mode::kNull) {
          Complete(handler, iid, what, S_OK, nullptr);
        } else {
          Object* made = make();
          Complete(handler, iid, what, S_OK, made);
          Drop(made);
        }
        HostRelease(handler);
        if (keep) Drop(keep);
      },
      what);
  return S_OK;
}

// ---- ICoreWebView2Settings ------------------------------------------------------------------

struct Settings : Object {
  BOOL values[9] = {TRUE, TRUE, TRUE, TRUE, TRUE, TRUE, TRUE, TRUE, TRUE};
};

#define BOOL_PROPERTY(Name, index)                      \
  GETTER(Settings, Name, BOOL, self->values[index]) \
  SETTER(Settings, Name, BOOL, values[index])
#define BOOL_SLOTS(Name) FN(Settings_get_##Name), FN(Settings_put_##Name)

BOOL_PROPERTY(IsScriptEnabled, 0)
BOOL_PROPERTY(IsWebMessageEnabled, 1)
BOOL_PROPERTY(AreDefaultScriptDialogsEnabled, 2)
BOOL_PROPERTY(IsStatusBarEnabled, 3)
BOOL_PROPERTY(AreDevToolsEnabled, 4)
BOOL_PROPERTY(AreDefaultContextMenusEnabled, 5)
BOOL_PROPERTY(AreHostObjectsAllowed, 6)
BOOL_PROPERTY(IsZoomControlEnabled, 7)
BOOL_PROPERTY(IsBuiltInErrorPageEnabled, 8)

const auto kSettingsVtbl = Table<21>(
    BOOL_SLOTS(IsScriptEnabled),                     // 3-4
    BOOL_SLOTS(IsWebMessageEnabled),                 // 5-6
    BOOL_SLOTS(AreDefaultScriptDialogsEnabled),      // 7-8
    BOOL_SLOTS(IsStatusBarEnabled),                  // 9-10
    BOOL_SLOTS(AreDevToolsEnabled),                  // 11-12
    BOOL_SLOTS(AreDefaultContextMenusEnabled),       // 13-14
    BOOL_SLOTS(AreHostObjectsAllowed),               // 15-16
    BOOL_SLOTS(IsZoomControlEnabled),                // 17-18
    BOOL_SLOTS(IsBuiltInErrorPageEnabled));          // 19-20

// ---- event arguments ------------------------------------------------------------------------

struct NavigationCompletedArgs : Object {
  unsigned long long navigation_id = 0;
  int web_error_status = 0;
  int http_status = 200;
};

GETTER(NavigationCompletedArgs, IsSuccess, BOOL, self->web_error_status == 0)
GETTER(NavigationCompletedArgs, WebErrorStatus, int, self->web_error_status)
GETTER(NavigationCompletedArgs, HttpStatusCode, int,
       self->web_error_status == 0 ? self->http_status : 0)
GETTER(NavigationCompletedArgs, NavigationId, unsigned long long, self->navigation_id)

const auto kNavigationCompletedArgsVtbl = Table<7>(
    FN(NavigationCompletedArgs_get_IsSuccess),       // 3
    FN(NavigationCompletedArgs_get_WebErrorStatus),  // 4
    FN(NavigationCompletedArgs_get_NavigationId),    // 5
    FN(NavigationCompletedArgs_get_HttpStatusCode));  // 6, of the second interface

struct NavigationStartingArgs : Object {
  std::wstring uri;
  unsigned long long navigation_id = 0;
  BOOL cancel = FALSE;
};

GETTER(NavigationStartingArgs, Uri, LPWSTR, self->uri)
GETTER(NavigationStartingArgs, IsUserInitiated, BOOL, FALSE)
GETTER(NavigationStartingArgs, IsRedirected, BOOL, FALSE)
GETTER(NavigationStartingArgs, Cancel, BOOL, self->cancel)
SETTER(NavigationStartingArgs, Cancel, BOOL, cancel)
GETTER(NavigationStartingArgs, NavigationId, unsigned long long, self->navigation_id)

const auto kNavigationStartingArgsVtbl = Table<10>(
    FN(NavigationStartingArgs_get_Uri),              // 3
    FN(NavigationStartingArgs_get_IsUserInitiated),  // 4
    FN(NavigationStartingArgs_get_IsRedirected),     // 5
    UNUSED_SLOT(get_RequestHeaders, void**),         // 6
    FN(NavigationStartingArgs_get_Cancel),           // 7
    FN(NavigationStartingArgs_put_Cancel),           // 8
    FN(NavigationStartingArgs_get_NavigationId));    // 9

struct ContentLoadingArgs : Object {
  BOOL error_page = FALSE;
  unsigned long long navigation_id = 0;
};

GETTER(ContentLoadingArgs, IsErrorPage, BOOL, self->error_page)
GETTER(ContentLoadingArgs, NavigationId, unsigned long long, self->navigation_id)

const auto kContentLoadingArgsVtbl = Table<5>(
    FN(ContentLoadingArgs_get_IsErrorPage),          // 3
    FN(ContentLoadingArgs_get_NavigationId));        // 4

// Its own interface ID is not known here: it answers IUnknown alone.
struct SourceChangedArgs : Object {
  BOOL new_document = FALSE;
};

GETTER(SourceChangedArgs, IsNewDocument, BOOL, self->new_document)

const auto kSourceChangedArgsVtbl = Table<4>(
    FN(SourceChangedArgs_get_IsNewDocument));        // 3

struct ProcessFailedArgs : Object {
  int failed_kind = 0;
};

GETTER(ProcessFailedArgs, ProcessFailedKind, int, self->failed_kind)

const auto kProcessFailedArgsVtbl = Table<4>(
    FN(ProcessFailedArgs_get_ProcessFailedKind));    // 3

struct AcceleratorArgs : Object {
  int key_kind = 0;
  UINT key = 0;
  INT lparam = 0;
  BOOL handled = FALSE;
};

GETTER(AcceleratorArgs, KeyEventKind, int, self->key_kind)
GETTER(AcceleratorArgs, VirtualKey, UINT, self->key)
GETTER(AcceleratorArgs, KeyEventLParam, INT, self->lparam)
struct PhysicalKeyStatus {  // COREWEBVIEW2_PHYSICAL_KEY_STATUS
  UINT32 repeat_count, scan_code;
  BOOL extended, menu_down, was_down, released;
};
HRESULT __stdcall AcceleratorArgs_get_PhysicalKeyStatus(AcceleratorArgs* self,
                                                        PhysicalKeyStatus* v) {
  Note(self, L"get_PhysicalKeyStatus");
  if (!v) return E_POINTER;
  const UINT32 lp = static_cast<UINT32>(self->lparam);
  auto bit = [lp](int n) { return static_cast<BOOL>((lp >> n) & 1); };
  *v = {lp & 0xFFFF, (lp >> 16) & 0xFF, bit(24), bit(29), bit(30), bit(31)};
  return S_OK;
}
GETTER(AcceleratorArgs, Handled, BOOL, self->handled)
SETTER(AcceleratorArgs, Handled, BOOL, handled)

const auto kAcceleratorArgsVtbl = Table<9>(
    FN(AcceleratorArgs_get_KeyEventKind),            // 3
    FN(AcceleratorArgs_get_VirtualKey),              // 4
    FN(AcceleratorArgs_get_KeyEventLParam),          // 5
    FN(AcceleratorArgs_get_PhysicalKeyStatus),       // 6
    FN(AcceleratorArgs_get_Handled),                 // 7
    FN(AcceleratorArgs_put_Handled));                // 8

struct MoveFocusArgs : Object {
  int reason = 0;
  BOOL handled = FALSE;
};

GETTER(MoveFocusArgs, Reason, int, self->reason)
GETTER(MoveFocusArgs, Handled, BOOL, self->handled)
SETTER(MoveFocusArgs, Handled, BOOL, handled)

const auto kMoveFocusArgsVtbl = Table<6>(
    FN(MoveFocusArgs_get_Reason),                    // 3
    FN(MoveFocusArgs_get_Handled),                   // 4
    FN(MoveFocusArgs_put_Handled));                  // 5

// ---- ICoreWebView2 --------------------------------------------------------------------------

struct Frame;

struct WebView : EventSource {
  Settings* settings = nullptr;
  std::wstring source = L"about:blank";
  bool closed = false;        // its controller was closed
  bool browser_gone = false;  // its browser process ended
  unsigned long long navigations = 0;
  unsigned long long hanging = 0;  // the load that waits for its server (0: none)
  HRESULT navigate_result = S_OK;
  int scripts = 0;            // scripts added to run in every new document
  bool scripts_ready = true;  // all of them are in place (their completion was sent)
  std::vector<Frame*> frames;  // the top document's frames, kept
};

// ---- ICoreWebView2Frame2 (and _7) and the page's messages -------------------------------------

struct Frame : EventSource {
  BOOL destroyed = FALSE;
  std::vector<Frame*> children;  // the frames made in its document, kept
};

GETTER(Frame, Name, LPWSTR, std::wstring(L"player"))
GETTER(Frame, IsDestroyed, BOOL, self->destroyed)
GETTER(Frame, FrameId, UINT32, static_cast<UINT32>(self->id))

#define FRAME2_SLOTS                                                                     \
  FN(Frame_get_Name),                              /* 3 */                               \
      EVENT_SLOTS(NameChanged),                    /* 4-5 */                             \
      UNUSED_SLOT(AddHostObjectToScriptWithOrigins, LPCWSTR, VARIANT*, UINT32, LPCWSTR*), \
      UNUSED_SLOT(RemoveHostObjectFromScript, LPCWSTR), /* 7 */                          \
      EVENT_SLOTS(Destroyed),                      /* 8-9 */                             \
      FN(Frame_get_IsDestroyed),                   /* 10 */                              \
      EVENT_SLOTS(NavigationStarting),             /* 11-12 */                           \
      EVENT_SLOTS(ContentLoading),                 /* 13-14 */                           \
      EVENT_SLOTS(NavigationCompleted),            /* 15-16 */                           \
      EVENT_SLOTS(DOMContentLoaded),               /* 17-18 */                           \
      UNUSED_SLOT(ExecuteScript, LPCWSTR, void*),  /* 19 */                              \
      UNUSED_SLOT(PostWebMessageAsJson, LPCWSTR),  /* 20 */                              \
      UNUSED_SLOT(PostWebMessageAsString, LPCWSTR), /* 21 */                             \
      EVENT_SLOTS(WebMessageReceived)              /* 22-23 */

const auto kFrameVtbl = Table<24>(FRAME2_SLOTS);
// The seventh interface: _3 to _6's slots, then FrameCreated for the frames made inside it.
const auto kFrame7Vtbl = Table<32>(
    FRAME2_SLOTS,
    EVENT_SLOTS(PermissionRequested),                // 24-25
    UNUSED_SLOT(PostSharedBufferToScript, void*, int, LPCWSTR),  // 26
    FN(Frame_get_FrameId),                           // 27
    EVENT_SLOTS(ScreenCaptureStarting),              // 28-29
    EVENT_SLOTS(FrameCreated));                      // 30-31
#undef FRAME2_SLOTS

struct FrameCreatedArgs : Object {
  Frame* frame = nullptr;  // kept
};

HRESULT __stdcall FrameCreatedArgs_get_Frame(FrameCreatedArgs* self, void** frame) {
  Note(self, L"get_Frame");
  if (!frame) return E_POINTER;
  Keep(self->frame);
  *frame = self->frame;
  return S_OK;
}

const auto kFrameCreatedArgsVtbl = Table<4>(FN(FrameCreatedArgs_get_Frame));  // 3

struct WebMessageArgs : Object {
  std::wstring source, text;
  bool is_string = true;  // posted as a string; otherwise `text` is the JSON of what was posted
};

GETTER(WebMessageArgs, Source, LPWSTR, self->source)
std::wstring AsJson(const WebMessageArgs* self) {
  if (!self->is_string) return self->text;
  std::wstring json = L"\"";
  for (wchar_t c : self->text) {
    if (c == L'"' || c == L'\\') json += L'\\';
    json += c;
  }
  return json + L"\"";
}
GETTER(WebMessageArgs, WebMessageAsJson, LPWSTR, AsJson(self))
// What was posted, when it was a string; anything else fails, as the reference says.
HRESULT __stdcall WebMessageArgs_TryGetWebMessageAsString(WebMessageArgs* self, LPWSTR* out) {
  Note(self, L"TryGetWebMessageAsString");
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!self->is_string) return E_INVALIDARG;
  return Hand(out, self->text);
}

const auto kWebMessageArgsVtbl = Table<6>(
    FN(WebMessageArgs_get_Source),                   // 3
    FN(WebMessageArgs_get_WebMessageAsJson),         // 4
    FN(WebMessageArgs_TryGetWebMessageAsString));    // 5

// `frames` and every frame inside them, each before the frames inside it.
std::vector<Frame*> AllFrames(const std::vector<Frame*>& frames) {
  std::vector<Frame*> all;
  for (Frame* frame : frames) {
    all.push_back(frame);
    for (Frame* inner : AllFrames(frame->children)) all.push_back(inner);
  }
  return all;
}

// The runtime lets go of the frames, of the frames inside them and of our handlers on them.
void ReleaseFrames(std::vector<Frame*> frames) {
  for (Frame* frame : AllFrames(frames)) {
    frame->children.clear();
    DropHandlers(frame);
    Drop(frame);
  }
}

// The top document's frames go with it: each is told destroyed from the message loop, a frame
// before the frames inside it, and the runtime lets go of them and of our handlers.
void DestroyFrames(WebView* self) {
  std::vector<Frame*> frames;
  frames.swap(self->frames);
  if (frames.empty()) return;
  Post([frames] {
    for (Frame* frame : AllFrames(frames)) {
      frame->destroyed = TRUE;
      Raise(frame, L"Destroyed", frame, nullptr);
    }
    ReleaseFrames(frames);
  });
}

// A frame made in the document of `parent` (the web view or a frame), told to the handlers of
// its FrameCreated event. Its seventh interface, when frames have it, tells the frames inside it.
Frame* MakeFrame(EventSource* parent, std::vector<Frame*>& siblings) {
  Frame* frame = nullptr;
  if (ReadConfig().frame7) {
    frame = Make<Frame>(kFrame7Vtbl, L"Frame", kIFrame);
    frame->iid3 = &kIFrame7;
  } else {
    frame = Make<Frame>(kFrameVtbl, L"Frame", kIFrame);
  }
  frame->iid2 = &kIFrame2;
  siblings.push_back(frame);
  auto* created =
      Make<FrameCreatedArgs>(kFrameCreatedArgsVtbl, L"FrameCreatedArgs", kIFrameCreatedArgs);
  created->frame = frame;
  Keep(frame);
  Raise(parent, L"FrameCreated", parent, created);
  Drop(frame);
  Drop(created);
  return frame;
}

// The page posts `text` (kind as in protocol.h) from a document at `source`. A frame's message
// reaches only the frame's own handlers; the frame, and each frame it is inside, is made (and
// FrameCreated raised on what holds it, where that has the event) with the first message that
// needs it.
void PostFromPage(WebView* self, ULONG_PTR kind, const std::wstring& source,
                  const std::wstring& text) {
  if (self->closed || self->browser_gone) return;
  Keep(self);
  auto* args = Make<WebMessageArgs>(kWebMessageArgsVtbl, L"WebMessageArgs", kIWebMessageArgs);
  args->source = source;
  args->text = text;
  args->is_string = kind != kPostedNotAString;
  Log(L"the page posts from %ls: %ls", source.c_str(), text.c_str());
  if (kind >= kPostedInFrame) {
    Frame* frame = self->frames.empty() ? MakeFrame(self, self->frames) : self->frames.back();
    for (ULONG_PTR depth = kPostedInFrame; depth < kind; ++depth)
      frame = frame->children.empty() ? MakeFrame(frame, frame->children) : frame->children.back();
    Keep(frame);
    Raise(frame, L"WebMessageReceived", frame, args);
    Drop(frame);
  } else {
    Raise(self, L"WebMessageReceived", self, args);
  }
  Drop(args);
  Drop(self);
}

// A method an object no longer takes, for the reason given (none: it takes it).
HRESULT Refusal(Object* self, const wchar_t* method, const wchar_t* why) {
  if (!why) return S_OK;
  Log(L"refused %ls on %ls#%d: %ls", method, self->kind, self->id, why);
  return HRESULT_FROM_WIN32(ERROR_INVALID_STATE);
}
HRESULT Refused(WebView* self, const wchar_t* method) {
  const wchar_t* why = self->browser_gone ? L"browser process ended" : nullptr;
  return Refusal(self, method, self->closed ? L"closed" : why);
}

// Web views not yet freed: a completion that comes after its web view has gone is dropped (the
// completion holds no reference, so a program that ends before it arrives owes none).
std::vector<WebView*> g_webviews;

bool Alive(WebView* w) {
  for (WebView* x : g_webviews)
    if (x == w) return true;
  return false;
}

// The web view shows `uri` from now on: SourceChanged when the address changed (the reference:
// not for a reload of the address shown).
void ChangeSource(WebView* self, const std::wstring& uri, bool new_document) {
  if (uri == self->source) return;
  self->source = uri;
  auto* args = Make<SourceChangedArgs>(kSourceChangedArgsVtbl, L"SourceChangedArgs", kIUnknown);
  args->new_document = new_document ? TRUE : FALSE;
  Raise(self, L"SourceChanged", self, args);
  Drop(args);
}

// The reference's order for a load whose page (or error page) arrives: SourceChanged,
// ContentLoading, HistoryChanged. The address shown changes only now, not when the load begins.
void ContentArrives(WebView* self, unsigned long long id, const std::wstring& uri,
                    bool error_page) {
  ChangeSource(self, uri, true);
  auto* args = Make<ContentLoadingArgs>(kContentLoadingArgsVtbl, L"ContentLoadingArgs",
                                        kIContentLoadingArgs);
  args->error_page = error_page ? TRUE : FALSE;
  args->navigation_id = id;
  Raise(self, L"ContentLoading", self, args);
  Drop(args);
  Raise(self, L"HistoryChanged", self, nullptr);
}

// A navigation within the document shown (a fragment of it, the page's history.pushState), from
// the message loop: the address shown changes, and nothing else is reported. The reference and its
// issue threads: no NavigationStarting (nor a new navigation ID), no ContentLoading, no
// NavigationCompleted.
void MoveWithinDocument(WebView* self, const std::wstring& uri) {
  Keep(self);
  Post([self, uri] {
    if (Alive(self) && !self->closed && !self->browser_gone) {
      Log(L"within the document to %ls", uri.c_str());
      ChangeSource(self, uri, false);
      Raise(self, L"HistoryChanged", self, nullptr);
    }
    Drop(self);
  });
}

// Whether the runtime opens `uri` within the document shown: it has a fragment and the same
// address before it (compared as written: the fake keeps addresses as it was given them).
// Since runtime 133 also the very address shown, when it has a fragment.
bool WithinDocument(const std::wstring& uri, const std::wstring& shown) {
  const size_t hash = uri.find(L'#');
  return hash != std::wstring::npos && shown.substr(0, shown.find(L'#')) == uri.substr(0, hash);
}

// Raises NavigationCompleted for load `id` from the message loop; ContentLoading first unless the
// load was stopped, and nothing more when its page arrives and never completes.
void CompleteNavigation(WebView* self, unsigned long long id, const std::wstring& uri,
                        int web_error_status, int http_status, bool arrives = true,
                        bool completes = true) {
  Post([self, id, uri, web_error_status, http_status, arrives, completes] {
    if (!Alive(self) || self->closed || self->browser_gone) return;
    Keep(self);
    if (arrives) ContentArrives(self, id, uri, web_error_status != 0);
    if (!completes) {
      Log(L"navigation %llu never completes", id);
      Drop(self);
      return;
    }
    auto* args = Make<NavigationCompletedArgs>(kNavigationCompletedArgsVtbl,
                                               L"NavigationCompletedArgs",
                                               kINavigationCompletedArgs);
    args->iid2 = &kINavigationCompletedArgs2;
    args->navigation_id = id;
    args->web_error_status = web_error_status;
    args->http_status = http_status;
    Log(L"navigation %llu completes with status %d, HTTP %d", id, web_error_status, http_status);
    Raise(self, L"NavigationCompleted", self, args);
    Drop(args);
    Drop(self);
  });
}

// Raises NavigationStarting for load `id` of `uri`, from the message loop.
void StartNavigation(WebView* self, unsigned long long id, const std::wstring& uri) {
  Post([self, id, uri] {
    if (!Alive(self) || self->closed || self->browser_gone) return;
    Keep(self);
    auto* args = Make<NavigationStartingArgs>(kNavigationStartingArgsVtbl,
                                              L"NavigationStartingArgs", kINavigationStartingArgs);
    args->uri = uri;
    args->navigation_id = id;
    Log(L"navigation %llu starts at %ls", id, uri.c_str());
    Raise(self, L"NavigationStarting", self, args);
    Drop(args);
    Drop(self);
  });
}

// Starts a load of `uri` and completes it as the control file says at the time of the call (an
// about: address at once); a load that hangs waits for Stop, and a newer load replaces it: it is
// reported cancelled once the newer one has started, as the runtime reports it.
void FinishNavigation(WebView* self, const std::wstring& uri) {
  const unsigned long long id = ++self->navigations;
  // The reference: a script added runs in the documents created once its completion came.
  if (!self->scripts_ready) Log(L"WRONG navigation %llu before the added script is ready", id);
  DestroyFrames(self);
  Config config = ReadConfig();
  if (uri.rfind(L"about:", 0) == 0) config = Config{};
  StartNavigation(self, id, uri);
  if (const unsigned long long replaced = std::exchange(self->hanging, 0)) {
    Log(L"navigation %llu replaced", replaced);
    CompleteNavigation(self, replaced, uri, 14, 0, false);
  }
  self->hanging = config.navigation == Config::Navigation::kHang ? id : 0;
  if (self->hanging) {
    Log(L"navigation %llu never answered", id);
    return;
  }
  CompleteNavigation(self, id, uri, config.web_error_status, config.http_status, true,
                     config.navigation == Config::Navigation::kComplete);
}

// Records the script (its length and a hash of its text) and completes from the message loop with
// the script's ID; until then, new documents would miss it.
HRESULT __stdcall WebView_AddScriptToExecuteOnDocumentCreated(WebView* self, LPCWSTR script,
                                                              void* handler) {
  unsigned hash = 2166136261u;  // FNV-1a over the UTF-16 units
  for (const wchar_t* p = script; p && *p; ++p) hash = (hash ^ static_cast<unsigned>(*p)) * 16777619u;
  Note(self, L"AddScriptToExecuteOnDocumentCreated", L"length=%u hash=%08X",
       script ? static_cast<unsigned>(wcslen(script)) : 0u, hash);
  if (HRESULT hr = Refused(self, L"AddScriptToExecuteOnDocumentCreated"); FAILED(hr)) return hr;
  if (!script) return E_INVALIDARG;
  const int number = ++self->scripts;
  self->scripts_ready = false;
  Keep(self);
  if (handler) HostAddRef(handler);
  Post([self, handler, number] {
    self->scripts_ready = true;
    if (handler) {
      const std::wstring id = L"script-" + std::to_wstring(number);
      Complete(handler, kIScriptAddedHandler, L"script", S_OK,
               const_cast<wchar_t*>(id.c_str()));
      HostRelease(handler);
    }
    Drop(self);
  });
  return S_OK;
}

HRESULT __stdcall WebView_get_Settings(WebView* self, void** settings) {
  Note(self, L"get_Settings");
  if (!settings) return E_POINTER;
  if (HRESULT hr = Refused(self, L"get_Settings"); FAILED(hr)) return hr;
  if (!self->settings)
    self->settings = Make<Settings>(kSettingsVtbl, L"Settings", kISettings);
  Keep(self->settings);
  *settings = self->settings;
  return S_OK;
}

GETTER(WebView, Source, LPWSTR, self->source)

// An absolute URI begins with a scheme: a letter, then letters, digits, '+', '-' or '.', then ':'.
bool Absolute(const wchar_t* uri) {
  if (!iswalpha(uri[0]) || uri[0] > 0x7F) return false;
  for (const wchar_t* p = uri + 1; *p; ++p) {
    if (*p == L':') return true;
    if (!(*p < 0x80 && (iswalnum(*p) || *p == L'+' || *p == L'-' || *p == L'.'))) return false;
  }
  return false;
}

HRESULT __stdcall WebView_Navigate(WebView* self, LPCWSTR uri) {
  Note(self, L"Navigate", L"%ls", Printable(uri).c_str());
  if (HRESULT hr = Refused(self, L"Navigate"); FAILED(hr)) return hr;
  if (!uri || !Absolute(uri)) {
    Log(L"Navigate refused: not an absolute URI");
    return E_INVALIDARG;
  }
  if (FAILED(self->navigate_result)) {
    Log(L"Navigate refused: %ls as told", Hex(self->navigate_result).c_str());
    return self->navigate_result;
  }
  if (WithinDocument(uri, self->source))
    MoveWithinDocument(self, uri);
  else
    FinishNavigation(self, uri);
  return S_OK;
}

// A load of the address shown (whatever load still waits for its server is replaced).
HRESULT __stdcall WebView_Reload(WebView* self) {
  Note(self, L"Reload");
  if (HRESULT hr = Refused(self, L"Reload"); FAILED(hr)) return hr;
  FinishNavigation(self, self->source);
  return S_OK;
}

// A load that hangs ends as cancelled (web error status 14), as the runtime ends it; the page
// before it stays.
HRESULT __stdcall WebView_Stop(WebView* self) {
  Note(self, L"Stop");
  if (HRESULT hr = Refused(self, L"Stop"); FAILED(hr)) return hr;
  if (const unsigned long long id = std::exchange(self->hanging, 0))
    CompleteNavigation(self, id, self->source, 14, 0, false);
  return S_OK;
}

GETTER(WebView, BrowserProcessId, UINT32, self->browser_gone ? 0 : GetCurrentProcessId())

GETTER(WebView, CanGoBack, BOOL, FALSE)
GETTER(WebView, CanGoForward, BOOL, FALSE)
GETTER(WebView, DocumentTitle, LPWSTR, std::wstring())
GETTER(WebView, ContainsFullScreenElement, BOOL, FALSE)

const auto kWebViewVtbl = Table<77>(
    FN(WebView_get_Settings),                        // 3
    FN(WebView_get_Source),                          // 4
    FN(WebView_Navigate),                            // 5
    UNUSED_SLOT(NavigateToString, LPCWSTR),          // 6
    EVENT_SLOTS(NavigationStarting),                 // 7-8
    EVENT_SLOTS(ContentLoading),                     // 9-10
    EVENT_SLOTS(SourceChanged),                      // 11-12
    EVENT_SLOTS(HistoryChanged),                     // 13-14
    EVENT_SLOTS(NavigationCompleted),                // 15-16
    EVENT_SLOTS(FrameNavigationStarting),            // 17-18
    EVENT_SLOTS(FrameNavigationCompleted),           // 19-20
    EVENT_SLOTS(ScriptDialogOpening),                // 21-22
    EVENT_SLOTS(PermissionRequested),                // 23-24
    EVENT_SLOTS(ProcessFailed),                      // 25-26
    FN(WebView_AddScriptToExecuteOnDocumentCreated),  // 27
    UNUSED_SLOT(RemoveScriptToExecuteOnDocumentCreated, LPCWSTR),  // 28
    UNUSED_SLOT(ExecuteScript, LPCWSTR, void*),      // 29
    UNUSED_SLOT(CapturePreview, int, void*, void*),  // 30
    FN(WebView_Reload),                              // 31
    UNUSED_SLOT(PostWebMessageAsJson, LPCWSTR),      // 32
    UNUSED_SLOT(PostWebMessageAsString, LPCWSTR),    // 33
    EVENT_SLOTS(WebMessageReceived),                 // 34-35
    UNUSED_SLOT(CallDevToolsProtocolMethod, LPCWSTR, LPCWSTR, void*),  // 36
    FN(WebView_get_BrowserProcessId),                // 37
    FN(WebView_get_CanGoBack),                       // 38
    FN(WebView_get_CanGoForward),                    // 39
    UNUSED_SLOT(GoBack),                             // 40
    UNUSED_SLOT(GoForward),                          // 41
    UNUSED_SLOT(GetDevToolsProtocolEventReceiver, LPCWSTR, void**),  // 42
    FN(WebView_Stop),                                // 43
    EVENT_SLOTS(NewWindowRequested),                 // 44-45
    EVENT_SLOTS(DocumentTitleChanged),               // 46-47
    FN(WebView_get_DocumentTitle),                   // 48
    UNUSED_SLOT(AddHostObjectToScript, LPCWSTR, VARIANT*),  // 49
    UNUSED_SLOT(RemoveHostObjectFromScript, LPCWSTR),  // 50
    UNUSED_SLOT(OpenDevToolsWindow),                 // 51
    EVENT_SLOTS(ContainsFullScreenElementChanged),   // 52-53
    FN(WebView_get_ContainsFullScreenElement),       // 54
    EVENT_SLOTS(WebResourceRequested),               // 55-56
    UNUSED_SLOT(AddWebResourceRequestedFilter, LPCWSTR, int),  // 57
    UNUSED_SLOT(RemoveWebResourceRequestedFilter, LPCWSTR, int),  // 58
    EVENT_SLOTS(WindowCloseRequested),               // 59-60
    // ICoreWebView2_2, _3 and _4
    EVENT_SLOTS(WebResourceResponseReceived),        // 61-62
    UNUSED_SLOT(NavigateWithWebResourceRequest, void*),  // 63
    EVENT_SLOTS(DOMContentLoaded),                   // 64-65
    UNUSED_SLOT(get_CookieManager, void**),          // 66
    UNUSED_SLOT(get_Environment, void**),            // 67
    UNUSED_SLOT(TrySuspend, void*),                  // 68
    UNUSED_SLOT(Resume),                             // 69
    UNUSED_SLOT(get_IsSuspended, BOOL*),             // 70
    UNUSED_SLOT(SetVirtualHostNameToFolderMapping, LPCWSTR, LPCWSTR, int),  // 71
    UNUSED_SLOT(ClearVirtualHostNameToFolderMapping, LPCWSTR),  // 72
    EVENT_SLOTS(FrameCreated),                       // 73-74
    EVENT_SLOTS(DownloadStarting));                  // 75-76

// ---- ICoreWebView2Controller ----------------------------------------------------------------

struct Controller : EventSource {
  Object* environment = nullptr;  // kept, the environment
  WebView* webview = nullptr;          // kept
  HWND parent = nullptr;
  HWND view = nullptr;
  RECT bounds{};
  BOOL visible = TRUE;
  double zoom = 1.0;
  bool closed = false;
};

void DestroyView(Controller* self) {
  if (HWND view = self->view) {
    self->view = nullptr;
    SetWindowLongPtrW(view, GWLP_USERDATA, 0);
    DestroyWindow(view);
  }
}

// What a controller and a web view hold goes with them.
void FreeController(Object* object) {
  auto* self = static_cast<Controller*>(object);
  DestroyView(self);
  DropHandlers(self);
  if (self->webview) Drop(self->webview);
  if (self->environment) Drop(self->environment);
  delete self;
}

void FreeWebView(Object* object) {
  auto* self = static_cast<WebView*>(object);
  for (size_t i = 0; i < g_webviews.size(); ++i)
    if (g_webviews[i] == self) g_webviews.erase(g_webviews.begin() + static_cast<long>(i));
  DropHandlers(self);
  if (self->settings) Drop(self->settings);
  ReleaseFrames(std::move(self->frames));
  delete self;
}

HRESULT Refused(Controller* self, const wchar_t* method) {
  return Refusal(self, method, self->closed ? L"closed" : nullptr);
}

void PlaceView(Controller* self) {
  if (!self->view) return;
  const RECT& r = self->bounds;
  SetWindowPos(self->view, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
               SWP_NOZORDER | SWP_NOACTIVATE | (self->visible ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

GETTER(Controller, IsVisible, BOOL, self->visible)
HRESULT __stdcall Controller_put_IsVisible(Controller* self, BOOL value) {
  Note(self, L"put_IsVisible", L"%d", static_cast<int>(value));
  if (HRESULT hr = Refused(self, L"put_IsVisible"); FAILED(hr)) return hr;
  self->visible = value;
  PlaceView(self);
  return S_OK;
}
GETTER(Controller, Bounds, RECT, self->bounds)
HRESULT __stdcall Controller_put_Bounds(Controller* self, RECT value) {
  Note(self, L"put_Bounds", L"%ld %ld %ld %ld", value.left, value.top, value.right,
       value.bottom);
  if (HRESULT hr = Refused(self, L"put_Bounds"); FAILED(hr)) return hr;
  self->bounds = value;
  PlaceView(self);
  return S_OK;
}
GETTER(Controller, ZoomFactor, double, self->zoom)
HRESULT __stdcall Controller_put_ZoomFactor(Controller* self, double value) {
  Note(self, L"put_ZoomFactor", L"%d/100", static_cast<int>(value * 100));
  self->zoom = value;
  return S_OK;
}
HRESULT __stdcall Controller_SetBoundsAndZoomFactor(Controller* self, RECT bounds, double zoom) {
  Note(self, L"SetBoundsAndZoomFactor", L"%ld %ld %ld %ld %d/100", bounds.left, bounds.top,
       bounds.right, bounds.bottom, static_cast<int>(zoom * 100));
  if (HRESULT hr = Refused(self, L"SetBoundsAndZoomFactor"); FAILED(hr)) return hr;
  self->bounds = bounds;
  self->zoom = zoom;
  PlaceView(self);
  return S_OK;
}
HRESULT __stdcall Controller_MoveFocus(Controller* self, int reason) {
  Note(self, L"MoveFocus", L"%d", reason);
  if (HRESULT hr = Refused(self, L"MoveFocus"); FAILED(hr)) return hr;
  if (self->view) SetFocus(self->view);
  return S_OK;
}
GETTER(Controller, ParentWindow, HWND, self->parent)
HRESULT __stdcall Controller_put_ParentWindow(Controller* self, HWND value) {
  Note(self, L"put_ParentWindow", L"%ls", Hex(reinterpret_cast<ULONG_PTR>(value)).c_str());
  if (HRESULT hr = Refused(self, L"put_ParentWindow"); FAILED(hr)) return hr;
  self->parent = value;
  if (self->view) SetParent(self->view, value);
  return S_OK;
}
HRESULT __stdcall Controller_NotifyParentWindowPositionChanged(Controller* self) {
  Note(self, L"NotifyParentWindowPositionChanged");
  return Refused(self, L"NotifyParentWindowPositionChanged");
}
HRESULT __stdcall Controller_Close(Controller* self) {
  Note(self, L"Close", L"parent_alive=%d view_alive=%d", IsWindow(self->parent) ? 1 : 0,
       self->view && IsWindow(self->view) ? 1 : 0);
  if (self->closed) return S_OK;
  self->closed = true;
  DestroyView(self);
  DropHandlers(self);
  if (self->webview) {
    self->webview->closed = true;
    DropHandlers(self->webview);
    for (Frame* frame : AllFrames(self->webview->frames)) DropHandlers(frame);
  }
  return S_OK;
}
HRESULT __stdcall Controller_get_CoreWebView2(Controller* self, void** webview) {
  Note(self, L"get_CoreWebView2");
  if (!webview) return E_POINTER;
  *webview = nullptr;
  if (HRESULT hr = Refused(self, L"get_CoreWebView2"); FAILED(hr)) return hr;
  Keep(self->webview);
  *webview = self->webview;
  return S_OK;
}

const auto kControllerVtbl = Table<26>(
    FN(Controller_get_IsVisible),                    // 3
    FN(Controller_put_IsVisible),                    // 4
    FN(Controller_get_Bounds),                       // 5
    FN(Controller_put_Bounds),                       // 6
    FN(Controller_get_ZoomFactor),                   // 7
    FN(Controller_put_ZoomFactor),                   // 8
    EVENT_SLOTS(ZoomFactorChanged),                  // 9-10
    FN(Controller_SetBoundsAndZoomFactor),           // 11
    FN(Controller_MoveFocus),                        // 12
    EVENT_SLOTS(MoveFocusRequested),                 // 13-14
    EVENT_SLOTS(GotFocus),                           // 15-16
    EVENT_SLOTS(LostFocus),                          // 17-18
    EVENT_SLOTS(AcceleratorKeyPressed),              // 19-20
    FN(Controller_get_ParentWindow),                 // 21
    FN(Controller_put_ParentWindow),                 // 22
    FN(Controller_NotifyParentWindowPositionChanged),  // 23
    FN(Controller_Close),                            // 24
    FN(Controller_get_CoreWebView2));                // 25

// The view window: coloured, reports keys as accelerator events (the host's message loop never
// sees the runtime's keys), and ends its browser process on request.
void KeyEvent(Controller* self, int kind, WPARAM key, LPARAM lp) {
  auto* args = Make<AcceleratorArgs>(kAcceleratorArgsVtbl, L"AcceleratorArgs", kIAcceleratorArgs);
  args->key_kind = kind;
  args->key = static_cast<UINT>(key);
  args->lparam = static_cast<INT>(lp);
  Keep(self);
  Log(L"key kind=%d vk=0x%02X", kind, static_cast<unsigned>(key));
  Raise(self, L"AcceleratorKeyPressed", self, args);
  Log(L"key kind=%d vk=0x%02X handled=%d", kind, static_cast<unsigned>(key),
      static_cast<int>(args->handled));
  Drop(args);
  Drop(self);
}

void FocusLeaves(Controller* self, int reason) {
  auto* args = Make<MoveFocusArgs>(kMoveFocusArgsVtbl, L"MoveFocusArgs", kIMoveFocusRequestedArgs);
  args->reason = reason;
  Keep(self);
  Raise(self, L"MoveFocusRequested", self, args);
  Log(L"focus leaves reason=%d handled=%d", reason, static_cast<int>(args->handled));
  Drop(args);
  Drop(self);
}

// While the page's renderer hangs, the runtime reports it unresponsive every few seconds (here
// every two, the first at once) until it answers again or its web view goes.
constexpr UINT_PTR kHangTimer = 0x2F9;
void EndProcess(Controller* self, int kind);
constexpr UINT kHangReportMs = 2000;

void Hang(Controller* self, bool hung) {
  Log(hung ? L"renderer hangs" : L"renderer answers again");
  if (!hung) {
    KillTimer(self->view, kHangTimer);
    return;
  }
  SetTimer(self->view, kHangTimer, kHangReportMs, nullptr);
  EndProcess(self, kRenderProcessUnresponsive);
}

// The page starts a load itself (a link, a script's redirect), to the address below.
void PageLoads(Controller* self) {
  WebView* webview = self->webview;
  if (webview->closed || webview->browser_gone) return;
  const std::wstring uri = L"http://127.0.0.1:9/by-the-page";
  Log(L"the page opens %ls", uri.c_str());
  FinishNavigation(webview, uri);
}

void EndProcess(Controller* self, int kind) {
  WebView* webview = self->webview;
  Keep(self);
  if (kind == kBrowserProcessExited) {
    Log(L"browser process ended");
    webview->browser_gone = true;
    DestroyView(self);
  } else {
    Log(L"render process ended (kind %d)", kind);
  }
  auto* args = Make<ProcessFailedArgs>(kProcessFailedArgsVtbl, L"ProcessFailedArgs",
                                       kIProcessFailedArgs);
  args->failed_kind = kind;
  Raise(webview, L"ProcessFailed", webview, args);
  Drop(args);
  Drop(self);
}

// What the page does on a test's WM_COPYDATA (protocol.h): posts a message, or pushes a state.
BOOL PageSends(Controller* self, const COPYDATASTRUCT* data) {
  if (!data || !data->lpData) return FALSE;
  const std::wstring posted(static_cast<const wchar_t*>(data->lpData),
                            data->cbData / sizeof(wchar_t));
  if (data->dwData == kPushedState) {
    Log(L"the page pushes %ls", posted.c_str());
    if (!self->webview->closed && !self->webview->browser_gone)
      MoveWithinDocument(self->webview, posted);
    return TRUE;
  }
  const size_t newline = posted.find(L'\n');
  if (newline == std::wstring::npos) return FALSE;
  PostFromPage(self->webview, data->dwData, posted.substr(0, newline), posted.substr(newline + 1));
  return TRUE;
}

LRESULT CALLBACK ViewProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<Controller*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (msg) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP: {
      const int kind = msg == WM_KEYDOWN     ? kKeyDown
                       : msg == WM_KEYUP     ? kKeyUp
                       : msg == WM_SYSKEYDOWN ? kSystemKeyDown
                                              : kSystemKeyUp;
      if (self) KeyEvent(self, kind, wp, lp);
      return 0;  // the page's: never the host's default handling
    }
    case WM_CHAR:
    case WM_SYSCHAR:
      return 0;
    case WM_LBUTTONDOWN:
      SetFocus(hwnd);  // a click into the page gives it the focus
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      if (self) {
        Keep(self);
        Raise(self, msg == WM_SETFOCUS ? L"GotFocus" : L"LostFocus", self, nullptr);
        Drop(self);
      }
      return 0;
    case kEndProcessMessage:
      if (self) EndProcess(self, static_cast<int>(wp));
      return 0;
    case kFocusLeavesMessage:
      if (self) FocusLeaves(self, static_cast<int>(wp));
      return 0;
    case kHangMessage:
      if (self) Hang(self, wp != 0);
      return 0;
    case WM_COPYDATA:
      return self ? PageSends(self, reinterpret_cast<const COPYDATASTRUCT*>(lp)) : FALSE;
    case kPageLoadsMessage:
      if (self) PageLoads(self);
      return 0;
    case WM_TIMER:
      if (self && wp == kHangTimer) EndProcess(self, kRenderProcessUnresponsive);
      return 0;
    case WM_DESTROY:
      if (self) {
        Log(L"Controller#%d view window destroyed before Close (with its parent)", self->id);
        self->view = nullptr;
      }
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

HWND MakeView(Controller* self) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ViewProc;
    wc.hInstance = g_instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = CreateSolidBrush(kViewColour);
    wc.lpszClassName = kViewClass;
    registered = RegisterClassW(&wc) != 0;
  }
  HWND view = CreateWindowExW(0, kViewClass, L"", WS_CHILD | WS_CLIPSIBLINGS | WS_VISIBLE, 0, 0,
                              0, 0, self->parent, nullptr, g_instance, nullptr);
  if (view) {
    SetWindowLongPtrW(view, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    SetWindowPos(view, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  return view;
}

// ---- ICoreWebView2Environment ---------------------------------------------------------------

struct Environment : Object {
  Config config;
};

HRESULT __stdcall Environment_CreateCoreWebView2Controller(Environment* self, HWND parent,
                                                           void* handler) {
  wchar_t cls[64] = L"";
  GetClassNameW(parent, cls, 64);
  DWORD owner = GetWindowThreadProcessId(parent, nullptr);
  Note(self, L"CreateCoreWebView2Controller", L"parent=%ls class=%ls same_thread=%d",
       Hex(reinterpret_cast<ULONG_PTR>(parent)).c_str(), cls,
       owner == GetCurrentThreadId() ? 1 : 0);
  if (!handler) return E_INVALIDARG;
  return AnswerAsTold(
      self->config.controller, handler, kIControllerCompleted, L"controller", self,
      [parent] { return !IsWindow(parent); },
      [self, parent]() -> Object* {
        auto* controller = Make<Controller>(kControllerVtbl, L"Controller", kIController);
        controller->destroy = FreeController;
        controller->environment = self;
        Keep(self);
        controller->webview = Make<WebView>(kWebViewVtbl, L"WebView", kIWebView);
        controller->webview->destroy = FreeWebView;
        controller->webview->navigate_result = self->config.navigate;
        if (self->config.frames) controller->webview->iid2 = &kIWebView4;
        g_webviews.push_back(controller->webview);
        controller->parent = parent;
        controller->view = MakeView(controller);
        return controller;
      });
}

GETTER(Environment, BrowserVersionString, LPWSTR, std::wstring(L"120.0.2210.91"))
HRESULT __stdcall Environment_add_NewBrowserVersionAvailable(Environment* self, void* sink,
                                                             Token* token) {
  Note(self, L"add_NewBrowserVersionAvailable");
  if (!sink || !token) return E_INVALIDARG;
  token->value = ++g_next_token;  // never raised, so not kept
  return S_OK;
}
HRESULT __stdcall Environment_remove_NewBrowserVersionAvailable(Environment* self, Token) {
  Note(self, L"remove_NewBrowserVersionAvailable");
  return S_OK;
}

const auto kEnvironmentVtbl = Table<8>(
    FN(Environment_CreateCoreWebView2Controller),    // 3
    UNUSED_SLOT(CreateWebResourceResponse, void*, int, LPCWSTR, LPCWSTR, void**),  // 4
    FN(Environment_get_BrowserVersionString),        // 5
    FN(Environment_add_NewBrowserVersionAvailable),  // 6
    FN(Environment_remove_NewBrowserVersionAvailable));  // 7

// ---- the host's options object ------------------------------------------------------------------

// Reads the options as the runtime does when it creates an environment: through the options
// interface's getters, slots 3, 5, 7 and 9.
[[maybe_unused]] void ReadOptions(void* options) {
  if (!options) {
    Log(L"options: none");
    return;
  }
  void* typed = nullptr;
  HRESULT hr = HostQueryInterface(options, kIEnvironmentOptions, &typed);
  if (FAILED(hr) || !typed) {
    Log(L"options: WRONG the object does not answer the options interface (%ls)", Hex(hr).c_str());
    return;
  }
  ++g_host_references;
  using GetText = HRESULT(__stdcall*)(void*, LPWSTR*);
  const struct {
    int slot;
    const wchar_t* name;
  } texts[] = {{3, L"AdditionalBrowserArguments"},
               {5, L"Language"},
               {7, L"TargetCompatibleBrowserVersion"}};
  for (const auto& t : texts) {
    LPWSTR value = nullptr;
    hr = SlotOf<GetText>(typed, t.slot)(typed, &value);
    Log(L"options: %ls=%ls (%ls)", t.name, Printable(value).c_str(), Hex(hr).c_str());
    CoTaskMemFree(value);
  }
  BOOL allow = 2;
  hr = SlotOf<HRESULT(__stdcall*)(void*, BOOL*)>(typed, 9)(typed, &allow);
  Log(L"options: AllowSingleSignOnUsingOSPrimaryAccount=%d (%ls)", static_cast<int>(allow),
      Hex(hr).c_str());
  HostRelease(typed);
}

[[maybe_unused]] const wchar_t* Apartment() {
  using GetType = HRESULT(WINAPI*)(int*, int*);
  auto get = reinterpret_cast<GetType>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ole32.dll"), "CoGetApartmentType")));
  int type = -1, qualifier = 0;
  if (!get || FAILED(get(&type, &qualifier))) return L"none";
  return type == 0 ? L"STA" : type == 3 ? L"MainSTA" : type == 1 ? L"MTA" : L"other";
}

}  // namespace

#ifndef FAKEWV2_NO_ENTRY_POINT
extern "C" __declspec(dllexport) HRESULT __stdcall CreateWebViewEnvironmentWithOptionsInternal(
    bool check_running_instance, int runtime_type, PCWSTR user_data_folder, void* options,
    void* handler) {
  const Config config = ReadConfig();
  Log(L"entry checkRunningInstance=%d runtimeType=%d userDataFolder=%ls apartment=%ls",
      check_running_instance ? 1 : 0, runtime_type, Printable(user_data_folder).c_str(),
      Apartment());
  if (FAILED(config.entry)) {
    Log(L"entry returns %ls", Hex(config.entry).c_str());
    return config.entry;
  }
  if (!handler) return E_POINTER;
  ReadOptions(options);
  return AnswerAsTold(config.environment, handler, kIEnvironmentCompleted, L"environment",
                      nullptr, nullptr, [config]() -> Object* {
                        auto* environment =
                            Make<Environment>(kEnvironmentVtbl, L"Environment", kIEnvironment);
                        environment->config = config;
                        return environment;
                      });
}
#endif

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_instance = instance;
    DisableThreadLibraryCalls(instance);
    DWORD n = GetModuleFileNameW(instance, g_folder, MAX_PATH);
    while (n > 0 && g_folder[n - 1] != L'\\' && g_folder[n - 1] != L'/') --n;
    g_folder[n] = L'\0';
    Log(L"loaded");
  } else if (reason == DLL_PROCESS_DETACH) {
    Log(L"unloaded live=%d host_references=%d at_exit=%d", g_live, g_host_references,
        reserved ? 1 : 0);
  }
  return TRUE;
}
