#include "engine/installation.h"

#include "engine/nd.h"
#include "engine/ti_info.h"
#include "platform/error.h"

namespace glyphary::engine {

namespace {

// What to do when the program was started without its icons beside it; the
// commonest way there is opening the exe from inside the downloaded archive.
constexpr const wchar_t* kIconsAdvice =
    L"The Icons folder must lie beside GlypharyInstaller.exe. Unpack the whole download "
    L"and run GlypharyInstaller.exe from the unpacked folder.";

// Finds the icons before anything is created, so that the commonest failure
// leaves the machine as it was.
void RequireIcons(platform::FileSystem& fso, const std::wstring& folder,
                  const std::wstring& icons) {
  int found = 0;
  try {
    found = fso.CountFiles(icons);
  } catch (Error& e) {
    throw e.At(folder).Advise(kIconsAdvice);
  }
  if (found == 0) throw errors::Make(errors::kFileNotFound).At(icons).Advise(kIconsAdvice);
}

// Removes the install folder this run created, after a failure, so that its
// presence does not make every later run skip the installation. A file that
// another program (a virus scanner reading the fresh icons) holds for a
// moment is waited for, a little longer each time, about 1.5 s in all. When
// the folder still cannot be removed, `failure` tells the user to delete it.
void RemoveCreatedFolder(platform::FileSystem& fso, const std::wstring& folder, Error& failure) {
  constexpr unsigned kPauses[] = {100, 200, 400, 800};
  for (size_t attempt = 0;; ++attempt) {
    try {
      fso.DeleteFolder(folder);
      return;
    } catch (const Error&) {
      if (attempt == sizeof(kPauses) / sizeof(kPauses[0])) break;
    }
    fso.Pause(kPauses[attempt]);
  }
  failure.Advise(L"The folder " + folder +
                 L" could not be removed again. Delete it before running the program again.");
}

// The runtime error for a registry call that failed with `status`.
Error RegistryError(const TiInfo::RegistryFailure& failure) {
  return errors::Make(errors::NumberForSystemError(static_cast<unsigned long>(failure.status)))
      .At(failure.KeyPath());
}

}  // namespace

void RunInstallation(InstallationState& state, const SetCaption& set_caption) {
  state.Fso = &platform::FileSystemSeam::Get();
  state.TargetFolder = state.Fso->GetFolder(kSystemFolder);
  const std::wstring install_path = TextOf(state.TargetFolder) + L"\\" + kInstallFolderName;
  const std::wstring program = state.Fso->ProgramFolder();
  const std::wstring icons = program + kIconPattern;

  // Present from an earlier run: the run stops quietly at MakeFolder below,
  // whatever lies beside the program.
  if (!state.Fso->FolderExists(install_path)) RequireIcons(*state.Fso, program + L"\\Icons", icons);

  Error why_not_made(0, L"");
  state.TargetFolder = ND::MakeFolder(state.TargetFolder, kInstallFolderName, &why_not_made);
  if (TextOf(state.TargetFolder) == ND::kFailed) {
    // Present from an earlier run: nothing to do. Anything else (a file in
    // the way, no right to write) must not end in a finish window that
    // claims success.
    if (state.Fso->FolderExists(install_path)) return;
    throw why_not_made.At(install_path);
  }

  set_caption(kCaptionCopying);
  const std::wstring made = TextOf(state.TargetFolder);
  try {
    state.Fso->CopyFile(icons, made);
  } catch (Error& e) {
    // Leave no half-filled install folder behind.
    RemoveCreatedFolder(*state.Fso, made, e);
    throw;
  }

  set_caption(kCaptionRegistering);
  if (const TiInfo::RegistryFailure failed = TiInfo::RegisterFileTypes()) {
    // The shell would show no icon for some type: a failure, not a finish.
    Error error = RegistryError(failed);
    RemoveCreatedFolder(*state.Fso, made, error);
    throw error;
  }
}

}  // namespace glyphary::engine
