// What the Windows Installer package's custom actions do, in plain C++ on
// the platform's interfaces, so that the same code runs in the package's DLL
// (package_actions.cpp, on Windows Installer's session) and on the stand-in
// of Windows Installer in the native tests.
//
// The actions follow Windows Installer's rules: an immediate action runs as
// the user who started the installation (under UAC without administrator
// rights, even for an administrator who double-clicked the package), so the
// immediate ones only read. They check that the package may install, and
// hand what they read to the deferred actions as their CustomActionData.
// The deferred actions run from the installation's script as the machine
// (no impersonation), each after the rollback action that takes it back:
//
//   install   CheckInstall      immediate, in the UI and the execute
//                               sequence, before anything is written: the
//                               exe's record and lock, a package
//                               transaction still running, each of the 48
//                               places readable, and no icon of someone
//                               else's where the package puts its own
//                               (one cut short left its partial copies:
//                               any not there before it went on); hands
//                               SaveReplaced, place by place, another
//                               program's value there now, else the one
//                               the package's key keeps, else what is
//                               there (not the package's own value where
//                               an earlier transaction wrote)
//             UndoClaim         rollback of ClaimKeys
//             ClaimKeys         marks the transaction (product, the process
//                               that runs the script, its start) in the
//                               package's key, then looks for the exe once
//                               more: whichever of the two comes second sees
//                               the other; lists the icons there before
//                               (one cut short keeps its list)
//             UndoSaveReplaced  rollback of SaveReplaced
//             SaveReplaced      keeps what each place held before, exactly
//             ... InstallFiles, WriteRegistryValues (Windows Installer's own)
//             ClaimDone         the mark taken away, last
//   removal   FindTaken         immediate, before the values go: which places
//                               hold something else than the package's value
//                               now (another program's, set since)
//             UndoSaveTaken     rollback of SaveTaken
//             SaveTaken         keeps what FindTaken found, so that a removal
//                               cut short after Windows Installer deleted
//                               the values puts them back when run again
//             UndoPutBack       rollback of PutBackReplaced
//             ... RemoveRegistryValues
//             PutBackReplaced   what another program set since goes back;
//                               elsewhere what the package had replaced
//             ForgetReplaced    the package's key goes, last, once every
//                               kept value is back or another program's
//                               value holds its place; else it stays
//   both      TellShell         after the end: the shell hears of it
#pragma once

#include <string_view>

#include "base/text.h"
#include "engine/file_types.h"
#include "engine/product.h"
#include "platform/platform.h"

namespace glyphary::package {

// The kinds of custom action, as Windows Installer's CustomAction table
// numbers them: a function of a DLL kept in the Binary table (1), run from
// the script (1024), as a rollback action (256), as the machine (2048), its
// failure ignored (64).
namespace action_type {
constexpr int kDll = 1;
constexpr int kIgnoreFailure = 64;
constexpr int kRollback = 256;
constexpr int kInScript = 1024;
constexpr int kNoImpersonate = 2048;
constexpr int kImmediate = kDll;
constexpr int kDeferred = kDll | kInScript | kNoImpersonate;
constexpr int kRollbackAction = kDeferred | kRollback;
}  // namespace action_type

struct PackageAction {
  const char* name;       // the action and the DLL's entry point
  int type;               // action_type
  int sequence;           // in InstallExecuteSequence
  int ui_sequence;        // in InstallUISequence too, before ExecuteAction (1300); 0: not there
  const char* condition;  // Windows Installer's condition syntax
};

// Every custom action of the package, in the order of the sequence. The
// standard actions they stand between: InstallValidate 1400,
// RemoveExistingProducts 1401 (a major upgrade: the earlier version's
// removal, after CheckInstall), InstallInitialize 1500, RemoveRegistryValues
// 2600, RemoveFiles 3500, InstallFiles 4000, WriteRegistryValues 5000,
// InstallFinalize 6600.
inline constexpr PackageAction kPackageActions[] = {
    {"CheckInstall", action_type::kImmediate, 1398, 1290, "NOT Installed"},
    {"UndoClaim", action_type::kRollbackAction, 1501, 0, "NOT Installed"},
    {"ClaimKeys", action_type::kDeferred, 1502, 0, "NOT Installed"},
    {"UndoSaveReplaced", action_type::kRollbackAction, 1503, 0, "NOT Installed"},
    {"SaveReplaced", action_type::kDeferred, 1504, 0, "NOT Installed"},
    {"FindTaken", action_type::kImmediate, 2590, 0, "REMOVE=\"ALL\""},
    {"UndoSaveTaken", action_type::kRollbackAction, 2591, 0, "REMOVE=\"ALL\""},
    {"SaveTaken", action_type::kDeferred, 2592, 0, "REMOVE=\"ALL\""},
    {"UndoPutBack", action_type::kRollbackAction, 2595, 0, "REMOVE=\"ALL\""},
    {"PutBackReplaced", action_type::kDeferred, 2610, 0, "REMOVE=\"ALL\""},
    {"ClaimDone", action_type::kDeferred, 6590, 0, "NOT Installed"},
    {"ForgetReplaced", action_type::kDeferred, 6591, 0, "REMOVE=\"ALL\""},
    {"TellShell", action_type::kImmediate | action_type::kIgnoreFailure, 6601, 0, ""},
};

// What a custom action asks of its Windows Installer session.
class Session {
 public:
  virtual ~Session() = default;
  // A property; in a deferred action only "CustomActionData" (what the
  // immediate action set under the deferred action's name) and "ProductCode".
  virtual WideText Property(std::wstring_view name) = 0;
  // Sets a property; an immediate action hands data to the deferred action
  // of that name this way.
  virtual void SetProperty(std::wstring_view name, std::wstring_view value) = 0;
  // A line in Windows Installer's log (msiexec /l*v).
  virtual void Log(std::wstring_view text) = 0;
  // Tells the user why the installation cannot go on: a message box where
  // the installation shows its windows, the log always.
  virtual void Refuse(std::wstring_view text) = 0;
  // Whether `path` holds the package's own `name`: the bytes the package
  // carries for it, or a file Windows Installer installed for the package
  // (an earlier version's).
  virtual bool PackageFile(std::wstring_view name, std::wstring_view path) = 0;
  // The process that runs the installation's script and its start time,
  // as "<id> <start>", for the mark.
  virtual WideText ScriptProcess() = 0;
};

// True when the action succeeded; false fails the installation (1603).
using ActionResult = bool;

// Runs the custom action `name` of kPackageActions on `platform`, for the
// package's `target` (its icons in the system folder's TI-89, its values
// below HKEY_CLASSES_ROOT). False for a name that is none of them.
ActionResult RunPackageAction(std::wstring_view name, Session& session, const platform::Platform& platform,
                              const engine::InstallTarget& target);

}  // namespace glyphary::package
