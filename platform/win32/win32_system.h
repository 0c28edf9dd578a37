// The lock, Windows Installer's answers, the rights, the elevated run, the
// Windows family, the shutdown privilege, the restart and the shell
// notification on kernel32, advapi32, user32 and (loaded when needed) msi
// and shell32.
#pragma once

#include "platform/system.h"

namespace glyphary::platform {

// The machine-wide name of the installation lock: in the Global namespace,
// so that runs in other sessions (a deployment's system account, another
// user, the package's custom action) see it.
constexpr wchar_t kInstallLockName[] = L"Global\\GlypharyInstaller.Installation";

class Win32System : public System {
 public:
  Win32System() = default;
  ~Win32System() override;
  Win32System(const Win32System&) = delete;
  Win32System& operator=(const Win32System&) = delete;

  bool TakeInstallLock() override;
  void ReleaseInstallLock() override;
  // msi.dll (from System32) and a first MsiEnumRelatedProductsW on a
  // thread of its own; joined by FinishPackageQuery, which the questions
  // below and the destructor call, so that the thread never outlives this
  // object.
  void StartPackageQuery(std::wstring_view upgrade_code) override;
  void FinishPackageQuery() override;
  // MsiEnumRelatedProductsW and MsiQueryProductStateW
  // (INSTALLSTATE_DEFAULT), msi.dll loaded when first needed.
  bool InstalledPackage(std::wstring_view upgrade_code, WideText& product_code) override;
  bool ProductInstalled(std::wstring_view product_code) override;
  // Windows Installer's Global\_MSIExecute mutex exists while it runs an
  // installation's script.
  bool WindowsInstallerRunning() override;
  // The lock's mutex can be opened, or exists and cannot be opened.
  bool InstallLockTaken() override;
  // OpenProcess and the process's creation time; a process that exists and
  // may not be asked runs.
  bool ProcessRunning(std::uint32_t id, std::uint64_t started) override;
  WideText ProgramVersion() override;
  Rights CurrentRights() override;
  Error RunElevated(std::wstring_view arguments, int& exit_code) override;
  void EnableShutdownPrivilege() override;
  void RequestRestart() override;
  void NotifyAssociationsChanged() override;

 private:
  friend struct PackageQueryThread;
  // Loads msi.dll and finds its two functions, once (null where missing).
  void LoadWindowsInstaller();

  void* lock_ = nullptr;  // the mutex, while this program holds it
  void* query_thread_ = nullptr;  // StartPackageQuery's thread, until joined
  WideText query_code_;           // the upgrade code that thread asks about
  // Written by the thread, read only once it is joined.
  bool msi_looked_for_ = false;
  void (*enum_related_)() = nullptr;  // MsiEnumRelatedProductsW
  void (*query_state_)() = nullptr;   // MsiQueryProductStateW
};

}  // namespace glyphary::platform
