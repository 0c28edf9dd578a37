#include "engine/uninstallation.h"

#include "engine/product.h"

namespace glyphary::engine {

Error RunUninstallation(const platform::Platform& platform, UninstallReport& report) {
  report = UninstallReport();
  const InstallTarget& target = kMachineTarget;
  Error first = UnregisterFileTypes(platform.registry, target, report.registry);
  auto keep = [&first](Error error) {
    if (error && !first) first = error;
  };

  platform::FileSystem& files = platform.files;
  if (files.FolderExists(target.folder)) {
    keep(files.DeleteFiles(Joined(target.folder, L"\\", kIconPattern), report.icons_removed));
    Error removing = files.RemoveEmptyFolder(target.folder, report.folder_removed);
    report.folder_kept = !removing && !report.folder_removed;
    keep(removing);
  }
  if (report.AnythingRemoved()) platform.system.NotifyAssociationsChanged();
  return first;
}

}  // namespace glyphary::engine
