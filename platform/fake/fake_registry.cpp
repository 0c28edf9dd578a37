#include "platform/fake/fake_registry.h"

#include <algorithm>

#include "base/path_text.h"

namespace glyphary::platform {

namespace {

constexpr long kAccessDenied = 5;
constexpr long kFileNotFound = 2;
constexpr std::wstring_view kAccountClasses = L"Software\\Classes";

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

std::string Bytes(const NarrowText& bytes) { return std::string(bytes.c_str(), bytes.size()); }

std::wstring RootName(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::kClassesRoot: return L"HKLM\\Software\\Classes";
    case RegistryRoot::kCurrentUser: return L"HKCU";
    case RegistryRoot::kLocalMachine: break;
  }
  return L"HKLM";
}

}  // namespace

struct FakeRegistry::Key {
  // Which key this is: one made anew at the same path is another key.
  const std::uint64_t serial = ++made;
  static inline std::uint64_t made = 0;
  std::map<std::wstring, std::unique_ptr<Key>> sub_keys;  // by folded name
  std::vector<FakeValue> values;

  std::unique_ptr<Key> Clone() const {
    auto copy = std::make_unique<Key>();
    copy->values = values;
    for (const auto& [name, sub] : sub_keys) copy->sub_keys.emplace(name, sub->Clone());
    return copy;
  }
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
  void Dump(const std::wstring& path, std::vector<std::wstring>& lines) const {
    lines.push_back(path);
    for (const FakeValue& value : values) {
      std::wstring line = path + L" [" + Folded(value.name) + L"] " + std::to_wstring(value.type) + L":";
      for (unsigned char byte : value.bytes) line += L' ' + std::to_wstring(byte);
      lines.push_back(line);
    }
    for (const auto& [name, sub] : sub_keys) sub->Dump(path + L"\\" + name, lines);
  }
};

bool FakeValue::operator==(const FakeValue& other) const {
  return Folded(name) == Folded(other.name) && type == other.type && bytes == other.bytes;
}

FakeRegistry::FakeRegistry() {
  for (RegistryRoot root :
       {RegistryRoot::kClassesRoot, RegistryRoot::kCurrentUser, RegistryRoot::kLocalMachine}) {
    roots_[root] = std::make_unique<Key>();
  }
}

FakeRegistry::~FakeRegistry() = default;

FakeRegistry::FakeRegistry(const FakeRegistry& other) : Registry() { *this = other; }

FakeRegistry& FakeRegistry::operator=(const FakeRegistry& other) {
  if (this == &other) return *this;
  for (const auto& [root, key] : other.roots_) roots_[root] = key->Clone();
  refused_ = other.refused_;
  refused_values_ = other.refused_values_;
  machine_classes_ = other.machine_classes_;
  writes_ = other.writes_;
  counter_ = CounterLink();  // a copy is watched by nobody until told
  return *this;
}

void FakeRegistry::Changed() { counter_.Changed(); }

FakeRegistry::Place FakeRegistry::Resolve(RegistryRoot root, std::wstring_view path) const {
  if (root != RegistryRoot::kClassesRoot || machine_classes_) return {root, std::wstring(path)};
  // The merged view: the account's key where it has one.
  std::wstring account = std::wstring(kAccountClasses);
  if (!Levels(path).empty()) account += L"\\" + std::wstring(path);
  if (Walk(RegistryRoot::kCurrentUser, account, false) != nullptr) {
    return {RegistryRoot::kCurrentUser, account};
  }
  return {RegistryRoot::kClassesRoot, std::wstring(path)};
}

FakeRegistry::Key* FakeRegistry::Walk(RegistryRoot tree, std::wstring_view path, bool create) const {
  // Level by level, each folded as it is read; empty levels are skipped.
  Key* key = roots_.at(tree).get();
  std::wstring level;
  for (std::size_t at = 0; at <= path.size(); ++at) {
    if (at < path.size() && path[at] != L'\\') {
      level += FoldCase(path[at]);
      continue;
    }
    if (level.empty()) continue;
    auto found = key->sub_keys.find(level);
    if (found == key->sub_keys.end()) {
      if (!create) return nullptr;
      found = key->sub_keys.emplace(level, std::make_unique<Key>()).first;
    }
    key = found->second.get();
    level.clear();
  }
  return key;
}

FakeRegistry::Key* FakeRegistry::Parent(RegistryRoot tree, const std::wstring& path) const {
  std::vector<std::wstring> levels = Levels(path);
  levels.pop_back();
  Key* parent = roots_.at(tree).get();
  for (const std::wstring& level : levels) parent = parent->sub_keys.at(Folded(level)).get();
  return parent;
}

bool FakeRegistry::Refused(RegistryRoot root, std::wstring_view path) const {
  if (refused_.empty()) return false;  // the common case, asked at every step: no key built
  return refused_.count(RefusalKey(root, path)) != 0;
}

bool FakeRegistry::ValueRefused(RegistryRoot root, std::wstring_view path,
                                std::wstring_view name) const {
  if (refused_values_.empty()) return false;
  return refused_values_.count(RefusalKey(root, path) + L"\\\\" + Folded(name)) != 0;
}

Error FakeRegistry::UseMachineClasses() {
  // As on Windows, the machine's classes key must open.
  if (Refused(RegistryRoot::kLocalMachine, L"Software\\Classes")) {
    return RegistryError(kAccessDenied, RegistryRoot::kLocalMachine, L"Software\\Classes");
  }
  machine_classes_ = true;
  return Error();
}

bool FakeRegistry::KeyExists(RegistryRoot root, std::wstring_view path) {
  const Place place = Resolve(root, path);
  return Walk(place.tree, place.path, false) != nullptr;
}

Error FakeRegistry::CreateKey(RegistryRoot root, std::wstring_view path) {
  const Place place = Resolve(root, path);
  // A refused key cannot be created, nor anything below it.
  std::wstring so_far;
  for (const std::wstring& level : Levels(place.path)) {
    so_far += (so_far.empty() ? L"" : L"\\") + level;
    if (Refused(place.tree, so_far)) return RegistryError(kAccessDenied, root, path);
  }
  const bool existed = Walk(place.tree, place.path, false) != nullptr;
  Walk(place.tree, place.path, true);
  ++writes_;
  if (!existed) Changed();
  return Error();
}

Error FakeRegistry::Set(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                        FakeValue value) {
  const Place place = Resolve(root, path);
  Key* key = Walk(place.tree, place.path, false);
  if (key == nullptr) return RegistryError(kFileNotFound, root, path);
  if (Refused(place.tree, place.path) || ValueRefused(place.tree, place.path, name)) {
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
  Changed();
  return Error();
}

Error FakeRegistry::SetText(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                            std::wstring_view text) {
  return SetValue(root, path, name, RegistryValue::Text(text));
}

Error FakeRegistry::SetNumber(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                              std::uint32_t number) {
  return SetValue(root, path, name, RegistryValue::Number(number));
}

Error FakeRegistry::SetValue(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                             const RegistryValue& value) {
  FakeValue stored;
  stored.type = value.type;
  stored.bytes = Bytes(value.bytes);
  return Set(root, path, name, stored);
}

Error FakeRegistry::ReadValue(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                              RegistryValue& value, bool& found) {
  value = RegistryValue();
  found = false;
  const Place place = Resolve(root, path);
  if (Refused(place.tree, place.path)) return RegistryError(kAccessDenied, root, path);
  Key* key = Walk(place.tree, place.path, false);
  const FakeValue* stored = key != nullptr ? key->FindValue(name) : nullptr;
  if (stored == nullptr) return Error();
  found = true;
  value.type = stored->type;
  value.bytes.Append(std::string_view(stored->bytes));
  return Error();
}

Error FakeRegistry::ValueNames(RegistryRoot root, std::wstring_view path, NameList& names) {
  names = NameList();
  const Place place = Resolve(root, path);
  if (Refused(place.tree, place.path)) return RegistryError(kAccessDenied, root, path);
  if (Key* key = Walk(place.tree, place.path, false)) {
    for (const FakeValue& value : key->values) names.Add(value.name);
  }
  return Error();
}

Error FakeRegistry::DeleteValue(RegistryRoot root, std::wstring_view path,
                                std::wstring_view name) {
  const Place place = Resolve(root, path);
  // As on Windows, a key that may not be opened refuses even when the value is absent.
  Key* key = Walk(place.tree, place.path, false);
  if (key == nullptr) return Error();
  if (Refused(place.tree, place.path)) return RegistryError(kAccessDenied, root, path);
  if (key->FindValue(name) == nullptr) return Error();
  if (ValueRefused(place.tree, place.path, name)) return RegistryError(kAccessDenied, root, path);
  key->values.erase(std::remove_if(key->values.begin(), key->values.end(),
                                   [&](const FakeValue& v) { return Folded(v.name) == Folded(name); }),
                    key->values.end());
  Changed();
  return Error();
}

Error FakeRegistry::DeleteKeyIfEmpty(RegistryRoot root, std::wstring_view path, bool& deleted) {
  deleted = false;
  const Place place = Resolve(root, path);
  Key* key = Walk(place.tree, place.path, false);
  if (key == nullptr || Levels(place.path).empty()) return Error();
  if (Refused(place.tree, place.path)) return RegistryError(kAccessDenied, root, path);
  if (!key->sub_keys.empty() || !key->values.empty()) return Error();
  const std::uint64_t found = key->serial;
  if (other_program_) other_program_();
  // As NtDeleteKey on the handle opened for the look: a key deleted (and
  // perhaps made again) meanwhile is not touched, and Windows keeps a key
  // that has a sub-key; a value written meanwhile goes with the key.
  key = Walk(place.tree, place.path, false);
  if (key == nullptr || key->serial != found || !key->sub_keys.empty()) return Error();
  Parent(place.tree, place.path)->sub_keys.erase(Folded(Levels(place.path).back()));
  deleted = true;
  Changed();
  return Error();
}

Error FakeRegistry::DeleteTree(RegistryRoot root, std::wstring_view path) {
  const Place place = Resolve(root, path);
  if (Walk(place.tree, place.path, false) == nullptr || Levels(place.path).empty()) return Error();
  if (Refused(place.tree, place.path)) return RegistryError(kAccessDenied, root, path);
  DeleteTreeIn(place.tree, place.path);
  return Error();
}

void FakeRegistry::DeleteTreeIn(RegistryRoot tree, const std::wstring& path) {
  Key* key = Walk(tree, path, false);
  while (!key->sub_keys.empty()) DeleteTreeIn(tree, path + L"\\" + key->sub_keys.begin()->first);
  Parent(tree, path)->sub_keys.erase(Folded(Levels(path).back()));
  Changed();
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

void FakeRegistry::Put(RegistryRoot root, const std::wstring& path, const FakeValue& value) {
  Key* key = Walk(root, path, true);
  if (FakeValue* existing = key->FindValue(value.name)) {
    *existing = value;
  } else {
    key->values.push_back(value);
  }
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

std::vector<std::wstring> FakeRegistry::Dump() const {
  std::vector<std::wstring> lines;
  for (const auto& [root, key] : roots_) key->Dump(RootName(root), lines);
  std::sort(lines.begin(), lines.end());
  return lines;
}

}  // namespace glyphary::platform
