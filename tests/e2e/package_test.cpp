// The Windows Installer package beside the exe, installed, upgraded and
// removed by msiexec: it leaves the files and keys the exe's installation
// leaves (less the exe itself), Apps & Features lists it, a newer version
// replaces an older one, and the package and the exe each leave the other's
// installation alone.
#include "tests/e2e/e2e_test.h"
// After windows.h: these need its types.
#include <msi.h>
#include <msiquery.h>

#include <algorithm>
#include <cstdio>
#include <map>

namespace glyphary::e2e {
namespace {

constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t kDialogClass[] = L"#32770";  // a message box

// The built package (beside the exe) and the same package at 0.9.0.0, to
// upgrade from (GLYPHARY_E2E_PACKAGES).
std::wstring PackagePath() { return DistFolder() + L"\\GlypharyInstaller.msi"; }
std::wstring OldPackagePath() {
  return Setting(L"GLYPHARY_E2E_PACKAGES") + L"\\GlypharyInstaller-0.9.msi";
}

// A property of a package, read from its Property table; "" when absent.
std::wstring PackageProperty(const std::wstring& package, const wchar_t* name) {
  MSIHANDLE database = 0;
  if (MsiOpenDatabaseW(package.c_str(), MSIDBOPEN_READONLY, &database) != ERROR_SUCCESS) return L"";
  std::wstring value;
  MSIHANDLE view = 0;
  const std::wstring query =
      std::wstring(L"SELECT `Value` FROM `Property` WHERE `Property` = '") + name + L"'";
  if (MsiDatabaseOpenViewW(database, query.c_str(), &view) == ERROR_SUCCESS) {
    MSIHANDLE record = 0;
    if (MsiViewExecute(view, 0) == ERROR_SUCCESS && MsiViewFetch(view, &record) == ERROR_SUCCESS) {
      wchar_t text[256] = {};
      DWORD length = 256;
      if (MsiRecordGetStringW(record, 1, text, &length) == ERROR_SUCCESS) value.assign(text, length);
      MsiCloseHandle(record);
    }
    MsiCloseHandle(view);
  }
  MsiCloseHandle(database);
  return value;
}

// Whether Windows Installer counts the product as installed.
bool ProductInstalled(const std::wstring& product_code) {
  return MsiQueryProductStateW(product_code.c_str()) == INSTALLSTATE_DEFAULT;
}

// The entries in Apps & Features named "Glyphary Installer": their keys
// below Uninstall, sorted.
std::vector<std::wstring> ProductEntries() {
  std::vector<std::wstring> entries;
  HKEY uninstall = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &uninstall) != ERROR_SUCCESS) {
    return entries;
  }
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    if (RegEnumKeyExW(uninstall, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    const std::wstring key = std::wstring(kUninstallKey) + L"\\" + name;
    if (ReadValue(HKEY_LOCAL_MACHINE, key, L"DisplayName").bytes == RegSzBytes(L"Glyphary Installer")) {
      entries.push_back(name);
    }
  }
  RegCloseKey(uninstall);
  std::sort(entries.begin(), entries.end());
  return entries;
}

// What Wine's `uninstaller --list` (Apps & Features) shows.
std::string UninstallerList() {
  const std::wstring list = WorkFolder() + L"\\uninstaller-list.txt";
  Process lister;
  EXPECT_EQ(Narrow(lister.Launch(SystemProgram(L"uninstaller.exe"), L"--list", L"", list)), "");
  EXPECT_TRUE(lister.WaitForExit(30000)) << "uninstaller --list did not end";
  const std::vector<char> listed = ReadWholeFile(list);
  return std::string(listed.begin(), listed.end());
}

// --- What an installation leaves -------------------------------------------

// A registry value as one line of an export: its type and data exactly,
// readable where the data has the form its type says.
std::wstring ValueLine(const std::wstring& key, const std::wstring& name, DWORD type,
                       const std::vector<BYTE>& bytes) {
  std::wstring line = key + L" " + (name.empty() ? L"@" : L"\"" + name + L"\"") + L" = ";
  const size_t chars = bytes.size() / 2;
  auto char_at = [&bytes](size_t i) {
    return static_cast<wchar_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  };
  bool plain_text = type == REG_SZ && bytes.size() % 2 == 0 && chars > 0 && char_at(chars - 1) == 0;
  for (size_t i = 0; plain_text && i + 1 < chars; ++i) plain_text = char_at(i) != 0;
  if (plain_text) {
    line += L"REG_SZ \"";
    for (size_t i = 0; i + 1 < chars; ++i) line += char_at(i);
    return line + L"\"";
  }
  if (type == REG_DWORD && bytes.size() == 4) {
    wchar_t number[16];
    swprintf(number, 16, L"0x%08lx", static_cast<unsigned long>(bytes[0] | (bytes[1] << 8) |
                                                                 (bytes[2] << 16) | (bytes[3] << 24)));
    return line + L"REG_DWORD " + number;
  }
  line += L"type " + std::to_wstring(type) + L" hex:";
  for (BYTE b : bytes) {
    wchar_t digits[4];
    swprintf(digits, 4, L"%02x", b);
    line += digits;
  }
  return line;
}

// The one difference allowed between the two: Windows Installer spells the
// Windows folder as the system does ("C:\windows"), the exe as "C:\WINDOWS".
// Lowers the case of that folder's name where a text value starts with the
// folder, and changes nothing else.
void WindowsFolderInLowerCase(std::vector<BYTE>& reg_sz) {
  wchar_t windows[MAX_PATH] = {};
  const std::wstring folder(windows, GetWindowsDirectoryW(windows, MAX_PATH));
  std::wstring start;  // the value's first characters, as many as the folder's and one
  for (size_t i = 0; i + 1 < reg_sz.size() && start.size() <= folder.size(); i += 2) {
    start += static_cast<wchar_t>(reg_sz[i] | (reg_sz[i + 1] << 8));
  }
  if (start.size() <= folder.size() || start[folder.size()] != L'\\' ||
      CompareStringOrdinal(start.c_str(), static_cast<int>(folder.size()), folder.c_str(),
                           static_cast<int>(folder.size()), TRUE) != CSTR_EQUAL) {
    return;
  }
  for (size_t i = folder.rfind(L'\\') + 1; i < folder.size(); ++i) {
    wchar_t c = start[i];
    CharLowerBuffW(&c, 1);
    reg_sz[2 * i] = static_cast<BYTE>(c & 0xFF);
    reg_sz[2 * i + 1] = static_cast<BYTE>(c >> 8);
  }
}

// Appends `path` (below `root`\`prefix`) and everything below it, as lines.
void Export(HKEY root, const std::wstring& prefix, const std::wstring& path,
            std::vector<std::wstring>& lines) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, (prefix + path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  lines.push_back(L"[" + path + L"]");
  const bool icon_key = path.size() > 12 && path.compare(path.size() - 12, 12, L"\\DefaultIcon") == 0;
  std::vector<wchar_t> name(16384);
  for (DWORD i = 0;; ++i) {
    DWORD name_length = static_cast<DWORD>(name.size());
    DWORD type = REG_NONE;
    DWORD size = 0;
    LONG read = RegEnumValueW(key, i, name.data(), &name_length, nullptr, &type, nullptr, &size);
    if (read == ERROR_NO_MORE_ITEMS) break;
    std::vector<BYTE> bytes(size);
    name_length = static_cast<DWORD>(name.size());
    if (read == ERROR_SUCCESS) {
      read = RegEnumValueW(key, i, name.data(), &name_length, nullptr, &type, bytes.data(), &size);
    }
    if (read != ERROR_SUCCESS) {
      lines.push_back(path + L" value " + std::to_wstring(i) + L" unreadable, error " +
                      std::to_wstring(read));
      break;
    }
    bytes.resize(size);
    if (icon_key && type == REG_SZ) WindowsFolderInLowerCase(bytes);
    lines.push_back(ValueLine(path, std::wstring(name.data(), name_length), type, bytes));
  }
  std::vector<std::wstring> subkeys;
  for (DWORD i = 0;; ++i) {
    DWORD name_length = static_cast<DWORD>(name.size());
    if (RegEnumKeyExW(key, i, name.data(), &name_length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    subkeys.emplace_back(name.data(), name_length);
  }
  RegCloseKey(key);
  for (const std::wstring& subkey : subkeys) Export(root, prefix, path + L"\\" + subkey, lines);
}

// Every key and value of the twelve file types below `root`\`prefix`
// (the extensions and type IDs and what is below them), sorted.
std::vector<std::wstring> ExportTypes(HKEY root, const std::wstring& prefix) {
  std::vector<std::wstring> lines;
  for (const FileType& type : FileTypes()) {
    Export(root, prefix, type.extension, lines);
    Export(root, prefix, type.type_id, lines);
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

struct Installation {
  std::vector<std::wstring> registry;               // the export of HKEY_CLASSES_ROOT's types
  std::map<std::wstring, std::vector<char>> files;  // the install folder's files, and its twin's
};

// What is installed now. The keys are checked to be the machine's, for
// every account (below HKEY_LOCAL_MACHINE, none below HKEY_CURRENT_USER).
Installation Installed() {
  Installation installed;
  installed.registry = ExportTypes(HKEY_CLASSES_ROOT, L"");
  EXPECT_EQ(ExportTypes(HKEY_LOCAL_MACHINE, L"Software\\Classes\\"), installed.registry)
      << "keys seen in HKEY_CLASSES_ROOT that are not the machine's";
  EXPECT_EQ(ExportTypes(HKEY_CURRENT_USER, L"Software\\Classes\\"), std::vector<std::wstring>{})
      << "keys written for the account alone";
  for (const std::wstring& name : FilesIn(InstallFolder())) {
    installed.files[name] = ReadWholeFile(InstallFolder() + L"\\" + name);
  }
  // Where 32-bit programs look, named as there.
  const std::wstring wow64 = MachineWide().wow64_folder;
  for (const std::wstring& name : FilesIn(wow64)) {
    installed.files[L"SysWOW64\\" + name] = ReadWholeFile(wow64 + L"\\" + name);
  }
  return installed;
}

std::string Lines(const std::vector<std::wstring>& lines) {
  std::string text;
  for (const std::wstring& line : lines) text += Narrow(line) + "\n";
  return text;
}

class Package : public InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    if (HasFatalFailure()) return;
    product_ = PackageProperty(PackagePath(), L"ProductCode");
    old_product_ = PackageProperty(OldPackagePath(), L"ProductCode");
    ASSERT_FALSE(product_.empty()) << "no package at " << Narrow(PackagePath());
    ASSERT_FALSE(old_product_.empty()) << "no package at " << Narrow(OldPackagePath())
                                       << " (GLYPHARY_E2E_PACKAGES)";
    ASSERT_NE(product_, old_product_) << "the two versions share a product code";
    ASSERT_FALSE(ProductInstalled(product_) || ProductInstalled(old_product_))
        << "a version of the package is installed already";
  }

  void TearDown() override {
    // What a failed test left goes with Windows Installer's own uninstall,
    // so that the machine's record of the package goes too.
    for (const std::wstring& product : {product_, old_product_}) {
      if (!product.empty() && ProductInstalled(product)) {
        EXPECT_EQ(Msiexec(L"/x " + product + L" /qn"), 0u) << "removing " << Narrow(product);
      }
    }
    InstallerTest::TearDown();
  }

  DWORD Install(const std::wstring& package) { return Msiexec(L"/i \"" + package + L"\" /qn"); }
  DWORD Uninstall(const std::wstring& package) { return Msiexec(L"/x \"" + package + L"\" /qn"); }

  // What the exe's own installation (/S) leaves, checked whole, then
  // removed again (/uninstall /S).
  Installation ExeInstallation() {
    Installation installed;
    EXPECT_EQ(RunSilently(L"/S", "exe-install"), 0u);
    {
      SCOPED_TRACE("the exe's installation");
      ExpectInstalled();
      installed = Installed();
    }
    EXPECT_EQ(RunSilently(L"/uninstall /S", "exe-uninstall"), 0u);
    EXPECT_EQ(Narrow(WhatIsInstalled()), "") << "the exe's uninstallation left something";
    return installed;
  }

  // The package's installation holds what the exe's does, but the exe.
  static void ExpectSameAsTheExes(const Installation& exe, const Installation& package) {
    long keys = 0;
    for (const std::wstring& line : exe.registry) keys += line.front() == L'[' ? 1 : 0;
    ASSERT_EQ(keys, 36) << Lines(exe.registry);
    ASSERT_EQ(exe.registry.size(), 36u + 48u) << Lines(exe.registry);
    EXPECT_EQ(Lines(package.registry), Lines(exe.registry));
    std::map<std::wstring, std::vector<char>> icons = exe.files;
    ASSERT_EQ(icons.erase(L"GlypharyInstaller.exe"), 1u);
    EXPECT_EQ(icons.size(), 2 * FileTypes().size());  // and again where 32-bit programs look
    std::vector<std::wstring> expected_names;
    std::vector<std::wstring> names;
    for (const auto& [name, bytes] : icons) expected_names.push_back(name);
    for (const auto& [name, bytes] : package.files) names.push_back(name);
    EXPECT_EQ(names, expected_names);
    for (const auto& [name, bytes] : icons) {
      const auto installed = package.files.find(name);
      EXPECT_TRUE(installed != package.files.end() && installed->second == bytes)
          << Narrow(name) << " differs from the exe's";
    }
  }

  // The entry Windows Installer makes in Apps & Features for `product`.
  void ExpectEntry(const std::wstring& product) {
    SCOPED_TRACE("the entry in Apps & Features");
    const std::wstring key = std::wstring(kUninstallKey) + L"\\" + product;
    const std::wstring version = VersionOf(DistFolder() + L"\\GlypharyInstaller.exe");
    EXPECT_FALSE(version.empty());
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, key, L"DisplayName").bytes, RegSzBytes(L"Glyphary Installer"));
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, key, L"Publisher").bytes, RegSzBytes(L"Quillfern Software"));
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, key, L"DisplayVersion").bytes, RegSzBytes(version))
        << "not the exe's version";
    for (const wchar_t* flag : {L"NoModify", L"NoRepair"}) {
      const RegistryValue value = ReadValue(HKEY_LOCAL_MACHINE, key, flag);
      EXPECT_EQ(value.type, static_cast<DWORD>(REG_DWORD)) << Narrow(flag);
      EXPECT_EQ(value.bytes, RegDwordBytes(1)) << Narrow(flag);
    }
    // The icon it shows is the program's.
    wchar_t icon[MAX_PATH] = {};
    DWORD length = MAX_PATH;
    ASSERT_EQ(MsiGetProductInfoW(product.c_str(), INSTALLPROPERTY_PRODUCTICON, icon, &length),
              static_cast<UINT>(ERROR_SUCCESS));
    const std::vector<char> shown = ReadWholeFile(std::wstring(icon, length));
    EXPECT_FALSE(shown.empty()) << Narrow(std::wstring(icon, length));
    EXPECT_TRUE(shown == ReadWholeFile(Setting(L"GLYPHARY_E2E_PROGRAM_ICON")))
        << "the icon is not the program's";
  }

  std::wstring product_;      // the package's product code, "{...}"
  std::wstring old_product_;  // the 0.9 package's
};

TEST_F(Package, InstallsWhatTheExeInstallsAndItsUninstallRemovesEverything) {
  const Installation exe = ExeInstallation();

  ASSERT_EQ(Install(PackagePath()), 0u);
  EXPECT_TRUE(ProductInstalled(product_));
  const Installation package = Installed();
  ExpectSameAsTheExes(exe, package);
  EXPECT_FALSE(Recorded()) << "the exe's record was written";
  EXPECT_EQ(ProductEntries(), std::vector<std::wstring>{product_});
  ExpectEntry(product_);
  EXPECT_NE(UninstallerList().find(Narrow(product_) + "|||Glyphary Installer"), std::string::npos)
      << UninstallerList();

  EXPECT_EQ(Uninstall(PackagePath()), 0u);
  EXPECT_EQ(Narrow(WhatIsInstalled()), "");
  EXPECT_EQ(Installed().registry, std::vector<std::wstring>{}) << "keys of the types are left";
  EXPECT_EQ(ProductEntries(), std::vector<std::wstring>{});
  EXPECT_FALSE(ProductInstalled(product_));
  EXPECT_EQ(UninstallerList().find("Glyphary Installer"), std::string::npos) << UninstallerList();
}

TEST_F(Package, ANewerVersionReplacesTheOlderOne) {
  const Installation exe = ExeInstallation();

  ASSERT_EQ(Install(OldPackagePath()), 0u);
  EXPECT_EQ(ProductEntries(), std::vector<std::wstring>{old_product_});
  ASSERT_EQ(Install(PackagePath()), 0u);
  EXPECT_EQ(ProductEntries(), std::vector<std::wstring>{product_}) << "not one entry, the new one's";
  EXPECT_FALSE(ProductInstalled(old_product_));
  EXPECT_TRUE(ProductInstalled(product_));
  ExpectSameAsTheExes(exe, Installed());
  ExpectEntry(product_);
  // The exe still finds the package installed, and leaves it alone.
  EXPECT_EQ(RunSilently(L"/uninstall /S", "uninstall"), 1638u);
  EXPECT_TRUE(ProductInstalled(product_));
  ExpectSameAsTheExes(exe, Installed());

  EXPECT_EQ(Uninstall(PackagePath()), 0u);
  EXPECT_EQ(Narrow(WhatIsInstalled()), "");
  EXPECT_EQ(Installed().registry, std::vector<std::wstring>{}) << "keys of the types are left";
  EXPECT_EQ(ProductEntries(), std::vector<std::wstring>{});
  EXPECT_FALSE(ProductInstalled(product_));
}

TEST_F(Package, RefusesBesideTheExesInstallation) {
  ASSERT_EQ(RunSilently(L"/S"), 0u);
  const Installation before = Installed();

  EXPECT_EQ(Install(PackagePath()), static_cast<DWORD>(ERROR_INSTALL_FAILURE));
  EXPECT_FALSE(ProductInstalled(product_));
  EXPECT_EQ(ProductEntries(), std::vector<std::wstring>{L"GlypharyInstaller"})
      << "the package made an entry of its own";
  ExpectInstalled();
  const Installation after = Installed();
  EXPECT_EQ(Lines(after.registry), Lines(before.registry));
  EXPECT_TRUE(after.files == before.files) << "the install folder changed";
}

TEST_F(Package, TheExeLeavesThePackagesInstallationAlone) {
  ASSERT_EQ(Install(PackagePath()), 0u);
  const Installation before = Installed();
  ASSERT_EQ(before.files.size(), 2 * FileTypes().size());  // in both folders
  auto expect_unchanged = [&](const char* after) {
    SCOPED_TRACE(after);
    const Installation now = Installed();
    EXPECT_EQ(Lines(now.registry), Lines(before.registry));
    EXPECT_TRUE(now.files == before.files) << "the install folder changed";
    EXPECT_FALSE(Recorded()) << "the exe wrote its record";
    EXPECT_TRUE(ProductInstalled(product_));
    EXPECT_EQ(ProductEntries(), std::vector<std::wstring>{product_});
  };

  // Its uninstallation refuses: silently with 1638 ...
  EXPECT_EQ(RunSilently(L"/uninstall /S", "uninstall-silent"), 1638u);
  expect_unchanged("/uninstall /S");

  // ... and otherwise with a warning that says how to remove the package.
  Installer& uninstall = Copy("uninstall");
  ASSERT_TRUE(uninstall.Start(L"/uninstall").empty());
  HWND box = uninstall.WaitForVisible(kDialogClass);
  ASSERT_NE(box, nullptr) << "no warning";
  const std::wstring text = MessageText(box);
  EXPECT_NE(text.find(L"Apps & Features"), std::wstring::npos) << Narrow(text);
  EXPECT_NE(text.find(L"msiexec /x " + product_), std::wstring::npos) << Narrow(text);
  WaitForBox(box);
  Screenshot("refused");
  PressButton(box, IDOK);
  DWORD code = 0xDEAD;
  EXPECT_TRUE(uninstall.WaitForExit(20000, &code));
  EXPECT_EQ(code, 1638u);
  expect_unchanged("/uninstall");

  // Its installation does nothing, silently or through the windows.
  EXPECT_EQ(RunSilently(L"/S", "install-silent"), 0u);
  expect_unchanged("/S");
  Installer& interactive = StartToAgreement("install");
  ASSERT_NE(agreement_, nullptr);
  EXPECT_NE(AcceptToFinish(interactive, nullptr), nullptr) << "no finish window";
  expect_unchanged("Accept");
}

}  // namespace
}  // namespace glyphary::e2e
