#include "win/kit/log_file_win.h"

#include <shlobj.h>

#include <algorithm>
#include <utility>

#include "core/web_runtime.h"

namespace reprisa {

namespace {

constexpr char kLineEnd[] = "\r\n";

// Owns a file handle and closes it.
class File {
 public:
  explicit File(HANDLE handle) noexcept : handle_(handle) {}
  ~File() { Close(); }
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  HANDLE Get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != INVALID_HANDLE_VALUE; }
  void Reset(HANDLE handle = INVALID_HANDLE_VALUE) noexcept {
    if (*this) CloseHandle(handle_);
    handle_ = handle;
  }
  void Close() noexcept { Reset(); }

  // The file's size; -1 when it cannot be told.
  LONGLONG Size() const noexcept {
    LARGE_INTEGER size;
    return GetFileSizeEx(handle_, &size) ? size.QuadPart : -1;
  }

  // Reads up to `count` bytes from `offset`; false when that fails.
  bool ReadAt(LONGLONG offset, DWORD count, std::string& out) const {
    out.resize(count);
    LARGE_INTEGER at;
    at.QuadPart = offset;
    DWORD read = 0;
    if (!SetFilePointerEx(handle_, at, nullptr, FILE_BEGIN) ||
        !ReadFile(handle_, out.data(), count, &read, nullptr))
      return false;
    out.resize(read);
    return true;
  }

  // One WriteFile of all of `text`; with `at_end`, at the file's end whatever the file pointer
  // says (the offset of all ones), as a handle opened for appending only writes anyway.
  bool WriteAll(const std::string& text, bool at_end = false) const noexcept {
    OVERLAPPED end{};
    end.Offset = end.OffsetHigh = 0xFFFFFFFF;
    DWORD written = 0;
    return WriteFile(handle_, text.data(), static_cast<DWORD>(text.size()), &written,
                     at_end ? &end : nullptr) &&
           written == text.size();
  }

 private:
  HANDLE handle_;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opened for appending only (every write goes to the end, whatever else writes to the file) and
// for reading its last line end; made when missing.
HANDLE OpenForAppend(const std::wstring& path) {
  return CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_DATA | SYNCHRONIZE, kShareAll,
                     nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void AppendNumber(std::string& out, unsigned value, int digits) {
  char text[8];
  for (int i = digits - 1; i >= 0; --i, value /= 10) text[i] = static_cast<char>('0' + value % 10);
  out.append(text, static_cast<std::size_t>(digits));
}

// "YYYY-MM-DD HH:MM:SS  " for `time`.
std::string Stamp(const SYSTEMTIME& time) {
  std::string stamp;
  AppendNumber(stamp, time.wYear, 4);
  stamp += '-';
  AppendNumber(stamp, time.wMonth, 2);
  stamp += '-';
  AppendNumber(stamp, time.wDay, 2);
  stamp += ' ';
  AppendNumber(stamp, time.wHour, 2);
  stamp += ':';
  AppendNumber(stamp, time.wMinute, 2);
  stamp += ':';
  AppendNumber(stamp, time.wSecond, 2);
  stamp += "  ";
  return stamp;
}

// The folder part of `path`; empty when it has none.
std::wstring FolderOf(const std::wstring& path) {
  const std::size_t cut = path.find_last_of(L"\\/");
  return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}

}  // namespace

LogFile::LogFile(std::wstring path, DWORD bound)
    : path_(std::move(path)), bound_(std::max(bound, kMinimumBound)) {}

bool LogFile::Append(std::string_view line) noexcept {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return Append(line, now);
}

bool LogFile::Append(std::string_view line, const SYSTEMTIME& time) noexcept {
  if (path_.empty()) return false;
  try {
    std::size_t length = std::min<std::size_t>(line.size(), bound_ / 4);
    // Cut between characters: never inside a UTF-8 sequence.
    if (length < line.size())
      while (length > 0 && (static_cast<unsigned char>(line[length]) & 0xC0) == 0x80) --length;
    std::string text = Stamp(time);
    for (char c : line.substr(0, length)) text += c == '\r' || c == '\n' ? ' ' : c;
    text += kLineEnd;
    AcquireSRWLockExclusive(&lock_);
    const bool written = Write(text);
    ReleaseSRWLockExclusive(&lock_);
    return written;
  } catch (...) {
    return false;  // no memory for the line
  }
}

bool LogFile::Write(const std::string& text) noexcept {
  try {
    File file(OpenForAppend(path_));
    if (!file && GetLastError() == ERROR_PATH_NOT_FOUND &&
        CreateDirectoryW(FolderOf(path_).c_str(), nullptr))
      file.Reset(OpenForAppend(path_));
    if (!file) return false;
    LONGLONG size = file.Size();
    if (size < 0) return false;
    if (static_cast<ULONGLONG>(size) + text.size() > bound_) {
      file.Close();
      const bool trimmed = KeepNewestHalf();
      file.Reset(OpenForAppend(path_));
      if (!file || (size = file.Size()) < 0) return false;
      // Whatever happens, the file never grows past twice its bound.
      if (!trimmed && static_cast<ULONGLONG>(size) + text.size() > 2ull * bound_) return false;
    }
    // A last line without its end (a crash cut it) is ended first: ours starts a line.
    std::string last;
    if (size > 0 && file.ReadAt(size - 1, 1, last) && last != "\n")
      return file.WriteAll(kLineEnd + text, true);
    return file.WriteAll(text, true);
  } catch (...) {
    return false;
  }
}

bool LogFile::KeepNewestHalf() noexcept {
  try {
    std::string kept;
    {
      File file(CreateFileW(path_.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
      const LONGLONG size = file ? file.Size() : -1;
      if (size < 0) return false;
      const DWORD keep = bound_ / 2;
      // One byte before the part kept tells whether it begins with a whole line.
      const LONGLONG from = size > keep ? size - keep - 1 : 0;
      if (!file.ReadAt(from, static_cast<DWORD>(size - from), kept)) return false;
      if (from > 0) {
        const std::size_t end = kept.find('\n');
        kept.erase(0, end == std::string::npos ? kept.size() : end + 1);
      }
    }
    const std::wstring temporary = path_ + L".tmp";
    File out(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return false;
    const bool written = (kept.empty() || out.WriteAll(kept)) && FlushFileBuffers(out.Get());
    out.Close();
    if (written && MoveFileExW(temporary.c_str(), path_.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return true;
    DeleteFileW(temporary.c_str());
    return false;
  } catch (...) {
    return false;
  }
}

std::wstring UserDataFile(std::wstring_view file) {
  wchar_t local[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local)))
    return {};
  std::wstring exe(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size()));
    if (length == 0) return {};
    if (length < exe.size()) {
      exe.resize(length);
      break;
    }
    if (exe.size() >= 32768) return {};
    exe.resize(exe.size() * 2);
  }
  const std::wstring folder = ProgramDataFolder(local, exe);
  return folder.empty() ? folder : JoinPath(folder, file);
}

}  // namespace reprisa
