#include "tests/e2e/e2e_test.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

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

void ClickFinishUnchecked(HWND check, HWND button) {
  EXPECT_TRUE(ClickCentre(check));
  ASSERT_TRUE(WaitFor([&] { return CheckState(check) == BST_UNCHECKED; })) << "did not uncheck";
  EXPECT_TRUE(ClickCentre(button));
  EXPECT_TRUE(ClickCentre(check));
  ASSERT_TRUE(WaitFor([&] { return CheckState(check) == BST_CHECKED; })) << "did not check";
}

std::wstring SystemProgram(const wchar_t* name) {
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  return std::wstring(system) + L"\\" + name;
}

std::wstring VersionOf(const std::wstring& program) {
  DWORD ignored = 0;
  std::vector<BYTE> data(GetFileVersionInfoSizeW(program.c_str(), &ignored));
  VS_FIXEDFILEINFO* info = nullptr;
  UINT size = 0;
  if (data.empty() || !GetFileVersionInfoW(program.c_str(), 0, static_cast<DWORD>(data.size()),
                                           data.data()) ||
      !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &size)) {
    return L"";
  }
  return std::to_wstring(HIWORD(info->dwProductVersionMS)) + L"." +
         std::to_wstring(LOWORD(info->dwProductVersionMS)) + L"." +
         std::to_wstring(HIWORD(info->dwProductVersionLS)) + L"." +
         std::to_wstring(LOWORD(info->dwProductVersionLS));
}

namespace {

// The names in a '|'-separated list, sorted.
std::vector<std::wstring> SplitNames(const std::vector<BYTE>& reg_sz) {
  std::vector<std::wstring> names(1);
  for (size_t i = 0; i + 1 < reg_sz.size(); i += 2) {
    const wchar_t c = static_cast<wchar_t>(reg_sz[i] | (reg_sz[i + 1] << 8));
    if (c == L'|') {
      names.emplace_back();
    } else if (c != 0) {
      names.back() += c;
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The record in Apps & Features: its twelve values, for the files now in
// the install folder (all of them the installation's).
void ExpectRecord(const InstallPlace& place) {
  const std::vector<std::wstring> files = FilesIn(place.folder);
  unsigned long long bytes = 0;
  std::error_code ignored;
  for (const std::wstring& name : files) {
    bytes += std::filesystem::file_size(std::filesystem::path(place.folder + L"\\" + name), ignored);
  }
  const std::wstring program = place.Program();
  const std::wstring version = VersionOf(DistFolder() + L"\\GlypharyInstaller.exe");
  EXPECT_FALSE(version.empty()) << "the shipped program has no version resource";
  const std::wstring uninstall = L"\"" + program + L"\" " + place.uninstall;
  struct ExpectedValue {
    const wchar_t* name;
    DWORD type;
    std::vector<BYTE> bytes;
  };
  const ExpectedValue expected[] = {
      {L"DisplayName", REG_SZ, RegSzBytes(L"Glyphary Installer")},
      {L"DisplayVersion", REG_SZ, RegSzBytes(version)},
      {L"Publisher", REG_SZ, RegSzBytes(L"Quillfern Software")},
      {L"DisplayIcon", REG_SZ, RegSzBytes(program + L",0")},
      {L"InstallLocation", REG_SZ, RegSzBytes(place.folder)},
      {L"EstimatedSize", REG_DWORD, RegDwordBytes(static_cast<DWORD>((bytes + 1023) / 1024))},
      {L"NoModify", REG_DWORD, RegDwordBytes(1)},
      {L"NoRepair", REG_DWORD, RegDwordBytes(1)},
      {L"UninstallString", REG_SZ, RegSzBytes(uninstall)},
      {L"QuietUninstallString", REG_SZ, RegSzBytes(uninstall + L" /S")},
      {L"InstallState", REG_SZ, RegSzBytes(L"Installed")},
  };
  for (const ExpectedValue& value : expected) {
    SCOPED_TRACE(Narrow(value.name));
    const RegistryValue read = ReadValue(place.record_root, kRecordKey, value.name);
    EXPECT_TRUE(read.present);
    EXPECT_EQ(read.type, value.type);
    EXPECT_EQ(read.bytes, value.bytes);
  }
  const RegistryValue installed = ReadValue(place.record_root, kRecordKey, L"InstalledFiles");
  EXPECT_EQ(installed.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(SplitNames(installed.bytes), files) << "InstalledFiles";
  // The icons where 32-bit programs look, for every account.
  const bool wow64 = !place.wow64_folder.empty();
  if (wow64) {
    const RegistryValue twin = ReadValue(place.record_root, kRecordKey, L"InstalledFilesWow64");
    EXPECT_EQ(twin.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(SplitNames(twin.bytes), FilesIn(place.wow64_folder)) << "InstalledFilesWow64";
  }
  // Nothing else but the keys that were there before, where some were; on
  // a machine without other programs' associations, nothing replaced.
  const RegistryValue keys = ReadValue(place.record_root, kRecordKey, L"ExistingKeys");
  EXPECT_TRUE(!keys.present || keys.type == static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(ShapeOf(place.record_root, kRecordKey).values, 12 + (wow64 ? 1 : 0) + (keys.present ? 1 : 0));
  EXPECT_EQ(ShapeOf(place.record_root, kRecordKey).subkeys, 0) << "values recorded as replaced";
}

}  // namespace

// Everything the installation leaves on the machine, checked against the
// twelve file types, the icons it was given and the shipped program.
void ExpectInstalled(const std::wstring& icons_folder) { ExpectInstalled(MachineWide(), icons_folder); }

void ExpectInstalled(const InstallPlace& place, const std::wstring& icons_folder) {
  // The folder holds exactly the icons shipped beside the program, and the
  // program itself.
  const std::wstring shipped_icons =
      icons_folder.empty() ? DistFolder() + L"\\Icons" : icons_folder;
  const std::vector<std::wstring> shipped = FilesIn(shipped_icons);
  for (const FileType& type : FileTypes()) {
    ASSERT_TRUE(std::count(shipped.begin(), shipped.end(), type.icon) == 1)
        << Narrow(type.icon) << " is not among the icons given";
  }
  std::vector<std::wstring> files = shipped;
  files.push_back(L"GlypharyInstaller.exe");
  std::sort(files.begin(), files.end());
  EXPECT_EQ(FilesIn(place.folder), files);
  for (const std::wstring& name : shipped) {
    EXPECT_TRUE(ReadWholeFile(place.folder + L"\\" + name) ==
                ReadWholeFile(shipped_icons + L"\\" + name))
        << Narrow(name) << " differs from the shipped icon";
  }
  EXPECT_TRUE(ReadWholeFile(place.Program()) ==
              ReadWholeFile(DistFolder() + L"\\GlypharyInstaller.exe"))
      << "the installed program differs from the shipped one";
  // For every account, the icons again (not the program) where 32-bit
  // programs look.
  if (!place.wow64_folder.empty()) {
    EXPECT_EQ(FilesIn(place.wow64_folder), shipped);
    for (const std::wstring& name : shipped) {
      EXPECT_TRUE(ReadWholeFile(place.wow64_folder + L"\\" + name) == ReadWholeFile(shipped_icons + L"\\" + name))
          << Narrow(name) << " differs from the shipped icon, where 32-bit programs look";
    }
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
        {icon_key, L"", REG_SZ, RegSzBytes(place.DefaultIcon(type))},
    };
    for (const ExpectedValue& value : expected) {
      SCOPED_TRACE(Narrow(value.key) + " " + Narrow(value.name));
      const RegistryValue read = ReadValue(place.classes_root, place.ClassKey(value.key), value.name);
      EXPECT_TRUE(read.present);
      EXPECT_EQ(read.type, value.type);
      EXPECT_EQ(read.bytes, value.bytes);
      // The icon each type points at is one that was copied.
      if (value.key == icon_key) {
        EXPECT_EQ(ReadWholeFile(place.folder + L"\\" + type.icon).empty(), false);
      }
    }
    // Nothing else in these keys.
    const KeyShape extension = ShapeOf(place.classes_root, place.ClassKey(type.extension));
    const KeyShape type_key = ShapeOf(place.classes_root, place.ClassKey(type.type_id));
    const KeyShape icon = ShapeOf(place.classes_root, place.ClassKey(icon_key));
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

  SCOPED_TRACE("the record");
  ExpectRecord(place);
}


void AddLargeIcons(const Installer& installer) {
  const std::string filler(4 << 20, '\x5A');
  for (int i = 0; i < 40; ++i) {
    std::ofstream(std::filesystem::path(installer.folder() + L"\\Icons\\filler" +
                                        std::to_wstring(i) + L".ico"),
                  std::ios::binary)
        << filler;
  }
}

bool WaitForCopying(const Installer& installer) {
  WaitFor([] { return FilesIn(InstallFolder()).size() >= 3; }, 30000);
  return installer.Running() && !Recorded();
}

std::wstring MessageText(HWND box) { return CaptionOf(GetDlgItem(box, 0xFFFF)); }

void WaitForBox(HWND box) {
  EXPECT_TRUE(Settle(box)) << "the box does not stay in front";
  EXPECT_TRUE(WaitFor([&] {
    const Box shown = WindowBox(box);
    return ScreenPixel(shown.left + shown.width / 2, shown.top + shown.height - 8) ==
           GetSysColor(COLOR_BTNFACE);
  })) << "the box was not painted";
}

void PressButton(HWND box, int id) {
  HWND button = GetDlgItem(box, id);
  ASSERT_NE(button, nullptr) << "no button " << id;
  WaitForBox(box);
  EXPECT_TRUE(ClickCentre(button));
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
  return StartToAgreement(Copy(run));
}

Installer& InstallerTest::StartToAgreement(Installer& installer, const std::wstring& arguments) {
  const std::wstring error = installer.Start(arguments);
  EXPECT_TRUE(error.empty()) << Narrow(error);
  splash_ = installer.WaitForVisible(kSplash);
  agreement_ = installer.WaitForVisible(kAgreement);
  EXPECT_NE(splash_, nullptr) << "no splash window";
  EXPECT_NE(agreement_, nullptr) << "no agreement window";
  if (agreement_ != nullptr) {
    EXPECT_TRUE(Settle(agreement_)) << "the agreement window does not stay in front";
  }
  return installer;
}

std::wstring InstallerTest::StartMsiexec(Process& msiexec, const std::wstring& arguments) {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string name = std::string(test->test_suite_name()) + "." + test->name() + "-msiexec-" +
                           std::to_string(++msiexec_runs_) + ".log";
  const std::wstring logs = Setting(L"GLYPHARY_E2E_LOGS", WorkFolder());
  CreateDirectoryW(logs.c_str(), nullptr);
  msiexec_log_ = logs + L"\\" + std::wstring(name.begin(), name.end());
  return msiexec.Launch(SystemProgram(L"msiexec.exe"), arguments + L" /l*v \"" + msiexec_log_ + L"\"");
}

DWORD InstallerTest::Msiexec(const std::wstring& arguments) {
  Process msiexec;
  EXPECT_EQ(Narrow(StartMsiexec(msiexec, arguments)), "");
  DWORD code = 0xDEAD;
  EXPECT_TRUE(msiexec.WaitForExit(120000, &code)) << "msiexec " << Narrow(arguments) << " did not end";
  if (code != 0) {
    std::printf("msiexec %s exited with %lu; its log: %s\n", Narrow(arguments).c_str(),
                static_cast<unsigned long>(code), Narrow(msiexec_log_).c_str());
  }
  return code;
}

DWORD InstallerTest::RunSilently(const std::wstring& arguments, const std::string& run,
                                 bool without_icons) {
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
      60000);
  EXPECT_FALSE(window_seen) << Narrow(arguments) << " showed a window";
  DWORD code = 0xDEAD;
  EXPECT_TRUE(installer.WaitForExit(1000, &code)) << Narrow(arguments) << " did not end";
  return code;
}

HWND InstallerTest::StartToBox(Installer& installer, const std::wstring& arguments) {
  EXPECT_TRUE(installer.Start(arguments).empty());
  return installer.WaitForVisible(kDialogClass);
}

DWORD InstallerTest::Answer(Installer& installer, HWND box, int id) {
  PressButton(box, id);
  DWORD code = 0xDEAD;
  EXPECT_TRUE(installer.WaitForExit(20000, &code));
  return code;
}

std::wstring InstallerTest::UninstallSummary(const std::string& run, DWORD code,
                                             const std::wstring& arguments) {
  Installer& uninstall = Copy(run);
  HWND question = StartToBox(uninstall, arguments);
  EXPECT_NE(question, nullptr) << "no question";
  if (question == nullptr) return L"";
  PressButton(question, IDYES);
  HWND told = nullptr;
  EXPECT_TRUE(WaitFor([&] {
    told = uninstall.Visible(kDialogClass);
    return told != nullptr && told != question && IsWindow(told);
  }));
  if (told == nullptr) return L"";
  const std::wstring text = MessageText(told);
  WaitForBox(told);
  Screenshot(run);
  EXPECT_EQ(Answer(uninstall, told, IDOK), code);
  return text;
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
