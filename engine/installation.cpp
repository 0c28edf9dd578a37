#include "engine/installation.h"

#include "base/path_text.h"
#include "engine/file_types.h"
#include "engine/journal.h"
#include "engine/lock.h"
#include "engine/package_owner.h"
#include "engine/product.h"
#include "engine/record.h"

namespace glyphary::engine {

namespace {

// What to do when the program was started without its icons beside it; the
// commonest way there is opening the exe from inside the downloaded archive.
constexpr std::wstring_view kIconsAdvice =
    L"The Icons folder must lie beside GlypharyInstaller.exe. Unpack the whole download "
    L"and run GlypharyInstaller.exe from the unpacked folder.";

// The icons to install, found before anything is created, so that the
// commonest failure leaves the machine as it was.
Error FindIcons(platform::FileSystem& files, std::wstring_view folder, std::wstring_view pattern,
                platform::FileList& icons) {
  if (Error error = files.ListFiles(pattern, icons)) {
    error.At(folder).Advise(kIconsAdvice);
    return error;
  }
  if (!icons.names.empty()) return Error();
  Error none = errors::Make(errors::kFileNotFound);
  none.At(pattern).Advise(kIconsAdvice);
  return none;
}

// Undoes what the run did after `failure`. A file that another program (a
// virus scanner reading the fresh icons) holds for a moment is waited for,
// a little longer each time, about 1.5 s in all; each try takes up only what
// is still left. What still cannot be undone is named in the advice.
Error UndoAfter(const platform::Platform& platform, Journal& journal, Error failure) {
  constexpr unsigned kPauses[] = {100, 200, 400, 800};
  for (std::size_t attempt = 0;; ++attempt) {
    (void)journal.Undo(platform);  // what failed stays in the journal, named below
    if (journal.empty()) return failure;  // all undone: the failure stands
    if (attempt == sizeof(kPauses) / sizeof(kPauses[0])) break;
    platform.files.Pause(kPauses[attempt]);
  }
  failure.Advise(Joined(L"Not everything this run changed could be undone. Left behind: ",
                        journal.Remaining(),
                        L". Remove what is left before running the program again."));
  return failure;
}

// Makes the install folder and each missing folder between it and the
// target's base ("Glyphary", then "TI-89"), noting each in the journal.
Error CreateFolders(platform::FileSystem& files, const InstallTarget& target, Journal& journal) {
  const std::wstring_view folder = target.folder;
  for (std::size_t end = target.base.size() + 1; end <= folder.size(); ++end) {
    if (end < folder.size() && folder[end] != L'\\') continue;
    const std::wstring_view level = Head(folder, end);
    if (files.FolderExists(level)) continue;
    if (Error error = files.CreateFolder(level)) {
      error.At(level);
      return error;
    }
    journal.FolderCreated(level);
  }
  return Error();
}

// Copies every icon into the folder; the program goes in too, as the
// uninstaller. Files that were not there before go into the journal.
Error CopyFiles(platform::FileSystem& files, std::wstring_view icons_folder,
                const platform::FileList& icons, std::wstring_view folder,
                std::wstring_view program, bool deletions_pending, Journal& journal,
                InstallRecord& record) {
  Error failed;
  auto copy = [&](std::wstring_view from, std::wstring_view name) {
    if (failed) return;
    const WideText to = Joined(folder, L"\\", name);
    if (!SameName(from, to)) {  // run from the install folder, it is there already
      if (deletions_pending) {  // given up by an uninstallation: kept now
        bool kept = false;
        failed = files.KeepAtRestart(to, kept);
        if (failed) return;
        if (kept) journal.KeptAtRestart(to);
      }
      const bool existed = files.FileExists(to);
      failed = files.CopyFile(from, to);
      if (failed) return;
      if (!existed) journal.FileCreated(to);
    }
    record.files.names.Add(name);
  };
  icons.names.ForEach([&](std::wstring_view name) { copy(Joined(icons_folder, L"\\", name), name); });
  platform::FileList self;
  if (!failed) failed = files.ListFiles(program, self);
  copy(program, kExeName);
  record.files.bytes = icons.bytes + self.bytes;
  return failed;
}

}  // namespace

Error RunInstallation(const platform::Platform& platform, const InstallTarget& target,
                      const StageSink& stage) {
  platform::FileSystem& files = platform.files;
  InstallLock lock(platform.system);
  if (!lock.held()) return InstallInProgress();
  if (RecordComplete(platform.registry, target)) return Error();  // installed: left alone
  WideText package;
  if (target.scope == Scope::kMachine && PackageInstalled(platform.registry, package)) {
    return Error();  // installed by the package, which owns the keys: left alone
  }

  if (!files.FolderExists(target.base)) {
    Error missing = errors::Make(errors::kPathNotFound);
    missing.At(target.base);
    return missing;
  }
  WideText program;
  if (Error error = files.ProgramFile(program)) return error;
  const WideText icons_folder = Joined(SplitLast(program).first, L"\\", kIconsFolderName);
  platform::FileList icons;
  if (Error error = FindIcons(files, icons_folder, Joined(icons_folder, L"\\", kIconPattern), icons)) {
    return error;
  }

  Journal journal;
  if (Error error = CreateFolders(files, target, journal)) {
    return UndoAfter(platform, journal, error);
  }
  // What an uninstallation left for the restart to delete is kept now.
  const bool deletions_pending = files.DeletesAtRestart(target.folder);
  if (deletions_pending) {
    bool kept = false;
    if (Error error = files.KeepAtRestart(target.folder, kept)) return UndoAfter(platform, journal, error);
    if (kept) journal.KeptAtRestart(target.folder);
  }
  InstallRecord record;
  stage(InstallStage::kCopyingIcons);
  if (Error error = CopyFiles(files, icons_folder, icons, target.folder, program, deletions_pending, journal, record)) {
    return UndoAfter(platform, journal, error);
  }
  stage(InstallStage::kEditingRegistry);
  if (Error error = RegisterFileTypes(platform.registry, target, journal, record.replaced)) {
    return UndoAfter(platform, journal, error);
  }
  if (Error error = WriteRecord(platform, target, record, journal)) {
    return UndoAfter(platform, journal, error);
  }
  // Explorer shows the new icons at once, without waiting for a restart.
  platform.system.NotifyAssociationsChanged();
  return Error();
}

}  // namespace glyphary::engine
