// Registry access for the form placement store.
#include "win/kit/registry_store_win.h"

#include <limits>
#include <utility>

#include "core/exceptions.h"

namespace reprisa {

RegKey& RegKey::operator=(RegKey&& other) noexcept {
  if (this != &other) Reset(other.Release());
  return *this;
}

HKEY RegKey::Release() noexcept {
  HKEY key = key_;
  key_ = nullptr;
  return key;
}

void RegKey::Reset(HKEY key) noexcept {
  if (key_ != nullptr) RegCloseKey(key_);
  key_ = key;
}

namespace {

// Opens `name` below `parent` with `access`; an empty handle when that fails.
RegKey OpenKey(HKEY parent, const std::wstring& name, REGSAM access) {
  HKEY key = nullptr;
  if (parent == nullptr) return RegKey();
  if (RegOpenKeyExW(parent, name.c_str(), 0, access, &key) != ERROR_SUCCESS) return RegKey();
  return RegKey(key);
}

// Opens `name` below `parent` with full access, creating it when missing; empty when that fails.
RegKey CreateKey(HKEY parent, const std::wstring& name) {
  HKEY key = nullptr;
  if (parent == nullptr) return RegKey();
  if (RegCreateKeyExW(parent, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return RegKey();
  }
  return RegKey(key);
}

// The text of a string value's data: up to the first NUL, or all of it when there is none.
std::wstring TextOfData(const std::vector<wchar_t>& buffer, DWORD size_bytes) {
  const std::size_t chars = size_bytes / sizeof(wchar_t);
  std::size_t length = 0;
  while (length < chars && buffer[length] != L'\0') ++length;
  return std::wstring(buffer.data(), length);
}

}  // namespace

RegistryStore::RegistryStore(HKEY root, const std::wstring& path, bool read_only)
    : read_only_(read_only) {
  const std::wstring relative = (!path.empty() && path.front() == L'\\') ? path.substr(1) : path;
  key_ = read_only && root != HKEY_CURRENT_USER ? OpenKey(root, relative, KEY_READ)
                                                : CreateKey(root, relative);
}

HKEY RegistryStore::SectionKey(const std::wstring& section, bool create) {
  if (!key_) return nullptr;
  // A key opened for reading only is opened again for a write.
  if (section_key_ && section_name_ == section && (section_writable_ || !create))
    return section_key_.Get();
  RegKey sub = create ? CreateKey(key_.Get(), section)
                      : OpenKey(key_.Get(), section, read_only_ ? KEY_READ : KEY_ALL_ACCESS);
  if (!sub) return nullptr;
  section_key_ = std::move(sub);
  section_name_ = section;
  section_writable_ = create || !read_only_;
  return section_key_.Get();
}

std::optional<std::wstring> RegistryStore::ReadValue(const std::wstring& section,
                                                     const std::wstring& ident) {
  std::optional<StoredValue> value = ReadTypedValue(section, ident);
  if (!value) return std::nullopt;
  if (value->type != StoredType::String) throw StoreDataTypeFailure(ident);
  return std::move(value->text);
}

std::optional<StoredValue> RegistryStore::ReadTypedValue(const std::wstring& section,
                                                         const std::wstring& ident) {
  const HKEY sub = SectionKey(section, false);
  if (!sub) return std::nullopt;

  // Most values are short: one query into a buffer of this size, a second only when it is short.
  // Room is kept for an odd byte count and for a terminator the stored data may lack.
  std::vector<wchar_t> buffer(130, L'\0');
  DWORD type = 0;
  for (bool first = true;; first = false) {
    DWORD got = static_cast<DWORD>((buffer.size() - 2) * sizeof(wchar_t));
    const LONG rc = RegQueryValueExW(sub, ident.c_str(), nullptr, &type,
                                     reinterpret_cast<BYTE*>(buffer.data()), &got);
    if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) {
      if (first) return std::nullopt;  // a value that cannot be queried reads as missing
      throw StoreGetDataFailure(ident);
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) return StoredValue{StoredType::Other, {}};
    if (rc == ERROR_SUCCESS) return StoredValue{StoredType::String, TextOfData(buffer, got)};
    // Too long for the buffer: again with the size reported now (rounded up to whole
    // characters); the value may grow between two queries.
    buffer.assign((got + 1) / sizeof(wchar_t) + 2, L'\0');
  }
}

void RegistryStore::WriteValue(const std::wstring& section, const std::wstring& ident,
                               const std::wstring& value) {
  const HKEY sub = SectionKey(section, true);
  if (!sub) throw StoreCreateKeyFailure(section);

  const std::size_t bytes = (value.size() + 1) * sizeof(wchar_t);
  if (value.size() >= std::numeric_limits<DWORD>::max() / sizeof(wchar_t) ||
      RegSetValueExW(sub, ident.c_str(), 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(bytes)) != ERROR_SUCCESS) {
    throw StoreSetDataFailure(ident);
  }
}

std::vector<std::wstring> RegistryStore::SubkeyNames() {
  std::vector<std::wstring> names;
  if (!key_) return names;
  std::vector<wchar_t> buffer(256, L'\0');
  for (DWORD index = 0;;) {
    DWORD length = static_cast<DWORD>(buffer.size());
    const LONG rc = RegEnumKeyExW(key_.Get(), index, buffer.data(), &length, nullptr, nullptr,
                                  nullptr, nullptr);
    if (rc == ERROR_MORE_DATA) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (rc != ERROR_SUCCESS) break;  // ERROR_NO_MORE_ITEMS ends the list
    names.emplace_back(buffer.data(), length);
    ++index;
  }
  return names;
}

void RegistryStore::DeleteSubkeyTree(const std::wstring& name) {
  if (!key_) throw StoreDeleteKeyFailure(name);
  // An empty name would empty the store's own key instead of deleting a subkey.
  section_key_.Reset();  // the subkey may be the one being deleted
  section_name_.clear();
  const LONG rc =
      name.empty() ? ERROR_INVALID_PARAMETER : RegDeleteTreeW(key_.Get(), name.c_str());
  if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
    throw StoreDeleteKeyFailure(name);
  }
}

void RegistryPlacementStore::Open(const std::wstring& key_path, bool read_only) noexcept {
  try {
    store_.emplace(root_, key_path, read_only);
  } catch (...) {  // out of memory: as a path that cannot be opened
    store_.reset();
  }
}

std::optional<StoredValue> RegistryPlacementStore::Read(const std::wstring& section,
                                                        const std::wstring& ident) {
  return store_ ? store_->ReadTypedValue(section, ident) : std::nullopt;
}

void RegistryPlacementStore::Write(const std::wstring& section, const std::wstring& ident,
                                   const std::wstring& value) {
  if (!store_) throw StoreCreateKeyFailure(section);
  store_->WriteValue(section, ident, value);
}

std::vector<std::wstring> RegistryPlacementStore::SectionNames() {
  return store_ ? store_->SubkeyNames() : std::vector<std::wstring>();
}

void RegistryPlacementStore::EraseSection(const std::wstring& name) {
  if (!store_) throw StoreDeleteKeyFailure(name);
  store_->DeleteSubkeyTree(name);
}

HKEY RootKeyFor(int root_index) {
  switch (root_index) {
    case 0: return HKEY_CURRENT_USER;
    case 1: return HKEY_LOCAL_MACHINE;
    case 2: return HKEY_CURRENT_CONFIG;
    case 3: return HKEY_CLASSES_ROOT;
    case 4: return HKEY_USERS;
    case 5: return HKEY_DYN_DATA;
    default: return nullptr;
  }
}

}  // namespace reprisa
