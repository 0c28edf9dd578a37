#include "engine/elevation.h"

#include "engine/product.h"
#include "engine/uninstallation.h"

namespace glyphary::engine {

namespace {

// The command line for the elevated run: a relative /LOG= path made full
// against this run's current folder, as the elevated run starts in
// System32 and both runs are to write the one file.
WideText ElevatedArguments(const platform::Platform& platform, const Options& options,
                           std::wstring_view arguments) {
  WideText full;
  if (options.log_path.empty() || platform.files.FullPathOf(options.log_path, full)) return WideText(arguments);
  return WithLogPath(arguments, full);
}

}  // namespace

RoadChoice ChooseRoad(const platform::Platform& platform, const Options& options,
                      std::wstring_view arguments, const AskAccountOnly& ask_account_only) {
  using Rights = platform::System::Rights;
  if (options.per_user) return {Road::kUser, 0};
  const Rights rights = platform.system.CurrentRights();
  if (rights == Rights::kAdministrator) return {Road::kMachine, 0};
  const bool uninstall = options.action == Action::kUninstall;
  if (uninstall) {
    // Nothing to remove, or the package's to remove: said without rights.
    const Installed installed = FindInstallation(platform, kMachineTarget);
    if (installed == Installed::kNothing || installed == Installed::kByPackage) return {Road::kMachine, 0};
  }
  if (rights == Rights::kCanElevate) {
    int exit_code = 0;
    const Error refused = platform.system.RunElevated(ElevatedArguments(platform, options, arguments), exit_code);
    platform::Note(platform.log, L"ran again with administrator rights, after the UAC prompt", refused);
    if (!refused) return {Road::kEnded, exit_code};
  }
  // No administrator rights to be had.
  if (options.silent || uninstall) {
    platform::Note(platform.log, L"refused: administrator rights needed and not to be had",
                   Error(exit_codes::kElevationRequired, L""));
    return {Road::kEnded, exit_codes::kElevationRequired};
  }
  if (ask_account_only()) return {Road::kUser, 0};
  return {Road::kEnded, exit_codes::kCancelled};
}

}  // namespace glyphary::engine
