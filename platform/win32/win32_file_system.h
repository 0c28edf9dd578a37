// The file-system object on the wide-character Win32 file API, so that paths
// outside the ANSI code page (a program folder named in any script) work.
#pragma once

#include "base/function_ref.h"
#include "base/list.h"
#include "platform/win32/owned_handle.h"  // <windows.h> first: file_system.h undoes its file macros
#include "platform/file_system.h"

namespace glyphary::platform {

class Win32FileSystem : public FileSystem {
 public:
  bool FolderExists(std::wstring_view path) override;
  Error CreateFolder(std::wstring_view path) override;
  Error RemoveEmptyFolder(std::wstring_view path, bool& removed) override;
  bool FileExists(std::wstring_view path) override;
  Error ListFiles(std::wstring_view pattern, FileList& list) override;
  Error DeleteFile(std::wstring_view path) override;
  Error MoveFile(std::wstring_view source, std::wstring_view destination) override;
  Error MoveFileReplacing(std::wstring_view source, std::wstring_view destination) override;
  Error CreateHiddenFolder(std::wstring_view path) override;
  // GetFileInformationByHandle's volume serial number and file index.
  bool SameFile(std::wstring_view a, std::wstring_view b) override;
  Error DeleteAtRestart(std::wstring_view path) override;
  // MoveFileExW with MOVEFILE_DELAY_UNTIL_REBOOT, not replacing.
  Error MoveAtRestart(std::wstring_view source, std::wstring_view destination) override;
  bool DeletesAtRestart(std::wstring_view path) override;
  // Reads PendingFileRenameOperations, and writes it back without `path`
  // when it is there (see the .cpp for how other programs' changes meanwhile
  // are kept).
  Error KeepAtRestart(std::wstring_view path, bool& kept) override;
  // CreateFileW with FILE_SHARE_READ alone: no FILE_SHARE_WRITE and no
  // FILE_SHARE_DELETE, so that nobody writes, renames or deletes it.
  Error HoldSource(std::wstring_view path, int& held, unsigned long long& size) override;
  Error CopyHeldSource(int held, std::wstring_view destination, Existing existing) override;
  bool HeldSourceIs(int held, std::wstring_view path) override;
  void ReleaseSources() override { sources_.Clear(); }
  Error LeaveFolder(std::wstring_view folder) override;
  // GetFullPathNameW.
  Error FullPathOf(std::wstring_view path, WideText& full) override;
  Error TempFolder(WideText& folder) override;
  Error LocalAppDataFolder(WideText& folder) override;
  // GetSystemWow64DirectoryW; it fails on 32-bit Windows.
  bool Wow64SystemFolder(WideText& folder) override;
  Error ProgramFile(WideText& path) override;
  void Pause(unsigned milliseconds) override;

  // For tests: `other` runs where another program could change the list of
  // deletions at the restart between KeepAtRestart's reading and writing it.
  void SetOtherProgram(FunctionRef<void()> other) { other_program_ = other; }

 private:
  List<OwnedHandle> sources_;
  FunctionRef<void()> other_program_;
};

}  // namespace glyphary::platform
