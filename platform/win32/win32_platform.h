// Puts the real Win32 implementations behind every platform seam.
#pragma once

namespace glyphary::platform {

// Installs the Win32 registry, file system, ANSI conversion and the version,
// token and restart functions for the rest of the program's life. Call once,
// at start-up.
void InstallWin32Platform();

}  // namespace glyphary::platform
