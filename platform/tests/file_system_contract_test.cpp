// File-system object semantics that the installation run relies on, checked
// on the stand-in and, under Wine, on the real Win32 implementation.
#include <gtest/gtest.h>

#include "base/error.h"
#include "platform/tests/contract.h"

namespace glyphary::platform::testing {
namespace {

// The Error number that `action` throws, or 0 when it throws nothing.
template <class Action>
int ErrorNumberOf(Action action) {
  try {
    action();
  } catch (const Error& e) {
    return e.Number();
  }
  return 0;
}

// The path the Error that `action` throws concerns.
template <class Action>
std::wstring ErrorPathOf(Action action) {
  try {
    action();
  } catch (const Error& e) {
    return std::wstring(e.Path());
  }
  return L"(nothing thrown)";
}

// The file system as these tests call it: results come back as values and
// an Error as an exception, so that each case reads as one expression.
class Calls {
 public:
  explicit Calls(FileSystem& fs) : fs_(fs) {}
  void CreateFolder(const std::wstring& path) { Check(fs_.CreateFolder(path)); }
  void CopyFiles(const std::wstring& pattern, const std::wstring& destination) {
    Check(fs_.CopyFiles(pattern, destination));
  }
  int CountFiles(const std::wstring& pattern) {
    int count = -1;
    Check(fs_.CountFiles(pattern, count));
    return count;
  }
  void DeleteFolder(const std::wstring& path) { Check(fs_.DeleteFolder(path)); }
  int DeleteFiles(const std::wstring& pattern) {
    int deleted = -1;
    Check(fs_.DeleteFiles(pattern, deleted));
    return deleted;
  }
  bool RemoveEmptyFolder(const std::wstring& path) {
    bool removed = false;
    Check(fs_.RemoveEmptyFolder(path, removed));
    return removed;
  }
  bool FolderExists(const std::wstring& path) { return fs_.FolderExists(path); }

 private:
  static void Check(Error error) {
    if (error) throw error;
  }
  FileSystem& fs_;
};

class FileSystemContract : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (GetParam() == "fake") under_test_ = MakeFakeFileSystemUnderTest();
#ifdef _WIN32
    if (GetParam() == "win32") under_test_ = MakeWin32FileSystemUnderTest();
#endif
    ASSERT_NE(under_test_, nullptr);
  }

  Calls fs() { return Calls(under_test_->files()); }
  std::wstring In(const std::wstring& rest) const { return under_test_->scratch() + L"\\" + rest; }

  std::unique_ptr<FileSystemUnderTest> under_test_;
};

TEST_P(FileSystemContract, FolderExistsForAFolderOnlyWithOrWithoutTrailingSeparator) {
  under_test_->MakeFolder(In(L"system32"));
  EXPECT_TRUE(fs().FolderExists(In(L"system32")));
  EXPECT_TRUE(fs().FolderExists(In(L"system32\\")));
  EXPECT_TRUE(fs().FolderExists(In(L"SYSTEM32")));

  under_test_->MakeFile(In(L"plain.txt"), "x");
  EXPECT_FALSE(fs().FolderExists(In(L"plain.txt")));
  EXPECT_FALSE(fs().FolderExists(In(L"absent")));
}

TEST_P(FileSystemContract, CreateFolderMakesOnlyAnAbsentFolderInAnExistingParent) {
  fs().CreateFolder(In(L"TI-89"));
  EXPECT_TRUE(under_test_->IsFolder(In(L"TI-89")));
  EXPECT_TRUE(fs().FolderExists(In(L"ti-89")));

  EXPECT_EQ(ErrorNumberOf([&] { fs().CreateFolder(In(L"TI-89")); }), errors::kFileAlreadyExists);
  under_test_->MakeFile(In(L"blocker"), "a file, not a folder");
  EXPECT_EQ(ErrorNumberOf([&] { fs().CreateFolder(In(L"blocker")); }), errors::kFileAlreadyExists);
  EXPECT_FALSE(fs().FolderExists(In(L"blocker")));
  EXPECT_EQ(ErrorNumberOf([&] { fs().CreateFolder(In(L"no\\such\\parent")); }),
            errors::kPathNotFound);
  EXPECT_FALSE(fs().FolderExists(In(L"no")));
}

TEST_P(FileSystemContract, WildcardCopyTakesMatchingFilesOnlyAndOverwrites) {
  under_test_->MakeFile(In(L"Icons\\89mat.ico"), "mat");
  under_test_->MakeFile(In(L"Icons\\EXTRA.ICO"), "extra");
  under_test_->MakeFile(In(L"Icons\\readme.txt"), "not an icon");
  under_test_->MakeFile(In(L"Icons\\a.icon"), "longer extension");
  under_test_->MakeFile(In(L"Icons\\nested\\deep.ico"), "in a sub-folder");
  under_test_->MakeFolder(In(L"Icons\\folder.ico"));
  under_test_->MakeFolder(In(L"target"));
  under_test_->MakeFile(In(L"target\\89mat.ico"), "old");

  fs().CopyFiles(In(L"Icons\\*.ico"), In(L"target"));

  EXPECT_EQ(under_test_->ReadFile(In(L"target\\89mat.ico")), "mat");
  EXPECT_EQ(under_test_->ReadFile(In(L"target\\EXTRA.ICO")), "extra");
  EXPECT_FALSE(under_test_->ReadFile(In(L"target\\readme.txt")).has_value());
  EXPECT_FALSE(under_test_->ReadFile(In(L"target\\a.icon")).has_value());
  EXPECT_FALSE(under_test_->ReadFile(In(L"target\\deep.ico")).has_value());
  EXPECT_FALSE(under_test_->IsFolder(In(L"target\\folder.ico")));
  EXPECT_FALSE(under_test_->IsFolder(In(L"target\\nested")));
}

TEST_P(FileSystemContract, WildcardCopyFailuresCarryTheirNumbers) {
  under_test_->MakeFolder(In(L"target"));
  under_test_->MakeFolder(In(L"Empty"));
  under_test_->MakeFile(In(L"Empty\\note.txt"), "x");
  under_test_->MakeFile(In(L"Icons\\89mat.ico"), "mat");

  EXPECT_EQ(ErrorNumberOf([&] { fs().CopyFiles(In(L"Empty\\*.ico"), In(L"target")); }),
            errors::kFileNotFound);
  EXPECT_EQ(ErrorNumberOf([&] { fs().CopyFiles(In(L"Absent\\*.ico"), In(L"target")); }),
            errors::kPathNotFound);
  EXPECT_EQ(ErrorNumberOf([&] { fs().CopyFiles(In(L"Icons\\*.ico"), In(L"no-target")); }),
            errors::kPathNotFound);
  // Each names what it concerns, for the error box.
  EXPECT_EQ(ErrorPathOf([&] { fs().CopyFiles(In(L"Empty\\*.ico"), In(L"target")); }),
            In(L"Empty\\*.ico"));
  EXPECT_EQ(ErrorPathOf([&] { fs().CopyFiles(In(L"Icons\\*.ico"), In(L"no-target")); }),
            In(L"no-target"));
  EXPECT_EQ(ErrorPathOf([&] { fs().CreateFolder(In(L"Icons")); }), In(L"Icons"));
}

TEST_P(FileSystemContract, CountFilesCountsWhatAWildcardCopyWouldTake) {
  under_test_->MakeFile(In(L"Icons\\89mat.ico"), "mat");
  under_test_->MakeFile(In(L"Icons\\EXTRA.ICO"), "extra");
  under_test_->MakeFile(In(L"Icons\\a.icon"), "longer extension");
  under_test_->MakeFile(In(L"Icons\\nested\\deep.ico"), "in a sub-folder");
  under_test_->MakeFolder(In(L"Icons\\folder.ico"));
  under_test_->MakeFolder(In(L"Empty"));
  EXPECT_EQ(fs().CountFiles(In(L"Icons\\*.ico")), 2);
  EXPECT_EQ(fs().CountFiles(In(L"Empty\\*.ico")), 0);
  EXPECT_EQ(ErrorNumberOf([&] { fs().CountFiles(In(L"Absent\\*.ico")); }), errors::kPathNotFound);
}

TEST_P(FileSystemContract, DoubledSeparatorsInASourcePatternStillWork) {
  under_test_->MakeFile(In(L"Icons\\89pic.ico"), "pic");
  under_test_->MakeFolder(In(L"target"));
  fs().CopyFiles(under_test_->scratch() + L"\\\\Icons\\*.ico", In(L"target"));
  EXPECT_EQ(under_test_->ReadFile(In(L"target\\89pic.ico")), "pic");
}

TEST_P(FileSystemContract, DeleteFolderRemovesTheWholeTree) {
  under_test_->MakeFile(In(L"TI-89\\89mat.ico"), "mat");
  under_test_->MakeFile(In(L"TI-89\\sub\\x.ico"), "x");
  fs().DeleteFolder(In(L"TI-89"));
  EXPECT_FALSE(under_test_->IsFolder(In(L"TI-89")));
  EXPECT_TRUE(under_test_->IsFolder(under_test_->scratch()));
  EXPECT_EQ(ErrorNumberOf([&] { fs().DeleteFolder(In(L"TI-89")); }), errors::kPathNotFound);
}

TEST_P(FileSystemContract, DeletingFilesAndAnEmptyFolderLeavesOthersFiles) {
  under_test_->MakeFile(In(L"TI-89\\89mat.ico"), "mat");
  under_test_->MakeFile(In(L"TI-89\\89PIC.ICO"), "pic");
  under_test_->MakeReadOnly(In(L"TI-89\\89pic.ico"));  // carried over from a read-only source
  under_test_->MakeFile(In(L"TI-89\\notes.txt"), "not ours");
  EXPECT_EQ(fs().DeleteFiles(In(L"TI-89\\*.ico")), 2);
  EXPECT_FALSE(under_test_->ReadFile(In(L"TI-89\\89pic.ico")).has_value());
  EXPECT_FALSE(fs().RemoveEmptyFolder(In(L"TI-89")));  // notes.txt keeps it
  EXPECT_EQ(under_test_->ReadFile(In(L"TI-89\\notes.txt")), "not ours");
  EXPECT_EQ(fs().DeleteFiles(In(L"TI-89\\*.txt")), 1);
  EXPECT_TRUE(fs().RemoveEmptyFolder(In(L"TI-89")));
  EXPECT_FALSE(under_test_->IsFolder(In(L"TI-89")));
  EXPECT_EQ(ErrorNumberOf([&] { fs().RemoveEmptyFolder(In(L"TI-89")); }), errors::kPathNotFound);
  EXPECT_EQ(ErrorNumberOf([&] { fs().DeleteFiles(In(L"TI-89\\*.ico")); }), errors::kPathNotFound);
}

TEST_P(FileSystemContract, DeleteFolderTakesReadOnlyFilesToo) {
  // A read-only source icon carries its attribute into the install folder.
  under_test_->MakeFile(In(L"TI-89\\89mat.ico"), "mat");
  under_test_->MakeReadOnly(In(L"TI-89\\89mat.ico"));
  fs().DeleteFolder(In(L"TI-89"));
  EXPECT_FALSE(under_test_->IsFolder(In(L"TI-89")));
}

TEST_P(FileSystemContract, SingleFilesAreListedCopiedMovedAndDeleted) {
  FileSystem& files = under_test_->files();
  under_test_->MakeFile(In(L"Icons\\89mat.ico"), "mat");
  under_test_->MakeFile(In(L"Icons\\89PIC.ICO"), "pic!");
  under_test_->MakeFolder(In(L"Icons\\folder.ico"));
  under_test_->MakeFile(In(L"target\\old.ico"), "old");
  FileList icons;
  ASSERT_FALSE(files.ListFiles(In(L"Icons\\*.ico"), icons));
  EXPECT_EQ(icons.names.count(), 2);
  EXPECT_EQ(icons.bytes, 7u);
  EXPECT_TRUE(icons.names.Contains(L"89pic.ico"));
  EXPECT_TRUE(files.FileExists(In(L"ICONS\\89MAT.ICO")));
  EXPECT_FALSE(files.FileExists(In(L"Icons\\folder.ico")));
  EXPECT_FALSE(files.FileExists(In(L"Icons\\absent.ico")));

  EXPECT_FALSE(files.CopyFile(In(L"Icons\\89mat.ico"), In(L"target\\89mat.ico")));
  EXPECT_FALSE(files.CopyFile(In(L"Icons\\89PIC.ICO"), In(L"target\\old.ico")));  // overwrites
  EXPECT_EQ(under_test_->ReadFile(In(L"target\\89mat.ico")), "mat");
  EXPECT_EQ(under_test_->ReadFile(In(L"target\\old.ico")), "pic!");
  EXPECT_EQ(files.CopyFile(In(L"Icons\\absent.ico"), In(L"target\\a.ico")).Number(),
            errors::kFileNotFound);
  EXPECT_EQ(files.CopyFile(In(L"Icons\\89mat.ico"), In(L"absent\\a.ico")).Number(),
            errors::kPathNotFound);

  EXPECT_FALSE(files.MoveFile(In(L"target\\89mat.ico"), In(L"moved.ico")));
  EXPECT_FALSE(files.FileExists(In(L"target\\89mat.ico")));
  EXPECT_EQ(under_test_->ReadFile(In(L"moved.ico")), "mat");
  under_test_->MakeReadOnly(In(L"moved.ico"));
  EXPECT_FALSE(files.DeleteFile(In(L"moved.ico")));
  EXPECT_FALSE(files.FileExists(In(L"moved.ico")));
  EXPECT_FALSE(files.DeleteFile(In(L"moved.ico")));  // missing: no failure

  WideText temp, program;
  ASSERT_FALSE(files.TempFolder(temp));
  EXPECT_TRUE(files.FolderExists(temp));
  EXPECT_NE(temp.back(), L'\\');
  ASSERT_FALSE(files.ProgramFile(program));
  EXPECT_TRUE(files.FileExists(program));
}

TEST_P(FileSystemContract, AHeldSourceIsCopiedFromItsHandleAndNobodyMovesOrDeletesItMeanwhile) {
  FileSystem& files = under_test_->files();
  under_test_->MakeFile(In(L"Icons\\89mat.ico"), "mat");
  under_test_->MakeFolder(In(L"target"));
  int held = -1;
  unsigned long long size = 0;
  ASSERT_FALSE(files.HoldSource(In(L"Icons\\89mat.ico"), held, size));
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(files.HoldSource(In(L"Icons\\absent.ico"), held, size).Number(), errors::kFileNotFound);
  // The name cannot be taken away from the file while it is held.
  EXPECT_EQ(files.MoveFile(In(L"Icons\\89mat.ico"), In(L"Icons\\other.ico")).Number(),
            errors::kPermissionDenied);
  EXPECT_EQ(files.DeleteFile(In(L"Icons\\89mat.ico")).Number(), errors::kPermissionDenied);
  ASSERT_FALSE(files.HoldSource(In(L"Icons\\89mat.ico"), held, size));  // others may read it
  for (int copy = 0; copy < 2; ++copy) {  // from the start each time, over what is there
    ASSERT_FALSE(files.CopyHeldSource(held, In(L"target\\89mat.ico")));
    EXPECT_EQ(under_test_->ReadFile(In(L"target\\89mat.ico")), "mat");
  }
  EXPECT_EQ(files.CopyHeldSource(held, In(L"absent\\89mat.ico")).Number(), errors::kPathNotFound);
  files.ReleaseSources();
  EXPECT_FALSE(files.DeleteFile(In(L"Icons\\89mat.ico")));
}

TEST_P(FileSystemContract, ADeletionAtTheRestartCanBeTakenBackAndNoOtherWithIt) {
  FileSystem& files = under_test_->files();
  under_test_->MakeFile(In(L"TI-89\\89mat.ico"), "mat");
  under_test_->MakeFile(In(L"TI-89\\89pic.ico"), "pic");
  EXPECT_FALSE(files.DeletesAtRestart(In(L"TI-89")));
  ASSERT_FALSE(files.DeleteAtRestart(In(L"TI-89\\89mat.ico")));
  EXPECT_TRUE(files.DeletesAtRestart(In(L"ti-89\\89MAT.ICO")));  // names compare as Windows does
  EXPECT_TRUE(files.DeletesAtRestart(In(L"TI-89")));             // something in it
  EXPECT_FALSE(files.DeletesAtRestart(In(L"TI-8")));             // a name's start is no folder
  ASSERT_FALSE(files.DeleteAtRestart(In(L"TI-89\\89pic.ico")));
  ASSERT_FALSE(files.DeleteAtRestart(In(L"TI-89")));

  bool kept = false;
  EXPECT_FALSE(files.KeepAtRestart(In(L"TI-89\\89mat.ico"), kept));
  EXPECT_TRUE(kept);
  EXPECT_FALSE(files.KeepAtRestart(In(L"TI-89"), kept));
  EXPECT_TRUE(kept);
  EXPECT_FALSE(files.DeletesAtRestart(In(L"TI-89\\89mat.ico")));
  EXPECT_TRUE(files.DeletesAtRestart(In(L"TI-89\\89pic.ico")));  // the others' stay
  EXPECT_TRUE(files.DeletesAtRestart(In(L"TI-89")));
  EXPECT_FALSE(files.KeepAtRestart(In(L"TI-89\\absent.ico"), kept));  // none: no failure
  EXPECT_FALSE(kept);
  EXPECT_FALSE(files.KeepAtRestart(In(L"TI-89\\89pic.ico"), kept));
  EXPECT_FALSE(files.DeletesAtRestart(In(L"TI-89")));
}

TEST_P(FileSystemContract, APathIsMadeFullAgainstTheCurrentFolder) {
  WideText full;
  ASSERT_FALSE(under_test_->files().FullPathOf(L"logs\\install.log", full));
  EXPECT_EQ(std::wstring(full.view()), under_test_->CurrentFolder() + L"\\logs\\install.log");
  ASSERT_FALSE(under_test_->files().FullPathOf(In(L"install.log"), full));
  EXPECT_EQ(std::wstring(full.view()), In(L"install.log"));  // full already: as it was
}

INSTANTIATE_TEST_SUITE_P(Implementations, FileSystemContract,
                         ::testing::ValuesIn(Implementations()),
                         [](const auto& param_info) { return param_info.param; });

}  // namespace
}  // namespace glyphary::platform::testing
