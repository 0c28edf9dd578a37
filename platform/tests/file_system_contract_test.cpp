// File-system object semantics that the installation run relies on, checked
// on the stand-in and, under Wine, on the real Win32 implementation.
#include <gtest/gtest.h>

#include <utility>

#include "base/error.h"
#include "base/path_text.h"
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
  // The files `pattern` matches: their number and their size in all.
  std::pair<int, unsigned long long> ListFiles(const std::wstring& pattern) {
    FileList list;
    Check(fs_.ListFiles(pattern, list));
    return {list.names.count(), list.bytes};
  }
  void DeleteFile(const std::wstring& path) { Check(fs_.DeleteFile(path)); }
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

TEST_P(FileSystemContract, ListFilesMatchesFilesByTheirLongNamesInTheFolderItselfOnly) {
  under_test_->MakeFile(In(L"Icons\\89mat.ico"), "mat");
  under_test_->MakeFile(In(L"Icons\\EXTRA.ICO"), "extra");
  under_test_->MakeFile(In(L"Icons\\readme.txt"), "not an icon");
  under_test_->MakeFile(In(L"Icons\\a.icon"), "longer extension");
  under_test_->MakeFile(In(L"Icons\\nested\\deep.ico"), "in a sub-folder");
  under_test_->MakeFolder(In(L"Icons\\folder.ico"));
  under_test_->MakeFolder(In(L"Empty"));
  using Listed = std::pair<int, unsigned long long>;
  EXPECT_EQ(fs().ListFiles(In(L"Icons\\*.ico")), Listed(2, 8));  // 89mat.ico, EXTRA.ICO
  EXPECT_EQ(fs().ListFiles(under_test_->scratch() + L"\\\\Icons\\*.ICO"), Listed(2, 8));
  EXPECT_EQ(fs().ListFiles(In(L"Empty\\*.ico")), Listed(0, 0));
  FileList icons;
  ASSERT_FALSE(under_test_->files().ListFiles(In(L"Icons\\*.ico"), icons));
  EXPECT_TRUE(icons.names.Contains(L"extra.ico"));
  EXPECT_EQ(ErrorNumberOf([&] { fs().ListFiles(In(L"Absent\\*.ico")); }), errors::kPathNotFound);
  EXPECT_EQ(ErrorPathOf([&] { fs().CreateFolder(In(L"Icons")); }), In(L"Icons"));
  FileSystem& files = under_test_->files();
  EXPECT_TRUE(files.FileExists(In(L"ICONS\\89MAT.ICO")));
  EXPECT_FALSE(files.FileExists(In(L"Icons\\folder.ico")));
  EXPECT_FALSE(files.FileExists(In(L"Icons\\absent.ico")));
}

TEST_P(FileSystemContract, DeletingFilesReadOnlyOnesTooAndAnEmptyFolderLeavesOthersFiles) {
  under_test_->MakeFile(In(L"TI-89\\89mat.ico"), "mat");
  under_test_->MakeFile(In(L"TI-89\\89PIC.ICO"), "pic");
  under_test_->MakeReadOnly(In(L"TI-89\\89pic.ico"));  // carried over from a read-only source
  under_test_->MakeFile(In(L"TI-89\\notes.txt"), "not ours");
  fs().DeleteFile(In(L"TI-89\\89mat.ico"));
  fs().DeleteFile(In(L"TI-89\\89pic.ico"));
  fs().DeleteFile(In(L"TI-89\\89pic.ico"));  // missing: no failure
  EXPECT_FALSE(under_test_->ReadFile(In(L"TI-89\\89pic.ico")).has_value());
  EXPECT_FALSE(fs().RemoveEmptyFolder(In(L"TI-89")));  // notes.txt keeps it
  EXPECT_EQ(under_test_->ReadFile(In(L"TI-89\\notes.txt")), "not ours");
  fs().DeleteFile(In(L"TI-89\\notes.txt"));
  EXPECT_TRUE(fs().RemoveEmptyFolder(In(L"TI-89")));
  EXPECT_FALSE(under_test_->IsFolder(In(L"TI-89")));
  EXPECT_EQ(ErrorNumberOf([&] { fs().RemoveEmptyFolder(In(L"TI-89")); }), errors::kPathNotFound);
}

TEST_P(FileSystemContract, AMoveNeverReplacesWhatStandsThereUnlessItSaysSo) {
  // What the caller saw free may be taken by the time of the move: the
  // move itself refuses, and both files stay as they were.
  FileSystem& files = under_test_->files();
  under_test_->MakeFile(In(L"TI-89\\89mat.ico"), "theirs");
  under_test_->MakeFile(In(L"TI-89\\Set aside\\89mat.ico"), "came meanwhile");
  const Error taken = files.MoveFile(In(L"TI-89\\89mat.ico"), In(L"TI-89\\Set aside\\89mat.ico"));
  EXPECT_EQ(taken.Number(), errors::kFileAlreadyExists);
  EXPECT_EQ(taken.Path(), In(L"TI-89\\Set aside\\89mat.ico"));
  EXPECT_EQ(under_test_->ReadFile(In(L"TI-89\\89mat.ico")), "theirs");
  EXPECT_EQ(under_test_->ReadFile(In(L"TI-89\\Set aside\\89mat.ico")), "came meanwhile");
  under_test_->MakeFolder(In(L"TI-89\\folder.ico"));
  EXPECT_EQ(files.MoveFile(In(L"TI-89\\89mat.ico"), In(L"TI-89\\folder.ico")).Number(),
            errors::kFileAlreadyExists);

  EXPECT_FALSE(files.MoveFile(In(L"TI-89\\89mat.ico"), In(L"moved.ico")));
  EXPECT_FALSE(files.FileExists(In(L"TI-89\\89mat.ico")));
  EXPECT_EQ(under_test_->ReadFile(In(L"moved.ico")), "theirs");
  EXPECT_EQ(files.MoveFile(In(L"absent.ico"), In(L"other.ico")).Number(), errors::kFileNotFound);
  EXPECT_EQ(files.MoveFile(In(L"moved.ico"), In(L"absent\\a.ico")).Number(), errors::kPathNotFound);

  EXPECT_FALSE(files.MoveFileReplacing(In(L"moved.ico"), In(L"TI-89\\Set aside\\89mat.ico")));
  EXPECT_EQ(under_test_->ReadFile(In(L"TI-89\\Set aside\\89mat.ico")), "theirs");
  EXPECT_FALSE(files.FileExists(In(L"moved.ico")));
  EXPECT_EQ(files.MoveFileReplacing(In(L"TI-89\\Set aside\\89mat.ico"), In(L"TI-89\\folder.ico")).Number(),
            errors::kPermissionDenied);
  EXPECT_TRUE(under_test_->IsFolder(In(L"TI-89\\folder.ico")));

  WideText temp, program;
  ASSERT_FALSE(files.TempFolder(temp));
  EXPECT_TRUE(files.FolderExists(temp));
  EXPECT_NE(temp.back(), L'\\');
  ASSERT_FALSE(files.ProgramFile(program));
  EXPECT_TRUE(files.FileExists(program));
  // 64-bit Windows (and Wine's 64-bit prefix): the folder 32-bit programs
  // see as the system folder is a folder of its own.
  WideText wow64;
  ASSERT_TRUE(files.Wow64SystemFolder(wow64));
  EXPECT_TRUE(files.FolderExists(wow64));
  EXPECT_TRUE(SameName(SplitLast(wow64).second, L"SysWOW64")) << ::testing::PrintToString(wow64);
  EXPECT_EQ(std::wstring_view(wow64).substr(1, 2), std::wstring_view(L":\\"));
  EXPECT_NE(wow64.back(), L'\\');
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
  using Existing = platform::FileSystem::Existing;
  for (int copy = 0; copy < 2; ++copy) {  // from the start each time, over what is there
    ASSERT_FALSE(files.CopyHeldSource(held, In(L"target\\89mat.ico"), Existing::kReplace));
    EXPECT_EQ(under_test_->ReadFile(In(L"target\\89mat.ico")), "mat");
  }
  EXPECT_EQ(files.CopyHeldSource(held, In(L"absent\\89mat.ico"), Existing::kReplace).Number(), errors::kPathNotFound);
  // Only where no file is: one that appeared there stays as it is.
  under_test_->MakeFile(In(L"target\\theirs.ico"), "theirs");
  EXPECT_EQ(files.CopyHeldSource(held, In(L"target\\theirs.ico"), Existing::kRefuse).Number(), errors::kFileAlreadyExists);
  EXPECT_EQ(under_test_->ReadFile(In(L"target\\theirs.ico")), "theirs");
  ASSERT_FALSE(files.CopyHeldSource(held, In(L"target\\new.ico"), Existing::kRefuse));
  EXPECT_EQ(under_test_->ReadFile(In(L"target\\new.ico")), "mat");
  // A file is the held one's twin by its bytes alone.
  under_test_->MakeFile(In(L"target\\other.ico"), "max");
  EXPECT_TRUE(files.HeldSourceIs(held, In(L"target\\89mat.ico")));
  EXPECT_FALSE(files.HeldSourceIs(held, In(L"target\\other.ico")));
  EXPECT_FALSE(files.HeldSourceIs(held, In(L"target\\absent.ico")));
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

TEST_P(FileSystemContract, TakingADeletionAtTheRestartBackKeepsThoseAskedForMeanwhile) {
  FileSystem& files = under_test_->files();
  under_test_->MakeFile(In(L"TI-89\\89mat.ico"), "mat");
  under_test_->MakeFile(In(L"Other\\setup.tmp"), "theirs");
  ASSERT_FALSE(files.DeleteAtRestart(In(L"TI-89\\89mat.ico")));
  // Another program asks for a deletion while the list is being changed.
  bool asked = false;
  under_test_->SetOtherProgram([&] {
    if (!std::exchange(asked, true)) {
      EXPECT_FALSE(files.DeleteAtRestart(In(L"Other\\setup.tmp")));
    }
  });
  bool kept = false;
  ASSERT_FALSE(files.KeepAtRestart(In(L"TI-89\\89mat.ico"), kept));
  EXPECT_TRUE(kept);
  EXPECT_FALSE(files.DeletesAtRestart(In(L"TI-89\\89mat.ico")));
  EXPECT_TRUE(files.DeletesAtRestart(In(L"Other\\setup.tmp")));
  under_test_->SetOtherProgram(nullptr);
  ASSERT_FALSE(files.KeepAtRestart(In(L"Other\\setup.tmp"), kept));
  EXPECT_TRUE(kept);
}

TEST_P(FileSystemContract, AFileIsKnownByItselfThroughAnyDriveLetterAndMovesOnlyWithinItsVolume) {
  FileSystem& files = under_test_->files();
  under_test_->MakeFile(In(L"TI-89\\GlypharyInstaller.exe"), "MZ");
  under_test_->MakeFile(In(L"TI-89\\copy.exe"), "MZ");  // the same bytes, another file
  EXPECT_TRUE(files.SameFile(In(L"TI-89\\GlypharyInstaller.exe"), In(L"ti-89\\GLYPHARYINSTALLER.EXE")));
  EXPECT_FALSE(files.SameFile(In(L"TI-89\\GlypharyInstaller.exe"), In(L"TI-89\\copy.exe")));
  EXPECT_FALSE(files.SameFile(In(L"TI-89\\absent.exe"), In(L"TI-89\\absent.exe")));
  EXPECT_FALSE(files.SameFile(In(L"TI-89"), In(L"TI-89")));  // a folder is no file
  if (const std::wstring drive = under_test_->ScratchThroughAnotherDrive(); !drive.empty()) {
    EXPECT_TRUE(files.SameFile(drive + L"\\TI-89\\GlypharyInstaller.exe", In(L"TI-89\\GlypharyInstaller.exe")));
    EXPECT_FALSE(files.SameFile(drive + L"\\TI-89\\copy.exe", In(L"TI-89\\GlypharyInstaller.exe")));
  }

  ASSERT_FALSE(files.CreateHiddenFolder(In(L"~moved")));
  EXPECT_TRUE(under_test_->IsHidden(In(L"~moved")));
  EXPECT_EQ(files.CreateHiddenFolder(In(L"~moved")).Number(), errors::kFileAlreadyExists);
  const std::wstring other = under_test_->OtherVolumeFolder();
  if (other.empty()) GTEST_SKIP() << "no second volume here";
  const Error across = files.MoveFileReplacing(In(L"TI-89\\copy.exe"), other + L"\\copy.exe");
  EXPECT_EQ(across.Number(), errors::kPathFileAccessError);
  EXPECT_EQ(across.Path(), In(L"TI-89\\copy.exe"));
  EXPECT_EQ(under_test_->ReadFile(In(L"TI-89\\copy.exe")), "MZ");
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
