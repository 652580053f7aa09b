#include "win/kit/startup_trace_win.h"

#ifdef REPRISA_STARTUP_TRACE

#include <windows.h>

#include <cstdio>

namespace reprisa {

namespace {

struct Mark {
  const char* step;
  LONGLONG ticks;
};

// Plain storage, ready before any constructor runs; marks past its end are dropped.
Mark g_marks[64];
int g_count = 0;

// The earliest moment the program's own code runs: the static constructors, before wWinMain.
struct FirstMark {
  FirstMark() { StartupMark("runtime and static constructors"); }
} g_first_mark;

}  // namespace

void StartupMark(const char* step) noexcept {
  if (g_count >= static_cast<int>(sizeof g_marks / sizeof g_marks[0])) return;
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  g_marks[g_count++] = {step, now.QuadPart};
}

void WriteStartupMarks() noexcept {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  wchar_t* name = path;
  for (wchar_t* p = path; *p; ++p)
    if (*p == L'\\' || *p == L'/') name = p + 1;
  const wchar_t kFile[] = L"reprisa-startup.txt";
  if (static_cast<std::size_t>(name - path) + sizeof kFile / sizeof kFile[0] > MAX_PATH) return;
  for (std::size_t i = 0; i < sizeof kFile / sizeof kFile[0]; ++i) name[i] = kFile[i];
  FILE* file = _wfopen(path, L"a");
  if (!file) return;
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  std::fprintf(file, "frequency %lld\n", static_cast<long long>(frequency.QuadPart));
  for (int i = 0; i < g_count; ++i)
    std::fprintf(file, "%lld %s\n", static_cast<long long>(g_marks[i].ticks), g_marks[i].step);
  std::fclose(file);
}

}  // namespace reprisa

#endif
