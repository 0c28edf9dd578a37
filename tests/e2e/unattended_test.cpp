// The command-line roads a deployment system takes: /S installs with no
// window and reports through its exit code, /uninstall removes what was
// installed and nothing of anyone else's, one run at a time, /? and unknown
// switches show the usage. The interactive road afterwards works as before.
#include <filesystem>

#include "tests/e2e/e2e_test.h"

namespace glyphary::e2e {
namespace {

bool Exists(const std::wstring& path) {
  std::error_code ignored;
  return std::filesystem::exists(std::filesystem::path(path), ignored);
}

std::wstring Lower(std::wstring text) {
  CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

class Unattended : public InstallerTest {
 protected:
  // Installs, then uninstalls (with /S when `silent`) while another
  // program reads an icon and shares it for reading only: 3010, and a
  // message that a restart finishes it.
  void UninstallWithAnIconInUse(bool silent) {
    ASSERT_EQ(RunSilently(L"/S", "install"), 0u);
    const std::wstring icon = InstallFolder() + L"\\89mat.ico";
    HANDLE held = CreateFileW(icon.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    if (silent) {
      EXPECT_EQ(RunSilently(L"/uninstall /S", "uninstall"), 3010u);
    } else {
      const std::wstring summary = UninstallSummary("uninstall", 3010);
      EXPECT_NE(summary.find(L"1 file is in use by another program and will be removed when "
                             L"Windows restarts. Restart Windows to finish."),
                std::wstring::npos)
          << Narrow(summary);
    }
    CloseHandle(held);
  }

  // What a restart of the system does to files (wineboot -r: it ends no
  // program).
  static void Restart() {
    Process restart;
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    ASSERT_EQ(Narrow(restart.Launch(std::wstring(system) + L"\\wineboot.exe", L"-r")), "");
    EXPECT_TRUE(restart.WaitForExit(60000)) << "wineboot -r did not end";
    EXPECT_TRUE(PendingDeletes().empty()) << "the restart left deletions waiting";
  }
};

TEST_F(Unattended, SilentInstallWritesEverythingFinishesAnUnrecordedOneAndThenWritesNothing) {
  EXPECT_EQ(RunSilently(L"/S"), 0u);
  ExpectInstalled();

  // Cut short before its record was complete (no DisplayName, written
  // last), with an icon and a key lost: the next run finishes it.
  HKEY record = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRecordKey, 0, KEY_SET_VALUE, &record), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteValueW(record, L"DisplayName"), ERROR_SUCCESS);
  RegCloseKey(record);
  ASSERT_TRUE(std::filesystem::remove(std::filesystem::path(InstallFolder() + L"\\89str.ico")));
  ASSERT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, L"Ivex.89d"), ERROR_SUCCESS);
  RegDeleteKeyW(HKEY_CLASSES_ROOT, L"Ivex.89d");
  EXPECT_EQ(RunSilently(L"/S", "unrecorded"), 0u);
  ExpectInstalled();

  // Again, after hand-made changes: the record is there, nothing is done.
  const std::wstring icon = InstallFolder() + L"\\89mat.ico";
  std::filesystem::remove(std::filesystem::path(icon));
  ASSERT_TRUE(WriteValue(HKEY_CLASSES_ROOT, L"Ivex.89c", L"BrowserFlags", REG_DWORD, RegDwordBytes(0)));
  EXPECT_EQ(RunSilently(L"-quiet", "again"), 0u);
  EXPECT_FALSE(Exists(icon));
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"Ivex.89c", L"BrowserFlags").bytes, RegDwordBytes(0));
}

TEST_F(Unattended, SilentInstallWithoutIconsEndsWithTheErrorAndLeavesNothing) {
  EXPECT_EQ(RunSilently(L"/s", "", /*without_icons=*/true), 76u);
  EXPECT_EQ(Narrow(WhatIsInstalled()), "");
}

TEST_F(Unattended, EmptyArgumentsAreIgnored) {
  EXPECT_EQ(RunSilently(L"\"\" /S", "install"), 0u);
  ExpectInstalled();
  EXPECT_EQ(RunSilently(L"\"\" /uninstall /S \"\"", "uninstall"), 0u);
  EXPECT_EQ(Narrow(WhatIsInstalled()), "");
}

TEST_F(Unattended, UninstallRemovesEverythingAndTheWindowsInstallAgain) {
  ASSERT_EQ(RunSilently(L"/S", "install"), 0u);
  // A read-only icon, as a read-only source carries its attribute along.
  SetFileAttributesW((InstallFolder() + L"\\89pic.ico").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(RunSilently(L"-UNINSTALL -s", "uninstall"), 0u);
  EXPECT_EQ(Narrow(WhatIsInstalled()), "");
  EXPECT_TRUE(PendingDeletes().empty()) << "nothing was in use";

  // The interactive road is unchanged and installs again.
  Installer& installer = StartToAgreement("interactive");
  ASSERT_NE(agreement_, nullptr);
  ASSERT_NE(AcceptToFinish(installer, nullptr), nullptr);
  ExpectInstalled();
}

TEST_F(Unattended, UninstallRemovesAnInstallationCutShortBeforeItsRecord) {
  // Everything made but the record.
  ASSERT_EQ(RunSilently(L"/S", "install"), 0u);
  ASSERT_EQ(RegDeleteTreeW(HKEY_LOCAL_MACHINE, kRecordKey), ERROR_SUCCESS);
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, kRecordKey);
  EXPECT_EQ(RunSilently(L"/uninstall /S", "uninstall"), 0u);
  EXPECT_EQ(FilesIn(InstallFolder()), std::vector<std::wstring>{}) << "files of ours were left";
  EXPECT_EQ(Narrow(WhatIsInstalled()), "");
}

TEST_F(Unattended, UninstallKeepsWhatOthersChangedOrPutThere) {
  ASSERT_EQ(RunSilently(L"/S", "install"), 0u);
  // Another program takes over an extension and changes a value of a type;
  // someone puts a file of their own into the folder.
  const std::vector<BYTE> other = RegSzBytes(L"OtherApp.Program");
  ASSERT_TRUE(WriteValue(HKEY_CLASSES_ROOT, L".89p", L"", REG_SZ, other));
  ASSERT_TRUE(WriteValue(HKEY_CLASSES_ROOT, L"Ivex.89t", L"BrowserFlags", REG_DWORD, RegDwordBytes(9)));
  const std::wstring mine = InstallFolder() + L"\\mine.ico";
  ASSERT_TRUE(CopyFileW((InstallFolder() + L"\\89mat.ico").c_str(), mine.c_str(), TRUE));

  const std::wstring summary = UninstallSummary("uninstall");
  EXPECT_NE(summary.find(L"Kept, as other programs changed or use them: 2 registry values, 2 "
                         L"registry keys and the folder C:\\WINDOWS\\system32\\TI-89"),
            std::wstring::npos)
      << Narrow(summary);

  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L".89p", L"").bytes, other);
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"Ivex.89t", L"BrowserFlags").bytes, RegDwordBytes(9));
  // The rest of those keys was ours: gone.
  EXPECT_EQ(ShapeOf(HKEY_CLASSES_ROOT, L".89p").values, 1);
  EXPECT_EQ(ShapeOf(HKEY_CLASSES_ROOT, L"Ivex.89t").values, 1);
  EXPECT_EQ(ShapeOf(HKEY_CLASSES_ROOT, L"Ivex.89t\\DefaultIcon").values, -1);
  EXPECT_EQ(ShapeOf(HKEY_CLASSES_ROOT, L"Ivex.89p").values, -1);
  for (const FileType& type : FileTypes()) {
    if (std::wstring(type.extension) == L".89p") continue;
    EXPECT_EQ(ShapeOf(HKEY_CLASSES_ROOT, type.extension).values, -1) << Narrow(type.extension);
  }
  EXPECT_EQ(FilesIn(InstallFolder()), std::vector<std::wstring>{L"mine.ico"});
  EXPECT_FALSE(Recorded());

  // Nothing of ours is left: a second uninstallation says so, without asking.
  Installer& again = Copy("again");
  HWND told = StartToBox(again, L"/uninstall");
  ASSERT_NE(told, nullptr);
  EXPECT_EQ(GetDlgItem(told, IDYES), nullptr)
      << "asked although nothing is installed: " << Narrow(MessageText(told));
  EXPECT_NE(MessageText(told).find(L"nothing to remove"), std::wstring::npos)
      << Narrow(MessageText(told));
  Screenshot("again");
}

TEST_F(Unattended, UninstallPutsBackTheAssociationTheInstallationReplaced) {
  const std::vector<BYTE> before = RegSzBytes(L"OtherApp.Program");
  ASSERT_TRUE(WriteValue(HKEY_CLASSES_ROOT, L".89p", L"", REG_SZ, before));
  ASSERT_EQ(RunSilently(L"/S", "install"), 0u);
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L".89p", L"").bytes, RegSzBytes(L"Ivex.89p"));
  const RegistryValue kept = ReadValue(HKEY_LOCAL_MACHINE, kReplacedKey, L".89p|");
  EXPECT_EQ(kept.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(kept.bytes, before);
  EXPECT_EQ(ShapeOf(HKEY_LOCAL_MACHINE, kReplacedKey).values, 1);

  const std::wstring summary = UninstallSummary("uninstall");
  EXPECT_NE(summary.find(L"Put back: 1 file association"), std::wstring::npos) << Narrow(summary);
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L".89p", L"").bytes, before);
  EXPECT_EQ(ShapeOf(HKEY_CLASSES_ROOT, L".89p").values, 1);
  EXPECT_EQ(Narrow(WhatIsInstalled()), "key HKCR\\.89p; ");
}

TEST_F(Unattended, TheUninstallationAsksFirstAndSaysWhatItRemoved) {
  ASSERT_EQ(RunSilently(L"/S", "install"), 0u);
  Installer& declined = Copy("declined");
  HWND question = StartToBox(declined, L"/uninstall");
  ASSERT_NE(question, nullptr) << "no question";
  EXPECT_EQ(Answer(declined, question, IDNO), 1223u);
  ExpectInstalled();

  const std::wstring summary = UninstallSummary("removed");
  // The 13 files of the install folder and the 12 icons where 32-bit
  // programs look.
  EXPECT_NE(summary.find(L"Removed: the entries of 12 file types and 25 files, and the folder "
                         L"C:\\WINDOWS\\system32\\TI-89."),
            std::wstring::npos)
      << Narrow(summary);
  EXPECT_EQ(summary.find(L"Kept"), std::wstring::npos) << Narrow(summary);
  EXPECT_EQ(Narrow(WhatIsInstalled()), "");

  // Nothing left: it says so, without asking.
  Installer& again = Copy("nothing");
  HWND told = StartToBox(again, L"/uninstall");
  ASSERT_NE(told, nullptr);
  EXPECT_EQ(GetDlgItem(told, IDYES), nullptr) << "asked although nothing is installed";
  EXPECT_NE(MessageText(told).find(L"nothing to remove"), std::wstring::npos)
      << Narrow(MessageText(told));
  EXPECT_EQ(Answer(again, told, IDOK), 0u);
}

TEST_F(Unattended, AFileInUseIsRemovedAtTheNextRestart) {
  UninstallWithAnIconInUse(/*silent=*/true);
  // Out of Apps & Features at once; the icon and the folder wait.
  EXPECT_FALSE(Recorded());
  EXPECT_EQ(FilesIn(InstallFolder()), std::vector<std::wstring>{L"89mat.ico"});
  std::vector<std::wstring> pending;
  for (const std::wstring& path : PendingDeletes()) pending.push_back(Lower(path));
  EXPECT_EQ(pending, (std::vector<std::wstring>{L"\\??\\" + Lower(InstallFolder() + L"\\89mat.ico"),
                                                L"\\??\\" + Lower(InstallFolder())}));
  Restart();
  EXPECT_EQ(Narrow(WhatIsInstalled()), "");
}

TEST_F(Unattended, AnInstallationBeforeThatRestartSurvivesIt) {
  UninstallWithAnIconInUse(/*silent=*/false);
  EXPECT_EQ(RunSilently(L"/S", "again"), 0u);
  ExpectInstalled();
  Restart();
  SCOPED_TRACE("after the restart");
  ExpectInstalled();
}

TEST_F(Unattended, OneRunAtATime) {
  // An interactive run waits at its agreement, the pointer on "Accept"; an
  // installation starts and stalls in its copy (a slow disk).
  Installer& interactive = StartToAgreement("interactive");
  ASSERT_NE(agreement_, nullptr);
  const Box accept = WindowBox(Child(agreement_, AgreementWindow::kAccept));
  ASSERT_TRUE(MovePointer(accept.left + accept.width / 2, accept.top + accept.height / 2));
  Installer& slow = Copy("slow");
  AddLargeIcons(slow);
  ASSERT_TRUE(slow.Start(L"/S").empty());
  ASSERT_TRUE(WaitForCopying(slow)) << "the copy was over before anything could be tried";
  ASSERT_TRUE(slow.Hold(true));

  // Meanwhile an uninstallation changes nothing and says why, and "Accept"
  // meets the same. (Under Wine the pointer does not move while a process
  // is held still.)
  EXPECT_EQ(RunSilently(L"/uninstall /S", "uninstall"), 1618u);
  EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == agreement_; }, 10000));
  ClickHere();
  HWND box = interactive.WaitForVisible(kDialogClass);
  slow.Hold(false);
  ASSERT_NE(box, nullptr) << "no error box";
  EXPECT_EQ(MessageText(box).rfind(L"Run-time error '1618':", 0), 0u) << Narrow(MessageText(box));
  Screenshot("busy");
  PressButton(box, IDOK);
  DWORD code = 0;
  EXPECT_TRUE(interactive.WaitForExit(20000, &code));
  EXPECT_EQ(code, 1618u);
  EXPECT_TRUE(interactive.Windows(kFinish).empty());

  // The installation goes on undisturbed, whole.
  ASSERT_TRUE(slow.WaitForExit(60000, &code));
  EXPECT_EQ(code, 0u);
  ExpectInstalled(slow.folder() + L"\\Icons");
}

TEST_F(Unattended, UsageOnRequestAndForAnUnknownSwitch) {
  Installer& asked = Copy("asked");
  HWND usage = StartToBox(asked, L"/?");
  ASSERT_NE(usage, nullptr) << "no usage";
  EXPECT_NE(MessageText(usage).find(L"/uninstall"), std::wstring::npos);
  EXPECT_EQ(Answer(asked, usage, IDOK), 0u);

  Installer& unknown = Copy("unknown");
  usage = StartToBox(unknown, L"/force");
  ASSERT_NE(usage, nullptr);
  EXPECT_EQ(Answer(unknown, usage, IDOK), 87u);
  // Silent, an unknown switch shows nothing and still says so.
  EXPECT_EQ(RunSilently(L"/S /force", "silent"), 87u);
  EXPECT_EQ(Narrow(WhatIsInstalled()), "");
}

}  // namespace
}  // namespace glyphary::e2e
