// The windows' tables (focus order, controls inside their containers,
// unique IDs) and what the error box says for the errors that can reach it.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "base/error.h"
#include "windows/agreement_window.h"
#include "windows/finish_window.h"
#include "windows/progress_window.h"
#include "windows/splash_window.h"
#include "windows/ui.h"

namespace glyphary::windows {
namespace {

std::vector<int> TabOrder(const ControlTable& table) {
  return std::vector<int>(table.tab_order, table.tab_order + table.tab_count);
}

// The tables list the controls in the order a screen reader lists them;
// the focus goes through those that take it in the same order.
TEST(WindowTables, TheTabKeyFollowsTheOrderAScreenReaderLists) {
  EXPECT_EQ(TabOrder(AgreementWindow::Table()),
            (std::vector<int>{AgreementWindow::kAgreementText, AgreementWindow::kCancel,
                              AgreementWindow::kAccept}));
  EXPECT_EQ(TabOrder(FinishWindow::Table()),
            (std::vector<int>{FinishWindow::kRestart, FinishWindow::kFinish}));
  for (const ControlTable& table : {AgreementWindow::Table(), FinishWindow::Table()}) {
    std::vector<int> listed;
    for (std::size_t i = 0; i < table.count; ++i) {
      if (std::count(table.tab_order, table.tab_order + table.tab_count, table.controls[i].id)) {
        listed.push_back(table.controls[i].id);
      }
    }
    EXPECT_EQ(listed, TabOrder(table));
  }
  // The backdrop and the progress window hold nothing that takes the focus.
  EXPECT_TRUE(TabOrder(SplashWindow::Table()).empty());
  EXPECT_TRUE(TabOrder(ProgressWindow::Table()).empty());
  // Every control in a tab order can take the focus; no other can.
  for (const ControlTable& table : {AgreementWindow::Table(), FinishWindow::Table()}) {
    for (std::size_t i = 0; i < table.count; ++i) {
      const ControlRow& c = table.controls[i];
      const bool focusable = c.kind == ControlKind::kTextBox || c.kind == ControlKind::kButton ||
                             c.kind == ControlKind::kCheckBox;
      EXPECT_EQ(std::count(table.tab_order, table.tab_order + table.tab_count, c.id),
                focusable ? 1 : 0)
          << c.id;
    }
  }
}

TEST(WindowTables, EveryControlOfTheDialogsLiesInsideItsContainer) {
  // The splash title runs past the splash's design width on purpose: that
  // window is always shown maximised.
  for (const ControlTable& table :
       {AgreementWindow::Table(), ProgressWindow::Table(), FinishWindow::Table()}) {
    for (std::size_t i = 0; i < table.count; ++i) {
      const ControlRow& c = table.controls[i];
      SCOPED_TRACE(c.id);
      Box outer{0, 0, table.client.width, table.client.height};
      if (c.container != 0) {
        const ControlRow* frame = std::find_if(
            table.controls, table.controls + table.count,
            [&](const ControlRow& other) { return other.id == c.container; });
        ASSERT_NE(frame, table.controls + table.count);
        EXPECT_EQ(frame->kind, ControlKind::kFrame);
        outer = frame->box;
      }
      EXPECT_GE(c.box.left, 0);
      EXPECT_GE(c.box.top, 0);
      EXPECT_LE(c.box.left + c.box.width, outer.width);
      EXPECT_LE(c.box.top + c.box.height, outer.height);
    }
  }
}

TEST(WindowTables, ControlIdsAreUniqueAcrossTheProgram) {
  std::vector<int> seen;
  for (const ControlTable& table : {SplashWindow::Table(), AgreementWindow::Table(),
                                    ProgressWindow::Table(), FinishWindow::Table()}) {
    for (std::size_t i = 0; i < table.count; ++i) {
      const int id = table.controls[i].id;
      EXPECT_EQ(std::count(seen.begin(), seen.end(), id), 0) << id;
      EXPECT_GT(id, 2) << "IDs 1 and 2 are IDOK and IDCANCEL";
      seen.push_back(id);
    }
  }
}

TEST(ErrorBox, ShowsTheRuntimeErrorsNumberAndDescription) {
  EXPECT_EQ(ErrorBoxText(errors::Make(errors::kPathNotFound)), L"Run-time error '76':\n\nPath not found");
  EXPECT_EQ(ErrorBoxText(errors::Make(errors::kFileNotFound)), L"Run-time error '53':\n\nFile not found");
  EXPECT_EQ(ErrorBoxText(Error(58, L"File already exists")),
            L"Run-time error '58':\n\nFile already exists");
}

TEST(ErrorBox, AddsThePathConcernedAndWhatToDo) {
  Error missing = errors::Make(errors::kPathNotFound);
  missing.At(L"E:\\Glyphary\\Icons").Advise(L"Unpack the whole download.");
  EXPECT_EQ(ErrorBoxText(missing),
            L"Run-time error '76':\n\nPath not found\n\nE:\\Glyphary\\Icons\n\n"
            L"Unpack the whole download.");
  Error refused = errors::Make(errors::kPermissionDenied);
  refused.At(L"HKEY_CLASSES_ROOT\\.89m");
  EXPECT_EQ(ErrorBoxText(refused),
            L"Run-time error '70':\n\nPermission denied\n\nHKEY_CLASSES_ROOT\\.89m");
}

TEST(ErrorBox, ReportsTheWindowsOwnFailuresWithTheirNumbers) {
  // Memory that ran out and a window that could not be made; a resource
  // missing from the exe is named as the path concerned.
  EXPECT_EQ(ErrorBoxText(errors::Make(errors::kOutOfMemory)), L"Run-time error '7':\n\nOut of memory");
  EXPECT_EQ(ErrorBoxText(errors::Make(errors::kInternalError)), L"Run-time error '51':\n\nInternal error");
  Error resource(326, L"Resource not found");
  resource.At(L"resource 203");
  EXPECT_EQ(ErrorBoxText(resource), L"Run-time error '326':\n\nResource not found\n\nresource 203");
}

}  // namespace
}  // namespace glyphary::windows
