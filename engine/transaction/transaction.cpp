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
constexpr std::wstring_view kVersionValue = L"DisplayVersion";
constexpr std::wstring_view kUninstallValue = L"UninstallString";
constexpr std::wstring_view kPendingRestartValue = L"PendingRestart";
// The states as the record writes them, in the order a run moves through them.
constexpr std::wstring_view kPlanning = L"Planning";
constexpr std::wstring_view kInstalling = L"Installing";
constexpr std::wstring_view kUpgrading = L"Upgrading";
constexpr std::wstring_view kInstalled = L"Installed";
constexpr std::wstring_view kRemoving = L"Removing";
constexpr std::wstring_view kRemoved = L"Removed";


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
// state Removing. A record in the earliest builds' form (DisplayName and no
// state) is given its state Installed first, so that no instant leaves a
// record with neither.
Error MarkHidden(platform::Registry& registry, const InstallTarget& target, bool stateless) {
  if (stateless) {
    if (Error error = registry.SetText(target.record_root, kRecordKey, kStateValue, kInstalled)) return error;
  }
  return registry.DeleteValue(target.record_root, kRecordKey, kNameValue);
}
Error MarkRemoving(platform::Registry& registry, const InstallTarget& target, bool stateless) {
  if (Error error = MarkHidden(registry, target, stateless)) return error;
  return registry.SetText(target.record_root, kRecordKey, kStateValue, kRemoving);
}

// The last step of a removal: the state Removed says that nothing outside
// the record is left, so a deletion cut short is finished by deleting it.
Error DeleteRecord(platform::Registry& registry, const InstallTarget& target) {
  if (Error error = registry.SetText(target.record_root, kRecordKey, kStateValue, kRemoved)) return error;
  return registry.DeleteTree(target.record_root, kRecordKey);
}

// Whether `folder` is there as someone else's: not one an earlier
// installation of ours left (waiting to be deleted at the restart, or
// holding only files with the very bytes of ours).
bool FolderOfSomeoneElse(platform::FileSystem& files, std::wstring_view folder, const Sources& sources) {
  if (!files.FolderExists(folder)) return false;
  if (files.DeletesAtRestart(folder)) return false;
  platform::FileList listed;
  if (files.ListFiles(Joined(folder, L"\\*"), listed) || listed.names.empty()) return true;
  bool all_ours = true;
  listed.names.ForEach([&](std::wstring_view name) {
    bool ours = false;
    for (const Source& source : sources.files) {
      ours |= SameName(source.name, name) && files.HeldSourceIs(source.held, Joined(folder, L"\\", name));
    }
    all_ours &= ours;
  });
  return !all_ours;
}

// Which of the install folder, the folders above it up to the target's
// base, and the WOW64 folder are someone else's: the removal leaves them.
NameList ExistingFolders(platform::FileSystem& files, const InstallTarget& target, const Wow64Folder& wow64,
                         const Sources& sources) {
  NameList existing;
  const std::wstring_view folder = target.folder;
  if (!files.FolderExists(folder) || FolderOfSomeoneElse(files, folder, sources)) {
    for (std::size_t end = target.base.size() + 1; end <= folder.size(); ++end) {
      if (end < folder.size() && folder[end] != L'\\') continue;
      if (files.FolderExists(Head(folder, end)) && !files.DeletesAtRestart(Head(folder, end))) {
        existing.Add(Head(folder, end));
      }
    }
  }
  if (wow64.exists() && FolderOfSomeoneElse(files, wow64.folder(), sources)) existing.Add(wow64.folder());
  return existing;
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

// --- The states and the one transition table --------------------------------

FirstStep FirstStepFor(RecordState state, RunKind run) {
  using S = RecordState;
  using F = FirstStep;
  struct Row {
    RecordState state;
    FirstStep install, uninstall, package_install, package_removal;
  };
  // The package's install refuses over any record of the exe's, so that the
  // keys never have two owners; its removal takes only what is its own.
  static constexpr Row kTable[] = {
      {S::kNothing, F::kInstall, F::kFindUnrecorded, F::kInstall, F::kProceed},
      {S::kPlanning, F::kDiscardRecord, F::kDiscardRecord, F::kRefuseExeRecord, F::kProceed},
      {S::kInstalling, F::kFinish, F::kTakeBack, F::kRefuseExeRecord, F::kProceed},
      {S::kUpgrading, F::kUpgrade, F::kTakeBack, F::kRefuseExeRecord, F::kProceed},
      {S::kInstalled, F::kNothingToDo, F::kTakeBack, F::kRefuseExeRecord, F::kProceed},
      {S::kInstalledByOlderBuild, F::kUpgrade, F::kTakeBack, F::kRefuseExeRecord, F::kProceed},
      {S::kNewerBuild, F::kRefuseNewer, F::kTakeBack, F::kRefuseExeRecord, F::kProceed},
      {S::kRemoving, F::kTakeBack, F::kTakeBack, F::kRefuseExeRecord, F::kProceed},
      {S::kWaitingForRestart, F::kTakeBack, F::kTakeBack, F::kRefuseExeRecord, F::kProceed},
      {S::kRecordDeleting, F::kDiscardRecord, F::kDiscardRecord, F::kRefuseExeRecord, F::kProceed},
      {S::kCutShortByEarlierBuild, F::kTakeBack, F::kTakeBack, F::kRefuseExeRecord, F::kProceed},
      {S::kDamaged, F::kRefuseDamaged, F::kTakeBack, F::kRefuseExeRecord, F::kProceed},
  };
  for (const Row& row : kTable) {
    if (row.state != state) continue;
    switch (run) {
      case RunKind::kInstall: return row.install;
      case RunKind::kUninstall: return row.uninstall;
      case RunKind::kPackageInstall: return row.package_install;
      case RunKind::kPackageRemoval: return row.package_removal;
    }
  }
  return F::kRefuseDamaged;  // no state outside the table is ever named
}

int CompareVersions(std::wstring_view a, std::wstring_view b) {
  if (a.empty() || b.empty()) return a.empty() == b.empty() ? 0 : (a.empty() ? -1 : 1);
  auto next = [](std::wstring_view& text) {
    unsigned long long number = 0;
    std::size_t at = 0;
    for (; at < text.size() && text[at] != L'.'; ++at) {
      if (text[at] >= L'0' && text[at] <= L'9' && number < 1000000000ull) number = number * 10 + (text[at] - L'0');
    }
    text = After(text, at);
    return number;
  };
  while (!a.empty() || !b.empty()) {
    const unsigned long long left = next(a);
    const unsigned long long right = next(b);
    if (left != right) return left < right ? -1 : 1;
  }
  return 0;
}

namespace {

// Names the state of a record read, from what it holds and the version of
// the build that reads it.
RecordState StateOf(const InstallRecord& record, std::wstring_view written, bool pending_restart, bool has_data,
                    std::wstring_view this_version) {
  if (!record.exists) return RecordState::kNothing;
  if (written == kPlanning) return RecordState::kPlanning;
  if (written == kRemoved) return RecordState::kRecordDeleting;
  if (record.damaged) return RecordState::kDamaged;
  if (written == kRemoving) return pending_restart ? RecordState::kWaitingForRestart : RecordState::kRemoving;
  const int age = CompareVersions(record.version, this_version);  // negative: written by an older build
  if (written.empty()) {
    // No state: the earliest builds' whole installation shows its entry;
    // an empty key, or a plan an earlier build cut short before it wrote
    // its entry, names no change outside it; anything else is an earlier
    // build's run cut short.
    if (record.shown) return age > 0 ? RecordState::kNewerBuild : RecordState::kInstalledByOlderBuild;
    return has_data ? RecordState::kCutShortByEarlierBuild : RecordState::kPlanning;
  }
  if (age > 0) return RecordState::kNewerBuild;
  if (written == kUpgrading) return RecordState::kUpgrading;
  if (written == kInstalled && record.shown) {
    return age < 0 ? RecordState::kInstalledByOlderBuild : RecordState::kInstalled;
  }
  return RecordState::kInstalling;  // Installing, or Installed cut short before DisplayName
}

}  // namespace

Error Transaction::Read() {
  platform::Registry& registry = platform_.registry;
  InstallRecord& record = record_;
  record = InstallRecord();
  new_saved_ = List<SavedValue>();
  for (NameList& absent : absent_) absent = NameList();
  record.exists = registry.KeyExists(target_.record_root, kRecordKey);
  if (!record.exists) return Error();
  WideText written;
  bool found = false;
  if (Error error = ReadText(registry, target_, kStateValue, written, found)) return error;
  const bool known = written == kPlanning || written == kInstalling || written == kUpgrading ||
                     written == kInstalled || written == kRemoving || written == kRemoved;
  if (found && !known) {
    // A state no build writes: what the record would name is not known.
    record.ignored.Add(Joined(kStateValue, L": ", written));
    record.damaged = true;
    written = WideText(kInstalling);
  }
  stateless_ = !found;
  WideText text;
  if (Error error = ReadText(registry, target_, kNameValue, text, record.shown)) return error;
  if (Error error = ReadText(registry, target_, kVersionValue, record.version, found)) return error;
  bool pending_restart = false;
  if (Error error = ReadText(registry, target_, kPendingRestartValue, text, pending_restart)) return error;
  bool entry = false;
  if (Error error = ReadText(registry, target_, kUninstallValue, text, entry)) return error;
  // The lists are required of every record past its plan.
  const bool past_plan = !written.empty() && written != kPlanning && written != kRemoved;
  if (Error error = changes::ReadFileLists(registry, target_, record, past_plan)) return error;
  if (record.damaged || !record.wow64_set_aside.empty()) {
    // What a damaged record lost of the WOW64 folder's list, or one cut
    // short before it was written: the icons there that hold the very
    // bytes of ours in the install folder are ours.
    Wow64Folder wow64;
    wow64.Find(platform_.files, target_);
    changes::UnrecordedWow64Files(platform_.files, target_, wow64).ForEach([&](std::wstring_view name) {
      if (!record.wow64_files.Contains(name)) record.wow64_files.Add(name);
    });
  }
  if (Error error = ReadKeysBefore(registry, changes::RecordOf(target_), target_, record.keys_before, record.ignored,
                                   record.damaged)) {
    return error;
  }
  if (Error error = ReadSavedValues(registry, changes::RecordOf(target_), target_, record.saved, record.ignored)) return error;
  // The folders that existed before: only the target's own folders count.
  auto own_folder = [this](std::wstring_view path) {
    const std::wstring_view folder = target_.folder;
    if (path.size() > target_.base.size() && path.size() <= folder.size() && SameName(Head(folder, path.size()), path) &&
        (path.size() == folder.size() || folder[path.size()] == L'\\')) {
      return true;
    }
    return SameName(SplitLast(path).second, SplitLast(folder).second) && path.size() > 1;
  };
  if (Error error = changes::ReadList(registry, changes::RecordOf(target_), changes::kFoldersValue, L"folders", false,
                                      FunctionRef<bool(std::wstring_view)>(own_folder), record.folders_before,
                                      record.ignored, record.damaged)) {
    return error;
  }
  const bool has_data = entry || !record.files.empty() || !record.saved.empty() || !record.set_aside.empty() ||
                        !record.wow64_files.empty() || !record.wow64_set_aside.empty();
  record.state = StateOf(record, written, pending_restart, has_data, platform_.system.ProgramVersion());
  return Error();
}

Error Transaction::DiscardRecord() {
  if (Error error = DeleteRecord(platform_.registry, target_)) return error;
  record_ = InstallRecord();
  return Error();
}

// --- Installing -------------------------------------------------------------

Error Transaction::PlanRegistry() {
  platform::Registry& registry = platform_.registry;
  InstallRecord& record = record_;
  // Values: every place read before anything is written, so that what
  // cannot be saved is not overwritten. A fresh run saves every value
  // there, ours to the byte included (another installation of the same
  // types left it), so that the uninstallation leaves what was there. A
  // run that finishes an earlier one keeps what that one saved where the
  // place holds ours (its own write), and saves anew where another program
  // has written its own since: the latest value of theirs is what comes
  // back.
  const bool fresh = !record.exists;
  List<SavedValue> found;
  if (Error error = ReadPlaces(registry, target_, found, fresh)) return error;
  for (const SavedValue& value : found) {
    bool same = false;
    std::size_t at = 0;
    for (; at < record.saved.size() && record.saved[at].place != value.place; ++at) {
    }
    if (at < record.saved.size()) {
      same = record.saved[at].before == value.before;
      if (!same) record.saved[at] = value;
    }
    if (!same) new_saved_.Add(value);
    if (at == record.saved.size()) record.saved.Add(value);
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
  const bool upgrade = Upgrading();
  InstallRecord& record = record_;
  wow64_.Find(platform_.files, target_);
  if (!record.exists) record.folders_before = ExistingFolders(platform_.files, target_, wow64_, sources);
  const changes::FileFolders to = changes::FoldersOf(target_, wow64_, sources.files.size(), record);
  for (std::size_t at = 0; at < to.size; ++at) {
    if (Error error = changes::PlanFolder(platform_.files, sources, to.list[at], upgrade, absent_[at])) {
      return error;
    }
  }
  return Error();
}

namespace {

// The completion: the entry in Apps & Features, the state Installed and
// DisplayName last; taken back first, DisplayName before anything else
// goes (the detection rule turns false), then the state Removing.
class Completion final : public changes::Change {
 public:
  Error Journal(changes::Work&) const override { return Error(); }  // the state, the transaction's own
  Error Do(changes::Work& work) const override {
    if (Error error = CompleteRecord(work.platform, work.target, work.sources->bytes)) return error;
    // Explorer shows the new icons at once, without waiting for a restart.
    work.platform.system.NotifyAssociationsChanged();
    return Error();
  }
  bool Rollback(changes::Work& work) const override {
    if (!work.record.exists) return true;
    if (Error error = MarkRemoving(work.platform.registry, work.target, work.stateless && work.record.shown)) {
      work.keep(error);
      return false;  // nothing else is taken while the installation still counts as installed
    }
    return true;
  }
};

// The kinds, in the order of their journals and steps, and of their rollback.
const changes::Change* const kApplyOrder[] = {&changes::FolderChange(), &changes::SetAsideChange(),
                                              &changes::CopyChange(),   &changes::RegistrationChange(),
                                              &changes::UninstallerChange(), &changes::CompletionChange()};
const changes::Change* const kRollbackOrder[] = {&changes::CompletionChange(), &changes::RegistrationChange(),
                                                 &changes::CopyChange(),       &changes::SetAsideChange(),
                                                 &changes::UninstallerChange(), &changes::FolderChange()};

}  // namespace

namespace changes {
const Change& CompletionChange() {
  static const Completion kind;
  return kind;
}
}  // namespace changes

Error Transaction::Apply(const Sources& sources, const StageSink& stage) {
  const bool upgrade = Upgrading();
  platform::Registry& registry = platform_.registry;
  // The record, before any change. A fresh record says Planning first, so
  // that a kill while it is written leaves a plan that is only discarded;
  // a record of changes made keeps its state, with the entry hidden first
  // where it shows (an upgrade).
  if (!record_.exists) {
    if (Error error = registry.CreateKey(target_.record_root, kRecordKey)) return error;
    if (Error error = registry.SetText(target_.record_root, kRecordKey, kStateValue, kPlanning)) return error;
  } else if (record_.shown) {
    if (Error error = MarkHidden(registry, target_, stateless_)) return error;
  }
  if (Error error = registry.SetText(target_.record_root, kRecordKey, kVersionValue,
                                     platform_.system.ProgramVersion())) {
    return error;
  }
  const changes::FileFolders folders = changes::FoldersOf(target_, wow64_, sources.files.size(), record_);
  changes::Work work(platform_, target_, record_, folders);
  work.sources = &sources;
  work.new_saved = &new_saved_;
  work.absent = absent_;
  work.stage = &stage;
  work.upgrade = upgrade;
  for (const changes::Change* kind : kApplyOrder) {
    if (Error error = kind->Journal(work)) return error;
  }
  if (Error error =
          registry.SetText(target_.record_root, kRecordKey, kStateValue, upgrade ? kUpgrading : kInstalling)) {
    return error;
  }
  platform::Note(platform_.log, L"the record names what this run will change, before it changes it");
  // From here, every change is one the record names.
  for (const changes::Change* kind : kApplyOrder) {
    if (Error error = kind->Do(work)) return error;
  }
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
  wow64_.Find(files, target_);
  // The files of each folder: the record's, or without a record, those an
  // earlier build left.
  if (!record.exists) {
    record_.files = changes::UnrecordedFiles();
    record_.wow64_files = changes::UnrecordedWow64Files(files, target_, wow64_);
  }
  const changes::FileFolders folders = changes::FoldersOf(target_, wow64_, 0, record_);
  changes::Work work(platform_, target_, record_, folders);
  work.in_use = in_use;
  work.report = &report;
  work.stateless = stateless_;
  work.keep = FunctionRef<void(Error)>(keep);
  for (std::size_t at = 0; record.exists && at < folders.size; ++at) {
    work.unlisted |= changes::FindUnlistedAside(files, folders.list[at], record_.ignored);
  }
  if (work.unlisted) record_.damaged = true;
  report.ignored = record.ignored;
  record.ignored.ForEach([&](std::wstring_view entry) {
    platform::Note(platform_.log, Joined(L"ignored, not data the record may hold: ", entry),
                   Error(exit_codes::kRecordEntriesIgnored, L""));
  });
  // A program's current folder cannot be removed: ours goes elsewhere first.
  keep(files.LeaveFolder(target_.folder));
  if (wow64_.exists()) keep(files.LeaveFolder(wow64_.folder()));
  // Every kind, the completion first: from there the installation no
  // longer counts as installed, and every later run finishes what this one
  // leaves. A step that fails does not stop the others.
  for (const changes::Change* kind : kRollbackOrder) {
    if (!kind->Rollback(work)) return first;
  }
  // The WOW64 folder's lists, where it is not found on this run, are kept
  // for a run that finds it.
  const bool wow64_unreached = folders.size == 1 && (!record.wow64_files.empty() || !record.wow64_set_aside.empty());
  if (wow64_unreached) {
    Error unreached = errors::Make(errors::kPathNotFound);
    keep(unreached.At(Joined(L"SysWOW64\\", SplitLast(target_.folder).second)));
  }
  report.files_restored_at_restart = work.left.restored_at_restart.count();
  report.record_damaged = record.damaged;
  if (record.exists && !record.damaged) {
    if (!first && work.left.restored_at_restart.empty()) {
      keep(DeleteRecord(platform_.registry, target_));  // last: everything else is gone
    } else {
      NameList still[2];
      if (folders.size == 1) still[1] = record.wow64_files;  // not reached on this run: kept as named
      for (std::size_t at = 0; at < folders.size; ++at) {
        still[at] = changes::FilesStillThere(files, folders.list[at]);
      }
      // The run's error names what was left; a list that cannot be written is logged.
      if (Error error = changes::WriteFilesLeft(platform_.registry, target_, still[0], still[1])) {
        platform::Note(platform_.log, L"cannot write the files left into the record", error);
      }
      RecordWhatIsLeft(platform_, target_, work.left);
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

// --- Refusals -----------------------------------------------------------------

Error NewerVersionInstalled(std::wstring_view installed) {
  Error newer(exit_codes::kNewerVersionInstalled, L"A newer version is installed");
  newer.Advise(Joined(L"Glyphary Installer ", installed, L" is installed on this computer, newer than this "
                      L"program. Nothing was changed. To go back to this version, remove the newer one first "
                      L"(Settings > Apps, or its /uninstall), then run this program again."));
  return newer;
}

Error DamagedRecord(const NameList& damaged) {
  WideText parts;
  damaged.ForEach([&parts](std::wstring_view part) {
    if (!parts.empty()) parts.Append(L"; ");
    parts.Append(part);
  });
  Error error(exit_codes::kRecordEntriesIgnored, L"The installation's record is damaged");
  error.Advise(Joined(L"The record of the installation is damaged (", parts,
                      L"), so nothing was installed over it. Run GlypharyInstaller.exe /uninstall: it removes "
                      L"what the record still names and keeps the record for inspection."));
  return error;
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
