// The installation: install folder, icon copy, registry entries, the
// uninstaller and the record in Apps & Features, all or nothing.
#pragma once

#include "base/error.h"
#include "engine/product.h"
#include "engine/transaction/transaction.h"
#include "platform/platform.h"

namespace glyphary::engine {

// Installs for `target` (every account, or the current one), holding the
// installation lock throughout (1618 when another run holds it, with nothing
// changed). The record (Transaction) is read first:
//  1. complete means installed: nothing is written, no error; so does, for
//     every account and no record, the Windows Installer package installed
//     (asked right before the first change, after steps 3 and 4, whose
//     failures it takes precedence over; being installed, it refuses 1618);
//  2. a removal that was cut short is finished first (its failure returned);
//  3. the target's base folder must be there (76 otherwise: for every
//     account, Windows lives elsewhere), and Icons beside the program must
//     hold at least one .ico (76 or 53, with advice on unpacking the
//     download); each icon and the program are held open from here on, so
//     that what is copied is what was found;
//  4. the 48 places are read, each exactly; one that cannot be read stops
//     the run (its key named) before anything is written;
//  5. the record is written before the first change: the files to put in,
//     the files already there that are someone else's and move aside, the
//     values to be replaced, and the state Installing;
//  6. the install folder, created with any missing folder above it; the
//     files moved aside; kCopyingIcons: the icons copied in;
//     kEditingRegistry: the file types registered (every write made; the
//     first failure returned with its key); the program copied in as its
//     uninstaller; the record completed, DisplayName last;
//  7. the shell told that file types changed.
// An installation an earlier run left Installing is finished the same way.
// When a step fails, or an earlier run's installation cannot be finished,
// everything the record names is taken back (Transaction::TakeBack) before
// the error is returned, so that the machine is as it was; what could not
// be taken back is named in the error's advice, and stays in the record
// for the next run.
// Starts, for every account, asking Windows Installer about its package
// (System::StartPackageQuery), so that RunInstallation's question before
// its first change finds it ready: the windows call it once the agreement
// shows, RunInstallation itself once it finds no record. Windows Installer
// is loaded on a thread beside the run's own work; an installation for one
// account never asks, and never loads it. Not while the program creates
// its first windows: under Wine, msi.dll's libraries loading beside them
// were seen to keep the windows from showing.
void StartLookingForPackage(const platform::Platform& platform, const InstallTarget& target);

[[nodiscard]] Error RunInstallation(const platform::Platform& platform, const InstallTarget& target,
                                    const StageSink& stage);

}  // namespace glyphary::engine
