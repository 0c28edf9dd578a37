// When the installation cannot be done: the error box says why, the
// program ends with a failure code, no finish window claims success, and
// nothing is left half-installed: what the run made is undone.
#include <filesystem>
#include <fstream>

#include "tests/e2e/e2e_test.h"

namespace glyphary::e2e {
namespace {

constexpr int kMessageBoxText = 0xFFFF;  // the static control of a message box

// No key of the twelve file types exists, and no record.
void ExpectNothingRegistered() {
  for (const FileType& type : FileTypes()) {
    EXPECT_EQ(ShapeOf(HKEY_CLASSES_ROOT, type.extension).values, -1) << Narrow(type.extension);
    EXPECT_EQ(ShapeOf(HKEY_CLASSES_ROOT, type.type_id).values, -1) << Narrow(type.type_id);
  }
  EXPECT_EQ(ShapeOf(HKEY_LOCAL_MACHINE, kRecordKey).values, -1) << "a record";
}

std::wstring CharLowerText(std::wstring text) {
  CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

class InstallFailure : public InstallerTest {
 protected:
  // Presses Accept and waits for the error box. Returns it (null if none).
  HWND AcceptToErrorBox(Installer& installer) {
    HWND accept = Child(agreement_, AgreementWindow::kAccept);
    EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == agreement_; }));
    EXPECT_TRUE(ClickCentre(accept));
    return installer.WaitForVisible(L"#32770");
  }

  // Reads the box, checks that no window claims success meanwhile, presses
  // OK and expects the program to end with a failure code.
  void ExpectErrorBoxThenFailure(Installer& installer, HWND box, const std::wstring& text) {
    EXPECT_EQ(CaptionOf(box), L"Glyphary Installer");
    HWND message = GetDlgItem(box, kMessageBoxText);
    ASSERT_NE(message, nullptr);
    // Paths as the system spells them ("C:\\windows\\system32" under Wine).
    EXPECT_EQ(CharLowerText(CaptionOf(message)), CharLowerText(text));
    EXPECT_TRUE(installer.Windows(kFinish).empty()) << "a finish window despite the error";
    EXPECT_EQ(installer.Visible(kProgress), nullptr);
    EXPECT_TRUE(InsideWorkArea(WindowBox(box))) << WindowBox(box);
    ASSERT_TRUE(WaitFor([&] {
      const Box shown = WindowBox(box);
      return ScreenPixel(shown.left + shown.width / 2, shown.top + shown.height - 8) ==
             GetSysColor(COLOR_BTNFACE);
    })) << "the error box was not painted";
    Screenshot("error-box");

    HWND ok = GetDlgItem(box, IDOK);
    ASSERT_NE(ok, nullptr);
    EXPECT_TRUE(ClickCentre(ok));
    DWORD code = 0;
    ASSERT_TRUE(installer.WaitForExit(20000, &code)) << "the program goes on after the error";
    EXPECT_NE(code, 0u) << "the failed installation ends as a success";
  }
};

TEST_F(InstallFailure, AFileInTheWayIsReportedAndNothingIsRegistered) {
  // A file where the install folder goes.
  const std::wstring in_the_way = InstallFolder();
  {
    std::ofstream file(std::filesystem::path(in_the_way), std::ios::binary);
    file << "not a folder";
  }
  Installer& installer = StartToAgreement();
  ASSERT_NE(agreement_, nullptr);
  HWND box = AcceptToErrorBox(installer);
  ASSERT_NE(box, nullptr) << "no error box";
  ExpectErrorBoxThenFailure(installer, box,
                            L"Run-time error '58':\n\nFile already exists\n\n" + in_the_way);

  EXPECT_FALSE(std::filesystem::is_directory(std::filesystem::path(in_the_way)));
  std::vector<char> kept = ReadWholeFile(in_the_way);
  EXPECT_EQ(std::string(kept.begin(), kept.end()), "not a folder") << "the file was touched";
  ExpectNothingRegistered();
}

TEST_F(InstallFailure, MissingIconsAreReportedAndLeaveNoFolderBehind) {
  // A copy of the program without its Icons folder, as when the exe is
  // opened from inside the downloaded archive.
  Installer& installer = Copy();
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::path(installer.folder() + L"\\Icons"), ignored);
  ASSERT_FALSE(std::filesystem::exists(std::filesystem::path(installer.folder() + L"\\Icons")));
  ASSERT_TRUE(installer.Start().empty());
  agreement_ = installer.WaitForVisible(kAgreement);
  ASSERT_NE(agreement_, nullptr);

  HWND box = AcceptToErrorBox(installer);
  ASSERT_NE(box, nullptr) << "no error box";
  ExpectErrorBoxThenFailure(
      installer, box,
      L"Run-time error '76':\n\nPath not found\n\n" + installer.folder() +
          L"\\Icons\n\nThe Icons folder must lie beside GlypharyInstaller.exe. Unpack the whole "
          L"download and run GlypharyInstaller.exe from the unpacked folder.");

  // Found before anything was made: no install folder, so that a later run
  // with the icons in place installs.
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(InstallFolder()), ignored))
      << "an install folder was made";
  ExpectNothingRegistered();
}

TEST_F(InstallFailure, ARefusedRegistryKeyStopsTheRunBeforeItChangesAnything) {
  // A key that was there before, with an access list that grants nothing: a
  // type key, one of the places the run reads before it writes anything,
  // and the record's key, which every run reads first. What cannot be read
  // cannot be saved, so nothing is overwritten.
  struct Refused {
    HKEY root;
    std::wstring key;
    const char* left;  // what the failed run leaves: the key alone
  };
  const Refused cases[] = {
      {HKEY_CLASSES_ROOT, L"Ivex.89t", "key HKCR\\Ivex.89t; "},
      {HKEY_LOCAL_MACHINE, kRecordKey,
       "record HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\GlypharyInstaller; "},
  };
  for (const Refused& refused : cases) {
    SCOPED_TRACE(Narrow(refused.key));
    ASSERT_EQ(Narrow(ResetMachine()), "");
    HKEY made = nullptr;
    ASSERT_EQ(RegCreateKeyExW(refused.root, refused.key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &made, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(made);
    ASSERT_TRUE(SetKeyAccess(refused.root, refused.key, /*refused=*/true));
    HKEY opened = nullptr;
    ASSERT_EQ(RegOpenKeyExW(refused.root, refused.key.c_str(), 0, KEY_SET_VALUE, &opened),
              ERROR_ACCESS_DENIED)
        << "the system does not refuse writes to the key: nothing tested";

    EXPECT_EQ(RunSilently(L"/S", "refused"), 70u);
    EXPECT_EQ(Narrow(WhatIsInstalled()), refused.left);

    // Once the key can be written, a corrected run installs.
    ASSERT_TRUE(SetKeyAccess(refused.root, refused.key, /*refused=*/false));
    EXPECT_EQ(ShapeOf(refused.root, refused.key).values, 0) << "a value was left in it";
    EXPECT_EQ(RunSilently(L"/S", "corrected"), 0u);
    ExpectInstalled();
  }
}

}  // namespace
}  // namespace glyphary::e2e
