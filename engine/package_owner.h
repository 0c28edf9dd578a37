// The Windows Installer package installs the same file types for every
// account. One owner for the keys: where the package is installed, or is
// being installed, the exe's installation does nothing and its
// uninstallation refuses.
#pragma once

#include <string_view>

#include "base/error.h"
#include "base/text.h"
#include "platform/platform.h"

namespace glyphary::engine {

// What Windows Installer has of the package GlypharyInstaller.msi: nothing,
// an installation, one going on now, or one whose process ended before it
// finished or was taken back (killed, or failed with rollback disabled).
enum class PackageState { kNone, kInstalled, kInstalling, kCutShort };

// The package's state, as Windows Installer answers it: installed when a
// product of the package's upgrade code is installed, or the product the
// package's own key names (kPackageKey's ProductCode, which stays when
// Windows Installer's list of related products has lost it) is; installing
// while the package's own custom action has marked its transaction there
// (Installing: the product, the process that runs the transaction and its
// start, before the package writes anything) and that process still runs;
// cut short when the mark is there, its process is gone and Windows
// Installer runs no installation. `product_code` is that product's.
PackageState FindPackage(const platform::Platform& platform, WideText& product_code);

// The mark of a package transaction: "<product code> <process id> <start>",
// the process that ran the transaction's custom actions. Whether that
// process still runs (false for a mark that names none).
bool MarkedProcessRuns(platform::System& system, std::wstring_view mark);

// What a run for every account logs when the package stands in its way.
WideText PackageFoundNote(PackageState state, std::wstring_view product_code);

// The uninstallation's refusal where the package owns the installation:
// 1638, with the way to remove it (Apps & Features, msiexec /x).
Error PackageOwnsInstallation(std::wstring_view product_code);

// The refusal of a run that finds Windows Installer at work: the package
// being installed (`product_code`), or any installation ("" when it is not
// known which): 1618, another installation in progress.
Error WindowsInstallerBusy(std::wstring_view product_code);

// The refusal of a run that finds a transaction of the package cut short:
// 1638, with the safe way out (the package installed again by Windows
// Installer, which finishes it, then removed by it if it is not wanted).
Error PackageCutShort(std::wstring_view product_code);

}  // namespace glyphary::engine
