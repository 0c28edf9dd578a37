#include "engine/uninstallation.h"

#include "base/path_text.h"
#include "engine/lock.h"
#include "engine/package_owner.h"
#include "engine/product.h"
#include "engine/record.h"

namespace glyphary::engine {

namespace {

// Whether any value of the file-type table holds what the installation
// writes.
bool AnyRegistrationOfOurs(platform::Registry& registry, const InstallTarget& target) {
  for (const FileType& type : kFileTypes) {
    for (const TypeValue& value : kTypeValues) {
      platform::RegistryValue found;
      bool exists = false;
      if (!registry.ReadValue(target.classes_root, TypeKeyPath(target, type, value.key), value.name,
                              found, exists) &&
          exists && HoldsOurs(target, type, value, found)) {
        return true;
      }
    }
  }
  return false;
}

// The files an installation without its record put into the folder: the
// table's icons and the uninstaller.
List<WideText> UnrecordedFiles() {
  List<WideText> names;
  for (const FileType& type : kFileTypes) names.Add(WideText(type.icon_file));
  names.Add(WideText(kExeName));
  return names;
}

// Whether the install folder still holds a file of ours that is to stay: one
// that an earlier uninstallation left for the restart to delete does not
// count, nor does anyone else's file.
bool AnyFileOfOursStays(platform::FileSystem& files, std::wstring_view folder) {
  if (!files.FolderExists(folder)) return false;
  for (const WideText& name : UnrecordedFiles()) {
    const WideText path = Joined(folder, L"\\", name);
    if (files.FileExists(path) && !files.DeletesAtRestart(path)) return true;
  }
  return false;
}

// Removes the folders between the install folder and the target's base
// ("Glyphary" of the per-user folder) that are left empty; one that holds
// anything stays.
void RemoveEmptyParents(platform::FileSystem& files, const InstallTarget& target) {
  std::wstring_view folder = SplitLast(target.folder).first;
  while (folder.size() > target.base.size()) {
    bool removed = false;
    if (files.RemoveEmptyFolder(folder, removed) || !removed) return;
    folder = SplitLast(folder).first;
  }
}

// Deletes one file of ours. One in use goes when Windows next starts; the
// running uninstaller is first moved out of the folder (a running program's
// file can be moved, not deleted), so that the folder can go now.
Error RemoveFile(platform::FileSystem& files, std::wstring_view path, std::wstring_view program,
                 UninstallReport& report) {
  if (!files.FileExists(path)) return Error();
  if (SameName(path, program)) {
    WideText temp;
    if (!files.TempFolder(temp)) {
      const WideText aside = Joined(temp, L"\\GlypharyInstaller-uninstalled.exe");
      if (!files.MoveFile(path, aside)) {
        // Out of our folder; the temporary folder's copy goes at the restart.
        (void)files.DeleteAtRestart(aside);
        ++report.files_removed;
        return Error();
      }
    }
  } else if (!files.DeleteFile(path)) {
    ++report.files_removed;
    return Error();
  }
  // Held open: removed at the restart.
  if (Error error = files.DeleteAtRestart(path)) return error;
  ++report.files_at_restart;
  return Error();
}

}  // namespace

Installed FindInstallation(const platform::Platform& platform, const InstallTarget& target) {
  if (RecordComplete(platform.registry, target)) return Installed::kRecorded;
  WideText package;
  if (target.scope == Scope::kMachine && PackageInstalled(platform.registry, package)) {
    return Installed::kByPackage;
  }
  if (AnyFileOfOursStays(platform.files, target.folder) ||
      AnyRegistrationOfOurs(platform.registry, target)) {
    return Installed::kUnrecorded;
  }
  return Installed::kNothing;
}

Error RunUninstallation(const platform::Platform& platform, const InstallTarget& target,
                        UninstallReport& report) {
  report = UninstallReport();
  InstallLock lock(platform.system);
  if (!lock.held()) return InstallInProgress();
  switch (FindInstallation(platform, target)) {
    case Installed::kNothing: return Error();
    case Installed::kByPackage: {
      WideText package;
      (void)PackageInstalled(platform.registry, package);
      return PackageOwnsInstallation(package);
    }
    case Installed::kRecorded:
    case Installed::kUnrecorded: break;
  }

  Error first;
  auto keep = [&first](Error error) {
    if (error && !first) first = error;
  };
  InstallRecord record;
  bool recorded = false;
  keep(ReadRecord(platform.registry, target, record, recorded));
  if (!recorded) {
    // An installation cut short before its record, or made by an earlier
    // build, put only the table's icons and the uninstaller there.
    for (const WideText& name : UnrecordedFiles()) record.files.names.Add(name);
  }
  keep(UnregisterFileTypes(platform.registry, target, record.replaced, report.registry));

  platform::FileSystem& files = platform.files;
  if (files.FolderExists(target.folder)) {
    WideText program;
    keep(files.ProgramFile(program));
    record.files.names.ForEach([&](std::wstring_view name) {
      keep(RemoveFile(files, Joined(target.folder, L"\\", name), program, report));
    });
    Error removing = files.RemoveEmptyFolder(target.folder, report.folder_removed);
    keep(removing);
    if (report.folder_removed) RemoveEmptyParents(files, target);
    if (!removing && !report.folder_removed) {
      platform::FileList left;
      keep(files.ListFiles(Joined(target.folder, L"\\*"), left));
      // Only files of ours waiting for the restart: the folder goes after them.
      bool only_ours = true;
      left.names.ForEach([&](std::wstring_view name) { only_ours &= record.files.names.Contains(name); });
      if (only_ours) {
        keep(files.DeleteAtRestart(target.folder));
      } else {
        report.folder_kept = true;
      }
    }
  }
  // Gone from Apps & Features: what is left is removed at the restart.
  keep(DeleteRecord(platform.registry, target));
  if (report.AnythingRemoved() || report.registry.values_restored > 0) {
    platform.system.NotifyAssociationsChanged();
  }
  return first;
}

}  // namespace glyphary::engine
