#include "core/web_runtime.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "core/exceptions.h"
#include "core/utf8.h"

namespace reprisa {
namespace {

constexpr wchar_t kStable[] = L"{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
constexpr wchar_t kBeta[] = L"{2CD8A007-E189-409D-A2C8-9AF4EF3C72AA}";
constexpr wchar_t kCanary[] = L"{65C35B14-6C1D-4122-AC46-7148CC9D6497}";

std::wstring Key(const wchar_t* channel) {
  return std::wstring(L"SOFTWARE\\Microsoft\\EdgeUpdate\\ClientState\\") + channel;
}

// A machine as the lookup sees it: registry values per scope, files that exist.
struct FakeMachine : RuntimeProbe {
  std::optional<std::wstring> fixed;
  std::map<std::tuple<RuntimeScope, std::wstring, std::wstring>, std::wstring> values;
  std::set<std::wstring> files;
  std::vector<std::wstring> asked;  // "scope key" in the order asked

  void Install(RuntimeScope scope, const wchar_t* channel, const std::wstring& folder,
               bool with_dll = true) {
    values[{scope, Key(channel), L"EBWebView"}] = folder;
    if (with_dll) files.insert(JoinPath(folder, L"EBWebView\\x86\\EmbeddedBrowserWebView.dll"));
  }
  std::optional<std::wstring> FixedFolder() override { return fixed; }
  std::optional<std::wstring> StringValue(RuntimeScope scope, const std::wstring& key,
                                          std::wstring_view name) override {
    asked.push_back(std::to_wstring(static_cast<int>(scope)) + L" " + key);
    auto it = values.find({scope, key, std::wstring(name)});
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
  bool FileExists(const std::wstring& path) override { return files.count(path) != 0; }
};

const std::wstring kMachineStable = L"C:\\PF\\EdgeWebView\\Application\\120.0.2210.91";
const std::wstring kUserBeta = L"C:\\Users\\u\\AppData\\Local\\EdgeWebView\\Application\\121.0.1.2";

std::wstring Dll(const std::wstring& folder) {
  return folder + L"\\EBWebView\\x86\\EmbeddedBrowserWebView.dll";
}
RuntimeChoice Installed(const std::wstring& folder) { return {Dll(folder), false}; }

constexpr RuntimeScope kWow32 = RuntimeScope::MachineWow32;
constexpr RuntimeScope kUser = RuntimeScope::User;

// The machine's registry values (with the DLL in the folder unless `dll` is false), and a
// fixed-version folder where one is named.
struct LookupCase {
  const char* name;
  struct Install {
    RuntimeScope scope;
    const wchar_t* channel;
    std::wstring folder;
    bool dll = true;
  };
  std::vector<Install> installs;
  std::optional<RuntimeChoice> expected;
  std::optional<std::wstring> fixed = std::nullopt;
  bool fixed_dll = false;  // D:\fixed holds the DLL
};
const LookupCase::Install kMachineStableInstall{kWow32, kStable, kMachineStable};

class RuntimeLookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(RuntimeLookup, ChoosesTheFolderALoaderWould) {
  const LookupCase& c = GetParam();
  FakeMachine machine;
  for (const auto& i : c.installs) machine.Install(i.scope, i.channel, i.folder, i.dll);
  machine.fixed = c.fixed;
  if (c.fixed_dll) machine.files.insert(Dll(L"D:\\fixed"));
  EXPECT_EQ(FindRuntime(machine), c.expected);
}

const LookupCase kLookupCases[] = {
    {"nothing_installed", {}, std::nullopt},
    {"machine_stable_32bit_view", {kMachineStableInstall}, Installed(kMachineStable)},
    {"machine_stable_64bit_view", {{RuntimeScope::Machine64, kStable, kMachineStable}},
     Installed(kMachineStable)},
    {"user_only", {{kUser, kBeta, kUserBeta}}, Installed(kUserBeta)},
    // Stable anywhere wins over beta in the machine's part.
    {"stable_before_beta", {{kWow32, kBeta, kUserBeta}, {kUser, kStable, kMachineStable}},
     Installed(kMachineStable)},
    {"machine_before_user_in_one_channel", {{kUser, kStable, kUserBeta}, kMachineStableInstall},
     Installed(kMachineStable)},
    // A recorded folder without the DLL (a broken or half-removed install) is passed over.
    {"dll_missing_goes_on_to_the_next",
     {{kWow32, kStable, kMachineStable, false}, {kUser, kCanary, kUserBeta}},
     Installed(kUserBeta)},
    {"too_old", {{kWow32, kStable, L"C:\\EdgeWebView\\86.0.615.99"}}, std::nullopt},
    {"oldest_worth_trying", {{kWow32, kStable, L"C:\\EdgeWebView\\86.0.616.0\\"}},
     Installed(L"C:\\EdgeWebView\\86.0.616.0")},
    {"folder_not_named_by_a_version", {{kWow32, kStable, L"C:\\EdgeWebView\\current"}},
     std::nullopt},
    {"empty_value", {{kWow32, kStable, L"", false}}, std::nullopt},
    // A named fixed-version folder is the only one tried, even when it lacks the DLL.
    {"fixed_folder", {kMachineStableInstall}, RuntimeChoice{Dll(L"D:\\fixed"), true},
     L"D:\\fixed\\", true},
    {"fixed_folder_without_dll", {kMachineStableInstall}, std::nullopt, L"D:\\fixed"},
    {"fixed_folder_empty_is_not_set", {kMachineStableInstall}, Installed(kMachineStable), L""},
};
INSTANTIATE_TEST_SUITE_P(Table, RuntimeLookup, ::testing::ValuesIn(kLookupCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RuntimeLookupOrder, ChannelsOuterScopesInner) {
  FakeMachine machine;
  FindRuntime(machine);
  std::vector<std::wstring> expected;
  for (const wchar_t* channel :
       {kStable, kBeta, L"{0D50BFEC-CD6A-4F9A-964C-C7416E3ACB10}", kCanary})
    for (int scope : {0, 1, 2}) expected.push_back(std::to_wstring(scope) + L" " + Key(channel));
  EXPECT_EQ(machine.asked, expected);
}

struct VersionCase {
  const wchar_t* text;
  std::optional<RuntimeVersion> expected;
};

class VersionText : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionText, ParsesFourDecimalParts) {
  EXPECT_EQ(ParseRuntimeVersion(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, VersionText,
    ::testing::Values(VersionCase{L"120.0.2210.91", RuntimeVersion{{120, 0, 2210, 91}}},
                      VersionCase{L"0.0.0.0", RuntimeVersion{{0, 0, 0, 0}}},
                      VersionCase{L"999999999.1.2.3", RuntimeVersion{{999999999, 1, 2, 3}}},
                      VersionCase{L"1234567890.1.2.3", std::nullopt},  // would overflow
                      VersionCase{L"120.0.2210", std::nullopt},
                      VersionCase{L"120.0.2210.91.1", std::nullopt},
                      VersionCase{L"120..2210.91", std::nullopt},
                      VersionCase{L"120.0.2210.91 ", std::nullopt},
                      VersionCase{L"-1.0.0.0", std::nullopt},
                      VersionCase{L"", std::nullopt}));

TEST(VersionOrder, ComparesPartByPart) {
  EXPECT_LT(*ParseRuntimeVersion(L"86.0.615.999"), kMinimumRuntimeVersion);
  EXPECT_GT(*ParseRuntimeVersion(L"100.0.0.0"), kMinimumRuntimeVersion);
  EXPECT_GT(*ParseRuntimeVersion(L"86.0.616.1"), kMinimumRuntimeVersion);
}

struct DataFolderCase {
  const wchar_t* local;
  const wchar_t* exe;
  const wchar_t* expected;
};

class DataFolder : public ::testing::TestWithParam<DataFolderCase> {};

TEST_P(DataFolder, NamedAfterTheExecutableUnderLocalAppData) {
  EXPECT_EQ(WebViewDataFolder(GetParam().local, GetParam().exe), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DataFolder,
    ::testing::Values(
        DataFolderCase{L"C:\\Users\\u\\AppData\\Local", L"C:\\Tools\\reprisa.exe",
                       L"C:\\Users\\u\\AppData\\Local\\reprisa\\WebView2"},
        DataFolderCase{L"C:\\Local\\", L"D:\\x.y\\My Player.v2.EXE", L"C:\\Local\\My Player.v2\\WebView2"},
        DataFolderCase{L"C:\\Local", L"reprisa", L"C:\\Local\\reprisa\\WebView2"},
        DataFolderCase{L"C:\\Local", L"C:/a/b/reprisa.exe", L"C:\\Local\\reprisa\\WebView2"},
        // A leading dot is part of the name, not an extension.
        DataFolderCase{L"C:\\Local", L"C:\\Tools\\.reprisa", L"C:\\Local\\.reprisa\\WebView2"},
        // Never beside the executable: without either part there is no folder.
        DataFolderCase{L"", L"C:\\Tools\\reprisa.exe", L""},
        DataFolderCase{L"\\", L"C:\\Tools\\reprisa.exe", L""},
        DataFolderCase{L"C:\\Local", L"C:\\Tools\\", L""},
        DataFolderCase{L"C:\\Local", L"", L""}));

struct AddressCase {
  const wchar_t* typed;
  const wchar_t* expected;
  PathRules paths = {};
};

void PrintTo(const AddressCase& c, std::ostream* os) { *os << '"' << NarrowUtf8(c.typed) << '"'; }

constexpr PathRules kPosix{true, L"/home/j\u00F6rg"};

class AddressScheme : public ::testing::TestWithParam<AddressCase> {};

TEST_P(AddressScheme, AbsoluteAsTheEnginesNeedIt) {
  EXPECT_EQ(AddressWithScheme(GetParam().typed, GetParam().paths), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AddressScheme,
    ::testing::Values(
        AddressCase{L"www.example.com", L"http://www.example.com"},
        AddressCase{L"example.com/watch?v=1", L"http://example.com/watch?v=1"},
        AddressCase{L"  example.com \t", L"http://example.com"},
        AddressCase{L"http://example.com", L"http://example.com"},
        AddressCase{L"HTTPS://example.com/a b", L"HTTPS://example.com/a b"},
        AddressCase{L"about:blank", L"about:blank"},
        AddressCase{L"file:///C:/x.html", L"file:///C:/x.html"},
        AddressCase{L"view-source:http://a", L"view-source:http://a"},
        AddressCase{L"a+b.c-d:rest", L"a+b.c-d:rest"},
        // host:port is not a scheme
        AddressCase{L"localhost:8080", L"http://localhost:8080"},
        AddressCase{L"localhost:8080/path", L"http://localhost:8080/path"},
        AddressCase{L"127.0.0.1:8080/x", L"http://127.0.0.1:8080/x"},
        AddressCase{L"example.com:81?q", L"http://example.com:81?q"},
        AddressCase{L"[::1]:8080/", L"http://[::1]:8080/"},
        AddressCase{L"mailto:someone@example.com", L"mailto:someone@example.com"},
        AddressCase{L"user:pass@host", L"user:pass@host"},
        AddressCase{L"//example.com/x", L"http://example.com/x"},
        AddressCase{L"1st.example.com:x", L"http://1st.example.com:x"},
        AddressCase{L"C:\\Music\\page.html", L"file:///C:/Music/page.html"},
        AddressCase{L"c:/Music/page.html", L"file:///c:/Music/page.html"},
        AddressCase{L"C:\\", L"file:///C:/"},
        AddressCase{L"\\\\server\\share\\p.html", L"file://server/share/p.html"},
        AddressCase{L"\\\\", L"http://\\\\"},  // no server: not a share
        AddressCase{L"", L"about:blank"},
        AddressCase{L" \r\n", L"about:blank"},
        AddressCase{L":8080", L"http://:8080"},
        // POSIX paths, percent-encoded as UTF-8; the same rules as above otherwise.
        AddressCase{L"/home/u/page.html", L"file:///home/u/page.html", kPosix},
        AddressCase{L" /tmp/a b#1?%.html ", L"file:///tmp/a%20b%231%3F%25.html", kPosix},
        AddressCase{L"/-._~!$&'()*+,;=:@\"<>", L"file:///-._~!$&'()*+,;=:@%22%3C%3E", kPosix},
        AddressCase{L"/", L"file:///", kPosix},
        AddressCase{L"~/Musik/\u00FC.html", L"file:///home/j%C3%B6rg/Musik/%C3%BC.html", kPosix},
        AddressCase{L"~", L"file:///home/j%C3%B6rg", kPosix},
        AddressCase{L"~/x", L"file:///home/u/x", {true, L"/home/u//"}},
        AddressCase{L"~", L"file:///", {true, L"/"}},
        AddressCase{L"~/x", L"file:///x", {true, L"/"}},
        AddressCase{L"~/x", L"http://~/x", {true, L""}},  // no home folder known
        AddressCase{L"~/x", L"http://~/x"},               // Windows has none
        AddressCase{L"~other/x", L"http://~other/x", kPosix},
        AddressCase{L"//example.com/x", L"http://example.com/x", kPosix},
        AddressCase{L"C:\\Music\\page.html", L"file:///C:/Music/page.html", kPosix},
        AddressCase{L"127.0.0.1:8080/page", L"http://127.0.0.1:8080/page", kPosix}));

TEST(JoinPathRule, OneSeparatorBetween) {
  EXPECT_EQ(JoinPath(L"C:\\a\\", L"\\b"), L"C:\\a\\b");
  EXPECT_EQ(JoinPath(L"C:\\a", L"b\\c"), L"C:\\a\\b\\c");
  EXPECT_EQ(JoinPath(L"C:/a/", L"b"), L"C:/a\\b");
}

}  // namespace
}  // namespace reprisa
