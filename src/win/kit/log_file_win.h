// A log that a user can open: one UTF-8 line for each thing the program did by itself, stamped
// with the local date and time ("2026-12-09 07:41:05  <line>", ended by CR LF), in one file whose
// size stays within a bound.
//
// Each line is one WriteFile to a handle opened for appending, so a crash or a full disk loses at
// most that line, never the lines before it; a line that a crash cut off (no line end) is ended
// before the next one is written. When a line would take the file past the bound, the oldest
// lines go first: the newest complete lines, up to half the bound, are written to a temporary
// file beside the log, which then replaces it. Nothing is made before the first line, the folder
// included. Nothing raises and nothing is shown: a line that cannot be written is lost.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace reprisa {

class LogFile {
 public:
  static constexpr DWORD kDefaultBound = 256 * 1024;
  static constexpr DWORD kMinimumBound = 1024;

  // The log at `path` (empty: none, every line is lost), at most `bound` bytes (at least
  // kMinimumBound). A missing folder is made with the first line (its last level only).
  explicit LogFile(std::wstring path, DWORD bound = kDefaultBound);
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  // Appends `line`, stamped with `time`: line ends in it become blanks, and a line longer than a
  // quarter of the bound is cut there (between characters). True when it was written.
  bool Append(std::string_view line, const SYSTEMTIME& time) noexcept;
  // The same, stamped with the local time now.
  bool Append(std::string_view line) noexcept;

  const std::wstring& Path() const noexcept { return path_; }

 private:
  bool Write(const std::string& text) noexcept;
  bool KeepNewestHalf() noexcept;

  std::wstring path_;
  DWORD bound_;
  SRWLOCK lock_ = SRWLOCK_INIT;  // one line at a time from this process
};

// "%LOCALAPPDATA%\<executable's name>\<file>", the folder the web view's data folder is in;
// empty when either part cannot be told.
std::wstring UserDataFile(std::wstring_view file);

}  // namespace reprisa
