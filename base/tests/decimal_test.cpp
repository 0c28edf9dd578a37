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

}  // namespace
}  // namespace glyphary
