// The lock, the rights, the elevated run, the Windows family, the shutdown
// privilege, the restart and the shell notification on kernel32, advapi32,
// user32 and (loaded when needed) shell32.
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
  // msi.dll, loaded when first asked: MsiEnumRelatedProductsW and
  // MsiQueryProductStateW (INSTALLSTATE_DEFAULT).
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
  void* lock_ = nullptr;  // the mutex, while this program holds it
};

}  // namespace glyphary::platform
