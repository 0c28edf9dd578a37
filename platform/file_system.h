// The file system as the installation and the uninstallation use it.
// Failures are returned as an Error with the scripting runtime's numbers
// people know from its error boxes: 53 File not found, 58 File already
// exists, 70 Permission denied, 76 Path not found (75 for any other file
// error), and the path concerned.
#pragma once

#include <string_view>

#ifdef DeleteFile
#undef DeleteFile  // <windows.h> maps these to their W functions; ours keep their names
#undef MoveFile
#endif

#include "base/error.h"
#include "base/name_list.h"
#include "base/text.h"

namespace glyphary::platform {

// Files listed by name, with their size in all.
struct FileList {
  NameList names;
  unsigned long long bytes = 0;

  void Add(std::wstring_view name, unsigned long long size) {
    names.Add(name);
    bytes += size;
  }
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Whether `path` is an existing folder (a file does not count).
  virtual bool FolderExists(std::wstring_view path) = 0;

  // Creates the folder `path`. 58 when a file or folder of that name exists,
  // 76 when the parent is missing, 70 when the parent cannot be written.
  [[nodiscard]] virtual Error CreateFolder(std::wstring_view path) = 0;

  // Removes the folder `path` if it is empty; `removed` says whether it was.
  // A folder with anything in it stays, and that is no failure. 76 when it
  // is missing.
  [[nodiscard]] virtual Error RemoveEmptyFolder(std::wstring_view path, bool& removed) = 0;

  // Whether `path` is an existing file (a folder does not count).
  virtual bool FileExists(std::wstring_view path) = 0;

  // The files (not folders) that `pattern` (a folder, then a name with
  // wildcards * ?) matches, case-insensitively by their long names, into
  // `list` with their size in all; sub-folders are not searched. 76 when the
  // folder is missing.
  [[nodiscard]] virtual Error ListFiles(std::wstring_view pattern, FileList& list) = 0;

  // Deletes the file `path`, a read-only one too; a missing file is no
  // failure. 70 when it is in use.
  [[nodiscard]] virtual Error DeleteFile(std::wstring_view path) = 0;

  // Moves the file `source` to `destination` on the same volume (a running
  // program's own file too; 75 across volumes), never over anything: whatever stands at
  // `destination` at the moment of the move, even one that appeared after
  // the caller looked, stays, and the move fails with 58 naming it.
  [[nodiscard]] virtual Error MoveFile(std::wstring_view source, std::wstring_view destination) = 0;

  // The same move, replacing a file at `destination` (not a folder: 70).
  [[nodiscard]] virtual Error MoveFileReplacing(std::wstring_view source,
                                                std::wstring_view destination) = 0;

  // Creates the folder `path` as CreateFolder does, hidden from Explorer's
  // usual view.
  [[nodiscard]] virtual Error CreateHiddenFolder(std::wstring_view path) = 0;

  // Whether `a` and `b` are the same existing file however each is spelt
  // (another drive letter for the same folder, as subst or a mapped path
  // gives, a short name): the volume's serial number and the file's index
  // are compared, not the text. False when either cannot be opened.
  virtual bool SameFile(std::wstring_view a, std::wstring_view b) = 0;

  // Has Windows delete the file or empty folder `path` when it next starts.
  // The list is the machine's: 70 for an account without the right to it.
  [[nodiscard]] virtual Error DeleteAtRestart(std::wstring_view path) = 0;

  // Has Windows move the file `source` to `destination` when it next starts,
  // after the deletions and moves asked for before (never over anything that
  // then stands there). 70 for an account without the right to the list.
  [[nodiscard]] virtual Error MoveAtRestart(std::wstring_view source, std::wstring_view destination) = 0;

  // Whether Windows is to delete `path`, or anything in it when it is a
  // folder, when it next starts.
  virtual bool DeletesAtRestart(std::wstring_view path) = 0;

  // Takes `path` itself off the deletions Windows makes when it next starts
  // (an installation keeping what an uninstallation had given up); `kept`
  // says whether it was among them. None is no failure; a list that cannot
  // be read, or that holds `path` and cannot be changed (70 for an account
  // without the right), is. Deletions other programs ask for meanwhile stay.
  [[nodiscard]] virtual Error KeepAtRestart(std::wstring_view path, bool& kept) = 0;

  // Opens the file `path` for reading and holds it open until
  // ReleaseSources: others may read it, but neither write it, rename it
  // nor delete it meanwhile. `held` numbers it for CopyHeldSource, and `size`
  // is its size. A file that another program has open for writing cannot
  // be held (70).
  [[nodiscard]] virtual Error HoldSource(std::wstring_view path, int& held,
                                         unsigned long long& size) = 0;

  // Copies the held file `held`, read from its open handle (not by its
  // name), to `destination`: over a file there (kReplace), or only where
  // none is (kRefuse: 58 when one is, left as it is).
  enum class Existing { kReplace, kRefuse };
  [[nodiscard]] virtual Error CopyHeldSource(int held, std::wstring_view destination, Existing existing) = 0;

  // Whether the file at `path` holds exactly the bytes of the held file
  // `held` (false when it cannot be read).
  virtual bool HeldSourceIs(int held, std::wstring_view path) = 0;

  // Closes every held file.
  virtual void ReleaseSources() = 0;

  // Makes sure that this program's current folder is neither `folder` nor
  // inside it (Windows keeps a program's current folder from being
  // removed): where it is, the temporary folder becomes the current one.
  [[nodiscard]] virtual Error LeaveFolder(std::wstring_view folder) = 0;

  // `path` made full against this program's current folder (a full path
  // stays as it is), into `full`.
  [[nodiscard]] virtual Error FullPathOf(std::wstring_view path, WideText& full) = 0;

  // The folder for temporary files, without a trailing separator.
  [[nodiscard]] virtual Error TempFolder(WideText& folder) = 0;

  // The current account's local application data folder
  // ("C:\Users\Ann\AppData\Local"), from the known-folder API.
  [[nodiscard]] virtual Error LocalAppDataFolder(WideText& folder) = 0;

  // The folder that 32-bit programs reach when they name the system folder
  // on 64-bit Windows (C:\Windows\SysWOW64: Windows redirects their
  // C:\Windows\system32 there), from GetSystemWow64DirectoryW, without a
  // trailing separator, into `folder`. False where there is none: on 32-bit
  // Windows every program sees the system folder itself.
  virtual bool Wow64SystemFolder(WideText& folder) = 0;

  // The running program's own file, into `path`.
  [[nodiscard]] virtual Error ProgramFile(WideText& path) = 0;

  // Waits `milliseconds` before an operation is tried again (another
  // program may hold a file for a moment).
  virtual void Pause(unsigned milliseconds) = 0;

};

}  // namespace glyphary::platform
