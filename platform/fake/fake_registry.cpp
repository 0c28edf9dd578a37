#include "platform/fake/fake_registry.h"

#include <algorithm>
#include <utility>

namespace glyphary::platform {

namespace {

std::string FoldAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - ('a' - 'A'));
  }
  return out;
}

// Splits a key path at '\'. A trailing separator is allowed; an empty
// component anywhere else (leading "\", "a\\b") makes the path invalid.
bool SplitKeyPath(std::string_view path, std::vector<std::string_view>* parts) {
  parts->clear();
  if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  if (path.empty()) return true;
  size_t start = 0;
  while (true) {
    size_t cut = path.find('\\', start);
    std::string_view part = path.substr(start, cut == std::string_view::npos ? cut : cut - start);
    if (part.empty()) return false;
    parts->push_back(part);
    if (cut == std::string_view::npos) return true;
    start = cut + 1;
  }
}

}  // namespace

struct FakeRegistry::Key {
  std::string name;
  std::map<std::string, std::unique_ptr<Key>> sub_keys;  // by folded name
  std::vector<RegistryValue> values;                     // in order of first write

  RegistryValue* FindValue(std::string_view value_name) {
    std::string folded = FoldAscii(value_name);
    for (RegistryValue& v : values) {
      if (FoldAscii(v.name) == folded) return &v;
    }
    return nullptr;
  }
  std::size_t CountKeys() const {
    std::size_t n = 0;
    for (const auto& [_, k] : sub_keys) n += 1 + k->CountKeys();
    return n;
  }
  std::size_t CountValues() const {
    std::size_t n = values.size();
    for (const auto& [_, k] : sub_keys) n += k->CountValues();
    return n;
  }
};

FakeRegistry::FakeRegistry() {
  for (KeyHandle root : {kClassesRootHandle, kCurrentUserHandle, kLocalMachineHandle}) {
    roots_[root] = std::make_unique<Key>();
  }
}

FakeRegistry::~FakeRegistry() = default;

FakeRegistry::Key* FakeRegistry::RootKey(KeyHandle root) const {
  auto it = roots_.find(root);
  return it == roots_.end() ? nullptr : it->second.get();
}

FakeRegistry::Key* FakeRegistry::Resolve(KeyHandle handle, std::uint32_t* access) const {
  if (Key* root = RootKey(handle)) {
    *access = 0xF003F;  // predefined keys are open with full access
    return root;
  }
  auto it = handles_.find(handle);
  if (it == handles_.end()) return nullptr;
  *access = it->second.access;
  return it->second.key;
}

bool FakeRegistry::Refused(const Key* key) const { return refused_.count(key) != 0; }

FakeRegistry::Key* FakeRegistry::Walk(Key* from, std::string_view path, bool create,
                                      Status* status, std::uint32_t* disposition) const {
  std::vector<std::string_view> parts;
  if (!SplitKeyPath(path, &parts)) {
    *status = kErrorBadPathname;
    return nullptr;
  }
  // First pass: find how far the path exists, without creating anything, so
  // that a refused key anywhere on the way leaves the registry unchanged.
  Key* key = from;
  size_t depth = 0;
  for (; depth < parts.size(); ++depth) {
    if (Refused(key) && depth > 0) break;
    auto it = key->sub_keys.find(FoldAscii(parts[depth]));
    if (it == key->sub_keys.end()) break;
    key = it->second.get();
  }
  if (Refused(key)) {
    *status = kErrorAccessDenied;
    return nullptr;
  }
  if (depth < parts.size() && !create) {
    *status = kErrorFileNotFound;
    return nullptr;
  }
  if (disposition != nullptr) {
    *disposition = depth < parts.size() ? kRegCreatedNewKey : kRegOpenedExistingKey;
  }
  for (; depth < parts.size(); ++depth) {
    auto made = std::make_unique<Key>();
    made->name = std::string(parts[depth]);
    Key* next = made.get();
    key->sub_keys.emplace(FoldAscii(parts[depth]), std::move(made));
    key = next;
  }
  *status = kErrorSuccess;
  return key;
}

RegistryCall FakeRegistry::Start(RegistryCall::Kind kind, KeyHandle key) {
  RegistryCall call;
  call.kind = kind;
  call.key = key;
  return call;
}

Status FakeRegistry::Record(RegistryCall call) {
  const Status status = call.status;
  calls_.push_back(std::move(call));
  return status;
}

bool FakeRegistry::WriteRefused(const Key* key, std::uint32_t access,
                                std::string_view value_name) const {
  return (access & kKeySetValue) == 0 || Refused(key) ||
         refused_values_.count({key, FoldAscii(value_name)}) != 0;
}

KeyHandle FakeRegistry::NewHandle(Key* key, std::uint32_t access) {
  KeyHandle handle = next_handle_;
  next_handle_ += 4;
  handles_[handle] = Handle{key, access};
  return handle;
}

Status FakeRegistry::CreateKeyEx(KeyHandle root, std::string_view sub_key,
                                 std::uint32_t reserved, const char* key_class,
                                 std::uint32_t options, std::uint32_t access,
                                 const void* security_attributes, KeyHandle* result,
                                 std::uint32_t* disposition) {
  RegistryCall call = Start(RegistryCall::Kind::kCreateKey, root);
  call.sub_key = std::string(sub_key);
  call.reserved = reserved;
  call.class_is_null = key_class == nullptr;
  call.options = options;
  call.access = access;
  call.security_is_null = security_attributes == nullptr;

  std::uint32_t root_access = 0;
  Key* from = Resolve(root, &root_access);
  std::uint32_t disp = 0;
  if (result == nullptr || reserved != 0) {
    call.status = kErrorInvalidParameter;
  } else if (from == nullptr) {
    call.status = kErrorInvalidHandle;
  } else if (Key* key = Walk(from, sub_key, true, &call.status, &disp)) {
    call.result = NewHandle(key, access);
    call.disposition = disp;
    *result = call.result;
    if (disposition != nullptr) *disposition = disp;
  }
  return Record(std::move(call));
}

Status FakeRegistry::OpenKeyEx(KeyHandle root, std::string_view sub_key, std::uint32_t options,
                               std::uint32_t access, KeyHandle* result) {
  RegistryCall call = Start(RegistryCall::Kind::kOpenKey, root);
  call.sub_key = std::string(sub_key);
  call.options = options;
  call.access = access;

  std::uint32_t root_access = 0;
  Key* from = Resolve(root, &root_access);
  if (result == nullptr) {
    call.status = kErrorInvalidParameter;
  } else if (from == nullptr) {
    call.status = kErrorInvalidHandle;
  } else if (Key* key = Walk(from, sub_key, false, &call.status, nullptr)) {
    call.result = NewHandle(key, access);
    *result = call.result;
  }
  return Record(std::move(call));
}

Status FakeRegistry::SetValueEx(KeyHandle key, std::string_view value_name,
                                std::uint32_t reserved, std::uint32_t type,
                                const std::uint8_t* data, std::uint32_t size) {
  RegistryCall call = Start(RegistryCall::Kind::kSetValue, key);
  call.value_name = std::string(value_name);
  call.reserved = reserved;
  call.type = type;
  call.size = size;
  if (data != nullptr) call.data.assign(data, data + size);

  std::uint32_t access = 0;
  Key* target = Resolve(key, &access);
  if (target == nullptr) {
    call.status = kErrorInvalidHandle;
  } else if (WriteRefused(target, access, value_name)) {
    call.status = kErrorAccessDenied;
  } else if (data == nullptr && size != 0) {
    call.status = kErrorInvalidParameter;
  } else {
    RegistryValue* value = target->FindValue(value_name);
    if (value == nullptr) {
      target->values.push_back(RegistryValue{std::string(value_name), 0, {}});
      value = &target->values.back();
    }
    value->type = type;
    value->data = call.data;
    call.status = kErrorSuccess;
  }
  return Record(std::move(call));
}

Status FakeRegistry::QueryValueEx(KeyHandle key, std::string_view value_name,
                                  std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) {
  RegistryCall call = Start(RegistryCall::Kind::kQueryValue, key);
  call.value_name = std::string(value_name);
  std::uint32_t access = 0;
  Key* target = Resolve(key, &access);
  if (target == nullptr) {
    call.status = kErrorInvalidHandle;
  } else if (const RegistryValue* value = target->FindValue(value_name)) {
    const auto needed = static_cast<std::uint32_t>(value->data.size());
    if (type != nullptr) *type = value->type;
    if (data != nullptr && size != nullptr && *size < needed) {
      call.status = kErrorMoreData;
    } else {
      if (data != nullptr) std::copy(value->data.begin(), value->data.end(), data);
      call.status = kErrorSuccess;
    }
    if (size != nullptr) *size = needed;
  } else {
    call.status = kErrorFileNotFound;
  }
  return Record(std::move(call));
}

Status FakeRegistry::DeleteValue(KeyHandle key, std::string_view value_name) {
  RegistryCall call = Start(RegistryCall::Kind::kDeleteValue, key);
  call.value_name = std::string(value_name);
  std::uint32_t access = 0;
  Key* target = Resolve(key, &access);
  if (target == nullptr) {
    call.status = kErrorInvalidHandle;
  } else if (WriteRefused(target, access, value_name)) {
    call.status = kErrorAccessDenied;
  } else {
    const RegistryValue* value = target->FindValue(value_name);
    if (value == nullptr) {
      call.status = kErrorFileNotFound;
    } else {
      target->values.erase(target->values.begin() + (value - target->values.data()));
      call.status = kErrorSuccess;
    }
  }
  return Record(std::move(call));
}

Status FakeRegistry::DeleteKey(KeyHandle root, std::string_view sub_key) {
  RegistryCall call = Start(RegistryCall::Kind::kDeleteKey, root);
  call.sub_key = std::string(sub_key);
  std::uint32_t root_access = 0;
  Key* from = Resolve(root, &root_access);
  const size_t cut = sub_key.find_last_of('\\');
  const std::string_view parent_path = cut == std::string_view::npos ? std::string_view() : sub_key.substr(0, cut);
  const std::string_view name = cut == std::string_view::npos ? sub_key : sub_key.substr(cut + 1);
  Key* parent = nullptr;
  if (from == nullptr) {
    call.status = kErrorInvalidHandle;
  } else if (parent_path.empty() || (parent = Walk(from, parent_path, false, &call.status, nullptr))) {
    if (parent == nullptr) parent = from;
    auto it = parent->sub_keys.find(FoldAscii(name));
    if (it == parent->sub_keys.end()) {
      call.status = kErrorFileNotFound;
    } else if (Refused(it->second.get()) || !it->second->sub_keys.empty()) {
      call.status = kErrorAccessDenied;
    } else {
      // Handles still open on the key no longer reach anything.
      for (auto h = handles_.begin(); h != handles_.end();) {
        h = h->second.key == it->second.get() ? handles_.erase(h) : std::next(h);
      }
      parent->sub_keys.erase(it);
      call.status = kErrorSuccess;
    }
  }
  return Record(std::move(call));
}

Status FakeRegistry::QueryInfoKey(KeyHandle key, std::uint32_t* sub_keys, std::uint32_t* values) {
  RegistryCall call = Start(RegistryCall::Kind::kQueryInfo, key);
  std::uint32_t access = 0;
  if (Key* target = Resolve(key, &access)) {
    if (sub_keys != nullptr) *sub_keys = static_cast<std::uint32_t>(target->sub_keys.size());
    if (values != nullptr) *values = static_cast<std::uint32_t>(target->values.size());
    call.status = kErrorSuccess;
  } else {
    call.status = kErrorInvalidHandle;
  }
  return Record(std::move(call));
}

Status FakeRegistry::CloseKey(KeyHandle key) {
  RegistryCall call = Start(RegistryCall::Kind::kCloseKey, key);
  if (RootKey(key) != nullptr) {
    call.status = kErrorSuccess;
  } else if (handles_.erase(key) == 1) {
    call.status = kErrorSuccess;
  } else {
    call.status = kErrorInvalidHandle;
  }
  return Record(std::move(call));
}

void FakeRegistry::SeedKey(KeyHandle root, std::string_view path) {
  Status status = 0;
  Walk(RootKey(root), path, true, &status, nullptr);
}

void FakeRegistry::Seed(KeyHandle root, std::string_view path, std::string_view value_name,
                        std::uint32_t type, std::vector<std::uint8_t> data) {
  Status status = 0;
  Key* key = Walk(RootKey(root), path, true, &status, nullptr);
  RegistryValue* value = key->FindValue(value_name);
  if (value == nullptr) {
    key->values.push_back(RegistryValue{std::string(value_name), type, {}});
    value = &key->values.back();
  }
  value->type = type;
  value->data = std::move(data);
}

void FakeRegistry::Refuse(KeyHandle root, std::string_view path) {
  Status status = 0;
  refused_.insert(Walk(RootKey(root), path, true, &status, nullptr));
}

void FakeRegistry::RefuseValue(KeyHandle root, std::string_view path,
                               std::string_view value_name) {
  Status status = 0;
  refused_values_.insert({Walk(RootKey(root), path, true, &status, nullptr), FoldAscii(value_name)});
}

bool FakeRegistry::KeyExists(KeyHandle root, std::string_view path) const {
  Key* from = RootKey(root);
  Status status = 0;
  return from != nullptr && Walk(from, path, false, &status, nullptr) != nullptr;
}

std::optional<RegistryValue> FakeRegistry::Value(KeyHandle root, std::string_view path,
                                                 std::string_view value_name) const {
  Key* from = RootKey(root);
  Status status = 0;
  Key* key = from == nullptr ? nullptr : Walk(from, path, false, &status, nullptr);
  if (key == nullptr) return std::nullopt;
  RegistryValue* value = key->FindValue(value_name);
  if (value == nullptr) return std::nullopt;
  return *value;
}

std::vector<std::string> FakeRegistry::ValueNames(KeyHandle root, std::string_view path) const {
  std::vector<std::string> names;
  Key* from = RootKey(root);
  Status status = 0;
  Key* key = from == nullptr ? nullptr : Walk(from, path, false, &status, nullptr);
  if (key != nullptr) {
    for (const RegistryValue& v : key->values) names.push_back(v.name);
  }
  return names;
}

std::size_t FakeRegistry::KeyCount(KeyHandle root) const {
  Key* key = RootKey(root);
  return key == nullptr ? 0 : key->CountKeys();
}

std::size_t FakeRegistry::ValueCount(KeyHandle root) const {
  Key* key = RootKey(root);
  return key == nullptr ? 0 : key->CountValues();
}

}  // namespace glyphary::platform
