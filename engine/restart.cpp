#include "engine/restart.h"

namespace glyphary::engine {

void RestartWindows(platform::System& system) {
  system.EnableShutdownPrivilege();
  system.RequestRestart();
}

}  // namespace glyphary::engine
