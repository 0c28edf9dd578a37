// The installation run: install folder, icon copy, registry entries. It is
// the body of the progress window's Form_Load and reports its stage only
// through the status caption its caller lets it set.
#pragma once

#include <string_view>

#include "base/error.h"
#include "base/function_ref.h"
#include "engine/variant.h"
#include "platform/file_system.h"

namespace glyphary::engine {

constexpr std::wstring_view kSystemFolder = L"C:\\WINDOWS\\system32";
constexpr std::wstring_view kInstallFolderName = L"TI-89";
constexpr std::wstring_view kIconPattern = L"\\Icons\\*.ico";
constexpr std::wstring_view kCaptionCreating = L"Creating Folders...";
constexpr std::wstring_view kCaptionCopying = L"Coping Icons...";
constexpr std::wstring_view kCaptionRegistering = L"Editing Registry...";

// The run's variables; they belong to the progress window and keep their
// values after it is unloaded.
struct InstallationState {
  platform::FileSystem* Fso = nullptr;
  Variant TargetFolder;
};

// Where the run puts its status captions: a callable borrowed for the run,
// called with each caption in turn.
using CaptionSink = FunctionRef<void(std::wstring_view)>;

// Runs the installation:
//  1. takes the file-system object and the folder object of the system folder;
//  2. unless the install folder is already there, makes sure the program
//     folder's Icons holds at least one .ico (76 or 53 with advice on
//     unpacking the download), before anything is created;
//  3. creates the install folder "TI-89" with ND::MakeFolder;
//  4. if that folder was already there as a folder, stops quietly (a re-run
//     installs nothing); any other reason it could not be made is returned;
//  5. caption "Coping Icons...", copies the program folder's Icons\*.ico into
//     it;
//  6. caption "Editing Registry...", TiInfo::RegisterFileTypes: all 72 calls;
//     if any failed, its error is returned with the key's path;
//  7. tells the shell that file associations changed.
// When step 5 or 6 fails, the folder made in step 3 is removed again (with
// retries while another program holds a file in it) before the error is
// returned, so that a corrected re-run installs normally; if it cannot be
// removed, the error's advice names it. Errors carry the number, the
// description and the path concerned; 429 when a facility is missing.
[[nodiscard]] Error RunInstallation(InstallationState& state, const CaptionSink& set_caption);

}  // namespace glyphary::engine
