// Module TiInfo: the twelve TI-89 variable file types and their registration
// under HKEY_CLASSES_ROOT.
#pragma once

#include <array>

namespace glyphary::engine::TiInfo {

struct FileTypeRow {
  const wchar_t* Extension;  // ".89m"
  const wchar_t* TypeId;     // "Ivex.89m": "Ivex." and the extension without its dot
  const wchar_t* IconFile;   // "89mat.ico", a file of the install folder
};

// The rows in the order they are registered.
const std::array<FileTypeRow, 12>& FileTypes();

// Where the icons are registered from: the install folder, fixed.
constexpr const wchar_t* kIconFolder = L"C:\\WINDOWS\\system32\\TI-89\\";

// For every row, in order: CreateKey(E), CreateKey(T\DefaultIcon),
// SetValue(E, "" = T), SetValue(T, "BrowserFlags" = 8),
// SetValue(T, "EditFlags" = 0), SetValue(T\DefaultIcon, "" = icon path ",0").
// 24 key creations and 48 value writes; a failing call is passed over.
void RegisterFileTypes();

}  // namespace glyphary::engine::TiInfo
