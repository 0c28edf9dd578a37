#include "engine/restart.h"

namespace glyphary::engine {

void RestartWindows(platform::System& system, bool nt_family) {
  if (nt_family) system.EnableShutdownPrivilege();
  system.RequestRestart();
}

}  // namespace glyphary::engine
