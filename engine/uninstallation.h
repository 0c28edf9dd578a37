// The uninstallation: takes away what the installation put there and
// nothing that belongs to someone else, and puts back what it replaced.
// The same removal takes back an installation that failed or was cut short.
#pragma once

#include "base/error.h"
#include "base/name_list.h"
#include "engine/file_types.h"
#include "engine/lock.h"
#include "engine/product.h"
#include "engine/record.h"
#include "platform/platform.h"

namespace glyphary::engine {

// What is there to uninstall.
enum class Installed {
  kNothing,     // no record and no registration of ours
  kRecorded,    // a complete record
  kUnfinished,  // a record of an installation or removal that did not finish
  kUnrecorded,  // registrations of ours without a record: made by an earlier build
  kByPackage,   // for every account, by the Windows Installer package: not the exe's to remove
};
Installed FindInstallation(const platform::Platform& platform, const InstallTarget& target);

// What an uninstallation found and did, for the message that tells the user.
struct UninstallReport {
  UnregisterReport registry;
  int files_removed = 0;        // files of ours deleted from the install folder
  int files_at_restart = 0;     // files of ours in use, deleted when Windows next starts
  int files_restored = 0;       // files the installation had moved aside, put back
  int files_restored_at_restart = 0;  // of those, put back when Windows next starts (ours held open)
  bool folder_removed = false;  // the install folder itself
  bool folder_kept = false;     // it holds files that are not ours
  NameList ignored;             // entries of the record that were not acted on (see record.h)
  NameList left;                // what could not be removed: files, folders, keys
  bool AnythingRemoved() const {
    return registry.types_removed > 0 || files_removed > 0 || files_at_restart > 0 ||
           folder_removed || files_restored > 0 || registry.values_restored > 0;
  }
  bool RestartNeeded() const { return files_at_restart > 0; }
};

// What a removal does with a file another program holds open: leaves it to
// the restart (an uninstallation, 3010), or reports it and keeps it in the
// record (taking back a failed installation, which is retried at once).
enum class FilesInUse { kLeaveToRestart, kReport };

// Removes the installation `record` describes (without one, `record.exists`
// false: the table's icons and the uninstaller), with its lock held by the
// caller: the record marked Removing first, the registrations taken away
// and the replaced values put back (UnregisterFileTypes), the files of
// ours deleted and the ones moved aside put back, the folder removed when
// it is then empty (with the empty folders above it, up to the target's
// base), and the record last, only when everything else is gone. A step
// that fails does not stop the others; the record then stays, naming what
// is left, for the next run to finish, and the first failure is returned
// (its paths, and the others', in `report.left`). A file held open by
// another program is deleted when Windows next starts (RestartNeeded), or
// reported (`in_use`); one whose namesake of someone else's waits aside
// is deleted then too, and theirs moved back after it, the record kept
// (Removing) naming it. Where the account may not ask the restart for that
// (the list is the machine's), the file is reported, the uninstaller stays
// and the entry shows in Apps & Features again, to run it again from there.
// The running uninstaller, known by its file however it was started, is
// moved out of the folder so that the folder can go now (into the
// temporary folder, or a hidden folder beside the install folder where that
// is on another volume). The program's current folder is moved out of the
// install folder first.
[[nodiscard]] Error RemoveInstallation(const platform::Platform& platform, const InstallTarget& target,
                                       const InstallRecord& record, FilesInUse in_use,
                                       UninstallReport& report);

// Uninstalls the installation for `target` (recorded, unfinished or
// unrecorded), holding the installation lock (1618 when another run holds
// it, with nothing changed). Tells the shell when anything was removed.
// Without an installation: no error, an empty report. An installation by
// the Windows Installer package is refused (1638, see
// PackageOwnsInstallation), with nothing changed.
[[nodiscard]] Error RunUninstallation(const platform::Platform& platform, const InstallTarget& target,
                                      UninstallReport& report);

// What every installation and uninstallation run does first, with `lock`
// taken for it: deletes the uninstallers earlier runs moved beside the
// install folder (see RemoveInstallation); says in the log `what` it is about to do `where` ("into",
// "from") the target's folder, and
// refuses (1618) while another run holds the lock or, for every account,
// while Windows Installer runs an installation; then makes the target's
// classes root the one its registrations live in (UseTargetClasses).
[[nodiscard]] Error BeginRun(const platform::Platform& platform, const InstallTarget& target,
                             const InstallLock& lock, std::wstring_view what, std::wstring_view where);

// Makes the target's classes root the one its registrations live in: for
// every account, the machine's own classes (see
// Registry::UseMachineClasses).
[[nodiscard]] Error UseTargetClasses(platform::Registry& registry, const InstallTarget& target);

}  // namespace glyphary::engine
