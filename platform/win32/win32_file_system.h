// The file-system object on the wide-character Win32 file API, so that paths
// outside the ANSI code page (a program folder named in any script) work.
#pragma once

#include "platform/file_system.h"

namespace glyphary::platform {

class Win32FileSystem : public FileSystem {
 public:
  Folder GetFolder(const std::wstring& path) override;
  Folder CreateFolder(const std::wstring& path) override;
  void CopyFile(const std::wstring& source, const std::wstring& destination) override;
  int CountFiles(const std::wstring& pattern) override;
  void DeleteFolder(const std::wstring& path) override;
  bool FolderExists(const std::wstring& path) override;
  void Pause(unsigned milliseconds) override;
  std::wstring ProgramFolder() override;
};

}  // namespace glyphary::platform
