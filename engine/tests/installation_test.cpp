// The installation run against the in-memory file system and registry.
#include "engine/installation.h"

#include <gtest/gtest.h>

#include <cwchar>

#include "engine/nd.h"
#include "engine/tests/fake_platform.h"
#include "engine/ti_info.h"

namespace glyphary::engine {
namespace {

using platform::kClassesRootHandle;

const std::wstring kInstall = L"C:\\WINDOWS\\system32\\TI-89";
const std::wstring kProgram = L"C:\\Users\\Ann\\Downloads\\Glyphary";

class InstallationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_.files.AddFolder(L"C:\\WINDOWS\\system32");
    fake_.files.SetProgramFolder(kProgram);
  }

  void AddIcons(const std::wstring& program_folder) {
    for (const auto& row : TiInfo::FileTypes()) {
      fake_.files.AddFile(program_folder + L"\\Icons\\" + row.IconFile,
                          "icon " + std::string(row.IconFile, row.IconFile + wcslen(row.IconFile)));
    }
  }

  // Runs the installation; returns the number of the error it returned (0
  // if none).
  int Run() {
    auto record = [this](std::wstring_view c) { captions_.emplace_back(c); };
    const Error e = RunInstallation(state_, CaptionSink(record));
    raised_ = e.Description();
    path_ = e.Path();
    advice_ = e.Advice();
    return e.Number();
  }

  std::vector<std::wstring> CallsNamed(const std::wstring& prefix) const {
    std::vector<std::wstring> out;
    for (const auto& c : fake_.files.Calls()) {
      if (c.rfind(prefix, 0) == 0) out.push_back(c);
    }
    return out;
  }

  testing::FakePlatform fake_;
  InstallationState state_;
  std::vector<std::wstring> captions_;
  std::wstring raised_;
  std::wstring path_;
  std::wstring advice_;
};

TEST_F(InstallationTest, AFreshRunCreatesTheFolderCopiesEveryIconAndRegisters) {
  AddIcons(kProgram);
  fake_.files.AddFile(kProgram + L"\\Icons\\Extra.ICO", "extra");
  fake_.files.AddFile(kProgram + L"\\Icons\\readme.txt", "text");
  fake_.files.AddFile(kProgram + L"\\Icons\\old\\89mat.ico", "older");

  ASSERT_EQ(Run(), 0) << raised_.size();

  EXPECT_EQ(captions_, (std::vector<std::wstring>{L"Coping Icons...", L"Editing Registry..."}));
  EXPECT_EQ(TextOf(state_.TargetFolder), kInstall);
  std::vector<std::wstring> installed = fake_.files.List(kInstall);
  EXPECT_EQ(installed.size(), 13u);
  EXPECT_EQ(fake_.files.FileBytes(kInstall + L"\\89mat.ico"), "icon 89mat.ico");
  EXPECT_EQ(fake_.files.FileBytes(kInstall + L"\\Extra.ICO"), "extra");
  EXPECT_FALSE(fake_.files.IsFile(kInstall + L"\\readme.txt"));
  EXPECT_FALSE(fake_.files.IsFolder(kInstall + L"\\old"));
  EXPECT_EQ(CallsNamed(L"CopyFile"),
            (std::vector<std::wstring>{L"CopyFile " + kProgram + L"\\Icons\\*.ico -> " + kInstall}));
  EXPECT_EQ(fake_.registry.KeyCount(kClassesRootHandle), 36u);
  EXPECT_EQ(fake_.registry.ValueCount(kClassesRootHandle), 48u);
}

TEST_F(InstallationTest, ARunThatFindsTheFolderPresentDoesNothingAndSaysNothing) {
  AddIcons(kProgram);
  fake_.files.AddFolder(kInstall);

  EXPECT_EQ(Run(), 0);

  EXPECT_TRUE(captions_.empty());
  EXPECT_EQ(TextOf(state_.TargetFolder), L"0");
  EXPECT_TRUE(CallsNamed(L"CopyFile").empty());
  EXPECT_TRUE(fake_.files.List(kInstall).empty());
  EXPECT_TRUE(fake_.registry.Calls().empty());
}

TEST_F(InstallationTest, AFolderThatCannotBeMadeForAnotherReasonIsReportedNotSkipped) {
  AddIcons(kProgram);
  fake_.files.AddFile(kInstall, "a file named TI-89");
  EXPECT_EQ(Run(), errors::kFileAlreadyExists);
  EXPECT_EQ(raised_, L"File already exists");
  EXPECT_EQ(path_, kInstall);
  EXPECT_TRUE(captions_.empty());
  EXPECT_TRUE(fake_.registry.Calls().empty());
  EXPECT_EQ(fake_.files.FileBytes(kInstall), "a file named TI-89");
}

TEST_F(InstallationTest, ASystemFolderThatCannotBeWrittenIsReported) {
  AddIcons(kProgram);
  fake_.files.DenyWrites(L"C:\\WINDOWS\\system32");
  EXPECT_EQ(Run(), errors::kPermissionDenied);
  EXPECT_EQ(raised_, L"Permission denied");
  EXPECT_TRUE(fake_.registry.Calls().empty());
}

TEST_F(InstallationTest, WindowsElsewhereThanCWindowsEndsWithPathNotFound) {
  platform::FakeFileSystem elsewhere(kProgram);
  platform::FileSystemSeam::Override use(elsewhere);
  elsewhere.AddFolder(L"D:\\WINNT\\system32");
  EXPECT_EQ(Run(), errors::kPathNotFound);
  EXPECT_TRUE(captions_.empty());
  EXPECT_TRUE(fake_.registry.Calls().empty());
}

TEST_F(InstallationTest, NoFileSystemObjectEndsWithCannotCreateObject) {
  platform::FileSystemSeam::Override none(nullptr);
  EXPECT_EQ(Run(), errors::kCannotCreateObject);
}

TEST_F(InstallationTest, MissingIconsAreFoundBeforeAnythingIsCreated) {
  // No Icons folder at all: the commonest way there is running the exe from
  // inside the downloaded archive.
  EXPECT_EQ(Run(), errors::kPathNotFound);
  EXPECT_EQ(path_, kProgram + L"\\Icons");
  EXPECT_NE(advice_.find(L"Unpack the whole download"), std::wstring::npos);
  EXPECT_TRUE(captions_.empty());
  EXPECT_TRUE(CallsNamed(L"CreateFolder").empty());
  EXPECT_FALSE(fake_.files.IsFolder(kInstall));
  EXPECT_TRUE(fake_.registry.Calls().empty());

  // An Icons folder without a single icon.
  fake_.files.AddFile(kProgram + L"\\Icons\\readme.txt", "text");
  EXPECT_EQ(Run(), errors::kFileNotFound);
  EXPECT_EQ(raised_, L"File not found");
  EXPECT_EQ(path_, kProgram + L"\\Icons\\*.ico");
  EXPECT_FALSE(advice_.empty());
  EXPECT_TRUE(CallsNamed(L"CreateFolder").empty());

  // Once installed, a run without icons stays the quiet re-run it always was.
  fake_.files.AddFolder(kInstall);
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(TextOf(state_.TargetFolder), L"0");
}

TEST_F(InstallationTest, AFailedCopyRemovesTheNewFolderSoThatACorrectedRerunInstalls) {
  // A copy that breaks off midway takes the files copied before it along.
  AddIcons(kProgram);
  fake_.files.FailCopyOf(L"89pic.ico");
  EXPECT_EQ(Run(), errors::kPermissionDenied);
  EXPECT_EQ(path_, kInstall + L"\\89pic.ico");
  EXPECT_EQ(captions_, (std::vector<std::wstring>{L"Coping Icons..."}));
  EXPECT_FALSE(fake_.files.IsFolder(kInstall));
  EXPECT_FALSE(fake_.files.IsFile(kInstall + L"\\89mat.ico"));
  EXPECT_TRUE(fake_.registry.Calls().empty());

  // Put right, the next run installs normally.
  platform::FakeFileSystem mended(kProgram);
  platform::FileSystemSeam::Override use(mended);
  mended.AddFolder(L"C:\\WINDOWS\\system32");
  for (const auto& row : TiInfo::FileTypes()) {
    mended.AddFile(kProgram + L"\\Icons\\" + row.IconFile, "icon");
  }
  captions_.clear();
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(mended.List(kInstall).size(), 12u);
  EXPECT_EQ(fake_.registry.KeyCount(kClassesRootHandle), 36u);
}

TEST_F(InstallationTest, ARefusedRegistryWriteEndsInItsErrorAndRemovesTheNewFolder) {
  AddIcons(kProgram);
  fake_.registry.RefuseValue(kClassesRootHandle, "Ivex.89t", "BrowserFlags");

  EXPECT_EQ(Run(), errors::kPermissionDenied);
  EXPECT_EQ(raised_, L"Permission denied");
  EXPECT_EQ(path_, L"HKEY_CLASSES_ROOT\\Ivex.89t");
  // The 72 calls are all made, in their order; nothing is claimed: the error
  // goes up instead of the run ending normally, and the folder is gone.
  EXPECT_EQ(fake_.Writes().size(), 72u);
  EXPECT_EQ(captions_, (std::vector<std::wstring>{L"Coping Icons...", L"Editing Registry..."}));
  EXPECT_FALSE(fake_.files.IsFolder(kInstall));

  // The key put right, the next run installs (the folder is absent again).
  platform::FakeRegistry mended;
  platform::RegistrySeam::Override use(mended);
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(mended.ValueCount(kClassesRootHandle), 48u);
  EXPECT_EQ(fake_.files.List(kInstall).size(), 12u);
}

TEST_F(InstallationTest, RemovingTheNewFolderWaitsForAFileHeldForAMomentAndOtherwiseSaysWhatToDo) {
  AddIcons(kProgram);
  fake_.files.FailCopyOf(L"89pic.ico");
  fake_.files.HoldFolder(kInstall, 2);  // a scanner holds a fresh icon twice
  EXPECT_EQ(Run(), errors::kPermissionDenied);
  EXPECT_FALSE(fake_.files.IsFolder(kInstall));
  EXPECT_EQ(CallsNamed(L"Pause"), (std::vector<std::wstring>{L"Pause 100", L"Pause 200"}));
  EXPECT_TRUE(advice_.empty());

  fake_.files.HoldFolder(kInstall, 1000);  // held for good
  EXPECT_EQ(Run(), errors::kPermissionDenied);
  EXPECT_TRUE(fake_.files.IsFolder(kInstall));
  EXPECT_EQ(CallsNamed(L"DeleteFolder").size(), 3u + 5u);  // five tries in all
  EXPECT_EQ(path_, kInstall + L"\\89pic.ico");  // the copy's error stays the one reported
  EXPECT_EQ(advice_, L"The folder " + kInstall +
                         L" could not be removed again. Delete it before running the program again.");
}

TEST_F(InstallationTest, AProgramFolderAtADriveRootCopiesThroughADoubledSeparator) {
  fake_.files.SetProgramFolder(L"E:\\");
  fake_.files.AddFolder(L"E:\\");
  AddIcons(L"E:");

  ASSERT_EQ(Run(), 0);
  EXPECT_EQ(CallsNamed(L"CopyFile"),
            (std::vector<std::wstring>{L"CopyFile E:\\\\Icons\\*.ico -> " + kInstall}));
  EXPECT_EQ(fake_.files.List(kInstall).size(), 12u);
}

TEST(MakeFolder, ReturnsTheNewPathOrZeroAndLeavesFolderHoldingTheSame) {
  testing::FakePlatform fake;
  fake.files.AddFolder(L"C:\\WINDOWS\\system32");

  Variant folder = platform::Folder{L"C:\\WINDOWS\\system32"};
  Error failure(-1, L"not set");
  Variant made = ND::MakeFolder(folder, L"TI-89", &failure);
  EXPECT_EQ(std::get<WideText>(made), kInstall);
  EXPECT_EQ(std::get<platform::Folder>(folder).path, kInstall);
  EXPECT_EQ(failure.Number(), 0);

  Variant again = WideText(L"C:\\WINDOWS\\system32");
  made = ND::MakeFolder(again, L"TI-89", &failure);
  EXPECT_EQ(std::get<WideText>(made), L"0");
  EXPECT_EQ(std::get<WideText>(again), L"0");
  EXPECT_EQ(failure.Number(), errors::kFileAlreadyExists);

  Variant missing = WideText(L"C:\\NoSuchFolder");
  EXPECT_EQ(TextOf(ND::MakeFolder(missing, L"TI-89")), L"0");
}

}  // namespace
}  // namespace glyphary::engine
