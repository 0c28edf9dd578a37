// The switches of the command line, and the uninstallation against the
// in-memory file system and registry: what an installation wrote goes, what
// belongs to someone else stays.
#include "engine/uninstallation.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/command_line.h"
#include "engine/installation.h"
#include "engine/package_owner.h"
#include "engine/product.h"
#include "engine/transaction/transaction.h"
#include "engine/tests/fake_platform.h"

namespace glyphary::engine {
namespace {

using testing::Seed;
using testing::StoredText;
using Names = std::vector<std::wstring>;

constexpr platform::RegistryRoot kRoot = platform::RegistryRoot::kClassesRoot;
constexpr platform::RegistryRoot kMachine = platform::RegistryRoot::kLocalMachine;
const std::wstring kRecord = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\GlypharyInstaller";
const std::wstring kInstall = L"C:\\WINDOWS\\system32\\TI-89";
const std::wstring kProgram = L"C:\\Downloads\\Glyphary";

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
  // For the account alone, with any road.
  for (const wchar_t* user : {L"/user", L"-CurrentUser", L"/USER \"\""}) {
    EXPECT_TRUE(ParseCommandLine(user).per_user);
    EXPECT_EQ(ParseCommandLine(user).action, Action::kInteractive);
  }
  Options quiet_user = ParseCommandLine(L"/uninstall /user /S");
  EXPECT_EQ(quiet_user.action, Action::kUninstall);
  EXPECT_TRUE(quiet_user.per_user && quiet_user.silent);
  EXPECT_FALSE(ParseCommandLine(L"/S").per_user);
  EXPECT_EQ(ParseCommandLine(L"/users").unknown, L"/users");
  // A log, where the default one or the one named.
  EXPECT_FALSE(ParseCommandLine(L"/S").log);
  for (const auto& [line, path] : {std::pair{L"/S /LOG", L""}, {L"-log= /S", L""},
                                   {L"/S \"/Log=C:\\Logs\\a b.log\"", L"C:\\Logs\\a b.log"}}) {
    const Options logged = ParseCommandLine(line);
    EXPECT_EQ(logged.action, Action::kInstall) << ::testing::PrintToString(std::wstring(line));
    EXPECT_TRUE(logged.log);
    EXPECT_EQ(logged.log_path, path);
  }
  EXPECT_EQ(ParseCommandLine(L"/LOGS").unknown, L"/LOGS");
}

class UninstallationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_.files.AddFolder(L"C:\\WINDOWS\\system32");
    fake_.files.SetProgramFolder(kProgram);
    for (const wchar_t* icon : {L"89mat.ico", L"89dat.ico", L"89gdb.ico", L"89exp.ico",
                                L"89func.ico", L"89prog.ico", L"89str.ico", L"89text.ico",
                                L"89asm.ico", L"89group.ico", L"89list.ico", L"89pic.ico"}) {
      fake_.files.AddFile(kProgram + L"\\Icons\\" + icon, "icon");
    }
  }

  void Install() {
    auto ignore = [](InstallStage) {};
    ASSERT_FALSE(RunInstallation(fake_.platform, kMachineTarget, StageSink(ignore)));
  }

  Error Uninstall() { return RunUninstallation(fake_.platform, kMachineTarget, report_); }

  int Notifications() const { return fake_.system.Count("NotifyAssociationsChanged"); }

  // What the last uninstallation named as not data the record may hold.
  Names Ignored() const {
    Names ignored;
    report_.ignored.ForEach([&](std::wstring_view entry) { ignored.emplace_back(entry); });
    return ignored;
  }

  testing::FakePlatform fake_;
  UninstallReport report_;
};

TEST_F(UninstallationTest, RemovesEverythingAnInstallationWroteAndAfterwardsInstallsAgain) {
  Install();
  EXPECT_EQ(FindInstallation(fake_.platform, kMachineTarget), Installed::kRecorded);
  EXPECT_FALSE(Uninstall());
  EXPECT_EQ(fake_.registry.KeyCount(kRoot), 0u);
  EXPECT_FALSE(fake_.registry.KeyExists(kMachine, kRecord));
  EXPECT_FALSE(fake_.files.IsFolder(kInstall));
  EXPECT_EQ(report_.registry.types_removed, 12);
  EXPECT_EQ(report_.registry.values_kept + report_.registry.keys_kept, 0);
  EXPECT_EQ(report_.files_removed, 13);  // the icons and the uninstaller
  EXPECT_TRUE(report_.folder_removed);
  EXPECT_FALSE(report_.folder_kept);
  EXPECT_FALSE(report_.RestartNeeded());
  EXPECT_EQ(Notifications(), 2);  // installed, removed
  EXPECT_EQ(FindInstallation(fake_.platform, kMachineTarget), Installed::kNothing);

  Install();
  EXPECT_EQ(fake_.registry.ValueCount(kRoot), 48u);
  EXPECT_EQ(fake_.files.List(kInstall).size(), 13u);
}

TEST_F(UninstallationTest, LeavesWhatBelongsToSomeoneElseAndPutsBackWhatTheInstallationReplaced) {
  Seed(fake_.registry, L".89d", L"", L"OtherApp.Data");
  // Exactly as ours, left by another installation of the same types.
  Seed(fake_.registry, L".89c", L"", L"Ivex.89c");
  Seed(fake_.registry, L"Ivex.89c", L"BrowserFlags", 8);
  // Keys that were there, empty.
  ASSERT_FALSE(fake_.registry.CreateKey(kRoot, L".89e"));
  ASSERT_FALSE(fake_.registry.CreateKey(kRoot, L"Ivex.89s\\DefaultIcon"));
  Install();
  // Since: another program took over .89p, someone added a value to
  // Ivex.89t and a file to the install folder.
  Seed(fake_.registry, L".89p", L"", L"OtherApp.Program");
  Seed(fake_.registry, L".89p", L"Content Type", L"x/y");
  Seed(fake_.registry, L"Ivex.89t", L"", L"TI-89 Text");
  fake_.files.AddFile(kInstall + L"\\notes.txt", "mine");

  EXPECT_FALSE(Uninstall());
  EXPECT_EQ(fake_.registry.Value(kRoot, L".89d", L""), StoredText(L"", L"OtherApp.Data"));
  EXPECT_EQ(fake_.registry.Value(kRoot, L".89p", L""), StoredText(L"", L"OtherApp.Program"));
  EXPECT_EQ(fake_.registry.Value(kRoot, L".89p", L"Content Type"), StoredText(L"Content Type", L"x/y"));
  EXPECT_EQ(fake_.registry.ValueNamesOf(kRoot, L"Ivex.89t"), Names{L""});
  EXPECT_FALSE(fake_.registry.KeyExists(kRoot, L"Ivex.89t\\DefaultIcon"));
  EXPECT_FALSE(fake_.registry.KeyExists(kRoot, L"Ivex.89p"));  // ours, gone
  EXPECT_FALSE(fake_.registry.KeyExists(kRoot, L".89m"));
  EXPECT_EQ(fake_.registry.Value(kRoot, L".89c", L""), StoredText(L"", L"Ivex.89c"));
  EXPECT_EQ(fake_.registry.ValueNamesOf(kRoot, L"Ivex.89c"), Names{L"BrowserFlags"});
  EXPECT_TRUE(fake_.registry.KeyExists(kRoot, L".89e"));
  EXPECT_TRUE(fake_.registry.KeyExists(kRoot, L"Ivex.89s\\DefaultIcon"));
  EXPECT_EQ(fake_.registry.ValueCount(kRoot), 6u);  // .89d, .89p (2), Ivex.89t, .89c, Ivex.89c
  // .89d, .89p, Ivex.89t, .89c, Ivex.89c, .89e, Ivex.89s and its DefaultIcon
  EXPECT_EQ(fake_.registry.KeyCount(kRoot), 8u);
  EXPECT_EQ(fake_.files.List(kInstall), Names{L"notes.txt"});
  EXPECT_EQ(report_.registry.types_removed, 12);
  EXPECT_EQ(report_.registry.values_kept, 1);  // .89p's association
  EXPECT_EQ(report_.registry.keys_kept, 2);
  EXPECT_EQ(report_.registry.values_restored, 3);
  EXPECT_EQ(report_.files_removed, 13);
  EXPECT_TRUE(report_.folder_kept);
  EXPECT_FALSE(report_.folder_removed);
}

TEST_F(UninstallationTest, ARecordPartMissingOrOfAnotherTypeIsNamedAndTheRecordKept) {
  Install();
  // What a registry cleaner or a hand may leave: the list of files as
  // another type, a state no build writes.
  fake_.registry.Put(kMachine, kRecord, testing::StoredRaw(L"InstalledFiles", platform::value_type::kTexts, std::string("a\0\0", 4)));
  fake_.registry.Put(kMachine, kRecord, StoredText(L"InstallState", L"Repairing"));
  EXPECT_EQ(FindInstallation(fake_.platform, kMachineTarget), Installed::kUnfinished) << "taken for complete";
  EXPECT_FALSE(Uninstall());
  EXPECT_EQ(Ignored(), (Names{L"InstallState: Repairing", L"InstalledFiles: not a list of file names (registry type 7)"}));
  EXPECT_TRUE(fake_.registry.KeyExists(kMachine, kRecord)) << "the record went with what it could not name";
  // Its lost list of files is taken as an uninstall without a record takes it.
  EXPECT_FALSE(fake_.files.IsFolder(kInstall)) << "the table's icons and the uninstaller stayed";
  // Missing, the list is named the same way.
  ASSERT_FALSE(fake_.registry.DeleteValue(kMachine, kRecord, L"InstalledFiles"));
  EXPECT_FALSE(Uninstall());
  const Names missing = Ignored();
  EXPECT_NE(std::find(missing.begin(), missing.end(), L"InstalledFiles: missing"), missing.end());
}

TEST_F(UninstallationTest, AFileWaitingAsideThatNoListNamesIsPutBackAndTheRecordKeptOnce) {
  const std::wstring theirs = kInstall + L"\\89text.ico";
  fake_.files.AddFile(theirs, "theirs");
  Install();
  ASSERT_FALSE(fake_.registry.DeleteValue(kMachine, kRecord, L"SetAsideFiles"));
  EXPECT_FALSE(Uninstall());
  EXPECT_EQ(fake_.files.FileBytes(theirs), "theirs") << "stranded in the set-aside folder";
  ASSERT_EQ(Ignored().size(), 1u);
  EXPECT_EQ(Ignored()[0].substr(0, 38), L"SetAsideFiles: did not name 89text.ico");
  EXPECT_TRUE(fake_.registry.KeyExists(kMachine, kRecord));
  // Nothing is waiting aside any more: the next uninstallation ends it.
  EXPECT_FALSE(Uninstall());
  EXPECT_TRUE(report_.ignored.empty());
  EXPECT_FALSE(fake_.registry.KeyExists(kMachine, kRecord));
  EXPECT_EQ(fake_.files.List(kInstall), (Names{L"89text.ico"}));
}

TEST_F(UninstallationTest, MachineClassesThatCannotBeOpenedAreNoSignOfNothingInstalled) {
  Install();
  fake_.registry.Refuse(kMachine, L"Software\\Classes");
  EXPECT_EQ(FindInstallation(fake_.platform, kMachineTarget), Installed::kUnknown);
  EXPECT_EQ(Uninstall().Path(), L"HKEY_LOCAL_MACHINE\\Software\\Classes");
  EXPECT_TRUE(fake_.registry.KeyExists(kMachine, kRecord));
  EXPECT_EQ(fake_.files.List(kInstall).size(), 13u);
}

TEST_F(UninstallationTest, WithTheRecordGoneItsOwnFilesAreTakenForOursNotSetAside) {
  Install();
  ASSERT_FALSE(fake_.registry.DeleteTree(kMachine, kRecord));  // a registry cleaner
  Install();
  EXPECT_FALSE(fake_.files.IsFolder(kInstall + L"\\Replaced by Glyphary Installer"));
  EXPECT_FALSE(Uninstall());
  EXPECT_FALSE(fake_.files.IsFolder(kInstall)) << "files of ours stayed";
  EXPECT_FALSE(fake_.registry.KeyExists(kMachine, kRecord));
}

TEST_F(UninstallationTest, NothingInstalledIsNoFailureAndTellsNobody) {
  Seed(fake_.registry, L".89m", L"", L"OtherApp.Matrix");
  EXPECT_EQ(FindInstallation(fake_.platform, kMachineTarget), Installed::kNothing);
  EXPECT_FALSE(Uninstall());
  EXPECT_FALSE(report_.AnythingRemoved());
  EXPECT_EQ(report_.registry.values_kept + report_.registry.keys_kept, 0);
  EXPECT_FALSE(report_.folder_kept);
  EXPECT_EQ(fake_.registry.Value(kRoot, L".89m", L""), StoredText(L"", L"OtherApp.Matrix"));
  EXPECT_EQ(Notifications(), 0);

  // Another run holding the lock: 1618, and nothing looked at.
  Install();
  fake_.system.HoldLockElsewhere(true);
  EXPECT_EQ(Uninstall().Number(), exit_codes::kInstallInProgress);
  EXPECT_EQ(fake_.registry.ValueCount(kRoot), 48u);
}

TEST_F(UninstallationTest, AStepThatFailsIsReportedWithTheRestStillRemoved) {
  Install();
  fake_.registry.RefuseValue(kRoot, L"Ivex.89e", L"EditFlags");
  const Error error = Uninstall();
  EXPECT_EQ(error.Number(), errors::kPermissionDenied);
  EXPECT_EQ(error.Path(), L"HKEY_CLASSES_ROOT\\Ivex.89e");
  // Only the refused value and the key that holds it are left.
  EXPECT_EQ(fake_.registry.KeyCount(kRoot), 1u);
  EXPECT_EQ(fake_.registry.ValueNamesOf(kRoot, L"Ivex.89e"), Names{L"EditFlags"});
  EXPECT_EQ(report_.registry.types_removed, 12);
  EXPECT_EQ(report_.registry.keys_kept, 1);
  EXPECT_FALSE(fake_.files.IsFolder(kInstall));
  EXPECT_EQ(Notifications(), 2);
}

TEST_F(UninstallationTest, FilesInUseGoAtTheRestartAndThePiecesOfARunCutShortGoToo) {
  Install();
  fake_.files.HoldFile(kInstall + L"\\89mat.ico");
  EXPECT_FALSE(Uninstall());
  EXPECT_EQ(report_.files_removed, 12);
  EXPECT_EQ(report_.files_at_restart, 1);
  EXPECT_TRUE(report_.RestartNeeded());
  EXPECT_FALSE(report_.folder_kept);
  EXPECT_FALSE(fake_.registry.KeyExists(kMachine, kRecord));
  fake_.files.Restart();
  EXPECT_FALSE(fake_.files.IsFolder(kInstall));

  // Without a record: the table's icons and our registrations.
  Install();
  ASSERT_FALSE(fake_.registry.DeleteTree(kMachine, kRecord));
  fake_.files.AddFile(kInstall + L"\\notes.txt", "mine");
  EXPECT_EQ(FindInstallation(fake_.platform, kMachineTarget), Installed::kUnrecorded);
  EXPECT_FALSE(Uninstall());
  EXPECT_EQ(fake_.registry.KeyCount(kRoot), 0u);
  EXPECT_EQ(fake_.files.List(kInstall), Names{L"notes.txt"});  // the uninstaller went too
  // What is left is not ours: nothing is installed any more.
  EXPECT_EQ(FindInstallation(fake_.platform, kMachineTarget), Installed::kNothing);
}

// Installed with it, all of it goes: shown end to end (e2e Wow64Icons).
TEST_F(UninstallationTest, TheFolderThirtyTwoBitProgramsSeeIsTakenAwayOnlyWhereTheRecordNamesFilesInIt) {
  const std::wstring wow64 = L"C:\\WINDOWS\\SysWOW64\\TI-89";
  // Installed by an earlier build (nothing there by its record), and
  // without any record: there, only what holds the bytes of ours of that
  // name in the install folder is ours; the folder stays with the rest.
  for (const bool recorded : {true, false}) {
    SCOPED_TRACE(recorded ? "recorded" : "unrecorded");
    testing::FakePlatform fake;
    fake.files.AddFolder(L"C:\\WINDOWS\\system32");
    fake.files.SetProgramFolder(kProgram);
    fake.files.AddFile(kProgram + L"\\Icons\\89mat.ico", "icon");
    auto ignore = [](InstallStage) {};
    ASSERT_FALSE(RunInstallation(fake.platform, kMachineTarget, StageSink(ignore)));
    if (!recorded) {
      ASSERT_FALSE(fake.registry.DeleteTree(kMachine, kRecord));
    }
    fake.files.SetWow64Folder(L"C:\\WINDOWS\\SysWOW64");
    fake.files.AddFile(wow64 + L"\\89mat.ico", "icon");
    fake.files.AddFile(wow64 + L"\\89pic.ico", "theirs");
    EXPECT_FALSE(RunUninstallation(fake.platform, kMachineTarget, report_));
    EXPECT_FALSE(fake.files.IsFolder(kInstall));
    EXPECT_EQ(fake.files.List(wow64), (recorded ? Names{L"89mat.ico", L"89pic.ico"} : Names{L"89pic.ico"}));
  }
}

TEST_F(UninstallationTest, WhatWaitsForTheRestartIsNotInstalledUntilAnInstallationKeepsIt) {
  Install();
  fake_.files.HoldFile(kInstall + L"\\89mat.ico");
  ASSERT_FALSE(Uninstall());
  ASSERT_TRUE(report_.RestartNeeded());
  EXPECT_EQ(FindInstallation(fake_.platform, kMachineTarget), Installed::kNothing);

  // Installed again before the restart: the restart takes nothing away.
  fake_.files.ReleaseFile(kInstall + L"\\89mat.ico");
  Install();
  EXPECT_FALSE(fake_.files.DeletesAtRestart(kInstall + L"\\89mat.ico"));
  EXPECT_FALSE(fake_.files.DeletesAtRestart(kInstall));
  fake_.files.Restart();
  EXPECT_EQ(fake_.files.List(kInstall).size(), 13u);
  EXPECT_EQ(FindInstallation(fake_.platform, kMachineTarget), Installed::kRecorded);

  // An installation that fails gives the deletions back to the restart.
  fake_.files.HoldFile(kInstall + L"\\89mat.ico");
  ASSERT_FALSE(Uninstall());
  fake_.files.ReleaseFile(kInstall + L"\\89mat.ico");
  fake_.registry.Refuse(kRoot, L".89p");
  auto ignore = [](InstallStage) {};
  EXPECT_EQ(RunInstallation(fake_.platform, kMachineTarget, StageSink(ignore)).Number(), errors::kPermissionDenied);
  EXPECT_TRUE(fake_.files.DeletesAtRestart(kInstall + L"\\89mat.ico"));
  EXPECT_TRUE(fake_.files.DeletesAtRestart(kInstall));
  fake_.files.Restart();
  EXPECT_FALSE(fake_.files.IsFolder(kInstall));
}

// The temporary folder on another volume, from the installed copy, is shown
// end to end (e2e KillSafe); Wine cannot show these two.
TEST_F(UninstallationTest, TheUninstallerKnowsItselfThroughAnotherDriveLetterAndPerUserNeedsNoRestartList) {
  Install();
  fake_.files.Substitute(L'S', L"C:\\WINDOWS\\system32");
  fake_.files.SetProgramFolder(L"S:\\TI-89");  // the installed copy, as subst names it
  EXPECT_FALSE(Uninstall());
  EXPECT_FALSE(report_.RestartNeeded());
  EXPECT_FALSE(fake_.files.IsFolder(kInstall));

  // The account's own: the copy waits in a folder of the account's own for
  // the next run, and the uninstallation is complete.
  testing::FakePlatform per_user;
  per_user.files.AddDrive(L'D');
  per_user.files.SetTempFolder(L"D:\\Temp");
  per_user.files.DenyRestartList();
  UserTarget user;
  ASSERT_FALSE(user.Find(per_user.files));
  per_user.files.AddFile(kProgram + L"\\Icons\\89mat.ico", "icon");
  per_user.files.SetProgramFolder(kProgram);
  auto ignore = [](InstallStage) {};
  ASSERT_FALSE(RunInstallation(per_user.platform, user.target(), StageSink(ignore)));
  per_user.files.SetProgramFolder(std::wstring(user.target().folder));
  for (int run = 0; run < 2; ++run) {  // a second run finds nothing, and clears the copy
    EXPECT_FALSE(RunUninstallation(per_user.platform, user.target(), report_));
    EXPECT_FALSE(per_user.files.IsFolder(L"C:\\Users\\Ann\\AppData\\Local\\Glyphary"));
    EXPECT_FALSE(per_user.registry.KeyExists(platform::RegistryRoot::kCurrentUser, kRecord));
    EXPECT_EQ(per_user.files.IsHidden(L"C:\\Users\\Ann\\AppData\\Local\\~GlypharyInstaller.uninstalled"), run == 0);
    per_user.files.SetProgramFolder(kProgram);
  }
}

// What the restart's list then holds is shown end to end (e2e KillSafe).
TEST_F(UninstallationTest, OurIconHeldWithItsNamesakeAsideComesOutAtTheRestartOrARunBeforeIt) {
  const std::wstring icon = kInstall + L"\\89mat.ico";
  fake_.files.AddFile(icon, "theirs");
  for (bool run_before_restart : {false, true}) {
    Install();
    fake_.files.HoldFile(icon);
    ASSERT_FALSE(Uninstall());
    ASSERT_TRUE(report_.RestartNeeded());
    fake_.files.ReleaseFile(icon);
    if (run_before_restart) {
      EXPECT_FALSE(Uninstall());  // puts theirs back, takes ours off the list
    }
    fake_.files.Restart();
    EXPECT_EQ(fake_.files.List(kInstall), Names{L"89mat.ico"});
    EXPECT_EQ(fake_.files.FileBytes(icon), "theirs");
    EXPECT_FALSE(Uninstall());  // finishes the record, if it is left
    EXPECT_FALSE(fake_.registry.KeyExists(kMachine, kRecord));
  }

  // Without the right to the restart's list: reported, the uninstaller kept
  // and the entry shown again, to run it from there once the file is free.
  testing::FakePlatform per_user;
  per_user.files.DenyRestartList();
  UserTarget user;
  ASSERT_FALSE(user.Find(per_user.files));
  const std::wstring folder(user.target().folder);
  per_user.files.AddFile(kProgram + L"\\Icons\\89mat.ico", "icon");
  per_user.files.AddFile(folder + L"\\89mat.ico", "theirs");
  per_user.files.SetProgramFolder(kProgram);
  auto ignore = [](InstallStage) {};
  ASSERT_FALSE(RunInstallation(per_user.platform, user.target(), StageSink(ignore)));
  per_user.files.SetProgramFolder(folder);
  per_user.files.HoldFile(folder + L"\\89mat.ico");
  const Error held = RunUninstallation(per_user.platform, user.target(), report_);
  EXPECT_EQ(held.Number(), errors::kPermissionDenied);
  EXPECT_EQ(held.Path(), folder + L"\\89mat.ico");
  EXPECT_NE(std::wstring(held.Advice()).find(L"Apps & Features"), std::wstring::npos);
  constexpr platform::RegistryRoot kUser = platform::RegistryRoot::kCurrentUser;
  EXPECT_EQ(per_user.registry.Value(kUser, kRecord, L"DisplayName"), StoredText(L"DisplayName", std::wstring(kProductName)));
  EXPECT_EQ(FindInstallation(per_user.platform, user.target()), Installed::kUnfinished);
  EXPECT_TRUE(per_user.files.IsFile(folder + L"\\GlypharyInstaller.exe"));
  per_user.files.ReleaseFile(folder + L"\\89mat.ico");
  EXPECT_FALSE(RunUninstallation(per_user.platform, user.target(), report_));
  EXPECT_EQ(per_user.files.FileBytes(folder + L"\\89mat.ico"), "theirs");
  EXPECT_FALSE(per_user.registry.KeyExists(kUser, kRecord));
}

TEST_F(UninstallationTest, InstallationsForEveryAccountAndForOneLiveSideBySideAndEachGoesAlone) {
  constexpr platform::RegistryRoot kUser = platform::RegistryRoot::kCurrentUser;
  const std::wstring app_data = L"C:\\Users\\Ann\\AppData\\Local";
  UserTarget user;
  ASSERT_FALSE(user.Find(fake_.files));
  auto ignore = [](InstallStage) {};
  Install();
  ASSERT_FALSE(RunInstallation(fake_.platform, user.target(), StageSink(ignore)));
  EXPECT_EQ(FindInstallation(fake_.platform, kMachineTarget), Installed::kRecorded);
  EXPECT_EQ(FindInstallation(fake_.platform, user.target()), Installed::kRecorded);

  // The account's goes, with its folders; every account's stays.
  ASSERT_FALSE(RunUninstallation(fake_.platform, user.target(), report_));
  EXPECT_EQ(report_.registry.types_removed, 12);
  EXPECT_EQ(report_.files_removed, 13);
  EXPECT_FALSE(fake_.files.IsFolder(app_data + L"\\Glyphary"));
  EXPECT_TRUE(fake_.files.IsFolder(app_data));
  EXPECT_EQ(fake_.registry.ValueCount(kUser), 0u);
  EXPECT_EQ(fake_.registry.ValueCount(kRoot), 48u);
  EXPECT_EQ(fake_.files.List(kInstall).size(), 13u);
  EXPECT_EQ(FindInstallation(fake_.platform, user.target()), Installed::kNothing);

  // And the other way round; a folder of the user's own in Glyphary stays.
  ASSERT_FALSE(RunInstallation(fake_.platform, user.target(), StageSink(ignore)));
  fake_.files.AddFile(app_data + L"\\Glyphary\\notes.txt", "mine");
  EXPECT_FALSE(Uninstall());
  EXPECT_EQ(fake_.registry.KeyCount(kRoot), 0u);
  EXPECT_FALSE(fake_.files.IsFolder(kInstall));
  EXPECT_EQ(fake_.registry.ValueCount(kUser), 48u + 12u);
  EXPECT_EQ(fake_.files.List(std::wstring(user.target().folder)).size(), 13u);
  ASSERT_FALSE(RunUninstallation(fake_.platform, user.target(), report_));
  EXPECT_EQ(fake_.files.List(app_data + L"\\Glyphary"), Names{L"notes.txt"});
}

TEST_F(UninstallationTest, OneAccountsTwoInstallationsStayWholeThroughTheMergedClassesRoot) {
  // Windows shows the account's own classes through HKEY_CLASSES_ROOT and
  // writes there where the account has the key: the machine-wide road must
  // still reach the machine's keys, whatever this account installed itself.
  constexpr platform::RegistryRoot kUser = platform::RegistryRoot::kCurrentUser;
  UserTarget user;
  ASSERT_FALSE(user.Find(fake_.files));
  auto ignore = [](InstallStage) {};
  ASSERT_FALSE(RunInstallation(fake_.platform, user.target(), StageSink(ignore)));
  auto account = [this] {
    std::vector<std::wstring> lines = fake_.registry.Dump();
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [](const std::wstring& line) { return line.rfind(L"HKCU", 0) != 0; }),
                lines.end());
    return lines;
  };
  const std::vector<std::wstring> account_before = account();
  Install();
  EXPECT_TRUE(fake_.registry.UsesMachineClasses());
  EXPECT_EQ(fake_.registry.ValueCount(kRoot), 48u);  // the machine's own keys
  EXPECT_EQ(fake_.registry.Value(kUser, L"Software\\Classes\\Ivex.89t\\DefaultIcon", L""),
            StoredText(L"", std::wstring(user.target().folder) + L"\\89text.ico,0"));
  ASSERT_FALSE(Uninstall());
  EXPECT_EQ(account(), account_before);  // the account's installation whole
  Install();
  ASSERT_FALSE(RunUninstallation(fake_.platform, user.target(), report_));
  EXPECT_EQ(fake_.registry.ValueCount(kRoot), 48u);
  EXPECT_EQ(FindInstallation(fake_.platform, kMachineTarget), Installed::kRecorded);

  // The same road through the merged view, as it was before: its writes land
  // in the account's keys, and the machine gets none of them.
  testing::FakePlatform merged;
  ASSERT_FALSE(merged.registry.CreateKey(kUser, L"Software\\Classes\\.89m"));
  ASSERT_FALSE(merged.registry.SetText(platform::RegistryRoot::kClassesRoot, L".89m", L"", L"Ivex.89m"));
  EXPECT_EQ(merged.registry.ValueCount(kRoot), 0u);
  EXPECT_EQ(merged.registry.ValueCount(kUser), 1u);
}

TEST(Record, OnlyPlainNamesOfFilesInTheFolderAreData) {
  for (const wchar_t* name : {L"89mat.ico", L"GlypharyInstaller.exe", L"Extra icon (1).ICO", L"a", L"console.ico"}) {
    EXPECT_TRUE(IsPlainFileName(name)) << ::testing::PrintToString(std::wstring(name));
  }
  for (const wchar_t* name : {L"", L".", L"..", L"..\\x.txt", L"../x", L"C:\\x", L"C:x", L"89mat.ico:stream",
                              L"89mat.ico.", L"89mat.ico ", L"*.ico", L"a|b", L"a\tb", L"CON", L"nul.ico", L"con.txt.ico",
                              L"Com1", L"LPT9.txt"}) {
    EXPECT_FALSE(IsPlainFileName(name)) << ::testing::PrintToString(std::wstring(name));
  }
  EXPECT_FALSE(IsPlainFileName(std::wstring(256, L'a')));
}

TEST(PackageOwner, TheWindowsInstallerPackageOwnsItsInstallationForEveryAccount) {
  testing::FakePlatform fake;
  fake.files.AddFolder(L"C:\\WINDOWS\\system32");
  fake.files.AddFile(kProgram + L"\\Icons\\89mat.ico", "icon");
  WideText product;
  EXPECT_EQ(FindPackage(fake.platform, product), PackageState::kNone);
  // A product of another upgrade code is not the package.
  fake.system.SetPackage(L"{00000000-0000-0000-0000-000000000000}", L"{12345678-90AB-CDEF-1234-567890ABCDEF}");
  EXPECT_EQ(FindPackage(fake.platform, product), PackageState::kNone);
  // Windows Installer's related products have lost it, but the package's
  // own key still names it, and Windows Installer has it installed.
  ASSERT_FALSE(fake.registry.CreateKey(kMachine, std::wstring(kPackageKey)));
  ASSERT_FALSE(fake.registry.SetText(kMachine, kPackageKey, kPackageProductValue,
                                     L"{12345678-90AB-CDEF-1234-567890ABCDEF}"));
  ASSERT_EQ(FindPackage(fake.platform, product), PackageState::kInstalled);
  EXPECT_EQ(product, L"{12345678-90AB-CDEF-1234-567890ABCDEF}");
  ASSERT_FALSE(fake.registry.DeleteTree(kMachine, kPackageKey));
  fake.system.SetPackage(std::wstring(kUpgradeCode), L"{12345678-90AB-CDEF-1234-567890ABCDEF}");
  ASSERT_EQ(FindPackage(fake.platform, product), PackageState::kInstalled);

  // The exe's installation takes it for installed and writes nothing; its
  // uninstallation refuses, saying how to remove it.
  auto ignore = [](InstallStage) {};
  EXPECT_FALSE(RunInstallation(fake.platform, kMachineTarget, StageSink(ignore)));
  EXPECT_EQ(fake.registry.KeyCount(kRoot), 0u);
  EXPECT_FALSE(fake.files.IsFolder(kInstall));
  EXPECT_EQ(FindInstallation(fake.platform, kMachineTarget), Installed::kByPackage);
  UninstallReport report;
  const Error refused = RunUninstallation(fake.platform, kMachineTarget, report);
  EXPECT_EQ(refused.Number(), exit_codes::kPackageInstalled);
  EXPECT_NE(std::wstring(refused.Advice()).find(L"msiexec /x {12345678-90AB-CDEF-1234-567890ABCDEF}"),
            std::wstring::npos);
  EXPECT_NE(std::wstring(refused.Advice()).find(L"Apps & Features"), std::wstring::npos);

  // While the package's transaction is on (its mark names a process that
  // runs), or Windows Installer runs any installation, every account's road
  // refuses (1618); where the mark's process has ended (the same id, another
  // start; no process at all), it refuses with the way out (1638). Nothing
  // changes.
  testing::FakePlatform racing;
  racing.files.AddFolder(L"C:\\WINDOWS\\system32");
  racing.files.AddFile(kProgram + L"\\Icons\\89mat.ico", "icon");
  ASSERT_FALSE(racing.registry.CreateKey(kMachine, std::wstring(kPackageKey)));
  racing.system.SetProcess(42, 7, true);
  const std::pair<const wchar_t*, int> marks[] = {{L"{AB} 42 7", exit_codes::kInstallInProgress},
                                                  {L"{AB} 42 8", exit_codes::kPackageInstalled},
                                                  {L"{AB}", exit_codes::kPackageInstalled},
                                                  {L"", exit_codes::kInstallInProgress}};
  for (const auto& [mark, code] : marks) {
    SCOPED_TRACE(::testing::PrintToString(std::wstring(mark)));
    if (*mark == L'\0') {
      ASSERT_FALSE(racing.registry.DeleteTree(kMachine, kPackageKey));
      racing.system.SetWindowsInstallerRunning(true);
    } else {
      ASSERT_FALSE(racing.registry.SetText(kMachine, kPackageKey, kPackageInstallingValue, mark));
    }
    const Error installing = RunInstallation(racing.platform, kMachineTarget, StageSink(ignore));
    EXPECT_EQ(installing.Number(), code);
    EXPECT_EQ(RunUninstallation(racing.platform, kMachineTarget, report).Number(), code);
    if (code == exit_codes::kPackageInstalled) {
      EXPECT_NE(std::wstring(installing.Advice()).find(L"msiexec /i GlypharyInstaller.msi"), std::wstring::npos);
    }
    EXPECT_FALSE(racing.files.IsFolder(kInstall));
    EXPECT_FALSE(racing.registry.KeyExists(kMachine, kRecord));
  }
  // An account's own installation is no business of the package's.
  UserTarget user;
  ASSERT_FALSE(user.Find(fake.files));
  EXPECT_EQ(FindInstallation(fake.platform, user.target()), Installed::kNothing);
  EXPECT_FALSE(RunInstallation(fake.platform, user.target(), StageSink(ignore)));
  EXPECT_EQ(FindInstallation(fake.platform, user.target()), Installed::kRecorded);
}

}  // namespace
}  // namespace glyphary::engine
