// In-memory registry with Windows semantics, for native tests: key and value
// names compare case-insensitively, values of any type are held as their
// type and bytes, creating makes every missing level, a write to a missing
// key fails and creates nothing, a key with a sub-key or a value is not
// deleted as empty, and failures name the key as the Win32 implementation
// does. Keys and values can be refused, as a key with a denying ACL is.
//
// HKEY_CLASSES_ROOT is the view Windows documents: the machine's classes
// (inspected as kClassesRoot) merged with the account's
// HKEY_CURRENT_USER\Software\Classes. A key that the account has is read
// and written there; a key that only the machine has, and every key created
// anew, is the machine's. After UseMachineClasses it is the machine's
// classes alone.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/fake/change_counter.h"
#include "platform/registry.h"

namespace glyphary::platform {

// A value as the stand-in holds it.
struct FakeValue {
  std::wstring name;  // as first written
  std::uint32_t type = value_type::kText;
  std::string bytes;

  bool operator==(const FakeValue& other) const;
};

class FakeRegistry : public Registry {
 public:
  FakeRegistry();
  ~FakeRegistry() override;
  // A copy of the whole registry, as it is now.
  FakeRegistry(const FakeRegistry& other);
  FakeRegistry& operator=(const FakeRegistry& other);

  Error UseMachineClasses() override;
  bool KeyExists(RegistryRoot root, std::wstring_view path) override;
  Error CreateKey(RegistryRoot root, std::wstring_view path) override;
  Error SetText(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                std::wstring_view text) override;
  Error SetNumber(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                  std::uint32_t number) override;
  Error SetValue(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                 const RegistryValue& value) override;
  Error ReadValue(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                  RegistryValue& value, bool& found) override;
  Error ValueNames(RegistryRoot root, std::wstring_view path, NameList& names) override;
  Error DeleteValue(RegistryRoot root, std::wstring_view path, std::wstring_view name) override;
  // Deletes the sub-keys one at a time, deepest first, then the key: each
  // is a change of its own, as RegDeleteTree makes them.
  Error DeleteTree(RegistryRoot root, std::wstring_view path) override;
  Error DeleteKeyIfEmpty(RegistryRoot root, std::wstring_view path, bool& deleted) override;

  // --- Test set-up ---
  // Creating, reading, writing into and deleting `path` fail with access
  // denied (70), as with an empty DACL on that key.
  void Refuse(RegistryRoot root, const std::wstring& path);
  // Writes of that one value fail with access denied; the key opens and takes
  // other values.
  void RefuseValue(RegistryRoot root, const std::wstring& path, const std::wstring& name);
  // Lifts every refusal.
  void Allow();
  // Counts every change from now on (none when null).
  void CountChangesWith(ChangeCounter* counter) { counter_.Watch(counter); }
  // Writes a value as another program would, making its key.
  void Put(RegistryRoot root, const std::wstring& path, const FakeValue& value);
  // `other` runs as another program in DeleteKeyIfEmpty, between finding the
  // key empty and deleting it, as it can on Windows.
  void SetOtherProgram(std::function<void()> other) { other_program_ = std::move(other); }
  // Whether UseMachineClasses was called.
  bool UsesMachineClasses() const { return machine_classes_; }

  // --- Inspection (kClassesRoot: the machine's classes alone) ---
  std::optional<FakeValue> Value(RegistryRoot root, const std::wstring& path,
                                 const std::wstring& name) const;
  // Names of a key's values, in the order they were first written.
  std::vector<std::wstring> ValueNamesOf(RegistryRoot root, const std::wstring& path) const;
  // Keys below `root` (all levels), and values.
  std::size_t KeyCount(RegistryRoot root) const;
  std::size_t ValueCount(RegistryRoot root) const;
  // Every key and value of the machine, one line each, sorted: equal for
  // two registries that hold the same, byte for byte.
  std::vector<std::wstring> Dump() const;
  // Successful creations and value writes so far.
  std::size_t Writes() const { return writes_; }

 private:
  struct Key;
  // Where an operation on (root, path) lands: the tree and the path in it.
  struct Place {
    RegistryRoot tree;
    std::wstring path;
  };

  Place Resolve(RegistryRoot root, std::wstring_view path) const;
  Key* Walk(RegistryRoot tree, std::wstring_view path, bool create) const;
  Key* Parent(RegistryRoot tree, const std::wstring& path) const;
  bool Refused(RegistryRoot root, std::wstring_view path) const;
  bool ValueRefused(RegistryRoot root, std::wstring_view path, std::wstring_view name) const;
  void DeleteTreeIn(RegistryRoot tree, const std::wstring& path);
  Error Set(RegistryRoot root, std::wstring_view path, std::wstring_view name, FakeValue value);
  void Changed();

  std::map<RegistryRoot, std::unique_ptr<Key>> roots_;
  std::set<std::wstring> refused_;         // folded "root\path"
  std::set<std::wstring> refused_values_;  // folded "root\path\\name"
  bool machine_classes_ = false;
  std::size_t writes_ = 0;
  CounterLink counter_;
  std::function<void()> other_program_;  // not copied with the registry
};

}  // namespace glyphary::platform
