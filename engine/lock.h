// One installation or uninstallation at a time, machine-wide: held while a
// run changes anything.
#pragma once

#include "base/error.h"
#include "platform/system.h"

namespace glyphary::engine {

// Takes the lock for as long as it lives.
class InstallLock {
 public:
  explicit InstallLock(platform::System& system) : system_(system), held_(system.TakeInstallLock()) {}
  ~InstallLock() {
    if (held_) system_.ReleaseInstallLock();
  }
  InstallLock(const InstallLock&) = delete;
  InstallLock& operator=(const InstallLock&) = delete;

  // False when another run holds it.
  bool held() const { return held_; }

 private:
  platform::System& system_;
  bool held_;
};

// The failure of a run that found the lock held: 1618, which deployment
// systems know as "another installation is in progress".
Error InstallInProgress();

}  // namespace glyphary::engine
