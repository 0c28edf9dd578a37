// The installation run against the in-memory file system and registry.
#include "engine/installation.h"

#include <gtest/gtest.h>

#include "engine/file_types.h"
#include "engine/product.h"
#include "engine/tests/fake_platform.h"
#include "engine/uninstallation.h"

namespace glyphary::engine {
namespace {

using testing::Seed;
using testing::StoredText;
using Stages = std::vector<InstallStage>;

constexpr platform::RegistryRoot kRoot = platform::RegistryRoot::kClassesRoot;
constexpr platform::RegistryRoot kMachine = platform::RegistryRoot::kLocalMachine;
const std::wstring kSystem = L"C:\\WINDOWS\\system32";
const std::wstring kInstall = L"C:\\WINDOWS\\system32\\TI-89";
const std::wstring kProgram = L"C:\\Users\\Ann\\Downloads\\Glyphary";
const std::wstring kRecord = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\GlypharyInstaller";
const std::wstring kIcons[] = {L"89mat.ico",  L"89dat.ico",  L"89gdb.ico",   L"89exp.ico",
                               L"89func.ico", L"89prog.ico", L"89str.ico",   L"89text.ico",
                               L"89asm.ico",  L"89group.ico", L"89list.ico", L"89pic.ico"};
const Stages kBothStages = {InstallStage::kCopyingIcons, InstallStage::kEditingRegistry};

// Windows in C:\WINDOWS, and the download unpacked in `program` with its
// twelve icons (none when `icons` is false).
void Prepare(platform::FakeFileSystem& files, const std::wstring& program, bool icons = true) {
  files.AddFolder(kSystem);
  files.SetProgramFolder(program);
  if (!icons) return;
  for (const std::wstring& name : kIcons) {
    files.AddFile(program + L"\\Icons\\" + name, "icon " + std::string(name.begin(), name.end()));
  }
}

// A file system in which one file cannot be deleted the first `times` it is
// asked, as while a virus scanner reads it.
class ScannedFile : public platform::FakeFileSystem {
 public:
  ScannedFile(std::wstring path, int times) : path_(std::move(path)), times_(times) {}
  Error DeleteFile(std::wstring_view path) override {
    if (times_ == 0 || path != path_) return FakeFileSystem::DeleteFile(path);
    --times_;
    Error held = errors::Make(errors::kPermissionDenied);
    held.At(path);
    return held;
  }

 private:
  std::wstring path_;
  int times_;
};

// A registry in which the values of one key cannot be deleted, as when
// another program has locked the key down since they were written.
class KeptValue : public platform::FakeRegistry {
 public:
  explicit KeptValue(std::wstring path) : path_(std::move(path)) {}
  Error DeleteValue(platform::RegistryRoot root, std::wstring_view path,
                    std::wstring_view name) override {
    if (path != path_) return FakeRegistry::DeleteValue(root, path, name);
    return platform::RegistryError(5, root, path);
  }

 private:
  std::wstring path_;
};

class InstallationTest : public ::testing::Test {
 protected:
  void SetUp() override { Prepare(fake_.files, kProgram); }

  // Runs the installation on `platform`, noting the stages it reports.
  Error Run(const platform::Platform& platform, const InstallTarget& target = kMachineTarget) {
    auto record = [this](InstallStage stage) { stages_.push_back(stage); };
    return RunInstallation(platform, target, StageSink(record));
  }
  Error Run() { return Run(fake_.platform); }

  static int Pauses(const platform::FakeFileSystem& files) {
    int pauses = 0;
    for (const auto& call : files.Calls()) pauses += call.rfind(L"Pause ", 0) == 0 ? 1 : 0;
    return pauses;
  }
  bool Recorded(platform::FakeRegistry& registry) {
    return registry.Value(kMachine, kRecord, L"DisplayName").has_value();
  }
  int Notifications() const { return fake_.system.Count("NotifyAssociationsChanged"); }

  testing::FakePlatform fake_;
  Stages stages_;
};

TEST_F(InstallationTest, AFreshRunCopiesTheIconsAndTheProgramRegistersRecordsAndTellsTheShell) {
  fake_.files.AddFile(kProgram + L"\\Icons\\Extra.ICO", "extra");
  fake_.files.AddFile(kProgram + L"\\Icons\\readme.txt", "text");
  fake_.files.AddFile(kProgram + L"\\Icons\\old\\89mat.ico", "older");

  const Error error = Run();
  ASSERT_FALSE(error) << error.Number() << " " << ::testing::PrintToString(error.Path());

  EXPECT_EQ(stages_, kBothStages);
  EXPECT_EQ(fake_.files.List(kInstall).size(), 12u + 2u);
  EXPECT_EQ(fake_.files.FileBytes(kInstall + L"\\89mat.ico"), "icon 89mat.ico");
  EXPECT_EQ(fake_.files.FileBytes(kInstall + L"\\89pic.ico"), "icon 89pic.ico");
  EXPECT_EQ(fake_.files.FileBytes(kInstall + L"\\Extra.ICO"), "extra");
  EXPECT_EQ(fake_.files.FileBytes(kInstall + L"\\GlypharyInstaller.exe"), "MZ program");
  EXPECT_FALSE(fake_.files.IsFile(kInstall + L"\\readme.txt"));
  EXPECT_FALSE(fake_.files.IsFolder(kInstall + L"\\old"));
  EXPECT_EQ(fake_.registry.KeyCount(kRoot), 36u);
  EXPECT_EQ(fake_.registry.ValueCount(kRoot), 48u);
  EXPECT_EQ(fake_.registry.Value(kRoot, L"Ivex.89i\\DefaultIcon", L""),
            StoredText(L"", kInstall + L"\\89pic.ico,0"));
  // Apps & Features lists it, with the copy of the program as uninstaller.
  const std::wstring uninstall = L"\"" + kInstall + L"\\GlypharyInstaller.exe\" /uninstall";
  EXPECT_EQ(fake_.registry.Value(kMachine, kRecord, L"DisplayName"),
            StoredText(L"DisplayName", L"Glyphary Installer"));
  EXPECT_EQ(fake_.registry.Value(kMachine, kRecord, L"UninstallString"),
            StoredText(L"UninstallString", uninstall));
  EXPECT_EQ(fake_.registry.Value(kMachine, kRecord, L"QuietUninstallString"),
            StoredText(L"QuietUninstallString", uninstall + L" /S"));
  EXPECT_EQ(fake_.system.Operations(), (std::vector<std::string>{"TakeInstallLock",
                                                                 "NotifyAssociationsChanged",
                                                                 "ReleaseInstallLock"}));
}

TEST_F(InstallationTest, ForTheAccountAloneEverythingGoesBelowItsProfileWhateverItsName) {
  constexpr platform::RegistryRoot kUser = platform::RegistryRoot::kCurrentUser;
  // Names outside any one ANSI code page come out exactly.
  for (const std::wstring& account : {std::wstring(L"J\u00fcrgen"), std::wstring(L"\u0418\u0432\u0430\u043d")}) {
    SCOPED_TRACE(std::string(account.begin(), account.end()));
    testing::FakePlatform fake;
    Prepare(fake.files, kProgram);
    const std::wstring app_data = L"C:\\Users\\" + account + L"\\AppData\\Local";
    const std::wstring folder = app_data + L"\\Glyphary\\TI-89";
    fake.files.SetLocalAppData(app_data);
    UserTarget user;
    ASSERT_FALSE(user.Find(fake.files));
    EXPECT_EQ(user.target().folder, folder);

    ASSERT_FALSE(Run(fake.platform, user.target()));
    EXPECT_EQ(fake.files.List(folder).size(), 13u);
    EXPECT_FALSE(fake.files.IsFolder(kInstall));
    EXPECT_EQ(fake.registry.KeyCount(kRoot), 0u);     // nothing for every account
    EXPECT_EQ(fake.registry.KeyCount(kMachine), 0u);  // and no record there
    EXPECT_TRUE(fake.system.PackageAsks().empty());   // nor a question to Windows Installer
    EXPECT_TRUE(fake.system.PackageQueryStarted().empty());
    // The 36 keys and 48 values below Software\Classes, the record beside.
    EXPECT_EQ(fake.registry.ValueCount(kUser), 48u + 12u);
    EXPECT_EQ(fake.registry.Value(kUser, L"Software\\Classes\\.89i", L""), StoredText(L"", L"Ivex.89i"));
    EXPECT_EQ(fake.registry.Value(kUser, L"Software\\Classes\\Ivex.89i\\DefaultIcon", L""),
              StoredText(L"", folder + L"\\89pic.ico,0"));
    const std::wstring uninstall = L"\"" + folder + L"\\GlypharyInstaller.exe\" /uninstall /user";
    EXPECT_EQ(fake.registry.Value(kUser, kRecord, L"UninstallString"),
              StoredText(L"UninstallString", uninstall));
    EXPECT_EQ(fake.registry.Value(kUser, kRecord, L"QuietUninstallString"),
              StoredText(L"QuietUninstallString", uninstall + L" /S"));
    EXPECT_EQ(fake.registry.Value(kUser, kRecord, L"InstallLocation"),
              StoredText(L"InstallLocation", folder));
    EXPECT_EQ(fake.system.Count("NotifyAssociationsChanged"), 1);

    // A failure undoes the folders it made above the install folder too.
    testing::FakePlatform refused;
    Prepare(refused.files, kProgram);
    refused.files.SetLocalAppData(app_data);
    UserTarget again;
    ASSERT_FALSE(again.Find(refused.files));
    refused.registry.Refuse(kUser, L"Software\\Classes\\Ivex.89t\\DefaultIcon");
    EXPECT_EQ(Run(refused.platform, again.target()).Path(),
              L"HKEY_CURRENT_USER\\Software\\Classes\\Ivex.89t\\DefaultIcon");
    EXPECT_FALSE(refused.files.IsFolder(app_data + L"\\Glyphary"));
    EXPECT_TRUE(refused.files.IsFolder(app_data));
    EXPECT_EQ(refused.registry.ValueCount(kUser), 0u);
  }
}

TEST_F(InstallationTest, ARecordedInstallationIsLeftAloneAndOneCutShortIsFinished) {
  ASSERT_FALSE(Run());
  // A second run, even without the icons beside it, changes nothing.
  for (const FileType& type : kFileTypes) {
    ASSERT_FALSE(fake_.files.DeleteFile(kProgram + L"\\Icons\\" + std::wstring(type.icon_file)));
  }
  const std::size_t writes = fake_.registry.Writes();
  stages_.clear();
  EXPECT_FALSE(Run());
  EXPECT_TRUE(stages_.empty());
  EXPECT_EQ(fake_.registry.Writes(), writes);
  EXPECT_EQ(Notifications(), 1);

  // The folder of a run cut short, spelled in another case, without its
  // record: the run installs into it.
  testing::FakePlatform cut_short;
  Prepare(cut_short.files, kProgram);
  cut_short.files.AddFile(L"c:\\windows\\SYSTEM32\\ti-89\\89mat.ico", "half");
  EXPECT_FALSE(Run(cut_short.platform));
  EXPECT_EQ(stages_, kBothStages);
  EXPECT_EQ(cut_short.files.FileBytes(kInstall + L"\\89mat.ico"), "icon 89mat.ico");
  EXPECT_EQ(cut_short.registry.ValueCount(kRoot), 48u);
  EXPECT_TRUE(Recorded(cut_short.registry));

  // Another run holding the lock: 1618, and nothing changed.
  testing::FakePlatform busy;
  Prepare(busy.files, kProgram);
  busy.system.HoldLockElsewhere(true);
  EXPECT_EQ(Run(busy.platform).Number(), exit_codes::kInstallInProgress);
  EXPECT_FALSE(busy.files.IsFolder(kInstall));
  EXPECT_EQ(busy.registry.Writes(), 0u);
}

TEST_F(InstallationTest, ANewerBuildUpdatesInPlaceAndAnOlderOneChangesNothing) {
  const std::wstring wow64 = L"C:\\WINDOWS\\SysWOW64\\TI-89";
  fake_.files.SetWow64Folder(L"C:\\WINDOWS\\SysWOW64");
  ASSERT_FALSE(Run());
  // Installed in the earliest builds' form: no state, nothing in SysWOW64.
  ASSERT_FALSE(fake_.registry.DeleteValue(kMachine, kRecord, L"InstallState"));
  ASSERT_FALSE(fake_.registry.DeleteValue(kMachine, kRecord, L"InstalledFilesWow64"));
  for (const std::wstring& name : fake_.files.List(wow64)) ASSERT_FALSE(fake_.files.DeleteFile(wow64 + L"\\" + name));
  // Another program takes .89t meanwhile; the newer build brings one changed icon.
  fake_.registry.Put(kRoot, L".89t", StoredText(L"", L"OtherApp.Text"));
  fake_.files.AddFile(kProgram + L"\\Icons\\89mat.ico", "icon 89mat.ico, redrawn");
  fake_.system.SetProgramVersion(L"1.1.0.0");
  EXPECT_FALSE(Run());
  EXPECT_EQ(fake_.files.FileBytes(kInstall + L"\\89mat.ico"), "icon 89mat.ico, redrawn");
  EXPECT_EQ(fake_.files.FileBytes(kInstall + L"\\89dat.ico"), "icon 89dat.ico");
  EXPECT_EQ(fake_.files.List(wow64).size(), 12u) << "the copies for 32-bit programs were not brought";
  EXPECT_FALSE(fake_.files.IsFolder(kInstall + L"\\Update by Glyphary Installer"));
  EXPECT_EQ(fake_.registry.Value(kMachine, kRecord, L"DisplayVersion"), StoredText(L"DisplayVersion", L"1.1.0.0"));
  EXPECT_TRUE(Recorded(fake_.registry));
  EXPECT_EQ(fake_.registry.Value(kRoot, L".89t", L""), StoredText(L"", L"OtherApp.Text")) << "an update took an association";
  // The older build over it: 1638, and nothing written.
  fake_.system.SetProgramVersion(L"1.0.0.0");
  const std::size_t writes = fake_.registry.Writes();
  EXPECT_EQ(Run().Number(), exit_codes::kNewerVersionInstalled);
  EXPECT_EQ(fake_.registry.Writes(), writes);
  EXPECT_EQ(fake_.files.FileBytes(kInstall + L"\\89mat.ico"), "icon 89mat.ico, redrawn");
}

TEST_F(InstallationTest, AnInstallFolderThatCannotBeMadeIsReportedNotSkipped) {
  fake_.files.AddFile(kInstall, "a file named TI-89");
  Error error = Run();
  EXPECT_EQ(error.Number(), errors::kFileAlreadyExists);
  EXPECT_EQ(error.Description(), L"File already exists");
  EXPECT_EQ(error.Path(), kInstall);
  EXPECT_EQ(fake_.files.FileBytes(kInstall), "a file named TI-89");

  testing::FakePlatform locked;
  Prepare(locked.files, kProgram);
  locked.files.DenyWrites(kSystem);
  error = Run(locked.platform);
  EXPECT_EQ(error.Number(), errors::kPermissionDenied);
  EXPECT_EQ(error.Description(), L"Permission denied");
  EXPECT_EQ(error.Path(), kInstall);
  EXPECT_FALSE(locked.files.IsFolder(kInstall));

  EXPECT_TRUE(stages_.empty());
  for (platform::FakeRegistry* registry : {&fake_.registry, &locked.registry}) {
    EXPECT_EQ(registry->KeyCount(kRoot), 0u);
    EXPECT_FALSE(registry->KeyExists(kMachine, kRecord));
  }
  EXPECT_EQ(Notifications() + locked.system.Count("NotifyAssociationsChanged"), 0);
}

TEST_F(InstallationTest, WindowsElsewhereThanCWindowsEndsWithPathNotFound) {
  testing::FakePlatform elsewhere;
  elsewhere.files.SetProgramFolder(kProgram);
  elsewhere.files.AddFolder(L"D:\\WINNT\\system32");
  for (const std::wstring& name : kIcons) elsewhere.files.AddFile(kProgram + L"\\Icons\\" + name, "icon");

  const Error error = Run(elsewhere.platform);
  EXPECT_EQ(error.Number(), errors::kPathNotFound);
  EXPECT_EQ(error.Path(), kSystem);
  EXPECT_TRUE(stages_.empty());
  EXPECT_FALSE(elsewhere.files.IsFolder(L"C:\\WINDOWS"));
  EXPECT_EQ(elsewhere.registry.Writes(), 0u);
}

TEST_F(InstallationTest, MissingIconsAreFoundBeforeAnythingIsCreated) {
  // No Icons folder at all: the commonest way there is running the exe from
  // inside the downloaded archive.
  testing::FakePlatform unpacked_wrongly;
  Prepare(unpacked_wrongly.files, kProgram, false);
  Error error = Run(unpacked_wrongly.platform);
  EXPECT_EQ(error.Number(), errors::kPathNotFound);
  EXPECT_EQ(error.Path(), kProgram + L"\\Icons");
  EXPECT_NE(std::wstring(error.Advice()).find(L"Unpack the whole download"), std::wstring::npos);
  EXPECT_FALSE(unpacked_wrongly.files.IsFolder(kInstall));

  // An Icons folder without a single icon.
  unpacked_wrongly.files.AddFile(kProgram + L"\\Icons\\readme.txt", "text");
  unpacked_wrongly.files.AddFile(kProgram + L"\\Icons\\89mat.ico.txt", "text");
  error = Run(unpacked_wrongly.platform);
  EXPECT_EQ(error.Number(), errors::kFileNotFound);
  EXPECT_EQ(error.Description(), L"File not found");
  EXPECT_EQ(error.Path(), kProgram + L"\\Icons\\*.ico");
  EXPECT_FALSE(error.Advice().empty());
  EXPECT_FALSE(unpacked_wrongly.files.IsFolder(kInstall));

  EXPECT_TRUE(stages_.empty());
  EXPECT_EQ(unpacked_wrongly.registry.Writes(), 0u);

  // Where Windows Installer's package has the installation (asked with the
  // lock held, where the first change would come), there is nothing to do:
  // the missing icons are no failure.
  testing::FakePlatform packaged;
  Prepare(packaged.files, kProgram, false);
  packaged.system.SetPackage(std::wstring(kUpgradeCode), L"{12345678-90AB-CDEF-1234-567890ABCDEF}");
  EXPECT_FALSE(Run(packaged.platform));
  EXPECT_EQ(packaged.system.PackageQueryStarted(), kUpgradeCode);
  EXPECT_EQ(packaged.system.PackageAsks(), std::vector<bool>{true});
  EXPECT_EQ(packaged.registry.Writes(), 0u);
}

TEST_F(InstallationTest, AFailedCopyRemovesTheNewFolderSoThatACorrectedRerunInstalls) {
  // A copy that breaks off midway takes the files copied before it along.
  fake_.files.FailCopyOf(L"89pic.ico");
  const Error error = Run();
  EXPECT_EQ(error.Number(), errors::kPermissionDenied);
  EXPECT_EQ(error.Path(), kInstall + L"\\Update by Glyphary Installer\\89pic.ico");  // staged whole first
  EXPECT_EQ(stages_, Stages{InstallStage::kCopyingIcons});
  EXPECT_FALSE(fake_.files.IsFolder(kInstall));
  EXPECT_EQ(fake_.registry.KeyCount(kRoot), 0u);
  EXPECT_FALSE(fake_.registry.KeyExists(kMachine, kRecord));
  EXPECT_EQ(Notifications(), 0);

  // Put right, the next run installs normally.
  platform::FakeFileSystem mended;
  Prepare(mended, kProgram);
  EXPECT_FALSE(Run(platform::Platform{mended, fake_.registry, fake_.system}));
  EXPECT_EQ(mended.List(kInstall).size(), 13u);
  EXPECT_EQ(fake_.registry.ValueCount(kRoot), 48u);
  EXPECT_EQ(Notifications(), 1);
}

TEST_F(InstallationTest, AFailedRegistryWriteUndoesTheWholeRunAndPutsBackWhatItReplaced) {
  Seed(fake_.registry, L".89p", L"", L"OtherApp.Program");
  fake_.registry.RefuseValue(kRoot, L"Ivex.89t", L"BrowserFlags");

  const Error error = Run();
  EXPECT_EQ(error.Number(), errors::kPermissionDenied);
  EXPECT_EQ(error.Description(), L"Permission denied");
  EXPECT_EQ(error.Path(), L"HKEY_CLASSES_ROOT\\Ivex.89t");
  // The machine as it was: no failure is claimed as a finish.
  EXPECT_EQ(stages_, kBothStages);
  EXPECT_EQ(fake_.registry.KeyCount(kRoot), 1u);
  EXPECT_EQ(fake_.registry.Value(kRoot, L".89p", L""), StoredText(L"", L"OtherApp.Program"));
  EXPECT_FALSE(fake_.registry.KeyExists(kMachine, kRecord));
  EXPECT_FALSE(fake_.files.IsFolder(kInstall));
  EXPECT_EQ(Notifications(), 1);  // .89p changed back

  // A record that cannot be written undoes the registration as well.
  fake_.registry.Allow();
  fake_.registry.Refuse(kMachine, L"Software");
  EXPECT_EQ(Run().Path(), L"HKEY_LOCAL_MACHINE\\" + kRecord);
  EXPECT_EQ(fake_.registry.KeyCount(kRoot), 1u);
  EXPECT_FALSE(fake_.files.IsFolder(kInstall));

  // Put right, the next run installs (the folder is absent again).
  fake_.registry.Allow();
  EXPECT_FALSE(Run());
  EXPECT_EQ(fake_.registry.ValueCount(kRoot), 48u);
  EXPECT_TRUE(Recorded(fake_.registry));
  EXPECT_EQ(fake_.files.List(kInstall).size(), 13u);
  EXPECT_EQ(Notifications(), 2);
}

TEST_F(InstallationTest, UndoingWaitsForAFileHeldForAMomentAndOtherwiseSaysWhatToDo) {
  // The program's copy fails once the icons are in place.
  ScannedFile scanned(kInstall + L"\\89mat.ico", 2);  // a scanner holds a fresh icon twice
  Prepare(scanned, kProgram);
  scanned.FailCopyOf(L"GlypharyInstaller.exe");
  const platform::Platform platform{scanned, fake_.registry, fake_.system};
  Error error = Run(platform);
  EXPECT_EQ(error.Number(), errors::kPermissionDenied);
  EXPECT_FALSE(scanned.IsFolder(kInstall));
  EXPECT_EQ(Pauses(scanned), 2);
  EXPECT_TRUE(error.Advice().empty());
  EXPECT_FALSE(fake_.registry.KeyExists(kMachine, kRecord));

  // Held longer: the record keeps what is left, and the next run that can
  // remove it finishes the removal.
  ScannedFile held(kInstall + L"\\89mat.ico", 5);
  Prepare(held, kProgram);
  held.FailCopyOf(L"GlypharyInstaller.exe");
  error = Run(platform::Platform{held, fake_.registry, fake_.system});
  EXPECT_EQ(error.Number(), errors::kPermissionDenied);
  EXPECT_EQ(held.List(kInstall), std::vector<std::wstring>{L"89mat.ico"});
  EXPECT_EQ(Pauses(held), 4);  // five tries in all
  EXPECT_EQ(error.Path(), kInstall + L"\\GlypharyInstaller.exe");  // the copy's error stays the one reported
  EXPECT_EQ(error.Advice(),
            L"Not everything this run changed could be undone. Left behind: " + kInstall +
                L"\\89mat.ico. The next run of the program (or its /uninstall) takes it away once it "
                L"can be removed.");
  EXPECT_FALSE(held.DeletesAtRestart(kInstall));
  EXPECT_EQ(FindInstallation(platform::Platform{held, fake_.registry, fake_.system}, kMachineTarget),
            Installed::kUnfinished);
  UninstallReport report;
  EXPECT_FALSE(RunUninstallation(platform::Platform{held, fake_.registry, fake_.system}, kMachineTarget, report));
  EXPECT_FALSE(held.IsFolder(kInstall));
  EXPECT_FALSE(fake_.registry.KeyExists(kMachine, kRecord));

  // A value that cannot be taken out again is retried with the rest, and the
  // advice names its key.
  KeptValue kept(L"Ivex.89m\\DefaultIcon");
  platform::FakeFileSystem files;
  Prepare(files, kProgram);
  kept.RefuseValue(kRoot, L"Ivex.89t", L"EditFlags");
  error = Run(platform::Platform{files, kept, fake_.system});
  EXPECT_EQ(error.Path(), L"HKEY_CLASSES_ROOT\\Ivex.89t");
  EXPECT_FALSE(files.IsFolder(kInstall));
  EXPECT_EQ(Pauses(files), 4);
  EXPECT_EQ(kept.KeyCount(kRoot), 2u);
  EXPECT_EQ(error.Advice(),
            L"Not everything this run changed could be undone. Left behind: "
            L"HKEY_CLASSES_ROOT\\Ivex.89m\\DefaultIcon. The next run of the program (or its /uninstall) "
            L"takes it away once it can be removed.");
}

// A registry in which the record cannot be read once its run has started
// changing the machine, as when its key's access list is changed meanwhile.
class RecordUnreadableOnceInstalling : public platform::FakeRegistry {
 public:
  Error ReadValue(platform::RegistryRoot root, std::wstring_view path, std::wstring_view name,
                  platform::RegistryValue& value, bool& found) override {
    const std::optional<platform::FakeValue> state = Value(kMachine, kRecord, L"InstallState");
    if (path == kRecord && state && *state == StoredText(L"InstallState", L"Installing")) {
      return platform::RegistryError(5, root, path);
    }
    return FakeRegistry::ReadValue(root, path, name, value, found);
  }
};

TEST_F(InstallationTest, ARollBackWhoseRecordCannotBeReadSaysSoAndWhere) {
  RecordUnreadableOnceInstalling registry;
  fake_.files.FailCopyOf(L"GlypharyInstaller.exe");
  const Error error = Run(platform::Platform{fake_.files, registry, fake_.system});
  EXPECT_EQ(error.Path(), kInstall + L"\\GlypharyInstaller.exe");  // the failure stands
  EXPECT_EQ(error.Advice(), L"What this run changed could not be undone, as its record HKEY_LOCAL_MACHINE\\" + kRecord +
                                L" cannot be read (Permission denied). The next run of the program (or its "
                                L"/uninstall) takes it away once the record can be read.");
}

TEST_F(InstallationTest, ARecordThatCannotBeStartedLeavesOthersFilesAndValuesAlone) {
  // Another program's icon and an exe of the same names in the folder; the
  // record's key refused: nothing was changed, so nothing is taken back.
  fake_.files.AddFile(kInstall + L"\\89mat.ico", "another program's");
  fake_.files.AddFile(kInstall + L"\\GlypharyInstaller.exe", "another copy");
  Seed(fake_.registry, L".89m", L"", L"Ivex.89m");
  const std::vector<std::wstring> files = fake_.files.Dump();
  const std::vector<std::wstring> registry = fake_.registry.Dump();
  fake_.registry.Refuse(kMachine, kRecord);
  EXPECT_EQ(Run(fake_.platform).Number(), errors::kPermissionDenied);
  EXPECT_EQ(fake_.files.Dump(), files);
  EXPECT_EQ(fake_.registry.Dump(), registry);
}

// A file system on which another program puts its icon into the install
// folder as soon as the installation has made it, before the copies.
class IconAppearsOnceTheFolderIsMade : public platform::FakeFileSystem {
 public:
  Error CreateFolder(std::wstring_view path) override {
    Error made = FakeFileSystem::CreateFolder(path);
    if (!made && path == kInstall) AddFile(kInstall + L"\\89mat.ico", "appeared");
    return made;
  }
};

TEST_F(InstallationTest, AFileThatAppearsWhereACopyGoesIsNotOverwritten) {
  IconAppearsOnceTheFolderIsMade files;
  Prepare(files, kProgram);
  const platform::Platform platform{files, fake_.registry, fake_.system};
  EXPECT_EQ(Run(platform).Number(), errors::kFileAlreadyExists);
  EXPECT_EQ(files.FileBytes(kInstall + L"\\89mat.ico"), "appeared");
  EXPECT_EQ(files.List(kInstall), std::vector<std::wstring>{L"89mat.ico"}) << "not taken back";
  EXPECT_FALSE(fake_.registry.KeyExists(kMachine, kRecord));
}

TEST_F(InstallationTest, AProgramFolderAtADriveRootFindsItsIcons) {
  testing::FakePlatform from_root;
  Prepare(from_root.files, L"E:\\");
  ASSERT_TRUE(from_root.files.IsFile(L"E:\\Icons\\89mat.ico"));
  EXPECT_FALSE(Run(from_root.platform));
  EXPECT_EQ(from_root.files.List(kInstall).size(), 13u);
  EXPECT_EQ(from_root.files.FileBytes(kInstall + L"\\89mat.ico"), "icon 89mat.ico");
}

}  // namespace
}  // namespace glyphary::engine
