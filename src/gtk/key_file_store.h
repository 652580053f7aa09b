// The placement values in a key file (one group per section), e.g. ~/.config/reprisa/reprisa.ini.
// Every write replaces the file atomically (a temporary file, then a rename), so a crash or a full
// disk never leaves half a file. A file that cannot be read or holds no valid key file (garbage,
// binary bytes, absurdly long) reads as empty, which gives the defaults; a folder that cannot be
// written to makes the writes fail with the store's usual texts.
#pragma once

#include <glib.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/placement.h"
#include "gtk/gtk_ptr.h"

namespace reprisa {

class KeyFileStore final : public PlacementStore {
 public:
  // A file larger than this is not a placement file of ours and reads as empty.
  static constexpr std::size_t kMaxFileSize = 256 * 1024;

  // The store serves this one file; the key path the rules open names the program, which the
  // file's name already does, so it is not used beyond that.
  explicit KeyFileStore(std::string file_path);

  void Open(const std::wstring& key_path, bool read_only) noexcept override;
  void Close() noexcept override;
  std::optional<StoredValue> Read(const std::wstring& section, const std::wstring& ident) override;
  void Write(const std::wstring& section, const std::wstring& ident,
             const std::wstring& value) override;
  std::vector<std::wstring> SectionNames() override;
  void EraseSection(const std::wstring& name) override;

  const std::string& FilePath() const noexcept { return path_; }

 private:
  // Writes the whole key file; false when it could not be written.
  bool Save();

  std::string path_;
  std::optional<KeyFileRef> file_;  // the file's contents while open
  bool folder_ok_ = false;          // the file's folder exists (or was made) at Open
};

}  // namespace reprisa
