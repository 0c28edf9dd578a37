#include "base/path_text.h"

#include <gtest/gtest.h>

namespace glyphary {
namespace {

TEST(WildcardMatch, MatchesAsWindowsFileNamesDo) {
  EXPECT_TRUE(WildcardMatch(L"*.ico", L"89mat.ico"));
  EXPECT_TRUE(WildcardMatch(L"*.ico", L"89MAT.ICO"));
  EXPECT_TRUE(WildcardMatch(L"*.ICO", L"\u00e9t\u00e9.ico"));
  EXPECT_TRUE(WildcardMatch(L"*.ico", L".ico"));
  EXPECT_TRUE(WildcardMatch(L"89???.ico", L"89mat.ico"));
  EXPECT_TRUE(WildcardMatch(L"*a*b*", L"xaxxbx"));
  EXPECT_FALSE(WildcardMatch(L"*.ico", L"89mat.icon"));
  EXPECT_FALSE(WildcardMatch(L"*.ico", L"89mat.ic"));
  EXPECT_FALSE(WildcardMatch(L"89???.ico", L"89func.ico"));
  EXPECT_FALSE(WildcardMatch(L"*.ico", L"icons.txt"));
}

TEST(WildcardMatch, StaysLinearOnPathologicalPatterns) {
  std::wstring name(5000, L'a');
  EXPECT_FALSE(WildcardMatch(L"*a*a*a*a*a*a*a*a*b", name));
}

}  // namespace
}  // namespace glyphary
