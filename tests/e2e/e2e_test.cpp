#include "tests/e2e/e2e_test.h"

namespace glyphary::e2e {

std::string Narrow(const std::wstring& text) {
  std::string narrow;
  for (wchar_t c : text) narrow += c < 128 ? static_cast<char>(c) : '?';
  return narrow;
}

std::wstring AgreementText() {
  std::wstring text;
  for (char c : ReadWholeFile(Setting(L"GLYPHARY_E2E_AGREEMENT"))) {
    text += static_cast<wchar_t>(static_cast<unsigned char>(c));
  }
  return text;
}

bool TabTo(HWND window, HWND expected, bool backwards) {
  PressKey(VK_TAB, backwards);
  return WaitFor([&] { return FocusIn(window) == expected; }, 10000);
}

bool Settle(HWND window) {
  constexpr ULONGLONG kQuiet = 300;  // ms without a change
  const ULONGLONG start = GetTickCount64();
  HWND focus = FocusIn(window);
  HWND foreground = GetForegroundWindow();
  ULONGLONG since = start;
  while (GetTickCount64() - start < 10000) {
    WaitFor([] { return false; }, 5);
    HWND now_focus = FocusIn(window);
    HWND now_foreground = GetForegroundWindow();
    if (now_focus != focus || now_foreground != foreground) {
      focus = now_focus;
      foreground = now_foreground;
      since = GetTickCount64();
    } else if (foreground == window && GetTickCount64() - since >= kQuiet) {
      return true;
    }
  }
  return false;
}

// The driver sees the screen in real pixels, as the installer (which is DPI
// aware) does; otherwise the system would scale what it reads at any DPI
// but 96.
[[maybe_unused]] const bool kDpiAware = SetProcessDPIAware() != FALSE;

LRESULT CheckState(HWND check_box) {
  DWORD_PTR state = 0;
  if (!SendMessageTimeoutW(check_box, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &state)) {
    return -1;
  }
  return static_cast<LRESULT>(state);
}

// Everything the installation leaves on the machine, checked against the
// twelve file types and the shipped icons.
void ExpectInstalled() {
  // The folder holds exactly the icons shipped beside the program.
  const std::wstring shipped_icons = DistFolder() + L"\\Icons";
  const std::vector<std::wstring> shipped = FilesIn(shipped_icons);
  ASSERT_EQ(shipped.size(), FileTypes().size()) << "the distribution folder's Icons";
  EXPECT_EQ(FilesIn(InstallFolder()), shipped);
  for (const std::wstring& name : shipped) {
    EXPECT_TRUE(ReadWholeFile(InstallFolder() + L"\\" + name) ==
                ReadWholeFile(shipped_icons + L"\\" + name))
        << Narrow(name) << " differs from the shipped icon";
  }

  // Three keys and four values a type, with their exact types and bytes.
  long keys = 0;
  long values = 0;
  for (const FileType& type : FileTypes()) {
    SCOPED_TRACE(Narrow(type.extension));
    const std::wstring icon_key = std::wstring(type.type_id) + L"\\DefaultIcon";
    struct ExpectedValue {
      std::wstring key;
      const wchar_t* name;
      DWORD type;
      std::vector<BYTE> bytes;
    };
    const ExpectedValue expected[] = {
        {type.extension, L"", REG_SZ, RegSzBytes(type.type_id)},
        {type.type_id, L"BrowserFlags", REG_DWORD, RegDwordBytes(8)},
        {type.type_id, L"EditFlags", REG_DWORD, RegDwordBytes(0)},
        {icon_key, L"", REG_SZ, RegSzBytes(DefaultIconText(type))},
    };
    for (const ExpectedValue& value : expected) {
      SCOPED_TRACE(Narrow(value.key) + " " + Narrow(value.name));
      const RegistryValue read = ReadValue(HKEY_CLASSES_ROOT, value.key, value.name);
      EXPECT_TRUE(read.present);
      EXPECT_EQ(read.type, value.type);
      EXPECT_EQ(read.bytes, value.bytes);
      // The icon each type points at is one that was copied.
      if (value.key == icon_key) {
        EXPECT_EQ(ReadWholeFile(InstallFolder() + L"\\" + type.icon).empty(), false);
      }
    }
    // Nothing else in these keys.
    const KeyShape extension = ShapeOf(HKEY_CLASSES_ROOT, type.extension);
    const KeyShape type_key = ShapeOf(HKEY_CLASSES_ROOT, type.type_id);
    const KeyShape icon = ShapeOf(HKEY_CLASSES_ROOT, icon_key);
    EXPECT_EQ(extension.subkeys, 0);
    EXPECT_EQ(extension.values, 1);
    EXPECT_EQ(type_key.subkeys, 1);
    EXPECT_EQ(type_key.values, 2);
    EXPECT_EQ(icon.subkeys, 0);
    EXPECT_EQ(icon.values, 1);
    for (const KeyShape& shape : {extension, type_key, icon}) {
      if (shape.values >= 0) {
        ++keys;
        values += shape.values;
      }
    }
  }
  EXPECT_EQ(keys, 36);
  EXPECT_EQ(values, 48);
}

void InstallerTest::SetUp() {
  ASSERT_TRUE(testing::OnThrowawayMachine()) << testing::kRefusal;
  ASSERT_FALSE(DistFolder().empty()) << "GLYPHARY_E2E_DIST is not set";
  const std::wstring left = ResetMachine();
  ASSERT_TRUE(left.empty()) << "the machine could not be reset: " << Narrow(left);
  ParkPointer();
}

void InstallerTest::TearDown() {
  if (HasFailure()) Screenshot("failure");
  runs_.clear();  // ends every run that is still going
  ResetMachine();
}

Installer& InstallerTest::Copy(const std::string& run) {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(test->test_suite_name()) + "." + test->name();
  if (!run.empty()) name += "-" + run;
  runs_.push_back(std::make_unique<Installer>(name));
  EXPECT_TRUE(runs_.back()->Copied()) << "the distribution folder was not copied";
  return *runs_.back();
}

Installer& InstallerTest::Start(const std::string& run) {
  Installer& installer = Copy(run);
  const std::wstring error = installer.Start();
  EXPECT_TRUE(error.empty()) << Narrow(error);
  return installer;
}

Installer& InstallerTest::StartToAgreement(const std::string& run) {
  Installer& installer = Start(run);
  splash_ = installer.WaitForVisible(kSplash);
  agreement_ = installer.WaitForVisible(kAgreement);
  EXPECT_NE(splash_, nullptr) << "no splash window";
  EXPECT_NE(agreement_, nullptr) << "no agreement window";
  if (agreement_ != nullptr) {
    EXPECT_TRUE(Settle(agreement_)) << "the agreement window does not stay in front";
  }
  return installer;
}

HWND InstallerTest::AcceptToFinish(Installer& installer, ProgressSighting* sighting,
                                   const std::string& screenshot_label) {
  HWND accept = Child(agreement_, AgreementWindow::kAccept);
  EXPECT_NE(accept, nullptr) << "no Accept button";
  if (accept == nullptr) return nullptr;
  // The agreement window brought itself to the front; the click lands on it.
  EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == agreement_; }, 10000));
  EXPECT_TRUE(ClickCentre(accept)) << "the pointer did not reach Accept";
  ProgressSighting seen = WatchProgress(installer, screenshot_label);
  if (sighting != nullptr) *sighting = seen;
  HWND finish = installer.WaitForVisible(kFinish);
  if (finish != nullptr) {
    EXPECT_TRUE(Settle(finish)) << "the finish window does not stay in front";
  }
  return finish;
}

}  // namespace glyphary::e2e
