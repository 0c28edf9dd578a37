// In-memory registry with Windows semantics, for native tests: key and value
// names compare case-insensitively, creating makes every missing level, a
// write to a missing key fails and creates nothing, a key with a sub-key or
// a value is not deleted as empty, and failures name the key as the Win32
// implementation does. Keys and values can be refused, as a key with a
// denying ACL is.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace glyphary::platform {

// A value as the stand-in holds it.
struct FakeValue {
  std::wstring name;  // as first written
  RegistryValue::Type type = RegistryValue::Type::kText;
  std::wstring text;
  std::uint32_t number = 0;

  bool operator==(const FakeValue& other) const;
};

class FakeRegistry : public Registry {
 public:
  FakeRegistry();
  ~FakeRegistry() override;

  bool KeyExists(RegistryRoot root, std::wstring_view path) override;
  Error CreateKey(RegistryRoot root, std::wstring_view path) override;
  Error SetText(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                std::wstring_view text) override;
  Error SetNumber(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                  std::uint32_t number) override;
  Error ReadValue(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                  RegistryValue& value, bool& found) override;
  Error ValueNames(RegistryRoot root, std::wstring_view path, NameList& names) override;
  Error DeleteValue(RegistryRoot root, std::wstring_view path, std::wstring_view name) override;
  Error DeleteTree(RegistryRoot root, std::wstring_view path) override;
  Error DeleteKeyIfEmpty(RegistryRoot root, std::wstring_view path, bool& deleted) override;

  // --- Test set-up ---
  // Creating, writing into and deleting `path` fail with access denied (70),
  // as with an empty DACL on that key.
  void Refuse(RegistryRoot root, const std::wstring& path);
  // Writes of that one value fail with access denied; the key opens and takes
  // other values.
  void RefuseValue(RegistryRoot root, const std::wstring& path, const std::wstring& name);
  // Lifts every refusal.
  void Allow();

  // --- Inspection ---
  std::optional<FakeValue> Value(RegistryRoot root, const std::wstring& path,
                                 const std::wstring& name) const;
  // Names of a key's values, in the order they were first written.
  std::vector<std::wstring> ValueNamesOf(RegistryRoot root, const std::wstring& path) const;
  // Keys below `root` (all levels), and values.
  std::size_t KeyCount(RegistryRoot root) const;
  std::size_t ValueCount(RegistryRoot root) const;
  // Successful creations and value writes so far.
  std::size_t Writes() const { return writes_; }

 private:
  struct Key;

  Key* Walk(RegistryRoot root, std::wstring_view path, bool create) const;
  bool Refused(RegistryRoot root, std::wstring_view path) const;
  Error Set(RegistryRoot root, std::wstring_view path, std::wstring_view name, FakeValue value);

  std::map<RegistryRoot, std::unique_ptr<Key>> roots_;
  std::set<std::wstring> refused_;         // folded "root\path"
  std::set<std::wstring> refused_values_;  // folded "root\path\\name"
  std::size_t writes_ = 0;
};

}  // namespace glyphary::platform
