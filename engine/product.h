// The product's fixed names and places, each written once.
#pragma once

#include <string_view>

#include "base/error.h"
#include "base/text.h"
#include "engine/product_names.h"
#include "platform/file_system.h"
#include "platform/registry.h"

namespace glyphary::engine {

constexpr std::wstring_view kProductName = L"" GLYPHARY_PRODUCT_NAME;
constexpr std::wstring_view kPublisher = L"" GLYPHARY_PUBLISHER;
// The program's own file name; the installation keeps a copy of the program
// under it in the install folder, as its uninstaller.
constexpr std::wstring_view kExeName = L"" GLYPHARY_EXE_NAME;
// The upgrade code of the Windows Installer package, GlypharyInstaller.msi.
constexpr std::wstring_view kUpgradeCode = L"{" GLYPHARY_UPGRADE_CODE "}";
// The package's own key below HKEY_LOCAL_MACHINE: ProductCode names the
// installed product; Installing, the product whose transaction is on (its
// custom action marks it before the package writes anything, and takes the
// mark away at the end or on rollback); the sub-key ReplacedValues holds
// what the package's values replaced, exactly, until its uninstall puts it
// back.
constexpr std::wstring_view kPackageKey = L"Software\\" GLYPHARY_PUBLISHER "\\GlypharyInstaller.msi";
constexpr std::wstring_view kPackageProductValue = L"ProductCode";
constexpr std::wstring_view kPackageInstallingValue = L"Installing";

// The installation's record in Apps & Features, below the target's record
// root; its key name is the one Settings and uninstall tools use.
constexpr std::wstring_view kRecordKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\GlypharyInstaller";


// The machine-wide install folder; Windows is taken to live in C:\WINDOWS.
constexpr std::wstring_view kInstallFolder = L"C:\\WINDOWS\\system32\\TI-89";
// The system folder it lies in.
constexpr std::wstring_view kSystemFolder = kInstallFolder.substr(0, kInstallFolder.rfind(L'\\'));

// The icons ship in this folder beside the program; every file in it that
// matches the pattern is installed.
constexpr std::wstring_view kIconsFolderName = L"Icons";
constexpr std::wstring_view kIconPattern = L"*.ico";

// The folder inside the install folder where a file that stood where the
// installation puts one of its own waits, moved there whole, until the
// uninstallation puts it back.
constexpr std::wstring_view kSetAsideFolderName = L"Replaced by Glyphary Installer";
// Where a newer build stages its copy of an icon whose older copy it
// replaces, in the same folder (so on the same volume), until the move.
constexpr std::wstring_view kStagingFolderName = L"Update by Glyphary Installer";

// For whom an installation is: every account of the machine (administrator
// rights needed) or the current account alone (/user).
enum class Scope { kMachine, kUser };

// Where an installation puts its icons, its file types and its record.
struct InstallTarget {
  Scope scope;
  std::wstring_view base;               // an existing folder the install folder is made in
  std::wstring_view folder;             // the icons' folder, named by each DefaultIcon
  platform::RegistryRoot classes_root;  // the root the file types are registered under
  std::wstring_view classes_path;       // the path below it: "" for HKEY_CLASSES_ROOT
  platform::RegistryRoot record_root;   // the root of the record's kRecordKey
};

constexpr InstallTarget kMachineTarget{Scope::kMachine, kSystemFolder, kInstallFolder,
                                       platform::RegistryRoot::kClassesRoot, L"",
                                       platform::RegistryRoot::kLocalMachine};

// The per-user install folder below the account's local application data
// folder, and the key below HKEY_CURRENT_USER whose file types the shell
// merges over the machine's.
constexpr std::wstring_view kUserFolderBelowAppData = L"Glyphary\\TI-89";
constexpr std::wstring_view kUserClassesPath = L"Software\\Classes";

// The per-user installation's target, with the folders it names.
class UserTarget {
 public:
  UserTarget() = default;
  UserTarget(const UserTarget&) = delete;  // the target views the folders held here
  UserTarget& operator=(const UserTarget&) = delete;

  // Finds the account's local application data folder.
  [[nodiscard]] Error Find(platform::FileSystem& files);
  const InstallTarget& target() const { return target_; }

 private:
  WideText base_;
  WideText folder_;
  InstallTarget target_{Scope::kUser, L"", L"", platform::RegistryRoot::kCurrentUser,
                        kUserClassesPath, platform::RegistryRoot::kCurrentUser};
};

// --- The install folder 32-bit programs reach -----------------------------
// On 64-bit Windows a 32-bit program that names the system folder reaches
// the WOW64 one (C:\Windows\SysWOW64) instead, so the icons the 48 values
// name in C:\WINDOWS\system32\TI-89 are also put in the folder of the same
// name there, and the 32-bit programs' Open and Save dialogs show them too.
// Only the machine-wide installation has it: the per-user folder below
// %LOCALAPPDATA% is the same folder for every program.
class Wow64Folder {
 public:
  Wow64Folder() = default;
  Wow64Folder(const Wow64Folder&) = delete;  // the views point into the texts held here
  Wow64Folder& operator=(const Wow64Folder&) = delete;

  // Finds the twin of `target`'s install folder: the folder of the same
  // name in the WOW64 system folder. None for the per-user target, on
  // 32-bit Windows, or where that system folder is missing (Windows
  // without its 32-bit half runs no 32-bit program).
  void Find(platform::FileSystem& files, const InstallTarget& target);
  bool exists() const { return !folder_.empty(); }
  std::wstring_view base() const { return base_; }      // the WOW64 system folder
  std::wstring_view folder() const { return folder_; }  // the install folder's twin in it

 private:
  WideText base_;
  WideText folder_;
};

}  // namespace glyphary::engine
