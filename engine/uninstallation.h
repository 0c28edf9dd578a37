// The uninstallation: takes away what an installation wrote and nothing that
// belongs to someone else. Reached only through the /uninstall switch.
#pragma once

#include "base/error.h"

namespace glyphary::engine {

// What an uninstallation found and did, for the message that tells the user.
struct UninstallReport {
  int types_removed = 0;        // file types of which something of ours was removed
  int extensions_kept = 0;      // extensions another program has taken over since
  int type_keys_kept = 0;       // type keys kept for values someone else added
  int icons_removed = 0;        // .ico files deleted from the install folder
  bool folder_removed = false;  // the install folder itself
  bool folder_kept = false;     // it holds files that are not ours
  bool AnythingRemoved() const { return types_removed > 0 || icons_removed > 0 || folder_removed; }
};

// For each of the twelve file types: the DefaultIcon value of the type key
// Ivex.89x and that key when it is then empty, the BrowserFlags and
// EditFlags values and the type key when it is then empty; the extension
// key's default value only while it still names our type, and the extension
// key when it is then empty. Then the .ico files of the install folder
// (read-only ones too), and the folder when it is then empty. Each step is
// tried whatever the others did; the first failure is returned (its number
// and the key or file concerned) with the rest removed. Tells the shell when
// anything was removed. Missing pieces are no failure: a machine without
// the installation gives no error and an empty report.
[[nodiscard]] Error RunUninstallation(UninstallReport& report);

// Tells the shell that file associations changed (nothing when the system
// facility is not there).
void NotifyShell();

}  // namespace glyphary::engine
