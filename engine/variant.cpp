#include "engine/variant.h"

#include <cwctype>
#include <limits>

#include "platform/decimal.h"
#include "platform/error.h"

namespace glyphary::engine {

namespace {

std::int32_t CheckedLong(std::int64_t n) {
  if (n < std::numeric_limits<std::int32_t>::min() || n > std::numeric_limits<std::int32_t>::max()) {
    throw errors::Make(errors::kOverflow);
  }
  return static_cast<std::int32_t>(n);
}

std::int32_t ParseLong(const std::wstring& text) {
  size_t i = 0, end = text.size();
  while (i < end && std::iswspace(static_cast<wint_t>(text[i]))) ++i;
  while (end > i && std::iswspace(static_cast<wint_t>(text[end - 1]))) --end;
  bool negative = false;
  if (i < end && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
  if (i == end) throw errors::Make(errors::kTypeMismatch);
  std::int64_t n = 0;
  for (; i < end; ++i) {
    if (text[i] < L'0' || text[i] > L'9') throw errors::Make(errors::kTypeMismatch);
    n = n * 10 + (text[i] - L'0');
    if (n > (std::int64_t{1} << 32)) throw errors::Make(errors::kOverflow);
  }
  return CheckedLong(negative ? -n : n);
}

}  // namespace

std::wstring TextOf(const Variant& value) {
  if (const auto* text = std::get_if<std::wstring>(&value)) return *text;
  if (const auto* number = std::get_if<std::int64_t>(&value)) return DecimalText(*number);
  return std::get<platform::Folder>(value).path;
}

std::int32_t LongOf(const Variant& value) {
  if (const auto* number = std::get_if<std::int64_t>(&value)) return CheckedLong(*number);
  if (const auto* text = std::get_if<std::wstring>(&value)) return ParseLong(*text);
  throw errors::Make(errors::kTypeMismatch);
}

}  // namespace glyphary::engine
