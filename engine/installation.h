// The installation run: install folder, icon copy, registry entries. It is
// the body of the progress window's Form_Load and reports its stage only
// through the status caption its caller lets it set.
#pragma once

#include <functional>
#include <string>

#include "engine/variant.h"
#include "platform/file_system.h"

namespace glyphary::engine {

constexpr const wchar_t* kSystemFolder = L"C:\\WINDOWS\\system32";
constexpr const wchar_t* kInstallFolderName = L"TI-89";
constexpr const wchar_t* kIconPattern = L"\\Icons\\*.ico";
constexpr const wchar_t* kCaptionCreating = L"Creating Folders...";
constexpr const wchar_t* kCaptionCopying = L"Coping Icons...";
constexpr const wchar_t* kCaptionRegistering = L"Editing Registry...";

// The run's variables; they belong to the progress window and keep their
// values after it is unloaded.
struct InstallationState {
  platform::FileSystem* Fso = nullptr;
  Variant TargetFolder;
};

using SetCaption = std::function<void(const std::wstring&)>;

// Runs the installation:
//  1. takes the file-system object and the folder object of the system folder;
//  2. unless the install folder is already there, makes sure the program
//     folder's Icons holds at least one .ico (76 or 53 with advice on
//     unpacking the download), before anything is created;
//  3. creates the install folder "TI-89" with ND::MakeFolder;
//  4. if that folder was already there as a folder, stops quietly (a re-run
//     installs nothing); any other reason it could not be made is raised;
//  5. caption "Coping Icons...", copies the program folder's Icons\*.ico into
//     it;
//  6. caption "Editing Registry...", TiInfo::RegisterFileTypes: all 72 calls;
//     if any failed, its error is raised with the key's path.
// When step 5 or 6 fails, the folder made in step 3 is removed again (with
// retries while another program holds a file in it) before the error is
// raised, so that a corrected re-run installs normally; if it cannot be
// removed, the error's advice names it. Errors are glyphary::Error: number,
// description, the path concerned.
void RunInstallation(InstallationState& state, const SetCaption& set_caption);

}  // namespace glyphary::engine
