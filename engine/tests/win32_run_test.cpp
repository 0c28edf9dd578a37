// One whole installation run against the real Win32 registry and file
// system (under Wine, in the build tree's throwaway prefix), read back with
// the plain Win32 API rather than through the platform layer.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/installation.h"
#include "engine/reg.h"
#include "engine/ti_info.h"
#include "platform/win32/win32_ansi_codec.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry.h"
#include "tests/throwaway_machine.h"

namespace glyphary::engine {
namespace {

namespace fs = std::filesystem;

const fs::path kInstall = L"C:\\WINDOWS\\system32\\TI-89";

// The real file system, with the icons taken from a folder of the test's
// own instead of the test program's folder.
class IconsFrom : public platform::Win32FileSystem {
 public:
  explicit IconsFrom(std::wstring folder) : folder_(std::move(folder)) {}
  Error ProgramFolder(WideText& folder) override {
    folder = WideText(std::wstring_view(folder_));
    return Error();
  }

 private:
  std::wstring folder_;
};

struct ReadValue {
  DWORD type = 0;
  std::string bytes;
};

std::optional<ReadValue> Read(HKEY root, const std::string& path, const std::string& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return {};
  ReadValue value;
  DWORD size = 0;
  LONG status = RegQueryValueExA(key, name.c_str(), nullptr, &value.type, nullptr, &size);
  if (status == ERROR_SUCCESS) {
    value.bytes.resize(size);
    status = RegQueryValueExA(key, name.c_str(), nullptr, &value.type,
                              reinterpret_cast<BYTE*>(value.bytes.data()), &size);
  }
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return {};
  return value;
}

void RemoveRegistration() {
  for (const auto& row : TiInfo::FileTypes()) {
    std::string extension(row.Extension, row.Extension + wcslen(row.Extension));
    std::string type_id(row.TypeId, row.TypeId + wcslen(row.TypeId));
    RegDeleteTreeA(HKEY_CLASSES_ROOT, extension.c_str());
    RegDeleteTreeA(HKEY_CLASSES_ROOT, type_id.c_str());
  }
}

class Win32RunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(glyphary::testing::OnThrowawayMachine()) << glyphary::testing::kRefusal;
    platform::RegistrySeam::Install(registry_);
    platform::AnsiSeam::Install(ansi_);
    std::error_code ignored;
    fs::remove_all(kInstall, ignored);
    RemoveRegistration();
    wchar_t temp[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    // A program folder whose name the ANSI code page cannot hold.
    program_ = fs::path(std::wstring(temp, n)) / L"glyphary-run-\u0416\u4e2d";
    fs::remove_all(program_, ignored);
    fs::create_directories(program_ / L"Icons" / L"sub");
    for (const auto& row : TiInfo::FileTypes()) {
      std::ofstream(program_ / L"Icons" / row.IconFile, std::ios::binary) << "ICON " << static_cast<char>(row.Extension[3]);
    }
    std::ofstream(program_ / L"Icons" / L"extra.ico", std::ios::binary) << "EXTRA";
    std::ofstream(program_ / L"Icons" / L"sub" / L"nested.ico", std::ios::binary) << "NESTED";
  }
  void TearDown() override {
    if (!glyphary::testing::OnThrowawayMachine()) return;
    std::error_code ignored;
    fs::remove_all(kInstall, ignored);
    fs::remove_all(program_, ignored);
    RemoveRegistration();
  }

  int Run(std::vector<std::wstring>* captions) {
    IconsFrom files(program_.wstring());
    platform::FileSystemSeam::Override use(files);
    InstallationState state;
    auto record = [captions](std::wstring_view c) { captions->emplace_back(c); };
    return RunInstallation(state, CaptionSink(record)).Number();
  }

  platform::Win32Registry registry_;
  platform::Win32AnsiCodec ansi_;
  fs::path program_;
};

TEST_F(Win32RunTest, TheRootConstantIsTheRealClassesRootHandle) {
  EXPECT_EQ(reinterpret_cast<HKEY>(Reg::RootHandle(Reg::kClassesRoot)), HKEY_CLASSES_ROOT);
}

TEST_F(Win32RunTest, AWholeRunInstallsFolderIconsAndRegistryAndASecondRunDoesNothing) {
  std::vector<std::wstring> captions;
  ASSERT_EQ(Run(&captions), 0);
  EXPECT_EQ(captions, (std::vector<std::wstring>{L"Coping Icons...", L"Editing Registry..."}));

  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(kInstall)) {
    EXPECT_TRUE(entry.is_regular_file()) << entry.path().string();
    ++files;
  }
  EXPECT_EQ(files, 13u);
  std::ifstream pic(kInstall / L"89pic.ico", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(pic), {}), "ICON i");

  for (const auto& row : TiInfo::FileTypes()) {
    std::string extension(row.Extension, row.Extension + wcslen(row.Extension));
    std::string type_id(row.TypeId, row.TypeId + wcslen(row.TypeId));
    std::string icon(row.IconFile, row.IconFile + wcslen(row.IconFile));
    SCOPED_TRACE(extension);
    auto association = Read(HKEY_CLASSES_ROOT, extension, "");
    ASSERT_TRUE(association.has_value());
    EXPECT_EQ(association->type, DWORD{REG_SZ});
    EXPECT_EQ(association->bytes, type_id + std::string(1, '\0'));
    auto browser = Read(HKEY_CLASSES_ROOT, type_id, "BrowserFlags");
    ASSERT_TRUE(browser.has_value());
    EXPECT_EQ(browser->type, DWORD{REG_DWORD});
    EXPECT_EQ(browser->bytes, std::string("\x08\0\0\0", 4));
    auto edit = Read(HKEY_CLASSES_ROOT, type_id, "EditFlags");
    ASSERT_TRUE(edit.has_value());
    EXPECT_EQ(edit->bytes, std::string(4, '\0'));
    auto default_icon = Read(HKEY_CLASSES_ROOT, type_id + "\\DefaultIcon", "");
    ASSERT_TRUE(default_icon.has_value());
    EXPECT_EQ(default_icon->bytes,
              "C:\\WINDOWS\\system32\\TI-89\\" + icon + ",0" + std::string(1, '\0'));
    // Keys written through HKEY_CLASSES_ROOT land in the machine's classes.
    EXPECT_TRUE(Read(HKEY_LOCAL_MACHINE, "Software\\Classes\\" + extension, "").has_value());
  }

  // A second run finds the folder and changes nothing.
  fs::remove(kInstall / L"89mat.ico");
  RegDeleteTreeA(HKEY_CLASSES_ROOT, ".89m");
  captions.clear();
  ASSERT_EQ(Run(&captions), 0);
  EXPECT_TRUE(captions.empty());
  EXPECT_FALSE(fs::exists(kInstall / L"89mat.ico"));
  EXPECT_FALSE(Read(HKEY_CLASSES_ROOT, ".89m", "").has_value());
}

TEST_F(Win32RunTest, AFailedCopyLeavesNoInstallFolderAndNoRegistryEntry) {
  fs::remove_all(program_ / L"Icons");
  std::vector<std::wstring> captions;
  EXPECT_EQ(Run(&captions), errors::kPathNotFound);
  EXPECT_FALSE(fs::exists(kInstall));
  EXPECT_FALSE(Read(HKEY_CLASSES_ROOT, ".89m", "").has_value());
}

TEST_F(Win32RunTest, AFileInTheWayOfTheInstallFolderIsReported) {
  std::ofstream(kInstall, std::ios::binary) << "not a folder";
  std::vector<std::wstring> captions;
  EXPECT_EQ(Run(&captions), errors::kFileAlreadyExists);
  EXPECT_TRUE(fs::is_regular_file(kInstall));
  EXPECT_FALSE(Read(HKEY_CLASSES_ROOT, ".89m", "").has_value());
}

TEST(Win32ProgramFolder, IsTheFolderOfTheRunningExeWithoutTrailingSeparator) {
  platform::Win32FileSystem files;
  WideText program;
  ASSERT_FALSE(files.ProgramFolder(program));
  std::wstring folder(program.view());
  wchar_t exe[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
  EXPECT_EQ(fs::path(std::wstring(exe, n)).parent_path().wstring(), folder);
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), L'\\');
}

}  // namespace
}  // namespace glyphary::engine
