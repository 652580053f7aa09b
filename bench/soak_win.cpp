// The soak benchmark's Windows side: starts reprisa.exe once per interval text given, sets that
// interval as a user would, then watches every instance for the given minutes. It samples the
// countdown field every 10 ms and reads each process's private bytes, working set, handle count
// and window-system objects at the start, after the first minute and at the end.
//
//   soak_win <reprisa.exe> <minutes> <interval text>...
//
// One line per instance and figure; the last per instance reads e.g.
//   00:05: growth after the first minute 0.02 MiB; 1799 countdown changes, largest gap 1012 ms;
//   exit code 0
// Exit status 0 when every instance ran to the end and closed with code 0, 1 otherwise.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "core/texts.h"

namespace {

// A figure of 0 is one the system did not report (Wine, for one, counts no handles or window
// objects per process); a running process always has some of each.
struct Figures {
  double private_mib = 0;
  double working_set_mib = 0;
  DWORD handles = 0;
  DWORD gdi = 0;
  DWORD user = 0;
};

struct Instance {
  std::wstring interval;
  PROCESS_INFORMATION process{};
  HWND main = nullptr;
  HWND edit1 = nullptr, edit2 = nullptr, edit3 = nullptr, apply = nullptr;
  std::wstring shown;
  ULONGLONG last_change_ms = 0;
  ULONGLONG largest_gap_ms = 0;
  unsigned changes = 0;
  Figures start, first_minute, end;
};

std::wstring Text(HWND hwnd) {
  wchar_t buffer[256] = {};
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(buffer),
                           SMTO_ABORTIFHUNG, 2000, &got))
    return L"";
  return std::wstring(buffer, std::min<DWORD_PTR>(got, 255));
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return name;
}

struct Search {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindMain(HWND hwnd, LPARAM lp) {
  auto* search = reinterpret_cast<Search*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid == search->pid && IsWindowVisible(hwnd) && Text(hwnd) == reprisa::texts::kMainCaption) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(hwnd);
  return TRUE;
}

// The edits of the top panel in reading order are the address, Edit1, Edit2 and Edit3.
bool FindControls(Instance& in) {
  std::vector<HWND> children;
  EnumChildWindows(in.main, CollectChild, reinterpret_cast<LPARAM>(&children));
  std::vector<std::pair<RECT, HWND>> edits;
  for (HWND c : children) {
    if (_wcsicmp(ClassOf(c).c_str(), L"Edit") == 0) {
      RECT r;
      GetWindowRect(c, &r);
      edits.push_back({r, c});
    } else if (_wcsicmp(ClassOf(c).c_str(), L"Button") == 0 &&
               Text(c) == reprisa::texts::kApplyInterval) {
      in.apply = c;
    }
  }
  if (edits.size() < 4 || !in.apply) return false;
  std::sort(edits.begin(), edits.end(), [](const auto& a, const auto& b) {
    return a.first.top != b.first.top ? a.first.top < b.first.top : a.first.left < b.first.left;
  });
  in.edit1 = edits[1].second;
  in.edit2 = edits[2].second;
  in.edit3 = edits[3].second;
  return true;
}

bool WaitFor(DWORD timeout_ms, const auto& condition) {
  const ULONGLONG until = GetTickCount64() + timeout_ms;
  while (!condition()) {
    if (GetTickCount64() >= until) return false;
    Sleep(50);
  }
  return true;
}

bool Start(Instance& in, const wchar_t* program) {
  std::wstring command = L"\"" + std::wstring(program) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (!CreateProcessW(program, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &in.process))
    return false;
  Search search{in.process.dwProcessId, nullptr};
  if (!WaitFor(30000, [&] {
        EnumWindows(FindMain, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
      }))
    return false;
  in.main = search.found;
  if (!WaitFor(5000, [&] { return FindControls(in); })) return false;
  SendMessageTimeoutW(in.edit1, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(in.interval.c_str()),
                      SMTO_ABORTIFHUNG, 2000, nullptr);
  PostMessageW(in.apply, BM_CLICK, 0, 0);
  return WaitFor(3000, [&] { return Text(in.edit2) == in.interval; });
}

// Committed private memory counted region by region, for systems whose process counters leave it
// at 0 (Wine).
double CommittedPrivateMib(HANDLE process) {
  std::uint64_t total = 0;
  MEMORY_BASIC_INFORMATION region{};
  for (const char* at = nullptr;
       VirtualQueryEx(process, at, &region, sizeof region) == sizeof region;
       at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
    if (region.RegionSize == 0) break;
  }
  return static_cast<double>(total) / 1048576.0;
}

Figures Measure(const Instance& in) {
  Figures f;
  // Private bytes: the extended record's PrivateUsage, or where only the plain record is served,
  // its PagefileUsage, which counts the same committed private memory.
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(in.process.hProcess,
                           reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
    f.private_mib = static_cast<double>(memory.PrivateUsage) / 1048576.0;
  } else {
    PROCESS_MEMORY_COUNTERS plain{};
    plain.cb = sizeof plain;
    if (GetProcessMemoryInfo(in.process.hProcess, &plain, sizeof plain)) {
      memory.PagefileUsage = plain.PagefileUsage;
      memory.WorkingSetSize = plain.WorkingSetSize;
      f.private_mib = static_cast<double>(plain.PagefileUsage) / 1048576.0;
    }
  }
  f.working_set_mib = static_cast<double>(memory.WorkingSetSize) / 1048576.0;
  if (f.private_mib == 0) f.private_mib = CommittedPrivateMib(in.process.hProcess);
  if (!GetProcessHandleCount(in.process.hProcess, &f.handles)) f.handles = 0;
  f.gdi = GetGuiResources(in.process.hProcess, GR_GDIOBJECTS);
  f.user = GetGuiResources(in.process.hProcess, GR_USEROBJECTS);
  return f;
}

std::string Count(DWORD n) { return n ? std::to_string(n) : std::string("not reported"); }

void Print(const Instance& in, const char* when, const Figures& f) {
  std::printf("%ls: %-15s private %.2f MiB, working set %.2f MiB, handles %s, GDI objects %s, "
              "USER objects %s\n",
              in.interval.c_str(), when, f.private_mib, f.working_set_mib, Count(f.handles).c_str(),
              Count(f.gdi).c_str(), Count(f.user).c_str());
  std::fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: soak_win <reprisa.exe> <minutes> <interval text>...\n");
    return 2;
  }
  const double minutes = _wtof(argv[2]);
  if (minutes <= 0) {
    std::fprintf(stderr, "soak_win: minutes must be above 0\n");
    return 2;
  }
  std::vector<std::unique_ptr<Instance>> instances;
  for (int i = 3; i < argc; ++i) {
    auto in = std::make_unique<Instance>();
    in->interval = argv[i];
    if (!Start(*in, argv[1])) {
      std::fprintf(stderr, "soak_win: %ls: the program did not start or take the interval\n",
                   argv[i]);
      if (in->process.hProcess) TerminateProcess(in->process.hProcess, 1);
      return 1;
    }
    instances.push_back(std::move(in));
  }

  const ULONGLONG begin = GetTickCount64();
  const ULONGLONG end = begin + static_cast<ULONGLONG>(minutes * 60000);
  for (auto& in : instances) {
    in->start = Measure(*in);
    Print(*in, "start", in->start);
    in->shown = Text(in->edit3);
    in->last_change_ms = begin;
  }
  bool first_minute_done = false;
  bool all_alive = true;
  while (GetTickCount64() < end && all_alive) {
    const ULONGLONG now = GetTickCount64();
    for (auto& in : instances) {
      if (WaitForSingleObject(in->process.hProcess, 0) == WAIT_OBJECT_0) all_alive = false;
      std::wstring text = Text(in->edit3);
      if (!text.empty() && text != in->shown) {
        // The first change only starts the count: the time before it is not a whole gap.
        if (in->changes > 0)
          in->largest_gap_ms = std::max(in->largest_gap_ms, now - in->last_change_ms);
        ++in->changes;
        in->last_change_ms = now;
        in->shown = text;
      }
    }
    if (!first_minute_done && now - begin >= 60000 && now + 1000 < end) {
      first_minute_done = true;
      for (auto& in : instances) {
        in->first_minute = Measure(*in);
        Print(*in, "after 1 minute", in->first_minute);
      }
    }
    Sleep(10);
  }

  int status = all_alive ? 0 : 1;
  for (auto& in : instances) {
    in->end = Measure(*in);
    Print(*in, "end", in->end);
    const Figures& base = first_minute_done ? in->first_minute : in->start;
    PostMessageW(in->main, WM_CLOSE, 0, 0);
    DWORD code = 1;
    if (WaitForSingleObject(in->process.hProcess, 10000) != WAIT_OBJECT_0) {
      TerminateProcess(in->process.hProcess, 1);
      status = 1;
    }
    GetExitCodeProcess(in->process.hProcess, &code);
    if (code != 0) status = 1;
    std::printf("%ls: growth after the %s %.2f MiB", in->interval.c_str(),
                first_minute_done ? "first minute" : "start",
                in->end.private_mib - base.private_mib);
    if (base.handles && in->end.handles)
      std::printf(", handles %+ld",
                  static_cast<long>(in->end.handles) - static_cast<long>(base.handles));
    std::printf("; ");
    if (in->changes < 2)
      std::printf("the countdown did not change (it reads %ls throughout); ", in->shown.c_str());
    else
      std::printf("%u countdown changes, largest gap %llu ms; ", in->changes,
                  static_cast<unsigned long long>(in->largest_gap_ms));
    std::printf("exit code %lu\n", static_cast<unsigned long>(code));
    CloseHandle(in->process.hThread);
    CloseHandle(in->process.hProcess);
  }
  return status;
}
