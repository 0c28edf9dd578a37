// The installation as Apps & Features sees it: listed under its name, and
// removed by the command its record gives, which runs the program kept in
// the install folder. Wine's own `uninstaller` stands in for Settings.
#include "tests/e2e/e2e_test.h"

namespace glyphary::e2e {
namespace {

// What Wine's uninstaller lists: a line "<key>|||<DisplayName>" for each
// record it finds.
std::string UninstallerList() {
  const std::wstring list = WorkFolder() + L"\\uninstaller-list.txt";
  Process lister;
  EXPECT_EQ(Narrow(lister.Launch(SystemProgram(L"uninstaller.exe"), L"--list", L"", list)), "");
  EXPECT_TRUE(lister.WaitForExit(30000));
  const std::vector<char> listed = ReadWholeFile(list);
  return std::string(listed.begin(), listed.end());
}

// How many lines of the list are our record's.
size_t TimesListed(const std::string& list) {
  size_t times = 0;
  for (size_t start = 0; start < list.size();) {
    size_t end = list.find('\n', start);
    if (end == std::string::npos) end = list.size();
    std::string line = list.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    times += line == "GlypharyInstaller|||Glyphary Installer";
    start = end + 1;
  }
  return times;
}

// A visible message box of a running GlypharyInstaller.exe other than
// `besides`, or null.
HWND InstallerBox(HWND besides) {
  for (DWORD pid : ProcessIds(L"GlypharyInstaller.exe")) {
    for (HWND box : TopLevelWindows(pid, L"#32770")) {
      if (box != besides && IsWindowVisible(box)) return box;
    }
  }
  return nullptr;
}

// Removes the installation as Settings does: Wine's uninstaller runs the
// record's UninstallString, the installed program, whose question is
// answered Yes and whose message is read and closed. The texts of both
// boxes go into `question_text` and `told_text`.
void RemoveThroughUninstaller(std::wstring* question_text, std::wstring* told_text) {
  Process remover;
  ASSERT_EQ(Narrow(remover.Launch(SystemProgram(L"uninstaller.exe"), L"--remove GlypharyInstaller")),
            "");
  HWND question = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (question = InstallerBox(nullptr)) != nullptr; }, 30000))
      << "the installed program asked nothing";
  *question_text = MessageText(question);
  PressButton(question, IDYES);
  HWND told = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (told = InstallerBox(question)) != nullptr; }, 30000))
      << "no message after Yes";
  *told_text = MessageText(told);
  PressButton(told, IDOK);
  EXPECT_TRUE(WaitFor([] { return ProcessIds(L"GlypharyInstaller.exe").empty(); }, 20000));
  EXPECT_TRUE(remover.WaitForExit(20000));
}

using Record = InstallerTest;

TEST_F(Record, AppsAndFeaturesListsTheInstallationAndItsUninstallerRemovesIt) {
  ASSERT_EQ(RunSilently(L"/S", "install"), 0u);

  const std::string listed = UninstallerList();
  EXPECT_EQ(TimesListed(listed), 1u) << listed;

  // The uninstaller runs the record's UninstallString: our question, then
  // what was removed.
  std::wstring question, told;
  ASSERT_NO_FATAL_FAILURE(RemoveThroughUninstaller(&question, &told));
  EXPECT_NE(question.find(L"Remove"), std::wstring::npos) << Narrow(question);
  EXPECT_EQ(told.rfind(L"Removed:", 0), 0u) << Narrow(told);

  // Everything went, the folder too: the running uninstaller moved itself
  // out of it first, and that copy waits for the next restart.
  EXPECT_EQ(Narrow(WhatIsInstalled()), "");
  const std::vector<std::wstring> pending = PendingDeletes();
  ASSERT_EQ(pending.size(), 1u) << "the moved uninstaller is not left for the restart";
  EXPECT_NE(GetFileAttributesW(pending[0].substr(4).c_str()), INVALID_FILE_ATTRIBUTES)
      << Narrow(pending[0]);
}

// Wine's uninstaller lists the records below HKEY_CURRENT_USER as well as
// those below HKEY_LOCAL_MACHINE, each under its key's name.
TEST_F(Record, AppsAndFeaturesListsTheAccountsInstallationTooAndItsUninstallerRemovesIt) {
  ASSERT_EQ(RunSilently(L"/S", "machine"), 0u);
  ASSERT_EQ(RunSilently(L"/user /S", "user"), 0u);
  std::string listed = UninstallerList();
  EXPECT_EQ(TimesListed(listed), 2u) << "one entry for each installation expected:\n" << listed;
  ASSERT_EQ(RunSilently(L"/uninstall /S", "uninstall-machine"), 0u);
  listed = UninstallerList();
  EXPECT_EQ(TimesListed(listed), 1u) << listed;

  // Removed from there: the account's UninstallString runs the program in
  // the account's folder, which asks and then says what it removed there.
  const InstallPlace user = ForTheUser();
  std::wstring question, told;
  ASSERT_NO_FATAL_FAILURE(RemoveThroughUninstaller(&question, &told));
  EXPECT_EQ(told, L"Removed: the entries of 12 file types and 13 files, and the folder " +
                      user.folder + L".")
      << Narrow(told);
  EXPECT_EQ(Narrow(WhatIsInstalled(user)), "");
  EXPECT_EQ(TimesListed(UninstallerList()), 0u);
}

}  // namespace
}  // namespace glyphary::e2e
