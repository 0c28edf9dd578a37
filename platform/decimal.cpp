#include "platform/decimal.h"

namespace glyphary {

std::wstring DecimalText(std::int64_t number) {
  // Work on the magnitude as unsigned, so that INT64_MIN needs no special case.
  std::uint64_t magnitude = number < 0 ? 0 - static_cast<std::uint64_t>(number)
                                       : static_cast<std::uint64_t>(number);
  wchar_t digits[21];
  int at = 21;
  do {
    digits[--at] = static_cast<wchar_t>(L'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (number < 0) digits[--at] = L'-';
  return std::wstring(digits + at, digits + 21);
}

}  // namespace glyphary
