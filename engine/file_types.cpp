#include "engine/file_types.h"

#include "base/path_text.h"

namespace glyphary::engine {

namespace {

// The keys of a type, deepest first: the order they can be removed in.
constexpr TypeKey kKeysDeepestFirst[] = {TypeKey::kDefaultIcon, TypeKey::kType,
                                         TypeKey::kExtension};

// Between a place's key and its value name in the record: a character no
// key name may hold.
constexpr wchar_t kPlaceSeparator = L'|';

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
  if (value.data == ValueData::kNumber) return found.HoldsNumber(value.number);
  return found.HoldsText(TypeValueText(target, type, value));
}

WideText KeyAt(const InstallTarget& target, int key) {
  constexpr TypeKey kKinds[] = {TypeKey::kExtension, TypeKey::kType, TypeKey::kDefaultIcon};
  return TypeKeyPath(target, kFileTypes[key / 3], kKinds[key % 3]);
}

void ExistingKeys(platform::Registry& registry, const InstallTarget& target, NameList& existing) {
  for (int key = 0; key < kKeyCount; ++key) {
    const WideText path = KeyAt(target, key);
    if (registry.KeyExists(target.classes_root, path)) existing.Add(path);
  }
}

bool IsTypeKey(const InstallTarget& target, std::wstring_view path) {
  for (int key = 0; key < kKeyCount; ++key) {
    if (SameName(KeyAt(target, key).view(), path)) return true;
  }
  return false;
}

WideText PlaceKey(const InstallTarget& target, int place) {
  const Place at = PlaceAt(place);
  return TypeKeyPath(target, at.type, at.value.key);
}

platform::RegistryValue OurValue(const InstallTarget& target, int place) {
  const Place at = PlaceAt(place);
  if (at.value.data == ValueData::kNumber) return platform::RegistryValue::Number(at.value.number);
  return platform::RegistryValue::Text(TypeValueText(target, at.type, at.value));
}

WideText PlaceName(const InstallTarget& target, int place) {
  return Joined(PlaceKey(target, place), std::wstring_view(&kPlaceSeparator, 1), PlaceAt(place).value.name);
}

int PlaceNamed(const InstallTarget& target, std::wstring_view name) {
  for (int place = 0; place < kPlaceCount; ++place) {
    if (SameName(PlaceName(target, place).view(), name)) return place;
  }
  return -1;
}

Error ReadPlaces(platform::Registry& registry, const InstallTarget& target,
                 List<SavedValue>& foreign, bool with_ours) {
  for (int place = 0; place < kPlaceCount; ++place) {
    const Place at = PlaceAt(place);
    SavedValue found{place, {}};
    bool exists = false;
    if (Error error = registry.ReadValue(target.classes_root, PlaceKey(target, place),
                                         at.value.name, found.before, exists)) {
      return error;
    }
    if (exists && (with_ours || !HoldsOurs(target, at.type, at.value, found.before))) foreign.Add(found);
  }
  return Error();
}

Error RegisterFileTypes(platform::Registry& registry, const InstallTarget& target) {
  const platform::RegistryRoot root = target.classes_root;
  Error first;
  for (const FileType& type : kFileTypes) {
    for (TypeKey key : kTypeKeysMade) Keep(first, registry.CreateKey(root, TypeKeyPath(target, type, key)));
    for (const TypeValue& value : kTypeValues) {
      const WideText path = TypeKeyPath(target, type, value.key);
      if (value.data == ValueData::kNumber) {
        Keep(first, registry.SetNumber(root, path, value.name, value.number));
      } else {
        Keep(first, registry.SetText(root, path, value.name, TypeValueText(target, type, value)));
      }
    }
  }
  return first;
}

Error UnregisterFileTypes(platform::Registry& registry, const InstallTarget& target,
                          const List<SavedValue>& saved, UnregisterReport& report, platform::Log* log,
                          const NameList* keys_before) {
  const platform::RegistryRoot root = target.classes_root;
  report = UnregisterReport();
  Error first;
  int last_type_counted = -1;
  for (int place = 0; place < kPlaceCount; ++place) {
    const Place at = PlaceAt(place);
    const WideText path = PlaceKey(target, place);
    platform::RegistryValue found;
    bool exists = false;
    if (Error error = registry.ReadValue(root, path, at.value.name, found, exists)) {
      Keep(first, error);
      continue;
    }
    if (!exists) continue;
    if (!HoldsOurs(target, at.type, at.value, found)) {
      bool put_back = false;  // by an earlier, interrupted run of this removal
      for (const SavedValue& old : saved) put_back |= old.place == place && old.before == found;
      if (!put_back) {
        ++report.values_kept;  // changed since, or never ours: someone else's
        platform::Note(log, Joined(L"kept, someone else's: ", platform::KeyName(root, PlaceName(target, place))));
      }
      continue;
    }
    const Error deleting = registry.DeleteValue(root, path, at.value.name);
    // A type's places come one after another: each type is counted once.
    if (!deleting && place / kValuesPerType != last_type_counted) {
      last_type_counted = place / kValuesPerType;
      ++report.types_removed;
    }
    Keep(first, deleting);
  }
  for (const FileType& type : kFileTypes) {
    for (TypeKey key : kKeysDeepestFirst) {
      const WideText path = TypeKeyPath(target, type, key);
      if (keys_before != nullptr && keys_before->Contains(path)) continue;  // there before: stays
      bool deleted = false;
      const Error deleting = registry.DeleteKeyIfEmpty(root, path, deleted);
      Keep(first, deleting);
      if (!deleted && !deleting && registry.KeyExists(root, path)) ++report.keys_kept;
    }
  }
  // What the installation replaced goes back where nothing else has taken
  // its place since; its key comes back with it.
  Keep(first, PutBackSaved(registry, target, saved, report.values_restored, log));
  return first;
}

Error ReadSavedValues(platform::Registry& registry, platform::RegistryRoot root, std::wstring_view key,
                      const InstallTarget& target, List<SavedValue>& saved, NameList& ignored) {
  NameList names;
  if (Error error = registry.ValueNames(root, key, names)) return error;
  Error failed;
  names.ForEach([&](std::wstring_view entry) {
    const int place = PlaceNamed(target, entry);
    bool taken = false;
    for (const SavedValue& old : saved) taken |= old.place == place;
    if (place < 0 || taken) {
      ignored.Add(Joined(L"ReplacedValues: ", entry));
      return;
    }
    SavedValue kept{place, {}};
    bool exists = false;
    if (Error error = registry.ReadValue(root, key, entry, kept.before, exists)) {
      Keep(failed, error);
    } else if (exists) {
      saved.Add(kept);
    }
  });
  return failed;
}

Error PutBackSaved(platform::Registry& registry, const InstallTarget& target, const List<SavedValue>& saved,
                   int& restored, platform::Log* log) {
  const platform::RegistryRoot root = target.classes_root;
  Error first;
  for (const SavedValue& old : saved) {
    const WideText path = PlaceKey(target, old.place);
    const std::wstring_view name = PlaceAt(old.place).value.name;
    platform::RegistryValue found;
    bool exists = false;
    if (Error error = registry.ReadValue(root, path, name, found, exists)) {
      Keep(first, error);
      continue;
    }
    if (exists) {
      if (found == old.before) ++restored;  // by an earlier, interrupted run
      continue;
    }
    Error restoring = registry.CreateKey(root, path);
    if (!restoring) restoring = registry.SetValue(root, path, name, old.before);
    if (!restoring) ++restored;
    platform::Note(log, Joined(L"put back what the installation had replaced: ",
                               platform::KeyName(root, PlaceName(target, old.place))),
                   restoring);
    Keep(first, restoring);
  }
  return first;
}

}  // namespace glyphary::engine
