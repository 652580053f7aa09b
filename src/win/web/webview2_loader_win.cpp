#include "win/web/webview2_loader_win.h"

#include <shlobj.h>

#include <vector>

namespace reprisa {

namespace {

// A path of any length from a call that fills a buffer and returns the length it wrote.
template <class Fill>
std::wstring GrowingPath(Fill fill) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (int tries = 0; tries < 6; ++tries) {
    DWORD length = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 4);
  }
  return {};
}

}  // namespace

std::optional<std::wstring> RegistryRuntimeProbe::FixedFolder() {
  std::wstring folder = GrowingPath([](wchar_t* b, DWORD n) {
    DWORD needed = GetEnvironmentVariableW(L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", b, n);
    return needed >= n ? n : needed;  // too small: grow
  });
  if (folder.empty()) return std::nullopt;
  // A relative folder is taken from the current folder now, once: the DLL is loaded from a full
  // path, never searched for.
  std::wstring absolute = GrowingPath([&folder](wchar_t* b, DWORD n) {
    return GetFullPathNameW(folder.c_str(), n, b, nullptr);
  });
  if (absolute.empty()) return std::nullopt;
  return absolute;
}

std::optional<std::wstring> RegistryRuntimeProbe::StringValue(RuntimeScope scope,
                                                              const std::wstring& key,
                                                              std::wstring_view name) {
  HKEY root = scope == RuntimeScope::User ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
  REGSAM view = scope == RuntimeScope::MachineWow32 ? KEY_WOW64_32KEY
                : scope == RuntimeScope::Machine64  ? KEY_WOW64_64KEY
                                                    : 0;
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE | view, &opened) != ERROR_SUCCESS)
    return std::nullopt;
  const std::wstring value_name(name);
  std::optional<std::wstring> result;
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(opened, value_name.c_str(), nullptr, &type, nullptr, &size) ==
          ERROR_SUCCESS &&
      type == REG_SZ && size <= 64 * 1024) {
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
    DWORD got = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegQueryValueExW(opened, value_name.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(text.data()), &got) == ERROR_SUCCESS &&
        type == REG_SZ) {
      text.back() = L'\0';  // a value stored without its terminator still ends here
      result = std::wstring(text.data());
    }
  }
  RegCloseKey(opened);
  return result;
}

bool RegistryRuntimeProbe::FileExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

wv2::CreateEnvironmentFunction LoadRuntime(const RuntimeChoice& runtime) noexcept {
  // The runtime's own DLLs beside it are found from its folder, not from ours.
  HMODULE module = LoadLibraryExW(runtime.dll.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!module) return nullptr;
  auto create = reinterpret_cast<wv2::CreateEnvironmentFunction>(
      reinterpret_cast<void*>(GetProcAddress(module, kRuntimeEntryPoint)));
  if (!create) FreeLibrary(module);
  return create;
}

std::wstring UserWebViewDataFolder() {
  wchar_t local[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local)))
    return {};
  std::wstring exe = GrowingPath(
      [](wchar_t* b, DWORD n) { return GetModuleFileNameW(nullptr, b, n); });
  return WebViewDataFolder(local, exe);
}

const WebViewRuntime& InstalledWebViewRuntime() {
  static const WebViewRuntime installed{
      [] {
        RegistryRuntimeProbe probe;
        return FindRuntime(probe);
      },
      [](const RuntimeChoice& runtime) { return LoadRuntime(runtime); },
      [] { return UserWebViewDataFolder(); },
      10000};
  return installed;
}

}  // namespace reprisa
