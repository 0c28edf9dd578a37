#include "engine/installation.h"

#include "engine/nd.h"
#include "engine/ti_info.h"
#include "platform/error.h"

namespace glyphary::engine {

void RunInstallation(InstallationState& state, const SetCaption& set_caption) {
  state.Fso = &platform::FileSystemSeam::Get();
  state.TargetFolder = state.Fso->GetFolder(kSystemFolder);
  const std::wstring install_path = TextOf(state.TargetFolder) + L"\\" + kInstallFolderName;

  Error why_not_made(0, L"");
  state.TargetFolder = ND::MakeFolder(state.TargetFolder, kInstallFolderName, &why_not_made);
  if (TextOf(state.TargetFolder) == ND::kFailed) {
    // Present from an earlier run: nothing to do. Anything else (a file in
    // the way, no right to write) must not end in a finish window that
    // claims success.
    if (state.Fso->FolderExists(install_path)) return;
    throw why_not_made;
  }

  set_caption(kCaptionCopying);
  const std::wstring made = TextOf(state.TargetFolder);
  try {
    state.Fso->CopyFile(state.Fso->ProgramFolder() + kIconPattern, made);
  } catch (...) {
    // Leave no half-filled install folder behind: its presence alone would
    // make every later run skip the installation.
    try {
      state.Fso->DeleteFolder(made);
    } catch (const Error&) {
      // The copy's error is the one to report.
    }
    throw;
  }

  set_caption(kCaptionRegistering);
  TiInfo::RegisterFileTypes();
}

}  // namespace glyphary::engine
