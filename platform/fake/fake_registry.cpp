#include "platform/fake/fake_registry.h"

#include <algorithm>

#include "base/path_text.h"

namespace glyphary::platform {

namespace {

constexpr long kAccessDenied = 5;
constexpr long kFileNotFound = 2;

std::wstring Folded(std::wstring_view text) {
  std::wstring out(text);
  for (wchar_t& c : out) c = FoldCase(c);
  return out;
}

// The levels of a key path; empty levels (doubled separators) are skipped.
std::vector<std::wstring> Levels(std::wstring_view path) {
  std::vector<std::wstring> levels;
  std::wstring level;
  for (wchar_t c : path) {
    if (c == L'\\') {
      if (!level.empty()) levels.push_back(level);
      level.clear();
    } else {
      level += c;
    }
  }
  if (!level.empty()) levels.push_back(level);
  return levels;
}

std::wstring RefusalKey(RegistryRoot root, std::wstring_view path) {
  std::wstring key = std::to_wstring(static_cast<int>(root));
  for (const std::wstring& level : Levels(path)) key += L"\\" + Folded(level);
  return key;
}

}  // namespace

struct FakeRegistry::Key {
  std::map<std::wstring, std::unique_ptr<Key>> sub_keys;  // by folded name
  std::vector<FakeValue> values;

  FakeValue* FindValue(std::wstring_view name) {
    for (FakeValue& value : values) {
      if (Folded(value.name) == Folded(name)) return &value;
    }
    return nullptr;
  }
  std::size_t CountKeys() const {
    std::size_t n = sub_keys.size();
    for (const auto& sub : sub_keys) n += sub.second->CountKeys();
    return n;
  }
  std::size_t CountValues() const {
    std::size_t n = values.size();
    for (const auto& sub : sub_keys) n += sub.second->CountValues();
    return n;
  }
};

bool FakeValue::operator==(const FakeValue& other) const {
  return Folded(name) == Folded(other.name) && type == other.type && text == other.text &&
         number == other.number;
}

FakeRegistry::FakeRegistry() {
  for (RegistryRoot root :
       {RegistryRoot::kClassesRoot, RegistryRoot::kCurrentUser, RegistryRoot::kLocalMachine}) {
    roots_[root] = std::make_unique<Key>();
  }
}

FakeRegistry::~FakeRegistry() = default;

FakeRegistry::Key* FakeRegistry::Walk(RegistryRoot root, std::wstring_view path,
                                      bool create) const {
  Key* key = roots_.at(root).get();
  for (const std::wstring& level : Levels(path)) {
    auto found = key->sub_keys.find(Folded(level));
    if (found == key->sub_keys.end()) {
      if (!create) return nullptr;
      found = key->sub_keys.emplace(Folded(level), std::make_unique<Key>()).first;
    }
    key = found->second.get();
  }
  return key;
}

bool FakeRegistry::Refused(RegistryRoot root, std::wstring_view path) const {
  return refused_.count(RefusalKey(root, path)) != 0;
}

Error FakeRegistry::CreateKey(RegistryRoot root, std::wstring_view path) {
  // A refused key cannot be created, nor anything below it.
  std::wstring so_far;
  for (const std::wstring& level : Levels(path)) {
    so_far += (so_far.empty() ? L"" : L"\\") + level;
    if (Refused(root, so_far)) return RegistryError(kAccessDenied, root, path);
  }
  Walk(root, path, true);
  ++writes_;
  return Error();
}

Error FakeRegistry::Set(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                        FakeValue value) {
  Key* key = Walk(root, path, false);
  if (key == nullptr) return RegistryError(kFileNotFound, root, path);
  if (Refused(root, path) || refused_values_.count(RefusalKey(root, path) + L"\\\\" + Folded(name)) != 0) {
    return RegistryError(kAccessDenied, root, path);
  }
  if (FakeValue* existing = key->FindValue(name)) {
    value.name = existing->name;
    *existing = value;
  } else {
    value.name = std::wstring(name);
    key->values.push_back(value);
  }
  ++writes_;
  return Error();
}

Error FakeRegistry::SetText(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                            std::wstring_view text) {
  FakeValue value;
  value.type = RegistryValue::Type::kText;
  value.text = std::wstring(text);
  return Set(root, path, name, value);
}

Error FakeRegistry::SetNumber(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                              std::uint32_t number) {
  FakeValue value;
  value.type = RegistryValue::Type::kNumber;
  value.number = number;
  return Set(root, path, name, value);
}

Error FakeRegistry::ReadValue(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                              RegistryValue& value, bool& found) {
  value = RegistryValue();
  found = false;
  if (Refused(root, path)) return RegistryError(kAccessDenied, root, path);
  Key* key = Walk(root, path, false);
  const FakeValue* stored = key != nullptr ? key->FindValue(name) : nullptr;
  if (stored == nullptr) return Error();
  found = true;
  value.type = stored->type;
  value.text = WideText(std::wstring_view(stored->text));
  value.number = stored->number;
  return Error();
}

Error FakeRegistry::ValueNames(RegistryRoot root, std::wstring_view path, NameList& names) {
  names = NameList();
  if (Refused(root, path)) return RegistryError(kAccessDenied, root, path);
  for (const std::wstring& name : ValueNamesOf(root, std::wstring(path))) names.Add(name);
  return Error();
}

Error FakeRegistry::DeleteValue(RegistryRoot root, std::wstring_view path,
                                std::wstring_view name) {
  // As on Windows, a key that may not be opened refuses even when the value is absent.
  Key* key = Walk(root, path, false);
  if (key == nullptr) return Error();
  if (Refused(root, path)) return RegistryError(kAccessDenied, root, path);
  if (key->FindValue(name) == nullptr) return Error();
  if (refused_values_.count(RefusalKey(root, path) + L"\\\\" + Folded(name)) != 0) {
    return RegistryError(kAccessDenied, root, path);
  }
  key->values.erase(std::remove_if(key->values.begin(), key->values.end(),
                                   [&](const FakeValue& v) { return Folded(v.name) == Folded(name); }),
                    key->values.end());
  return Error();
}

Error FakeRegistry::DeleteKeyIfEmpty(RegistryRoot root, std::wstring_view path, bool& deleted) {
  deleted = false;
  Key* key = Walk(root, path, false);
  if (key == nullptr) return Error();
  if (Refused(root, path)) return RegistryError(kAccessDenied, root, path);
  if (!key->sub_keys.empty() || !key->values.empty()) return Error();
  std::vector<std::wstring> levels = Levels(path);
  const std::wstring last = Folded(levels.back());
  levels.pop_back();
  Key* parent = roots_.at(root).get();
  for (const std::wstring& level : levels) parent = parent->sub_keys.at(Folded(level)).get();
  parent->sub_keys.erase(last);
  deleted = true;
  return Error();
}

Error FakeRegistry::DeleteTree(RegistryRoot root, std::wstring_view path) {
  if (Walk(root, path, false) == nullptr) return Error();
  if (Refused(root, path)) return RegistryError(kAccessDenied, root, path);
  std::vector<std::wstring> levels = Levels(path);
  const std::wstring last = Folded(levels.back());
  levels.pop_back();
  Key* parent = roots_.at(root).get();
  for (const std::wstring& level : levels) parent = parent->sub_keys.at(Folded(level)).get();
  parent->sub_keys.erase(last);
  return Error();
}

void FakeRegistry::Refuse(RegistryRoot root, const std::wstring& path) {
  refused_.insert(RefusalKey(root, path));
}

void FakeRegistry::RefuseValue(RegistryRoot root, const std::wstring& path,
                               const std::wstring& name) {
  refused_values_.insert(RefusalKey(root, path) + L"\\\\" + Folded(name));
}

void FakeRegistry::Allow() {
  refused_.clear();
  refused_values_.clear();
}

bool FakeRegistry::KeyExists(RegistryRoot root, std::wstring_view path) {
  return Walk(root, path, false) != nullptr;
}

std::optional<FakeValue> FakeRegistry::Value(RegistryRoot root, const std::wstring& path,
                                             const std::wstring& name) const {
  Key* key = Walk(root, path, false);
  const FakeValue* value = key != nullptr ? key->FindValue(name) : nullptr;
  if (value == nullptr) return std::nullopt;
  return *value;
}

std::vector<std::wstring> FakeRegistry::ValueNamesOf(RegistryRoot root,
                                                     const std::wstring& path) const {
  std::vector<std::wstring> names;
  if (Key* key = Walk(root, path, false)) {
    for (const FakeValue& value : key->values) names.push_back(value.name);
  }
  return names;
}

std::size_t FakeRegistry::KeyCount(RegistryRoot root) const { return roots_.at(root)->CountKeys(); }

std::size_t FakeRegistry::ValueCount(RegistryRoot root) const {
  return roots_.at(root)->CountValues();
}

}  // namespace glyphary::platform
