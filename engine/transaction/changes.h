// Inside the transaction: the record's key and texts, shared by the kinds
// of change, and the file kinds (folders, set-aside, copies) that
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
// no text, where the install folder's is missing from a record `past_plan`,
// or where such a record names files set aside that its list of files put
// in lacks: those are added to it)
// and written (the files to move aside before the files to put in: a name
// in the second list that is missing from the first would be taken for
// ours). After a removal, the files still there.
[[nodiscard]] Error ReadFileLists(platform::Registry& registry, const InstallTarget& target, InstallRecord& record,
                                  bool past_plan);
[[nodiscard]] Error WriteFileLists(platform::Registry& registry, const InstallTarget& target,
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

// Steps: the folders made (with any missing folder above the install
// folder; one an uninstallation had left to the restart is kept now,
// `pending` says so for each); someone else's files moved aside; the icons,
// then the program, copied.
[[nodiscard]] Error MakeFolders(platform::FileSystem& files, const InstallTarget& target, const FileFolders& to,
                                bool pending[2]);
[[nodiscard]] Error SetAside(platform::FileSystem& files, const FileFolder& folder);
[[nodiscard]] Error CopySource(platform::FileSystem& files, std::wstring_view folder, const Source& source,
                               bool deletions_pending, const NameList& absent);
// Copies the first `icons` of `sources` that the folder does not hold to
// the byte already, each whole into the folder's kStagingFolderName, and
// only once all are there moves each into its place (over the file there,
// or where `absent` names it, only while the place is empty); the staging
// folder then goes. So every icon in the folder is whole at every instant,
// ours of this build or an earlier one, or someone else's. The failing
// icon's name goes into `failed_name`.
[[nodiscard]] Error CopyIcons(platform::FileSystem& files, std::wstring_view folder, const Sources& sources,
                              std::size_t icons, const NameList& absent, bool deletions_pending,
                              std::wstring_view& failed_name);

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

// Undo: takes the files of ours out of the folder and puts back those it
// had moved aside; the folder goes when nothing else is in it. The
// uninstaller (only in the install folder) goes last, and stays where the
// removal is to be run again. Each failure goes to `keep`.
void RemoveFiles(platform::FileSystem& files, const InstallTarget& target, const FileFolder& from,
                 FilesInUse in_use, UninstallReport& report, LeftOver& left, const FunctionRef<void(Error)>& keep);

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
// WriteSetAsideLists records the lists so found before anything is put
// back: a later run then knows the file in that place for theirs.
bool FindUnlistedAside(platform::FileSystem& files, const FileFolder& folder, NameList& ignored);
[[nodiscard]] Error WriteSetAsideLists(platform::Registry& registry, const InstallTarget& target,
                                       const InstallRecord& record);

// Recovery: deletes what earlier removals moved out of the install folder
// (the running uninstaller), and the folder they moved it into; a copy
// still running stays for a later run.
void RemoveMovedOut(platform::FileSystem& files, const InstallTarget& target);

}  // namespace glyphary::engine::changes
