// The roads of the command line that show no installer window: the
// unattended installation, the uninstallation and the usage.
#pragma once

#include "engine/command_line.h"
#include "engine/elevation.h"
#include "engine/product.h"
#include "platform/platform.h"

namespace glyphary::app {

// Shows the usage (unless silent) and returns its exit code: 0 when asked
// for, 87 for an unknown switch.
int ShowUsage(const engine::Options& options);

// Chooses the road for the rights this run has (see engine::ChooseRoad),
// asking the user in a message box whether to install for their account
// alone when the machine-wide road cannot be taken; says so when an
// uninstallation lacks the rights (unless silent).
engine::RoadChoice ChooseRoad(const platform::Platform& platform, const engine::Options& options,
                              std::wstring_view arguments);

// Carries out the installation or uninstallation of `options` without the
// installer's windows, for `target`, and returns the program's exit code: 0
// when done or when there was nothing to do, the run-time error number of a
// failure, 1223 when the user declines the uninstallation, 1618 when another
// run holds the lock, 3010 when a restart finishes the uninstallation. With
// options.silent nothing is shown; otherwise the uninstallation's question
// and its result appear in message boxes.
int RunCommand(const platform::Platform& platform, const engine::InstallTarget& target,
               const engine::Options& options);

// Tells (unless silent) why the run cannot go on, and returns its number.
int ReportStartFailure(const Error& error, bool silent);

}  // namespace glyphary::app
