// Every exit code of the program in one place. A failed run exits with its
// Error's number: the run-time error numbers of error.h (53, 58, 70, 75,
// 76, ...), or one of the Windows codes below, which deployment systems
// know by their Win32 names.
#pragma once

namespace glyphary::exit_codes {

constexpr int kSuccess = 0;
// The uninstallation found entries in its record that are no data it may
// act on (a file outside the install folder, a registry value that is not
// one of its 48 places): they were left alone, everything else removed.
constexpr int kRecordEntriesIgnored = 13;   // ERROR_INVALID_DATA
constexpr int kBadArgument = 87;            // ERROR_INVALID_PARAMETER
constexpr int kElevationRequired = 740;     // ERROR_ELEVATION_REQUIRED
constexpr int kCancelled = 1223;            // ERROR_CANCELLED
constexpr int kInstallInProgress = 1618;    // ERROR_INSTALL_ALREADY_RUNNING
// The uninstallation refuses an installation made by the Windows Installer
// package: another form of this product is installed, removed through Apps
// & Features.
constexpr int kPackageInstalled = 1638;     // ERROR_PRODUCT_VERSION
// The installation refuses to go back over a newer version's: another
// version of the product is installed.
constexpr int kNewerVersionInstalled = 1638;  // ERROR_PRODUCT_VERSION
constexpr int kRestartRequired = 3010;      // ERROR_SUCCESS_REBOOT_REQUIRED

}  // namespace glyphary::exit_codes
