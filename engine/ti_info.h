// Module TiInfo: the twelve TI-89 variable file types and their registration
// under HKEY_CLASSES_ROOT.
#pragma once

#include <array>

#include "base/text.h"
#include "platform/registry.h"

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

// The first call of RegisterFileTypes that failed: its status and the key it
// was made on. Status 0 when every call succeeded.
struct RegistryFailure {
  enum class Key { kExtension, kType, kDefaultIcon };

  platform::Status status = platform::kErrorSuccess;
  const FileTypeRow* row = nullptr;
  Key key = Key::kExtension;

  explicit operator bool() const { return status != platform::kErrorSuccess; }
  // "HKEY_CLASSES_ROOT\Ivex.89m\DefaultIcon", for the error box.
  WideText KeyPath() const;
};

// For every row, in order: CreateKey(E), CreateKey(T\DefaultIcon),
// SetValue(E, "" = T), SetValue(T, "BrowserFlags" = 8),
// SetValue(T, "EditFlags" = 0), SetValue(T\DefaultIcon, "" = icon path ",0").
// 24 key creations and 48 value writes, all of them made whatever one
// returns; the first that failed is returned.
[[nodiscard]] RegistryFailure RegisterFileTypes();

}  // namespace glyphary::engine::TiInfo
