// The roads of the command line that show no installer window: the
// unattended installation, the uninstallation and the usage.
#pragma once

#include "engine/command_line.h"
#include "platform/platform.h"

namespace glyphary::app {

// Carries out `options` (anything but the interactive road) and returns the
// program's exit code: 0 when done or when there was nothing to do, the
// run-time error number of a failure, 87 for an unknown switch, 1223 when
// the user declines the uninstallation. With options.silent nothing is
// shown; otherwise the usage, the uninstallation's question and its result
// appear in message boxes.
int RunCommand(const platform::Platform& platform, const engine::Options& options);

}  // namespace glyphary::app
