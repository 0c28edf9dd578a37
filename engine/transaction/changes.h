// Inside the transaction: the record's key and texts, and the kinds of
// change, each one unit with its journal, its step and its rollback, that
// transaction.cpp puts in order. Not for use outside this folder.
#pragma once

#include "base/function_ref.h"
#include "engine/transaction/transaction.h"

namespace glyphary::engine::changes {

// The installation's own record (the package keeps its own elsewhere).
inline RecordLocation RecordOf(const InstallTarget& target) { return {target.record_root, kRecordKey}; }

// --- The record's texts -----------------------------------------------------
// Between the names of a list: a character no file or key name holds.
constexpr wchar_t kSeparator = L'|';

// The record's list of the folders that were someone else's before.
constexpr std::wstring_view kFoldersValue = L"ExistingFolders";

// `names` as one text, kSeparator between them.
WideText JoinedNames(const NameList& names);

// Reads the text list `value` of the record at `record` into `names`: each
// entry that `valid` accepts once, the others into `ignored` after "<value>: ".
// A value of another type than text is named in `ignored` as no list of
// `what` ("file names") and sets `damaged`; so does a missing one where
// `required`.
[[nodiscard]] Error ReadList(platform::Registry& registry, RecordLocation record, std::wstring_view value,
                             std::wstring_view what, bool required, const FunctionRef<bool(std::wstring_view)>& valid, NameList& names,
                             NameList& ignored, bool& damaged);

// --- The file kinds ---------------------------------------------------------

// A folder the installation puts files into: the install folder below the
// target's base, or the WOW64 folder that 32-bit programs reach (Wow64Folder), with
// the record's lists for it.
struct FileFolder {
  std::wstring_view path;
  std::wstring_view base;    // the folder it is made in; removals stop there
  std::size_t count;         // how many of the sources go there, from the first
  NameList& files;           // the files of ours there
  NameList& set_aside;       // of those, the ones whose earlier file waits aside
  bool wow64;
  const NameList& folders_before;  // folders that existed before the installation: they stay
};

// The install folder, and its WOW64 folder when there is one.
struct FileFolders {
  FileFolder list[2];
  std::size_t size;
};
FileFolders FoldersOf(const InstallTarget& target, const Wow64Folder& wow64, std::size_t sources,
                      InstallRecord& record);

// Record: the lists of every folder, read (`record.damaged` where one is
// no text, or where the install folder's is missing from a record
// `past_plan`; a name set aside that the list of files put in lacks is
// added to it) and written: the files to move aside (SetAsideFiles[Wow64])
// before the files to put in (InstalledFiles[Wow64]), as a name in the
// second list that is missing from the first would be taken for ours. A
// list an earlier run wrote that is empty now goes. After a removal, the
// files still there.
[[nodiscard]] Error ReadFileLists(platform::Registry& registry, const InstallTarget& target, InstallRecord& record,
                                  bool past_plan);
[[nodiscard]] Error WriteSetAsideLists(platform::Registry& registry, const InstallTarget& target,
                                       const InstallRecord& record);
[[nodiscard]] Error WriteInstalledLists(platform::Registry& registry, const InstallTarget& target,
                                        const InstallRecord& record);
[[nodiscard]] Error WriteFilesLeft(platform::Registry& registry, const InstallTarget& target,
                                   const NameList& files, const NameList& wow64_files);

// Plan: adds to the folder's lists the sources that go there, and of those
// the ones whose present file is someone else's and moves aside. Of the
// icons the lists name already, one whose file there holds other bytes is
// replaced where it is an older build's (`upgrade`) or stands where theirs
// was set aside, and set aside as someone else's otherwise; those that find
// no file in their place go into `absent`, copied only where none has
// appeared since.
[[nodiscard]] Error PlanFolder(platform::FileSystem& files, const Sources& sources, const FileFolder& to,
                               bool upgrade, NameList& absent);

// What a removal of files leaves to the restart or to a later run, beyond
// the errors it reports.
struct LeftOver {
  // Files of someone else's that come back from the set-aside folder when
  // Windows next starts, after ours in their place are deleted.
  NameList restored_at_restart;
  // A file of ours in use could not be left to the restart (an account
  // without the right to the machine's list): the removal is to be run
  // again, so the uninstaller stays in the folder for Apps & Features.
  bool run_again = false;
};

// --- The kinds of change ------------------------------------------------------
// After Chromium's installer WorkItem (DoImpl, RollbackImpl), but journaled
// on disk: each kind says what it writes into the record before any step of
// any kind (Journal), makes its step (Do), and takes back whatever the
// record names of it, from any state a run left (Rollback). The transaction
// runs them in kApplyOrder, the state Installing between the journals and
// the steps, and takes them back in kRollbackOrder.

// What one run works on, handed to every kind.
struct Work {
  Work(const platform::Platform& on, const InstallTarget& for_target, InstallRecord& of_record,
       const FileFolders& in_folders)
      : platform(on), target(for_target), record(of_record), folders(in_folders) {}
  const platform::Platform& platform;
  const InstallTarget& target;
  InstallRecord& record;
  const FileFolders& folders;
  // Applying: what the plan found.
  const Sources* sources = nullptr;
  const List<SavedValue>* new_saved = nullptr;  // values no earlier run saved, or saved anew
  NameList* absent = nullptr;                   // each folder's names found with no file in place
  const StageSink* stage = nullptr;
  bool upgrade = false;                         // the registrations stay as they are
  bool pending[2] = {};                         // each folder's deletions left to the restart, kept now
  // Taking back.
  FilesInUse in_use = FilesInUse::kReport;
  UninstallReport* report = nullptr;
  LeftOver left;
  bool unlisted = false;   // files found waiting aside that the set-aside lists lost
  bool stateless = false;  // a record in the earliest builds' form
  FunctionRef<void(Error)> keep;
};

class Change {
 public:
  [[nodiscard]] virtual Error Journal(Work& work) const = 0;
  [[nodiscard]] virtual Error Do(Work& work) const = 0;
  // Each failure goes to work.keep; false stops the rollback there.
  virtual bool Rollback(Work& work) const = 0;

 protected:
  ~Change() = default;
};

// folders       ExistingFolders          made where missing        removed when empty, unless someone else's
// set-aside     SetAsideFiles[Wow64]     theirs moved aside        put back (at the restart where ours is held)
// copies        InstalledFiles[Wow64]    icons staged, moved in    deleted, or at the restart
// registrations ReplacedValues, ExistingKeys  36 keys, 48 values   ours deleted, saved put back, keys of before kept
// uninstaller   (in InstalledFiles)      the program copied in     moved out while it runs, deleted
// completion    (InstallState)           the entry, DisplayName    DisplayName first, then Removing
const Change& FolderChange();        // files.cpp
const Change& SetAsideChange();      // files.cpp
const Change& CopyChange();          // files.cpp
const Change& UninstallerChange();   // files.cpp
const Change& RegistrationChange();  // registry.cpp
const Change& CompletionChange();    // transaction.cpp

// The copy of `name` into `folder` failed with `error`: where a file
// appeared in a place this run had found empty, the record stops naming it
// as ours before the rollback reads it.
Error Unclaimed(Work& work, const FileFolder& folder, std::wstring_view name, Error error);

// Undo: the folders above `folder` up to `base` that are empty and were
// not there before the installation.
void RemoveEmptyParents(platform::FileSystem& files, std::wstring_view folder, std::wstring_view base,
                        const NameList& folders_before);

// Recovery: the files of the folder's list that a removal left, in their
// place or waiting aside, for the record to name.
NameList FilesStillThere(platform::FileSystem& files, const FileFolder& folder);

// Recovery: the files of an installation whose record is gone: the
// table's icons and the uninstaller in the install folder, and in its WOW64 folder
// the table's icons that hold the very bytes of the one of that name in
// the install folder (anything else there is someone else's).
NameList UnrecordedFiles();
NameList UnrecordedWow64Files(platform::FileSystem& files, const InstallTarget& target, const Wow64Folder& wow64);

// Recovery: a file waiting in a folder's set-aside folder under a name of
// ours that its list does not name (the list was lost): named in `ignored`
// and added to `set_aside`, so that it is put back and not stranded.
// The set-aside kind's rollback records the lists so found before anything
// is put back: a later run then knows the file in that place for theirs.
bool FindUnlistedAside(platform::FileSystem& files, const FileFolder& folder, NameList& ignored);

// Recovery: deletes what earlier removals moved out of the install folder
// (the running uninstaller), and the folder they moved it into; a copy
// still running stays for a later run.
void RemoveMovedOut(platform::FileSystem& files, const InstallTarget& target);

}  // namespace glyphary::engine::changes
