#include "engine/product.h"

namespace glyphary::engine {

Error UserTarget::Find(platform::FileSystem& files) {
  if (Error error = files.LocalAppDataFolder(base_)) return error;
  folder_ = Joined(base_.view(), L"\\", kUserFolderBelowAppData);
  target_.base = base_.view();
  target_.folder = folder_.view();
  return Error();
}

}  // namespace glyphary::engine
