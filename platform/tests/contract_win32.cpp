#include <windows.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/tests/contract.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"

namespace glyphary::platform::testing {

namespace {

int NextSerial() {
  static int serial = 0;
  return ++serial;
}

class Win32RegistryUnderTest : public RegistryUnderTest {
 public:
  Win32RegistryUnderTest()
      : scratch_(L"GlypharyContractTest." + std::to_wstring(GetCurrentProcessId()) + L"." +
                 std::to_wstring(NextSerial())) {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, scratch_.c_str());
  }
  ~Win32RegistryUnderTest() override {
    // The refused keys opened to everyone again (a NULL DACL), through the
    // handles kept for it, so that the scratch key can go.
    SECURITY_DESCRIPTOR open{};
    InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE);
    for (HKEY key : refused_) {
      RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &open);
      RegCloseKey(key);
    }
    RegDeleteTreeW(HKEY_CLASSES_ROOT, scratch_.c_str());
  }

  Registry& registry() override { return registry_; }
  const std::wstring& scratch() const override { return scratch_; }

  std::optional<RegistryValue> Read(const std::wstring& path, const std::wstring& name) override {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    DWORD type = 0, size = 0;
    std::optional<RegistryValue> result;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
      std::vector<BYTE> data(size + 1);
      if (RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(), &size) == ERROR_SUCCESS) {
        RegistryValue value;
        value.type = type;
        value.bytes = NarrowText(std::string_view(reinterpret_cast<const char*>(data.data()), size));
        result = value;
      }
    }
    RegCloseKey(key);
    return result;
  }

  bool Exists(const std::wstring& path) override {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
      return false;
    }
    RegCloseKey(key);
    return true;
  }

  int ValueCount(const std::wstring& path) override {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
      return 0;
    }
    DWORD values = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return static_cast<int>(values);
  }

  void Refuse(const std::wstring& path) override {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, READ_CONTROL | WRITE_DAC, &key) !=
        ERROR_SUCCESS) {
      return;
    }
    refused_.push_back(key);
    SECURITY_DESCRIPTOR closed{};
    InitializeSecurityDescriptor(&closed, SECURITY_DESCRIPTOR_REVISION);
    ACL empty{};
    InitializeAcl(&empty, sizeof(empty), ACL_REVISION);
    SetSecurityDescriptorDacl(&closed, TRUE, &empty, FALSE);
    RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &closed);
  }

  void SetOtherProgram(std::function<void()> other) override {
    other_ = std::move(other);
    registry_.SetOtherProgram(other_ ? FunctionRef<void()>(other_) : FunctionRef<void()>());
  }

 private:
  std::function<void()> other_;
  Win32Registry registry_;
  std::wstring scratch_;
  std::vector<HKEY> refused_;
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
    if (!drive_.empty()) DefineDosDeviceW(DDD_REMOVE_DEFINITION, drive_.c_str(), nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(scratch_, ignored);
    if (!other_volume_.empty()) std::filesystem::remove_all(other_volume_, ignored);
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
  void SetOtherProgram(std::function<void()> other) override {
    other_ = std::move(other);
    files_.SetOtherProgram(other_ ? FunctionRef<void()>(other_) : FunctionRef<void()>());
  }
  std::wstring CurrentFolder() override { return std::filesystem::current_path().wstring(); }
  bool IsHidden(const std::wstring& path) override {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
  }
  std::wstring ScratchThroughAnotherDrive() override {
    for (wchar_t letter = L'Q'; letter <= L'Y' && drive_.empty(); ++letter) {
      const std::wstring drive{letter, L':'};
      if (GetDriveTypeW((drive + L"\\").c_str()) == DRIVE_NO_ROOT_DIR &&
          DefineDosDeviceW(0, drive.c_str(), scratch_.c_str())) {
        drive_ = drive;
      }
    }
    // Wine defines the letter but reaches no file through it (its drives are
    // the prefix's dosdevices links, each numbered as a volume of its own).
    if (!drive_.empty() && GetFileAttributesW((drive_ + L"\\").c_str()) == INVALID_FILE_ATTRIBUTES) return L"";
    return drive_;
  }
  std::wstring OtherVolumeFolder() override {
    // Under Wine, Z: is the Unix root and /dev/shm a file system of its own
    // (tmpfs), so a rename from the prefix's drive C: into it fails as
    // between two volumes; elsewhere there is none to be had.
    const std::wstring shm = L"Z:\\dev\\shm";
    if (!std::filesystem::is_directory(shm)) return L"";
    other_volume_ = shm + L"\\glyphary-contract-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                    std::to_wstring(NextSerial());
    std::filesystem::create_directories(other_volume_);
    return other_volume_;
  }

 private:
  std::function<void()> other_;
  Win32FileSystem files_;
  std::wstring scratch_;
  std::wstring drive_;         // defined for the scratch area
  std::wstring other_volume_;  // made on another volume
};

}  // namespace

std::unique_ptr<RegistryUnderTest> MakeWin32RegistryUnderTest() {
  return std::make_unique<Win32RegistryUnderTest>();
}

std::unique_ptr<FileSystemUnderTest> MakeWin32FileSystemUnderTest() {
  return std::make_unique<Win32FileSystemUnderTest>();
}

std::unique_ptr<System> MakeWin32SystemUnderTest() { return std::make_unique<Win32System>(); }

}  // namespace glyphary::platform::testing
