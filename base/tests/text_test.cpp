// The owned text buffer and the error value that every layer builds on.
#include <gtest/gtest.h>

#include <string>

#include "base/error.h"
#include "base/path_text.h"
#include "base/text.h"

namespace glyphary {
namespace {

TEST(Text, GrowsKeepingItsTextAndItsTerminatingNul) {
  WideText text;
  EXPECT_TRUE(text.empty());
  EXPECT_EQ(text.c_str()[0], L'\0');  // an empty text is still a C string
  std::wstring expected;
  for (int i = 0; i < 300; ++i) {  // across several reallocations
    text.Append(L"ab").Append(static_cast<wchar_t>(L'0' + i % 10));
    expected += L"ab" + std::wstring(1, static_cast<wchar_t>(L'0' + i % 10));
  }
  EXPECT_EQ(text, expected);
  EXPECT_EQ(text.c_str()[text.size()], L'\0');
  // Appending a part of itself is safe even when the buffer moves.
  text.Append(std::wstring_view(text.c_str(), 2));
  EXPECT_EQ(text.view().substr(text.size() - 2), L"ab");
  text.Resize(3);
  EXPECT_EQ(text, L"ab0");
  EXPECT_EQ(text.c_str()[3], L'\0');
}

TEST(Text, CopiesAreIndependentAndMovesLeaveTheSourceEmpty) {
  WideText original(L"C:\\WINDOWS");
  WideText copy = original;
  copy.Append(L"\\system32");
  EXPECT_EQ(original, L"C:\\WINDOWS");
  EXPECT_EQ(copy, L"C:\\WINDOWS\\system32");
  WideText moved = std::move(copy);
  EXPECT_EQ(moved, L"C:\\WINDOWS\\system32");
  EXPECT_TRUE(copy.empty());  // NOLINT(bugprone-use-after-move): defined to be empty
  EXPECT_EQ(Joined(L"C:\\", moved, L"\\TI-89"), L"C:\\C:\\WINDOWS\\system32\\TI-89");
}

TEST(Text, SplitLastCutsAtTheLastSeparatorOfEitherKind) {
  EXPECT_EQ(SplitLast(L"C:\\Icons\\*.ico"), std::make_pair(std::wstring_view(L"C:\\Icons"),
                                                           std::wstring_view(L"*.ico")));
  EXPECT_EQ(SplitLast(L"C:/a/b").second, L"b");
  EXPECT_EQ(SplitLast(L"name"), std::make_pair(std::wstring_view(), std::wstring_view(L"name")));
  EXPECT_EQ(SplitLast(L"C:\\"), std::make_pair(std::wstring_view(L"C:"), std::wstring_view()));
}

TEST(Error, IsAValueThatTestsTrueOnlyWhenItHoldsAFailure) {
  Error none;
  EXPECT_FALSE(none);
  EXPECT_EQ(none.Number(), 0);
  Error missing = errors::Make(errors::kPathNotFound);
  missing.At(L"E:\\Icons").Advise(L"Unpack the download.");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing.Description(), L"Path not found");
  Error copy = missing;  // errors travel up by value
  EXPECT_EQ(copy.Path(), L"E:\\Icons");
  EXPECT_EQ(copy.Advice(), L"Unpack the download.");
  EXPECT_EQ(errors::NumberForSystemError(5), errors::kPermissionDenied);
  EXPECT_EQ(errors::NumberForSystemError(3), errors::kPathNotFound);
  EXPECT_EQ(errors::NumberForSystemError(1234), errors::kPathFileAccessError);
}

}  // namespace
}  // namespace glyphary
