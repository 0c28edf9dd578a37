// What the error box says for the errors that can reach it.
#include "windows/runtime/runtime.h"

#include <gtest/gtest.h>

#include "base/error.h"

namespace glyphary::windows {
namespace {

WideText BoxFor(const Error& error) { return runtime::ErrorBoxText(error); }

TEST(ErrorBox, ShowsTheRuntimeErrorsNumberAndDescription) {
  EXPECT_EQ(BoxFor(errors::Make(errors::kPathNotFound)), L"Run-time error '76':\n\nPath not found");
  EXPECT_EQ(BoxFor(errors::Make(errors::kFileNotFound)), L"Run-time error '53':\n\nFile not found");
  EXPECT_EQ(BoxFor(Error(58, L"File already exists")),
            L"Run-time error '58':\n\nFile already exists");
}

TEST(ErrorBox, AddsThePathConcernedAndWhatToDo) {
  Error missing = errors::Make(errors::kPathNotFound);
  missing.At(L"E:\\Glyphary\\Icons").Advise(L"Unpack the whole download.");
  EXPECT_EQ(BoxFor(missing),
            L"Run-time error '76':\n\nPath not found\n\nE:\\Glyphary\\Icons\n\n"
            L"Unpack the whole download.");
  Error refused = errors::Make(errors::kPermissionDenied);
  refused.At(L"HKEY_CLASSES_ROOT\\.89m");
  EXPECT_EQ(BoxFor(refused),
            L"Run-time error '70':\n\nPermission denied\n\nHKEY_CLASSES_ROOT\\.89m");
}

TEST(ErrorBox, ReportsTheRuntimesOwnFailuresWithTheirNumbers) {
  // Memory that ran out and a window that could not be made; a resource
  // missing from the exe is named as the path concerned.
  EXPECT_EQ(BoxFor(errors::Make(errors::kOutOfMemory)), L"Run-time error '7':\n\nOut of memory");
  EXPECT_EQ(BoxFor(errors::Make(errors::kInternalError)), L"Run-time error '51':\n\nInternal error");
  Error resource(326, L"Resource not found");
  resource.At(L"resource 203");
  EXPECT_EQ(BoxFor(resource), L"Run-time error '326':\n\nResource not found\n\nresource 203");
}

}  // namespace
}  // namespace glyphary::windows
