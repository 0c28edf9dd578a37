// The restart the finish window offers, so that the shell shows the new
// icons: the shutdown privilege first, then the request.
// Nothing is reported: a refused privilege or restart leaves things as they
// were, and the user can press "Finish" again.
#pragma once

#include "platform/system.h"

namespace glyphary::engine {

void RestartWindows(platform::System& system);

}  // namespace glyphary::engine
