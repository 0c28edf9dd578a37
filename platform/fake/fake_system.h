// A stand-in for the Windows family, the privilege, the restart and the
// shell notification: a settable family, and the operations in the order
// they were asked for.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/system.h"

namespace glyphary::platform {

class FakeSystem : public System {
 public:
  bool TakeInstallLock() override {
    if (lock_held_elsewhere_) return false;
    operations_.push_back("TakeInstallLock");
    lock_held_ = true;
    return true;
  }
  void ReleaseInstallLock() override {
    operations_.push_back("ReleaseInstallLock");
    lock_held_ = false;
  }
  // Noted (PackageQueryStarted); the answers stay those of the moment
  // they are asked.
  void StartPackageQuery(std::wstring_view upgrade_code) override {
    query_started_ = std::wstring(upgrade_code);
  }
  void FinishPackageQuery() override {}
  // Each question noted in PackageAsks().
  bool InstalledPackage(std::wstring_view upgrade_code, WideText& product_code) override {
    package_asks_.push_back(lock_held_);
    if (package_.empty() || upgrade_code != package_upgrade_code_) return false;
    product_code = WideText(std::wstring_view(package_));
    return true;
  }
  bool ProductInstalled(std::wstring_view product_code) override {
    package_asks_.push_back(lock_held_);
    return !package_.empty() && product_code == package_;
  }
  bool WindowsInstallerRunning() override { return installer_running_; }
  bool InstallLockTaken() override { return lock_held_elsewhere_; }
  bool ProcessRunning(std::uint32_t id, std::uint64_t started) override {
    for (const auto& [running, start] : processes_) {
      if (running == id && start == started) return true;
    }
    return false;
  }
  WideText ProgramVersion() override { return WideText(std::wstring_view(version_)); }
  Rights CurrentRights() override { return rights_; }
  // Recorded as "RunElevated <arguments>"; the UAC prompt accepted gives the
  // exit code SetElevatedRun set, refused gives 1223.
  Error RunElevated(std::wstring_view arguments, int& exit_code) override;
  void EnableShutdownPrivilege() override { operations_.push_back("EnableShutdownPrivilege"); }
  void RequestRestart() override { operations_.push_back("RequestRestart"); }
  void NotifyAssociationsChanged() override { operations_.push_back("NotifyAssociationsChanged"); }

  void SetRights(Rights rights) { rights_ = rights; }
  // The build this stand-in runs as: its file version, "1.0.0.0" unless set.
  void SetProgramVersion(std::wstring version) { version_ = std::move(version); }
  // What the UAC prompt meets: accepted, the elevated run ends with
  // `exit_code`; refused, the run never starts.
  void SetElevatedRun(bool accepted, int exit_code) {
    elevation_accepted_ = accepted;
    elevated_exit_code_ = exit_code;
  }
  // Another program holds the installation lock.
  void HoldLockElsewhere(bool held) { lock_held_elsewhere_ = held; }
  // Windows Installer has `product_code` of `upgrade_code` installed ("":
  // none), or is running an installation.
  void SetPackage(std::wstring upgrade_code, std::wstring product_code) {
    package_upgrade_code_ = std::move(upgrade_code);
    package_ = std::move(product_code);
  }
  void SetWindowsInstallerRunning(bool running) { installer_running_ = running; }
  // The process `id`, started at `started`, runs (or, `running` false, has ended).
  void SetProcess(std::uint32_t id, std::uint64_t started, bool running) {
    const std::pair<std::uint32_t, std::uint64_t> process{id, started};
    processes_.erase(std::remove(processes_.begin(), processes_.end(), process), processes_.end());
    if (running) processes_.emplace_back(id, started);
  }
  const std::vector<std::string>& Operations() const { return operations_; }
  // For each question to Windows Installer about a package, in order,
  // whether this program held the installation lock as it was asked.
  const std::vector<bool>& PackageAsks() const { return package_asks_; }
  // The upgrade code StartPackageQuery was last given ("" never).
  const std::wstring& PackageQueryStarted() const { return query_started_; }
  int Count(const std::string& operation) const;

 private:
  Rights rights_ = Rights::kAdministrator;
  std::wstring version_ = L"1.0.0.0";
  bool elevation_accepted_ = true;
  int elevated_exit_code_ = 0;
  bool lock_held_elsewhere_ = false;
  std::wstring package_upgrade_code_;
  std::wstring package_;
  bool installer_running_ = false;
  std::vector<std::pair<std::uint32_t, std::uint64_t>> processes_;
  std::wstring query_started_;
  bool lock_held_ = false;
  std::vector<bool> package_asks_;
  std::vector<std::string> operations_;
};

}  // namespace glyphary::platform
