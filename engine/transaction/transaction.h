// The installation as one transaction: its record (its entry in Apps &
// Features, and the write-ahead journal that lets any later run roll a run
// that was cut short forward or back) and every kind of change it makes.
// Each kind is one unit (changes::Change, in the file of its kind): what
// it journals before any step, its step, and its rollback from any state:
//
//   kind           journal                        step                      rollback
//   folders        ExistingFolders                made where missing        removed when empty, unless someone else's
//   set-aside      SetAsideFiles[Wow64]           theirs moved aside        put back over ours
//   copies         InstalledFiles[Wow64]          icons staged, moved in    deleted (or at the restart)
//   registrations  ReplacedValues\*, ExistingKeys 36 keys, 48 values       ours deleted, the saved put back
//   uninstaller    (in InstalledFiles)            the program copied in     moved out while it runs, deleted
//   completion     (InstallState)                 the entry, DisplayName    DisplayName first, then Removing
//
// The record's state is written between the journals and the steps, and
// names the state on disk (RecordState); one table (FirstStepFor) says what
// each kind of run does first over each state. The record itself goes
// last, when everything else has gone.
//
// What the record holds is data, never instructions: file names must be
// plain names of files in the install folder, replaced values must name one
// of the 48 places of the file types; anything else is ignored, left alone
// and reported. The Windows Installer package keeps the registry kinds'
// record in its own key, with the same functions (RecordLocation).
#pragma once

#include "base/error.h"
#include "base/function_ref.h"
#include "base/list.h"
#include "base/name_list.h"
#include "engine/file_types.h"
#include "engine/product.h"
#include "platform/platform.h"

namespace glyphary::engine {

// --- The record -----------------------------------------------------------
// Glossary. The record is the installation's write-ahead journal: its key
// below Uninstall (also its entry in Apps & Features) names every change
// before the change is made, so that any later run can roll a run that was
// cut short forward (finish it) or back (take back, the rollback). A
// "place" is one of the 48 registry values of the file types; the "WOW64
// folder" is the install folder's namesake in SysWOW64, where 32-bit
// programs look. A file "set aside" is someone else's, moved into kSetAsideFolderName
// while ours stands in its place; a file "staged" is a newer build's copy
// waiting in kStagingFolderName to replace an older build's.

// Every state the record can be in on disk. Read() names it; nothing else
// infers it from the record's values.
enum class RecordState {
  kNothing,         // no record
  kPlanning,        // InstallState Planning (or an empty key): the journal is being written; nothing
                    // outside it has changed yet
  kInstalling,      // Installing (or Installed without DisplayName): the run may have changed
                    // anything the record names
  kUpgrading,       // Upgrading: a build replacing an older build's files, its entry hidden
  kInstalled,       // Installed with DisplayName, written by this build's version: whole
  kInstalledByOlderBuild,  // whole, by an older version, or in the earliest builds' form
                           // (DisplayName without InstallState)
  kNewerBuild,      // installing, upgrading or installed by a newer version than this run's
  kRemoving,        // Removing: the removal may have taken anything away; DisplayName shows again
                    // where it is to be run again from Apps & Features
  kWaitingForRestart,  // Removing, with files of someone else's put back when Windows next starts
  kRecordDeleting,  // Removed: everything else is gone, the record is being deleted
  kCutShortByEarlierBuild,  // neither state nor DisplayName, but data: an earlier build's plan,
                            // removal or record deletion cut short; taken back from the record
  kDamaged,         // a part missing or of another type: acted on as far as it is known, kept
};

// The kinds of run that read the record.
enum class RunKind { kInstall, kUninstall, kPackageInstall, kPackageRemoval };

// What a run does first, for the state it finds.
enum class FirstStep {
  kInstall,          // plan and install afresh
  kFindUnrecorded,   // no record: the package's installation, or an earliest build's without one
  kNothingToDo,      // installed whole by this version
  kFinish,           // roll the run cut short forward: plan again over the record and apply
  kUpgrade,          // bring an older build's installation up to this one, in place
  kRefuseNewer,      // a newer version is installed: nothing changes (1638)
  kDiscardRecord,    // only the record goes (an install then plans afresh)
  kTakeBack,         // everything the record names taken back (an install then plans afresh)
  kRefuseDamaged,    // an install over a damaged record changes nothing (13)
  kRefuseExeRecord,  // the package's install: the exe's installation, or its journal, is there
  kProceed,          // the package's removal: the exe's record is none of its business
};

// The one transition table: what `run` does first over a record in `state`.
FirstStep FirstStepFor(RecordState state, RunKind run);

// Compares two dotted versions ("1.0.10.0" > "1.0.9.0"): negative, zero or
// positive. A missing part counts as 0; an empty version is older than any.
int CompareVersions(std::wstring_view a, std::wstring_view b);

// What a place held before an installation wrote its own value there,
// exactly: the type and bytes that are put back.
struct SavedValue {
  int place;
  platform::RegistryValue before;
};

struct InstallRecord {
  bool exists = false;     // the record's key is there
  RecordState state = RecordState::kNothing;
  WideText version;        // the version of the build that wrote it (DisplayVersion)
  bool shown = false;      // DisplayName: the entry shows in Apps & Features
  NameList files;          // put into the install folder by the installation
  NameList set_aside;      // of those, the ones whose earlier file waits in kSetAsideFolderName
  // The same two lists for the WOW64 folder (Wow64Folder): the icons put
  // there, and those whose earlier file waits in its kSetAsideFolderName.
  // Empty in a record of an earlier build, which put nothing there.
  NameList wow64_files;
  NameList wow64_set_aside;
  List<SavedValue> saved;  // what the installation's values replaced
  NameList keys_before;    // of the 36 keys, those that existed before the installation
  NameList folders_before; // of the install folder, the WOW64 folder and the folders above them,
                           // those that existed before the installation: they stay
  NameList ignored;        // entries that are not data the record may hold
  // A part of the record is missing or of another type than the record
  // writes (a list of names that is no text, no list of the files put in,
  // a state no build writes, a file waiting aside that no list names, a
  // set-aside list without the list of the files put in): what it would
  // name is not known, so the record is kept for whoever can tell; the part
  // is named in `ignored`.
  bool damaged = false;
  bool whole() const { return state == RecordState::kInstalled; }
};

// Whether `name` is the plain name of a file in a folder: not empty, no
// folder, drive or stream in it ("..\x", "C:x", "a:b"), no wildcard, no
// control character, not "." or "..", no trailing dot or space, no device
// name, at most 255 characters.
bool IsPlainFileName(std::wstring_view name);

// --- The registry kinds, for any record -------------------------------------
// Where a record keeps what the registry kinds need to be taken back: the
// installation's record key, or the Windows Installer package's key.
struct RecordLocation {
  platform::RegistryRoot root;
  std::wstring_view key;
};

// Keys. Which of the 36 keys exist now (their paths, TypeKeyPath); written
// into the record as ExistingKeys before anything is made, read back with
// anything that is none of the 36 into `ignored` (and `damaged` set when the
// list is no text). Those keys stay after the removal, empty or not; where
// the removal of someone else (Windows Installer's) took them, MakeKeysAgain
// makes them again.
void ExistingKeys(platform::Registry& registry, const InstallTarget& target, NameList& existing);
[[nodiscard]] Error WriteKeysBefore(platform::Registry& registry, RecordLocation record, const NameList& keys);
[[nodiscard]] Error ReadKeysBefore(platform::Registry& registry, RecordLocation record, const InstallTarget& target,
                                   NameList& keys, NameList& ignored, bool& damaged);
[[nodiscard]] Error MakeKeysAgain(platform::Registry& registry, const InstallTarget& target, const NameList& keys);

// The one scanner of the 48 places: reads each, in table order, as it is
// (any type), and hands it to `visit`: its value (`exists` false where
// there is none) or the error that kept it from being read. `visit` says
// whether to go on. The first read error is returned.
struct PlaceRead {
  int place;
  bool exists;
  const platform::RegistryValue& value;
  const Error& error;
};
using PlaceVisit = FunctionRef<bool(const PlaceRead&)>;
[[nodiscard]] Error ScanPlaces(platform::Registry& registry, const InstallTarget& target, const PlaceVisit& visit);

// Values. Reads the 48 places, each as it is (any type). Into `found`,
// every place that holds something that is not ours and, with `with_ours`,
// every place that holds anything (a value exactly as ours was there before
// all the same). A place that cannot be read is an error naming its key:
// the run must stop before it writes anything.
[[nodiscard]] Error ReadPlaces(platform::Registry& registry, const InstallTarget& target,
                               List<SavedValue>& found, bool with_ours = false);

// Keeps each of `values` below the record's ReplacedValues, one value a
// place, named by PlaceName and holding what the place held, exactly.
[[nodiscard]] Error SaveValues(platform::Registry& registry, RecordLocation record, const InstallTarget& target,
                               const List<SavedValue>& values);

// The values the record keeps. A name that is none of the 48 places, or
// names a place a second time, is no data to act on: it goes into
// `ignored` (after "ReplacedValues: ") and is left alone.
[[nodiscard]] Error ReadSavedValues(platform::Registry& registry, RecordLocation record,
                                    const InstallTarget& target, List<SavedValue>& saved, NameList& ignored);

// Deletes what the record keeps of the values; the record itself stays.
[[nodiscard]] Error ForgetSavedValues(platform::Registry& registry, RecordLocation record);

// Puts each of `saved` back, type and bytes, where its place is empty (its
// key made again), or holds what `replaceable` (when given) says may go:
// the leftovers of a transaction cut short. A place that holds anything
// else stays as it is, and one that holds exactly what was saved counts as
// put back. Each put back counts in `restored` and goes to `log`. Every
// value is tried; the first failure is returned, naming its key.
using Replaceable = FunctionRef<bool(int place, const platform::RegistryValue& found)>;
[[nodiscard]] Error PutBackSaved(platform::Registry& registry, const InstallTarget& target,
                                 const List<SavedValue>& saved, int& restored, platform::Log* log,
                                 const Replaceable* replaceable = nullptr);

// The step: registers every type, in table order: its keys, then its
// values, 24 key creations and 48 value writes in all. Every write is made
// whatever the others did; the first failure is returned, naming its key.
[[nodiscard]] Error RegisterFileTypes(platform::Registry& registry, const InstallTarget& target);

// What taking the registrations away found and did.
struct UnregisterReport {
  int types_removed = 0;    // types of which something of ours was removed
  int values_kept = 0;      // values in our places that hold something else (changed since)
  int values_restored = 0;  // values the installation had replaced, put back
  int keys_kept = 0;        // keys of ours that hold something that is not
};

// The undo: each value of kTypeValues deleted where it still holds what the
// installation wrote (one someone changed since stays); each key, deepest
// first, where it is then empty, unless it is one of `keys_before`; then
// each value of `saved` put back (PutBackSaved), so that a value exactly
// like ours that was there before is there again. Every step is tried;
// the first failure is returned, naming its key. Each value put back, and
// each kept for someone else, goes to `log`.
[[nodiscard]] Error UnregisterFileTypes(platform::Registry& registry, const InstallTarget& target,
                                        const List<SavedValue>& saved, UnregisterReport& report,
                                        platform::Log* log = nullptr, const NameList* keys_before = nullptr);

// --- The transaction --------------------------------------------------------

// The stages an installation reports as it enters them.
enum class InstallStage { kCopyingIcons, kEditingRegistry };

// Told of each stage, borrowed for the run.
using StageSink = FunctionRef<void(InstallStage)>;

// The files an installation puts into the install folder, each held open
// from before the first change to the end (FileSystem::HoldSource), so that
// what is copied is what was found: the icons, then the program.
struct Source {
  WideText name;
  int held = 0;
};
struct Sources {
  List<Source> files;  // the icons, then the program
  unsigned long long bytes = 0;
  bool program_in_place = false;  // run from the install folder itself: nothing to copy
};

// What a removal does with a file another program holds open: leaves it to
// the restart (an uninstallation, 3010), or reports it and keeps it in the
// record (taking back a failed installation, which is retried at once).
enum class FilesInUse { kLeaveToRestart, kReport };

// What a removal found and did, for the message that tells the user.
struct UninstallReport {
  UnregisterReport registry;
  int files_removed = 0;        // files of ours deleted from the install folder
  int files_at_restart = 0;     // files of ours in use, deleted when Windows next starts
  int files_restored = 0;       // files the installation had moved aside, put back
  int files_restored_at_restart = 0;  // of those, put back when Windows next starts (ours held open)
  bool folder_removed = false;  // the install folder itself
  bool folder_kept = false;     // it holds files that are not ours
  NameList ignored;             // entries of the record that were not acted on
  bool record_damaged = false;  // of those, parts missing or of another type: the record is kept
  NameList left;                // what could not be removed: files, folders, keys
  bool AnythingRemoved() const {
    return registry.types_removed > 0 || files_removed > 0 || files_at_restart > 0 ||
           folder_removed || files_restored > 0 || registry.values_restored > 0;
  }
  bool RestartNeeded() const { return files_at_restart > 0; }
};

// One installation's transaction for `target`, with the installation lock
// held by its user: the record read, a plan made and written before the
// first change, each step, the completion; or everything the record names
// taken back. Every step may be repeated: a later run finishes, or takes
// back, whatever a run cut short at any point left.
class Transaction {
 public:
  Transaction(const platform::Platform& platform, const InstallTarget& target) : platform_(platform), target_(target) {}
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  // Reads the record as the last run left it (`record().exists` false when
  // there is none). An error leaves the record unread.
  [[nodiscard]] Error Read();
  const InstallRecord& record() const { return record_; }
  // What `run` does first over the record read (FirstStepFor).
  FirstStep FirstStepOf(RunKind run) const { return FirstStepFor(record_.state, run); }

  // Deletes a record that names no change outside itself (kPlanning,
  // kRecordDeleting); the read record is then empty.
  [[nodiscard]] Error DiscardRecord();

  // Plan the installation, writing nothing. First the registry: the 48
  // places read (one that cannot be read is an error naming its key) and
  // the keys already there. An installation an earlier run started keeps
  // what that run recorded: the value saved is the one from before any of
  // it, unless another program has written its own there since (the latest
  // value of someone else's is the one that comes back). Then the files of `sources` to put into each folder, and of
  // those the ones whose present file is someone else's and moves aside
  // (someone else's file waiting aside already: an error naming it).
  [[nodiscard]] Error PlanRegistry();
  [[nodiscard]] Error PlanFiles(const Sources& sources);

  // Carries the plan out: the record of it written first (the state
  // Planning first and Installing, or Upgrading over an older build's
  // installation, last; an entry shown is hidden before), then the folders, the files moved aside, the icons
  // (kCopyingIcons: an icon of ours that another build put there with other
  // bytes is staged whole beside it and then moved over it), the
  // registrations (kEditingRegistry), the program as
  // its uninstaller and the completion, DisplayName last; the shell told.
  // The first failure is returned; nothing is taken back here (TakeBack).
  // An upgrade (Upgrading()) brings only the files: the registrations stay
  // as the older build left them, another program's changes since included.
  [[nodiscard]] Error Apply(const Sources& sources, const StageSink& stage);
  // Whether the record read is an older build's installation, or an update
  // of one cut short: the files of ours there are an older build's.
  bool Upgrading() const { return FirstStepOf(RunKind::kInstall) == FirstStep::kUpgrade; }

  // Takes back the installation the record names (without one, the table's
  // icons and the uninstaller that an earlier build left unrecorded):
  // DisplayName deleted and the state Removing first, the registrations
  // taken away and the replaced values put back, the files of ours deleted
  // and the ones moved aside put back, the folder removed when it is then
  // empty (with the empty folders above it, up to the target's base), and
  // the record last, only when everything else is gone. A step that fails
  // does not stop the others; the record then stays, naming what is left,
  // for the next run to finish, and the first failure is returned (its
  // paths, and the others', in `report.left`). A file held open by another
  // program is deleted when Windows next starts (RestartNeeded), or
  // reported (`in_use`); one whose namesake of someone else's waits aside
  // is deleted then too, and theirs moved back after it, the record kept
  // (Removing) naming it. Where the account may not ask the restart for
  // that, the file is reported, the uninstaller stays and the entry shows
  // in Apps & Features again, to run it again from there. The running
  // uninstaller, known by its file however it was started, is moved out of
  // the folder so that the folder can go now (into the temporary folder, or
  // a hidden folder beside the install folder where that is on another
  // volume). The program's current folder is moved out of the install
  // folder first. A damaged record is acted on as far as it is known and
  // kept.
  [[nodiscard]] Error TakeBack(FilesInUse in_use, UninstallReport& report);

 private:
  const platform::Platform& platform_;
  const InstallTarget& target_;
  InstallRecord record_;
  Wow64Folder wow64_;
  List<SavedValue> new_saved_;  // planned values no earlier run saved, or saved anew
  NameList absent_[2];          // of each folder's files, those with no file in their place when planned
  bool stateless_ = false;      // the record has no InstallState (the earliest builds' form)
};

// The refusal of an installation over a newer version's (`installed`):
// 1638, another version of the product installed, nothing changed.
Error NewerVersionInstalled(std::wstring_view installed);

// The refusal of an installation over a damaged record (its parts that
// cannot be read, `damaged`): 13, nothing changed, with the way out.
Error DamagedRecord(const NameList& damaged);

// What every installation and uninstallation run does first, with the
// installation lock taken (`lock_held`): deletes the uninstallers earlier
// removals moved beside the install folder; refuses (1618) while another
// run holds the lock or, for every account, while Windows Installer runs an
// installation; then makes the target's classes root the one its
// registrations live in (UseTargetClasses).
[[nodiscard]] Error BeginTransaction(const platform::Platform& platform, const InstallTarget& target,
                                     bool lock_held);

// Makes the target's classes root the one its registrations live in: for
// every account, the machine's own classes (see
// Registry::UseMachineClasses).
[[nodiscard]] Error UseTargetClasses(platform::Registry& registry, const InstallTarget& target);

}  // namespace glyphary::engine
