// The engine's variant: a value that holds text, a number or a folder
// object. Used as text, a folder stands for its path.
#pragma once

#include <cstdint>
#include <variant>

#include "base/error.h"
#include "base/text.h"
#include "platform/file_system.h"

namespace glyphary::engine {

using Variant = std::variant<WideText, std::int64_t, platform::Folder>;

// The text of a value: the text itself, a number in decimal, a folder's path.
WideText TextOf(const Variant& value);

// A value as a signed 32-bit integer, into `number`: a number of any width
// in range, or a text holding a decimal integer. Error 6 (Overflow) out of
// range, Error 13 (Type mismatch) for a text that is no number or a folder.
Error LongOf(const Variant& value, std::int32_t& number);

}  // namespace glyphary::engine
