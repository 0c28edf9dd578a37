// Whole installation and uninstallation runs against the real Win32
// registry and file system (under Wine, in the build tree's throwaway
// prefix), read back with the plain Win32 API rather than through the
// platform layer.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/file_types.h"
#include "engine/installation.h"
#include "engine/uninstallation.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"
#include "tests/throwaway_machine.h"

namespace glyphary::engine {
namespace {

namespace fs = std::filesystem;

const fs::path kInstall = L"C:\\WINDOWS\\system32\\TI-89";
// Where 32-bit programs find it (Wine's prefix is 64-bit Windows).
const fs::path kWow64Install = L"C:\\WINDOWS\\SysWOW64\\TI-89";
const std::string kRecord = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\GlypharyInstaller";

std::string Narrow(std::wstring_view text) { return std::string(text.begin(), text.end()); }

// The real file system, with the program and its icons taken from a folder
// of the test's own instead of the test program's folder.
class IconsFrom : public platform::Win32FileSystem {
 public:
  explicit IconsFrom(const fs::path& folder) : folder_(folder) {}
  Error ProgramFile(WideText& path) override {
    path = WideText(std::wstring_view((folder_ / L"GlypharyInstaller.exe").native()));
    return Error();
  }

 private:
  const fs::path& folder_;
};

// A value as it is stored: "sz:" or "dword:" and its bytes, or "missing".
std::string Stored(HKEY root, const std::string& path, const std::string& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return "missing";
  DWORD type = 0, size = 0;
  std::string bytes;
  LONG status = RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size);
  if (status == ERROR_SUCCESS) {
    bytes.resize(size);
    status = RegQueryValueExA(key, name.c_str(), nullptr, &type,
                              reinterpret_cast<BYTE*>(bytes.data()), &size);
  }
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return "missing";
  return (type == REG_SZ ? "sz:" : type == REG_DWORD ? "dword:" : std::to_string(type) + ":") + bytes;
}

bool KeyExists(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

void RemoveRegistration() {
  for (const FileType& type : kFileTypes) {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, Narrow(type.extension).c_str());
    RegDeleteTreeA(HKEY_CLASSES_ROOT, Narrow(type.type_id).c_str());
  }
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kRecord.c_str());
}

class Win32RunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(glyphary::testing::OnThrowawayMachine()) << glyphary::testing::kRefusal;
    std::error_code ignored;
    fs::remove_all(kInstall, ignored);
    fs::remove_all(kWow64Install, ignored);
    RemoveRegistration();
    wchar_t temp[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    // A program folder whose name the ANSI code page cannot hold.
    program_ = fs::path(std::wstring(temp, n)) / L"glyphary-run-\u0416\u4e2d";
    fs::remove_all(program_, ignored);
    fs::create_directories(program_ / L"Icons" / L"sub");
    for (const FileType& type : kFileTypes) {
      std::ofstream(program_ / L"Icons" / std::wstring(type.icon_file), std::ios::binary)
          << "ICON " << static_cast<char>(type.extension[3]);
    }
    std::ofstream(program_ / L"GlypharyInstaller.exe", std::ios::binary) << "MZ program";
    std::ofstream(program_ / L"Icons" / L"extra.ico", std::ios::binary) << "EXTRA";
    std::ofstream(program_ / L"Icons" / L"sub" / L"nested.ico", std::ios::binary) << "NESTED";
  }
  void TearDown() override {
    if (!glyphary::testing::OnThrowawayMachine()) return;
    std::error_code ignored;
    fs::remove_all(kInstall, ignored);
    fs::remove_all(kWow64Install, ignored);
    fs::remove_all(program_, ignored);
    RemoveRegistration();
  }

  Error Install(std::vector<InstallStage>* stages) {
    auto record = [stages](InstallStage stage) { stages->push_back(stage); };
    return RunInstallation(platform_, kMachineTarget, StageSink(record));
  }

  fs::path program_;
  IconsFrom files_{program_};
  platform::Win32Registry registry_;
  platform::Win32System system_;
  platform::Platform platform_{files_, registry_, system_};
};

TEST_F(Win32RunTest, AWholeRunInstallsFolderIconsAndRegistryAndASecondRunDoesNothing) {
  std::vector<InstallStage> stages;
  const Error error = Install(&stages);
  ASSERT_FALSE(error) << error.Number() << " " << ::testing::PrintToString(error.Path());
  EXPECT_EQ(stages, (std::vector<InstallStage>{InstallStage::kCopyingIcons,
                                               InstallStage::kEditingRegistry}));

  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(kInstall)) {
    EXPECT_TRUE(entry.is_regular_file()) << entry.path().string();
    ++files;
  }
  EXPECT_EQ(files, 14u);  // the icons and the uninstaller
  std::ifstream pic(kInstall / L"89pic.ico", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(pic), {}), "ICON i");
  // The icons again, without the uninstaller, where 32-bit programs look.
  files = 0;
  for (const auto& entry : fs::directory_iterator(kWow64Install)) {
    EXPECT_NE(entry.path().filename(), L"GlypharyInstaller.exe");
    ++files;
  }
  EXPECT_EQ(files, 13u);
  std::ifstream pic32(kWow64Install / L"89pic.ico", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(pic32), {}), "ICON i");

  for (const FileType& type : kFileTypes) {
    const std::string extension = Narrow(type.extension);
    const std::string type_id = "Ivex." + extension.substr(1);
    SCOPED_TRACE(extension);
    EXPECT_EQ(Stored(HKEY_CLASSES_ROOT, extension, ""), "sz:" + type_id + '\0');
    EXPECT_EQ(Stored(HKEY_CLASSES_ROOT, type_id, "BrowserFlags"), std::string("dword:\x08\0\0\0", 10));
    EXPECT_EQ(Stored(HKEY_CLASSES_ROOT, type_id, "EditFlags"), "dword:" + std::string(4, '\0'));
    EXPECT_EQ(Stored(HKEY_CLASSES_ROOT, type_id + "\\DefaultIcon", ""),
              "sz:C:\\WINDOWS\\system32\\TI-89\\" + Narrow(type.icon_file) + ",0" + '\0');
    // Keys written through HKEY_CLASSES_ROOT land in the machine's classes.
    EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, "Software\\Classes\\" + extension, ""), "sz:" + type_id + '\0');
  }

  // Apps & Features lists it.
  EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, kRecord, "DisplayName"), std::string("sz:Glyphary Installer", 22));
  EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, kRecord, "UninstallString"),
            std::string("sz:\"C:\\WINDOWS\\system32\\TI-89\\GlypharyInstaller.exe\" /uninstall") + '\0');

  // A second run finds it recorded and changes nothing.
  fs::remove(kInstall / L"89mat.ico");
  RegDeleteTreeA(HKEY_CLASSES_ROOT, ".89m");
  stages.clear();
  EXPECT_FALSE(Install(&stages));
  EXPECT_TRUE(stages.empty());
  EXPECT_FALSE(fs::exists(kInstall / L"89mat.ico"));
  EXPECT_EQ(Stored(HKEY_CLASSES_ROOT, ".89m", ""), "missing");
}

TEST_F(Win32RunTest, AnUninstallationTakesAwayWhatTheRunWroteAndLeavesWhatWasChanged) {
  std::vector<InstallStage> stages;
  ASSERT_FALSE(Install(&stages));
  // Another program took over .89p since.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, ".89p", 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "", 0, REG_SZ, reinterpret_cast<const BYTE*>("OtherApp.Program"), 17),
            ERROR_SUCCESS);
  RegCloseKey(key);

  UninstallReport report;
  const Error error = RunUninstallation(platform_, kMachineTarget, report);
  ASSERT_FALSE(error) << error.Number() << " " << ::testing::PrintToString(error.Path());
  EXPECT_EQ(report.registry.types_removed, 12);
  EXPECT_EQ(report.registry.values_kept, 1);
  EXPECT_EQ(report.registry.keys_kept, 1);
  EXPECT_EQ(report.files_removed, 14 + 13);  // and the icons where 32-bit programs look
  EXPECT_TRUE(report.folder_removed);
  EXPECT_FALSE(fs::exists(kInstall));
  EXPECT_FALSE(fs::exists(kWow64Install));
  EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, kRecord, "DisplayName"), "missing");
  for (const FileType& type : kFileTypes) {
    const std::string extension = Narrow(type.extension);
    SCOPED_TRACE(extension);
    EXPECT_FALSE(KeyExists("Ivex." + extension.substr(1)));
    EXPECT_EQ(KeyExists(extension), extension == ".89p");
  }
  EXPECT_EQ(Stored(HKEY_CLASSES_ROOT, ".89p", ""), std::string("sz:OtherApp.Program", 20));
}

TEST_F(Win32RunTest, MissingIconsLeaveNoInstallFolderAndNoRegistryEntry) {
  fs::remove_all(program_ / L"Icons");
  std::vector<InstallStage> stages;
  EXPECT_EQ(Install(&stages).Number(), errors::kPathNotFound);
  EXPECT_FALSE(fs::exists(kInstall));
  EXPECT_EQ(Stored(HKEY_CLASSES_ROOT, ".89m", ""), "missing");
}

TEST_F(Win32RunTest, AFileInTheWayOfTheInstallFolderIsReported) {
  std::ofstream(kInstall, std::ios::binary) << "not a folder";
  std::vector<InstallStage> stages;
  EXPECT_EQ(Install(&stages).Number(), errors::kFileAlreadyExists);
  EXPECT_TRUE(fs::is_regular_file(kInstall));
  EXPECT_EQ(Stored(HKEY_CLASSES_ROOT, ".89m", ""), "missing");
}

// Whether SeShutdownPrivilege is enabled in this process's token; disables
// it first when `disable` is true.
bool ShutdownPrivilegeEnabled(bool disable = false) {
  HANDLE token = nullptr;
  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES, &token);
  TOKEN_PRIVILEGES change{};
  change.PrivilegeCount = 1;
  LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &change.Privileges[0].Luid);
  if (disable) AdjustTokenPrivileges(token, FALSE, &change, sizeof(change), nullptr, nullptr);
  alignas(TOKEN_PRIVILEGES) BYTE buffer[4096];
  DWORD size = 0;
  const bool read = GetTokenInformation(token, TokenPrivileges, buffer, sizeof(buffer), &size);
  CloseHandle(token);
  const auto* held = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer);
  for (DWORD i = 0; read && i < held->PrivilegeCount; ++i) {
    const LUID_AND_ATTRIBUTES& entry = held->Privileges[i];
    if (entry.Luid.LowPart == change.Privileges[0].Luid.LowPart &&
        entry.Luid.HighPart == change.Privileges[0].Luid.HighPart) {
      return (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
  }
  return false;
}

TEST(Win32System, EnablesTheShutdownPrivilegeInTheProcessToken) {
  platform::Win32System system;
  ASSERT_FALSE(ShutdownPrivilegeEnabled(true));
  system.EnableShutdownPrivilege();
  EXPECT_TRUE(ShutdownPrivilegeEnabled());
}

}  // namespace
}  // namespace glyphary::engine
