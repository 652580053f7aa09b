#include "fake_install.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <vector>

#include "fake_runtime/protocol.h"

namespace fakewv2 {

namespace {

std::wstring g_runtime_dll, g_no_entry_dll;

constexpr wchar_t kFixedFolderVariable[] = L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER";

// By Channel: stable, beta, dev, canary.
constexpr const wchar_t* kChannelGuids[] = {
    L"{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}", L"{2CD8A007-E189-409D-A2C8-9AF4EF3C72AA}",
    L"{0D50BFEC-CD6A-4F9A-964C-C7416E3ACB10}", L"{65C35B14-6C1D-4122-AC46-7148CC9D6497}"};
const wchar_t* ChannelGuid(Channel channel) { return kChannelGuids[static_cast<int>(channel)]; }

HKEY RootOf(Hive hive) { return hive == Hive::kUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }
// A 32-bit program on 64-bit Windows reads the machine's keys in the 32-bit view.
REGSAM ViewOf(Hive hive) { return hive == Hive::kMachine ? KEY_WOW64_32KEY : 0; }

constexpr wchar_t kUpdaterKey[] = L"SOFTWARE\\Microsoft\\EdgeUpdate";
// Every key the fake creates carries this value; only keys that carry it are ever deleted, so a
// runtime really registered on the machine (or a key the updater made) is never touched.
constexpr wchar_t kMadeByTest[] = L"MadeByReprisaTest";

// The updater's keys from the top down to the channel's: EdgeUpdate, its kind, the channel.
std::vector<std::wstring> KeyChain(const wchar_t* kind, Channel channel) {
  const std::wstring top = kUpdaterKey;
  return {top, top + L"\\" + kind, top + L"\\" + kind + L"\\" + ChannelGuid(channel)};
}

bool MadeByTest(HKEY key) {
  return RegQueryValueExW(key, kMadeByTest, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// Opens the channel's key for writing, creating (and marking) what is missing on the way. A
// channel key that exists without the mark belongs to a real runtime: nothing is written then.
HKEY OpenOwnChannelKey(Hive hive, const wchar_t* kind, Channel channel) {
  HKEY key = nullptr;
  for (const std::wstring& path : KeyChain(kind, channel)) {
    if (key) RegCloseKey(key);
    key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(RootOf(hive), path.c_str(), 0, nullptr, 0,
                        KEY_SET_VALUE | KEY_QUERY_VALUE | ViewOf(hive), nullptr, &key,
                        &disposition) != ERROR_SUCCESS)
      return nullptr;
    if (disposition == REG_CREATED_NEW_KEY) {
      RegSetValueExW(key, kMadeByTest, 0, REG_SZ, reinterpret_cast<const BYTE*>(L""),
                     sizeof(wchar_t));
    }
  }
  if (!MadeByTest(key)) {
    RegCloseKey(key);
    return nullptr;
  }
  return key;
}

bool SetString(Hive hive, const wchar_t* kind, Channel channel, const wchar_t* name,
               const std::wstring& value) {
  HKEY k = OpenOwnChannelKey(hive, kind, channel);
  if (!k) return false;
  LONG rc = RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(k);
  return rc == ERROR_SUCCESS;
}

// Deletes the channel's key and then each key above it, bottom up, as far as the fake made them
// and nothing else is left in them.
void DeleteKey(Hive hive, const wchar_t* kind, Channel channel) {
  std::vector<std::wstring> chain = KeyChain(kind, channel);
  for (auto path = chain.rbegin(); path != chain.rend(); ++path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(RootOf(hive), path->c_str(), 0, KEY_QUERY_VALUE | ViewOf(hive), &key) !=
        ERROR_SUCCESS)
      continue;
    DWORD subkeys = 0;
    const bool own = MadeByTest(key) &&
                     RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                      nullptr, nullptr, nullptr, nullptr, nullptr) ==
                         ERROR_SUCCESS &&
                     subkeys == 0;
    RegCloseKey(key);
    if (!own) return;
    RegDeleteKeyExW(RootOf(hive), path->c_str(), ViewOf(hive), 0);
  }
}

void DeleteTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring path = folder + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        DeleteTree(path);
      else
        DeleteFileW(path.c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
}

std::wstring Utf8ToWide(const std::string& text) {
  if (text.empty()) return L"";
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

bool StartsWith(const std::wstring& line, const std::wstring& prefix) {
  return line.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

void SetBuilds(const std::wstring& runtime_dll, const std::wstring& no_entry_dll) {
  g_runtime_dll = runtime_dll;
  g_no_entry_dll = no_entry_dll;
}

void Unload(HMODULE module) {
  if (!module) return;
  if (HWND post = FindWindowExW(HWND_MESSAGE, nullptr, kPostClass, nullptr)) DestroyWindow(post);
  UnregisterClassW(kPostClass, module);
  UnregisterClassW(kViewClass, module);
  FreeLibrary(module);
}

std::wstring FakeRuntime::Install(const std::string& control, Hive hive, Channel channel,
                                  bool with_entry_point) {
  Remove();
  static int counter = 0;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  base_ = std::wstring(temp) + L"reprisa-fake-runtime-" + std::to_wstring(GetCurrentProcessId()) +
          L"-" + std::to_wstring(++counter);
  DeleteTree(base_);
  const std::wstring application = base_ + L"\\EdgeWebView\\Application";
  hive_ = hive;
  channel_ = channel;
  with_entry_point_ = with_entry_point;
  installed_ = true;
  if (std::wstring failed = LayOut(application + L"\\" + kVersion, control); !failed.empty())
    return failed;
  if (hive == Hive::kFixedFolder) {
    if (!SetEnvironmentVariableW(kFixedFolderVariable, version_folder_.c_str()))
      return L"cannot set the fixed-folder variable";
    return L"";
  }
  return Record(kVersion);
}

// The version folder with the DLL and its control file; a fixed-version runtime is its version
// folder alone.
std::wstring FakeRuntime::LayOut(const std::wstring& version_folder, const std::string& control) {
  version_folder_ = version_folder;
  dll_folder_ = version_folder + L"\\EBWebView\\x86";
  std::error_code failed;
  if (!std::filesystem::create_directories(dll_folder_, failed) && failed)
    return L"cannot make " + dll_folder_;
  const std::wstring& source = with_entry_point_ ? g_runtime_dll : g_no_entry_dll;
  if (!CopyFileW(source.c_str(), (dll_folder_ + L"\\EmbeddedBrowserWebView.dll").c_str(), FALSE))
    return L"cannot copy " + source;
  return SetControl(control);
}

std::wstring FakeRuntime::Record(const std::wstring& version) {
  const std::wstring application = base_ + L"\\EdgeWebView\\Application";
  if (!SetString(hive_, L"ClientState", channel_, L"EBWebView", version_folder_) ||
      !SetString(hive_, L"Clients", channel_, L"pv", version) ||
      !SetString(hive_, L"Clients", channel_, L"location", application))
    return L"cannot write the updater's keys (a runtime is registered here already?)";
  return L"";
}

std::wstring FakeRuntime::SetControl(const std::string& control) {
  HANDLE file = CreateFileW((dll_folder_ + L"\\" + kControlFile).c_str(), GENERIC_WRITE,
                            FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return L"cannot write the control file";
  DWORD written = 0;
  WriteFile(file, control.data(), static_cast<DWORD>(control.size()), &written, nullptr);
  CloseHandle(file);
  return L"";
}

std::wstring FakeRuntime::Upgrade(const std::wstring& version, const std::string& control) {
  const std::wstring old = version_folder_;
  if (std::wstring failed =
          LayOut(base_ + L"\\EdgeWebView\\Application\\" + version, control);
      !failed.empty())
    return failed;
  if (std::wstring failed = Record(version); !failed.empty()) return failed;
  DeleteTree(old);
  return L"";
}

void FakeRuntime::Remove() {
  if (!installed_) return;
  installed_ = false;
  if (hive_ == Hive::kFixedFolder) {
    SetEnvironmentVariableW(kFixedFolderVariable, nullptr);
  } else {
    DeleteKey(hive_, L"ClientState", channel_);
    DeleteKey(hive_, L"Clients", channel_);
  }
  DeleteTree(base_);
}

void FakeRuntime::RemoveAllRecords() {
  for (Hive hive : {Hive::kMachine, Hive::kUser})
    for (int channel = 0; channel < 4; ++channel) {
      DeleteKey(hive, L"ClientState", static_cast<Channel>(channel));
      DeleteKey(hive, L"Clients", static_cast<Channel>(channel));
    }
  SetEnvironmentVariableW(kFixedFolderVariable, nullptr);
}

std::vector<std::wstring> FakeRuntime::Log() const {
  std::vector<std::wstring> lines;
  if (dll_folder_.empty()) return lines;
  HANDLE file = CreateFileW((dll_folder_ + L"\\" + kLogFile).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return lines;
  std::string bytes;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
    bytes.append(buffer, read);
  CloseHandle(file);
  // Only whole lines: the fake may be writing the next one.
  size_t end = bytes.rfind('\n');
  if (end == std::string::npos) return lines;
  std::wstring text = Utf8ToWide(bytes.substr(0, end + 1));
  size_t at = 0;
  while (at < text.size()) {
    size_t nl = text.find(L'\n', at);
    lines.push_back(text.substr(at, nl - at));
    at = nl + 1;
  }
  return lines;
}

// "WebView#2.Navigate http://x" is a call of "WebView.Navigate" with the argument "http://x".
std::vector<std::wstring> CallsOf(const std::vector<std::wstring>& log, const std::wstring& call) {
  std::vector<std::wstring> args;
  const size_t dot = call.find(L'.');
  const std::wstring kind = call.substr(0, dot) + L"#";
  const std::wstring method = call.substr(dot);
  for (const std::wstring& line : log) {
    if (!StartsWith(line, kind)) continue;
    size_t at = kind.size();
    while (at < line.size() && iswdigit(line[at])) ++at;
    if (line.compare(at, method.size(), method) != 0) continue;
    at += method.size();
    if (at == line.size()) {
      args.push_back(L"");
    } else if (line[at] == L' ') {
      args.push_back(line.substr(at + 1));
    }
  }
  return args;
}

std::vector<std::wstring> LinesFrom(const std::vector<std::wstring>& log,
                                    const std::wstring& prefix) {
  std::vector<std::wstring> found;
  for (const std::wstring& line : log)
    if (StartsWith(line, prefix)) found.push_back(line);
  return found;
}

int Find(const std::vector<std::wstring>& log, const std::wstring& prefix, int from) {
  for (int i = std::max(from, 0); i < static_cast<int>(log.size()); ++i)
    if (StartsWith(log[i], prefix)) return i;
  return -1;
}

std::wstring Faults(const std::vector<std::wstring>& log) {
  std::wstring faults;
  std::set<std::wstring> live;
  for (const std::wstring& line : log) {
    if (StartsWith(line, L"UNKNOWN SLOT") || line.find(L"WRONG") != std::wstring::npos ||
        line.find(L"OVER-RELEASED") != std::wstring::npos)
      faults += line + L"\n";
    size_t space = line.find(L' ');
    if (space == std::wstring::npos) continue;
    std::wstring object = line.substr(0, space), rest = line.substr(space + 1);
    if (rest == L"created") live.insert(object);
    if (StartsWith(rest, L"freed")) live.erase(object);
  }
  for (const std::wstring& object : live) faults += object + L" was never freed\n";
  return faults;
}

std::string Dump(const std::vector<std::wstring>& log) {
  std::string out;
  for (const std::wstring& line : log) {
    for (wchar_t c : line) out += (c >= 32 && c < 127) ? static_cast<char>(c) : '?';
    out += '\n';
  }
  return out;
}

}  // namespace fakewv2
