// The file-system object of the installation run, shaped after the Windows
// scripting runtime's FileSystemObject, and the program's own folder.
// Failures are returned as an Error with the scripting runtime's numbers: 53
// File not found, 58 File already exists, 70 Permission denied, 76 Path not
// found (75 for any other file error), and the path concerned.
#pragma once

#include <string_view>

#include "base/error.h"
#include "base/text.h"
#include "platform/seam.h"

// <windows.h> maps CopyFile to CopyFileW; the method keeps its plain name.
#ifdef CopyFile
#undef CopyFile
#endif

namespace glyphary::platform {

// A folder object. Used as text it stands for its full path, without a
// trailing separator (except at a drive root: "C:\").
struct Folder {
  WideText path;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // GetFolder: the existing folder at `path`, into `folder`. 76 when there is
  // none.
  virtual Error GetFolder(std::wstring_view path, Folder& folder) = 0;

  // CreateFolder: creates the folder `path`; `folder` receives it. 58 when a
  // file or folder of that name exists, 76 when the parent is missing, 70
  // when the parent cannot be written.
  virtual Error CreateFolder(std::wstring_view path, Folder& folder) = 0;

  // CopyFile: copies `source` to `destination`, overwriting existing files.
  // A `source` whose last component holds wildcards (* ?) copies every file
  // (not folder) of that folder whose name matches, case-insensitively, into
  // the folder `destination`; sub-folders are not searched. 53 when nothing
  // matches, 76 when the source or destination folder is missing.
  virtual Error CopyFile(std::wstring_view source, std::wstring_view destination) = 0;

  // The number of files (not folders) that `pattern` (a folder, then a name
  // that may hold wildcards) matches, by the rule CopyFile uses, into
  // `count`. 76 when the folder is missing.
  virtual Error CountFiles(std::wstring_view pattern, int& count) = 0;

  // DeleteFolder: removes the folder `path` with everything in it, read-only
  // files too. 70 when something in it cannot be removed (in use, no right).
  virtual Error DeleteFolder(std::wstring_view path) = 0;

  // Deletes the files (not folders) that `pattern` matches, read-only ones
  // too; `deleted` counts those deleted. 76 when the folder is missing; when
  // a file cannot be deleted the others are still tried and the first
  // failure is returned (70 for a file in use).
  virtual Error DeleteFiles(std::wstring_view pattern, int& deleted) = 0;

  // Removes the folder `path` if it is empty; `removed` says whether it was.
  // A folder with anything in it stays, and that is no failure. 76 when it
  // is missing.
  virtual Error RemoveEmptyFolder(std::wstring_view path, bool& removed) = 0;

  // FolderExists: whether `path` is an existing folder (a file does not count).
  virtual bool FolderExists(std::wstring_view path) = 0;

  // Waits `milliseconds` before an operation is tried again (another
  // program may hold a file for a moment).
  virtual void Pause(unsigned milliseconds) = 0;

  // The folder that holds the running program, without a trailing separator
  // except at a drive root ("C:\"), into `folder`.
  virtual Error ProgramFolder(WideText& folder) = 0;
};

using FileSystemSeam = Seam<FileSystem>;

}  // namespace glyphary::platform
