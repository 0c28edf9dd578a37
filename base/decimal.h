// Decimal text of whole numbers, written out by hand: the C runtime's wide
// printf would come into the exe for the sake of a few numbers in texts.
#pragma once

#include <cstdint>

#include "base/text.h"

namespace glyphary {

// Appends "-123", "0", "4294967296" to `out`.
void AppendDecimal(WideText& out, std::int64_t number);

// The same as a text of its own.
WideText DecimalText(std::int64_t number);

// Reads `text` as a whole number in decimal digits alone, at most `limit`;
// false (and `number` 0) when it is empty, holds anything else, or is
// larger.
bool ParseDecimal(std::wstring_view text, std::uint64_t limit, std::uint64_t& number);

}  // namespace glyphary
