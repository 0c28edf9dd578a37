#include "engine/installation.h"

#include "base/path_text.h"
#include "engine/lock.h"
#include "engine/package_owner.h"
#include "engine/product.h"
#include "engine/transaction/transaction.h"

namespace glyphary::engine {

namespace {

// What to do when the program was started without its icons beside it; the
// commonest way there is opening the exe from inside the downloaded archive.
constexpr std::wstring_view kIconsAdvice =
    L"The Icons folder must lie beside GlypharyInstaller.exe. Unpack the whole download "
    L"and run GlypharyInstaller.exe from the unpacked folder.";

// The icons to install, found and held before anything is created, so that
// the commonest failure leaves the machine as it was.
Error FindSources(platform::FileSystem& files, const InstallTarget& target, Sources& sources) {
  WideText program;
  if (Error error = files.ProgramFile(program)) return error;
  const WideText folder = Joined(SplitLast(program).first, L"\\", kIconsFolderName);
  const WideText pattern = Joined(folder, L"\\", kIconPattern);
  platform::FileList icons;
  if (Error error = files.ListFiles(pattern, icons)) {
    error.At(folder).Advise(kIconsAdvice);
    return error;
  }
  if (icons.names.empty()) {
    Error none = errors::Make(errors::kFileNotFound);
    none.At(pattern).Advise(kIconsAdvice);
    return none;
  }
  auto hold = [&](std::wstring_view path, std::wstring_view name) {
    int held = 0;
    unsigned long long size = 0;
    if (Error error = files.HoldSource(path, held, size)) return error;
    sources.files.Add(Source{WideText(name), held});
    sources.bytes += size;
    return Error();
  };
  Error failed;
  icons.names.ForEach([&](std::wstring_view name) {
    if (!failed) failed = hold(Joined(folder, L"\\", name), name);
  });
  if (failed) return failed;
  sources.program_in_place = SameName(program, Joined(target.folder, L"\\", kExeName));
  return hold(program, kExeName);
}

// Takes back what the run (or an earlier one cut short) changed, from the
// record, after `failure`. A file that another program (a virus scanner
// reading the fresh icons) holds for a moment is waited for, a little
// longer each time, about 1.5 s in all; each try takes up only what is
// still left. What still cannot be taken back is named in the advice; the
// record keeps it for the next run.
Error RollBack(const platform::Platform& platform, const InstallTarget& target, Error failure) {
  constexpr unsigned kPauses[] = {100, 200, 400, 800};
  platform.files.ReleaseSources();  // the copies are over; the program may have to move
  platform::Note(platform.log, L"taking back what the record names, after", failure);
  UninstallReport report;
  Transaction transaction(platform, target);
  Error read;
  for (std::size_t attempt = 0;; ++attempt) {
    Error error = read = transaction.Read();
    // Without a record nothing was changed: files and values of the same
    // names are someone else's. A plan cut short changed nothing either.
    if (!error && !transaction.record().exists) return failure;
    if (!error && transaction.FirstStepOf(RunKind::kUninstall) == FirstStep::kDiscardRecord) {
      error = transaction.DiscardRecord();
    } else if (!error) {
      error = transaction.TakeBack(FilesInUse::kReport, report);
    }
    if (!error) return failure;  // all taken back: the failure stands
    if (read) break;  // the record cannot be read: nothing can be taken back from it
    if (attempt == sizeof(kPauses) / sizeof(kPauses[0])) break;
    platform.files.Pause(kPauses[attempt]);
  }
  if (read) {
    platform::Note(platform.log, L"the record cannot be read, so nothing could be taken back", read);
    failure.Advise(Joined(L"What this run changed could not be undone, as its record ",
                          platform::KeyName(target.record_root, kRecordKey), L" cannot be read (",
                          read.Description(), L"). The next run of the program (or its /uninstall) takes it "
                          L"away once the record can be read."));
    return failure;
  }
  WideText left;
  report.left.ForEach([&left](std::wstring_view path) {
    if (!left.empty()) left.Append(L"; ");
    left.Append(path);
  });
  failure.Advise(Joined(L"Not everything this run changed could be undone. Left behind: ", left,
                        L". The next run of the program (or its /uninstall) takes it away once "
                        L"it can be removed."));
  return failure;
}

// Everything before the first change: the base folder, the sources found and
// held, the plan. A run that cannot finish what an earlier run started
// takes it back.
Error Prepare(const platform::Platform& platform, const InstallTarget& target, Transaction& transaction,
              Sources& sources) {
  // A run that cannot finish an earlier run's installation takes it back;
  // an update that cannot start leaves the older installation as it is.
  auto cannot_finish = [&](Error error) {
    const bool whole = transaction.record().state == RecordState::kInstalledByOlderBuild;
    return transaction.record().exists && !whole ? RollBack(platform, target, error) : error;
  };
  if (!platform.files.FolderExists(target.base)) {
    Error missing = errors::Make(errors::kPathNotFound);
    missing.At(target.base);
    return cannot_finish(missing);
  }
  if (Error error = FindSources(platform.files, target, sources)) return cannot_finish(error);
  if (Error error = transaction.Upgrading() ? Error() : transaction.PlanRegistry()) {
    platform::Note(platform.log, L"stopped before any change: a value that cannot be read cannot be saved", error);
    return error;
  }
  if (Error error = transaction.PlanFiles(sources)) return cannot_finish(error);
  return Error();
}

}  // namespace

void StartLookingForPackage(const platform::Platform& platform, const InstallTarget& target) {
  if (target.scope == Scope::kMachine) platform.system.StartPackageQuery(kUpgradeCode);
}

Error RunInstallation(const platform::Platform& platform, const InstallTarget& target,
                      const StageSink& stage) {
  platform::Log* log = platform.log;
  InstallLock lock(platform.system);
  platform::Note(log, Joined(target.scope == Scope::kMachine ? L"install for every account into "
                                                             : L"install for this account alone into ",
                             target.folder));
  if (Error refused = BeginTransaction(platform, target, lock.held())) return refused;
  Transaction transaction(platform, target);
  if (Error error = transaction.Read()) {
    platform::Note(log, L"stopped: the record cannot be read", error);
    return error;
  }
  const InstallRecord& record = transaction.record();
  const FirstStep step = transaction.FirstStepOf(RunKind::kInstall);
  switch (step) {
    case FirstStep::kNothingToDo:
      platform::Note(log, L"found: a complete installation; nothing to do");
      return Error();  // installed: left alone
    case FirstStep::kRefuseNewer: {
      const Error newer = NewerVersionInstalled(record.version);
      platform::Note(log, L"refused: a newer version is installed; nothing changed", newer);
      return newer;
    }
    case FirstStep::kRefuseDamaged: {
      const Error damaged = DamagedRecord(record.ignored);
      platform::Note(log, L"refused: the record is damaged; nothing changed", damaged);
      return damaged;
    }
    case FirstStep::kDiscardRecord:
      platform::Note(log, L"found: a plan cut short before any change, or a record whose deletion was cut short");
      if (Error error = transaction.DiscardRecord()) return error;
      break;
    default: break;
  }
  // For every account, with no record of the program's own, Windows
  // Installer's package may have the installation. It is asked now that this
  // run holds the lock (it may have come in since the program started), as
  // late as can be: right before the first change, so that Windows
  // Installer's loading (started here, or earlier while the agreement was
  // read) goes on while the run finds and reads what it needs. Its answer
  // comes before any failure of that preparation: where the package has the
  // installation, nothing is to be done.
  const bool found_nothing = !record.exists;
  const bool ask_package = found_nothing && target.scope == Scope::kMachine;
  if (ask_package) StartLookingForPackage(platform, target);
  if (step == FirstStep::kTakeBack) {
    // A removal that was cut short is finished before anything is installed.
    platform::Note(log, L"found: an uninstallation cut short; finishing it first");
    UninstallReport report;
    if (Error error = transaction.TakeBack(FilesInUse::kLeaveToRestart, report)) {
      error.Advise(L"An uninstallation of the TI-89 file types that was cut short could not be "
                   L"finished, so nothing was installed. Close the program that holds it, or "
                   L"restore the rights, then run this program again.");
      return error;
    }
  } else if (step == FirstStep::kUpgrade && record.state == RecordState::kUpgrading) {
    platform::Note(log, Joined(L"found: an update to version ", record.version, L" cut short; finishing it"));
  } else if (step == FirstStep::kUpgrade) {
    const std::wstring_view installed = record.version.empty() ? std::wstring_view(L"(earlier)") : record.version.view();
    platform::Note(log, Joined(L"found: an installation of version ", installed, L"; updating it to ",
                               platform.system.ProgramVersion()));
  } else if (record.exists) {
    platform::Note(log, L"found: an installation cut short; finishing it");
  }
  Sources sources;
  Error result = Prepare(platform, target, transaction, sources);
  if (ask_package) {
    WideText package;
    const PackageState by_package = FindPackage(platform, package);
    if (by_package == PackageState::kInstalled) {
      platform.files.ReleaseSources();
      platform::Note(log, Joined(PackageFoundNote(by_package, package), L"; nothing to do"));
      return Error();  // installed by the package, which owns the keys: left alone
    }
    if (by_package != PackageState::kNone) {
      platform.files.ReleaseSources();
      const Error refused =
          by_package == PackageState::kInstalling ? WindowsInstallerBusy(package) : PackageCutShort(package);
      platform::Note(log, PackageFoundNote(by_package, package), refused);
      return refused;
    }
  }
  if (found_nothing) platform::Note(log, L"found: nothing installed");
  // Every change is the transaction's; a failure takes back what the
  // record names.
  if (!result) {
    if (Error error = transaction.Apply(sources, stage)) {
      if (step == FirstStep::kUpgrade) {
        // The older installation's files may be replaced already: the
        // record, Upgrading, has the next run finish the update.
        error.Advise(L"The update of the TI-89 file types was stopped before it was complete. Run this "
                     L"program again to finish it, or remove it with /uninstall.");
        result = error;
      } else {
        result = RollBack(platform, target, error);
      }
    }
  }
  platform.files.ReleaseSources();
  platform::Note(log, result ? L"not installed" : L"installed", result);
  return result;
}

}  // namespace glyphary::engine
