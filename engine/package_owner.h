// The Windows Installer package installs the same file types for every
// account. One owner for the keys: where the package is installed, the
// exe's installation does nothing and its uninstallation refuses.
#pragma once

#include <string_view>

#include "base/error.h"
#include "base/text.h"
#include "platform/registry.h"

namespace glyphary::engine {

// The code "ProductCode" is known by in Windows Installer's own registry
// keys: each part of the GUID written back to front, the last two parts a
// byte at a time ("{2C7E94B0-5A13-...}" -> "0B49E7C2..."). Empty for text
// that is no GUID.
WideText PackedGuid(std::wstring_view guid);

// Whether a version of the package is installed, as Windows Installer
// records it below HKEY_LOCAL_MACHINE\Software\Classes\Installer\UpgradeCodes;
// `product_code` ("{...}") is the installed version's.
bool PackageInstalled(platform::Registry& registry, WideText& product_code);

// The uninstallation's refusal where the package owns the installation:
// 1638, with the way to remove it (Apps & Features, msiexec /x).
Error PackageOwnsInstallation(std::wstring_view product_code);

}  // namespace glyphary::engine
