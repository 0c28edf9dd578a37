// The installer as a double-click shows it: backdrop, agreement, progress,
// finish.
#pragma once

#include "platform/platform.h"
#include "windows/ui.h"

namespace glyphary::app {

// Runs the windows until the last one is gone; returns the exit code.
int RunInstallerWindows(const platform::Platform& platform, windows::Ui& ui);

}  // namespace glyphary::app
