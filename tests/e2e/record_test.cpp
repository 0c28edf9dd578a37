// The installation as Apps & Features sees it: listed under its name, and
// removed by the command its record gives, which runs the program kept in
// the install folder. Wine's own `uninstaller` stands in for Settings.
#include "tests/e2e/e2e_test.h"

namespace glyphary::e2e {
namespace {

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

using Record = InstallerTest;

TEST_F(Record, AppsAndFeaturesListsTheInstallationAndItsUninstallerRemovesIt) {
  ASSERT_EQ(RunSilently(L"/S", "install"), 0u);

  const std::wstring list = WorkFolder() + L"\\uninstaller-list.txt";
  Process lister;
  ASSERT_EQ(Narrow(lister.Launch(SystemProgram(L"uninstaller.exe"), L"--list", L"", list)), "");
  ASSERT_TRUE(lister.WaitForExit(30000));
  const std::vector<char> listed = ReadWholeFile(list);
  EXPECT_NE(std::string(listed.begin(), listed.end()).find("GlypharyInstaller|||Glyphary Installer"),
            std::string::npos)
      << std::string(listed.begin(), listed.end());

  // The uninstaller runs the record's UninstallString: our question, then
  // what was removed.
  Process remover;
  ASSERT_EQ(Narrow(remover.Launch(SystemProgram(L"uninstaller.exe"), L"--remove GlypharyInstaller")),
            "");
  HWND question = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (question = InstallerBox(nullptr)) != nullptr; }, 30000))
      << "the installed program asked nothing";
  EXPECT_NE(MessageText(question).find(L"Remove"), std::wstring::npos) << Narrow(MessageText(question));
  PressButton(question, IDYES);
  HWND told = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (told = InstallerBox(question)) != nullptr; }, 30000))
      << "no message after Yes";
  EXPECT_EQ(MessageText(told).rfind(L"Removed:", 0), 0u) << Narrow(MessageText(told));
  PressButton(told, IDOK);
  EXPECT_TRUE(WaitFor([] { return ProcessIds(L"GlypharyInstaller.exe").empty(); }, 20000));
  EXPECT_TRUE(remover.WaitForExit(20000));

  // Everything went, the folder too: the running uninstaller moved itself
  // out of it first, and that copy waits for the next restart.
  EXPECT_EQ(Narrow(WhatIsInstalled()), "");
  const std::vector<std::wstring> pending = PendingDeletes();
  ASSERT_EQ(pending.size(), 1u) << "the moved uninstaller is not left for the restart";
  EXPECT_NE(GetFileAttributesW(pending[0].substr(4).c_str()), INVALID_FILE_ATTRIBUTES)
      << Narrow(pending[0]);
}

}  // namespace
}  // namespace glyphary::e2e
