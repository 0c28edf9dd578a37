// What the program asks of Windows beyond files and the registry, as
// operations: the Windows family, the shutdown privilege, the restart, and
// telling the shell that file types changed. None of them reports a failure:
// a refused privilege or restart leaves things as they were.
#pragma once

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

  // The version of this program, from its version resource ("1.0.0.0").
  virtual WideText ProgramVersion() = 0;

  // Whether Windows belongs to the NT family (the one with process tokens).
  virtual bool IsNtFamily() = 0;
  // Enables SeShutdownPrivilege in this process's token.
  virtual void EnableShutdownPrivilege() = 0;
  // Asks Windows to restart.
  virtual void RequestRestart() = 0;
  // Tells the shell that file types and their icons changed, so that
  // Explorer shows them without a restart.
  virtual void NotifyAssociationsChanged() = 0;
};

}  // namespace glyphary::platform
