// The Windows Installer package's source: WiX XML, as msitools' wixl builds
// it, made from the same file-type table as the exe's installation, so that
// the package writes the same keys and values and a new row reaches both.
#pragma once

#include <string>
#include <vector>

#include "engine/product_names.h"

namespace glyphary::package {

struct PackageInputs {
  std::string version;                  // "1.0.0.0": the package's ProductVersion
  std::vector<std::string> icon_files;  // names of the icons to install ("89mat.ico")
  std::string icons_folder;             // where the build finds them
  std::string program_icon;             // the icon Apps & Features shows
  std::string actions_dll;              // the DLL of the custom actions
};

// The package's fixed upgrade code: every version of the package carries
// it, and a later one replaces an earlier (a major upgrade).
inline constexpr char kUpgradeCode[] = GLYPHARY_UPGRADE_CODE;

// A GUID that depends only on `text`: the same name gives the same code in
// every build, different names different codes.
std::string NameGuid(const std::string& text);

// The product code of one version: fixed for it, new for each version, as a
// major upgrade wants.
std::string ProductCode(const std::string& version);

// The statements (one a line, msibuild -q) that give each custom action the
// type kPackageActions says: wixl writes only plain immediate ones.
std::string ActionTypeUpdates();

// The WiX source of the package.
std::string MsiSource(const PackageInputs& inputs);

}  // namespace glyphary::package
