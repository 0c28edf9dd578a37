// The uninstallation: takes away what an installation wrote and nothing that
// belongs to someone else. Reached only through the /uninstall switch.
#pragma once

#include "base/error.h"
#include "engine/file_types.h"
#include "platform/platform.h"

namespace glyphary::engine {

// What an uninstallation found and did, for the message that tells the user.
struct UninstallReport {
  UnregisterReport registry;
  int icons_removed = 0;        // .ico files deleted from the install folder
  bool folder_removed = false;  // the install folder itself
  bool folder_kept = false;     // it holds files that are not ours
  bool AnythingRemoved() const {
    return registry.types_removed > 0 || icons_removed > 0 || folder_removed;
  }
};

// Takes the file types' registrations away (see UnregisterFileTypes), then
// the .ico files of the install folder (read-only ones too), and the folder
// when it is then empty. Each step is tried whatever the others did; the
// first failure is returned (its number and the key or file concerned) with
// the rest removed. Tells the shell when anything was removed. A machine
// without the installation gives no error and an empty report.
[[nodiscard]] Error RunUninstallation(const platform::Platform& platform, UninstallReport& report);

}  // namespace glyphary::engine
