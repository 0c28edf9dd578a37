// What the program asks of Windows beyond files and the registry, as
// operations: the Windows family, the shutdown privilege, the restart, and
// telling the shell that file types changed. None of them reports a failure:
// a refused privilege or restart leaves things as they were.
#pragma once

namespace glyphary::platform {

class System {
 public:
  virtual ~System() = default;

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
