// The installation's record in Apps & Features: what Settings shows and
// runs, and what the uninstallation needs to take away only what the
// installation put there. Its presence, complete, is what "installed" means.
#pragma once

#include "base/list.h"

#include "base/error.h"
#include "engine/file_types.h"
#include "engine/journal.h"
#include "engine/product.h"
#include "platform/platform.h"

namespace glyphary::engine {

struct InstallRecord {
  platform::FileList files;             // put into the install folder by the installation
  List<ReplacedValue> replaced;  // association values it replaced
};

// Writes the record below the target's record root: the entry Settings
// shows (name, version, publisher, icon, location, size, no Modify or Repair
// buttons, the uninstall command lines), the files and the replaced values.
// DisplayName, which makes the entry show, goes last: a record without it is
// not complete. What the writes create or change goes into `journal`.
[[nodiscard]] Error WriteRecord(const platform::Platform& platform, const InstallTarget& target,
                                const InstallRecord& record, Journal& journal);

// Whether a complete record is there.
bool RecordComplete(platform::Registry& registry, const InstallTarget& target);

// Reads the files and replaced values of the record; `found` false when
// there is no complete record.
[[nodiscard]] Error ReadRecord(platform::Registry& registry, const InstallTarget& target,
                               InstallRecord& record, bool& found);

// Deletes the record.
[[nodiscard]] Error DeleteRecord(platform::Registry& registry, const InstallTarget& target);

}  // namespace glyphary::engine
