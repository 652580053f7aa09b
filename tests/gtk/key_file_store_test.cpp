// The key-file store on its own: reading and writing, files that must read as empty, and how a
// write replaces the file.
#include "gtk/key_file_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/exceptions.h"
#include "gtk_test_support.h"

namespace reprisa {
namespace {

using testing_gtk::ReadFile;
using testing_gtk::ScratchDir;

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}
// Writes one value through a store of its own, as the window does when it closes.
void StoreNormPos(const std::string& path) {
  KeyFileStore store(path);
  store.Open(L"Software\\reprisa", false);
  store.Write(L"TMainForm", L"NormPos", L"5,6,7,8");
  store.Close();
}

TEST(KeyFileStore, ReadsWritesListsAndErasesSections) {
  ScratchDir dir;
  KeyFileStore store(dir / "sub/folder/test.ini");
  store.Open(L"Software\\reprisa", true);
  EXPECT_FALSE(store.Read(L"TMainForm", L"NormPos"));
  store.Write(L"TMainForm", L"NormPos(1280x1024)", L"1,2,3,4");
  store.Write(L"TMainForm.Extra", L"Text", L"with = and ; and \u00fc");
  store.Close();

  store.Open(L"Software\\reprisa", true);
  auto value = store.Read(L"TMainForm", L"NormPos(1280x1024)");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->text, L"1,2,3,4");
  EXPECT_EQ(store.Read(L"TMainForm.Extra", L"Text")->text, L"with = and ; and \u00fc");
  EXPECT_EQ(store.SectionNames(), (std::vector<std::wstring>{L"TMainForm", L"TMainForm.Extra"}));
  store.EraseSection(L"TMainForm.Extra");
  store.EraseSection(L"Missing");
  store.Close();

  store.Open(L"Software\\reprisa", false);
  EXPECT_EQ(store.SectionNames(), (std::vector<std::wstring>{L"TMainForm"}));
  // Names a key file cannot hold are missing on reading and fail on writing.
  EXPECT_FALSE(store.Read(L"Bad]Section", L"x"));
  EXPECT_THROW(store.Write(L"Bad]Section", L"x", L"1"), ERegistryException);
  EXPECT_THROW(store.Write(L"TMainForm", L"a=b", L"1"), ERegistryException);
  store.Close();
  EXPECT_THROW(store.Write(L"TMainForm", L"x", L"1"), ERegistryException);  // not open
}

// A file that is not wholly a valid key file of a sane size reads as empty: nothing of it is
// taken, not even its good first lines.
TEST(KeyFileStore, FilesThatAreNotWhollyValidReadAsEmpty) {
  const std::string good = "[TMainForm]\nNormPos=1,2,3,4\n";
  // A comment line that brings the file to `size` bytes.
  const auto padded = [&](std::size_t size) {
    return good + "#" + std::string(size - good.size() - 2, 'x') + "\n";
  };
  struct Case {
    const char* what;
    std::string text;
    bool read;
  } cases[] = {
      {"valid", good, true},
      {"valid, exactly at the size limit", padded(KeyFileStore::kMaxFileSize), true},
      {"valid, one byte past the size limit", padded(KeyFileStore::kMaxFileSize + 1), false},
      {"broken after its first good lines", good + "[Bad", false},
      {"a line that is no key", good + "just words\n", false},
      {"not UTF-8", good + "Text=\xff\xfe\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    const std::string path = dir / "reprisa.ini";
    WriteFile(path, c.text);
    ASSERT_EQ(ReadFile(path).size(), c.text.size());
    KeyFileStore store(path);
    store.Open(L"Software\\reprisa", true);
    const auto value = store.Read(L"TMainForm", L"NormPos");
    EXPECT_EQ(value.has_value(), c.read);
    EXPECT_EQ(value ? value->text : L"", c.read ? L"1,2,3,4" : L"");
    EXPECT_EQ(store.SectionNames().size(), c.read ? 1u : 0u);
    store.Close();
  }
}

// A write never changes the file in place: a new file is written beside it and renamed over it,
// so that a crash or a full disk leaves the old file or the new one, never half of one. A second
// name for the old file (a hard link) still shows the old contents afterwards, and the new file
// is readable by its owner only.
TEST(KeyFileStore, AWriteReplacesTheFileByARenameAndKeepsItPrivate) {
  ScratchDir dir;
  const std::string path = dir / "reprisa.ini";
  const std::string old_name = dir / "before.ini";
  const std::string before = "[TMainForm]\nNormPos=1,2,3,4\n";
  WriteFile(path, before);
  ASSERT_EQ(chmod(path.c_str(), 0644), 0);
  ASSERT_EQ(link(path.c_str(), old_name.c_str()), 0);
  struct stat old_info {};
  ASSERT_EQ(stat(path.c_str(), &old_info), 0);

  StoreNormPos(path);
  struct stat new_info {};
  ASSERT_EQ(stat(path.c_str(), &new_info), 0);
  EXPECT_NE(new_info.st_ino, old_info.st_ino) << "the file was rewritten in place";
  EXPECT_EQ(ReadFile(old_name), before) << "the old file was changed";
  EXPECT_NE(ReadFile(path).find("NormPos=5,6,7,8"), std::string::npos) << ReadFile(path);
  EXPECT_EQ(new_info.st_mode & 07777, 0600u);
  // Nothing but the two names is left in the folder: the temporary file was renamed.
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"before.ini", "reprisa.ini"}));
}

// A file made by the store is private from its first write on.
TEST(KeyFileStore, ANewFileIsReadableByItsOwnerOnly) {
  ScratchDir dir;
  const std::string path = dir / "config/reprisa.ini";
  const mode_t previous = umask(0);  // the most permissive: the store must not rely on the umask
  StoreNormPos(path);
  umask(previous);
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
}

}  // namespace
}  // namespace reprisa
