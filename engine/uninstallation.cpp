#include "engine/uninstallation.h"

#include "engine/lock.h"
#include "engine/package_owner.h"

namespace glyphary::engine {

namespace {

// Whether any of the 48 places holds what the installation writes.
bool AnyRegistrationOfOurs(platform::Registry& registry, const InstallTarget& target) {
  bool any = false;
  auto look = [&](const PlaceRead& read) {
    any = read.exists && HoldsOurs(target, read.place, read.value);
    return !any;
  };
  (void)ScanPlaces(registry, target, PlaceVisit(look));  // a place that cannot be read shows nothing
  return any;
}

// What is there for `target`, its record read by `transaction` (a record
// that cannot be read, `read` its error, is there all the same) and, where
// the package has the installation, its state and product code in `package`.
Installed Look(const platform::Platform& platform, const InstallTarget& target, Transaction& transaction,
               Error& read, PackageState& package_state, WideText& package) {
  package_state = PackageState::kNone;
  read = transaction.Read();
  if (read) return Installed::kUnknown;
  switch (transaction.FirstStepOf(RunKind::kUninstall)) {
    case FirstStep::kFindUnrecorded: break;
    case FirstStep::kTakeBack: {
      const RecordState state = transaction.record().state;
      const bool whole = state == RecordState::kInstalled || state == RecordState::kInstalledByOlderBuild ||
                         (state == RecordState::kNewerBuild && transaction.record().shown);
      return whole ? Installed::kRecorded : Installed::kUnfinished;
    }
    default: return Installed::kUnfinished;  // a record that only goes
  }
  if (target.scope == Scope::kMachine) package_state = FindPackage(platform, package);
  if (package_state != PackageState::kNone) return Installed::kByPackage;
  if (AnyRegistrationOfOurs(platform.registry, target)) return Installed::kUnrecorded;
  return Installed::kNothing;
}

}  // namespace

Installed FindInstallation(const platform::Platform& platform, const InstallTarget& target) {
  // Without the machine's classes nothing of the installation can be seen:
  // that is no sign of there being nothing.
  if (UseTargetClasses(platform.registry, target)) return Installed::kUnknown;
  Transaction transaction(platform, target);
  Error read;
  PackageState package_state;
  WideText package;
  return Look(platform, target, transaction, read, package_state, package);
}

Error RunUninstallation(const platform::Platform& platform, const InstallTarget& target,
                        UninstallReport& report) {
  report = UninstallReport();
  platform::Log* log = platform.log;
  InstallLock lock(platform.system);
  platform::Note(log, Joined(target.scope == Scope::kMachine ? L"uninstall for every account from "
                                                             : L"uninstall for this account alone from ",
                             target.folder));
  if (Error refused = BeginTransaction(platform, target, lock.held())) return refused;
  Transaction transaction(platform, target);
  Error read;
  PackageState package_state;
  WideText package;
  switch (Look(platform, target, transaction, read, package_state, package)) {
    case Installed::kNothing:
      platform::Note(log, L"found: nothing installed; nothing to do");
      return Error();
    case Installed::kByPackage: {
      const Error refused = package_state == PackageState::kInstalling ? WindowsInstallerBusy(package)
                            : package_state == PackageState::kCutShort ? PackageCutShort(package)
                                                                       : PackageOwnsInstallation(package);
      platform::Note(log,
                     package_state == PackageState::kInstalled
                         ? Joined(L"refused: installed by the Windows Installer package ", package,
                                  L", which removes it itself")
                         : PackageFoundNote(package_state, package),
                     refused);
      return refused;
    }
    case Installed::kUnknown:
      platform::Note(log, L"stopped: the record cannot be read", read);
      return read;
    case Installed::kRecorded: platform::Note(log, L"found: a complete installation"); break;
    case Installed::kUnfinished: platform::Note(log, L"found: an installation or uninstallation cut short"); break;
    case Installed::kUnrecorded: platform::Note(log, L"found: an installation without its record"); break;
  }
  if (transaction.FirstStepOf(RunKind::kUninstall) == FirstStep::kDiscardRecord) {
    const Error result = transaction.DiscardRecord();
    platform::Note(log, result ? L"the record cannot be deleted" : L"uninstalled: only the record was left", result);
    return result;
  }
  const Error result = transaction.TakeBack(FilesInUse::kLeaveToRestart, report);
  platform::Note(log, result ? L"not everything removed; the record keeps what is left" : L"uninstalled", result);
  return result;
}

}  // namespace glyphary::engine
