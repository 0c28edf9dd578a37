#include "engine/installation.h"

#include "engine/file_types.h"
#include "engine/product.h"

namespace glyphary::engine {

namespace {

// What to do when the program was started without its icons beside it; the
// commonest way there is opening the exe from inside the downloaded archive.
constexpr std::wstring_view kIconsAdvice =
    L"The Icons folder must lie beside GlypharyInstaller.exe. Unpack the whole download "
    L"and run GlypharyInstaller.exe from the unpacked folder.";

// Finds the icons before anything is created, so that the commonest failure
// leaves the machine as it was.
Error RequireIcons(platform::FileSystem& files, std::wstring_view folder,
                   std::wstring_view pattern) {
  int found = 0;
  if (Error error = files.CountFiles(pattern, found)) {
    error.At(folder).Advise(kIconsAdvice);
    return error;
  }
  if (found > 0) return Error();
  Error none = errors::Make(errors::kFileNotFound);
  none.At(pattern).Advise(kIconsAdvice);
  return none;
}

// Removes the install folder this run created, after a failure, so that its
// presence does not make every later run skip the installation. A file that
// another program (a virus scanner reading the fresh icons) holds for a
// moment is waited for, a little longer each time, about 1.5 s in all. When
// the folder still cannot be removed, `failure` tells the user to delete it.
Error RemovingCreatedFolder(platform::FileSystem& files, std::wstring_view folder, Error failure) {
  constexpr unsigned kPauses[] = {100, 200, 400, 800};
  for (size_t attempt = 0;; ++attempt) {
    if (!files.DeleteFolder(folder)) return failure;  // removed: the original failure stands
    if (attempt == sizeof(kPauses) / sizeof(kPauses[0])) break;
    files.Pause(kPauses[attempt]);
  }
  failure.Advise(Joined(L"The folder ", folder,
                        L" could not be removed again. Delete it before running the program "
                        L"again."));
  return failure;
}

}  // namespace

Error RunInstallation(const platform::Platform& platform, const StageSink& stage) {
  platform::FileSystem& files = platform.files;
  const InstallTarget& target = kMachineTarget;
  if (!files.FolderExists(kSystemFolder)) {
    Error missing = errors::Make(errors::kPathNotFound);
    missing.At(kSystemFolder);
    return missing;
  }
  WideText program;
  if (Error error = files.ProgramFolder(program)) return error;
  const WideText icons_folder = Joined(program, L"\\", kIconsFolderName);
  const WideText icons = Joined(icons_folder, L"\\", kIconPattern);

  // Present from an earlier run: the run ends quietly below, whatever lies
  // beside the program.
  if (!files.FolderExists(target.folder)) {
    if (Error error = RequireIcons(files, icons_folder, icons)) return error;
  }
  if (Error not_made = files.CreateFolder(target.folder)) {
    // Present from an earlier run: nothing to do. Anything else (a file in
    // the way, no right to write) must not end in a finish window that
    // claims success.
    if (files.FolderExists(target.folder)) return Error();
    not_made.At(target.folder);
    return not_made;
  }

  stage(InstallStage::kCopyingIcons);
  if (Error error = files.CopyFiles(icons, target.folder)) {
    // Leave no half-filled install folder behind.
    return RemovingCreatedFolder(files, target.folder, error);
  }

  stage(InstallStage::kEditingRegistry);
  if (Error error = RegisterFileTypes(platform.registry, target)) {
    // The shell would show no icon for some type: a failure, not a finish.
    return RemovingCreatedFolder(files, target.folder, error);
  }
  // Explorer shows the new icons at once, without waiting for a restart.
  platform.system.NotifyAssociationsChanged();
  return Error();
}

}  // namespace glyphary::engine
