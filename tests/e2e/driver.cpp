#include "driver.h"

#include <algorithm>
#include <cmath>
#include <regex>

#include "core/texts.h"
#include "support/win_probes.h"

namespace e2e {

namespace {
std::wstring& PathStore() {
  static std::wstring path;
  return path;
}

constexpr UINT kSendTimeoutMs = 2000;

struct EnumState {
  DWORD pid;
  bool hidden_too;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM lp) {
  auto* st = reinterpret_cast<EnumState*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid == st->pid && (st->hidden_too || IsWindowVisible(hwnd))) st->found.push_back(hwnd);
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(hwnd);
  return TRUE;
}

RECT RectIn(HWND hwnd, HWND ancestor) {
  RECT r = ScreenRect(hwnd);
  MapWindowPoints(nullptr, ancestor, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

}  // namespace

HWND FindChild(HWND parent, const wchar_t* cls, const std::wstring& caption) {
  for (HWND h : Children(parent))
    if (ClassOf(h) == cls && Text(h) == caption) return h;
  return nullptr;
}

std::wstring PlacementKey() {
  const std::wstring name = ProgramPath().substr(ProgramPath().find_last_of(L"\\/") + 1);
  return L"Software\\" + name.substr(0, name.find_last_of(L'.'));
}

const std::wstring& ProgramPath() { return PathStore(); }

std::wstring WindowsPath(const std::wstring& path) {
  // Under Wine a Unix path is turned into the DOS path of the same file.
  using ToDos = WCHAR*(CDECL*)(LPCSTR);
  if (!path.empty() && path[0] == L'/') {
    auto to_dos = reinterpret_cast<ToDos>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (to_dos) {
      std::string narrow(path.begin(), path.end());
      if (WCHAR* dos = to_dos(narrow.c_str())) {
        std::wstring result = dos;
        HeapFree(GetProcessHeap(), 0, dos);
        return result;
      }
    }
  }
  return path;
}

void SetProgramPath(const std::wstring& path) {
  if (std::wstring dos = WindowsPath(path); dos != path) {
    PathStore() = dos;
    return;
  }
  wchar_t full[MAX_PATH * 4];
  DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(std::size(full)), full, nullptr);
  PathStore() = (n > 0 && n < std::size(full)) ? std::wstring(full, n) : path;
}

bool WaitUntil(const std::function<bool()>& pred, DWORD timeout_ms) {
  const ULONGLONG end = GetTickCount64() + timeout_ms;
  for (;;) {
    if (pred()) return true;
    if (GetTickCount64() >= end) return pred();
    Sleep(50);
  }
}

std::wstring Text(HWND hwnd) {
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &len))
    return L"";
  std::wstring text(len + 1, L'\0');
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, kSendTimeoutMs, &got))
    return L"";
  text.resize(std::min<size_t>(got, len));
  return text;
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[256];
  int n = GetClassNameW(hwnd, name, static_cast<int>(std::size(name)));
  return std::wstring(name, n > 0 ? n : 0);
}

RECT ScreenRect(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  return r;
}

std::vector<HWND> Children(HWND parent, bool direct_only) {
  std::vector<HWND> all;
  EnumChildWindows(parent, &CollectChild, reinterpret_cast<LPARAM>(&all));
  if (direct_only)
    all.erase(std::remove_if(all.begin(), all.end(),
                             [parent](HWND h) { return GetAncestor(h, GA_PARENT) != parent; }),
              all.end());
  return all;
}

std::optional<int> Seconds(const std::wstring& text) {
  static const std::wregex kTime(L"(-?[0-9]+):(-?[0-9]+)");
  std::wsmatch parts;
  if (!std::regex_match(text, parts, kTime)) return std::nullopt;
  return std::stoi(parts[1].str()) * 60 + std::stoi(parts[2].str());
}

void SetText(HWND edit, const std::wstring& text) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                      SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored);
}

void TypeText(HWND edit, const std::wstring& text) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(edit, EM_SETSEL, 0, -1, SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored);
  for (wchar_t c : text) PostMessageW(edit, WM_CHAR, c, 1);
}

void ClickButton(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

void ClickInto(HWND hwnd) {
  const LPARAM at = MAKELPARAM(3, 3);
  PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(hwnd, WM_LBUTTONUP, 0, at);
}

void PressKey(HWND target, UINT vk) {
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16;
  PostMessageW(target, WM_KEYDOWN, vk, scan | 1);
  PostMessageW(target, WM_KEYUP, vk, scan | 1 | (1 << 30) | (1u << 31));
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) {
    if (c >= 32 && c < 127) {
      out += static_cast<char>(c);
    } else {
      char buf[12];
      wsprintfA(buf, "\\u%04X", static_cast<unsigned>(c));
      out += buf;
    }
  }
  return out;
}

std::string Describe(HWND hwnd) {
  if (!hwnd) return "nothing";
  return Narrow(ClassOf(hwnd)) + " \"" + Narrow(Text(hwnd)) + "\"";
}

// ---- Program ------------------------------------------------------------------------------------

Program::~Program() {
  Kill();
  if (pi_.hThread) CloseHandle(pi_.hThread);
  if (pi_.hProcess) CloseHandle(pi_.hProcess);
}

bool Program::Start(std::optional<WORD> show_command, DWORD timeout_ms, bool first_run) {
  // Unless asked otherwise, every run is a first run: no window placement is left over.
  if (first_run) RegDeleteTreeW(HKEY_CURRENT_USER, PlacementKey().c_str());

  STARTUPINFOW si{};
  si.cb = sizeof(si);
  if (show_command) {
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = *show_command;
  }
  std::wstring command_line = L"\"" + ProgramPath() + L"\"";
  if (!CreateProcessW(ProgramPath().c_str(), command_line.data(), nullptr, nullptr, FALSE, 0,
                      nullptr, nullptr, &si, &pi_))
    return false;
  WaitUntil(
      [this] {
        main_ = FindTopLevel(L"TMainForm", std::wstring(reprisa::texts::kMainCaption));
        return main_ != nullptr || !Alive();
      },
      timeout_ms);
  return main_ != nullptr;
}

bool Program::Alive() const {
  return pi_.hProcess && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT;
}

std::vector<HWND> Program::TopLevelWindows(bool hidden_too) const {
  EnumState st{pi_.dwProcessId, hidden_too, {}};
  if (pi_.hProcess) EnumWindows(&CollectTopLevel, reinterpret_cast<LPARAM>(&st));
  return st.found;
}

HWND Program::FindTopLevel(const wchar_t* cls, const std::wstring& caption,
                           bool hidden_too) const {
  for (HWND h : TopLevelWindows(hidden_too))
    if (ClassOf(h) == cls && Text(h) == caption) return h;
  return nullptr;
}

GUITHREADINFO Program::GuiInfo() const {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  return GetGUIThreadInfo(pi_.dwThreadId, &info) ? info : GUITHREADINFO{};
}

HWND Program::Focus() const { return GuiInfo().hwndFocus; }

bool Program::InMenu() const { return (GuiInfo().flags & GUI_INMENUMODE) != 0; }

bool Program::ShowsPopupMenu() const {
  for (HWND h : TopLevelWindows())
    if (reprisa::testing_support::IsPopupMenu(h)) return true;
  return false;
}

std::optional<DWORD> Program::Close(DWORD timeout_ms) {
  if (!Alive()) return WaitForExit(0);
  PostMessageW(main_, WM_CLOSE, 0, 0);
  return WaitForExit(timeout_ms);
}

std::optional<DWORD> Program::WaitForExit(DWORD timeout_ms) {
  if (!pi_.hProcess) return std::nullopt;
  if (WaitForSingleObject(pi_.hProcess, timeout_ms) != WAIT_OBJECT_0) {
    Kill();
    return std::nullopt;
  }
  DWORD code = 0;
  if (!GetExitCodeProcess(pi_.hProcess, &code)) return std::nullopt;
  return code;
}

void Program::Kill() {
  if (Alive()) {
    TerminateProcess(pi_.hProcess, 99);
    WaitForSingleObject(pi_.hProcess, 5000);
  }
}

// ---- the main window's controls -----------------------------------------------------------------

std::wstring FindMainControls(HWND main, MainControls& c) {
  RECT client{};
  GetClientRect(main, &client);
  // The top panel: the main window's own panel at the client's top-left, as wide as the client.
  for (HWND h : Children(main, true)) {
    RECT r = RectIn(h, main);
    if (ClassOf(h) == L"TPanel" && r.left == 0 && r.top == 0 && r.right == client.right) {
      c.panel = h;
      break;
    }
  }
  if (!c.panel) return L"no top panel (TPanel at 0,0 across the client)";

  // The design places the edits at 96 dpi in a 65-pixel panel; scale by the panel's real height.
  RECT pr{};
  GetClientRect(c.panel, &pr);
  const double scale = pr.bottom / 65.0;
  struct Want {
    HWND* slot;
    int left, top;
    const wchar_t* name;
  } wants[] = {{&c.urled, 8, 8, L"urled"},
               {&c.edit1, 226, 35, L"Edit1"},
               {&c.edit2, 431, 35, L"Edit2"},
               {&c.edit3, 571, 35, L"Edit3"}};
  const double tolerance = 3 * scale + 1;
  for (HWND h : Children(c.panel, true)) {
    if (ClassOf(h) != L"Edit") continue;
    RECT r = RectIn(h, c.panel);
    for (auto& w : wants)
      if (std::fabs(r.left - w.left * scale) <= tolerance &&
          std::fabs(r.top - w.top * scale) <= tolerance)
        *w.slot = h;
  }
  for (auto& w : wants)
    if (!*w.slot) return std::wstring(L"no edit at the place of ") + w.name;

  for (auto [slot, caption] : {std::pair{&c.goto_website, L"Zur Website..."},
                               std::pair{&c.set_value, L"Wert setzen"},
                               std::pair{&c.restart, L"Stopuhr auf 0"}})
    if (!(*slot = FindChild(main, L"Button", caption)))
      return std::wstring(L"no button \"") + caption + L"\"";
  for (HWND h : Children(main, true))
    if (ClassOf(h) == L"TWebBrowser") c.browser = h;
  return c.browser ? L"" : L"no browser host (TWebBrowser)";
}

}  // namespace e2e
