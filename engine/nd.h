// Module ND: folder creation that never fails its caller.
#pragma once

#include <string_view>

#include "base/error.h"
#include "engine/variant.h"

namespace glyphary::engine::ND {

// Creates the sub-folder `Name` of `Folder` (a folder object or a folder
// path) with a file-system object of its own. Every failure is absorbed:
// the result is then the text "0", otherwise the new folder's full path as
// text. `Folder` is left holding the new folder object, or "0" on failure.
// When `failure` is given it receives the absorbed error (no error if none),
// for a caller that needs to tell why the folder was not made.
Variant MakeFolder(Variant& Folder, std::wstring_view Name, Error* failure = nullptr);

// The failure marker MakeFolder returns.
constexpr std::wstring_view kFailed = L"0";

}  // namespace glyphary::engine::ND
