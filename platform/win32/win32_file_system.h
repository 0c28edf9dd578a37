// The file-system object on the wide-character Win32 file API, so that paths
// outside the ANSI code page (a program folder named in any script) work.
#pragma once

#include "platform/file_system.h"

namespace glyphary::platform {

class Win32FileSystem : public FileSystem {
 public:
  bool FolderExists(std::wstring_view path) override;
  Error CreateFolder(std::wstring_view path) override;
  Error CopyFiles(std::wstring_view pattern, std::wstring_view destination) override;
  Error CountFiles(std::wstring_view pattern, int& count) override;
  Error DeleteFolder(std::wstring_view path) override;
  Error DeleteFiles(std::wstring_view pattern, int& deleted) override;
  Error RemoveEmptyFolder(std::wstring_view path, bool& removed) override;
  bool FileExists(std::wstring_view path) override;
  Error ListFiles(std::wstring_view pattern, FileList& list) override;
  Error CopyFile(std::wstring_view source, std::wstring_view destination) override;
  Error DeleteFile(std::wstring_view path) override;
  Error MoveFile(std::wstring_view source, std::wstring_view destination) override;
  Error DeleteAtRestart(std::wstring_view path) override;
  bool DeletesAtRestart(std::wstring_view path) override;
  Error KeepAtRestart(std::wstring_view path, bool& kept) override;
  Error TempFolder(WideText& folder) override;
  Error LocalAppDataFolder(WideText& folder) override;
  Error ProgramFile(WideText& path) override;
  void Pause(unsigned milliseconds) override;
  Error ProgramFolder(WideText& folder) override;
};

}  // namespace glyphary::platform
