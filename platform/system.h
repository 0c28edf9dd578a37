// What the program asks of Windows beyond files and the registry, as
// operations: the installation lock, Windows Installer's answers about the
// package, the program's version and rights, a run of the program with
// administrator rights, the shutdown privilege, the
// restart, and telling the shell that file types changed. Only the elevated
// run reports a failure: a refused privilege or restart leaves things as
// they were.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/error.h"
#include "base/text.h"

namespace glyphary::platform {

class System {
 public:
  virtual ~System() = default;

  // Takes the machine-wide lock that lets one installation or
  // uninstallation change things at a time, until it is released or this
  // program ends. False when another program holds it.
  virtual bool TakeInstallLock() = 0;
  virtual void ReleaseInstallLock() = 0;

  // Starts asking Windows Installer about the products of `upgrade_code`
  // on a thread of its own: loading Windows Installer's library takes
  // longer than an unattended run's own work (under Wine), and the run
  // goes on meanwhile. The two questions below, when asked, wait for it
  // and then ask Windows Installer again, which is quick once the library
  // is in: each answer is as of the moment it is asked. Asked without a
  // start, they load the library themselves. A second start does nothing.
  virtual void StartPackageQuery(std::wstring_view upgrade_code) = 0;
  // Waits for what StartPackageQuery started, if it still goes on: a
  // program that ends at once (ExitProcess) calls this first, so that no
  // thread of it is cut off inside Windows Installer.
  virtual void FinishPackageQuery() = 0;
  // Whether Windows Installer has a product of `upgrade_code` installed, as
  // Windows Installer itself answers (its related products and their
  // state); the first one's product code ("{...}") into `product_code`.
  virtual bool InstalledPackage(std::wstring_view upgrade_code, WideText& product_code) = 0;
  // Whether Windows Installer has the product `product_code` installed.
  virtual bool ProductInstalled(std::wstring_view product_code) = 0;
  // Whether Windows Installer is running an installation now (any product).
  virtual bool WindowsInstallerRunning() = 0;
  // Whether a run of the program (in any account or session) holds the
  // installation lock now; one that cannot be asked counts as held.
  virtual bool InstallLockTaken() = 0;
  // Whether the process `id` that started at `started` (its creation time,
  // as Windows gives it) still runs: the same id with another start is
  // another process.
  virtual bool ProcessRunning(std::uint32_t id, std::uint64_t started) = 0;

  // The version of this program, from its version resource ("1.0.0.0").
  virtual WideText ProgramVersion() = 0;

  // What this program may do: change the machine (an administrator, or
  // Windows without accounts' rights), become able to after the UAC prompt
  // (an administrator's account running without its rights), or neither (a
  // standard account).
  enum class Rights { kAdministrator, kCanElevate, kStandard };
  virtual Rights CurrentRights() = 0;

  // Runs this program again with administrator rights and `arguments`,
  // after the UAC prompt, waits for it to end and gives its exit code. 1223
  // (cancelled) when the user refuses the prompt.
  [[nodiscard]] virtual Error RunElevated(std::wstring_view arguments, int& exit_code) = 0;

  // Enables SeShutdownPrivilege in this process's token.
  virtual void EnableShutdownPrivilege() = 0;
  // Asks Windows to restart.
  virtual void RequestRestart() = 0;
  // Tells the shell that file types and their icons changed, so that
  // Explorer shows them without a restart.
  virtual void NotifyAssociationsChanged() = 0;
};

}  // namespace glyphary::platform
