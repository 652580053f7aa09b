// Installs the fake web view runtime for one test as the runtime's installer lays it out, reads
// what it recorded, and removes it again. Without an installed fake the tests' Wine prefix has
// no runtime at all.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace fakewv2 {

// Where the installer records a runtime: the machine's or the user's updater keys, one channel
// each; or a fixed-version folder named by WEBVIEW2_BROWSER_EXECUTABLE_FOLDER.
enum class Hive { kMachine, kUser, kFixedFolder };
enum class Channel { kStable, kBeta, kDev, kCanary };

// The two builds of the fake (set once by main): with and without the entry point.
void SetBuilds(const std::wstring& runtime_dll, const std::wstring& no_entry_dll);
// Frees a fake loaded into this process (null: nothing), its windows before its code.
void Unload(HMODULE module);

constexpr wchar_t kVersion[] = L"120.0.2210.91";

class FakeRuntime {
 public:
  FakeRuntime() = default;
  FakeRuntime(const FakeRuntime&) = delete;
  FakeRuntime& operator=(const FakeRuntime&) = delete;
  ~FakeRuntime() { Remove(); }

  // Lays out <fresh folder>\EdgeWebView\Application\<version>\EBWebView\x86\ with the fake as
  // EmbeddedBrowserWebView.dll and the control text as its control file, and records it.
  // Returns an empty text, or what failed.
  std::wstring Install(const std::string& control, Hive hive = Hive::kMachine,
                       Channel channel = Channel::kStable, bool with_entry_point = true);
  // Rewrites the control file (read at every entry point's call and every load).
  std::wstring SetControl(const std::string& control);
  // What the runtime's updater does while programs run: lays out `version` beside the installed
  // version with the same control text, records it instead, and removes the old version's folder
  // as far as it can (the old DLL may still be loaded). From now on DllFolder and Log are the new
  // version's.
  std::wstring Upgrade(const std::wstring& version, const std::string& control);
  // Removes what Install made (the program using it must have ended).
  void Remove();
  bool Installed() const { return installed_; }
  // ...\EBWebView\x86, where the DLL, its control file and its log are.
  const std::wstring& DllFolder() const { return dll_folder_; }

  std::vector<std::wstring> Log() const;

  // Every record of every channel in both hives that a fake made, and the fixed-folder variable:
  // what an aborted run may have left. A runtime really registered on the machine stays.
  static void RemoveAllRecords();

 private:
  std::wstring LayOut(const std::wstring& version_folder, const std::string& control);
  std::wstring Record(const std::wstring& version);

  std::wstring base_;  // the fresh folder
  std::wstring dll_folder_;
  std::wstring version_folder_;
  bool with_entry_point_ = true;
  Hive hive_ = Hive::kMachine;
  Channel channel_ = Channel::kStable;
  bool installed_ = false;
};

// ---- reading the log ----------------------------------------------------------------------

// The arguments of every call of Kind.method ("WebView.Navigate"), of any instance, in order.
std::vector<std::wstring> CallsOf(const std::vector<std::wstring>& log, const std::wstring& call);
std::vector<std::wstring> LinesFrom(const std::vector<std::wstring>& log,
                                    const std::wstring& prefix);
// The index of the first line at or after `from` that begins with prefix, or -1.
int Find(const std::vector<std::wstring>& log, const std::wstring& prefix, int from = 0);
// What the log says is wrong with how its objects were used: calls past a table, handlers that
// refused their interface, over-releases, objects never freed. Empty when nothing.
std::wstring Faults(const std::vector<std::wstring>& log);
std::string Dump(const std::vector<std::wstring>& log);

}  // namespace fakewv2
