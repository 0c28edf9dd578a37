// The size experiment's stand-in for std::to_wstring: the decimal text of an
// integer written by hand. std::to_wstring goes through vswprintf, which on
// mingw-w64 is the library's own wide printf with its floating-point code.
#pragma once

#include <string>

inline std::wstring glyphary_size_itow(long long value) {
  wchar_t digits[24];
  wchar_t* end = digits + 24;
  wchar_t* p = end;
  unsigned long long magnitude =
      value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
  do {
    *--p = static_cast<wchar_t>(L'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *--p = L'-';
  return std::wstring(p, end);
}
