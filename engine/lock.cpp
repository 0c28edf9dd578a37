#include "engine/lock.h"

#include "engine/product.h"

namespace glyphary::engine {

Error InstallInProgress() {
  Error busy(exit_codes::kInstallInProgress, L"Another installation is in progress");
  busy.Advise(L"Another run of Glyphary Installer is installing or removing the TI-89 file "
              L"types. Wait for it to finish, then run the program again.");
  return busy;
}

}  // namespace glyphary::engine
