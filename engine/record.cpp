#include "engine/record.h"

#include "base/decimal.h"
#include "base/path_text.h"

namespace glyphary::engine {

namespace {

constexpr std::wstring_view kStateValue = L"InstallState";
constexpr std::wstring_view kFilesValue = L"InstalledFiles";
constexpr std::wstring_view kSetAsideValue = L"SetAsideFiles";
constexpr std::wstring_view kKeysValue = L"ExistingKeys";
// The same lists for the install folder's twin that 32-bit programs reach.
constexpr std::wstring_view kWow64FilesValue = L"InstalledFilesWow64";
constexpr std::wstring_view kWow64SetAsideValue = L"SetAsideFilesWow64";
constexpr std::wstring_view kNameValue = L"DisplayName";
constexpr std::wstring_view kReplacedKey = L"\\ReplacedValues";
constexpr std::wstring_view kInstalling = L"Installing";
constexpr std::wstring_view kInstalled = L"Installed";
constexpr std::wstring_view kRemoving = L"Removing";
// Between the names of the files: a character no file name holds.
constexpr wchar_t kSeparator = L'|';

WideText ReplacedKey() { return Joined(kRecordKey, kReplacedKey); }

WideText JoinedNames(const NameList& names) {
  WideText text;
  names.ForEach([&text](std::wstring_view name) {
    if (!text.empty()) text.Append(kSeparator);
    text.Append(name);
  });
  return text;
}

// Reads one text value of the record ("" when it is missing or no text).
Error ReadText(platform::Registry& registry, const InstallTarget& target, std::wstring_view name,
               WideText& text, bool& found) {
  platform::RegistryValue value;
  if (Error error = registry.ReadValue(target.record_root, kRecordKey, name, value, found)) return error;
  text = value.AsText();
  return Error();
}

// The plain names of a "|"-separated list into `names`, the others into
// `ignored` after `what`.
void SplitNames(std::wstring_view list, std::wstring_view what, NameList& names, NameList& ignored) {
  for (std::wstring_view rest = list; !rest.empty();) {
    std::size_t cut = 0;
    while (cut < rest.size() && rest[cut] != kSeparator) ++cut;
    const std::wstring_view name = Head(rest, cut);
    if (IsPlainFileName(name)) {
      if (!names.Contains(name)) names.Add(name);
    } else if (!name.empty()) {
      ignored.Add(Joined(what, L": ", name));
    }
    rest = After(rest, cut);
  }
}

}  // namespace

bool IsPlainFileName(std::wstring_view name) {
  if (name.empty() || name.size() > 255 || name == L"." || name == L"..") return false;
  if (name.back() == L'.' || name.back() == L' ') return false;
  for (wchar_t c : name) {
    if (c < 32 || c == L'\\' || c == L'/' || c == L':' || c == L'*' || c == L'?' || c == L'"' ||
        c == L'<' || c == L'>' || c == L'|') {
      return false;
    }
  }
  // A device's name ("CON", "nul.ico", "COM1") names the device in any folder.
  std::size_t stem = 0;
  while (stem < name.size() && name[stem] != L'.') ++stem;
  const std::wstring_view base = Head(name, stem);
  for (std::wstring_view device : {L"CON", L"PRN", L"AUX", L"NUL"}) {
    if (SameName(base, device)) return false;
  }
  if (base.size() == 4 && (SameName(Head(base, 3), L"COM") || SameName(Head(base, 3), L"LPT")) &&
      base[3] >= L'0' && base[3] <= L'9') {
    return false;
  }
  return true;
}

Error ReadRecord(platform::Registry& registry, const InstallTarget& target, InstallRecord& record) {
  record = InstallRecord();
  record.exists = registry.KeyExists(target.record_root, kRecordKey);
  if (!record.exists) return Error();
  WideText text;
  bool found = false;
  if (Error error = ReadText(registry, target, kStateValue, text, found)) return error;
  if (text == kInstalling) record.state = RecordState::kInstalling;
  if (text == kInstalled) record.state = RecordState::kInstalled;
  if (text == kRemoving) record.state = RecordState::kRemoving;
  if (found && record.state == RecordState::kNone) {
    // A state no build writes: taken for an unfinished one, never for complete.
    record.ignored.Add(Joined(kStateValue, L": ", text));
    record.damaged = true;
    record.state = RecordState::kInstalling;
  }
  bool named = false;
  if (Error error = ReadText(registry, target, kNameValue, text, named)) return error;
  // An earlier build's complete record has DisplayName and no state.
  record.complete = named && (record.state == RecordState::kInstalled || record.state == RecordState::kNone);

  // The lists: text, "|" between the names. The list of files put in is
  // written with the state, so every record with a state has it; the
  // twin's lists are there only where the run put anything there.
  struct Names {
    std::wstring_view list;
    NameList& names;
  };
  const Names lists[] = {{kFilesValue, record.files},
                         {kSetAsideValue, record.set_aside},
                         {kWow64FilesValue, record.wow64_files},
                         {kWow64SetAsideValue, record.wow64_set_aside}};
  for (const auto& [list, names] : lists) {
    platform::RegistryValue value;
    if (Error error = registry.ReadValue(target.record_root, kRecordKey, list, value, found)) return error;
    const bool text_value = value.type == platform::value_type::kText || value.type == platform::value_type::kExpandableText;
    if (found && !text_value) {
      record.ignored.Add(Joined(list, L": not a list of file names (registry type ", DecimalText(value.type), L")"));
      record.damaged = true;
    } else if (!found && list == kFilesValue && record.state != RecordState::kNone) {
      record.ignored.Add(Joined(list, L": missing"));
      record.damaged = true;
    }
    SplitNames(value.AsText(), list, names, record.ignored);
  }

  // The keys that were there before: "|" between their paths, each one of
  // the 36.
  platform::RegistryValue keys;
  if (Error error = registry.ReadValue(target.record_root, kRecordKey, kKeysValue, keys, found)) return error;
  if (found && keys.type != platform::value_type::kText) {
    record.ignored.Add(Joined(kKeysValue, L": not a list of keys (registry type ", DecimalText(keys.type), L")"));
    record.damaged = true;
  }
  const WideText key_list = keys.AsText();
  for (std::wstring_view rest = key_list; !rest.empty();) {
    std::size_t cut = 0;
    while (cut < rest.size() && rest[cut] != kSeparator) ++cut;
    const std::wstring_view key = Head(rest, cut);
    if (IsTypeKey(target, key)) {
      record.keys_before.Add(key);
    } else if (!key.empty()) {
      record.ignored.Add(Joined(kKeysValue, L": ", key));
    }
    rest = After(rest, cut);
  }

  // The replaced values: one value a place, named "<key>|<name>", holding
  // what the place held.
  return ReadSavedValues(registry, target.record_root, ReplacedKey(), target, record.saved, record.ignored);
}

Error WritePlan(platform::Registry& registry, const InstallTarget& target,
                const InstallRecord& record, const List<SavedValue>& new_saved) {
  const platform::RegistryRoot root = target.record_root;
  if (Error error = registry.CreateKey(root, kRecordKey)) return error;
  if (!new_saved.empty()) {
    const WideText replaced_key = ReplacedKey();
    if (Error error = registry.CreateKey(root, replaced_key)) return error;
    for (const SavedValue& saved : new_saved) {
      if (Error error = registry.SetValue(root, replaced_key, PlaceName(target, saved.place), saved.before)) {
        return error;
      }
    }
  }
  if (!record.keys_before.empty()) {
    if (Error error = registry.SetText(root, kRecordKey, kKeysValue, JoinedNames(record.keys_before))) return error;
  }
  // The files to move aside go in before the files to put in: a name in
  // the second list that is missing from the first would be taken for ours.
  if (!record.set_aside.empty()) {
    if (Error error = registry.SetText(root, kRecordKey, kSetAsideValue, JoinedNames(record.set_aside))) {
      return error;
    }
  }
  if (Error error = registry.SetText(root, kRecordKey, kFilesValue, JoinedNames(record.files))) return error;
  // The twin's, in the same order.
  if (!record.wow64_set_aside.empty()) {
    if (Error error = registry.SetText(root, kRecordKey, kWow64SetAsideValue, JoinedNames(record.wow64_set_aside))) {
      return error;
    }
  }
  if (!record.wow64_files.empty()) {
    if (Error error = registry.SetText(root, kRecordKey, kWow64FilesValue, JoinedNames(record.wow64_files))) {
      return error;
    }
  }
  return registry.SetText(root, kRecordKey, kStateValue, kInstalling);
}

Error CompleteRecord(const platform::Platform& platform, const InstallTarget& target,
                     unsigned long long bytes) {
  platform::Registry& registry = platform.registry;
  const platform::RegistryRoot root = target.record_root;
  const WideText uninstaller = Joined(target.folder, L"\\", kExeName);
  // Settings runs these; the per-user installation's carry /user, so that
  // they remove that one.
  const WideText quoted = Joined(L"\"", uninstaller, L"\" /uninstall",
                                 std::wstring_view(target.scope == Scope::kUser ? L" /user" : L""));
  struct Entry {
    std::wstring_view name;
    platform::RegistryValue value;
  };
  const Entry entries[] = {
      {L"DisplayVersion", platform::RegistryValue::Text(platform.system.ProgramVersion())},
      {L"Publisher", platform::RegistryValue::Text(kPublisher)},
      {L"DisplayIcon", platform::RegistryValue::Text(Joined(uninstaller, L",0"))},
      {L"InstallLocation", platform::RegistryValue::Text(target.folder)},
      {L"EstimatedSize", platform::RegistryValue::Number(static_cast<std::uint32_t>((bytes + 1023) / 1024))},
      {L"NoModify", platform::RegistryValue::Number(1)},
      {L"NoRepair", platform::RegistryValue::Number(1)},
      {L"UninstallString", platform::RegistryValue::Text(quoted)},
      {L"QuietUninstallString", platform::RegistryValue::Text(Joined(quoted, L" /S"))},
      {kStateValue, platform::RegistryValue::Text(kInstalled)},
      {kNameValue, platform::RegistryValue::Text(kProductName)},  // last: the entry shows
  };
  for (const Entry& entry : entries) {
    if (Error error = registry.SetValue(root, kRecordKey, entry.name, entry.value)) return error;
  }
  return Error();
}

Error MarkRemoving(platform::Registry& registry, const InstallTarget& target) {
  if (Error error = registry.DeleteValue(target.record_root, kRecordKey, kNameValue)) return error;
  return registry.SetText(target.record_root, kRecordKey, kStateValue, kRemoving);
}

Error WriteFilesLeft(platform::Registry& registry, const InstallTarget& target, const NameList& files,
                     const NameList& wow64_files) {
  if (Error error = registry.SetText(target.record_root, kRecordKey, kFilesValue, JoinedNames(files))) {
    return error;
  }
  return registry.SetText(target.record_root, kRecordKey, kWow64FilesValue, JoinedNames(wow64_files));
}

Error DeleteRecord(platform::Registry& registry, const InstallTarget& target) {
  // The state goes first: a record cut short while it is deleted has no
  // state and no DisplayName, which every later run takes for a record
  // that only has to go (its saved values, put back already, may be gone).
  if (Error error = registry.DeleteValue(target.record_root, kRecordKey, kStateValue)) return error;
  return registry.DeleteTree(target.record_root, kRecordKey);
}

}  // namespace glyphary::engine
