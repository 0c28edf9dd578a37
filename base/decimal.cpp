#include "base/decimal.h"

namespace glyphary {

void AppendDecimal(WideText& out, std::int64_t number) {
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
  out.Append(std::wstring_view(digits + at, static_cast<std::size_t>(21 - at)));
}

WideText DecimalText(std::int64_t number) {
  WideText out;
  AppendDecimal(out, number);
  return out;
}

bool ParseDecimal(std::wstring_view text, std::uint64_t limit, std::uint64_t& number) {
  number = 0;
  if (text.empty()) return false;
  for (wchar_t c : text) {
    const unsigned digit = static_cast<unsigned>(c - L'0');
    if (digit > 9 || digit > limit || number > (limit - digit) / 10) {
      number = 0;
      return false;
    }
    number = number * 10 + digit;
  }
  return true;
}

}  // namespace glyphary
