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

// What Windows Installer has of the package GlypharyInstaller.msi.
enum class PackageState { kNone, kInstalled, kInstalling };

// The package's state, as Windows Installer answers it: installed when a
// product of the package's upgrade code is installed, or the product the
// package's own key names (kPackageKey's ProductCode, which stays when
// Windows Installer's list of related products has lost it) is; installing
// while the package's own custom action has marked its transaction there
// (Installing), before the package writes anything. `product_code` is that
// product's.
PackageState FindPackage(const platform::Platform& platform, WideText& product_code);

// The uninstallation's refusal where the package owns the installation:
// 1638, with the way to remove it (Apps & Features, msiexec /x).
Error PackageOwnsInstallation(std::wstring_view product_code);

// The refusal of a run that finds Windows Installer at work: the package
// being installed (`product_code`), or any installation ("" when it is not
// known which): 1618, another installation in progress.
Error WindowsInstallerBusy(std::wstring_view product_code);

}  // namespace glyphary::engine
