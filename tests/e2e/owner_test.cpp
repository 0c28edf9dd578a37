// One owner for the file types: the exe's installation and the Windows
// Installer package's never both hold them, also when both start at once;
// the exe asks Windows Installer itself whether the package is installed,
// whatever its list of products says; the package puts back what it
// replaced; every account's road waits while Windows Installer works; and
// /LOG says what a run did.
#include "tests/e2e/e2e_test.h"
// After windows.h: these need its types.
#include <msi.h>
#include <msiquery.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>

namespace glyphary::e2e {
namespace {

namespace fs = std::filesystem;

constexpr wchar_t kUpgradeCode[] = L"{2C7E94B0-5A13-4F6D-9B8E-41D0C3A7F256}";
// The package's own key: the product it installed, the mark of its
// transaction, and below it what its values replaced.
constexpr wchar_t kPackageKey[] = L"Software\\Quillfern Software\\GlypharyInstaller.msi";
constexpr wchar_t kPackageReplaced[] = L"Software\\Quillfern Software\\GlypharyInstaller.msi\\ReplacedValues";
// Windows Installer's lists of the products of an upgrade code, one below
// each of these (MsiEnumRelatedProducts reads the first).
const wchar_t* const kUpgradeLists[] = {
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UpgradeCodes\\",
    L"Software\\Classes\\Installer\\UpgradeCodes\\"};

std::wstring PackagePath() { return DistFolder() + L"\\GlypharyInstaller.msi"; }

// A GUID as Windows Installer's keys name it: each of the first three parts
// reversed, then the two hex digits of each remaining byte swapped.
std::wstring Packed(const std::wstring& guid) {
  std::wstring hex;
  for (wchar_t c : guid) {
    if (iswxdigit(c)) hex += c;
  }
  std::wstring packed;
  for (const auto& [at, length] : {std::pair<size_t, size_t>{0, 8}, {8, 4}, {12, 4}}) {
    const std::wstring part = hex.substr(at, length);
    packed.append(part.rbegin(), part.rend());
  }
  for (size_t i = 16; i + 1 < hex.size(); i += 2) packed += {hex[i + 1], hex[i]};
  return packed;
}

// The package's product code, from its Property table.
std::wstring ProductCodeOf(const std::wstring& package) {
  MSIHANDLE database = 0, view = 0, record = 0;
  wchar_t code[64] = {};
  DWORD length = 64;
  if (MsiOpenDatabaseW(package.c_str(), MSIDBOPEN_READONLY, &database) == ERROR_SUCCESS &&
      MsiDatabaseOpenViewW(database, L"SELECT `Value` FROM `Property` WHERE `Property` = 'ProductCode'",
                           &view) == ERROR_SUCCESS &&
      MsiViewExecute(view, 0) == ERROR_SUCCESS && MsiViewFetch(view, &record) == ERROR_SUCCESS) {
    MsiRecordGetStringW(record, 1, code, &length);
  }
  for (MSIHANDLE handle : {record, view, database}) {
    if (handle != 0) MsiCloseHandle(handle);
  }
  return code;
}

bool ProductInstalled(const std::wstring& product) {
  return MsiQueryProductStateW(product.c_str()) == INSTALLSTATE_DEFAULT;
}
bool KeyThere(HKEY root, const std::wstring& key) { return ShapeOf(root, key).values >= 0; }
void DeleteKey(HKEY root, const std::wstring& key) {
  RegDeleteTreeW(root, key.c_str());
  RegDeleteKeyW(root, key.c_str());
}

// Stands for Windows Installer at work, which holds a mutex of this name
// while it installs (Wine's msiexec does not).
using Handle = std::unique_ptr<void, BOOL(WINAPI*)(HANDLE)>;
Handle WindowsInstallerAtWork() {
  Handle mutex(CreateMutexW(nullptr, FALSE, L"Global\\_MSIExecute"), CloseHandle);
  EXPECT_TRUE(mutex != nullptr && GetLastError() != ERROR_ALREADY_EXISTS) << "the mutex is someone else's";
  return mutex;
}

// The four places of a type: key and value name.
std::vector<std::pair<std::wstring, std::wstring>> Places(const FileType& type) {
  const std::wstring id = type.type_id;
  return {{type.extension, L""}, {id, L"BrowserFlags"}, {id, L"EditFlags"}, {id + L"\\DefaultIcon", L""}};
}

// How many of the 48 places hold a value.
int ValuesThere() {
  int there = 0;
  for (const FileType& type : FileTypes()) {
    for (const auto& [key, name] : Places(type)) there += ReadValue(HKEY_CLASSES_ROOT, key, name).present;
  }
  return there;
}

// The 48 places (type and bytes, and how many values and sub-keys their
// keys hold) and the install folder (names and contents) as text: two
// readings are equal when nothing changed.
std::string TypesAndFiles() {
  std::string text;
  char hex[4];
  for (const FileType& type : FileTypes()) {
    for (const auto& [key, name] : Places(type)) {
      const RegistryValue value = ReadValue(HKEY_CLASSES_ROOT, key, name);
      const KeyShape shape = ShapeOf(HKEY_CLASSES_ROOT, key);
      text += Narrow(key + L" " + name) + " (key: " + std::to_string(shape.values) + " values, " +
              std::to_string(shape.subkeys) + " sub-keys) " + (value.present ? "type " : "absent") +
              (value.present ? std::to_string(value.type) + " " : "");
      for (BYTE b : value.bytes) text.append(hex, std::snprintf(hex, sizeof(hex), "%02x", b));
      text += "\n";
    }
  }
  for (const std::wstring& name : FilesIn(InstallFolder())) {
    unsigned long long sum = 14695981039346656037ull;  // FNV-1a
    for (char c : ReadWholeFile(InstallFolder() + L"\\" + name)) {
      sum = (sum ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    text += Narrow(name) + " " + std::to_string(sum) + "\n";
  }
  return text;
}

// A log's lines, decoded: the file must be UTF-8 throughout, each line
// carry the time, the process and a code, and end with CR LF.
std::vector<std::wstring> LogLines(const std::wstring& path) {
  const std::vector<char> bytes = ReadWholeFile(path);
  EXPECT_FALSE(bytes.empty()) << "no log at " << Narrow(path);
  const int size = static_cast<int>(bytes.size());
  std::wstring text(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0), L'\0');
  EXPECT_TRUE(bytes.empty() || !text.empty()) << "the log is not UTF-8";
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), size, text.data(),
                      static_cast<int>(text.size()));
  static const std::wregex kLine(LR"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[pid \d+\] .+ \(code \d+\))");
  std::vector<std::wstring> lines;
  for (size_t start = 0, end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
    EXPECT_TRUE(std::regex_match(lines.back(), kLine)) << Narrow(lines.back());
  }
  EXPECT_TRUE(text.size() >= 2 && text.compare(text.size() - 2, 2, L"\r\n") == 0) << "a line is not ended";
  return lines;
}

std::string Shown(const std::vector<std::wstring>& lines) {
  std::string text;
  for (const std::wstring& line : lines) text += "  " + Narrow(line) + "\n";
  return text;
}

// `lines` hold, in this order, a line containing each of `steps`.
void ExpectInOrder(const std::vector<std::wstring>& lines, const std::vector<std::wstring>& steps) {
  size_t at = 0;
  for (const std::wstring& step : steps) {
    while (at < lines.size() && lines[at].find(step) == std::wstring::npos) ++at;
    ASSERT_LT(at, lines.size()) << "no line \"" << Narrow(step) << "\" in its place in:\n" << Shown(lines);
    ++at;
  }
}

// The first line that contains `text`; "" (and a failure) when none does.
std::wstring LineWith(const std::vector<std::wstring>& lines, const std::wstring& text) {
  for (const std::wstring& line : lines) {
    if (line.find(text) != std::wstring::npos) return line;
  }
  ADD_FAILURE() << "no line \"" << Narrow(text) << "\" in:\n" << Shown(lines);
  return L"";
}

class Owner : public InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    if (HasFatalFailure()) return;
    product_ = ProductCodeOf(PackagePath());
    ASSERT_FALSE(product_.empty()) << "no package at " << Narrow(PackagePath());
    ASSERT_FALSE(ProductInstalled(product_)) << "the package is installed already";
    ASSERT_FALSE(KeyThere(HKEY_LOCAL_MACHINE, kPackageKey)) << "the package's key is there";
  }

  void TearDown() override {
    if (!product_.empty() && ProductInstalled(product_)) {
      EXPECT_EQ(Msiexec(L"/x " + product_ + L" /qn"), 0u);
    }
    ForgetPackage();
    InstallerTest::TearDown();
  }

  DWORD InstallPackage() { return Msiexec(L"/i \"" + PackagePath() + L"\" /qn"); }

  // Where Windows Installer no longer has the package installed, forgets
  // the package's key and the lists of its upgrade code.
  void ForgetPackage() {
    if (!product_.empty() && ProductInstalled(product_)) return;
    DeleteKey(HKEY_LOCAL_MACHINE, kPackageKey);
    for (const wchar_t* list : kUpgradeLists) DeleteKey(HKEY_LOCAL_MACHINE, list + Packed(kUpgradeCode));
  }

  std::wstring product_;
};

TEST_F(Owner, ThePackageAndTheExeStartedTogetherLeaveOneOwnerWholeOrNone) {
  // The package's installation as msiexec alone leaves it, and the exe's files.
  ASSERT_EQ(InstallPackage(), 0u);
  std::vector<std::wstring> exes_files = FilesIn(DistFolder() + L"\\Icons");
  ASSERT_EQ(FilesIn(InstallFolder()), exes_files);
  ASSERT_EQ(ValuesThere(), 48);
  const std::string package_alone = TypesAndFiles();
  ASSERT_EQ(Msiexec(L"/x " + product_ + L" /qn"), 0u);
  ASSERT_EQ(Narrow(ResetMachine()), "");
  exes_files.push_back(L"GlypharyInstaller.exe");
  std::sort(exes_files.begin(), exes_files.end());

  const DWORD delays[] = {0, 30, 80, 150, 300};  // ms between the two starts
  int exe_owned = 0, package_owned = 0, neither = 0;
  std::map<std::pair<DWORD, DWORD>, int> codes;  // (msiexec, exe) -> tries
  for (int attempt = 1; attempt <= 20; ++attempt) {
    const bool msiexec_first = attempt % 2 == 1;
    const DWORD delay = delays[(attempt - 1) / 2 % 5];
    const std::string trial = "try " + std::to_string(attempt) + ": " +
                              (msiexec_first ? "msiexec" : "the exe") + " first, the other " +
                              std::to_string(delay) + " ms later";
    SCOPED_TRACE(trial);
    Installer& exe = Copy("race-" + std::to_string(attempt));
    Process msiexec;
    auto start = [&](bool package) {
      const std::wstring error =
          package ? StartMsiexec(msiexec, L"/i \"" + PackagePath() + L"\" /qn") : exe.Start(L"/S");
      EXPECT_EQ(Narrow(error), "");
    };
    const ULONGLONG began = GetTickCount64();
    start(msiexec_first);
    if (delay > 0) WaitFor([] { return false; }, delay);
    start(!msiexec_first);
    DWORD msi_code = 0xDEAD, exe_code = 0xDEAD;
    EXPECT_TRUE(msiexec.WaitForExit(120000, &msi_code)) << "msiexec did not end";
    EXPECT_TRUE(exe.WaitForExit(60000, &exe_code)) << "the exe did not end";
    ++codes[{msi_code, exe_code}];

    const bool record = KeyThere(HKEY_LOCAL_MACHINE, kRecordKey);
    const bool package = ProductInstalled(product_);
    const bool package_key = KeyThere(HKEY_LOCAL_MACHINE, kPackageKey);
    // What is there, in short; the whole check follows where it is complete.
    const std::vector<std::wstring> files = FilesIn(InstallFolder());
    const int values = ValuesThere();
    const std::string held =
        std::to_string(files.size()) + " files, " + std::to_string(values) + " of 48 values";
    std::string outcome;
    if (record && !package) {
      outcome = "the exe's";
      ++exe_owned;
      const bool whole = files == exes_files && values == 48;
      EXPECT_TRUE(whole) << "the exe's installation, " << (Recorded() ? "complete" : "unfinished")
                         << " by its record, holds " << held;
      if (whole) ExpectInstalled();
      EXPECT_FALSE(package_key) << "the package's key is left";
      EXPECT_EQ(msi_code, static_cast<DWORD>(ERROR_INSTALL_FAILURE));
      EXPECT_EQ(exe_code, 0u);
    } else if (package && !record) {
      outcome = "the package's";
      ++package_owned;
      EXPECT_EQ(TypesAndFiles(), package_alone) << "the package's installation is not whole";
      EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kPackageKey, L"ProductCode").bytes, RegSzBytes(product_));
      EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, kPackageKey, L"Installing").present) << "its mark is left";
      EXPECT_EQ(msi_code, 0u);
      EXPECT_TRUE(exe_code == 0 || exe_code == 1618) << "exe " << exe_code;
    } else if (!package && !record) {
      outcome = "neither";
      ++neither;
      EXPECT_EQ(Narrow(WhatIsInstalled()), "") << "no owner, but leftovers";
      EXPECT_FALSE(package_key) << "the package's key is left";
      EXPECT_EQ(msi_code, static_cast<DWORD>(ERROR_INSTALL_FAILURE));
      EXPECT_EQ(exe_code, 1618u) << "the exe reported success and nothing is installed";
    } else {
      outcome = "both";
      ADD_FAILURE() << "two owners: the exe's record and the package installed";
    }
    std::printf("[   RACE   ] %s: %s, %s (msiexec %lu, exe %lu) after %llu ms\n", trial.c_str(),
                outcome.c_str(), held.c_str(), static_cast<unsigned long>(msi_code),
                static_cast<unsigned long>(exe_code), GetTickCount64() - began);

    // Back to a clean machine for the next try.
    if (package) {
      EXPECT_EQ(Msiexec(L"/x " + product_ + L" /qn"), 0u);
    }
    if (record) RunSilently(L"/uninstall /S", "race-reset-" + std::to_string(attempt));
    ForgetPackage();
    ASSERT_EQ(Narrow(ResetMachine()), "");
    ASSERT_FALSE(ProductInstalled(product_));
  }
  std::string pairs;
  for (const auto& [pair, count] : codes) {
    pairs += " " + std::to_string(pair.first) + "/" + std::to_string(pair.second) + " x" +
             std::to_string(count);
  }
  std::printf("[  TALLY   ] 20 tries: %d the exe's, %d the package's, %d neither;"
              " exit codes (msiexec/exe):%s\n",
              exe_owned, package_owned, neither, pairs.c_str());
}

TEST_F(Owner, AStaleOrLostEntryInWindowsInstallersListMisleadsNeitherRoad) {
  const std::wstring upgrade = Packed(kUpgradeCode);
  wchar_t related[39] = {};
  {
    SCOPED_TRACE("a stale entry: a product that is not installed");
    const std::wstring stale = L"{7D3A2C10-0B4E-4F1A-8C55-9E2D61F0A3B7}";
    for (const wchar_t* list : kUpgradeLists) {
      ASSERT_TRUE(WriteValue(HKEY_LOCAL_MACHINE, list + upgrade, Packed(stale), REG_SZ, RegSzBytes(L"")));
    }
    ASSERT_EQ(MsiEnumRelatedProductsW(kUpgradeCode, 0, 0, related), static_cast<UINT>(ERROR_SUCCESS));
    ASSERT_EQ(CompareStringOrdinal(related, -1, stale.c_str(), -1, TRUE), CSTR_EQUAL) << "not listed";
    ASSERT_FALSE(ProductInstalled(stale));
    EXPECT_EQ(RunSilently(L"/S", "stale-install"), 0u);
    ExpectInstalled();
    EXPECT_EQ(RunSilently(L"/uninstall /S", "stale-uninstall"), 0u);
    EXPECT_EQ(Narrow(WhatIsInstalled()), "");
    ForgetPackage();
  }
  SCOPED_TRACE("the package installed, its entry lost");
  ASSERT_EQ(InstallPackage(), 0u);
  ASSERT_TRUE(KeyThere(HKEY_LOCAL_MACHINE, kUpgradeLists[0] + upgrade)) << "the list is elsewhere";
  for (const wchar_t* list : kUpgradeLists) DeleteKey(HKEY_LOCAL_MACHINE, list + upgrade);
  ASSERT_EQ(MsiEnumRelatedProductsW(kUpgradeCode, 0, 0, related), static_cast<UINT>(ERROR_NO_MORE_ITEMS));
  ASSERT_TRUE(ProductInstalled(product_));
  const std::string before = TypesAndFiles();
  EXPECT_EQ(RunSilently(L"/S", "lost-install"), 0u);
  EXPECT_FALSE(KeyThere(HKEY_LOCAL_MACHINE, kRecordKey)) << "the exe installed beside the package";
  EXPECT_EQ(TypesAndFiles(), before);
  EXPECT_EQ(RunSilently(L"/uninstall /S", "lost-uninstall"), 1638u);
  EXPECT_EQ(TypesAndFiles(), before);
  EXPECT_TRUE(ProductInstalled(product_));
  EXPECT_EQ(Msiexec(L"/x " + product_ + L" /qn"), 0u);
  EXPECT_EQ(Narrow(WhatIsInstalled()), "");
  EXPECT_FALSE(KeyThere(HKEY_LOCAL_MACHINE, kPackageKey));
}

TEST_F(Owner, ThePackagePutsBackAnotherProgramsValuesExactly) {
  struct Other {
    std::wstring key, name;
    RegistryValue before, packages;
  };
  const Other others[] = {
      {L".89t", L"", {true, REG_SZ, RegSzBytes(L"OtherApp.Text")}, {true, REG_SZ, RegSzBytes(L"Ivex.89t")}},
      {L"Ivex.89p", L"EditFlags", {true, REG_BINARY, {0, 0, 1, 0}}, {true, REG_DWORD, RegDwordBytes(0)}},
  };
  auto expect = [](const RegistryValue& read, const RegistryValue& expected) {
    EXPECT_TRUE(read.present);
    EXPECT_EQ(read.type, expected.type);
    EXPECT_EQ(read.bytes, expected.bytes);
  };
  for (const Other& other : others) {
    ASSERT_TRUE(WriteValue(HKEY_CLASSES_ROOT, other.key, other.name, other.before.type, other.before.bytes));
  }
  ASSERT_EQ(InstallPackage(), 0u);
  EXPECT_EQ(ShapeOf(HKEY_LOCAL_MACHINE, kPackageReplaced).values, 2);
  for (const Other& other : others) {
    SCOPED_TRACE(Narrow(other.key + L"|" + other.name));
    expect(ReadValue(HKEY_CLASSES_ROOT, other.key, other.name), other.packages);
    expect(ReadValue(HKEY_LOCAL_MACHINE, kPackageReplaced, other.key + L"|" + other.name), other.before);
  }

  ASSERT_EQ(Msiexec(L"/x \"" + PackagePath() + L"\" /qn"), 0u);
  for (const Other& other : others) {
    SCOPED_TRACE(Narrow(other.key + L"|" + other.name));
    expect(ReadValue(HKEY_CLASSES_ROOT, other.key, other.name), other.before);
    EXPECT_EQ(ShapeOf(HKEY_CLASSES_ROOT, other.key).values, 1) << "a value of the package's is left";
    EXPECT_EQ(ShapeOf(HKEY_CLASSES_ROOT, other.key).subkeys, 0);
  }
  EXPECT_EQ(Narrow(WhatIsInstalled()), "key HKCR\\Ivex.89p; key HKCR\\.89t; ");
  EXPECT_FALSE(KeyThere(HKEY_LOCAL_MACHINE, kPackageKey)) << "the package's key is left";
}

TEST_F(Owner, ThePackageLosesNothingOfOthersAndACutShortOneLocksNobodyOut) {
  const std::vector<std::pair<std::wstring, std::wstring>> others = {{L".89t", L"OtherApp.Text"},
                                                                     {L".89m", L"OtherApp.Matrix"}};
  for (const auto& [key, text] : others) ASSERT_TRUE(WriteValue(HKEY_CLASSES_ROOT, key, L"", REG_SZ, RegSzBytes(text)));
  const std::string before = TypesAndFiles();
  {
    SCOPED_TRACE("a place that cannot be read: refused before anything is written");
    HKEY made = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L"Ivex.89t", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &made, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(made);
    ASSERT_TRUE(SetKeyAccess(HKEY_CLASSES_ROOT, L"Ivex.89t", /*refused=*/true));
    EXPECT_EQ(InstallPackage(), static_cast<DWORD>(ERROR_INSTALL_FAILURE));
    ASSERT_TRUE(SetKeyAccess(HKEY_CLASSES_ROOT, L"Ivex.89t", /*refused=*/false));
    DeleteKey(HKEY_CLASSES_ROOT, L"Ivex.89t");
    EXPECT_EQ(TypesAndFiles(), before);
    EXPECT_FALSE(KeyThere(HKEY_LOCAL_MACHINE, kPackageKey));
  }
  {
    SCOPED_TRACE("another program's icon of one of the package's names: refused, the file kept");
    const std::wstring icon = InstallFolder() + L"\\89text.ico";
    ASSERT_TRUE(CreateDirectoryW(InstallFolder().c_str(), nullptr));
    std::ofstream(fs::path(icon), std::ios::binary) << "another program's icon";
    EXPECT_EQ(InstallPackage(), static_cast<DWORD>(ERROR_INSTALL_FAILURE));
    EXPECT_EQ(FilesIn(InstallFolder()), std::vector<std::wstring>{L"89text.ico"});
    const std::vector<char> kept = ReadWholeFile(icon);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "another program's icon");
    DeleteFileW(icon.c_str());
    RemoveDirectoryW(InstallFolder().c_str());
  }
  {
    SCOPED_TRACE("the removal keeps an association set since");
    ASSERT_EQ(InstallPackage(), 0u);
    ASSERT_TRUE(WriteValue(HKEY_CLASSES_ROOT, L".89t", L"", REG_SZ, RegSzBytes(L"Newer.Text")));
    ASSERT_EQ(Msiexec(L"/x " + product_ + L" /qn"), 0u);
    EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L".89t", L"").bytes, RegSzBytes(L"Newer.Text"));
    EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L".89m", L"").bytes, RegSzBytes(L"OtherApp.Matrix"));
    ASSERT_TRUE(WriteValue(HKEY_CLASSES_ROOT, L".89t", L"", REG_SZ, RegSzBytes(L"OtherApp.Text")));
    EXPECT_EQ(TypesAndFiles(), before);
    ForgetPackage();
  }
  SCOPED_TRACE("msiexec killed inside its transaction: the exe names the way out, and it is safe");
  bool cut = false;
  for (int attempt = 0; attempt < 20 && !cut; ++attempt) {
    Process msiexec;
    ASSERT_EQ(Narrow(StartMsiexec(msiexec, L"/i \"" + PackagePath() + L"\" /qn")), "");
    WaitFor([] { return ReadValue(HKEY_LOCAL_MACHINE, kPackageKey, L"Installing").present; }, 20000);
    msiexec.Kill();
    WaitFor([] { return false; }, 300);  // its custom action server ends with it
    cut = ReadValue(HKEY_LOCAL_MACHINE, kPackageKey, L"Installing").present;
    if (!cut && ProductInstalled(product_)) {
      ASSERT_EQ(Msiexec(L"/x " + product_ + L" /qn"), 0u);
    }
  }
  ASSERT_TRUE(cut) << "msiexec was never caught inside its transaction";
  const std::wstring log = WorkFolder() + L"\\cut-short.log";
  DeleteFileW(log.c_str());
  EXPECT_EQ(RunSilently(L"/S /LOG=" + log, "cut-short-install"), 1638u);
  EXPECT_EQ(RunSilently(L"/uninstall /S /LOG=" + log, "cut-short-uninstall"), 1638u);
  EXPECT_FALSE(KeyThere(HKEY_LOCAL_MACHINE, kRecordKey));
  const std::vector<std::wstring> lines = LogLines(log);
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::wstring& line) {
                            return line.find(L"was cut short") != std::wstring::npos &&
                                   line.find(L"(code 1638)") != std::wstring::npos;
                          }),
            2)
      << Shown(lines);
  // The way out the refusal names: the package installed again, then removed.
  ASSERT_EQ(InstallPackage(), 0u);
  ASSERT_EQ(Msiexec(L"/x " + product_ + L" /qn"), 0u);
  EXPECT_EQ(TypesAndFiles(), before);
  EXPECT_FALSE(KeyThere(HKEY_LOCAL_MACHINE, kPackageKey));
}

TEST_F(Owner, EveryAccountsRoadWaitsWhileWindowsInstallerWorks) {
  {
    Handle busy = WindowsInstallerAtWork();
    EXPECT_EQ(RunSilently(L"/S", "busy-install"), 1618u);
    EXPECT_EQ(Narrow(WhatIsInstalled()), "") << "a refused run changed something";
    // The account's installation does not meet the package's.
    EXPECT_EQ(RunSilently(L"/user /S", "busy-user"), 0u);
    ExpectInstalled(ForTheUser());
    EXPECT_EQ(Narrow(WhatIsInstalled()), "");
  }
  ASSERT_EQ(RunSilently(L"/S", "install"), 0u);
  const std::string installed = TypesAndFiles();
  {
    Handle busy = WindowsInstallerAtWork();
    EXPECT_EQ(RunSilently(L"/uninstall /S", "busy-uninstall"), 1618u);
    EXPECT_EQ(TypesAndFiles(), installed);
    ExpectInstalled();
  }
  EXPECT_EQ(RunSilently(L"/uninstall /S", "uninstall"), 0u);
  EXPECT_EQ(Narrow(WhatIsInstalled()), "");
}

TEST_F(Owner, TheLogTellsTheStepsOfAnInstallAndKeepsEveryRun) {
  // A log that cannot be written is no failure of the run.
  const std::wstring nowhere = WorkFolder() + L"\\no-such-folder\\install.log";
  EXPECT_EQ(RunSilently(L"/S /LOG=" + nowhere, "unwritable"), 0u);
  ExpectInstalled();
  EXPECT_FALSE(fs::exists(fs::path(nowhere)));
  ASSERT_EQ(Narrow(ResetMachine()), "");

  // In a folder whose name is not ASCII: its path comes back letter for letter.
  const std::wstring folder = WorkFolder() + L"\\logs-J\u00FCrgen-\u0418\u0432\u0430\u043D";
  fs::remove_all(fs::path(folder));
  fs::create_directories(fs::path(folder));
  const std::wstring log = folder + L"\\install.log";
  ASSERT_EQ(RunSilently(L"/S /LOG=" + log, "logged"), 0u);
  const std::vector<std::wstring> first = LogLines(log);
  const std::wstring place = MachineWide().folder;
  ExpectInOrder(first, {L"started: /S /LOG=" + log + L" (code 0)", L"install for every account into " + place,
                        L"found: nothing installed (code 0)", L"create folder " + place + L" (code 0)",
                        L"set text HKEY_CLASSES_ROOT\\.89m (default) (code 0)", L"] installed (code 0)"});
  ASSERT_FALSE(first.empty());
  EXPECT_NE(first.back().find(L"] exit code (code 0)"), std::wstring::npos) << Shown(first);

  // A second run appends its lines after the first's.
  ASSERT_EQ(RunSilently(L"/S /LOG=" + log, "again"), 0u);
  const std::vector<std::wstring> both = LogLines(log);
  ASSERT_GT(both.size(), first.size());
  EXPECT_TRUE(std::equal(first.begin(), first.end(), both.begin())) << "the first run's lines changed";
  const std::vector<std::wstring> second(both.begin() + static_cast<long>(first.size()), both.end());
  ExpectInOrder(second, {L"started: /S /LOG=", L"found: a complete installation; nothing to do (code 0)",
                         L"] exit code (code 0)"});
}

TEST_F(Owner, TheLogNamesEachRefusalAndFailureWithItsCode) {
  const std::wstring folder = WorkFolder() + L"\\owner-logs";
  fs::remove_all(fs::path(folder));
  fs::create_directories(fs::path(folder));
  // Runs `arguments` with a log of its own; the log's lines, the last one
  // the exit code.
  auto run = [&](const std::wstring& arguments, const std::string& name, DWORD code) {
    const std::wstring log = folder + L"\\" + std::wstring(name.begin(), name.end()) + L".log";
    EXPECT_EQ(RunSilently(arguments + L" /LOG=" + log, name), code);
    std::vector<std::wstring> lines = LogLines(log);
    const std::wstring last = L"] exit code (code " + std::to_wstring(code) + L")";
    EXPECT_TRUE(!lines.empty() && lines.back().find(last) != std::wstring::npos) << Shown(lines);
    return lines;
  };

  ASSERT_EQ(InstallPackage(), 0u);
  const std::wstring owned = LineWith(run(L"/uninstall /S", "owned", 1638),
                                      L"] refused: installed by the Windows Installer package " + product_);
  EXPECT_NE(owned.find(L" (code 1638)"), std::wstring::npos) << Narrow(owned);
  ASSERT_EQ(Msiexec(L"/x " + product_ + L" /qn"), 0u);
  ForgetPackage();

  {
    Handle busy = WindowsInstallerAtWork();
    LineWith(run(L"/S", "busy", 1618), L"] refused: Windows Installer is running an installation (code 1618)");
  }

  // A type key whose access list refuses everything: the run stops at it.
  HKEY made = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L"Ivex.89t", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &made,
                            nullptr),
            ERROR_SUCCESS);
  RegCloseKey(made);
  ASSERT_TRUE(SetKeyAccess(HKEY_CLASSES_ROOT, L"Ivex.89t", /*refused=*/true));
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, L"Ivex.89t", 0, KEY_READ, &made), ERROR_ACCESS_DENIED)
      << "the system does not refuse the key: nothing tested";
  const std::vector<std::wstring> failed = run(L"/S", "failed", 70);
  const std::wstring unreadable = LineWith(failed, L"] cannot read HKEY_CLASSES_ROOT\\Ivex.89t");
  EXPECT_NE(unreadable.find(L" (code 5)"), std::wstring::npos) << Narrow(unreadable);
  std::vector<std::wstring> excerpt;  // without the icons held open, a line each
  for (const std::wstring& line : failed) {
    if (line.find(L"] hold open ") == std::wstring::npos) excerpt.push_back(line);
  }
  std::printf("[   LOG    ] /S beside a refused HKEY_CLASSES_ROOT\\Ivex.89t:\n%s", Shown(excerpt).c_str());
}

}  // namespace
}  // namespace glyphary::e2e
