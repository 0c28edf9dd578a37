#include "base/decimal.h"

#include <gtest/gtest.h>

#include <limits>

namespace glyphary {
namespace {

TEST(DecimalText, WritesEveryWholeNumberAsTheRuntimeWould) {
  EXPECT_EQ(DecimalText(0), L"0");
  EXPECT_EQ(DecimalText(76), L"76");
  EXPECT_EQ(DecimalText(-1), L"-1");
  EXPECT_EQ(DecimalText(4294967296), L"4294967296");
  EXPECT_EQ(DecimalText(std::numeric_limits<std::int64_t>::max()), L"9223372036854775807");
  EXPECT_EQ(DecimalText(std::numeric_limits<std::int64_t>::min()), L"-9223372036854775808");
}

TEST(ParseDecimal, ReadsDigitsUpToTheLimitAndNothingElse) {
  std::uint64_t n = 1;
  EXPECT_TRUE(ParseDecimal(L"18446744073709551615", ~0ull, n) && n == ~0ull);
  for (const wchar_t* refused : {L"", L"18446744073709551616", L"99999999999999999999", L"-1", L"1 ", L"+2"}) {
    EXPECT_FALSE(ParseDecimal(refused, ~0ull, n)) << ::testing::PrintToString(std::wstring(refused));
  }
  EXPECT_TRUE(ParseDecimal(L"47", 47, n) && n == 47);
  EXPECT_FALSE(ParseDecimal(L"48", 47, n));
  EXPECT_FALSE(ParseDecimal(L"5", 3, n));
  EXPECT_EQ(n, 0u);
}

}  // namespace
}  // namespace glyphary
