#include "engine/uninstallation.h"

#include "base/function_ref.h"
#include "base/path_text.h"
#include "engine/lock.h"
#include "engine/package_owner.h"
#include "engine/product.h"

namespace glyphary::engine {

namespace {

// Whether any of the 48 places holds what the installation writes.
bool AnyRegistrationOfOurs(platform::Registry& registry, const InstallTarget& target) {
  for (int place = 0; place < kPlaceCount; ++place) {
    const Place at = PlaceAt(place);
    platform::RegistryValue found;
    bool exists = false;
    if (!registry.ReadValue(target.classes_root, PlaceKey(target, place), at.value.name, found, exists) &&
        exists && HoldsOurs(target, at.type, at.value, found)) {
      return true;
    }
  }
  return false;
}

// The files an installation without its record put into the folder: the
// table's icons and the uninstaller.
NameList UnrecordedFiles() {
  NameList names;
  for (const FileType& type : kFileTypes) names.Add(type.icon_file);
  names.Add(kExeName);
  return names;
}

// Removes the folders between the install folder and the target's base
// ("Glyphary" of the per-user folder) that are left empty; one that holds
// anything stays.
// The icons of ours an installation without its record left where 32-bit
// programs look (`twin`): the table's icons there that hold the very bytes
// of the one of that name in the install folder. Anything else there (a
// 32-bit program's own TI-89 folder) is someone else's.
NameList UnrecordedTwinFiles(platform::FileSystem& files, const InstallTarget& target, const Wow64Folder& twin) {
  NameList names;
  if (!twin.exists()) return names;
  for (const FileType& type : kFileTypes) {
    const WideText there = Joined(twin.folder(), L"\\", type.icon_file);
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

// Removes the folders between the install folder and the target's base
// ("Glyphary" of the per-user folder) that are left empty; one that holds
// anything stays.
void RemoveEmptyParents(platform::FileSystem& files, std::wstring_view install_folder, std::wstring_view base) {
  std::wstring_view folder = SplitLast(install_folder).first;
  while (folder.size() > base.size()) {
    bool removed = false;
    if (files.RemoveEmptyFolder(folder, removed) || !removed) return;
    folder = SplitLast(folder).first;
  }
}

// What RemoveFiles leaves to the restart or to a later run, beyond the
// errors it reports.
struct LeftOver {
  // Files of someone else's that come back from the set-aside folder when
  // Windows next starts, after ours in their place are deleted.
  NameList restored_at_restart;
  // A file of ours in use could not be left to the restart (an account
  // without the right to the machine's list): the removal is to be run
  // again, so the uninstaller stays in the folder for Apps & Features.
  bool run_again = false;
};

// The folder the running uninstaller moves into when the temporary folder
// lies on another volume than the install folder (a move is a rename within
// one volume): hidden, in the target's base beside the install folder, so
// on its volume, and of the account's own for a per-user installation.
// Every run of the program empties it (BeginRun).
WideText MovedOutFolder(const InstallTarget& target) {
  return Joined(target.base, L"\\~GlypharyInstaller.uninstalled");
}

// Moves the running uninstaller `path` out of the install folder (a running
// program's file can be moved, not deleted), so that the folder can go now:
// into the temporary folder, or where that is on another volume, into
// MovedOutFolder. The copy is deleted when Windows next starts; where the
// account may not ask for that, it stays in the account's own temporary
// folder or is deleted by the next run of the program. Either way it is no
// part of the installation any more.
Error MoveProgramOut(platform::FileSystem& files, const InstallTarget& target, std::wstring_view path) {
  WideText temp;
  if (!files.TempFolder(temp)) {
    const WideText moved = Joined(temp, L"\\GlypharyInstaller-uninstalled.exe");
    if (!files.MoveFileReplacing(path, moved)) {
      (void)files.DeleteAtRestart(moved);
      return Error();
    }
  }
  const WideText folder = MovedOutFolder(target);
  if (!files.FolderExists(folder)) {
    if (Error error = files.CreateHiddenFolder(folder)) return error;
  }
  const WideText moved = Joined(folder, L"\\", kExeName);
  if (Error error = files.MoveFileReplacing(path, moved)) return error;
  if (!files.DeleteAtRestart(moved)) (void)files.DeleteAtRestart(folder);
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

// A folder the installation put files into: the install folder below the
// target's base, or its twin that 32-bit programs reach (Wow64Folder), with
// the record's lists for it.
struct Removal {
  std::wstring_view folder;
  std::wstring_view base;
  const NameList& names;      // the files of ours there
  const NameList& set_aside;  // of those, the ones whose earlier file waits aside
  bool twin;
};

// Takes the files of ours out of the folder and puts back those it had
// moved aside; the folder goes when nothing else is in it. The uninstaller
// (only in the install folder) goes last, and stays where the removal is to
// be run again.
void RemoveFiles(platform::FileSystem& files, const InstallTarget& target, const Removal& from,
                 FilesInUse in_use, UninstallReport& report, LeftOver& left, const FunctionRef<void(Error)>& keep) {
  const NameList& names = from.names;
  const WideText aside_folder = Joined(from.folder, L"\\", kSetAsideFolderName);
  bool has_uninstaller = false;
  names.ForEach([&](std::wstring_view name) {
    const WideText path = Joined(from.folder, L"\\", name);
    if (!from.set_aside.Contains(name)) {
      if (!from.twin && SameName(name, kExeName)) {
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
  if (!left.restored_at_restart.empty()) {
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
  bool removed = false;
  Error removing = files.RemoveEmptyFolder(from.folder, removed);
  keep(removing);
  if (removed) RemoveEmptyParents(files, from.folder, from.base);
  // The report names the install folder; of its twin only the files count.
  if (!from.twin) report.folder_removed = removed;
  if (removing || removed || in_use == FilesInUse::kReport) return;
  platform::FileList listed;
  keep(files.ListFiles(Joined(from.folder, L"\\*"), listed));
  // Only files of ours waiting for the restart: the folder goes after them.
  bool only_ours = !files.FolderExists(aside_folder);
  listed.names.ForEach([&](std::wstring_view name) {
    only_ours &= names.Contains(name) && files.DeletesAtRestart(Joined(from.folder, L"\\", name));
  });
  if (only_ours) {
    keep(files.DeleteAtRestart(from.folder));
  } else if (!from.twin) {
    report.folder_kept = true;
  }
}

// Deletes what earlier uninstallations moved into MovedOutFolder, and the
// folder; a copy still running (its message still shown) stays for a later run.
void RemoveMovedOut(platform::FileSystem& files, const InstallTarget& target) {
  const WideText folder = MovedOutFolder(target);
  if (!files.FolderExists(folder)) return;
  platform::FileList moved;
  if (files.ListFiles(Joined(folder, L"\\*"), moved)) return;
  moved.names.ForEach([&](std::wstring_view name) { (void)files.DeleteFile(Joined(folder, L"\\", name)); });
  bool removed = false;
  (void)files.RemoveEmptyFolder(folder, removed);
}

}  // namespace

Error UseTargetClasses(platform::Registry& registry, const InstallTarget& target) {
  return target.scope == Scope::kMachine ? registry.UseMachineClasses() : Error();
}

namespace {

// What is there for `target`, its record read into `record` (a record that
// cannot be read, `read` its error, is there all the same) and, where the
// package has the installation, its state and product code in `package`.
Installed Look(const platform::Platform& platform, const InstallTarget& target, InstallRecord& record,
               Error& read, PackageState& package_state, WideText& package) {
  package_state = PackageState::kNone;
  read = ReadRecord(platform.registry, target, record);
  if (read || record.exists) return record.complete ? Installed::kRecorded : Installed::kUnfinished;
  if (target.scope == Scope::kMachine) package_state = FindPackage(platform, package);
  if (package_state != PackageState::kNone) return Installed::kByPackage;
  if (AnyRegistrationOfOurs(platform.registry, target)) return Installed::kUnrecorded;
  return Installed::kNothing;
}

}  // namespace

Installed FindInstallation(const platform::Platform& platform, const InstallTarget& target) {
  if (UseTargetClasses(platform.registry, target)) return Installed::kNothing;
  InstallRecord record;
  Error read;
  PackageState package_state;
  WideText package;
  return Look(platform, target, record, read, package_state, package);
}

namespace {

// Says in the record what this removal left to the restart or to another
// run. Files of someone else's that come back at the restart are named
// (PendingRestart): the record stays, Removing, so that any later run sees
// that they are theirs and takes ours off the restart's list before putting
// them back itself. A removal to be run again shows its entry in Apps &
// Features again (DisplayName, with the state still Removing), with the
// uninstaller kept in the folder: Settings can run it once the file is free.
void RecordWhatIsLeft(const platform::Platform& platform, const InstallTarget& target, const LeftOver& left) {
  platform::Registry& registry = platform.registry;
  if (!left.restored_at_restart.empty()) {
    WideText names;
    left.restored_at_restart.ForEach([&](std::wstring_view name) {
      if (!names.empty()) names.Append(L"|");
      names.Append(name);
    });
    if (Error error = registry.SetText(target.record_root, kRecordKey, L"PendingRestart", names)) {
      platform::Note(platform.log, L"cannot write what waits for the restart into the record", error);
    }
  }
  if (left.run_again) {
    if (Error error = registry.SetText(target.record_root, kRecordKey, L"DisplayName", kProductName)) {
      platform::Note(platform.log, L"cannot show the entry in Apps & Features again", error);
    }
  }
}

}  // namespace

Error RemoveInstallation(const platform::Platform& platform, const InstallTarget& target,
                         const InstallRecord& record, FilesInUse in_use, UninstallReport& report) {
  report = UninstallReport();
  report.ignored = record.ignored;
  record.ignored.ForEach([&](std::wstring_view entry) {
    platform::Note(platform.log, Joined(L"ignored, not data the record may hold: ", entry),
                   Error(exit_codes::kRecordEntriesIgnored, L""));
  });
  Error first;
  auto keep = [&](Error error) {
    if (!error) return;
    if (!report.left.Contains(error.Path())) report.left.Add(error.Path());
    if (!first) first = error;
  };
  platform::FileSystem& files = platform.files;
  // A record with neither a state nor DisplayName is a plan cut short while
  // it was written: nothing outside it changed, so only it goes.
  if (record.exists && record.state == RecordState::kNone && !record.complete) {
    keep(DeleteRecord(platform.registry, target));
    return first;
  }
  Wow64Folder twin;
  twin.Find(files, target);
  // A program's current folder cannot be removed: ours goes elsewhere first.
  keep(files.LeaveFolder(target.folder));
  if (twin.exists()) keep(files.LeaveFolder(twin.folder()));
  // From here the installation no longer counts as installed, and every
  // later run finishes what this one leaves.
  if (record.exists) {
    if (Error error = MarkRemoving(platform.registry, target)) {
      keep(error);
      return first;
    }
  }
  const NameList names = record.exists ? record.files : UnrecordedFiles();
  const NameList twin_names = record.exists ? record.wow64_files : UnrecordedTwinFiles(files, target, twin);
  keep(UnregisterFileTypes(platform.registry, target, record.saved, report.registry, platform.log,
                           &record.keys_before));
  LeftOver left;
  // The install folder, and its twin for 32-bit programs where the files
  // of ours there are known.
  const Removal removals[] = {{target.folder, target.base, names, record.set_aside, false},
                              {twin.folder(), twin.base(), twin_names, record.wow64_set_aside, true}};
  const std::size_t folders = twin.exists() ? 2 : 1;
  // The twin first: the install folder's removal ends with the uninstaller.
  for (std::size_t at = folders; at-- > 0;) {
    // A twin that holds nothing of ours is not ours, empty or not.
    if (files.FolderExists(removals[at].folder) && !(removals[at].twin && removals[at].names.empty())) {
      RemoveFiles(files, target, removals[at], in_use, report, left, FunctionRef<void(Error)>(keep));
    }
  }
  report.files_restored_at_restart = left.restored_at_restart.count();
  if (record.exists && !record.damaged) {
    if (!first && left.restored_at_restart.empty()) {
      keep(DeleteRecord(platform.registry, target));  // last: everything else is gone
    } else {
      NameList still[2];
      if (folders == 1) still[1] = record.wow64_files;  // not reached on this run: kept as named
      for (std::size_t at = 0; at < folders; ++at) {
        const Removal& from = removals[at];
        from.names.ForEach([&](std::wstring_view name) {
          const WideText path = Joined(from.folder, L"\\", name);
          const WideText aside = Joined(from.folder, L"\\", kSetAsideFolderName, L"\\", name);
          if (files.FileExists(path) || files.FileExists(aside)) still[at].Add(name);
        });
      }
      // The run's error names what was left; a list that cannot be written is logged.
      if (Error error = WriteFilesLeft(platform.registry, target, still[0], still[1])) {
        platform::Note(platform.log, L"cannot write the files left into the record", error);
      }
      RecordWhatIsLeft(platform, target, left);
    }
  }
  // The shell hears of changed associations; files alone change none.
  if (report.registry.types_removed > 0 || report.registry.values_restored > 0) {
    platform.system.NotifyAssociationsChanged();
  }
  return first;
}

Error BeginRun(const platform::Platform& platform, const InstallTarget& target, const InstallLock& lock,
               std::wstring_view what, std::wstring_view where) {
  platform::Note(platform.log, Joined(what, target.scope == Scope::kMachine ? L" for every account "
                                                                            : L" for this account alone ",
                                      where, L" ", target.folder));
  if (!lock.held()) {
    const Error busy = InstallInProgress();
    platform::Note(platform.log, L"refused: another run of the program is installing or removing", busy);
    return busy;
  }
  RemoveMovedOut(platform.files, target);
  if (Error error = UseTargetClasses(platform.registry, target)) return error;
  if (target.scope == Scope::kMachine && platform.system.WindowsInstallerRunning()) {
    const Error busy = WindowsInstallerBusy(L"");
    platform::Note(platform.log, L"refused: Windows Installer is running an installation", busy);
    return busy;
  }
  return Error();
}

Error RunUninstallation(const platform::Platform& platform, const InstallTarget& target,
                        UninstallReport& report) {
  report = UninstallReport();
  platform::Log* log = platform.log;
  InstallLock lock(platform.system);
  if (Error refused = BeginRun(platform, target, lock, L"uninstall", L"from")) return refused;
  InstallRecord record;
  Error read;
  PackageState package_state;
  WideText package;
  switch (Look(platform, target, record, read, package_state, package)) {
    case Installed::kNothing:
      platform::Note(log, L"found: nothing installed; nothing to do");
      return Error();
    case Installed::kByPackage: {
      const Error refused = package_state == PackageState::kInstalling ? WindowsInstallerBusy(package)
                            : package_state == PackageState::kCutShort ? PackageCutShort(package)
                                                                       : PackageOwnsInstallation(package);
      platform::Note(log,
                     package_state == PackageState::kInstalled
                         ? Joined(L"refused: installed by the Windows Installer package ", package,
                                  L", which removes it itself")
                         : PackageFoundNote(package_state, package),
                     refused);
      return refused;
    }
    case Installed::kRecorded: platform::Note(log, L"found: a complete installation"); break;
    case Installed::kUnfinished: platform::Note(log, L"found: an installation or uninstallation cut short"); break;
    case Installed::kUnrecorded: platform::Note(log, L"found: an installation without its record"); break;
  }
  if (read) {
    platform::Note(log, L"stopped: the record cannot be read", read);
    return read;
  }
  const Error result = RemoveInstallation(platform, target, record, FilesInUse::kLeaveToRestart, report);
  platform::Note(log, result ? L"not everything removed; the record keeps what is left" : L"uninstalled", result);
  return result;
}

}  // namespace glyphary::engine
