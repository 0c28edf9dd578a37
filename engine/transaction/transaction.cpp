// The transaction's record and the order of its kinds of change: planned,
// recorded, carried out and completed; or taken back.
#include "engine/transaction/transaction.h"

#include "base/decimal.h"
#include "base/path_text.h"
#include "engine/lock.h"
#include "engine/package_owner.h"
#include "engine/transaction/changes.h"

namespace glyphary::engine {

// --- The record's texts -----------------------------------------------------

namespace changes {

WideText JoinedNames(const NameList& names) {
  WideText text;
  names.ForEach([&text](std::wstring_view name) {
    if (!text.empty()) text.Append(kSeparator);
    text.Append(name);
  });
  return text;
}

Error ReadList(platform::Registry& registry, RecordLocation record, std::wstring_view value,
               std::wstring_view what, bool required,
               const FunctionRef<bool(std::wstring_view)>& valid, NameList& names, NameList& ignored,
               bool& damaged) {
  platform::RegistryValue list;
  bool found = false;
  if (Error error = registry.ReadValue(record.root, record.key, value, list, found)) return error;
  const bool text = list.type == platform::value_type::kText || list.type == platform::value_type::kExpandableText;
  if (found && !text) {
    ignored.Add(Joined(value, L": not a list of ", what, L" (registry type ", DecimalText(list.type), L")"));
    damaged = true;
  } else if (!found && required) {
    ignored.Add(Joined(value, L": missing"));
    damaged = true;
  }
  const WideText all = list.AsText();
  for (std::wstring_view rest = all; !rest.empty();) {
    std::size_t cut = 0;
    while (cut < rest.size() && rest[cut] != kSeparator) ++cut;
    const std::wstring_view name = Head(rest, cut);
    if (valid(name)) {
      if (!names.Contains(name)) names.Add(name);
    } else if (!name.empty()) {
      ignored.Add(Joined(value, L": ", name));
    }
    rest = After(rest, cut);
  }
  return Error();
}

}  // namespace changes

namespace {

constexpr std::wstring_view kStateValue = L"InstallState";
constexpr std::wstring_view kNameValue = L"DisplayName";
constexpr std::wstring_view kPendingRestartValue = L"PendingRestart";
constexpr std::wstring_view kInstalling = L"Installing";
constexpr std::wstring_view kInstalled = L"Installed";
constexpr std::wstring_view kRemoving = L"Removing";

RecordLocation RecordOf(const InstallTarget& target) { return {target.record_root, kRecordKey}; }

Error ReadText(platform::Registry& registry, const InstallTarget& target, std::wstring_view name,
               WideText& text, bool& found) {
  platform::RegistryValue value;
  if (Error error = registry.ReadValue(target.record_root, kRecordKey, name, value, found)) return error;
  text = value.AsText();
  return Error();
}

// --- Completion: the entry in Apps & Features, and its way out ---------------

// Completes the record once everything else is in place: the entry
// Settings shows (version, publisher, icon, location, `bytes` as its size,
// no Modify or Repair buttons, the uninstall command lines), the state
// Installed and, last, DisplayName.
Error CompleteRecord(const platform::Platform& platform, const InstallTarget& target, unsigned long long bytes) {
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
    if (Error error = platform.registry.SetValue(target.record_root, kRecordKey, entry.name, entry.value)) {
      return error;
    }
  }
  return Error();
}

// Its undo, before a removal takes anything away: DisplayName deleted (the
// entry leaves Apps & Features, the detection rule turns false), then the
// state Removing.
Error MarkRemoving(platform::Registry& registry, const InstallTarget& target) {
  if (Error error = registry.DeleteValue(target.record_root, kRecordKey, kNameValue)) return error;
  return registry.SetText(target.record_root, kRecordKey, kStateValue, kRemoving);
}

// The last step of a removal. The state goes first: a record cut short
// while it is deleted has no state and no DisplayName, which every later
// run takes for a record that only has to go (its saved values, put back
// already, may be gone).
Error DeleteRecord(platform::Registry& registry, const InstallTarget& target) {
  if (Error error = registry.DeleteValue(target.record_root, kRecordKey, kStateValue)) return error;
  return registry.DeleteTree(target.record_root, kRecordKey);
}

// Says in the record what a removal left to the restart or to another
// run. Files of someone else's that come back at the restart are named
// (PendingRestart): the record stays, Removing, so that any later run sees
// that they are theirs and takes ours off the restart's list before putting
// them back itself. A removal to be run again shows its entry in Apps &
// Features again (DisplayName, with the state still Removing), with the
// uninstaller kept in the folder: Settings can run it once the file is free.
void RecordWhatIsLeft(const platform::Platform& platform, const InstallTarget& target,
                      const changes::LeftOver& left) {
  platform::Registry& registry = platform.registry;
  if (!left.restored_at_restart.empty()) {
    if (Error error = registry.SetText(target.record_root, kRecordKey, kPendingRestartValue,
                                       changes::JoinedNames(left.restored_at_restart))) {
      platform::Note(platform.log, L"cannot write what waits for the restart into the record", error);
    }
  }
  if (left.run_again) {
    if (Error error = registry.SetText(target.record_root, kRecordKey, kNameValue, kProductName)) {
      platform::Note(platform.log, L"cannot show the entry in Apps & Features again", error);
    }
  }
}

}  // namespace

// --- The record -------------------------------------------------------------

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

Error Transaction::Read() {
  platform::Registry& registry = platform_.registry;
  InstallRecord& record = record_;
  record = InstallRecord();
  new_saved_ = List<SavedValue>();
  record.exists = registry.KeyExists(target_.record_root, kRecordKey);
  if (!record.exists) return Error();
  WideText text;
  bool found = false;
  if (Error error = ReadText(registry, target_, kStateValue, text, found)) return error;
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
  if (Error error = ReadText(registry, target_, kNameValue, text, named)) return error;
  // An earlier build's complete record has DisplayName and no state.
  record.complete = named && (record.state == RecordState::kInstalled || record.state == RecordState::kNone);
  if (Error error = changes::ReadFileLists(registry, target_, record)) return error;
  if (Error error = ReadKeysBefore(registry, RecordOf(target_), target_, record.keys_before, record.ignored,
                                   record.damaged)) {
    return error;
  }
  return ReadSavedValues(registry, RecordOf(target_), target_, record.saved, record.ignored);
}

// --- Installing -------------------------------------------------------------

Error Transaction::PlanRegistry() {
  platform::Registry& registry = platform_.registry;
  InstallRecord& record = record_;
  // Values: every place read before anything is written, so that what
  // cannot be saved is not overwritten. A fresh run saves every value
  // there, ours to the byte included (another installation of the same
  // types left it), so that the uninstallation leaves what was there; a run
  // that finishes an earlier one finds that one's values in the places it
  // had planned, and keeps the first saved. A record without a state is a
  // plan cut short while it was written: nothing was changed after it, so
  // the machine is read as fresh.
  const bool fresh = record.state == RecordState::kNone;
  List<SavedValue> found;
  if (Error error = ReadPlaces(registry, target_, found, fresh)) return error;
  for (const SavedValue& value : found) {
    bool saved = false;
    for (const SavedValue& old : record.saved) saved |= old.place == value.place;
    if (saved) continue;
    new_saved_.Add(value);
    record.saved.Add(value);
  }
  // Keys: the ones already there stay after an uninstallation, empty or not.
  if (fresh) {
    NameList existing;
    ExistingKeys(registry, target_, existing);
    existing.ForEach([&](std::wstring_view key) {
      if (!record.keys_before.Contains(key)) record.keys_before.Add(key);
    });
  }
  return Error();
}

Error Transaction::PlanFiles(const Sources& sources) {
  InstallRecord& record = record_;
  twin_.Find(platform_.files, target_);
  const changes::FileFolders to = changes::FoldersOf(target_, twin_, sources.files.size(), record);
  for (std::size_t at = 0; at < to.size; ++at) {
    if (Error error = changes::PlanFolder(platform_.files, sources, to.list[at])) return error;
  }
  return Error();
}

Error Transaction::Apply(const Sources& sources, const StageSink& stage) {
  platform::FileSystem& files = platform_.files;
  platform::Registry& registry = platform_.registry;
  // The record of every kind, before any change: the values, the keys, the
  // files (changes::WriteFileLists), then the state.
  if (Error error = registry.CreateKey(target_.record_root, kRecordKey)) return error;
  if (Error error = SaveValues(registry, RecordOf(target_), target_, new_saved_)) return error;
  if (Error error = WriteKeysBefore(registry, RecordOf(target_), record_.keys_before)) return error;
  if (Error error = changes::WriteFileLists(registry, target_, record_)) return error;
  if (Error error = registry.SetText(target_.record_root, kRecordKey, kStateValue, kInstalling)) return error;
  platform::Note(platform_.log, L"the record names what this run will change, before it changes it");

  // From here, every change is one the record names.
  const changes::FileFolders to = changes::FoldersOf(target_, twin_, sources.files.size(), record_);
  bool pending[2] = {};
  if (Error error = changes::MakeFolders(files, target_, to, pending)) return error;
  for (std::size_t at = 0; at < to.size; ++at) {
    if (Error error = changes::SetAside(files, to.list[at])) return error;
  }
  stage(InstallStage::kCopyingIcons);
  const std::size_t icons = sources.files.size() - 1;  // the program comes last
  for (std::size_t at = 0; at < to.size; ++at) {
    // A folder found there, not made by this run, may have gone since while
    // empty (Windows Installer taking back a transaction of its own that
    // had made it): it is made again.
    const std::wstring_view folder = to.list[at].path;
    if (!files.FolderExists(folder)) {
      if (Error error = files.CreateFolder(folder)) return error.At(folder);
    }
    for (std::size_t icon = 0; icon < icons; ++icon) {
      if (Error error = changes::CopySource(files, folder, sources.files[icon], pending[at])) return error;
    }
  }
  stage(InstallStage::kEditingRegistry);
  if (Error error = RegisterFileTypes(registry, target_)) return error;
  if (!sources.program_in_place) {
    if (Error error = changes::CopySource(files, target_.folder, sources.files[icons], pending[0])) return error;
  }
  if (Error error = CompleteRecord(platform_, target_, sources.bytes)) return error;
  // Explorer shows the new icons at once, without waiting for a restart.
  platform_.system.NotifyAssociationsChanged();
  return Error();
}

// --- Taking back ------------------------------------------------------------

Error Transaction::TakeBack(FilesInUse in_use, UninstallReport& report) {
  const InstallRecord& record = record_;
  report = UninstallReport();
  Error first;
  auto keep = [&](Error error) {
    if (!error) return;
    if (!report.left.Contains(error.Path())) report.left.Add(error.Path());
    if (!first) first = error;
  };
  platform::FileSystem& files = platform_.files;
  // A record with neither a state nor DisplayName is a plan cut short while
  // it was written: nothing outside it changed, so only it goes.
  if (record.exists && record.state == RecordState::kNone && !record.complete) {
    keep(DeleteRecord(platform_.registry, target_));
    return first;
  }
  twin_.Find(files, target_);
  // The files of each folder: the record's, or without a record, those an
  // earlier build left.
  if (!record.exists) {
    record_.files = changes::UnrecordedFiles();
    record_.wow64_files = changes::UnrecordedTwinFiles(files, target_, twin_);
  }
  const changes::FileFolders from = changes::FoldersOf(target_, twin_, 0, record_);
  bool unlisted = false;
  for (std::size_t at = 0; record.exists && at < from.size; ++at) {
    unlisted |= changes::FindUnlistedAside(files, from.list[at], record_.ignored);
  }
  report.ignored = record.ignored;
  record.ignored.ForEach([&](std::wstring_view entry) {
    platform::Note(platform_.log, Joined(L"ignored, not data the record may hold: ", entry),
                   Error(exit_codes::kRecordEntriesIgnored, L""));
  });
  // A program's current folder cannot be removed: ours goes elsewhere first.
  keep(files.LeaveFolder(target_.folder));
  if (twin_.exists()) keep(files.LeaveFolder(twin_.folder()));
  // Completion, undone first: from here the installation no longer counts
  // as installed, and every later run finishes what this one leaves.
  if (record.exists) {
    if (Error error = MarkRemoving(platform_.registry, target_)) {
      keep(error);
      return first;
    }
  }
  if (unlisted) {
    record_.damaged = true;
    keep(changes::WriteSetAsideLists(platform_.registry, target_, record));
  }
  // The values and the keys.
  keep(UnregisterFileTypes(platform_.registry, target_, record.saved, report.registry, platform_.log,
                           &record.keys_before));
  // The copies, the files set aside and the folders: the twin first, as
  // the install folder's removal ends with the uninstaller. A twin that
  // holds nothing of ours is not ours, empty or not.
  changes::LeftOver left;
  for (std::size_t at = from.size; at-- > 0;) {
    const changes::FileFolder& folder = from.list[at];
    if (files.FolderExists(folder.path) && !(folder.twin && folder.files.empty())) {
      changes::RemoveFiles(files, target_, folder, in_use, report, left, FunctionRef<void(Error)>(keep));
    }
  }
  report.files_restored_at_restart = left.restored_at_restart.count();
  report.record_damaged = record.damaged;
  if (record.exists && !record.damaged) {
    if (!first && left.restored_at_restart.empty()) {
      keep(DeleteRecord(platform_.registry, target_));  // last: everything else is gone
    } else {
      NameList still[2];
      if (from.size == 1) still[1] = record.wow64_files;  // not reached on this run: kept as named
      for (std::size_t at = 0; at < from.size; ++at) still[at] = changes::FilesStillThere(files, from.list[at]);
      // The run's error names what was left; a list that cannot be written is logged.
      if (Error error = changes::WriteFilesLeft(platform_.registry, target_, still[0], still[1])) {
        platform::Note(platform_.log, L"cannot write the files left into the record", error);
      }
      RecordWhatIsLeft(platform_, target_, left);
    }
  }
  // The shell hears of changed associations; files alone change none.
  if (report.registry.types_removed > 0 || report.registry.values_restored > 0) {
    platform_.system.NotifyAssociationsChanged();
  }
  // All taken back: what the record named is no longer there to finish.
  if (!first) record_ = InstallRecord();
  return first;
}

// --- Every run's beginning --------------------------------------------------

Error UseTargetClasses(platform::Registry& registry, const InstallTarget& target) {
  return target.scope == Scope::kMachine ? registry.UseMachineClasses() : Error();
}

Error BeginTransaction(const platform::Platform& platform, const InstallTarget& target, bool lock_held) {
  if (!lock_held) {
    const Error busy = InstallInProgress();
    platform::Note(platform.log, L"refused: another run of the program is installing or removing", busy);
    return busy;
  }
  changes::RemoveMovedOut(platform.files, target);
  if (Error error = UseTargetClasses(platform.registry, target)) return error;
  if (target.scope == Scope::kMachine && platform.system.WindowsInstallerRunning()) {
    const Error busy = WindowsInstallerBusy(L"");
    platform::Note(platform.log, L"refused: Windows Installer is running an installation", busy);
    return busy;
  }
  return Error();
}

}  // namespace glyphary::engine
