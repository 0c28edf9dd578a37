// In-memory file system with the Win32 implementation's semantics, for native
// tests: drive "C:" exists, names compare case-insensitively, separators
// '\' and '/' both work and doubled separators collapse, and failures are
// the same Errors as the real implementation's. Every call is recorded, and
// every change it makes to the machine counted (CountChangesWith).
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/fake/change_counter.h"
#include "platform/file_system.h"

namespace glyphary::platform {

class FakeFileSystem : public FileSystem {
 public:
  explicit FakeFileSystem(std::wstring program_folder = L"C:\\Downloads\\Glyphary");

  bool FolderExists(std::wstring_view path) override;
  Error CreateFolder(std::wstring_view path) override;
  Error RemoveEmptyFolder(std::wstring_view path, bool& removed) override;
  bool FileExists(std::wstring_view path) override;
  Error ListFiles(std::wstring_view pattern, FileList& list) override;
  Error DeleteFile(std::wstring_view path) override;
  Error MoveFile(std::wstring_view source, std::wstring_view destination) override;
  Error MoveFileReplacing(std::wstring_view source, std::wstring_view destination) override;
  Error CreateHiddenFolder(std::wstring_view path) override;
  // The same entry, reached through any drive letter (Substitute).
  bool SameFile(std::wstring_view a, std::wstring_view b) override;
  // Recorded; the file goes at the next Restart(). 70 while the list is
  // not writable (DenyRestartList).
  Error DeleteAtRestart(std::wstring_view path) override;
  Error MoveAtRestart(std::wstring_view source, std::wstring_view destination) override;
  bool DeletesAtRestart(std::wstring_view path) override;
  Error KeepAtRestart(std::wstring_view path, bool& kept) override;
  // The file's bytes as they are now, kept for the copies.
  Error HoldSource(std::wstring_view path, int& held, unsigned long long& size) override;
  // Two changes: the destination cut short (half its bytes, as a copy
  // killed midway leaves it), then whole.
  Error CopyHeldSource(int held, std::wstring_view destination, Existing existing) override;
  bool HeldSourceIs(int held, std::wstring_view path) override;
  void ReleaseSources() override;
  // Recorded; the stand-in has no current folder.
  Error LeaveFolder(std::wstring_view folder) override;
  // Joined to the current folder (SetCurrentFolder) unless it begins with
  // a drive and "\\" or is a UNC path.
  Error FullPathOf(std::wstring_view path, WideText& full) override;
  Error TempFolder(WideText& folder) override;
  // The one SetLocalAppData gave (made when asked for).
  Error LocalAppDataFolder(WideText& folder) override;
  // The one SetWow64Folder gave; none unless set, as on 32-bit Windows.
  bool Wow64SystemFolder(WideText& folder) override;
  Error ProgramFile(WideText& path) override;
  // Waits for nothing; recorded as "Pause <ms>".
  void Pause(unsigned milliseconds) override;

  // --- Test set-up (not recorded) ---
  // Creates the folder and every missing parent.
  void AddFolder(const std::wstring& path);
  // Creates the file (and its parents) with `bytes` as its content.
  void AddFile(const std::wstring& path, const std::string& bytes);
  // Creating, copying into or deleting inside this folder fails with 70.
  void DenyWrites(const std::wstring& folder);
  // Copying a file of this name fails with 70, after the files before it
  // were copied: a copy error midway.
  void FailCopyOf(const std::wstring& file_name);
  // The program's current folder (C:\Users\Ann unless set).
  void SetCurrentFolder(std::wstring path) { current_folder_ = std::move(path); }
  // Where the program runs from (GlypharyInstaller.exe is made there, and
  // cannot be deleted while it runs).
  void SetProgramFolder(std::wstring path);
  // The account's local application data folder (C:\Users\Ann\AppData\Local
  // unless set).
  void SetLocalAppData(std::wstring path);
  // Another volume, its root `letter`:\ made: a move between volumes fails
  // (75), as MoveFileExW's does. Drive C: is the first volume.
  void AddDrive(wchar_t letter);
  // The drive letter `letter` names `folder` (made if missing), as subst or
  // a mapped path does: the same files, on the same volume.
  void Substitute(wchar_t letter, const std::wstring& folder);
  // The temporary folder (C:\Temp unless set; made when asked for).
  void SetTempFolder(std::wstring path) { temp_folder_ = std::move(path); }
  // The account may not change the deletions and moves at the restart (the
  // list is the machine's and needs administrator rights): asking for one,
  // or taking one off, fails with 70.
  void DenyRestartList() { restart_list_writable_ = false; }
  // 64-bit Windows: the folder 32-bit programs see as the system folder
  // ("C:\WINDOWS\SysWOW64"), made now; "" for none (32-bit Windows).
  void SetWow64Folder(std::wstring path);
  // The file cannot be deleted or moved (70), as while another program has
  // it open; it can still be scheduled for deletion at the restart.
  void HoldFile(const std::wstring& path);
  // The other program closes the file.
  void ReleaseFile(const std::wstring& path);
  // Windows starts again: what was scheduled for deletion or a move goes
  // or moves, in the order asked for, and held files are free.
  void Restart();
  // Counts every change from now on (none when null).
  void CountChangesWith(ChangeCounter* counter) { counter_.Watch(counter); }
  // `other` runs as another program at the start of KeepAtRestart, which
  // then acts on the list as it finds it, in one step.
  void SetOtherProgram(std::function<void()> other) { other_program_ = std::move(other); }

  // --- Inspection ---
  bool IsFolder(const std::wstring& path) const;
  bool IsFile(const std::wstring& path) const;
  bool IsHidden(const std::wstring& path) const;
  std::optional<std::string> FileBytes(const std::wstring& path) const;
  // Names of the entries directly inside `folder`, in name order.
  std::vector<std::wstring> List(const std::wstring& folder) const;
  // Every file and folder with its content, and every deletion waiting for
  // the restart, one line each: equal for two file systems that hold the
  // same, byte for byte.
  std::vector<std::wstring> Dump() const;
  // One line a call: "CreateFolder C:\WINDOWS\system32\TI-89".
  const std::vector<std::wstring>& Calls() const { return calls_; }

  // The canonical form of a path: '\' separators, doubled ones collapsed, no
  // trailing separator except at a drive root ("C:\").
  static std::wstring Normalize(const std::wstring& path);

 private:
  struct Entry {
    std::wstring path;  // canonical, as first created
    bool folder = false;
    std::string bytes;
  };

  // A deletion (no destination) or a move at the restart.
  struct Pending {
    std::wstring source;
    std::wstring destination;
  };

  const Entry* Find(const std::wstring& path) const;
  // Normalize, with a substituted drive letter replaced by its folder.
  std::wstring Canon(std::wstring_view path) const;
  // The volume of a canonical path: its drive letter, folded.
  static wchar_t VolumeOf(const std::wstring& canonical);
  // Held open: by another program (HoldFile), or by this one as a source.
  bool InUse(const std::wstring& path) const;
  std::wstring ParentOf(const std::wstring& canonical) const;
  bool WritesDenied(const std::wstring& folder) const;
  void Put(const std::wstring& canonical, bool folder, const std::string& bytes);
  Error CopyOne(const Entry& file, const std::wstring& target);
  Error Move(std::wstring_view source, std::wstring_view destination, bool replacing);
  // The files of `folder` that `pattern` matches; 76 when it is missing.
  Error Matching(const std::wstring& folder, const std::wstring& pattern,
                 std::vector<Entry>& matches) const;

  std::map<std::wstring, Entry> entries_;  // by folded canonical path
  std::set<std::wstring> denied_;          // folded canonical folder paths
  std::set<std::wstring> failing_names_;   // folded file names
  std::set<std::wstring> held_files_;      // folded file paths
  std::vector<Pending> at_restart_;        // canonical paths, in the order asked for
  std::map<wchar_t, std::wstring> substitutes_;  // folded drive letter -> canonical folder
  std::set<std::wstring> hidden_;          // folded canonical folder paths
  std::wstring temp_folder_ = L"C:\\Temp";
  bool restart_list_writable_ = true;
  std::wstring local_app_data_ = L"C:\\Users\\Ann\\AppData\\Local";
  std::wstring wow64_folder_;
  std::wstring program_folder_;
  std::wstring current_folder_ = L"C:\\Users\\Ann";
  struct Source {
    std::wstring path;  // folded canonical
    std::string bytes;
  };
  std::vector<Source> sources_;  // held by this program, by number
  std::vector<std::wstring> calls_;
  CounterLink counter_;
  std::function<void()> other_program_;
};

}  // namespace glyphary::platform
