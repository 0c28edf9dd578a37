// The uninstallation: takes away what the installation put there and
// nothing that belongs to someone else, and puts back what it replaced
// (Transaction::TakeBack).
#pragma once

#include "base/error.h"
#include "engine/product.h"
#include "engine/transaction/transaction.h"
#include "platform/platform.h"

namespace glyphary::engine {

// What is there to uninstall.
enum class Installed {
  kNothing,     // no record and no registration of ours
  kRecorded,    // a complete record
  kUnfinished,  // a record of an installation or removal that did not finish
  kUnrecorded,  // registrations of ours without a record: made by an earlier build
  kByPackage,   // for every account, by the Windows Installer package: not the exe's to remove
  kUnknown,     // what is there cannot be read: the machine's classes, or the record
};
Installed FindInstallation(const platform::Platform& platform, const InstallTarget& target);

// Uninstalls the installation for `target` (recorded, unfinished or
// unrecorded), holding the installation lock (1618 when another run holds
// it, with nothing changed). Tells the shell when anything was removed.
// Without an installation: no error, an empty report. An installation by
// the Windows Installer package is refused (1638, see
// PackageOwnsInstallation), with nothing changed.
[[nodiscard]] Error RunUninstallation(const platform::Platform& platform, const InstallTarget& target,
                                      UninstallReport& report);

}  // namespace glyphary::engine
