// What the contract tests need of an implementation under test: the object
// itself, a scratch area, and a way to look at the result that does not go
// through the implementation. The same tests run against the in-memory
// stand-ins (every build) and the real Win32 implementations (under Wine),
// so the stand-ins are held to the semantics of the real thing.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/system.h"

namespace glyphary::platform::testing {

class RegistryUnderTest {
 public:
  virtual ~RegistryUnderTest() = default;
  virtual Registry& registry() = 0;
  // A key path below HKEY_CLASSES_ROOT that does not exist yet and that the
  // test may fill; removed when this object is destroyed.
  virtual const std::wstring& scratch() const = 0;
  // Reads a value below HKEY_CLASSES_ROOT without going through registry():
  // its type and bytes as stored.
  virtual std::optional<RegistryValue> Read(const std::wstring& path, const std::wstring& name) = 0;
  virtual bool Exists(const std::wstring& path) = 0;
  // The number of values the key holds (0 when it is missing).
  virtual int ValueCount(const std::wstring& path) = 0;
  // Denies every access to the existing key, as an empty DACL does; lifted
  // when this object is destroyed.
  virtual void Refuse(const std::wstring& path) = 0;
  // `other` runs as another program where it could act between what
  // DeleteKeyIfEmpty finds and what it does.
  virtual void SetOtherProgram(std::function<void()> other) = 0;
};

class FileSystemUnderTest {
 public:
  virtual ~FileSystemUnderTest() = default;
  virtual FileSystem& files() = 0;
  // An empty folder the test may fill; removed when this object is destroyed.
  virtual const std::wstring& scratch() const = 0;
  virtual void MakeFolder(const std::wstring& path) = 0;
  virtual void MakeFile(const std::wstring& path, const std::string& bytes) = 0;
  // Gives the file the read-only attribute (the stand-in keeps none).
  virtual void MakeReadOnly(const std::wstring& path) = 0;
  virtual std::optional<std::string> ReadFile(const std::wstring& path) = 0;
  virtual bool IsFolder(const std::wstring& path) = 0;
  // `other` runs as another program where it could change the deletions at
  // the restart while KeepAtRestart takes one off.
  virtual void SetOtherProgram(std::function<void()> other) = 0;
  // The current folder of the program, as Windows gives it.
  virtual std::wstring CurrentFolder() = 0;
  virtual bool IsHidden(const std::wstring& path) = 0;
  // Another drive letter for the scratch area ("Q:"), on the same volume;
  // "" where the system has none that reaches it (Wine).
  virtual std::wstring ScratchThroughAnotherDrive() = 0;
  // An empty folder on another volume than the scratch area, removed when
  // this object is destroyed; "" where there is none to be had.
  virtual std::wstring OtherVolumeFolder() = 0;
};

std::unique_ptr<RegistryUnderTest> MakeFakeRegistryUnderTest();
std::unique_ptr<FileSystemUnderTest> MakeFakeFileSystemUnderTest();
std::unique_ptr<System> MakeFakeSystemUnderTest();
#ifdef _WIN32
std::unique_ptr<RegistryUnderTest> MakeWin32RegistryUnderTest();
std::unique_ptr<FileSystemUnderTest> MakeWin32FileSystemUnderTest();
std::unique_ptr<System> MakeWin32SystemUnderTest();
#endif

// The implementations this build can test: "fake", and "win32" on Windows.
std::vector<std::string> Implementations();

}  // namespace glyphary::platform::testing
