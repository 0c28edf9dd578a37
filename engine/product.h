// The product's fixed names and places, each written once.
#pragma once

#include <string_view>

#include "platform/registry.h"

namespace glyphary::engine {

constexpr std::wstring_view kProductName = L"Glyphary Installer";

// The machine-wide install folder; Windows is taken to live in C:\WINDOWS.
constexpr std::wstring_view kInstallFolder = L"C:\\WINDOWS\\system32\\TI-89";
// The system folder it lies in.
constexpr std::wstring_view kSystemFolder = kInstallFolder.substr(0, kInstallFolder.rfind(L'\\'));

// The icons ship in this folder beside the program; every file in it that
// matches the pattern is installed.
constexpr std::wstring_view kIconsFolderName = L"Icons";
constexpr std::wstring_view kIconPattern = L"*.ico";

// Where an installation puts its icons and its file types.
struct InstallTarget {
  std::wstring_view folder;            // the icons' folder, named by each DefaultIcon
  platform::RegistryRoot classes_root;  // the root the file types are registered under
  std::wstring_view classes_path;      // the path below it: "" for HKEY_CLASSES_ROOT
};

constexpr InstallTarget kMachineTarget{kInstallFolder, platform::RegistryRoot::kClassesRoot, L""};

}  // namespace glyphary::engine
