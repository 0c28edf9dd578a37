// The file kinds of the transaction: the folders, the files of someone
// else's moved aside, and the copies, each with its record, step and undo.
#include "base/decimal.h"
#include "base/path_text.h"
#include "engine/transaction/changes.h"

namespace glyphary::engine::changes {

namespace {

constexpr std::wstring_view kFilesValue = L"InstalledFiles";
constexpr std::wstring_view kSetAsideValue = L"SetAsideFiles";
// The same lists for the WOW64 folder that 32-bit programs reach.
constexpr std::wstring_view kWow64FilesValue = L"InstalledFilesWow64";
constexpr std::wstring_view kWow64SetAsideValue = L"SetAsideFilesWow64";


WideText AsideFolder(std::wstring_view folder) { return Joined(folder, L"\\", kSetAsideFolderName); }

}  // namespace

FileFolders FoldersOf(const InstallTarget& target, const Wow64Folder& wow64, std::size_t sources,
                      InstallRecord& record) {
  return FileFolders{{{target.folder, target.base, sources, record.files, record.set_aside, false,
                       record.folders_before},
                      {wow64.folder(), wow64.base(), sources > 0 ? sources - 1 : 0, record.wow64_files,
                       record.wow64_set_aside, true, record.folders_before}},
                     wow64.exists() ? 2u : 1u};
}

// --- Record -------------------------------------------------------------------

Error ReadFileLists(platform::Registry& registry, const InstallTarget& target, InstallRecord& record,
                    bool past_plan) {
  // The list of files put in is written with the state, so every record
  // with a state has it; the WOW64 folder's lists are there only where the run put
  // anything there.
  struct Names {
    std::wstring_view value;
    NameList& names;
    bool required;
  };
  const Names lists[] = {{kFilesValue, record.files, past_plan},
                         {kSetAsideValue, record.set_aside, false},
                         {kWow64FilesValue, record.wow64_files, false},
                         {kWow64SetAsideValue, record.wow64_set_aside, false}};
  auto plain = [](std::wstring_view name) { return IsPlainFileName(name); };
  for (const auto& [value, names, required] : lists) {
    if (Error error = ReadList(registry, RecordOf(target), value, L"file names", required,
                               FunctionRef<bool(std::wstring_view)>(plain), names, record.ignored,
                               record.damaged)) {
      return error;
    }
  }
  // A record past its plan always names the program: one that names
  // nothing lost its list, which is taken as an uninstall without a record
  // takes it.
  if (past_plan && record.files.empty()) record.files = UnrecordedFiles();
  // The files set aside are written before the files put in, so a record
  // may name one set aside that its list of files put in lacks: cut short
  // between the two (the state then still that of the run before), or the
  // list lost. Either way that file's place is ours once theirs waits aside.
  const struct {
    const NameList& set_aside;
    NameList& files;
  } pairs[] = {{record.set_aside, record.files}, {record.wow64_set_aside, record.wow64_files}};
  for (const auto& [set_aside, names] : pairs) {
    set_aside.ForEach([&names = names](std::wstring_view name) {
      if (!names.Contains(name)) names.Add(name);
    });
  }
  return Error();
}

namespace {

// Writes `lists` in order; one that is empty now goes where an earlier run
// wrote it, as it names no file any more.
struct ListValue {
  std::wstring_view value;
  const NameList& names;
  bool always;
};
Error WriteLists(platform::Registry& registry, const InstallTarget& target, const InstallRecord& record,
                 std::initializer_list<ListValue> lists) {
  for (const ListValue& list : lists) {
    if (!list.always && list.names.empty()) {
      if (Error error = record.exists ? registry.DeleteValue(target.record_root, kRecordKey, list.value) : Error()) {
        return error;
      }
      continue;
    }
    if (Error error = registry.SetText(target.record_root, kRecordKey, list.value, JoinedNames(list.names))) {
      return error;
    }
  }
  return Error();
}

}  // namespace

Error WriteSetAsideLists(platform::Registry& registry, const InstallTarget& target, const InstallRecord& record) {
  return WriteLists(registry, target, record,
                    {{kSetAsideValue, record.set_aside, false}, {kWow64SetAsideValue, record.wow64_set_aside, false}});
}

Error WriteInstalledLists(platform::Registry& registry, const InstallTarget& target, const InstallRecord& record) {
  return WriteLists(registry, target, record,
                    {{kFilesValue, record.files, true}, {kWow64FilesValue, record.wow64_files, false}});
}

Error WriteFilesLeft(platform::Registry& registry, const InstallTarget& target, const NameList& files,
                     const NameList& wow64_files) {
  if (Error error = registry.SetText(target.record_root, kRecordKey, kFilesValue, JoinedNames(files))) {
    return error;
  }
  return registry.SetText(target.record_root, kRecordKey, kWow64FilesValue, JoinedNames(wow64_files));
}

// --- Plan -------------------------------------------------------------------

namespace {

// Plans someone else's file `name` to be moved aside; someone else's file
// waiting aside under that name already is an error naming it, as nothing
// is overwritten.
Error SetAsidePlanned(platform::FileSystem& files, const FileFolder& to, std::wstring_view name) {
  const WideText aside = Joined(AsideFolder(to.path), L"\\", name);
  if (files.FileExists(aside)) {
    Error taken = errors::Make(errors::kFileAlreadyExists);
    taken.At(aside);
    return taken;
  }
  if (!to.set_aside.Contains(name)) to.set_aside.Add(name);
  return Error();
}

}  // namespace

Error PlanFolder(platform::FileSystem& files, const Sources& sources, const FileFolder& to, bool upgrade,
                 NameList& absent) {
  const std::size_t icons = sources.files.size() - 1;  // the program comes last
  // A file of someone else's that an earlier run planned to set aside and
  // that is gone since, from its place and from aside: theirs is no more,
  // and what this run puts there is plainly ours.
  NameList still_aside;
  to.set_aside.ForEach([&](std::wstring_view name) {
    if (files.FileExists(Joined(to.path, L"\\", name)) ||
        files.FileExists(Joined(AsideFolder(to.path), L"\\", name))) {
      still_aside.Add(name);
    }
  });
  to.set_aside = still_aside;
  for (std::size_t at = 0; at < to.count; ++at) {
    const Source& source = sources.files[at];
    const std::wstring_view name = source.name;
    if (to.files.Contains(name)) {
      // Planned by an earlier run. Where that run set theirs aside, the file
      // in its place is ours (or still theirs, while it waits to be set
      // aside); an older build's with other bytes is replaced whole. Any
      // other file there with other bytes appeared since that run's plan
      // (its copies are made whole or not at all): someone else's, set
      // aside in turn.
      const WideText path = Joined(to.path, L"\\", name);
      const WideText aside = Joined(AsideFolder(to.path), L"\\", name);
      const bool theirs_aside = to.set_aside.Contains(name);
      if (at >= icons || (theirs_aside && !files.FileExists(aside)) || !files.FileExists(path) ||
          files.DeletesAtRestart(path) || files.HeldSourceIs(source.held, path)) {
        continue;
      }
      if (upgrade || theirs_aside) continue;  // replaced whole by the copy
      if (Error taken = SetAsidePlanned(files, to, name)) return taken;
      continue;
    }
    const WideText path = Joined(to.path, L"\\", name);
    if (!files.FileExists(path)) absent.Add(name);
    // Someone else's file stands there, unless it is this program running
    // from the folder, one of ours an uninstallation left for the restart
    // to delete, or the very bytes this run installs (ours, whatever
    // happened to the record that named it).
    if (!(sources.program_in_place && SameName(name, kExeName)) && files.FileExists(path) &&
        !files.DeletesAtRestart(path) && !files.HeldSourceIs(source.held, path)) {
      if (Error taken = SetAsidePlanned(files, to, name)) return taken;
    }
    to.files.Add(name);
  }
  return Error();
}

// --- Steps ------------------------------------------------------------------

namespace {

Error MakeFolders(platform::FileSystem& files, const InstallTarget& target, const FileFolders& to,
                  bool pending[2]) {
  // The install folder and each missing folder between it and the target's
  // base ("Glyphary", then "TI-89"); the WOW64 folder's base is there
  // (Wow64Folder::Find), so only the WOW64 folder is made.
  const std::wstring_view folder = target.folder;
  for (std::size_t end = target.base.size() + 1; end <= folder.size(); ++end) {
    if (end < folder.size() && folder[end] != L'\\') continue;
    const std::wstring_view level = Head(folder, end);
    if (files.FolderExists(level)) continue;
    if (Error error = files.CreateFolder(level)) return error.At(level);
  }
  for (std::size_t at = 0; at < to.size; ++at) {
    const std::wstring_view path = to.list[at].path;
    if (to.list[at].wow64 && !files.FolderExists(path)) {
      if (Error error = files.CreateFolder(path)) return error.At(path);
    }
    pending[at] = files.DeletesAtRestart(path);
    bool kept = false;
    if (Error error = pending[at] ? files.KeepAtRestart(path, kept) : Error()) return error;
  }
  return Error();
}

Error SetAside(platform::FileSystem& files, const FileFolder& folder) {
  const WideText aside_folder = AsideFolder(folder.path);
  Error failed;
  folder.set_aside.ForEach([&](std::wstring_view name) {
    const WideText path = Joined(folder.path, L"\\", name);
    const WideText aside = Joined(aside_folder, L"\\", name);
    if (failed || files.FileExists(aside) || !files.FileExists(path)) return;  // moved by an earlier run
    if (!files.FolderExists(aside_folder)) failed = files.CreateFolder(aside_folder);
    if (!failed) failed = files.MoveFile(path, aside);
  });
  return failed;
}

Error CopySource(platform::FileSystem& files, std::wstring_view folder, const Source& source,
                 bool deletions_pending, const NameList& absent) {
  const WideText to = Joined(folder, L"\\", source.name);
  if (deletions_pending) {
    // What an uninstallation had left for the restart to delete is kept now.
    bool kept = false;
    if (Error error = files.KeepAtRestart(to, kept)) return error;
  }
  return files.CopyHeldSource(source.held, to,
                              absent.Contains(source.name) ? platform::FileSystem::Existing::kRefuse
                                                           : platform::FileSystem::Existing::kReplace);
}

Error CopyIcons(platform::FileSystem& files, std::wstring_view folder, const Sources& sources, std::size_t icons,
                const NameList& absent, bool deletions_pending, std::wstring_view& failed_name) {
  const WideText staging = Joined(folder, L"\\", kStagingFolderName);
  NameList staged;
  for (std::size_t at = 0; at < icons; ++at) {
    const Source& source = sources.files[at];
    const WideText to = Joined(folder, L"\\", source.name);
    if (files.FileExists(to) && !files.DeletesAtRestart(to) && files.HeldSourceIs(source.held, to)) continue;
    if (staged.empty() && !files.FolderExists(staging)) {
      if (Error error = files.CreateHiddenFolder(staging)) return error;
    }
    failed_name = source.name;
    if (Error error = files.CopyHeldSource(source.held, Joined(staging, L"\\", source.name),
                                           platform::FileSystem::Existing::kReplace)) {
      return error;
    }
    staged.Add(source.name);
  }
  for (std::size_t at = 0; at < icons; ++at) {
    const std::wstring_view name = sources.files[at].name;
    if (!staged.Contains(name)) continue;
    failed_name = name;
    const WideText from = Joined(staging, L"\\", name);
    const WideText to = Joined(folder, L"\\", name);
    bool kept = false;
    // What an uninstallation had left for the restart to delete is kept now.
    Error failed = deletions_pending ? files.KeepAtRestart(to, kept) : Error();
    // Into a place found empty only while it is empty: a file that appeared
    // there since is someone else's.
    if (!failed) failed = absent.Contains(name) ? files.MoveFile(from, to) : files.MoveFileReplacing(from, to);
    if (failed) return failed;
  }
  failed_name = std::wstring_view();
  if (!files.FolderExists(staging)) return Error();
  // Copies an earlier run cut short left there go with the folder.
  for (const Source& source : sources.files) {
    const WideText left = Joined(staging, L"\\", source.name);
    if (files.FileExists(left)) {
      if (Error error = files.DeleteFile(left)) return error;
    }
  }
  bool removed = false;
  return files.RemoveEmptyFolder(staging, removed);
}

}  // namespace

// --- Undo -------------------------------------------------------------------

namespace {

}  // namespace

// Removes the folders between `folder` and `base` ("Glyphary" of the
// per-user folder) that are left empty; one that holds anything stays.
void RemoveEmptyParents(platform::FileSystem& files, std::wstring_view folder, std::wstring_view base,
                        const NameList& folders_before) {
  std::wstring_view parent = SplitLast(folder).first;
  while (parent.size() > base.size() && !folders_before.Contains(parent)) {
    bool removed = false;
    if (files.RemoveEmptyFolder(parent, removed) || !removed) return;
    parent = SplitLast(parent).first;
  }
}

namespace {

// The folder the running uninstaller moves into when the temporary folder
// lies on another volume than the install folder (a move is a rename within
// one volume): hidden, in the target's base beside the install folder, so
// on its volume, and of the account's own for a per-user installation.
// Every run of the program empties it (RemoveMovedOut).
WideText MovedOutFolder(const InstallTarget& target) {
  return Joined(target.base, L"\\~GlypharyInstaller.uninstalled");
}

// Moves the running uninstaller `path` out of the install folder (a running
// program's file can be moved, not deleted), so that the folder can go now:
// into the temporary folder, or where that is on another volume, into
// MovedOutFolder. The copy is deleted when Windows next starts; where the
// account may not ask for that, it stays in the account's own temporary
// folder or is deleted by the next run of the program. Either way it is no
// part of the installation any more, so a failure to ask is no failure.
Error MoveProgramOut(platform::FileSystem& files, const InstallTarget& target, std::wstring_view path) {
  WideText temp;
  if (!files.TempFolder(temp)) {
    const WideText moved = Joined(temp, L"\\GlypharyInstaller-uninstalled.exe");
    if (!files.MoveFileReplacing(path, moved)) {
      (void)files.DeleteAtRestart(moved);  // not asked: the copy stays among the account's temporary files
      return Error();
    }
  }
  const WideText folder = MovedOutFolder(target);
  if (!files.FolderExists(folder)) {
    if (Error error = files.CreateHiddenFolder(folder)) return error;
  }
  const WideText moved = Joined(folder, L"\\", kExeName);
  if (Error error = files.MoveFileReplacing(path, moved)) return error;
  if (!files.DeleteAtRestart(moved)) (void)files.DeleteAtRestart(folder);  // not asked: the next run deletes both
  return Error();
}

// The error of a file in use that cannot be left to the restart: the
// removal is to be run again once it is free, from Apps & Features.
Error RunAgainLater(Error in_use, LeftOver& left) {
  left.run_again = true;
  in_use.Advise(L"Another program has this file open, and only an administrator can have Windows remove it "
                L"when it restarts. Close that program, then remove Glyphary Installer again from Apps & "
                L"Features.");
  return in_use;
}

// Deletes one file of ours. One in use goes when Windows next starts, or is
// reported (`in_use`); one that cannot be left to the restart either is
// reported, and the removal is to be run again (`left.run_again`).
Error RemoveFile(platform::FileSystem& files, std::wstring_view path, FilesInUse in_use,
                 UninstallReport& report, LeftOver& left) {
  if (!files.FileExists(path)) return Error();
  Error deleting = files.DeleteFile(path);
  if (!deleting) {
    ++report.files_removed;
    return Error();
  }
  if (in_use == FilesInUse::kReport) return deleting;
  if (!files.DeletesAtRestart(path)) {
    if (files.DeleteAtRestart(path)) return RunAgainLater(deleting, left);  // in use: what the user can act on
  }
  ++report.files_at_restart;
  return Error();
}

// Puts back the file of someone else's that waits at `aside` for `path`,
// deleting ours there first. Ours held open (an uninstallation): ours is
// deleted and theirs moved back when Windows next starts, in that order.
Error PutBack(platform::FileSystem& files, std::wstring_view path, std::wstring_view aside, std::wstring_view name,
              FilesInUse in_use, UninstallReport& report, LeftOver& left) {
  if (files.FileExists(path)) {
    Error removing = files.DeleteFile(path);
    if (removing) {
      if (in_use == FilesInUse::kReport) return removing;  // put back by a later run, when it is free
      Error later;
      if (!files.DeletesAtRestart(path)) later = files.DeleteAtRestart(path);
      if (!later) later = files.MoveAtRestart(aside, path);
      if (later) return RunAgainLater(removing, left);
      ++report.files_at_restart;
      left.restored_at_restart.Add(name);
      return Error();
    }
    ++report.files_removed;
  }
  // An earlier run left ours to the restart, which would now delete theirs.
  if (files.DeletesAtRestart(path)) {
    bool kept = false;
    if (Error error = files.KeepAtRestart(path, kept)) return error;
  }
  Error restoring = files.MoveFile(aside, path);
  if (!restoring) ++report.files_restored;
  return restoring;
}

}  // namespace

// --- The kinds ------------------------------------------------------------------

namespace {

// Whether a rollback reaches `folder`: it is there, and the WOW64 folder
// only where the record names files of ours in it (one that holds nothing
// of ours is not ours, empty or not).
bool Reached(platform::FileSystem& files, const FileFolder& folder) {
  return files.FolderExists(folder.path) && !(folder.wow64 && folder.files.empty());
}

// Calls `visit` with each folder a rollback reaches, the WOW64 folder first.
template <class Visit>
void EachReached(Work& work, Visit visit) {
  for (std::size_t at = work.folders.size; at-- > 0;) {
    if (Reached(work.platform.files, work.folders.list[at])) visit(work.folders.list[at]);
  }
}

bool IsUninstaller(const FileFolder& folder, std::wstring_view name) {
  return !folder.wow64 && SameName(name, kExeName);
}

class Folders final : public Change {
 public:
  Error Journal(Work& work) const override {
    if (work.record.folders_before.empty()) return Error();
    return work.platform.registry.SetText(work.target.record_root, kRecordKey, kFoldersValue,
                                          JoinedNames(work.record.folders_before));
  }
  Error Do(Work& work) const override {
    return MakeFolders(work.platform.files, work.target, work.folders, work.pending);
  }
  // Each folder goes where it is empty and was not someone else's before,
  // with the empty folders above it; one that holds only files of ours
  // left to the restart goes at the restart after them.
  bool Rollback(Work& work) const override {
    platform::FileSystem& files = work.platform.files;
    const FileFolder& install = work.folders.list[0];
    if (!Reached(files, install) && work.record.exists) {
      // A run cut short after it made the folders above the install folder.
      RemoveEmptyParents(files, install.path, install.base, install.folders_before);
    }
    EachReached(work, [&](const FileFolder& from) {
      if (from.folders_before.Contains(from.path)) return;
      bool removed = false;
      Error removing = files.RemoveEmptyFolder(from.path, removed);
      work.keep(removing);
      if (removed) RemoveEmptyParents(files, from.path, from.base, from.folders_before);
      // The report names the install folder; of the WOW64 folder only the files count.
      if (!from.wow64) work.report->folder_removed = removed;
      if (removing || removed || work.in_use == FilesInUse::kReport) return;
      platform::FileList listed;
      work.keep(files.ListFiles(Joined(from.path, L"\\*"), listed));
      bool only_ours = !files.FolderExists(AsideFolder(from.path));
      listed.names.ForEach([&](std::wstring_view name) {
        only_ours &= from.files.Contains(name) && files.DeletesAtRestart(Joined(from.path, L"\\", name));
      });
      if (only_ours) {
        work.keep(files.DeleteAtRestart(from.path));
      } else if (!from.wow64) {
        work.report->folder_kept = true;
      }
    });
    return true;
  }
};

class SetAsideFiles final : public Change {
 public:
  Error Journal(Work& work) const override {
    return WriteSetAsideLists(work.platform.registry, work.target, work.record);
  }
  Error Do(Work& work) const override {
    for (std::size_t at = 0; at < work.folders.size; ++at) {
      if (Error error = SetAside(work.platform.files, work.folders.list[at])) return error;
    }
    return Error();
  }
  // Where the installation moved a file aside, the file in its place is
  // ours once the one aside exists; while it does not, the file in its
  // place is still the one that was there. The set-aside folder goes once
  // empty, or at the restart after what comes back from it then.
  bool Rollback(Work& work) const override {
    platform::FileSystem& files = work.platform.files;
    if (work.unlisted) work.keep(WriteSetAsideLists(work.platform.registry, work.target, work.record));
    EachReached(work, [&](const FileFolder& from) {
      const WideText aside_folder = AsideFolder(from.path);
      const int restored_before = work.left.restored_at_restart.count();
      from.set_aside.ForEach([&](std::wstring_view name) {
        const WideText aside = Joined(aside_folder, L"\\", name);
        if (!from.files.Contains(name) || !files.FileExists(aside)) return;
        work.keep(PutBack(files, Joined(from.path, L"\\", name), aside, name, work.in_use, *work.report, work.left));
      });
      if (work.left.restored_at_restart.count() > restored_before) {
        work.keep(files.DeleteAtRestart(aside_folder));  // after the moves out of it
      } else if (files.FolderExists(aside_folder)) {
        bool removed = false;
        work.keep(files.RemoveEmptyFolder(aside_folder, removed));
      }
    });
    return true;
  }
};

class Copies final : public Change {
 public:
  Error Journal(Work& work) const override {
    return WriteInstalledLists(work.platform.registry, work.target, work.record);
  }
  Error Do(Work& work) const override {
    platform::FileSystem& files = work.platform.files;
    (*work.stage)(InstallStage::kCopyingIcons);
    const std::size_t icons = work.sources->files.size() - 1;  // the program comes last
    for (std::size_t at = 0; at < work.folders.size; ++at) {
      // A folder found there, not made by this run, may have gone since
      // while empty (Windows Installer taking back a transaction of its own
      // that had made it): it is made again.
      const FileFolder& to = work.folders.list[at];
      if (!files.FolderExists(to.path)) {
        if (Error error = files.CreateFolder(to.path)) return error.At(to.path);
      }
      // Each icon staged whole first: an older build's stay until the newer
      // set is complete, and none is ever half copied.
      std::wstring_view failed_name;
      if (Error error = CopyIcons(files, to.path, *work.sources, icons, work.absent[at], work.pending[at],
                                  failed_name)) {
        return Unclaimed(work, to, failed_name, error);
      }
    }
    return Error();
  }
  // The copies staged and not yet moved, then each file of ours that is
  // not in the place of someone else's (the set-aside kind's) and not the
  // uninstaller (its own kind's, last).
  bool Rollback(Work& work) const override {
    platform::FileSystem& files = work.platform.files;
    EachReached(work, [&](const FileFolder& from) {
      const WideText staging = Joined(from.path, L"\\", kStagingFolderName);
      if (files.FolderExists(staging)) {
        auto unstage = [&](std::wstring_view name) {
          const WideText staged = Joined(staging, L"\\", name);
          if (files.FileExists(staged)) work.keep(files.DeleteFile(staged));
        };
        from.files.ForEach(unstage);
        for (const FileType& type : kFileTypes) unstage(type.icon_file);  // one the record stopped naming
        bool gone = false;
        work.keep(files.RemoveEmptyFolder(staging, gone));
      }
      from.files.ForEach([&](std::wstring_view name) {
        if (from.set_aside.Contains(name) || IsUninstaller(from, name)) return;
        work.keep(RemoveFile(files, Joined(from.path, L"\\", name), work.in_use, *work.report, work.left));
      });
    });
    return true;
  }
};

class Uninstaller final : public Change {
 public:
  Error Journal(Work&) const override { return Error(); }  // named in the install folder's list
  Error Do(Work& work) const override {
    const Sources& sources = *work.sources;
    if (sources.program_in_place) return Error();
    const Source& program = sources.files[sources.files.size() - 1];
    if (Error error = CopySource(work.platform.files, work.target.folder, program, work.pending[0], work.absent[0])) {
      return Unclaimed(work, work.folders.list[0], program.name, error);
    }
    return Error();
  }
  // The running uninstaller, known by its file however it was started,
  // moves out of the folder so that the folder can go now; it stays where
  // the removal is to be run again.
  bool Rollback(Work& work) const override {
    platform::FileSystem& files = work.platform.files;
    const FileFolder& from = work.folders.list[0];
    const WideText uninstaller = Joined(work.target.folder, L"\\", kExeName);
    if (!Reached(files, from) || !from.files.Contains(kExeName) || from.set_aside.Contains(kExeName) ||
        work.left.run_again || !files.FileExists(uninstaller)) {
      return true;
    }
    WideText program;
    work.keep(files.ProgramFile(program));
    if (!files.SameFile(uninstaller, program) || MoveProgramOut(files, work.target, uninstaller)) {
      work.keep(RemoveFile(files, uninstaller, work.in_use, *work.report, work.left));
    } else {
      ++work.report->files_removed;
    }
    return true;
  }
};

}  // namespace

const Change& FolderChange() {
  static const Folders kind;
  return kind;
}
const Change& SetAsideChange() {
  static const SetAsideFiles kind;
  return kind;
}
const Change& CopyChange() {
  static const Copies kind;
  return kind;
}
const Change& UninstallerChange() {
  static const Uninstaller kind;
  return kind;
}

Error Unclaimed(Work& work, const FileFolder& folder, std::wstring_view name, Error error) {
  if (error.Number() != errors::kFileAlreadyExists || !work.absent[folder.wow64 ? 1 : 0].Contains(name)) return error;
  NameList rest;
  folder.files.ForEach([&](std::wstring_view listed) {
    if (!SameName(listed, name)) rest.Add(listed);
  });
  folder.files = rest;
  if (Error unwritten = WriteInstalledLists(work.platform.registry, work.target, work.record)) {
    platform::Note(work.platform.log, L"cannot take a file of someone else's off the record", unwritten);
  }
  return error;
}

// --- Recovery ---------------------------------------------------------------

NameList FilesStillThere(platform::FileSystem& files, const FileFolder& folder) {
  NameList still;
  const WideText aside_folder = AsideFolder(folder.path);
  folder.files.ForEach([&](std::wstring_view name) {
    if (files.FileExists(Joined(folder.path, L"\\", name)) || files.FileExists(Joined(aside_folder, L"\\", name))) {
      still.Add(name);
    }
  });
  return still;
}

NameList UnrecordedFiles() {
  NameList names;
  for (const FileType& type : kFileTypes) names.Add(type.icon_file);
  names.Add(kExeName);
  return names;
}

NameList UnrecordedWow64Files(platform::FileSystem& files, const InstallTarget& target, const Wow64Folder& wow64) {
  NameList names;
  if (!wow64.exists()) return names;
  for (const FileType& type : kFileTypes) {
    const WideText there = Joined(wow64.folder(), L"\\", type.icon_file);
    int held = 0;
    unsigned long long size = 0;
    if (!files.FileExists(there) || files.HoldSource(Joined(target.folder, L"\\", type.icon_file), held, size)) {
      continue;
    }
    if (files.HeldSourceIs(held, there)) names.Add(type.icon_file);
  }
  files.ReleaseSources();  // none was held before: a removal holds no source
  return names;
}

bool FindUnlistedAside(platform::FileSystem& files, const FileFolder& folder, NameList& ignored) {
  bool found = false;
  const WideText aside_folder = AsideFolder(folder.path);
  folder.files.ForEach([&](std::wstring_view name) {
    if (folder.set_aside.Contains(name) || !files.FileExists(Joined(aside_folder, L"\\", name))) return;
    folder.set_aside.Add(name);
    ignored.Add(Joined(folder.wow64 ? kWow64SetAsideValue : kSetAsideValue, L": did not name ", name,
                       L", found waiting in ", aside_folder));
    found = true;
  });
  return found;
}

void RemoveMovedOut(platform::FileSystem& files, const InstallTarget& target) {
  const WideText folder = MovedOutFolder(target);
  if (!files.FolderExists(folder)) return;
  platform::FileList moved;
  if (files.ListFiles(Joined(folder, L"\\*"), moved)) return;
  // A copy still running cannot be deleted yet; it and the folder stay for a later run.
  moved.names.ForEach([&](std::wstring_view name) { (void)files.DeleteFile(Joined(folder, L"\\", name)); });
  bool removed = false;
  (void)files.RemoveEmptyFolder(folder, removed);
}

}  // namespace glyphary::engine::changes
