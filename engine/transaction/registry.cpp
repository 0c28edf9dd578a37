// The registry kinds of the transaction: the 36 keys and the 48 values of
// the file types, each with its record, step and undo. The installation's
// record and the Windows Installer package's key keep them alike.
#include "base/path_text.h"
#include "engine/transaction/changes.h"

namespace glyphary::engine {

namespace {

constexpr std::wstring_view kKeysValue = L"ExistingKeys";
constexpr std::wstring_view kReplacedKey = L"\\ReplacedValues";

// The keys of a type, deepest first: the order they can be removed in.
constexpr TypeKey kKeysDeepestFirst[] = {TypeKey::kDefaultIcon, TypeKey::kType, TypeKey::kExtension};

// The first failure of many steps that are all tried.
void Keep(Error& first, Error error) {
  if (error && !first) first = error;
}

WideText ReplacedKey(RecordLocation record) { return Joined(record.key, kReplacedKey); }

bool Saved(const List<SavedValue>& saved, int place, const platform::RegistryValue* exactly = nullptr) {
  for (const SavedValue& old : saved) {
    if (old.place == place && (exactly == nullptr || old.before == *exactly)) return true;
  }
  return false;
}

}  // namespace

// --- Keys ---------------------------------------------------------------------

void ExistingKeys(platform::Registry& registry, const InstallTarget& target, NameList& existing) {
  for (int key = 0; key < kKeyCount; ++key) {
    const WideText path = KeyAt(target, key);
    if (registry.KeyExists(target.classes_root, path)) existing.Add(path);
  }
}

Error WriteKeysBefore(platform::Registry& registry, RecordLocation record, const NameList& keys) {
  if (keys.empty()) return Error();
  return registry.SetText(record.root, record.key, kKeysValue, changes::JoinedNames(keys));
}

Error ReadKeysBefore(platform::Registry& registry, RecordLocation record, const InstallTarget& target,
                     NameList& keys, NameList& ignored, bool& damaged) {
  auto is_type_key = [&target](std::wstring_view path) { return IsTypeKey(target, path); };
  return changes::ReadList(registry, record, kKeysValue, L"keys", false, FunctionRef<bool(std::wstring_view)>(is_type_key),
                           keys, ignored, damaged);
}

Error MakeKeysAgain(platform::Registry& registry, const InstallTarget& target, const NameList& keys) {
  Error first;
  keys.ForEach([&](std::wstring_view path) { Keep(first, registry.CreateKey(target.classes_root, path)); });
  return first;
}

// --- Values -------------------------------------------------------------------

Error ScanPlaces(platform::Registry& registry, const InstallTarget& target, const PlaceVisit& visit) {
  Error first;
  for (int place = 0; place < kPlaceCount; ++place) {
    platform::RegistryValue value;
    bool exists = false;
    const Error error =
        registry.ReadValue(target.classes_root, PlaceKey(target, place), PlaceAt(place).value.name, value, exists);
    Keep(first, error);
    if (!visit(PlaceRead{place, exists && !error, value, error})) break;
  }
  return first;
}

Error ReadPlaces(platform::Registry& registry, const InstallTarget& target, List<SavedValue>& found,
                 bool with_ours) {
  auto collect = [&](const PlaceRead& read) {
    if (read.exists && (with_ours || !HoldsOurs(target, read.place, read.value))) {
      found.Add(SavedValue{read.place, read.value});
    }
    return !read.error;  // one that cannot be read stops the run
  };
  return ScanPlaces(registry, target, PlaceVisit(collect));
}

Error SaveValues(platform::Registry& registry, RecordLocation record, const InstallTarget& target,
                 const List<SavedValue>& values) {
  if (values.empty()) return Error();
  const WideText key = ReplacedKey(record);
  if (Error error = registry.CreateKey(record.root, key)) return error;
  for (const SavedValue& saved : values) {
    if (Error error = registry.SetValue(record.root, key, PlaceName(target, saved.place), saved.before)) {
      return error;
    }
  }
  return Error();
}

Error ReadSavedValues(platform::Registry& registry, RecordLocation record, const InstallTarget& target,
                      List<SavedValue>& saved, NameList& ignored) {
  const WideText key = ReplacedKey(record);
  NameList names;
  if (Error error = registry.ValueNames(record.root, key, names)) return error;
  Error failed;
  names.ForEach([&](std::wstring_view entry) {
    const int place = PlaceNamed(target, entry);
    if (place < 0 || Saved(saved, place)) {
      ignored.Add(Joined(L"ReplacedValues: ", entry));
      return;
    }
    SavedValue kept{place, {}};
    bool exists = false;
    if (Error error = registry.ReadValue(record.root, key, entry, kept.before, exists)) {
      Keep(failed, error);
    } else if (exists) {
      saved.Add(kept);
    }
  });
  return failed;
}

Error ForgetSavedValues(platform::Registry& registry, RecordLocation record) {
  if (Error error = registry.DeleteValue(record.root, record.key, kKeysValue)) return error;
  return registry.DeleteTree(record.root, ReplacedKey(record));
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

Error PutBackSaved(platform::Registry& registry, const InstallTarget& target, const List<SavedValue>& saved,
                   int& restored, platform::Log* log, const Replaceable* replaceable) {
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
    if (exists && found == old.before) {
      ++restored;  // there before, or put back by an earlier, interrupted run
      continue;
    }
    if (exists && (replaceable == nullptr || !(*replaceable)(old.place, found))) continue;
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

Error UnregisterFileTypes(platform::Registry& registry, const InstallTarget& target, const List<SavedValue>& saved,
                          UnregisterReport& report, platform::Log* log, const NameList* keys_before) {
  const platform::RegistryRoot root = target.classes_root;
  report = UnregisterReport();
  Error first;
  int last_type_counted = -1;
  auto unregister = [&](const PlaceRead& read) {
    const int place = read.place;
    const platform::RegistryValue& found = read.value;
    if (!read.exists) return true;
    const WideText path = PlaceKey(target, place);
    if (!HoldsOurs(target, place, found)) {
      // Put back by an earlier, interrupted run of this removal; or changed
      // since, or never ours: someone else's.
      if (!Saved(saved, place, &found)) {
        ++report.values_kept;
        platform::Note(log, Joined(L"kept, someone else's: ", platform::KeyName(root, PlaceName(target, place))));
      }
      return true;
    }
    const Error deleting = registry.DeleteValue(root, path, PlaceAt(place).value.name);
    // A type's places come one after another: each type is counted once.
    if (!deleting && place / kValuesPerType != last_type_counted) {
      last_type_counted = place / kValuesPerType;
      ++report.types_removed;
    }
    Keep(first, deleting);
    return true;
  };
  Keep(first, ScanPlaces(registry, target, PlaceVisit(unregister)));
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

// --- The kind -------------------------------------------------------------------

namespace changes {

namespace {

// The keys and the values, one kind: the step writes them type by type,
// each type's keys before its values, in the order Windows expects.
class Registrations final : public Change {
 public:
  // What the places held, and which of the keys were there.
  Error Journal(Work& work) const override {
    platform::Registry& registry = work.platform.registry;
    if (Error error = SaveValues(registry, RecordOf(work.target), work.target, *work.new_saved)) return error;
    return WriteKeysBefore(registry, RecordOf(work.target), work.record.keys_before);
  }
  Error Do(Work& work) const override {
    (*work.stage)(InstallStage::kEditingRegistry);
    return work.upgrade ? Error() : RegisterFileTypes(work.platform.registry, work.target);
  }
  bool Rollback(Work& work) const override {
    work.keep(UnregisterFileTypes(work.platform.registry, work.target, work.record.saved, work.report->registry,
                                  work.platform.log, &work.record.keys_before));
    return true;
  }
};

}  // namespace

const Change& RegistrationChange() {
  static const Registrations kind;
  return kind;
}

}  // namespace changes

}  // namespace glyphary::engine
