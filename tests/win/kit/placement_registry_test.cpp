// The placement store's registry access against a scratch key of the current user.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/exceptions.h"
#include "core/utf8.h"
#include "win/kit/registry_store_win.h"

namespace reprisa {
namespace {

class PlacementRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = L"Software\\ReprisaTest-" + std::to_wstring(GetCurrentProcessId());
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
  }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str()); }

  // Sets a raw value of any type below path_\section.
  void SetRaw(const std::wstring& section, const std::wstring& ident, DWORD type,
              const void* data, DWORD size) {
    HKEY key = nullptr;
    const std::wstring full = path_ + L"\\" + section;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, full.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, ident.c_str(), 0, type,
                                            static_cast<const BYTE*>(data), size));
    RegCloseKey(key);
  }

  bool KeyExists(const std::wstring& sub) const {
    HKEY key = nullptr;
    const std::wstring full = sub.empty() ? path_ : path_ + L"\\" + sub;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, full.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
      return false;
    RegCloseKey(key);
    return true;
  }

  std::wstring path_;
};

TEST_F(PlacementRegistry, WrittenTextsReadBackUnchanged) {
  const std::wstring texts[] = {
      L"", L"-12,0,1920,1080", L"Gr\u00fc\u00dfe \u00e4\u00f6\u00fc \u00c4\u00d6\u00dc",
      std::wstring(5000, L'x') + L"end",
      // around the size read in one query
      std::wstring(127, L'a'), std::wstring(128, L'b'), std::wstring(129, L'c'),
  };
  {
    RegistryStore store(HKEY_CURRENT_USER, path_, false);
    ASSERT_TRUE(store.HasKey());
    for (std::size_t i = 0; i < std::size(texts); ++i)
      store.WriteValue(L"TMainForm", L"V" + std::to_wstring(i), texts[i]);
  }
  RegistryStore store(HKEY_CURRENT_USER, path_, true);
  ASSERT_TRUE(store.HasKey());
  for (std::size_t i = 0; i < std::size(texts); ++i) {
    EXPECT_EQ(std::optional<std::wstring>(texts[i]),
              store.ReadValue(L"TMainForm", L"V" + std::to_wstring(i)))
        << "value " << i;
  }
}

TEST_F(PlacementRegistry, LeadingBackslashOfThePathIsDropped) {
  RegistryStore(HKEY_CURRENT_USER, L"\\" + path_, false).WriteValue(L"S", L"A", L"1");
  EXPECT_TRUE(KeyExists(L"S"));
  EXPECT_EQ(L"1", RegistryStore(HKEY_CURRENT_USER, path_, true).ReadValue(L"S", L"A"));
}

TEST_F(PlacementRegistry, MissingSectionOrValueReadsAsNothing) {
  RegistryStore store(HKEY_CURRENT_USER, path_, false);
  store.WriteValue(L"TMainForm", L"NormPos", L"1,2,3,4");
  EXPECT_EQ(std::nullopt, store.ReadValue(L"Other", L"NormPos"));
  EXPECT_EQ(std::nullopt, store.ReadValue(L"TMainForm", L"Flags"));
  EXPECT_FALSE(KeyExists(L"Other")) << "a read must not create the section";
}

TEST_F(PlacementRegistry, StringDataWithoutTerminatorOrWithOddSize) {
  const wchar_t unterminated[] = {L'a', L'b', L'c'};
  SetRaw(L"S", L"NoNul", REG_SZ, unterminated, sizeof unterminated);
  const wchar_t expand[] = L"%TEMP%";
  SetRaw(L"S", L"Expand", REG_EXPAND_SZ, expand, sizeof expand);
  SetRaw(L"S", L"Odd", REG_SZ, L"xy", 5);  // 'x', 'y' and half a character
  const wchar_t embedded[] = L"ab\0cd";
  SetRaw(L"S", L"Embedded", REG_SZ, embedded, sizeof embedded);

  // Odd sizes beyond the first query's buffer: 257 and 259 bytes.
  const std::wstring long_text(130, L'L');
  SetRaw(L"S", L"Odd257", REG_SZ, long_text.c_str(), 257);
  SetRaw(L"S", L"Odd259", REG_SZ, long_text.c_str(), 259);

  RegistryStore store(HKEY_CURRENT_USER, path_, true);
  EXPECT_EQ(std::wstring(128, L'L'), store.ReadValue(L"S", L"Odd257"));
  EXPECT_EQ(std::wstring(129, L'L'), store.ReadValue(L"S", L"Odd259"));
  EXPECT_EQ(L"abc", store.ReadValue(L"S", L"NoNul"));
  EXPECT_EQ(L"%TEMP%", store.ReadValue(L"S", L"Expand"));
  EXPECT_EQ(L"xy", store.ReadValue(L"S", L"Odd"));
  EXPECT_EQ(L"ab", store.ReadValue(L"S", L"Embedded"));
}

TEST_F(PlacementRegistry, ValueOfAnotherTypeFailsTheRead) {
  const DWORD number = 7;
  SetRaw(L"TMainForm", L"X", REG_DWORD, &number, sizeof number);
  SetRaw(L"TMainForm", L"Bin", REG_BINARY, "ab", 2);
  for (bool read_only : {true, false}) {
    RegistryStore store(HKEY_CURRENT_USER, path_, read_only);
    for (const wchar_t* ident : {L"X", L"Bin"}) {
      try {
        store.ReadValue(L"TMainForm", ident);
        ADD_FAILURE() << "no exception for " << NarrowUtf8(ident);
      } catch (const ERegistryException& e) {
        EXPECT_EQ(L"Invalid data type for '" + std::wstring(ident) + L"'", e.Message());
      }
    }
  }
}

TEST_F(PlacementRegistry, AReadOnlyStoreCreatesTheMissingPathSoThatAWriteWorks) {
  RegistryStore store(HKEY_CURRENT_USER, path_, true);
  EXPECT_TRUE(store.HasKey());
  EXPECT_TRUE(KeyExists(L""));
  EXPECT_FALSE(KeyExists(L"TMainForm"));  // sections are made by writes only
  EXPECT_EQ(std::nullopt, store.ReadValue(L"TMainForm", L"NormPos"));
  store.WriteValue(L"TMainForm", L"Restores", L"1");
  EXPECT_EQ(L"1", store.ReadValue(L"TMainForm", L"Restores"));
}

TEST_F(PlacementRegistry, WithoutAKeyReadsGiveNothingAndWritesFailToCreateTheSection) {
  // Below another root than the current user's a read-only store creates nothing; no root at all
  // stands for a path that cannot be made.
  RegistryStore elsewhere(HKEY_USERS, path_, true);
  EXPECT_FALSE(elsewhere.HasKey());
  RegistryStore store(nullptr, path_, false);
  ASSERT_FALSE(store.HasKey());
  EXPECT_EQ(std::nullopt, store.ReadValue(L"TMainForm", L"NormPos"));
  EXPECT_TRUE(store.SubkeyNames().empty());
  try {
    store.WriteValue(L"TMainForm", L"Flags", L"0");
    ADD_FAILURE() << "no exception";
  } catch (const ERegistryException& e) {
    EXPECT_EQ(L"Failed to create key TMainForm", e.Message());
  }
  EXPECT_FALSE(KeyExists(L""));
}

TEST_F(PlacementRegistry, ThePlacementStoreReportsTypesAndWorksOnlyWhileOpen) {
  const DWORD number = 7;
  SetRaw(L"TMainForm", L"X", REG_DWORD, &number, sizeof number);
  SetRaw(L"TMainForm", L"S", REG_EXPAND_SZ, L"%x%", 8);
  RegistryPlacementStore store(HKEY_CURRENT_USER);
  EXPECT_THROW(store.Write(L"TMainForm", L"Y", L"1"), ERegistryException);  // not open
  EXPECT_EQ(std::nullopt, store.Read(L"TMainForm", L"S"));
  store.Open(path_, true);
  EXPECT_EQ(StoredType::Other, store.Read(L"TMainForm", L"X")->type);
  EXPECT_EQ(StoredType::String, store.Read(L"TMainForm", L"S")->type);
  EXPECT_EQ(L"%x%", store.Read(L"TMainForm", L"S")->text);  // not expanded
  store.Write(L"TMainForm", L"Y", L"1");
  EXPECT_EQ(std::vector<std::wstring>{L"TMainForm"}, store.SectionNames());
  store.EraseSection(L"TMainForm");
  store.Close();
  EXPECT_FALSE(KeyExists(L"TMainForm"));
  EXPECT_TRUE(KeyExists(L""));
}

TEST_F(PlacementRegistry, SubkeysAreListedAndDeletedWithTheirSubkeys) {
  {
    RegistryStore store(HKEY_CURRENT_USER, path_, false);
    store.WriteValue(L"TMainForm", L"A", L"1");
    store.WriteValue(L"TMainForm\\Nested\\Deeper", L"B", L"2");
    store.WriteValue(L"Keep", L"C", L"3");
  }
  RegistryStore store(HKEY_CURRENT_USER, path_, false);
  std::vector<std::wstring> names = store.SubkeyNames();
  std::sort(names.begin(), names.end());
  EXPECT_EQ((std::vector<std::wstring>{L"Keep", L"TMainForm"}), names);

  store.DeleteSubkeyTree(L"TMainForm");
  EXPECT_EQ(std::vector<std::wstring>{L"Keep"}, store.SubkeyNames());
  EXPECT_FALSE(KeyExists(L"TMainForm"));
  EXPECT_EQ(L"3", store.ReadValue(L"Keep", L"C"));
  EXPECT_NO_THROW(store.DeleteSubkeyTree(L"TMainForm")) << "already gone is no failure";
}

TEST_F(PlacementRegistry, SectionsAlternateAndADeletedSectionIsMadeAgain) {
  RegistryStore store(HKEY_CURRENT_USER, path_, false);
  store.WriteValue(L"A", L"X", L"1");
  store.WriteValue(L"B", L"X", L"2");
  EXPECT_EQ(L"2", store.ReadValue(L"B", L"X"));
  EXPECT_EQ(L"1", store.ReadValue(L"A", L"X"));  // the section deleted next is the one open
  store.DeleteSubkeyTree(L"A");
  EXPECT_EQ(std::nullopt, store.ReadValue(L"A", L"X"));
  store.WriteValue(L"A", L"Y", L"3");
  EXPECT_TRUE(KeyExists(L"A"));
  EXPECT_EQ(L"3", RegistryStore(HKEY_CURRENT_USER, path_, true).ReadValue(L"A", L"Y"));
}

TEST_F(PlacementRegistry, ReadOnlyStoreWritesIntoAnExistingSection) {
  RegistryStore(HKEY_CURRENT_USER, path_, false).WriteValue(L"TMainForm", L"A", L"1");
  RegistryStore store(HKEY_CURRENT_USER, path_, true);
  EXPECT_EQ(L"1", store.ReadValue(L"TMainForm", L"A"));  // opened for reading first
  store.WriteValue(L"TMainForm", L"B", L"2");
  EXPECT_EQ(L"2", RegistryStore(HKEY_CURRENT_USER, path_, true).ReadValue(L"TMainForm", L"B"));
}

TEST_F(PlacementRegistry, DeletingWithoutKeyOrNameFails) {
  EXPECT_THROW(RegistryStore(nullptr, path_, true).DeleteSubkeyTree(L"S"), ERegistryException);
  RegistryStore store(HKEY_CURRENT_USER, path_, false);
  store.WriteValue(L"S", L"A", L"1");
  EXPECT_THROW(store.DeleteSubkeyTree(L""), ERegistryException);
  EXPECT_EQ(L"1", store.ReadValue(L"S", L"A")) << "an empty name must not empty the store";
}

TEST(PlacementRegistryRoots, IndexSelectsRoot) {
  const HKEY expected[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_CURRENT_CONFIG,
                           HKEY_CLASSES_ROOT, HKEY_USERS,         HKEY_DYN_DATA};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(expected[i], RootKeyFor(i)) << i;
  EXPECT_EQ(nullptr, RootKeyFor(6));
  EXPECT_EQ(nullptr, RootKeyFor(-1));
  EXPECT_FALSE(RegistryStore(RootKeyFor(6), L"Software", true).HasKey());
}

}  // namespace
}  // namespace reprisa
