#include "platform/fake/fake_file_system.h"
#include "platform/fake/fake_registry.h"
#include "platform/fake/fake_system.h"
#include "platform/tests/contract.h"

namespace glyphary::platform::testing {

namespace {

constexpr RegistryRoot kRoot = RegistryRoot::kClassesRoot;

class FakeRegistryUnderTest : public RegistryUnderTest {
 public:
  Registry& registry() override { return registry_; }
  const std::wstring& scratch() const override { return scratch_; }
  std::optional<RegistryValue> Read(const std::wstring& path, const std::wstring& name) override {
    const std::optional<FakeValue> stored = registry_.Value(kRoot, path, name);
    if (!stored) return std::nullopt;
    RegistryValue value;
    value.type = stored->type;
    value.bytes = NarrowText(std::string_view(stored->bytes));
    return value;
  }
  bool Exists(const std::wstring& path) override { return registry_.KeyExists(kRoot, path); }
  int ValueCount(const std::wstring& path) override {
    return static_cast<int>(registry_.ValueNamesOf(kRoot, path).size());
  }
  void Refuse(const std::wstring& path) override { registry_.Refuse(kRoot, path); }
  void SetOtherProgram(std::function<void()> other) override { registry_.SetOtherProgram(std::move(other)); }

 private:
  FakeRegistry registry_;
  std::wstring scratch_ = L"GlypharyContractTest";
};

class FakeFileSystemUnderTest : public FileSystemUnderTest {
 public:
  FakeFileSystemUnderTest() {
    files_.AddFolder(scratch_);
    files_.SetWow64Folder(L"C:\\WINDOWS\\SysWOW64");  // 64-bit Windows, as Wine's prefix is
  }
  FileSystem& files() override { return files_; }
  const std::wstring& scratch() const override { return scratch_; }
  void MakeFolder(const std::wstring& path) override { files_.AddFolder(path); }
  void MakeFile(const std::wstring& path, const std::string& bytes) override {
    files_.AddFile(path, bytes);
  }
  void MakeReadOnly(const std::wstring&) override {}
  std::optional<std::string> ReadFile(const std::wstring& path) override {
    return files_.FileBytes(path);
  }
  bool IsFolder(const std::wstring& path) override { return files_.IsFolder(path); }
  void SetOtherProgram(std::function<void()> other) override { files_.SetOtherProgram(std::move(other)); }
  std::wstring CurrentFolder() override { return L"C:\\Users\\Ann"; }  // the stand-in's
  bool IsHidden(const std::wstring& path) override { return files_.IsHidden(path); }
  std::wstring ScratchThroughAnotherDrive() override {
    files_.Substitute(L'Q', scratch_);
    return L"Q:";
  }
  std::wstring OtherVolumeFolder() override {
    files_.AddDrive(L'D');
    files_.AddFolder(L"D:\\Other");
    return L"D:\\Other";
  }

 private:
  FakeFileSystem files_;
  std::wstring scratch_ = L"C:\\Temp\\GlypharyContractTest";
};

}  // namespace

std::unique_ptr<RegistryUnderTest> MakeFakeRegistryUnderTest() {
  return std::make_unique<FakeRegistryUnderTest>();
}

std::unique_ptr<FileSystemUnderTest> MakeFakeFileSystemUnderTest() {
  return std::make_unique<FakeFileSystemUnderTest>();
}

std::unique_ptr<System> MakeFakeSystemUnderTest() { return std::make_unique<FakeSystem>(); }

std::vector<std::string> Implementations() {
#ifdef _WIN32
  return {"fake", "win32"};
#else
  return {"fake"};
#endif
}

}  // namespace glyphary::platform::testing
