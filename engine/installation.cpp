#include "engine/installation.h"

#include "engine/nd.h"
#include "engine/ti_info.h"
#include "engine/uninstallation.h"
#include "platform/ansi_codec.h"
#include "platform/registry.h"

namespace glyphary::engine {

namespace {

// What to do when the program was started without its icons beside it; the
// commonest way there is opening the exe from inside the downloaded archive.
constexpr std::wstring_view kIconsAdvice =
    L"The Icons folder must lie beside GlypharyInstaller.exe. Unpack the whole download "
    L"and run GlypharyInstaller.exe from the unpacked folder.";

// Finds the icons before anything is created, so that the commonest failure
// leaves the machine as it was.
Error RequireIcons(platform::FileSystem& fso, std::wstring_view folder, std::wstring_view icons) {
  int found = 0;
  if (Error error = fso.CountFiles(icons, found)) {
    error.At(folder).Advise(kIconsAdvice);
    return error;
  }
  if (found > 0) return Error();
  Error none = errors::Make(errors::kFileNotFound);
  none.At(icons).Advise(kIconsAdvice);
  return none;
}

// Removes the install folder this run created, after a failure, so that its
// presence does not make every later run skip the installation. A file that
// another program (a virus scanner reading the fresh icons) holds for a
// moment is waited for, a little longer each time, about 1.5 s in all. When
// the folder still cannot be removed, `failure` tells the user to delete it.
Error RemovingCreatedFolder(platform::FileSystem& fso, std::wstring_view folder, Error failure) {
  constexpr unsigned kPauses[] = {100, 200, 400, 800};
  for (size_t attempt = 0;; ++attempt) {
    const Error removing = fso.DeleteFolder(folder);
    if (!removing) return failure;  // removed: the original failure stands
    if (attempt == sizeof(kPauses) / sizeof(kPauses[0])) break;
    fso.Pause(kPauses[attempt]);
  }
  failure.Advise(Joined(L"The folder ", folder,
                        L" could not be removed again. Delete it before running the program "
                        L"again."));
  return failure;
}

// The runtime error for a registry call that failed with `status`.
Error RegistryError(const TiInfo::RegistryFailure& failure) {
  Error error =
      errors::Make(errors::NumberForSystemError(static_cast<unsigned long>(failure.status)));
  error.At(failure.KeyPath());
  return error;
}

}  // namespace

Error RunInstallation(InstallationState& state, const CaptionSink& set_caption) {
  state.Fso = platform::FileSystemSeam::Find();
  if (state.Fso == nullptr || platform::RegistrySeam::Find() == nullptr ||
      platform::AnsiSeam::Find() == nullptr) {
    return errors::Make(errors::kCannotCreateObject);
  }
  platform::FileSystem& fso = *state.Fso;
  platform::Folder system;
  if (Error error = fso.GetFolder(kSystemFolder, system)) return error;
  state.TargetFolder = system;
  const WideText install_path = Joined(system.path, L"\\", kInstallFolderName);
  WideText program;
  if (Error error = fso.ProgramFolder(program)) return error;
  const WideText icons = Joined(program, kIconPattern);

  // Present from an earlier run: the run stops quietly at MakeFolder below,
  // whatever lies beside the program.
  if (!fso.FolderExists(install_path)) {
    if (Error error = RequireIcons(fso, Joined(program, L"\\Icons"), icons)) return error;
  }

  Error why_not_made;
  state.TargetFolder = ND::MakeFolder(state.TargetFolder, kInstallFolderName, &why_not_made);
  const WideText made = TextOf(state.TargetFolder);
  if (made == ND::kFailed) {
    // Present from an earlier run: nothing to do. Anything else (a file in
    // the way, no right to write) must not end in a finish window that
    // claims success.
    if (fso.FolderExists(install_path)) return Error();
    why_not_made.At(install_path);
    return why_not_made;
  }

  set_caption(kCaptionCopying);
  if (Error error = fso.CopyFile(icons, made)) {
    // Leave no half-filled install folder behind.
    return RemovingCreatedFolder(fso, made, error);
  }

  set_caption(kCaptionRegistering);
  if (const TiInfo::RegistryFailure failed = TiInfo::RegisterFileTypes()) {
    // The shell would show no icon for some type: a failure, not a finish.
    return RemovingCreatedFolder(fso, made, RegistryError(failed));
  }
  // Explorer shows the new icons at once, without waiting for a restart.
  NotifyShell();
  return Error();
}

}  // namespace glyphary::engine
