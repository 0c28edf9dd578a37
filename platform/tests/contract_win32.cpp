#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/tests/contract.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry.h"

namespace glyphary::platform::testing {

namespace {

int NextSerial() {
  static int serial = 0;
  return ++serial;
}

class Win32RegistryUnderTest : public RegistryUnderTest {
 public:
  Win32RegistryUnderTest()
      : scratch_("GlypharyContractTest." + std::to_string(GetCurrentProcessId()) + "." +
                 std::to_string(NextSerial())) {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, scratch_.c_str());
  }
  ~Win32RegistryUnderTest() override { RegDeleteTreeA(HKEY_CLASSES_ROOT, scratch_.c_str()); }

  Registry& registry() override { return registry_; }
  const std::string& scratch() const override { return scratch_; }

  std::optional<RegistryValue> Read(const std::string& path, const std::string& name) override {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    DWORD type = 0, size = 0;
    std::optional<RegistryValue> result;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
      RegistryValue value{name, type, std::vector<std::uint8_t>(size)};
      if (RegQueryValueExA(key, name.c_str(), nullptr, &type, value.data.data(), &size) ==
          ERROR_SUCCESS) {
        value.data.resize(size);
        result = value;
      }
    }
    RegCloseKey(key);
    return result;
  }

  bool Exists(const std::string& path) override {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
      return false;
    }
    RegCloseKey(key);
    return true;
  }

 private:
  Win32Registry registry_;
  std::string scratch_;
};

class Win32FileSystemUnderTest : public FileSystemUnderTest {
 public:
  Win32FileSystemUnderTest() {
    wchar_t temp[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    std::wstring base(temp, n);
    while (!base.empty() && base.back() == L'\\') base.pop_back();
    scratch_ = base + L"\\glyphary-contract-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(NextSerial());
    std::filesystem::remove_all(scratch_);
    std::filesystem::create_directories(scratch_);
  }
  ~Win32FileSystemUnderTest() override {
    std::error_code ignored;
    std::filesystem::remove_all(scratch_, ignored);
  }

  FileSystem& files() override { return files_; }
  const std::wstring& scratch() const override { return scratch_; }
  void MakeFolder(const std::wstring& path) override { std::filesystem::create_directories(path); }
  void MakeFile(const std::wstring& path, const std::string& bytes) override {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(std::filesystem::path(path), std::ios::binary);
    out << bytes;
  }
  void MakeReadOnly(const std::wstring& path) override {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
  }
  std::optional<std::string> ReadFile(const std::wstring& path) override {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    if (!in || std::filesystem::is_directory(path)) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  bool IsFolder(const std::wstring& path) override { return std::filesystem::is_directory(path); }

 private:
  Win32FileSystem files_;
  std::wstring scratch_;
};

}  // namespace

std::unique_ptr<RegistryUnderTest> MakeWin32RegistryUnderTest() {
  return std::make_unique<Win32RegistryUnderTest>();
}

std::unique_ptr<FileSystemUnderTest> MakeWin32FileSystemUnderTest() {
  return std::make_unique<Win32FileSystemUnderTest>();
}

}  // namespace glyphary::platform::testing
