// The installation: install folder, icon copy, registry entries, the
// uninstaller and the record in Apps & Features, all or nothing.
#pragma once

#include "base/error.h"
#include "base/function_ref.h"
#include "engine/product.h"
#include "platform/platform.h"

namespace glyphary::engine {

// The stages an installation reports as it enters them.
enum class InstallStage { kCopyingIcons, kEditingRegistry };

// Told of each stage, borrowed for the run.
using StageSink = FunctionRef<void(InstallStage)>;

// Installs for `target` (every account, or the current one), holding the
// installation lock throughout (1618 when another run holds it, with nothing
// changed):
//  1. a complete record means installed: nothing is written, no error; so
//     does, for every account, the Windows Installer package installed;
//  2. the target's base folder must be there (76 otherwise: for every
//     account, Windows lives elsewhere);
//  3. Icons beside the program must hold at least one .ico (76 or 53, with
//     advice on unpacking the download), before anything is created;
//  4. the install folder, created with any missing folder above it unless it
//     is there (an installation that was cut short: it is finished now);
//  5. kCopyingIcons: Icons\*.ico copied into it;
//  6. kEditingRegistry: the file types registered (every write made; the
//     first failure returned with its key);
//  7. the program copied into the folder as its uninstaller, and the record
//     written, last;
//  8. the shell told that file types changed.
// When any step fails, everything the run created or changed is undone
// (keys deleted, replaced values put back, files and the folder removed,
// with retries while another program holds a file) before its error is
// returned, so that the machine is as it was and a corrected re-run
// installs; what could not be undone is named in the error's advice.
[[nodiscard]] Error RunInstallation(const platform::Platform& platform, const InstallTarget& target,
                                    const StageSink& stage);

}  // namespace glyphary::engine
