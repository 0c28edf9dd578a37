// The file system and the registry with every change they make written to
// the log: the same operations, passed on to the ones given, each change
// (and each failure, a refusal to read among them) one line with its
// result. /LOG puts these between the program and the real ones.
#pragma once

#include "base/list.h"
#include "platform/file_system.h"
#include "platform/log.h"
#include "platform/registry.h"

namespace glyphary::platform {

class LoggedFileSystem : public FileSystem {
 public:
  LoggedFileSystem(FileSystem& files, Log& log) : files_(files), log_(log) {}

  bool FolderExists(std::wstring_view path) override { return files_.FolderExists(path); }
  Error CreateFolder(std::wstring_view path) override;
  Error RemoveEmptyFolder(std::wstring_view path, bool& removed) override;
  bool FileExists(std::wstring_view path) override { return files_.FileExists(path); }
  Error ListFiles(std::wstring_view pattern, FileList& list) override;
  Error DeleteFile(std::wstring_view path) override;
  Error MoveFile(std::wstring_view source, std::wstring_view destination) override;
  Error MoveFileReplacing(std::wstring_view source, std::wstring_view destination) override;
  Error CreateHiddenFolder(std::wstring_view path) override;
  bool SameFile(std::wstring_view a, std::wstring_view b) override { return files_.SameFile(a, b); }
  Error DeleteAtRestart(std::wstring_view path) override;
  Error MoveAtRestart(std::wstring_view source, std::wstring_view destination) override;
  bool DeletesAtRestart(std::wstring_view path) override { return files_.DeletesAtRestart(path); }
  Error KeepAtRestart(std::wstring_view path, bool& kept) override;
  Error HoldSource(std::wstring_view path, int& held, unsigned long long& size) override;
  Error CopyHeldSource(int held, std::wstring_view destination, Existing existing) override;
  bool HeldSourceIs(int held, std::wstring_view path) override { return files_.HeldSourceIs(held, path); }
  void ReleaseSources() override { files_.ReleaseSources(); }
  Error LeaveFolder(std::wstring_view folder) override { return files_.LeaveFolder(folder); }
  Error FullPathOf(std::wstring_view path, WideText& full) override { return files_.FullPathOf(path, full); }
  Error TempFolder(WideText& folder) override { return files_.TempFolder(folder); }
  Error LocalAppDataFolder(WideText& folder) override { return files_.LocalAppDataFolder(folder); }
  bool Wow64SystemFolder(WideText& folder) override { return files_.Wow64SystemFolder(folder); }
  Error ProgramFile(WideText& path) override { return files_.ProgramFile(path); }
  void Pause(unsigned milliseconds) override { files_.Pause(milliseconds); }

 private:
  // Writes `what` on `path` with the result; Logged passes the result on.
  void Write(std::wstring_view what, std::wstring_view path, const Error& result);
  Error Logged(std::wstring_view what, std::wstring_view path, Error result);

  FileSystem& files_;
  Log& log_;
  List<WideText> held_;  // the held sources' paths, by number
};

class LoggedRegistry : public Registry {
 public:
  LoggedRegistry(Registry& registry, Log& log) : registry_(registry), log_(log) {}

  bool KeyExists(RegistryRoot root, std::wstring_view path) override { return registry_.KeyExists(root, path); }
  Error CreateKey(RegistryRoot root, std::wstring_view path) override;
  Error SetText(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                std::wstring_view text) override;
  Error SetNumber(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                  std::uint32_t number) override;
  Error SetValue(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                 const RegistryValue& value) override;
  Error ReadValue(RegistryRoot root, std::wstring_view path, std::wstring_view name, RegistryValue& value,
                  bool& found) override;
  Error ValueNames(RegistryRoot root, std::wstring_view path, NameList& names) override;
  Error DeleteValue(RegistryRoot root, std::wstring_view path, std::wstring_view name) override;
  Error DeleteTree(RegistryRoot root, std::wstring_view path) override;
  Error DeleteKeyIfEmpty(RegistryRoot root, std::wstring_view path, bool& deleted) override;
  Error UseMachineClasses() override;

 private:
  // Logs `what` on the value `name` of the key, with the result; Logged
  // passes the result on.
  void Write(std::wstring_view what, RegistryRoot root, std::wstring_view path, std::wstring_view name,
             const Error& result);
  Error Logged(std::wstring_view what, RegistryRoot root, std::wstring_view path, std::wstring_view name,
               Error result);

  Registry& registry_;
  Log& log_;
  bool machine_classes_ = false;  // said once
};

}  // namespace glyphary::platform
