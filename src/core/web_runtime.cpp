#include "core/web_runtime.h"

#include "core/exceptions.h"
#include "core/utf8.h"

namespace reprisa {

namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool IsAlpha(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

// The last component of a folder path (trailing separators ignored).
std::wstring_view LastComponent(std::wstring_view path) {
  while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.remove_suffix(1);
  std::size_t cut = path.find_last_of(L"\\/");
  return cut == std::wstring_view::npos ? path : path.substr(cut + 1);
}

// "file://" and the absolute POSIX path, its UTF-8 bytes percent-encoded where a path part of
// an address may not hold them as they are (blanks, "%", "?", "#", anything beyond ASCII).
std::wstring PosixFileAddress(std::wstring_view path) {
  static constexpr std::string_view kKept = "-._~!$&'()*+,;=:@/";
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::wstring address = L"file://";
  for (char byte : NarrowUtf8(path)) {
    const auto c = static_cast<unsigned char>(byte);
    if (c < 0x80 && (IsAlpha(c) || IsDigit(c) || kKept.find(byte) != std::string_view::npos)) {
      address += static_cast<wchar_t>(c);
    } else {
      address += L'%';
      address += static_cast<wchar_t>(kHex[c >> 4]);
      address += static_cast<wchar_t>(kHex[c & 0xF]);
    }
  }
  return address;
}

}  // namespace

std::optional<RuntimeVersion> ParseRuntimeVersion(std::wstring_view text) {
  RuntimeVersion v;
  std::size_t part = 0, digits = 0;
  unsigned value = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == L'.') {
      if (digits == 0 || part >= 4) return std::nullopt;
      v.parts[part++] = value;
      value = 0;
      digits = 0;
    } else if (IsDigit(text[i]) && digits < 9) {
      value = value * 10 + static_cast<unsigned>(text[i] - L'0');
      ++digits;
    } else {
      return std::nullopt;
    }
  }
  if (part != 4) return std::nullopt;
  return v;
}

std::wstring_view RuntimeChannelKey(RuntimeChannel channel) {
  switch (channel) {
    case RuntimeChannel::Stable:
      return L"{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
    case RuntimeChannel::Beta:
      return L"{2CD8A007-E189-409D-A2C8-9AF4EF3C72AA}";
    case RuntimeChannel::Dev:
      return L"{0D50BFEC-CD6A-4F9A-964C-C7416E3ACB10}";
    case RuntimeChannel::Canary:
      return L"{65C35B14-6C1D-4122-AC46-7148CC9D6497}";
  }
  return {};
}

std::wstring RuntimeClientStateKey(RuntimeChannel channel) {
  return L"SOFTWARE\\Microsoft\\EdgeUpdate\\ClientState\\" +
         std::wstring(RuntimeChannelKey(channel));
}

std::wstring JoinPath(std::wstring_view folder, std::wstring_view file) {
  std::wstring path(folder);
  while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  while (!file.empty() && (file.front() == L'\\' || file.front() == L'/')) file.remove_prefix(1);
  path += L'\\';
  path += file;
  return path;
}

std::optional<RuntimeChoice> FindRuntime(RuntimeProbe& probe) {
  if (std::optional<std::wstring> fixed = probe.FixedFolder(); fixed && !fixed->empty()) {
    std::wstring dll = JoinPath(*fixed, kRuntimeDllInFolder);
    if (!probe.FileExists(dll)) return std::nullopt;
    return RuntimeChoice{std::move(dll), true};
  }
  for (RuntimeChannel channel : kRuntimeChannels) {
    const std::wstring key = RuntimeClientStateKey(channel);
    for (RuntimeScope scope : kRuntimeScopes) {
      std::optional<std::wstring> folder = probe.StringValue(scope, key, kRuntimeFolderValue);
      if (!folder || folder->empty()) continue;
      std::optional<RuntimeVersion> version = ParseRuntimeVersion(LastComponent(*folder));
      if (!version || *version < kMinimumRuntimeVersion) continue;
      std::wstring dll = JoinPath(*folder, kRuntimeDllInFolder);
      if (probe.FileExists(dll)) return RuntimeChoice{std::move(dll), false};
    }
  }
  return std::nullopt;
}

std::wstring ProgramDataFolder(std::wstring_view local_app_data, std::wstring_view exe_path) {
  std::wstring_view name = exe_path;
  if (std::size_t cut = name.find_last_of(L"\\/"); cut != std::wstring_view::npos)
    name = name.substr(cut + 1);
  if (std::size_t dot = name.find_last_of(L'.'); dot != std::wstring_view::npos && dot > 0)
    name = name.substr(0, dot);
  while (!local_app_data.empty() &&
         (local_app_data.back() == L'\\' || local_app_data.back() == L'/'))
    local_app_data.remove_suffix(1);
  if (local_app_data.empty() || name.empty()) return {};
  return JoinPath(local_app_data, name);
}

std::wstring WebViewDataFolder(std::wstring_view local_app_data, std::wstring_view exe_path) {
  const std::wstring folder = ProgramDataFolder(local_app_data, exe_path);
  return folder.empty() ? folder : JoinPath(folder, L"WebView2");
}

std::wstring AddressWithScheme(std::wstring_view typed, const PathRules& paths) {
  while (!typed.empty() && IsBlank(typed.front())) typed.remove_prefix(1);
  while (!typed.empty() && IsBlank(typed.back())) typed.remove_suffix(1);
  if (typed.empty()) return L"about:blank";

  // A drive path: one letter, a colon, a separator.
  if (typed.size() >= 3 && IsAlpha(typed[0]) && typed[1] == L':' &&
      (typed[2] == L'\\' || typed[2] == L'/')) {
    std::wstring address = L"file:///";
    for (wchar_t c : typed) address += c == L'\\' ? L'/' : c;
    return address;
  }
  // A share: two backslashes, then the server.
  if (typed.size() > 2 && typed[0] == L'\\' && typed[1] == L'\\') {
    std::wstring address = L"file://";
    for (wchar_t c : typed.substr(2)) address += c == L'\\' ? L'/' : c;
    return address;
  }

  if (paths.posix) {
    // An absolute path; "//" starts a host name instead, as in an address without its scheme.
    if (typed[0] == L'/' && !typed.starts_with(L"//")) return PosixFileAddress(typed);
    // The home folder, when it is known as an absolute path.
    std::wstring_view home = paths.home;
    if (home.starts_with(L'/') && (typed == L"~" || typed.starts_with(L"~/"))) {
      while (home.ends_with(L'/')) home.remove_suffix(1);
      const std::wstring path = std::wstring(home) + std::wstring(typed.substr(1));
      return PosixFileAddress(path.empty() ? L"/" : path);
    }
  }

  // A scheme: a letter, then letters, digits, "+", "-" or "."; then a colon. A colon followed
  // only by digits up to the path ("localhost:8080/x") ends a host name instead.
  std::size_t colon = typed.find(L':');
  if (colon != std::wstring_view::npos && colon > 0 && IsAlpha(typed[0])) {
    bool scheme = true;
    for (std::size_t i = 1; i < colon && scheme; ++i) {
      wchar_t c = typed[i];
      scheme = IsAlpha(c) || IsDigit(c) || c == L'+' || c == L'-' || c == L'.';
    }
    if (scheme) {
      std::size_t end = colon + 1;
      while (end < typed.size() && IsDigit(typed[end])) ++end;
      const bool port = end > colon + 1 && (end == typed.size() || typed[end] == L'/' ||
                                            typed[end] == L'?' || typed[end] == L'#');
      if (!port) return std::wstring(typed);
    }
  }
  std::wstring address = L"http://";
  if (typed.starts_with(L"//")) typed.remove_prefix(2);
  address += typed;
  return address;
}

}  // namespace reprisa
