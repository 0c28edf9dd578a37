// The program's command line. Double-clicked it has none and shows its
// windows; switches (case-insensitive, "/" or "-") ask for the roads a
// deployment system needs.
#pragma once

#include <string_view>

#include "base/error.h"
#include "base/text.h"

namespace glyphary::engine {

enum class Action {
  kInteractive,  // no arguments: the windows, as always
  kInstall,      // /S or /quiet: the installation without a window
  kUninstall,    // /uninstall (with /S: without a window)
  kUsage,        // /? or anything unknown
};

struct Options {
  Action action = Action::kInteractive;
  bool silent = false;  // /S or /quiet given
  bool per_user = false;  // /user or /currentuser: for the current account alone
  bool log = false;       // /LOG or /LOG=path: a log of every step
  WideText log_path;      // the path given with /LOG= ("" for the default)
  WideText unknown;     // the first argument that is no switch we know
};

// The options of `arguments`, the command line after the program's name.
// Arguments are separated by spaces and tabs; double quotes group.
Options ParseCommandLine(std::wstring_view arguments);

// `arguments` with each /LOG=path argument given as "/LOG=<log_path>"
// (quoted), and everything else as it was written.
WideText WithLogPath(std::wstring_view arguments, std::wstring_view log_path);

// The usage text shown for /? and for an unknown argument.
std::wstring_view UsageText();

}  // namespace glyphary::engine
