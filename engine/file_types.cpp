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
  // Below HKEY_CLASSES_ROOT the keys stand at the top; below another root they
  // stand under the classes path (Software\Classes\.89m).
  const std::wstring_view separator = target.classes_path.empty() ? L"" : L"\\";
  switch (key) {
    case TypeKey::kExtension: return Joined(target.classes_path, separator, type.extension);
    case TypeKey::kType: return Joined(target.classes_path, separator, type.type_id);
    case TypeKey::kDefaultIcon: break;
  }
  return Joined(target.classes_path, separator, type.type_id, L"\\DefaultIcon");
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

Error RegisterFileTypes(platform::Registry& registry, const InstallTarget& target,
                        Journal& journal, List<ReplacedValue>& replaced) {
  const platform::RegistryRoot root = target.classes_root;
  Error first;
  for (const FileType& type : kFileTypes) {
    for (TypeKey key : kTypeKeysMade) {
      Keep(first, CreateKeyNoted(registry, root, TypeKeyPath(target, type, key), journal));
    }
    for (const TypeValue& value : kTypeValues) {
      const WideText path = TypeKeyPath(target, type, value.key);
      const platform::RegistryValue ours = value.data == ValueData::kNumber
                                               ? NumberValue(value.number)
                                               : TextValue(TypeValueText(target, type, value));
      platform::RegistryValue before;
      bool existed = false;
      Keep(first, WriteValueNoted(registry, root, path, value.name, ours, journal, before, existed));
      if (existed && !HoldsOurs(target, type, value, before)) {
        replaced.Add(ReplacedValue{path, WideText(value.name), before});
      }
    }
  }
  return first;
}

Error UnregisterFileTypes(platform::Registry& registry, const InstallTarget& target,
                          const List<ReplacedValue>& replaced, UnregisterReport& report) {
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
    if (removed) ++report.types_removed;
  }
  for (const FileType& type : kFileTypes) {
    for (TypeKey key : kKeysDeepestFirst) {
      const WideText path = TypeKeyPath(target, type, key);
      bool deleted = false;
      const Error deleting = registry.DeleteKeyIfEmpty(root, path, deleted);
      Keep(first, deleting);
      if (!deleted && !deleting && registry.KeyExists(root, path)) ++report.keys_kept;
    }
  }
  // What the installation replaced goes back where nothing else has taken
  // its place since; its key comes back with it.
  for (const ReplacedValue& old : replaced) {
    platform::RegistryValue found;
    bool exists = false;
    if (Error error = registry.ReadValue(root, old.key, old.name, found, exists)) {
      Keep(first, error);
      continue;
    }
    if (exists) continue;
    Error restoring = registry.CreateKey(root, old.key);
    if (!restoring) restoring = WriteValue(registry, root, old.key, old.name, old.value);
    if (!restoring) ++report.values_restored;
    Keep(first, restoring);
  }
  return first;
}

}  // namespace glyphary::engine
