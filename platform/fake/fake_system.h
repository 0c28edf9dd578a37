// A stand-in for the Windows family, the privilege, the restart and the
// shell notification: a settable family, and the operations in the order
// they were asked for.
#pragma once

#include <string>
#include <vector>

#include "platform/system.h"

namespace glyphary::platform {

class FakeSystem : public System {
 public:
  bool TakeInstallLock() override {
    if (lock_held_elsewhere_) return false;
    operations_.push_back("TakeInstallLock");
    return true;
  }
  void ReleaseInstallLock() override { operations_.push_back("ReleaseInstallLock"); }
  WideText ProgramVersion() override { return WideText(L"1.0.0.0"); }
  bool IsNtFamily() override { return nt_family_; }
  void EnableShutdownPrivilege() override { operations_.push_back("EnableShutdownPrivilege"); }
  void RequestRestart() override { operations_.push_back("RequestRestart"); }
  void NotifyAssociationsChanged() override { operations_.push_back("NotifyAssociationsChanged"); }

  void SetNtFamily(bool nt_family) { nt_family_ = nt_family; }
  // Another program holds the installation lock.
  void HoldLockElsewhere(bool held) { lock_held_elsewhere_ = held; }
  const std::vector<std::string>& Operations() const { return operations_; }
  int Count(const std::string& operation) const;

 private:
  bool nt_family_ = true;
  bool lock_held_elsewhere_ = false;
  std::vector<std::string> operations_;
};

}  // namespace glyphary::platform
