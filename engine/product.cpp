#include "engine/product.h"

#include <utility>

#include "base/path_text.h"

namespace glyphary::engine {

Error UserTarget::Find(platform::FileSystem& files) {
  if (Error error = files.LocalAppDataFolder(base_)) return error;
  folder_ = Joined(base_.view(), L"\\", kUserFolderBelowAppData);
  target_.base = base_.view();
  target_.folder = folder_.view();
  return Error();
}

void Wow64Folder::Find(platform::FileSystem& files, const InstallTarget& target) {
  base_.Clear();
  folder_.Clear();
  if (target.scope != Scope::kMachine) return;
  WideText base;
  if (!files.Wow64SystemFolder(base) || !files.FolderExists(base)) return;
  WideText folder = Joined(base.view(), L"\\", SplitLast(target.folder).second);
  if (SameName(folder, target.folder)) return;  // no folder of its own: nothing to add
  folder_ = std::move(folder);
  base_ = std::move(base);
}

}  // namespace glyphary::engine
