// The installation for the current account alone (/user, /currentuser): the
// icons and the uninstaller in the account's local application data folder,
// the file types below HKEY_CURRENT_USER\Software\Classes, its own record
// below HKEY_CURRENT_USER, and nothing for the other accounts. The same
// windows lead there; /uninstall /user removes it and nothing of a
// machine-wide installation beside it, nor that one anything of it.
//
// Wine does not show HKEY_CURRENT_USER\Software\Classes through
// HKEY_CLASSES_ROOT as Windows does, so the account's keys are read where
// they are written, and the machine's below HKEY_LOCAL_MACHINE\Software\Classes.
#include <filesystem>
#include <system_error>

#include "tests/e2e/e2e_test.h"

namespace glyphary::e2e {
namespace {

namespace fs = std::filesystem;

bool Exists(const std::wstring& path) {
  std::error_code ignored;
  return fs::exists(fs::path(path), ignored);
}

// The machine-wide installation as the machine's own classes hold it.
InstallPlace EveryAccount() {
  InstallPlace place = MachineWide();
  place.classes_root = HKEY_LOCAL_MACHINE;
  place.classes_path = L"Software\\Classes\\";
  return place;
}

// A program and its arguments, as a record's command line gives them:
// "<program>" arguments.
struct CommandLine {
  std::wstring program;
  std::wstring arguments;
};
CommandLine SplitCommand(const std::wstring& command) {
  if (command.size() < 2 || command[0] != L'"') return {};
  const size_t closing = command.find(L'"', 1);
  if (closing == std::wstring::npos) return {};
  const size_t rest = command.find_first_not_of(L' ', closing + 1);
  return {command.substr(1, closing - 1),
          rest == std::wstring::npos ? L"" : command.substr(rest)};
}

// The text of a REG_SZ as read.
std::wstring TextIn(const RegistryValue& value) {
  std::wstring text;
  for (size_t i = 0; i + 1 < value.bytes.size(); i += 2) {
    const wchar_t c = static_cast<wchar_t>(value.bytes[i] | (value.bytes[i + 1] << 8));
    if (c == 0) break;
    text += c;
  }
  return text;
}

// The account's local application data folder moved, as an administrator
// or a roaming profile may put it: the folder is made, and the shell's
// record of it (User Shell Folders, and Shell Folders, which older programs
// read) names it. Put back, and the made profile removed, at the end.
class LocalAppDataMoved {
 public:
  LocalAppDataMoved(const std::wstring& profile, const std::wstring& folder) : profile_(profile) {
    std::error_code error;
    fs::create_directories(fs::path(folder), error);
    if (error) return;
    bool all = true;
    for (Saved& saved : saved_) {
      saved.value = ReadValue(HKEY_CURRENT_USER, saved.key, kValue);
      saved.taken = true;
      all &= WriteValue(HKEY_CURRENT_USER, saved.key, kValue, saved.type, RegSzBytes(folder));
    }
    moved_ = all;
  }
  ~LocalAppDataMoved() {
    for (const Saved& saved : saved_) {
      if (!saved.taken) continue;
      if (saved.value.present) {
        WriteValue(HKEY_CURRENT_USER, saved.key, kValue, saved.value.type, saved.value.bytes);
      } else {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, saved.key, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
          RegDeleteValueW(key, kValue);
          RegCloseKey(key);
        }
      }
    }
    std::error_code ignored;
    fs::remove_all(fs::path(profile_), ignored);
  }
  LocalAppDataMoved(const LocalAppDataMoved&) = delete;
  LocalAppDataMoved& operator=(const LocalAppDataMoved&) = delete;

  bool moved() const { return moved_; }

 private:
  static constexpr wchar_t kValue[] = L"Local AppData";
  struct Saved {
    const wchar_t* key;
    DWORD type;
    RegistryValue value;  // as it was
    bool taken = false;   // read, and then written
  };
  Saved saved_[2] = {
      {L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
       REG_EXPAND_SZ, {}, false},
      {L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", REG_SZ, {}, false},
  };
  std::wstring profile_;
  bool moved_ = false;
};

class PerUser : public InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    ASSERT_FALSE(LocalAppData().empty()) << "the account has no local application data folder";
  }

  // Nothing installed for every account: no folder under System32, none of
  // the 24 keys in the machine's classes, no record under HKEY_LOCAL_MACHINE.
  static void ExpectNothingForEveryAccount() {
    EXPECT_EQ(Narrow(WhatIsInstalled(EveryAccount())), "");
  }
};

TEST_F(PerUser, SilentInstallIsTheAccountsAloneAndItsRecordedCommandRemovesIt) {
  const InstallPlace user = ForTheUser();
  EXPECT_EQ(RunSilently(L"/user /S", "install"), 0u);
  ExpectInstalled(user);
  ExpectNothingForEveryAccount();

  // What Settings or a deployment system runs: the record's quiet command,
  // the program kept in the install folder. It moves itself out, so the
  // folder goes, and "Glyphary" above it, left empty, too.
  const CommandLine quiet = SplitCommand(TextIn(ReadValue(HKEY_CURRENT_USER, kRecordKey,
                                                          L"QuietUninstallString")));
  ASSERT_EQ(Narrow(quiet.program), Narrow(user.Program()));
  ASSERT_EQ(Narrow(quiet.arguments), "/uninstall /user /S");
  Process uninstaller;
  ASSERT_EQ(Narrow(uninstaller.Launch(quiet.program, quiet.arguments)), "");
  DWORD code = 0xDEAD;
  ASSERT_TRUE(uninstaller.WaitForExit(60000, &code)) << "the uninstallation did not end";
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(Narrow(WhatIsInstalled(user)), "");
  EXPECT_TRUE(Exists(LocalAppData())) << "the account's own folder went too";
  ExpectNothingForEveryAccount();

  // Again, with a file of someone else's beside TI-89 in "Glyphary": that
  // folder stays, with that file alone.
  ASSERT_EQ(RunSilently(L"/user /S", "again"), 0u);
  ExpectInstalled(user);
  const std::wstring theirs = user.made_parent + L"\\notes.txt";
  ASSERT_TRUE(CopyFileW((user.folder + L"\\89mat.ico").c_str(), theirs.c_str(), TRUE));
  EXPECT_EQ(RunSilently(L"/uninstall /user /S", "uninstall-again"), 0u);
  EXPECT_FALSE(Exists(user.folder));
  EXPECT_EQ(FilesIn(user.made_parent), std::vector<std::wstring>{L"notes.txt"});
  EXPECT_EQ(ShapeOf(HKEY_CURRENT_USER, kRecordKey).values, -1) << "the record is left";
  for (const FileType& type : FileTypes()) {
    EXPECT_EQ(ShapeOf(HKEY_CURRENT_USER, user.ClassKey(type.extension)).values, -1)
        << Narrow(type.extension);
    EXPECT_EQ(ShapeOf(HKEY_CURRENT_USER, user.ClassKey(type.type_id)).values, -1)
        << Narrow(type.type_id);
  }
}

TEST_F(PerUser, TheWindowsInstallForTheAccountAloneAndTheUninstallationAsks) {
  const InstallPlace user = ForTheUser();
  Installer& installer = StartToAgreement(Copy(), L"/user");
  ASSERT_NE(agreement_, nullptr);
  ProgressSighting progress;
  HWND finish = AcceptToFinish(installer, &progress, "progress");
  ASSERT_NE(finish, nullptr) << "no finish window after Accept";
  // A run for the account alone has nothing to ask Windows Installer.
  EXPECT_FALSE(installer.HasLoaded(L"msi.dll"));
  EXPECT_TRUE(progress.seen) << "no progress window between Accept and the finish window";
  if (progress.held) {
    EXPECT_EQ(progress.status_text, L"Editing Registry...");
  }
  EXPECT_TRUE(installer.WaitForGone(kAgreement));
  EXPECT_TRUE(installer.WaitForGone(kProgress));
  EXPECT_EQ(installer.Visible(kSplash), splash_);
  ASSERT_TRUE(WaitFor([&] {
    return ScreenPixel(ClientBox(finish).left + 5, ClientBox(finish).top + 135) ==
           GetSysColor(COLOR_BTNFACE);
  })) << "the finish window was not painted";
  Screenshot("finish-window");
  {
    SCOPED_TRACE("what was installed");
    ExpectInstalled(user);
    ExpectNothingForEveryAccount();
  }

  // Finish with "Restart Computer" unchecked: no restart; checking the box
  // again afterwards shows that the click on Finish was dealt with. Then
  // the user closes the windows and the program ends.
  HWND check = Child(finish, FinishWindow::kRestart);
  HWND button = Child(finish, FinishWindow::kFinish);
  ASSERT_NE(check, nullptr);
  ASSERT_NE(button, nullptr);
  ASSERT_NO_FATAL_FAILURE(ClickFinishUnchecked(check, button));
  EXPECT_TRUE(installer.Running());
  EXPECT_TRUE(ProcessIds(L"wineboot.exe").empty()) << "a restart was asked for";
  PostMessageW(finish, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(installer.WaitForGone(kFinish));
  PostMessageW(splash_, WM_SYSCOMMAND, SC_CLOSE, 0);
  DWORD code = 0xDEAD;
  EXPECT_TRUE(installer.WaitForExit(20000, &code)) << "closing every window did not end it";
  EXPECT_EQ(code, 0u);

  // /uninstall /user asks first, then says what went: the account's folder.
  Installer& declined = Copy("declined");
  HWND question = StartToBox(declined, L"/uninstall /user");
  ASSERT_NE(question, nullptr) << "no question";
  EXPECT_EQ(Answer(declined, question, IDNO), 1223u);
  ExpectInstalled(user);

  const std::wstring summary = UninstallSummary("removed", 0, L"/uninstall /user");
  EXPECT_EQ(summary, L"Removed: the entries of 12 file types and 13 files, and the folder " +
                         user.folder + L".")
      << Narrow(summary);
  EXPECT_EQ(Narrow(WhatIsInstalled(user)), "");
  ExpectNothingForEveryAccount();
}

TEST_F(PerUser, BesideAMachineWideInstallationEachUninstallationRemovesItsOwn) {
  const InstallPlace user = ForTheUser();
  // The machine-wide one removed first, then the other way round.
  for (const bool machine_first : {true, false}) {
    SCOPED_TRACE(machine_first ? "machine-wide removed first" : "the account's removed first");
    const std::string round = machine_first ? "machine-first" : "user-first";
    ASSERT_EQ(RunSilently(L"/S", round + "-machine"), 0u);
    // /currentuser is the same as /user.
    ASSERT_EQ(RunSilently(L"/currentuser /S", round + "-user"), 0u);
    {
      SCOPED_TRACE("both installed");
      ExpectInstalled();
      ExpectInstalled(user);
    }

    if (machine_first) {
      EXPECT_EQ(RunSilently(L"/uninstall /S", round + "-uninstall-machine"), 0u);
      EXPECT_EQ(Narrow(WhatIsInstalled(EveryAccount())), "");
      SCOPED_TRACE("the account's left");
      ExpectInstalled(user);
    } else {
      EXPECT_EQ(RunSilently(L"/uninstall /currentuser /S", round + "-uninstall-user"), 0u);
      EXPECT_EQ(Narrow(WhatIsInstalled(user)), "");
      SCOPED_TRACE("the machine-wide one left");
      ExpectInstalled();
    }
    EXPECT_EQ(RunSilently(machine_first ? L"/uninstall /user /S" : L"/uninstall /S",
                          round + "-uninstall-other"),
              0u);
    EXPECT_EQ(Narrow(WhatIsInstalled(user)), "");
    EXPECT_EQ(Narrow(WhatIsInstalled(EveryAccount())), "");
  }
}

TEST_F(PerUser, ALocalAppDataFolderNamedBeyondTheCodePage) {
  // Latin, Cyrillic and Chinese letters: no ANSI code page holds them all.
  const std::wstring profile = L"C:\\users\\J\u00fcrgen \u0418\u0432\u0430\u043d \u5c0f\u660e";
  const std::wstring local = profile + L"\\AppData\\Local";
  LocalAppDataMoved moved(profile, local);
  ASSERT_TRUE(moved.moved()) << "could not move the local application data folder";
  ASSERT_TRUE(LocalAppData() == local)
      << "the known-folder API does not give the moved folder: " << Narrow(LocalAppData());

  const InstallPlace user = ForTheUser(local);
  EXPECT_EQ(RunSilently(L"/user /S", "install"), 0u);
  // The files in that folder, each DefaultIcon and the record's paths read
  // back (RegQueryValueExW) as written, letter for letter.
  ExpectInstalled(user);
  ExpectNothingForEveryAccount();

  EXPECT_EQ(RunSilently(L"/uninstall /user /S", "uninstall"), 0u);
  EXPECT_EQ(Narrow(WhatIsInstalled(user)), "");
  EXPECT_TRUE(Exists(local));
}

}  // namespace
}  // namespace glyphary::e2e
