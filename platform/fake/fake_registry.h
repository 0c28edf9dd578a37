// In-memory registry with Windows semantics, for native tests: key and value
// names compare case-insensitively, a key's default value has the name "",
// create makes every missing level, open of a missing key fails and creates
// nothing, handles must be open to be used, and a value write needs a handle
// opened with KEY_SET_VALUE. Every call is recorded with its exact arguments
// and bytes, in order.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/registry.h"

namespace glyphary::platform {

struct RegistryCall {
  enum class Kind {
    kCreateKey, kOpenKey, kSetValue, kCloseKey, kQueryValue, kDeleteValue, kDeleteKey, kQueryInfo
  };
  Kind kind = Kind::kCreateKey;
  KeyHandle key = 0;  // the root (create, open) or the key handle (set, close)
  std::string sub_key;
  std::uint32_t reserved = 0;
  bool class_is_null = true;
  std::uint32_t options = 0;
  std::uint32_t access = 0;
  bool security_is_null = true;
  std::string value_name;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;  // the `size` bytes that were passed
  std::uint32_t size = 0;
  Status status = 0;
  KeyHandle result = 0;  // the handle handed out by create and open
  std::uint32_t disposition = 0;
};

struct RegistryValue {
  std::string name;  // as first written
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

class FakeRegistry : public Registry {
 public:
  FakeRegistry();
  ~FakeRegistry() override;

  Status CreateKeyEx(KeyHandle root, std::string_view sub_key, std::uint32_t reserved,
                     const char* key_class, std::uint32_t options, std::uint32_t access,
                     const void* security_attributes, KeyHandle* result,
                     std::uint32_t* disposition) override;
  Status OpenKeyEx(KeyHandle root, std::string_view sub_key, std::uint32_t options,
                   std::uint32_t access, KeyHandle* result) override;
  Status SetValueEx(KeyHandle key, std::string_view value_name, std::uint32_t reserved,
                    std::uint32_t type, const std::uint8_t* data, std::uint32_t size) override;
  Status CloseKey(KeyHandle key) override;
  Status QueryValueEx(KeyHandle key, std::string_view value_name, std::uint32_t* type,
                      std::uint8_t* data, std::uint32_t* size) override;
  Status DeleteValue(KeyHandle key, std::string_view value_name) override;
  Status DeleteKey(KeyHandle root, std::string_view sub_key) override;
  Status QueryInfoKey(KeyHandle key, std::uint32_t* sub_keys, std::uint32_t* values) override;

  // --- Test set-up (not recorded) ---
  // Creates `path` below the predefined `root` and writes a value into it.
  void Seed(KeyHandle root, std::string_view path, std::string_view value_name,
            std::uint32_t type, std::vector<std::uint8_t> data);
  void SeedKey(KeyHandle root, std::string_view path);
  // Create and open of `path` below `root` fail with ERROR_ACCESS_DENIED,
  // and so does deleting it.
  void Refuse(KeyHandle root, std::string_view path);
  // Writes of that one value fail with ERROR_ACCESS_DENIED; the key (made
  // here if missing) opens and takes other values.
  void RefuseValue(KeyHandle root, std::string_view path, std::string_view value_name);

  // --- Inspection ---
  const std::vector<RegistryCall>& Calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }
  bool KeyExists(KeyHandle root, std::string_view path) const;
  std::optional<RegistryValue> Value(KeyHandle root, std::string_view path,
                                     std::string_view value_name) const;
  // Names of the values of a key, in the order they were first written.
  std::vector<std::string> ValueNames(KeyHandle root, std::string_view path) const;
  // Number of keys below the predefined `root` (all levels), and of values.
  std::size_t KeyCount(KeyHandle root) const;
  std::size_t ValueCount(KeyHandle root) const;
  // Handles handed out and not closed yet.
  std::size_t OpenHandles() const { return handles_.size(); }

 private:
  struct Key;
  struct Handle {
    Key* key;
    std::uint32_t access;
  };

  Key* Resolve(KeyHandle handle, std::uint32_t* access) const;
  Key* RootKey(KeyHandle root) const;
  Key* Walk(Key* from, std::string_view path, bool create, Status* status,
            std::uint32_t* disposition) const;
  bool Refused(const Key* key) const;
  KeyHandle NewHandle(Key* key, std::uint32_t access);
  // A call of `kind` on `key`, to be filled in and recorded.
  static RegistryCall Start(RegistryCall::Kind kind, KeyHandle key);
  // Records `call` and returns its status.
  Status Record(RegistryCall call);
  // Whether a write or deletion of `value_name` through a handle with
  // `access` to `key` is refused.
  bool WriteRefused(const Key* key, std::uint32_t access, std::string_view value_name) const;

  std::map<KeyHandle, std::unique_ptr<Key>> roots_;
  std::map<KeyHandle, Handle> handles_;
  std::set<const Key*> refused_;
  std::set<std::pair<const Key*, std::string>> refused_values_;  // key, folded value name
  KeyHandle next_handle_ = 0x1000;
  std::vector<RegistryCall> calls_;
};

}  // namespace glyphary::platform
