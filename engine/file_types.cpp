#include "engine/file_types.h"

namespace glyphary::engine {

namespace {

// The keys of a type, deepest first: the order they can be removed in.
constexpr TypeKey kKeysDeepestFirst[] = {TypeKey::kDefaultIcon, TypeKey::kType,
                                         TypeKey::kExtension};

// The first failure of many steps that are all tried.
void Keep(Error& first, Error error) {
  if (error && !first) first = error;
}

}  // namespace

WideText TypeKeyPath(const InstallTarget& target, const FileType& type, TypeKey key) {
  switch (key) {
    case TypeKey::kExtension: return Joined(target.classes_path, type.extension);
    case TypeKey::kType: return Joined(target.classes_path, type.type_id);
    case TypeKey::kDefaultIcon: break;
  }
  return Joined(target.classes_path, type.type_id, L"\\DefaultIcon");
}

WideText TypeValueText(const InstallTarget& target, const FileType& type, const TypeValue& value) {
  if (value.data == ValueData::kTypeId) return WideText(type.type_id);
  return Joined(target.folder, L"\\", type.icon_file, L",0");  // icon 0 of that file
}

bool HoldsOurs(const InstallTarget& target, const FileType& type, const TypeValue& value,
               const platform::RegistryValue& found) {
  if (value.data == ValueData::kNumber) {
    return found.type == platform::RegistryValue::Type::kNumber && found.number == value.number;
  }
  return found.type == platform::RegistryValue::Type::kText &&
         found.text == TypeValueText(target, type, value);
}

Error RegisterFileTypes(platform::Registry& registry, const InstallTarget& target) {
  const platform::RegistryRoot root = target.classes_root;
  Error first;
  for (const FileType& type : kFileTypes) {
    for (TypeKey key : kTypeKeysMade) Keep(first, registry.CreateKey(root, TypeKeyPath(target, type, key)));
    for (const TypeValue& value : kTypeValues) {
      const WideText path = TypeKeyPath(target, type, value.key);
      Keep(first, value.data == ValueData::kNumber
                      ? registry.SetNumber(root, path, value.name, value.number)
                      : registry.SetText(root, path, value.name, TypeValueText(target, type, value)));
    }
  }
  return first;
}

Error UnregisterFileTypes(platform::Registry& registry, const InstallTarget& target,
                          UnregisterReport& report) {
  const platform::RegistryRoot root = target.classes_root;
  report = UnregisterReport();
  Error first;
  for (const FileType& type : kFileTypes) {
    bool removed = false;
    for (const TypeValue& value : kTypeValues) {
      const WideText path = TypeKeyPath(target, type, value.key);
      platform::RegistryValue found;
      bool exists = false;
      if (Error error = registry.ReadValue(root, path, value.name, found, exists)) {
        Keep(first, error);
        continue;
      }
      if (!exists) continue;
      if (!HoldsOurs(target, type, value, found)) {
        ++report.values_kept;  // changed since, or never ours: someone else's
        continue;
      }
      const Error deleting = registry.DeleteValue(root, path, value.name);
      removed |= !deleting;
      Keep(first, deleting);
    }
    for (TypeKey key : kKeysDeepestFirst) {
      const WideText path = TypeKeyPath(target, type, key);
      bool deleted = false;
      const Error deleting = registry.DeleteKeyIfEmpty(root, path, deleted);
      Keep(first, deleting);
      removed |= deleted;
      if (!deleted && registry.KeyExists(root, path)) ++report.keys_kept;
    }
    if (removed) ++report.types_removed;
  }
  return first;
}

}  // namespace glyphary::engine
