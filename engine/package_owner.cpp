#include "engine/package_owner.h"

#include "base/decimal.h"
#include "base/path_text.h"

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
  const WideText mark = PackageValue(platform.registry, kPackageInstallingValue);
  if (mark.empty()) return PackageState::kNone;
  const std::size_t space = mark.view().find(L' ');
  product_code = WideText(Head(mark.view(), space));
  // Windows Installer runs one installation's script at a time, holding
  // its mutex meanwhile; Wine's makes none, so the process the mark names is
  // asked too.
  const bool runs = MarkedProcessRuns(platform.system, mark) || platform.system.WindowsInstallerRunning();
  return runs ? PackageState::kInstalling : PackageState::kCutShort;
}

bool MarkedProcessRuns(platform::System& system, std::wstring_view mark) {
  // "<product> <id> <start>": the two numbers in decimal.
  const std::wstring_view numbers = After(mark, mark.find(L' '));
  const std::size_t space = numbers.find(L' ');
  std::uint64_t id = 0, start = 0;
  if (space == std::wstring_view::npos || !ParseDecimal(Head(numbers, space), 0xFFFFFFFFull, id) ||
      !ParseDecimal(After(numbers, space), ~0ull, start)) {
    return false;
  }
  return system.ProcessRunning(static_cast<std::uint32_t>(id), start);
}

WideText PackageFoundNote(PackageState state, std::wstring_view product_code) {
  switch (state) {
    case PackageState::kInstalling:
      return Joined(L"refused: the Windows Installer package ", product_code, L" is being installed");
    case PackageState::kCutShort:
      return Joined(L"refused: an installation of the Windows Installer package ", product_code,
                    L" was cut short and never finished or taken back");
    case PackageState::kInstalled:
      return Joined(L"found: installed by the Windows Installer package ", product_code);
    case PackageState::kNone: break;
  }
  return WideText(L"found: no Windows Installer package");
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
                       L"), which installs the TI-89 file types for every account. Run this "
                       L"program again when it has finished."));
  }
  return busy;
}

Error PackageCutShort(std::wstring_view product_code) {
  Error cut(exit_codes::kPackageInstalled, L"The package's installation was cut short");
  cut.Advise(Joined(L"An installation of the package GlypharyInstaller.msi (", product_code,
                    L") stopped before it finished, and Windows Installer did not take it back. Nothing "
                    L"was changed. Install the package again to finish it (msiexec /i "
                    L"GlypharyInstaller.msi); to remove it then, use Settings > Apps or msiexec /x ",
                    product_code, L". After that, this program can install."));
  return cut;
}

}  // namespace glyphary::engine
