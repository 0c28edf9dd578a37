// The installer as a double-click shows it: backdrop, agreement, progress,
// finish.
#pragma once

#include "engine/product.h"
#include "platform/platform.h"
#include "windows/ui.h"

namespace glyphary::app {

// Runs the windows until the last one is gone, installing for `target` on
// "Accept"; returns the exit code.
int RunInstallerWindows(const platform::Platform& platform, const engine::InstallTarget& target,
                        windows::Ui& ui);

}  // namespace glyphary::app
