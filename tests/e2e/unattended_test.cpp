// The command-line roads a deployment system takes: /S installs with no
// window and reports through its exit code, /uninstall removes what was
// installed and nothing of anyone else's, /? and unknown switches show the
// usage. The interactive road afterwards works as before.
#include <filesystem>
#include <fstream>

#include "tests/e2e/e2e_test.h"

namespace glyphary::e2e {
namespace {

constexpr wchar_t kDialogClass[] = L"#32770";  // a message box

class Unattended : public InstallerTest {
 protected:
  // Runs the program with `arguments` to its end, watching that it never
  // shows a window. Returns its exit code (or 0xDEAD when it does not end).
  DWORD RunSilently(const std::wstring& arguments, const std::string& run = "",
                    bool without_icons = false) {
    Installer& installer = Copy(run);
    if (without_icons) {
      std::error_code ignored;
      std::filesystem::remove_all(std::filesystem::path(installer.folder() + L"\\Icons"), ignored);
    }
    EXPECT_TRUE(installer.Start(arguments).empty());
    bool window_seen = false;
    WaitFor(
        [&] {
          for (HWND window : TopLevelWindows(installer.pid())) {
            window_seen = window_seen || IsWindowVisible(window);
          }
          return !installer.Running();
        },
        30000);
    EXPECT_FALSE(window_seen) << Narrow(arguments) << " showed a window";
    DWORD code = 0xDEAD;
    EXPECT_TRUE(installer.WaitForExit(1000, &code)) << Narrow(arguments) << " did not end";
    return code;
  }

  // Starts the program with `arguments` and returns its message box.
  HWND StartToBox(Installer& installer, const std::wstring& arguments) {
    EXPECT_TRUE(installer.Start(arguments).empty());
    return installer.WaitForVisible(kDialogClass);
  }

  // Waits until the box is in front, settled and painted, then presses its
  // button `id`.
  static void Press(HWND box, int id) {
    HWND button = GetDlgItem(box, id);
    EXPECT_NE(button, nullptr);
    EXPECT_TRUE(Settle(box)) << "the box does not stay in front";
    EXPECT_TRUE(WaitFor([&] {
      const Box shown = WindowBox(box);
      return ScreenPixel(shown.left + shown.width / 2, shown.top + shown.height - 8) ==
             GetSysColor(COLOR_BTNFACE);
    })) << "the box was not painted";
    EXPECT_TRUE(ClickCentre(button));
  }

  // Presses the box's button `id` and returns the program's exit code.
  DWORD Answer(Installer& installer, HWND box, int id) {
    Press(box, id);
    DWORD code = 0xDEAD;
    EXPECT_TRUE(installer.WaitForExit(20000, &code));
    return code;
  }
};

TEST_F(Unattended, SilentInstallWritesEverythingAndASecondOneNothing) {
  EXPECT_EQ(RunSilently(L"/S"), 0u);
  ExpectInstalled();

  // Again, after a hand-made change: the folder is there, nothing is done.
  const std::wstring icon = InstallFolder() + L"\\89mat.ico";
  std::filesystem::remove(std::filesystem::path(icon));
  EXPECT_EQ(RunSilently(L"-quiet", "again"), 0u);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(icon)));
}

TEST_F(Unattended, SilentInstallWithoutIconsEndsWithTheErrorAndLeavesNothing) {
  EXPECT_EQ(RunSilently(L"/s", "", /*without_icons=*/true), 76u);
  EXPECT_EQ(Narrow(WhatIsInstalled()), "");
}

TEST_F(Unattended, UninstallRemovesEverythingAndTheWindowsInstallAgain) {
  ASSERT_EQ(RunSilently(L"/S", "install"), 0u);
  // A read-only icon, as a read-only source carries its attribute along.
  SetFileAttributesW((InstallFolder() + L"\\89pic.ico").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(RunSilently(L"/uninstall /S", "uninstall"), 0u);
  EXPECT_EQ(Narrow(WhatIsInstalled()), "");

  // The interactive road is unchanged and installs again.
  Installer& installer = StartToAgreement("interactive");
  ASSERT_NE(agreement_, nullptr);
  ASSERT_NE(AcceptToFinish(installer, nullptr), nullptr);
  ExpectInstalled();
}

TEST_F(Unattended, UninstallLeavesAnExtensionAnotherProgramTookOver) {
  ASSERT_EQ(RunSilently(L"/S", "install"), 0u);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, L".89p", 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
  const std::wstring other = L"OtherApp.Program";
  RegSetValueExW(key, L"", 0, REG_SZ, reinterpret_cast<const BYTE*>(other.c_str()),
                 static_cast<DWORD>((other.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);

  EXPECT_EQ(RunSilently(L"-UNINSTALL -s", "uninstall"), 0u);
  const RegistryValue kept = ReadValue(HKEY_CLASSES_ROOT, L".89p", L"");
  EXPECT_TRUE(kept.present);
  EXPECT_EQ(kept.bytes, RegSzBytes(other));
  EXPECT_EQ(ShapeOf(HKEY_CLASSES_ROOT, L"Ivex.89p").values, -1);  // ours: gone
  for (const FileType& type : FileTypes()) {
    if (std::wstring(type.extension) == L".89p") continue;
    EXPECT_EQ(ShapeOf(HKEY_CLASSES_ROOT, type.extension).values, -1) << Narrow(type.extension);
  }
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(InstallFolder())));
}

TEST_F(Unattended, TheUninstallationAsksFirstAndSaysWhatItRemoved) {
  ASSERT_EQ(RunSilently(L"/S", "install"), 0u);
  Installer& declined = Copy("declined");
  HWND question = StartToBox(declined, L"/uninstall");
  ASSERT_NE(question, nullptr) << "no question";
  EXPECT_EQ(Answer(declined, question, IDNO), 1223u);
  ExpectInstalled();

  Installer& accepted = Copy("accepted");
  question = StartToBox(accepted, L"/uninstall");
  ASSERT_NE(question, nullptr);
  Press(question, IDYES);
  HWND told = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    told = accepted.Visible(kDialogClass);
    return told != nullptr && told != question && IsWindow(told);
  }));
  const std::wstring text = CaptionOf(GetDlgItem(told, 0xFFFF));
  EXPECT_NE(text.find(L"12 file types and 12 icon files"), std::wstring::npos) << Narrow(text);
  Screenshot("removed");
  EXPECT_EQ(Answer(accepted, told, IDOK), 0u);
  EXPECT_EQ(Narrow(WhatIsInstalled()), "");
}

TEST_F(Unattended, UsageOnRequestAndForAnUnknownSwitch) {
  Installer& asked = Copy("asked");
  HWND usage = StartToBox(asked, L"/?");
  ASSERT_NE(usage, nullptr) << "no usage";
  EXPECT_NE(CaptionOf(GetDlgItem(usage, 0xFFFF)).find(L"/uninstall"), std::wstring::npos);
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
