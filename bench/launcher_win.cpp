// Start-up timer for the benchmark under bench/.
//
//   startup_launcher <program.exe> <caption> <runs> [settle-ms]
//
// For every run it starts the program, waits until the program owns a visible top-level window
// with exactly that caption, and reports the time from just before CreateProcessW to that moment.
// It then lets the program settle for settle-ms (default 1000), reads the program's peak working
// set, closes the window with WM_CLOSE and waits for the program to end. Before the first run the
// launcher makes its own connection to the window system and waits one and a half seconds, and it
// waits as long between runs, so that neither its own start nor the previous program's end falls
// into a measured start. One line per run:
//
//   run=1 startup_ms=181.42 peak_working_set_bytes=19296256 exit_code=0 start_ticks=8123456789
//   shown_ticks=8125271012
//
// The last two are the performance counter's readings at the start and when the window was seen,
// on the clock the program's own timing marks use (bench/startup_steps.sh).
// A run that fails prints "run=N error=<what>" instead. The exit status is 0 when every run
// succeeded and the program ended with exit code 0 each time, 1 otherwise, 2 on bad arguments.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr DWORD kWindowTimeoutMs = 30000;  // the program must show its window within this
constexpr DWORD kExitTimeoutMs = 10000;    // and end within this after WM_CLOSE
constexpr DWORD kQuietMs = 1500;           // before the first run and between runs

class Handle {
 public:
  explicit Handle(HANDLE h = nullptr) : h_(h) {}
  ~Handle() {
    if (h_) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

// The program's top-level window with exactly this caption, visible or not. FindWindowExW walks
// the top-level windows on the server side; only candidates are checked for their process.
HWND FindProgramWindow(DWORD process_id, const wchar_t* caption) {
  HWND wnd = nullptr;
  while ((wnd = FindWindowExW(nullptr, wnd, nullptr, caption)) != nullptr) {
    DWORD pid = 0;
    GetWindowThreadProcessId(wnd, &pid);
    if (pid == process_id) return wnd;
  }
  return nullptr;
}

// Quotes one argument for a Windows command line; the benchmark's paths contain no quotes.
std::wstring Quoted(const wchar_t* arg) { return L"\"" + std::wstring(arg) + L"\""; }

bool ParseCount(const wchar_t* text, unsigned long max, unsigned long& out) {
  wchar_t* end = nullptr;
  unsigned long value = std::wcstoul(text, &end, 10);
  if (end == text || *end != L'\0' || value > max) return false;
  out = value;
  return true;
}

bool ProcessEnded(HANDLE process) { return WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }

// One run; prints its line and returns whether it succeeded.
bool MeasureOnce(unsigned long run, const wchar_t* program, const wchar_t* caption,
                 DWORD settle_ms, double ticks_per_ms) {
  std::wstring command_line = Quoted(program);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};

  LARGE_INTEGER start, shown;
  QueryPerformanceCounter(&start);
  if (!CreateProcessW(program, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    std::printf("run=%lu error=CreateProcessW failed (%lu)\n", run, GetLastError());
    return false;
  }
  Handle process(info.hProcess);
  Handle thread(info.hThread);

  // The wait must disturb the program as little as possible: under Wine every window query is a
  // round trip to the one server process that the program needs for each window it makes. So
  // the window is looked up until it exists (programs create their main window hidden and
  // show it later), and from then on only that window's visibility is asked for.
  HWND wnd = nullptr;
  ULONGLONG deadline = GetTickCount64() + kWindowTimeoutMs;
  for (;;) {
    if (!wnd || !IsWindow(wnd)) wnd = FindProgramWindow(info.dwProcessId, caption);
    if (wnd && IsWindowVisible(wnd)) break;
    if (ProcessEnded(process.get())) {
      DWORD code = 0;
      GetExitCodeProcess(process.get(), &code);
      std::printf("run=%lu error=program ended with exit code %lu before showing its window\n",
                  run, code);
      return false;
    }
    if (GetTickCount64() >= deadline) {
      TerminateProcess(process.get(), 1);
      std::printf("run=%lu error=no visible window within %lu ms\n", run, kWindowTimeoutMs);
      return false;
    }
    Sleep(1);
  }
  QueryPerformanceCounter(&shown);
  double startup_ms = static_cast<double>(shown.QuadPart - start.QuadPart) / ticks_per_ms;

  // The program may still be finishing its start (the browser control, say) after its window
  // shows; its peak is read after that.
  if (WaitForSingleObject(process.get(), settle_ms) == WAIT_OBJECT_0) {
    std::printf("run=%lu error=program ended on its own after showing its window\n", run);
    return false;
  }
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  if (!GetProcessMemoryInfo(process.get(), &memory, sizeof memory)) {
    DWORD error = GetLastError();
    TerminateProcess(process.get(), 1);
    std::printf("run=%lu error=GetProcessMemoryInfo failed (%lu)\n", run, error);
    return false;
  }

  PostMessageW(wnd, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process.get(), kExitTimeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(process.get(), 1);
    std::printf("run=%lu error=program did not end within %lu ms of WM_CLOSE\n", run,
                kExitTimeoutMs);
    return false;
  }
  DWORD exit_code = 0;
  GetExitCodeProcess(process.get(), &exit_code);
  std::printf("run=%lu startup_ms=%.2f peak_working_set_bytes=%llu exit_code=%lu start_ticks=%lld "
              "shown_ticks=%lld\n",
              run, startup_ms, static_cast<unsigned long long>(memory.PeakWorkingSetSize),
              exit_code, static_cast<long long>(start.QuadPart),
              static_cast<long long>(shown.QuadPart));
  return exit_code == 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  unsigned long runs = 0;
  unsigned long settle_ms = 1000;
  if (argc < 4 || argc > 5 || !ParseCount(argv[3], 100000, runs) || runs == 0 ||
      (argc == 5 && !ParseCount(argv[4], 60000, settle_ms))) {
    std::fprintf(stderr, "usage: startup_launcher <program.exe> <caption> <runs> [settle-ms]\n");
    return 2;
  }
  // The launcher's own start on the window system happens before anything is timed: under Wine
  // the first window call of a process loads the display driver and opens a display connection,
  // tens of milliseconds that would otherwise run beside the measured program's start and
  // compete with it for the processor and the Wine server. So the launcher makes the calls of its
  // measuring loop once (a window lookup and a visibility query) and lets that settle.
  IsWindowVisible(FindWindowExW(nullptr, nullptr, nullptr, argv[2]));
  Sleep(kQuietMs);
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  double ticks_per_ms = static_cast<double>(frequency.QuadPart) / 1000.0;

  bool all_ok = true;
  for (unsigned long run = 1; run <= runs; ++run) {
    if (run > 1) Sleep(kQuietMs);  // the previous program's end settles first
    all_ok = MeasureOnce(run, argv[1], argv[2], settle_ms, ticks_per_ms) && all_ok;
    std::fflush(stdout);
  }
  return all_ok ? 0 : 1;
}
