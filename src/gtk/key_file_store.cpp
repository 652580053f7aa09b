#include "gtk/key_file_store.h"

#include <glib/gstdio.h>

#include "core/exceptions.h"
#include "core/utf8.h"

namespace reprisa {

namespace {

// Key file names and values are UTF-8; a name with a character a key file cannot hold (a line
// end, '[', ']' or '=' in a group or key name) cannot be stored.
bool UsableName(const std::string& name, bool group) {
  if (name.empty()) return false;
  for (char c : name) {
    if (c == '\n' || c == '\r') return false;
    if (group && (c == '[' || c == ']')) return false;
    if (!group && c == '=') return false;
  }
  return true;
}

}  // namespace

KeyFileStore::KeyFileStore(std::string file_path) : path_(std::move(file_path)) {}

void KeyFileStore::Open(const std::wstring&, bool) noexcept {
  file_.emplace();
  GString0 folder(g_path_get_dirname(path_.c_str()));
  folder_ok_ = g_mkdir_with_parents(folder.get(), 0700) == 0;

  gchar* contents = nullptr;
  gsize length = 0;
  GStatBuf info;
  // Not a regular file of a sane size, unreadable, or no valid key file: nothing stored.
  if (g_stat(path_.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<std::size_t>(info.st_size) > kMaxFileSize) {
    return;
  }
  if (!g_file_get_contents(path_.c_str(), &contents, &length, nullptr)) return;
  GString0 owned(contents);
  if (length > kMaxFileSize || !g_utf8_validate(contents, static_cast<gssize>(length), nullptr) ||
      !g_key_file_load_from_data(file_->get(), contents, length, G_KEY_FILE_KEEP_COMMENTS,
                                 nullptr)) {
    file_.emplace();  // a half-parsed file counts as none
  }
}

void KeyFileStore::Close() noexcept { file_.reset(); }

std::optional<StoredValue> KeyFileStore::Read(const std::wstring& section,
                                              const std::wstring& ident) {
  if (!file_) return std::nullopt;
  const std::string group = NarrowUtf8(section), key = NarrowUtf8(ident);
  if (!UsableName(group, true) || !UsableName(key, false)) return std::nullopt;
  GErrorBox error;
  GString0 value(g_key_file_get_string(file_->get(), group.c_str(), key.c_str(), error.out()));
  // Missing, or a value that is no valid escaped string: the default.
  if (!value.get()) return std::nullopt;
  return StoredValue{StoredType::String, WidenUtf8(value.get())};
}

void KeyFileStore::Write(const std::wstring& section, const std::wstring& ident,
                         const std::wstring& value) {
  const std::string group = NarrowUtf8(section), key = NarrowUtf8(ident);
  if (!file_ || !folder_ok_ || !UsableName(group, true)) throw StoreCreateKeyFailure(section);
  if (!UsableName(key, false)) throw StoreSetDataFailure(ident);
  g_key_file_set_string(file_->get(), group.c_str(), key.c_str(), NarrowUtf8(value).c_str());
  if (!Save()) throw StoreSetDataFailure(ident);
}

std::vector<std::wstring> KeyFileStore::SectionNames() {
  std::vector<std::wstring> names;
  if (!file_) return names;
  gchar** groups = g_key_file_get_groups(file_->get(), nullptr);
  for (gchar** g = groups; g && *g; ++g) names.push_back(WidenUtf8(*g));
  g_strfreev(groups);
  return names;
}

void KeyFileStore::EraseSection(const std::wstring& name) {
  if (!file_) return;
  const std::string group = NarrowUtf8(name);
  if (!g_key_file_has_group(file_->get(), group.c_str())) return;
  g_key_file_remove_group(file_->get(), group.c_str(), nullptr);
  if (!folder_ok_ || !Save()) throw StoreDeleteKeyFailure(name);
}

bool KeyFileStore::Save() {
  gsize length = 0;
  GString0 data(g_key_file_to_data(file_->get(), &length, nullptr));
  // A temporary file beside the target, then a rename over it.
  return data.get() &&
         g_file_set_contents_full(path_.c_str(), data.get(), static_cast<gssize>(length),
                                  G_FILE_SET_CONTENTS_CONSISTENT, 0600, nullptr);
}

}  // namespace reprisa
