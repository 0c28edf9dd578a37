// The uninstallation: takes away what the installation put there and
// nothing that belongs to someone else, and puts back what it replaced.
#pragma once

#include "base/error.h"
#include "engine/file_types.h"
#include "engine/product.h"
#include "platform/platform.h"

namespace glyphary::engine {

// What is there to uninstall.
enum class Installed {
  kNothing,     // no record, no install folder, no registration of ours
  kRecorded,    // a complete record
  kUnrecorded,  // pieces without a record: an installation cut short, or one an earlier build made
  kByPackage,   // for every account, by the Windows Installer package: not the exe's to remove
};
Installed FindInstallation(const platform::Platform& platform, const InstallTarget& target);

// What an uninstallation found and did, for the message that tells the user.
struct UninstallReport {
  UnregisterReport registry;
  int files_removed = 0;        // files of ours deleted from the install folder
  int files_at_restart = 0;     // files of ours in use, deleted when Windows next starts
  bool folder_removed = false;  // the install folder itself
  bool folder_kept = false;     // it holds files that are not ours
  bool AnythingRemoved() const {
    return registry.types_removed > 0 || files_removed > 0 || files_at_restart > 0 ||
           folder_removed;
  }
  bool RestartNeeded() const { return files_at_restart > 0; }
};

// Uninstalls the installation for `target`, holding the installation lock
// (1618 when another run holds it, with nothing changed): the file types'
// registrations (see
// UnregisterFileTypes, with the values the record says the installation
// replaced), the files the record names (without a record: the icons of
// the file-type table and the uninstaller), the folder when it is then
// empty (with the empty folders above it, up to the target's base), and
// the record.
// A file held open by another program, the running uninstaller among them,
// is deleted when Windows next starts (RestartNeeded). Each step is tried
// whatever the others did; the first failure is returned (its number and
// the key or file concerned) with the rest removed. Tells the shell when
// anything was removed. Without an installation: no error, an empty report.
// An installation by the Windows Installer package is refused (1638, see
// PackageOwnsInstallation), with nothing changed.
[[nodiscard]] Error RunUninstallation(const platform::Platform& platform, const InstallTarget& target,
                                      UninstallReport& report);

}  // namespace glyphary::engine
