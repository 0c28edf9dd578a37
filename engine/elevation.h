// Which installation a run makes, given the rights it was started with: the
// program asks for no more than the road needs.
#pragma once

#include <string_view>

#include "base/function_ref.h"
#include "engine/command_line.h"
#include "platform/platform.h"

namespace glyphary::engine {

enum class Road {
  kMachine,  // for every account: this run has the rights (or needs none)
  kUser,     // for the current account alone
  kEnded,    // nothing left for this run to do; it exits with `exit_code`
};

struct RoadChoice {
  Road road = Road::kMachine;
  int exit_code = 0;
};

// Asked when the machine-wide road cannot be taken: whether to install for
// the current account alone. Borrowed for the call.
using AskAccountOnly = FunctionRef<bool()>;

// Chooses the road of an installation or uninstallation:
//  - /user: the current account's, whatever the rights;
//  - administrator rights: every account's, as always;
//  - an uninstallation that finds nothing installed for every account: that
//    road, which says so and needs no rights;
//  - an administrator's account running without its rights: the program runs
//    again elevated with the same `arguments` (the UAC prompt), a relative
//    /LOG= path made full, as the elevated run starts in System32; this run
//    ends with that run's exit code;
//  - elevation refused or impossible: with /S, or for an uninstallation,
//    the run ends with 740 (elevation required) having changed nothing; an
//    interactive installation asks, and Yes takes the current account's
//    road, No ends the run with 1223 (cancelled).
RoadChoice ChooseRoad(const platform::Platform& platform, const Options& options,
                      std::wstring_view arguments, const AskAccountOnly& ask_account_only);

}  // namespace glyphary::engine
