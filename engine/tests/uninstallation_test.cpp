// The switches of the command line, and the uninstallation against the
// in-memory file system and registry: what an installation wrote goes, what
// belongs to someone else stays.
#include "engine/uninstallation.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/command_line.h"
#include "engine/installation.h"
#include "engine/tests/fake_platform.h"
#include "engine/ti_info.h"

namespace glyphary::engine {
namespace {

using platform::kClassesRootHandle;

const std::wstring kInstall = L"C:\\WINDOWS\\system32\\TI-89";
const std::wstring kProgram = L"C:\\Downloads\\Glyphary";

std::vector<std::uint8_t> Sz(const std::string& text) {
  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

TEST(CommandLine, SwitchesChooseTheRoadWhateverTheirCaseOrPrefix) {
  EXPECT_EQ(ParseCommandLine(L"").action, Action::kInteractive);
  EXPECT_EQ(ParseCommandLine(L"  \t ").action, Action::kInteractive);
  for (const wchar_t* silent : {L"/S", L"/s", L"-S", L"/quiet", L"-QUIET", L"\"/S\""}) {
    SCOPED_TRACE(::testing::PrintToString(std::wstring(silent)));
    const Options options = ParseCommandLine(silent);
    EXPECT_EQ(options.action, Action::kInstall);
    EXPECT_TRUE(options.silent);
  }
  Options uninstall = ParseCommandLine(L"-Uninstall /s");
  EXPECT_EQ(uninstall.action, Action::kUninstall);
  EXPECT_TRUE(uninstall.silent);
  EXPECT_FALSE(ParseCommandLine(L"/UNINSTALL").silent);
  EXPECT_EQ(ParseCommandLine(L"/?").action, Action::kUsage);
  EXPECT_TRUE(ParseCommandLine(L"/?").unknown.empty());
  // Anything else shows the usage and names what was not understood.
  Options unknown = ParseCommandLine(L"/S /force \"C:\\a b\"");
  EXPECT_EQ(unknown.action, Action::kUsage);
  EXPECT_EQ(unknown.unknown, L"/force");
  EXPECT_TRUE(unknown.silent);
  EXPECT_EQ(ParseCommandLine(L"\"C:\\a b\"").unknown, L"C:\\a b");
  EXPECT_EQ(ParseCommandLine(L"/").unknown, L"/");
}

class UninstallationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_.files.AddFolder(L"C:\\WINDOWS\\system32");
    fake_.files.SetProgramFolder(kProgram);
    for (const auto& row : TiInfo::FileTypes()) {
      fake_.files.AddFile(kProgram + L"\\Icons\\" + row.IconFile, "icon");
    }
  }

  void Install() {
    InstallationState state;
    auto ignore = [](std::wstring_view) {};
    ASSERT_FALSE(RunInstallation(state, CaptionSink(ignore)));
  }

  int Uninstall() { return RunUninstallation(report_).Number(); }

  size_t Notifications() const {
    const auto names = fake_.system.FunctionNames();
    return static_cast<size_t>(std::count(names.begin(), names.end(), "SHChangeNotify"));
  }

  testing::FakePlatform fake_;
  UninstallReport report_;
};

TEST_F(UninstallationTest, AnInstallationTellsTheShellOnceAndOnlyWhenItInstalled) {
  Install();
  EXPECT_EQ(Notifications(), 1u);
  Install();  // the folder is there: nothing done, nothing to tell
  EXPECT_EQ(Notifications(), 1u);
}

TEST_F(UninstallationTest, RemovesEverythingAnInstallationWroteAndAfterwardsInstallsAgain) {
  Install();
  EXPECT_EQ(Uninstall(), 0);
  EXPECT_EQ(fake_.registry.KeyCount(kClassesRootHandle), 0u);
  EXPECT_FALSE(fake_.files.IsFolder(kInstall));
  EXPECT_EQ(report_.types_removed, 12);
  EXPECT_EQ(report_.icons_removed, 12);
  EXPECT_TRUE(report_.folder_removed);
  EXPECT_EQ(Notifications(), 2u);  // installed, removed
  EXPECT_EQ(fake_.registry.OpenHandles(), 0u);

  Install();
  EXPECT_EQ(fake_.registry.ValueCount(kClassesRootHandle), 48u);
  EXPECT_EQ(fake_.files.List(kInstall).size(), 12u);
}

TEST_F(UninstallationTest, LeavesWhatBelongsToSomeoneElse) {
  Install();
  // Another program took over .89p, someone added a value to Ivex.89t and a
  // file to the install folder.
  fake_.registry.Seed(kClassesRootHandle, ".89p", "", platform::kRegSz, Sz("OtherApp.Program"));
  fake_.registry.Seed(kClassesRootHandle, ".89p", "Content Type", platform::kRegSz, Sz("x/y"));
  fake_.registry.Seed(kClassesRootHandle, "Ivex.89t", "", platform::kRegSz, Sz("TI-89 Text"));
  fake_.files.AddFile(kInstall + L"\\notes.txt", "mine");

  EXPECT_EQ(Uninstall(), 0);
  EXPECT_EQ(fake_.registry.Value(kClassesRootHandle, ".89p", "")->data, Sz("OtherApp.Program"));
  EXPECT_TRUE(fake_.registry.Value(kClassesRootHandle, ".89p", "Content Type").has_value());
  EXPECT_EQ(fake_.registry.ValueNames(kClassesRootHandle, "Ivex.89t"),
            (std::vector<std::string>{""}));
  EXPECT_FALSE(fake_.registry.KeyExists(kClassesRootHandle, "Ivex.89t\\DefaultIcon"));
  EXPECT_FALSE(fake_.registry.KeyExists(kClassesRootHandle, "Ivex.89p"));  // ours, gone
  EXPECT_FALSE(fake_.registry.KeyExists(kClassesRootHandle, ".89m"));
  EXPECT_EQ(fake_.registry.KeyCount(kClassesRootHandle), 2u);  // .89p and Ivex.89t
  EXPECT_EQ(fake_.files.List(kInstall), (std::vector<std::wstring>{L"notes.txt"}));
  EXPECT_EQ(report_.extensions_kept, 1);
  EXPECT_EQ(report_.type_keys_kept, 1);
  EXPECT_TRUE(report_.folder_kept);
  EXPECT_FALSE(report_.folder_removed);
}

TEST_F(UninstallationTest, NothingInstalledIsNoFailureAndTellsNobody) {
  fake_.registry.Seed(kClassesRootHandle, ".89m", "", platform::kRegSz, Sz("OtherApp.Matrix"));
  EXPECT_EQ(Uninstall(), 0);
  EXPECT_FALSE(report_.AnythingRemoved());
  EXPECT_EQ(report_.extensions_kept, 1);
  EXPECT_EQ(fake_.registry.Value(kClassesRootHandle, ".89m", "")->data, Sz("OtherApp.Matrix"));
  EXPECT_EQ(Notifications(), 0u);
}

TEST_F(UninstallationTest, AStepThatFailsIsReportedWithTheRestStillRemoved) {
  Install();
  fake_.registry.RefuseValue(kClassesRootHandle, "Ivex.89e", "EditFlags");
  EXPECT_EQ(Uninstall(), errors::kPermissionDenied);
  EXPECT_EQ(RunUninstallation(report_).Path(), L"HKEY_CLASSES_ROOT\\Ivex.89e");
  // Only the refused value and the key that holds it are left.
  EXPECT_EQ(fake_.registry.KeyCount(kClassesRootHandle), 1u);
  EXPECT_EQ(fake_.registry.ValueNames(kClassesRootHandle, "Ivex.89e"),
            (std::vector<std::string>{"EditFlags"}));
  EXPECT_FALSE(fake_.files.IsFolder(kInstall));
}

}  // namespace
}  // namespace glyphary::engine
