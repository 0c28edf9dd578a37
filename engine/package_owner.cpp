#include "engine/package_owner.h"

#include "engine/product.h"

namespace glyphary::engine {

namespace {

// A text value of the package's own key ("" when it is missing).
WideText PackageValue(platform::Registry& registry, std::wstring_view name) {
  platform::RegistryValue value;
  bool found = false;
  if (registry.ReadValue(platform::RegistryRoot::kLocalMachine, kPackageKey, name, value, found) || !found) {
    return WideText();
  }
  return value.AsText();
}

}  // namespace

PackageState FindPackage(const platform::Platform& platform, WideText& product_code) {
  product_code = WideText();
  if (platform.system.InstalledPackage(kUpgradeCode, product_code)) return PackageState::kInstalled;
  const WideText named = PackageValue(platform.registry, kPackageProductValue);
  if (!named.empty() && platform.system.ProductInstalled(named)) {
    product_code = named;
    return PackageState::kInstalled;
  }
  product_code = PackageValue(platform.registry, kPackageInstallingValue);
  return product_code.empty() ? PackageState::kNone : PackageState::kInstalling;
}

Error PackageOwnsInstallation(std::wstring_view product_code) {
  Error owned(exit_codes::kPackageInstalled, L"Installed by the Windows Installer package");
  owned.Advise(Joined(L"The TI-89 file types were installed on this computer with the package "
                      L"GlypharyInstaller.msi. Remove them in Settings > Apps (Apps & Features), "
                      L"or with: msiexec /x ",
                      product_code));
  return owned;
}

Error WindowsInstallerBusy(std::wstring_view product_code) {
  Error busy(exit_codes::kInstallInProgress, L"Another installation is in progress");
  if (product_code.empty()) {
    busy.Advise(L"Windows Installer is installing or removing a program. Run this program again "
                L"when it has finished.");
  } else {
    busy.Advise(Joined(L"Windows Installer is installing the package GlypharyInstaller.msi (",
                       product_code,
                       L"), which installs the TI-89 file types for every account. Wait for it to "
                       L"finish; if no installation is running, its unfinished mark Installing in "
                       L"HKEY_LOCAL_MACHINE\\",
                       kPackageKey, L" can be deleted."));
  }
  return busy;
}

}  // namespace glyphary::engine
