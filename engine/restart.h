// The restart the finish window offers, so that the shell shows the new
// icons: on the NT family the shutdown privilege first, then the request.
// Nothing is reported: a refused privilege or restart leaves things as they
// were, and the user can press "Finish" again.
#pragma once

#include "platform/system.h"

namespace glyphary::engine {

// `nt_family` as the finish window noted it when it was made.
void RestartWindows(platform::System& system, bool nt_family);

}  // namespace glyphary::engine
