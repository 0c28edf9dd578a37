#include "engine/installation.h"

#include "base/path_text.h"
#include "engine/file_types.h"
#include "engine/lock.h"
#include "engine/package_owner.h"
#include "engine/product.h"
#include "engine/record.h"
#include "engine/uninstallation.h"

namespace glyphary::engine {

namespace {

// What to do when the program was started without its icons beside it; the
// commonest way there is opening the exe from inside the downloaded archive.
constexpr std::wstring_view kIconsAdvice =
    L"The Icons folder must lie beside GlypharyInstaller.exe. Unpack the whole download "
    L"and run GlypharyInstaller.exe from the unpacked folder.";

// The files the run puts into the install folder, each held open from
// before the first change to the end, so that what is copied is what was
// found: the icons, then the program, by the number HoldSource gave.
struct Source {
  WideText name;
  int held = 0;
};
struct Sources {
  List<Source> files;  // the icons, then the program
  unsigned long long bytes = 0;
  bool program_in_place = false;  // run from the install folder itself: nothing to copy
};

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
  for (std::size_t attempt = 0;; ++attempt) {
    InstallRecord record;
    Error error = ReadRecord(platform.registry, target, record);
    // Without a record nothing was changed: files and values of the same
    // names are someone else's.
    if (!error && !record.exists) return failure;
    if (!error) error = RemoveInstallation(platform, target, record, FilesInUse::kReport, report);
    if (!error) return failure;  // all taken back: the failure stands
    if (attempt == sizeof(kPauses) / sizeof(kPauses[0])) break;
    platform.files.Pause(kPauses[attempt]);
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

// Makes the install folder and each missing folder between it and the
// target's base ("Glyphary", then "TI-89").
Error CreateFolders(platform::FileSystem& files, const InstallTarget& target) {
  const std::wstring_view folder = target.folder;
  for (std::size_t end = target.base.size() + 1; end <= folder.size(); ++end) {
    if (end < folder.size() && folder[end] != L'\\') continue;
    const std::wstring_view level = Head(folder, end);
    if (files.FolderExists(level)) continue;
    if (Error error = files.CreateFolder(level)) {
      error.At(level);
      return error;
    }
  }
  return Error();
}

// A folder the run puts files into, with the record's lists for it: the
// install folder (the icons, then the program) or its twin that 32-bit
// programs reach (the icons alone).
struct Destination {
  std::wstring_view folder;
  std::size_t count;    // how many of the sources go there, from the first
  NameList& files;      // the record's list of the files put there
  NameList& set_aside;  // and of those whose earlier file moves aside
};

// The install folder, and its twin when there is one (`twin` empty otherwise).
struct Destinations {
  Destination list[2];
  std::size_t size;
};
Destinations DestinationsOf(const InstallTarget& target, const Wow64Folder& twin, const Sources& sources,
                            InstallRecord& record) {
  return Destinations{{{target.folder, sources.files.size(), record.files, record.set_aside},
                       {twin.folder(), sources.files.size() - 1, record.wow64_files, record.wow64_set_aside}},
                      twin.exists() ? 2u : 1u};
}

// Adds to the destination's lists the sources that go there, and of
// those the ones whose present file is someone else's and moves aside.
Error PlanFolder(platform::FileSystem& files, const Sources& sources, const Destination& to) {
  for (std::size_t at = 0; at < to.count; ++at) {
    const Source& source = sources.files[at];
    const std::wstring_view name = source.name;
    if (to.files.Contains(name)) continue;  // planned by an earlier run: its state is known
    const WideText path = Joined(to.folder, L"\\", name);
    // Someone else's file stands there, unless it is this program running
    // from the folder, one of ours an uninstallation left for the restart
    // to delete, or the very bytes this run installs (ours, whatever
    // happened to the record that named it).
    if (!(sources.program_in_place && SameName(name, kExeName)) && files.FileExists(path) &&
        !files.DeletesAtRestart(path) && !files.HeldSourceIs(source.held, path)) {
      const WideText aside = Joined(to.folder, L"\\", kSetAsideFolderName, L"\\", name);
      if (files.FileExists(aside)) {
        // Someone else's file where ours would wait: nothing is overwritten.
        Error taken = errors::Make(errors::kFileAlreadyExists);
        taken.At(aside);
        return taken;
      }
      if (!to.set_aside.Contains(name)) to.set_aside.Add(name);
    }
    to.files.Add(name);
  }
  return Error();
}

// Adds to `record` what this run will do: the places that hold another
// value now (into `new_saved` too, unless an earlier run of this
// installation saved them already: the first value saved is the one from
// before any of it), the files to put in each folder, and of those the
// ones whose present file is someone else's and moves aside. Nothing is
// changed yet.
Error Plan(platform::FileSystem& files, const InstallTarget& target, const Wow64Folder& twin,
           const Sources& sources, const List<SavedValue>& foreign, InstallRecord& record,
           List<SavedValue>& new_saved) {
  for (const SavedValue& found : foreign) {
    bool saved = false;
    for (const SavedValue& old : record.saved) saved |= old.place == found.place;
    if (saved) continue;
    new_saved.Add(found);
    record.saved.Add(found);
  }
  const Destinations to = DestinationsOf(target, twin, sources, record);
  for (std::size_t at = 0; at < to.size; ++at) {
    if (Error error = PlanFolder(files, sources, to.list[at])) return error;
  }
  return Error();
}

// Moves each file planned to go aside there, unless an earlier run did.
Error SetAside(platform::FileSystem& files, std::wstring_view folder, const NameList& set_aside) {
  const WideText aside_folder = Joined(folder, L"\\", kSetAsideFolderName);
  Error failed;
  set_aside.ForEach([&](std::wstring_view name) {
    const WideText path = Joined(folder, L"\\", name);
    const WideText aside = Joined(aside_folder, L"\\", name);
    if (failed || files.FileExists(aside) || !files.FileExists(path)) return;
    if (!files.FolderExists(aside_folder)) failed = files.CreateFolder(aside_folder);
    if (!failed) failed = files.MoveFile(path, aside);
  });
  return failed;
}

// Copies one held file into the folder; what an uninstallation had left
// for the restart to delete is kept now.
Error CopySource(platform::FileSystem& files, std::wstring_view folder, const Source& source,
                 bool deletions_pending) {
  const WideText to = Joined(folder, L"\\", source.name);
  if (deletions_pending) {
    bool kept = false;
    if (Error error = files.KeepAtRestart(to, kept)) return error;
  }
  return files.CopyHeldSource(source.held, to);
}

// What an installation finds and plans before it changes anything.
struct Prepared {
  Sources sources;
  Wow64Folder twin;  // the install folder's twin for 32-bit programs, if any
  List<SavedValue> new_saved;  // the values the record is to keep that no earlier run kept
};

// Everything before the first change: the base folder, the sources found and
// held, every place read, the plan. `record` is what an earlier run of it
// left, if anything; a run that cannot finish what that run started takes
// it back.
Error Prepare(const platform::Platform& platform, const InstallTarget& target, InstallRecord& record,
              Prepared& prepared) {
  platform::FileSystem& files = platform.files;
  auto cannot_finish = [&](Error error) {
    return record.exists ? RollBack(platform, target, error) : error;
  };
  if (!files.FolderExists(target.base)) {
    Error missing = errors::Make(errors::kPathNotFound);
    missing.At(target.base);
    return cannot_finish(missing);
  }
  if (Error error = FindSources(files, target, prepared.sources)) return cannot_finish(error);
  // Every place read before anything is written: what cannot be saved is
  // not overwritten. A fresh run saves every value there, ours to the
  // byte included (another installation of the same types left it), so
  // that the uninstallation leaves what was there; a run that finishes an
  // earlier one finds that one's values in the places it had planned. A
  // record without a state is a plan cut short while it was written:
  // nothing was changed after it, so the machine is read as fresh.
  const bool unplanned = record.state == RecordState::kNone;
  List<SavedValue> foreign;
  if (Error error = ReadPlaces(platform.registry, target, foreign, unplanned)) {
    platform::Note(platform.log, L"stopped before any change: a value that cannot be read cannot be saved", error);
    return error;
  }
  // The keys already there stay after an uninstallation, empty or not.
  if (unplanned) {
    NameList existing;
    ExistingKeys(platform.registry, target, existing);
    existing.ForEach([&](std::wstring_view key) {
      if (!record.keys_before.Contains(key)) record.keys_before.Add(key);
    });
  }
  prepared.twin.Find(files, target);
  if (Error error = Plan(files, target, prepared.twin, prepared.sources, foreign, record, prepared.new_saved)) {
    return cannot_finish(error);
  }
  return Error();
}

// The installation once it is prepared: record, changes, completion.
Error Install(const platform::Platform& platform, const InstallTarget& target, InstallRecord& record,
              const Prepared& prepared, const StageSink& stage) {
  platform::FileSystem& files = platform.files;
  const Sources& sources = prepared.sources;
  const bool fresh = record.state == RecordState::kNone;
  if (Error error = WritePlan(platform.registry, target, record, prepared.new_saved)) {
    if (!fresh) return RollBack(platform, target, error);
    // Nothing but the record's first lines was written: they go, and
    // nothing else is touched.
    if (const Error left = DeleteRecord(platform.registry, target)) {
      error.Advise(Joined(L"The start of its record could not be taken back: ", left.Path(),
                          L". The next run of the program takes it away."));
    }
    return error;
  }
  platform::Note(platform.log, L"the record names what this run will change, before it changes it");

  // From here, every change is one the record names.
  if (Error error = CreateFolders(files, target)) return RollBack(platform, target, error);
  const Destinations to = DestinationsOf(target, prepared.twin, sources, record);
  // The twin's base is there (Wow64Folder::Find): only the twin is made.
  if (to.size > 1 && !files.FolderExists(prepared.twin.folder())) {
    if (Error error = files.CreateFolder(prepared.twin.folder())) {
      error.At(prepared.twin.folder());
      return RollBack(platform, target, error);
    }
  }
  bool deletions_pending[2] = {};
  for (std::size_t at = 0; at < to.size; ++at) {
    const std::wstring_view folder = to.list[at].folder;
    deletions_pending[at] = files.DeletesAtRestart(folder);
    bool kept = false;
    if (Error error = deletions_pending[at] ? files.KeepAtRestart(folder, kept) : Error()) {
      return RollBack(platform, target, error);
    }
    if (Error error = SetAside(files, folder, to.list[at].set_aside)) return RollBack(platform, target, error);
  }
  stage(InstallStage::kCopyingIcons);
  const std::size_t icons = sources.files.size() - 1;  // the program comes last
  for (std::size_t at = 0; at < to.size; ++at) {
    // A folder found there, not made by this run, may have gone since while
    // empty (Windows Installer taking back a transaction of its own that
    // had made it): it is made again.
    const std::wstring_view folder = to.list[at].folder;
    if (!files.FolderExists(folder)) {
      if (Error error = files.CreateFolder(folder)) return RollBack(platform, target, error.At(folder));
    }
    for (std::size_t icon = 0; icon < icons; ++icon) {
      if (Error error = CopySource(files, to.list[at].folder, sources.files[icon], deletions_pending[at])) {
        return RollBack(platform, target, error);
      }
    }
  }
  stage(InstallStage::kEditingRegistry);
  if (Error error = RegisterFileTypes(platform.registry, target)) return RollBack(platform, target, error);
  if (!sources.program_in_place) {
    if (Error error = CopySource(files, target.folder, sources.files[icons], deletions_pending[0])) {
      return RollBack(platform, target, error);
    }
  }
  if (Error error = CompleteRecord(platform, target, sources.bytes)) return RollBack(platform, target, error);
  // Explorer shows the new icons at once, without waiting for a restart.
  platform.system.NotifyAssociationsChanged();
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
  if (Error refused = BeginRun(platform, target, lock, L"install", L"into")) return refused;
  InstallRecord record;
  if (Error error = ReadRecord(platform.registry, target, record)) {
    platform::Note(log, L"stopped: the record cannot be read", error);
    return error;
  }
  if (record.complete) {
    platform::Note(log, L"found: a complete installation; nothing to do");
    return Error();  // installed: left alone
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
  if (record.state == RecordState::kRemoving) {
    // A removal that was cut short is finished before anything is installed.
    platform::Note(log, L"found: an uninstallation cut short; finishing it first");
    UninstallReport report;
    if (Error error = RemoveInstallation(platform, target, record, FilesInUse::kLeaveToRestart, report)) {
      error.Advise(L"An uninstallation of the TI-89 file types that was cut short could not be "
                   L"finished, so nothing was installed. Close the program that holds it, or "
                   L"restore the rights, then run this program again.");
      return error;
    }
    record = InstallRecord();
  } else if (record.exists) {
    platform::Note(log, L"found: an installation cut short; finishing it");
  }
  Prepared prepared;
  Error result = Prepare(platform, target, record, prepared);
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
  if (!result) result = Install(platform, target, record, prepared, stage);
  platform.files.ReleaseSources();
  platform::Note(log, result ? L"not installed" : L"installed", result);
  return result;
}

}  // namespace glyphary::engine
