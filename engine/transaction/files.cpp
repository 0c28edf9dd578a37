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

Error WriteFileLists(platform::Registry& registry, const InstallTarget& target, const InstallRecord& record) {
  const platform::RegistryRoot root = target.record_root;
  struct List {
    std::wstring_view value;
    const NameList& names;
    bool always;
  };
  const List lists[] = {{kSetAsideValue, record.set_aside, false},
                        {kFilesValue, record.files, true},
                        {kWow64SetAsideValue, record.wow64_set_aside, false},
                        {kWow64FilesValue, record.wow64_files, false}};
  for (const auto& [value, names, always] : lists) {
    if (!always && names.empty()) {
      // One that an earlier run wrote goes: it names no file any more.
      if (Error error = record.exists ? registry.DeleteValue(root, kRecordKey, value) : Error()) return error;
      continue;
    }
    if (Error error = registry.SetText(root, kRecordKey, value, JoinedNames(names))) return error;
  }
  return Error();
}

Error WriteSetAsideLists(platform::Registry& registry, const InstallTarget& target, const InstallRecord& record) {
  if (Error error = registry.SetText(target.record_root, kRecordKey, kSetAsideValue, JoinedNames(record.set_aside))) {
    return error;
  }
  if (record.wow64_set_aside.empty()) return Error();
  return registry.SetText(target.record_root, kRecordKey, kWow64SetAsideValue, JoinedNames(record.wow64_set_aside));
}

Error WriteFilesLeft(platform::Registry& registry, const InstallTarget& target, const NameList& files,
                     const NameList& wow64_files) {
  if (Error error = registry.SetText(target.record_root, kRecordKey, kFilesValue, JoinedNames(files))) {
    return error;
  }
  return registry.SetText(target.record_root, kRecordKey, kWow64FilesValue, JoinedNames(wow64_files));
}

// --- Plan -------------------------------------------------------------------

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
      if (upgrade || theirs_aside) {
        // replaced whole by the copy
      } else if (files.FileExists(aside)) {
        Error taken = errors::Make(errors::kFileAlreadyExists);
        taken.At(aside);
        return taken;
      } else {
        to.set_aside.Add(name);
      }
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
      const WideText aside = Joined(AsideFolder(to.path), L"\\", name);
      if (files.FileExists(aside)) {
        // Someone else's file where ours would wait: nothing is overwritten.
        Error taken = errors::Make(errors::kFileAlreadyExists);
        taken.At(aside);
        return taken;
      }
      if (!to.set_aside.Contains(name)) to.set_aside.Add(name);
    }
    to.files.Add(name);
  }
  return Error();
}

// --- Steps ------------------------------------------------------------------

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

void RemoveFiles(platform::FileSystem& files, const InstallTarget& target, const FileFolder& from,
                 FilesInUse in_use, UninstallReport& report, LeftOver& left, const FunctionRef<void(Error)>& keep) {
  const NameList& names = from.files;
  const WideText aside_folder = AsideFolder(from.path);
  // A newer build's copies staged and not yet moved go first.
  const WideText staging = Joined(from.path, L"\\", kStagingFolderName);
  if (files.FolderExists(staging)) {
    auto unstage = [&](std::wstring_view name) {
      const WideText staged = Joined(staging, L"\\", name);
      if (files.FileExists(staged)) keep(files.DeleteFile(staged));
    };
    names.ForEach(unstage);
    for (const FileType& type : kFileTypes) unstage(type.icon_file);  // one the record stopped naming
    bool gone = false;
    keep(files.RemoveEmptyFolder(staging, gone));
  }
  const int restored_before = left.restored_at_restart.count();
  bool has_uninstaller = false;
  names.ForEach([&](std::wstring_view name) {
    const WideText path = Joined(from.path, L"\\", name);
    if (!from.set_aside.Contains(name)) {
      if (!from.wow64 && SameName(name, kExeName)) {
        has_uninstaller = true;
      } else {
        keep(RemoveFile(files, path, in_use, report, left));
      }
      return;
    }
    // Where the installation moved a file aside, the file in its place is
    // ours once the one aside exists; while it does not, the file in its
    // place is still the one that was there.
    const WideText aside = Joined(aside_folder, L"\\", name);
    if (files.FileExists(aside)) keep(PutBack(files, path, aside, name, in_use, report, left));
  });
  if (left.restored_at_restart.count() > restored_before) {
    keep(files.DeleteAtRestart(aside_folder));  // after the moves out of it
  } else if (files.FolderExists(aside_folder)) {
    bool removed = false;
    keep(files.RemoveEmptyFolder(aside_folder, removed));
  }
  const WideText uninstaller = Joined(target.folder, L"\\", kExeName);
  if (has_uninstaller && !left.run_again && files.FileExists(uninstaller)) {
    // The running program, by the file itself: it may have been started
    // through another drive letter or path for the same folder.
    WideText program;
    keep(files.ProgramFile(program));
    if (!files.SameFile(uninstaller, program) || MoveProgramOut(files, target, uninstaller)) {
      keep(RemoveFile(files, uninstaller, in_use, report, left));
    } else {
      ++report.files_removed;
    }
  }
  // A folder that was there before the installation stays, empty or not.
  if (from.folders_before.Contains(from.path)) return;
  bool removed = false;
  Error removing = files.RemoveEmptyFolder(from.path, removed);
  keep(removing);
  if (removed) RemoveEmptyParents(files, from.path, from.base, from.folders_before);
  // The report names the install folder; of its WOW64 folder only the files count.
  if (!from.wow64) report.folder_removed = removed;
  if (removing || removed || in_use == FilesInUse::kReport) return;
  platform::FileList listed;
  keep(files.ListFiles(Joined(from.path, L"\\*"), listed));
  // Only files of ours waiting for the restart: the folder goes after them.
  bool only_ours = !files.FolderExists(aside_folder);
  listed.names.ForEach([&](std::wstring_view name) {
    only_ours &= names.Contains(name) && files.DeletesAtRestart(Joined(from.path, L"\\", name));
  });
  if (only_ours) {
    keep(files.DeleteAtRestart(from.path));
  } else if (!from.wow64) {
    report.folder_kept = true;
  }
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
