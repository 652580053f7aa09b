// Registry access for the form placement store: one key below a root, open for one operation.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "core/placement.h"

namespace reprisa {

// Owns an open registry key handle and closes it on destruction.
class RegKey {
 public:
  RegKey() noexcept = default;
  explicit RegKey(HKEY key) noexcept : key_(key) {}
  ~RegKey() { Reset(); }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  RegKey(RegKey&& other) noexcept : key_(other.Release()) {}
  RegKey& operator=(RegKey&& other) noexcept;

  HKEY Get() const noexcept { return key_; }
  explicit operator bool() const noexcept { return key_ != nullptr; }
  HKEY Release() noexcept;
  void Reset(HKEY key = nullptr) noexcept;

 private:
  HKEY key_ = nullptr;
};

// The placement store's registry access: one key path below a root, open for one operation.
class RegistryStore {
 public:
  // Opens root\path with full access (KEY_ALL_ACCESS), creating it when missing, so that a write
  // from a read-only store's caller works on a first run; read_only only makes sections open for
  // reading with KEY_READ. Below another root than HKEY_CURRENT_USER a read-only store opens the
  // path for reading and creates nothing. A leading backslash of the path is dropped. Never
  // throws: when that fails the store has no key, reads give nothing and writes fail.
  RegistryStore(HKEY root, const std::wstring& path, bool read_only);
  ~RegistryStore() = default;  // closes the key (no explicit flush)
  RegistryStore(const RegistryStore&) = delete;
  RegistryStore& operator=(const RegistryStore&) = delete;

  bool HasKey() const noexcept { return static_cast<bool>(key_); }

  // The value `ident` of the subkey `section` with its type; nullopt when the subkey or the value
  // is missing. REG_SZ and REG_EXPAND_SZ (not expanded) count as strings.
  std::optional<StoredValue> ReadTypedValue(const std::wstring& section, const std::wstring& ident);
  // The same for a string value; any other type throws ERegistryException.
  std::optional<std::wstring> ReadValue(const std::wstring& section, const std::wstring& ident);

  // Sets `ident` of the subkey `section` as REG_SZ, creating the subkey when missing. Throws
  // ERegistryException when the subkey cannot be created or the value cannot be set.
  void WriteValue(const std::wstring& section, const std::wstring& ident,
                  const std::wstring& value);

  // Names of the direct subkeys of the store's key; empty when none or when there is no key.
  std::vector<std::wstring> SubkeyNames();

  // Deletes the subkey `name` with all its subkeys. A subkey that does not exist is no failure;
  // any other failure throws ERegistryException.
  void DeleteSubkeyTree(const std::wstring& name);

 private:
  // The subkey `section`, opened (or, for writing, created) once per store and kept open for
  // the next value of the same section; null when that fails.
  HKEY SectionKey(const std::wstring& section, bool create);

  RegKey key_;
  bool read_only_;
  std::wstring section_name_;
  RegKey section_key_;
  bool section_writable_ = false;
};

// The placement rules' typed store over the registry: one RegistryStore for each operation.
class RegistryPlacementStore final : public PlacementStore {
 public:
  explicit RegistryPlacementStore(HKEY root) noexcept : root_(root) {}
  void SetRoot(HKEY root) noexcept { root_ = root; }
  void Open(const std::wstring& key_path, bool read_only) noexcept override;
  void Close() noexcept override { store_.reset(); }
  std::optional<StoredValue> Read(const std::wstring& section, const std::wstring& ident) override;
  void Write(const std::wstring& section, const std::wstring& ident,
             const std::wstring& value) override;
  std::vector<std::wstring> SectionNames() override;
  void EraseSection(const std::wstring& name) override;

 private:
  HKEY root_;
  std::optional<RegistryStore> store_;
};

// The registry root selected by a placement root index: 0 HKEY_CURRENT_USER,
// 1 HKEY_LOCAL_MACHINE, 2 HKEY_CURRENT_CONFIG, 3 HKEY_CLASSES_ROOT, 4 HKEY_USERS,
// 5 HKEY_DYN_DATA. Any other index gives nullptr, which no store can open.
HKEY RootKeyFor(int root_index);

}  // namespace reprisa
