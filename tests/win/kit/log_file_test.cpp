// The user's log file on the real file system, in a scratch folder of its own: lines stamped with
// their time, the bound kept by whichever writer meets it (also one started after another), a line
// a crash cut off ended before the next, and a folder that cannot be written costing the line and
// nothing else.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "win/kit/log_file_win.h"

namespace reprisa {
namespace {

// A fresh folder under the temporary folder, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"reprisa-log-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++count_);
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~ScratchFolder() {
    const std::wstring from = path_ + L'\0';  // a list of paths, ended by an empty one
    SHFILEOPSTRUCTW remove{nullptr, FO_DELETE, from.c_str(), nullptr,
                           FOF_NO_UI | FOF_NOCONFIRMATION, FALSE, nullptr, nullptr};
    SHFileOperationW(&remove);
  }
  std::wstring operator/(const wchar_t* name) const { return path_ + L"\\" + name; }

 private:
  static inline int count_ = 0;
  std::wstring path_;
};

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Contents(const std::wstring& path) {
  std::string text;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return text;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
    text.append(buffer, read);
  CloseHandle(file);
  return text;
}

void Put(const std::wstring& path, const std::string& text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

// Nothing before the first line, not even the folder; then each line, UTF-8 as given, after its
// date and time, one line each however the text was broken.
TEST(LogFile, AppendsEachLineAfterItsDateAndTime) {
  ScratchFolder scratch;
  const std::wstring path = scratch / L"reprisa\\reprisa.log";
  LogFile log(path);
  EXPECT_FALSE(Exists(scratch / L"reprisa")) << "made before the first line";
  const struct {
    SYSTEMTIME time;
    std::string line, written;
  } kLines[] = {
      {{2026, 3, 0, 4, 5, 6, 7, 0}, "Seite zurückgeholt, neu laden in 5 s",
       "2026-03-04 05:06:07  Seite zurückgeholt, neu laden in 5 s"},
      {{2026, 12, 0, 31, 23, 59, 58, 0}, "zwei\nZeilen\r\nin einer",
       "2026-12-31 23:59:58  zwei Zeilen  in einer"},
  };
  std::string expected;
  for (const auto& row : kLines) {
    ASSERT_TRUE(log.Append(row.line, row.time)) << row.line;
    expected += row.written + "\r\n";
  }
  EXPECT_EQ(Contents(path), expected);
  // Stamped with the local time now when none is given.
  auto text = [](const SYSTEMTIME& t) {
    char out[32];
    std::snprintf(out, sizeof out, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond);
    return std::string(out);
  };
  SYSTEMTIME before, after;
  GetLocalTime(&before);
  ASSERT_TRUE(log.Append("jetzt"));
  GetLocalTime(&after);
  const std::string last = Lines(Contents(path)).back();
  EXPECT_TRUE(text(before) <= last && last <= text(after) + "  jetzt") << last;
}

// Past the bound the oldest lines go and the newest stay, whole: also when the file was filled by
// an earlier writer (the program before a restart), and the temporary file is gone afterwards.
TEST(LogFile, KeepsItsBoundAcrossARestart) {
  ScratchFolder scratch;
  const std::wstring path = scratch / L"reprisa.log";
  constexpr DWORD kBound = 1024;
  const SYSTEMTIME time{2026, 1, 0, 2, 3, 4, 5, 0};
  auto line = [](int n) { return "Medien: Fehler gemeldet, neu laden #" + std::to_string(n); };
  int n = 0;
  {
    LogFile first(path, kBound);
    while (Contents(path).size() + 80 < kBound) ASSERT_TRUE(first.Append(line(++n), time));
  }
  const int before_restart = n;
  LogFile second(path, kBound);
  for (int i = 0; i < 40; ++i) {
    ASSERT_TRUE(second.Append(line(++n), time));
    ASSERT_LE(Contents(path).size(), kBound) << "after line " << n;
  }
  const std::string text = Contents(path);
  ASSERT_TRUE(text.ends_with("\r\n"));
  const std::vector<std::string> lines = Lines(text);
  ASSERT_GE(lines.size() * 80, kBound / 2 - 80) << "more than the oldest lines went\n" << text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const int number = n - static_cast<int>(lines.size() - 1 - i);
    EXPECT_EQ(lines[i], "2026-01-02 03:04:05  " + line(number)) << text;
  }
  EXPECT_GT(n - static_cast<int>(lines.size()), before_restart) << "never trimmed";
  EXPECT_FALSE(Exists(path + L".tmp"));
}

// A crash cut the last line off (no line end): the next line starts on a line of its own, also
// when it takes the file past its bound.
TEST(LogFile, EndsALineCutByACrashBeforeTheNext) {
  const SYSTEMTIME time{2026, 5, 0, 6, 7, 8, 9, 0};
  const std::string whole = "2026-05-06 07:08:00  Seite zurückgeholt\r\n";
  const std::string cut = "2026-05-06 07:08:01  Web-Prozess ers";
  const struct {
    const char* name;
    std::string before;  // what the crash left
    std::string after;   // what is there after one more line
  } kCases[] = {
      {"small", whole + cut, whole + cut + "\r\n2026-05-06 07:08:09  weiter\r\n"},
      {"at the bound", std::string(1000, 'x') + "\r\n" + whole + cut,
       whole + cut + "\r\n2026-05-06 07:08:09  weiter\r\n"},
  };
  for (const auto& c : kCases) {
    ScratchFolder scratch;
    const std::wstring path = scratch / L"reprisa.log";
    ASSERT_NO_FATAL_FAILURE(Put(path, c.before));
    LogFile log(path, 1024);
    ASSERT_TRUE(log.Append("weiter", time)) << c.name;
    EXPECT_EQ(Contents(path), c.after) << c.name;
  }
}

// Where the log cannot be written, the line is lost and nothing else happens: nothing raised,
// nothing made, nothing in the way touched. Once the way is free, the next line is written.
TEST(LogFile, ALogThatCannotBeWrittenCostsOnlyItsLines) {
  ScratchFolder scratch;
  ASSERT_NO_FATAL_FAILURE(Put(scratch / L"blocker", "a file where the folder would be"));
  ASSERT_TRUE(CreateDirectoryW((scratch / L"folder.log").c_str(), nullptr));
  const struct {
    const char* name;
    std::wstring path;
  } kUnwritable[] = {
      {"its folder is a file", scratch / L"blocker\\reprisa.log"},
      {"its name is a folder", scratch / L"folder.log"},
      {"no path", L""},
  };
  for (const auto& c : kUnwritable) {
    LogFile log(c.path, 1024);
    EXPECT_FALSE(log.Append("verloren")) << c.name;
    EXPECT_FALSE(log.Append("auch verloren")) << c.name;
  }
  EXPECT_EQ(Contents(scratch / L"blocker"), "a file where the folder would be");
  LogFile log(scratch / L"blocker\\reprisa.log", 1024);
  ASSERT_TRUE(DeleteFileW((scratch / L"blocker").c_str()));
  EXPECT_TRUE(log.Append("wieder da"));
  EXPECT_TRUE(Contents(scratch / L"blocker\\reprisa.log").ends_with("  wieder da\r\n"));
}

}  // namespace
}  // namespace reprisa
