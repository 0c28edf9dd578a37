// Decimal text of whole numbers, written out by hand: std::to_wstring would
// bring the C runtime's wide printf into the exe for the sake of a few
// numbers in error texts.
#pragma once

#include <cstdint>
#include <string>

namespace glyphary {

// "-123", "0", "4294967296".
std::wstring DecimalText(std::int64_t number);

}  // namespace glyphary
