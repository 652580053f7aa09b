// Our own loader of the system's modern web view runtime: finds an installed runtime (or the
// fixed-version folder named for this run) the way the runtime's own loader does, loads its DLL
// and keeps it loaded, and names the folder for the web view's user data.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "core/web_runtime.h"
#include "win/web/webview2_api_win.h"

namespace reprisa {

// The registry values and files of this machine, as the portable lookup asks for them. The
// fixed-version folder comes from WEBVIEW2_BROWSER_EXECUTABLE_FOLDER, which the runtime's own
// loader honours too.
class RegistryRuntimeProbe : public RuntimeProbe {
 public:
  std::optional<std::wstring> FixedFolder() override;
  std::optional<std::wstring> StringValue(RuntimeScope scope, const std::wstring& key,
                                          std::wstring_view name) override;
  bool FileExists(const std::wstring& path) override;
};

// Loads the runtime's DLL (for good: it is never freed) and finds its entry point. Null when
// either fails; a DLL without the entry point is freed again.
wv2::CreateEnvironmentFunction LoadRuntime(const RuntimeChoice& runtime) noexcept;

// "%LOCALAPPDATA%\<executable name>\WebView2" from the shell's folder and this executable's
// file name; empty when either is unknown.
std::wstring UserWebViewDataFolder();

// Where a browser component gets its runtime from. The installed one is the default; tests give
// their own.
struct WebViewRuntime {
  std::function<std::optional<RuntimeChoice>()> find;
  std::function<wv2::CreateEnvironmentFunction(const RuntimeChoice&)> load;
  std::function<std::wstring()> data_folder;
  // How long each step of creating (environment, then controller) may take to answer.
  UINT answer_timeout_ms = 10000;
};
const WebViewRuntime& InstalledWebViewRuntime();

}  // namespace reprisa
