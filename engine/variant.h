// The engine's variant: a value that holds text, a number or a folder
// object. Used as text, a folder stands for its path.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "platform/file_system.h"

namespace glyphary::engine {

using Variant = std::variant<std::wstring, std::int64_t, platform::Folder>;

// The text of a value: the text itself, a number in decimal, a folder's path.
std::wstring TextOf(const Variant& value);

// A value as a signed 32-bit integer: a number of any width in range, or a
// text holding a decimal integer. Throws Error 6 (Overflow) out of range and
// Error 13 (Type mismatch) for a text that is no number or for a folder.
std::int32_t LongOf(const Variant& value);

}  // namespace glyphary::engine
