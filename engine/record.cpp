#include "engine/record.h"

#include <algorithm>

#include "base/path_text.h"

namespace glyphary::engine {

namespace {

constexpr std::wstring_view kFilesValue = L"InstalledFiles";
constexpr std::wstring_view kReplacedKey = L"\\ReplacedValues";
// Between the names of the files, and between a replaced value's key and
// name: a character no file, key or value name of ours holds.
constexpr wchar_t kSeparator = L'|';


}  // namespace

Error WriteRecord(const platform::Platform& platform, const InstallTarget& target,
                  const InstallRecord& record, Journal& journal) {
  platform::Registry& registry = platform.registry;
  const platform::RegistryRoot root = target.record_root;
  const WideText uninstaller = Joined(target.folder, L"\\", kExeName);
  // Settings runs these; the per-user installation's carry /user, so that
  // they remove that one.
  const WideText quoted = Joined(L"\"", uninstaller, L"\" /uninstall",
                                 std::wstring_view(target.scope == Scope::kUser ? L" /user" : L""));
  WideText files;
  record.files.names.ForEach([&files](std::wstring_view name) {
    if (!files.empty()) files.Append(kSeparator);
    files.Append(name);
  });

  if (Error error = CreateKeyNoted(registry, root, kRecordKey, journal)) return error;
  struct Entry {
    std::wstring_view name;
    platform::RegistryValue value;
  };
  const Entry entries[] = {
      {L"DisplayVersion", TextValue(platform.system.ProgramVersion())},
      {L"Publisher", TextValue(kPublisher)},
      {L"DisplayIcon", TextValue(Joined(uninstaller, L",0"))},
      {L"InstallLocation", TextValue(target.folder)},
      {L"EstimatedSize", NumberValue(static_cast<std::uint32_t>((record.files.bytes + 1023) / 1024))},
      {L"NoModify", NumberValue(1)},
      {L"NoRepair", NumberValue(1)},
      {L"UninstallString", TextValue(quoted)},
      {L"QuietUninstallString", TextValue(Joined(quoted, L" /S"))},
      {kFilesValue, TextValue(files)},
  };
  platform::RegistryValue before;
  bool existed = false;
  for (const Entry& entry : entries) {
    if (Error error = WriteValueNoted(registry, root, kRecordKey, entry.name, entry.value, journal,
                                      before, existed)) {
      return error;
    }
  }
  if (!record.replaced.empty()) {
    const WideText replaced_key = Joined(kRecordKey, kReplacedKey);
    if (Error error = CreateKeyNoted(registry, root, replaced_key, journal)) return error;
    for (const ReplacedValue& old : record.replaced) {
      if (Error error = WriteValueNoted(registry, root, replaced_key,
                                        Joined(old.key, std::wstring_view(&kSeparator, 1), old.name),
                                        old.value, journal, before, existed)) {
        return error;
      }
    }
  }
  return WriteValueNoted(registry, root, kRecordKey, L"DisplayName", TextValue(kProductName),
                         journal, before, existed);
}

bool RecordComplete(platform::Registry& registry, const InstallTarget& target) {
  platform::RegistryValue name;
  bool found = false;
  return !registry.ReadValue(target.record_root, kRecordKey, L"DisplayName", name, found) && found;
}

Error ReadRecord(platform::Registry& registry, const InstallTarget& target, InstallRecord& record,
                 bool& found) {
  record = InstallRecord();
  found = RecordComplete(registry, target);
  if (!found) return Error();
  const platform::RegistryRoot root = target.record_root;
  platform::RegistryValue files;
  bool has_files = false;
  if (Error error = registry.ReadValue(root, kRecordKey, kFilesValue, files, has_files)) return error;
  for (std::wstring_view rest = files.text; !rest.empty();) {
    const std::size_t cut = std::min(rest.find(kSeparator), rest.size());
    if (cut > 0) record.files.names.Add(Head(rest, cut));
    rest = After(rest, cut);
  }
  // The replaced values: one value a value, named "<key>|<name>".
  const WideText replaced_key = Joined(kRecordKey, kReplacedKey);
  NameList names;
  if (Error error = registry.ValueNames(root, replaced_key, names)) return error;
  Error failed;
  names.ForEach([&](std::wstring_view entry) {
    const std::size_t cut = std::min(entry.find(kSeparator), entry.size());
    ReplacedValue old{WideText(Head(entry, cut)), WideText(After(entry, cut)), {}};
    bool exists = false;
    if (Error error = registry.ReadValue(root, replaced_key, entry, old.value, exists)) {
      if (!failed) failed = error;
    } else if (exists) {
      record.replaced.Add(old);
    }
  });
  return failed;
}

Error DeleteRecord(platform::Registry& registry, const InstallTarget& target) {
  return registry.DeleteTree(target.record_root, kRecordKey);
}

}  // namespace glyphary::engine
