// The Windows family, the shutdown privilege, the restart and the shell
// notification on kernel32, advapi32, user32 and (loaded when needed)
// shell32.
#pragma once

#include "platform/system.h"

namespace glyphary::platform {

class Win32System : public System {
 public:
  bool IsNtFamily() override;
  void EnableShutdownPrivilege() override;
  void RequestRestart() override;
  void NotifyAssociationsChanged() override;
};

}  // namespace glyphary::platform
