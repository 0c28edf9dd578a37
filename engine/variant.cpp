#include "engine/variant.h"

#include "base/decimal.h"

namespace glyphary::engine {

namespace {

constexpr std::int64_t kLongMin = -2147483648LL;
constexpr std::int64_t kLongMax = 2147483647LL;

bool IsSpace(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

Error CheckedLong(std::int64_t n, std::int32_t& number) {
  if (n < kLongMin || n > kLongMax) return errors::Make(errors::kOverflow);
  number = static_cast<std::int32_t>(n);
  return Error();
}

Error ParseLong(std::wstring_view text, std::int32_t& number) {
  size_t i = 0, end = text.size();
  while (i < end && IsSpace(text[i])) ++i;
  while (end > i && IsSpace(text[end - 1])) --end;
  bool negative = false;
  if (i < end && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
  if (i == end) return errors::Make(errors::kTypeMismatch);
  std::int64_t n = 0;
  for (; i < end; ++i) {
    if (text[i] < L'0' || text[i] > L'9') return errors::Make(errors::kTypeMismatch);
    n = n * 10 + (text[i] - L'0');
    if (n > (std::int64_t{1} << 32)) return errors::Make(errors::kOverflow);
  }
  return CheckedLong(negative ? -n : n, number);
}

}  // namespace

WideText TextOf(const Variant& value) {
  if (const auto* text = std::get_if<WideText>(&value)) return *text;
  if (const auto* number = std::get_if<std::int64_t>(&value)) return DecimalText(*number);
  return std::get_if<platform::Folder>(&value)->path;
}

Error LongOf(const Variant& value, std::int32_t& number) {
  if (const auto* n = std::get_if<std::int64_t>(&value)) return CheckedLong(*n, number);
  if (const auto* text = std::get_if<WideText>(&value)) return ParseLong(*text, number);
  return errors::Make(errors::kTypeMismatch);
}

}  // namespace glyphary::engine
