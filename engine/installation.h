// The installation: install folder, icon copy, registry entries.
#pragma once

#include "base/error.h"
#include "base/function_ref.h"
#include "platform/platform.h"

namespace glyphary::engine {

// The stages an installation reports as it enters them.
enum class InstallStage { kCopyingIcons, kEditingRegistry };

// Told of each stage, borrowed for the run.
using StageSink = FunctionRef<void(InstallStage)>;

// Installs:
//  1. the system folder must be there (76 otherwise: Windows lives elsewhere);
//  2. unless the install folder is already there, Icons beside the program
//     must hold at least one .ico (76 or 53, with advice on unpacking the
//     download), before anything is created;
//  3. creates the install folder; one that is already there means an earlier
//     installation: the run ends here, quietly, with no error;
//  4. kCopyingIcons: copies Icons\*.ico into it;
//  5. kEditingRegistry: registers the file types (every write made; the
//     first failure returned with its key);
//  6. tells the shell that file types changed.
// When step 4 or 5 fails, the folder made in step 3 is removed again (with
// retries while another program holds a file in it) before the error is
// returned, so that a corrected re-run installs normally; if it cannot be
// removed, the error's advice names it.
[[nodiscard]] Error RunInstallation(const platform::Platform& platform, const StageSink& stage);

}  // namespace glyphary::engine
