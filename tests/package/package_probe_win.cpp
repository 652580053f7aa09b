// What the installer's Wine test needs from inside Windows:
//   package_probe shortcut-target LNK     prints the program a shell shortcut starts
//   package_probe start-close EXE         starts EXE, waits for its main window (class TMainForm),
//                                         closes it with WM_CLOSE as the close box does, and
//                                         exits with 0 when EXE ended with exit code 0
//   package_probe uninstall-while-running EXE UNINSTALLER
//                                         the same, with UNINSTALLER /S run while the window
//                                         is open: it must fail and leave EXE in place
//   package_probe run-wait EXE [ARGS...]  runs EXE and waits until it and every process it
//                                         started have ended (an uninstaller hands its work to a
//                                         copy of itself); exits with EXE's exit code
// Every wait is bounded; a failure is printed and ends with exit code 1 (2 for bad usage).
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <string>

namespace {

constexpr DWORD kWindowTimeoutMs = 60000;  // a loaded machine starting Wine's services
constexpr DWORD kExitTimeoutMs = 30000;
constexpr DWORD kTreeTimeoutMs = 120000;

void Print(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(size > 0 ? size - 1 : 0, '\0');
  if (size > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), size, nullptr, nullptr);
  std::fputs(utf8.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

int Fail(const std::wstring& what) {
  Print(L"FAIL: " + what + L" (error " + std::to_wstring(GetLastError()) + L")");
  return 1;
}

// A handle closed at the end of its scope.
struct Handle {
  HANDLE h = nullptr;
  explicit Handle(HANDLE handle = nullptr) : h(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (h != nullptr && h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};

std::wstring Quote(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring quoted = L"\"";
  for (wchar_t c : arg) {
    if (c == L'"') quoted += L'\\';
    quoted += c;
  }
  return quoted + L"\"";
}

bool Start(const std::wstring& exe, const std::wstring& args, DWORD flags,
           PROCESS_INFORMATION& pi) {
  std::wstring command = Quote(exe) + (args.empty() ? L"" : L" " + args);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  return CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, flags, nullptr,
                        nullptr, &si, &pi) != 0;
}

int ShortcutTarget(const std::wstring& lnk) {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return Fail(L"CoInitializeEx");
  int result = 1;
  IShellLinkW* link = nullptr;
  IPersistFile* file = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link)))) {
    result = Fail(L"no shell link object");
  } else if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) ||
             FAILED(file->Load(lnk.c_str(), STGM_READ))) {
    result = Fail(L"cannot read the shortcut " + lnk);
  } else {
    wchar_t target[MAX_PATH] = L"";
    if (FAILED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)) || target[0] == L'\0') {
      result = Fail(L"the shortcut " + lnk + L" has no target");
    } else {
      Print(target);
      result = 0;
    }
  }
  if (file != nullptr) file->Release();
  if (link != nullptr) link->Release();
  CoUninitialize();
  return result;
}

struct WindowSearch {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindMainWindow(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  wchar_t cls[32] = L"";
  GetClassNameW(hwnd, cls, 32);
  if (pid == search->pid && IsWindowVisible(hwnd) && lstrcmpW(cls, L"TMainForm") == 0) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

int RunWait(const std::wstring& exe, const std::wstring& args);

// With an uninstaller given, it runs silently while the program's window is open: it must give
// up (non-zero exit code) and leave the program's file in place.
int StartClose(const std::wstring& exe, const std::wstring& uninstaller) {
  PROCESS_INFORMATION pi{};
  if (!Start(exe, L"", 0, pi)) return Fail(L"cannot start " + exe);
  Handle process(pi.hProcess), thread(pi.hThread);
  const DWORD started = GetTickCount();
  WindowSearch search{pi.dwProcessId, nullptr};
  // The window shows once the program's start-up is done; the process handle is signalled
  // if it ends first.
  while (EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&search)), search.found == nullptr) {
    const DWORD waited = GetTickCount() - started;
    if (waited >= kWindowTimeoutMs) {
      TerminateProcess(pi.hProcess, 1);
      return Fail(L"no visible TMainForm window of " + exe + L" within 60 s");
    }
    if (WaitForSingleObject(pi.hProcess, 100) == WAIT_OBJECT_0) {
      DWORD code = 0;
      GetExitCodeProcess(pi.hProcess, &code);
      return Fail(L"the program ended with exit code " + std::to_wstring(code) +
                  L" before it showed its window");
    }
  }
  wchar_t caption[128] = L"";
  GetWindowTextW(search.found, caption, 128);
  Print(L"window \"" + std::wstring(caption) + L"\" shown after " +
        std::to_wstring(GetTickCount() - started) + L" ms");
  bool uninstall_refused = true;
  if (!uninstaller.empty()) {
    // In place (_?=its folder), so that the exit code is the uninstaller's own and not that
    // of the stub that hands the work to a temporary copy.
    const std::wstring folder = uninstaller.substr(0, uninstaller.find_last_of(L"\\/"));
    const int code = RunWait(uninstaller, L"/S _?=" + folder);
    const bool exe_kept = GetFileAttributesW(exe.c_str()) != INVALID_FILE_ATTRIBUTES;
    uninstall_refused = code != 0 && exe_kept;
    if (!uninstall_refused) {
      Print(L"FAIL: the uninstaller, run while the program runs, ended with exit code " +
            std::to_wstring(code) + (exe_kept ? L"" : L" and deleted the running program"));
    }
  }
  if (!PostMessageW(search.found, WM_CLOSE, 0, 0)) return Fail(L"PostMessage WM_CLOSE");
  if (WaitForSingleObject(pi.hProcess, kExitTimeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(pi.hProcess, 1);
    return Fail(L"the program did not end within 30 s of WM_CLOSE");
  }
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  Print(L"closed, exit code " + std::to_wstring(code));
  return code == 0 && uninstall_refused ? 0 : 1;
}

int RunWait(const std::wstring& exe, const std::wstring& args) {
  // Under Wine the first window of a session starts the desktop process, as a child of the
  // process that made it, and it runs on: made here, outside the job, it is not counted as one of
  // the processes waited for. On Windows the desktop always exists.
  GetDesktopWindow();
  // A job holds the process and everything it starts; its completion port says when the last
  // of them has ended.
  Handle job(CreateJobObjectW(nullptr, nullptr));
  Handle port(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1));
  if (job.h == nullptr || port.h == nullptr) return Fail(L"cannot make a job object");
  JOBOBJECT_ASSOCIATE_COMPLETION_PORT association{};
  association.CompletionKey = job.h;
  association.CompletionPort = port.h;
  if (!SetInformationJobObject(job.h, JobObjectAssociateCompletionPortInformation, &association,
                               sizeof association)) {
    return Fail(L"cannot watch the job");
  }
  PROCESS_INFORMATION pi{};
  if (!Start(exe, args, CREATE_SUSPENDED, pi)) return Fail(L"cannot start " + exe);
  Handle process(pi.hProcess), thread(pi.hThread);
  if (!AssignProcessToJobObject(job.h, pi.hProcess)) {
    TerminateProcess(pi.hProcess, 1);
    return Fail(L"cannot put " + exe + L" into the job");
  }
  ResumeThread(pi.hThread);
  const DWORD started = GetTickCount();
  for (;;) {
    const DWORD waited = GetTickCount() - started;
    if (waited >= kTreeTimeoutMs) {
      TerminateJobObject(job.h, 1);
      return Fail(L"the processes of " + exe + L" did not end within 120 s");
    }
    DWORD message = 0;
    ULONG_PTR key = 0;
    LPOVERLAPPED overlapped = nullptr;
    if (!GetQueuedCompletionStatus(port.h, &message, &key, &overlapped,
                                   kTreeTimeoutMs - waited)) {
      continue;  // timed out: the check above reports it
    }
    if (key == reinterpret_cast<ULONG_PTR>(job.h) &&
        message == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO) {
      break;
    }
  }
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  Print(exe + L" and its processes ended, exit code " + std::to_wstring(code));
  return static_cast<int>(code);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"shortcut-target" && argc == 3) return ShortcutTarget(argv[2]);
  if (command == L"start-close" && argc == 3) return StartClose(argv[2], L"");
  if (command == L"uninstall-while-running" && argc == 4) return StartClose(argv[2], argv[3]);
  if (command == L"run-wait" && argc >= 3) {
    std::wstring args;
    for (int i = 3; i < argc; ++i) args += (args.empty() ? L"" : L" ") + Quote(argv[i]);
    return RunWait(argv[2], args);
  }
  Print(L"usage: package_probe shortcut-target LNK | start-close EXE |\n"
        L"         uninstall-while-running EXE UNINSTALLER | run-wait EXE [ARGS...]");
  return 2;
}
