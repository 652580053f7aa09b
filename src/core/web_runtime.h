// Finding the system's modern web view runtime, and the rules its host applies to what it is
// given: where an installed runtime is recorded, which one is taken, where its data goes, and how
// a typed address becomes one the engines are given. No platform calls: the host answers the
// lookups (registry values, file existence) through RuntimeProbe.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace reprisa {

// A four-part version number as the runtime's folders are named ("120.0.2210.91").
struct RuntimeVersion {
  std::array<unsigned, 4> parts{};
  friend auto operator<=>(const RuntimeVersion&, const RuntimeVersion&) = default;
};

// Reads "a.b.c.d" (each part decimal, at most nine digits, exactly four parts, nothing else).
std::optional<RuntimeVersion> ParseRuntimeVersion(std::wstring_view text);

// The oldest runtime worth trying.
inline constexpr RuntimeVersion kMinimumRuntimeVersion{{86, 0, 616, 0}};

// Where the runtime's updater records installs, in the order they are tried.
enum class RuntimeScope { MachineWow32, Machine64, User };
enum class RuntimeChannel { Stable, Beta, Dev, Canary };

inline constexpr std::array<RuntimeChannel, 4> kRuntimeChannels{
    RuntimeChannel::Stable, RuntimeChannel::Beta, RuntimeChannel::Dev, RuntimeChannel::Canary};
inline constexpr std::array<RuntimeScope, 3> kRuntimeScopes{
    RuntimeScope::MachineWow32, RuntimeScope::Machine64, RuntimeScope::User};

// The channel's key name under the updater's ClientState key ("{F3017226-...}").
std::wstring_view RuntimeChannelKey(RuntimeChannel channel);
// "SOFTWARE\Microsoft\EdgeUpdate\ClientState\{channel}"
std::wstring RuntimeClientStateKey(RuntimeChannel channel);
// The string value under that key naming the runtime's version folder.
inline constexpr std::wstring_view kRuntimeFolderValue = L"EBWebView";
// The DLL inside a version folder (or a fixed-version folder), for a 32-bit program.
inline constexpr std::wstring_view kRuntimeDllInFolder =
    L"EBWebView\\x86\\EmbeddedBrowserWebView.dll";
// Its entry point, exported by name.
inline constexpr char kRuntimeEntryPoint[] = "CreateWebViewEnvironmentWithOptionsInternal";

class RuntimeProbe {
 public:
  virtual ~RuntimeProbe() = default;
  // The fixed-version folder the user or an administrator named for this run, if any.
  virtual std::optional<std::wstring> FixedFolder() = 0;
  // The string value `name` of `key` in the given scope, if it exists and is a string.
  virtual std::optional<std::wstring> StringValue(RuntimeScope scope, const std::wstring& key,
                                                  std::wstring_view name) = 0;
  virtual bool FileExists(const std::wstring& path) = 0;
};

struct RuntimeChoice {
  std::wstring dll;  // full path of the runtime's DLL
  bool fixed = false;  // a fixed-version folder rather than an installed runtime
  friend bool operator==(const RuntimeChoice&, const RuntimeChoice&) = default;
};

// The runtime a loader takes: a fixed-version folder when one is named (and only it), else the
// first channel, stable before beta, dev and canary, that is recorded in the machine's 32-bit
// view, its 64-bit view or the user's part, with a version folder of at least the minimum
// version that holds the DLL. Nothing when there is none.
std::optional<RuntimeChoice> FindRuntime(RuntimeProbe& probe);

// "<folder>\<file>", with one backslash between them.
std::wstring JoinPath(std::wstring_view folder, std::wstring_view file);

// The program's data folder: "<local app data>\<program name>", the program name being the
// executable's file name without folder and extension (as the registry key is named). Empty when
// either part is missing.
std::wstring ProgramDataFolder(std::wstring_view local_app_data, std::wstring_view exe_path);

// The web view's user-data folder: "WebView2" in the program's data folder. Empty when either
// part is missing: the runtime would otherwise keep its data beside the executable.
std::wstring WebViewDataFolder(std::wstring_view local_app_data, std::wstring_view exe_path);

// The paths a typed address may be besides a drive path or a share: on a POSIX system an absolute
// path ("/home/u/page.html") and one in the user's home folder ("~/page.html", "~").
struct PathRules {
  bool posix = false;
  std::wstring_view home;  // the user's home folder; empty: "~" means nothing
};

// The address both engines are given for a typed one. The web view takes only absolute addresses,
// and each engine would guess differently. Blanks around the text go; an address with a scheme
// stays as it is; a drive path ("C:\x") or a share ("\\server\x") becomes a file address, and
// so do the POSIX paths `paths` allows (percent-encoded as UTF-8); an empty text opens the empty
// page; everything else ("example.com", "localhost:8080/x", "//host/x") is opened over http.
std::wstring AddressWithScheme(std::wstring_view typed, const PathRules& paths = {});

}  // namespace reprisa
