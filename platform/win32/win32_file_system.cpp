#include "platform/win32/win32_file_system.h"

#include <cstring>

#include <windows.h>
#undef DeleteFile  // our methods, not the Win32 macros
#undef MoveFile

#include "base/function_ref.h"
#include "base/path_text.h"
#include "platform/win32/library_function.h"
#include "platform/win32/owned_handle.h"

namespace glyphary::platform {

namespace {

// The error of the last failed call, concerning `path`.
Error LastError(std::wstring_view path) {
  Error error = errors::ForSystemError(GetLastError());
  error.At(path);
  return error;
}

Error Failure(int number, std::wstring_view path) {
  Error error = errors::Make(number);
  error.At(path);
  return error;
}

bool IsFolderPath(const wchar_t* path) {
  DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsFolderPath(std::wstring_view path) { return IsFolderPath(WideText(path).c_str()); }

// Full path of `path`, separators doubled or mixed made single, and no
// trailing separator except at a drive root.
WideText FullPath(std::wstring_view path) {
  const WideText terminated(path);
  WideText full;
  DWORD needed = GetFullPathNameW(terminated.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return terminated;
  full.Resize(needed);
  full.Resize(GetFullPathNameW(terminated.c_str(), needed, full.data(), nullptr));
  while (full.size() > 3 && (full.back() == L'\\' || full.back() == L'/')) {
    full.Resize(full.size() - 1);
  }
  return full;
}

bool IsDotEntry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

// A visitor of folder entries, borrowed for one listing: the one listing
// loop serves every caller without a copy of it for each.
using EntryVisitor = FunctionRef<Error(const WIN32_FIND_DATAW&)>;

// Calls `visit` for every entry of `folder` (files and sub-folders) as the
// system lists them, until it returns an error; fails with the listing's
// error. An empty folder lists nothing.
Error ForEachEntry(std::wstring_view folder, const EntryVisitor& visit) {
  WIN32_FIND_DATAW data;
  const WideText pattern = Joined(folder, L"\\*");
  OwnedFind find(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                   nullptr, 0));
  if (!find.valid()) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return Error();
    return LastError(folder);
  }
  do {
    if (IsDotEntry(data.cFileName)) continue;
    if (Error error = visit(data)) return error;
  } while (FindNextFileW(find.get(), &data));
  return Error();
}

// Calls `visit(entry)` for the files (not folders) of `folder` whose long
// names match `pattern`, with the same rule on every system: the system's
// own matching also tries 8.3 short names, so "*.ico" would take "a.icon".
Error ForEachMatch(std::wstring_view folder, std::wstring_view pattern,
                   const EntryVisitor& visit) {
  if (!IsFolderPath(folder)) return Failure(errors::kPathNotFound, folder);
  auto matching = [&](const WIN32_FIND_DATAW& entry) {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
        !WildcardMatch(pattern, entry.cFileName)) {
      return Error();
    }
    return visit(entry);
  };
  return ForEachEntry(folder, EntryVisitor(matching));
}

}  // namespace

Error Win32FileSystem::CreateFolder(std::wstring_view path) {
  if (!CreateDirectoryW(WideText(path).c_str(), nullptr)) return LastError(path);
  return Error();
}

Error Win32FileSystem::RemoveEmptyFolder(std::wstring_view path, bool& removed) {
  removed = false;
  if (!IsFolderPath(path)) return Failure(errors::kPathNotFound, path);
  bool empty = true;
  auto anything = [&empty](const WIN32_FIND_DATAW&) {
    empty = false;
    return Error();
  };
  if (Error error = ForEachEntry(path, EntryVisitor(anything))) return error;
  if (!empty) return Error();
  if (!RemoveDirectoryW(WideText(path).c_str())) return LastError(path);
  removed = true;
  return Error();
}

bool Win32FileSystem::FolderExists(std::wstring_view path) { return IsFolderPath(path); }

void Win32FileSystem::Pause(unsigned milliseconds) { Sleep(milliseconds); }

Error Win32FileSystem::ProgramFile(WideText& path) {
  for (DWORD room = MAX_PATH;; room *= 2) {
    path.Resize(room);
    const DWORD written = GetModuleFileNameW(nullptr, path.data(), room);
    if (written == 0) return LastError(L"");
    if (written < room) {
      path.Resize(written);
      return Error();
    }
  }
}

bool Win32FileSystem::FileExists(std::wstring_view path) {
  const DWORD attributes = GetFileAttributesW(WideText(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

Error Win32FileSystem::ListFiles(std::wstring_view pattern, FileList& list) {
  list = FileList();
  auto [folder, name] = SplitLast(pattern);
  auto add = [&list](const WIN32_FIND_DATAW& entry) {
    list.Add(entry.cFileName, (static_cast<unsigned long long>(entry.nFileSizeHigh) << 32) |
                                  entry.nFileSizeLow);
    return Error();
  };
  return ForEachMatch(folder, name, EntryVisitor(add));
}

Error Win32FileSystem::DeleteFile(std::wstring_view path) {
  const WideText file(path);
  const DWORD attributes = GetFileAttributesW(file.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Error();
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    SetFileAttributesW(file.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
  }
  if (!DeleteFileW(file.c_str())) return LastError(path);
  return Error();
}

namespace {

// MoveFileExW with `flags`. The check whether something stands at the
// destination and the move are one step in the file system: without
// MOVEFILE_REPLACE_EXISTING a file or folder there, however recent, makes the
// move fail with ERROR_ALREADY_EXISTS (ERROR_FILE_EXISTS on some file
// systems), and that error names the destination; any other names the
// source, which did not move.
Error Move(std::wstring_view source, std::wstring_view destination, DWORD flags) {
  if (MoveFileExW(WideText(source).c_str(), WideText(destination).c_str(), flags)) return Error();
  const DWORD code = GetLastError();
  Error error = errors::ForSystemError(code);
  error.At(code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS ? destination : source);
  return error;
}

}  // namespace

Error Win32FileSystem::MoveFile(std::wstring_view source, std::wstring_view destination) {
  return Move(source, destination, 0);
}

Error Win32FileSystem::MoveFileReplacing(std::wstring_view source, std::wstring_view destination) {
  return Move(source, destination, MOVEFILE_REPLACE_EXISTING);
}

Error Win32FileSystem::DeleteAtRestart(std::wstring_view path) {
  if (!MoveFileExW(WideText(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return LastError(path);
  return Error();
}

Error Win32FileSystem::MoveAtRestart(std::wstring_view source, std::wstring_view destination) {
  // Without MOVEFILE_REPLACE_EXISTING: whatever stands at `destination` when
  // Windows starts stays, and the file waits where it is.
  return Move(source, destination, MOVEFILE_DELAY_UNTIL_REBOOT);
}

Error Win32FileSystem::CreateHiddenFolder(std::wstring_view path) {
  const WideText folder(path);
  if (!CreateDirectoryW(folder.c_str(), nullptr)) return LastError(path);
  SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_HIDDEN);  // a folder that stays visible still serves
  return Error();
}

namespace {

// The volume's serial number and the file's index of `path`, which name it
// whatever path leads there; false when it cannot be opened (no access is
// asked for: any file another program holds open can be looked at).
bool FileIdentity(std::wstring_view path, BY_HANDLE_FILE_INFORMATION& info) {
  OwnedHandle file(CreateFileW(WideText(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return file.valid() && GetFileInformationByHandle(file.get(), &info);
}

}  // namespace

bool Win32FileSystem::SameFile(std::wstring_view a, std::wstring_view b) {
  BY_HANDLE_FILE_INFORMATION first{}, second{};
  return FileIdentity(a, first) && FileIdentity(b, second) &&
         (first.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}

namespace {

// Where Windows keeps the renames and deletions it makes when it next
// starts: pairs of texts, a source ("\??\C:\dir\file") and a destination,
// empty for a deletion. The empty destinations mean the texts cannot be read
// up to the first empty one, as a REG_MULTI_SZ usually is: the value's size
// says where they end.
constexpr wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kPendingRenames[] = L"PendingFileRenameOperations";

// The Session Manager's key, opened with `access`, into `key`.
LONG OpenSessionKey(REGSAM access, OwnedKey& key) {
  return RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, access, key.receive());
}

// The pending operations' texts, each ending in its NUL, into `texts`; empty
// when there are none. The list may grow between asking its size and
// reading it (another program adding to it): the size is asked again until
// it fits.
LONG ReadPendingRenames(HKEY key, WideText& texts) {
  texts = WideText();
  DWORD type = 0;
  DWORD size = 0;
  LONG status = RegQueryValueExW(key, kPendingRenames, nullptr, &type, nullptr, &size);
  while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
    texts.Resize(size / sizeof(wchar_t) + 1);
    DWORD got = static_cast<DWORD>(texts.size() * sizeof(wchar_t));
    status = RegQueryValueExW(key, kPendingRenames, nullptr, &type,
                              reinterpret_cast<BYTE*>(texts.data()), &got);
    if (status == ERROR_SUCCESS) {
      size = got;
      break;
    }
    size = got > size ? got : size + 256;
  }
  if (status == ERROR_FILE_NOT_FOUND || (status == ERROR_SUCCESS && type != REG_MULTI_SZ)) {
    texts = WideText();
    return ERROR_SUCCESS;
  }
  if (status != ERROR_SUCCESS) return status;
  std::size_t length = size / sizeof(wchar_t);
  // The closing NUL of the list is not a text of its own.
  if (length > 0 && texts.c_str()[length - 1] == L'\0' &&
      (length == 1 || texts.c_str()[length - 2] == L'\0')) {
    --length;
  }
  texts.Resize(length);
  return ERROR_SUCCESS;
}

// Calls `visit(source, destination, whole_pair)` for each pending pair.
template <class Visit>
void ForEachPendingPair(std::wstring_view texts, Visit visit) {
  auto next = [&texts](std::size_t& at) {
    const std::size_t start = at;
    while (at < texts.size() && texts[at] != L'\0') ++at;
    const std::wstring_view text(texts.data() + start, at - start);
    if (at < texts.size()) ++at;  // its NUL
    return text;
  };
  for (std::size_t at = 0; at < texts.size();) {
    const std::size_t start = at;
    const std::wstring_view source = next(at);
    const std::wstring_view destination = next(at);
    visit(source, destination, std::wstring_view(texts.data() + start, at - start));
  }
}

// Whether a pending pair deletes `path` ("\??\" before the source is the
// system's own prefix for a full path), or with `within`, anything in the
// folder `path`.
bool DeletesPath(std::wstring_view source, std::wstring_view destination, std::wstring_view path,
                 bool within = false) {
  constexpr std::wstring_view kPrefix = L"\\??\\";
  if (Head(source, kPrefix.size()) == kPrefix) {
    source = std::wstring_view(source.data() + kPrefix.size(), source.size() - kPrefix.size());
  }
  if (!destination.empty()) return false;
  if (SameName(source, path)) return true;
  return within && source.size() > path.size() && source[path.size()] == L'\\' &&
         SameName(Head(source, path.size()), path);
}

}  // namespace

bool Win32FileSystem::DeletesAtRestart(std::wstring_view path) {
  const WideText full = FullPath(path);
  OwnedKey key;
  WideText texts;
  // A list that cannot be read names nothing that this program could take off it.
  if (OpenSessionKey(KEY_QUERY_VALUE, key) != ERROR_SUCCESS ||
      ReadPendingRenames(key.get(), texts) != ERROR_SUCCESS) {
    return false;
  }
  bool pending = false;
  ForEachPendingPair(texts.view(),
                     [&](std::wstring_view source, std::wstring_view destination, std::wstring_view) {
                       pending |= DeletesPath(source, destination, full.view(), true);
                     });
  return pending;
}

Error Win32FileSystem::KeepAtRestart(std::wstring_view path, bool& kept) {
  kept = false;
  const WideText full = FullPath(path);
  auto failed = [path](LONG status) {
    Error error = errors::ForSystemError(static_cast<unsigned long>(status));
    error.At(path);
    return error;
  };
  // Read-only first: a list without the path needs no right to change it.
  OwnedKey key;
  LONG status = OpenSessionKey(KEY_QUERY_VALUE, key);
  WideText seen;
  if (status == ERROR_SUCCESS) status = ReadPendingRenames(key.get(), seen);
  if (status != ERROR_SUCCESS) return failed(status);
  auto without_path = [&full](std::wstring_view texts, WideText& remaining) {
    remaining = WideText();
    bool dropped = false;
    ForEachPendingPair(texts,
                       [&](std::wstring_view source, std::wstring_view destination, std::wstring_view pair) {
                         if (DeletesPath(source, destination, full.view())) {
                           dropped = true;
                         } else {
                           remaining.Append(pair);
                         }
                       });
    return dropped;
  };
  WideText remaining;
  if (!without_path(seen.view(), remaining)) return Error();
  status = OpenSessionKey(KEY_QUERY_VALUE | KEY_SET_VALUE, key);
  if (status != ERROR_SUCCESS) return failed(status);
  // Windows has no call that takes an entry off the list: it is read,
  // changed and written back whole, while other programs may add to it at
  // any time (through MoveFileExW, as DeleteAtRestart does). So that no
  // entry of theirs is lost, the list is read again just before the write and
  // the change made anew from it when it moved, and read again after the
  // write, in case a write of theirs based on the list before it put the
  // entry back. What stays open is the time between that last read and the
  // write, one call.
  for (int attempt = 0; attempt < 8; ++attempt) {
    if (other_program_) other_program_();
    WideText now;
    if ((status = ReadPendingRenames(key.get(), now)) != ERROR_SUCCESS) return failed(status);
    if (now.view() != seen.view()) {
      seen = std::move(now);
      if (!without_path(seen.view(), remaining)) return Error();
      continue;
    }
    if (remaining.empty()) {
      status = RegDeleteValueW(key.get(), kPendingRenames);
      if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
    } else {
      // The pairs and, from the text's own terminator, the list's closing NUL.
      status = RegSetValueExW(key.get(), kPendingRenames, 0, REG_MULTI_SZ,
                              reinterpret_cast<const BYTE*>(remaining.c_str()),
                              static_cast<DWORD>((remaining.size() + 1) * sizeof(wchar_t)));
    }
    if (status != ERROR_SUCCESS) return failed(status);
    kept = true;
    if ((status = ReadPendingRenames(key.get(), seen)) != ERROR_SUCCESS) return failed(status);
    if (!without_path(seen.view(), remaining)) return Error();
  }
  // The list changed at every look: other programs keep rewriting it.
  return Failure(errors::kPathFileAccessError, path);
}

Error Win32FileSystem::LocalAppDataFolder(WideText& folder) {
  // SHGetKnownFolderPath and the CoTaskMemFree that frees its answer.
  static const GUID kLocalAppData = {0xF1B32785, 0x6FBA, 0x4FCF,
                                     {0x9D, 0x55, 0x7B, 0x8E, 0x7F, 0x15, 0x70, 0x91}};
  using KnownFolderPath = HRESULT(WINAPI*)(const GUID*, DWORD, HANDLE, PWSTR*);
  using FreeTaskMemory = void(WINAPI*)(void*);
  const auto find = LibraryFunction<KnownFolderPath>(L"shell32.dll", "SHGetKnownFolderPath");
  const auto free = LibraryFunction<FreeTaskMemory>(L"ole32.dll", "CoTaskMemFree");
  if (find == nullptr || free == nullptr) return Failure(errors::kPathNotFound, L"%LOCALAPPDATA%");
  PWSTR path = nullptr;
  const HRESULT result = find(&kLocalAppData, 0, nullptr, &path);
  if (SUCCEEDED(result) && path != nullptr) folder = WideText(std::wstring_view(path));
  free(path);  // null is allowed
  if (FAILED(result)) {
    return Failure(errors::NumberForSystemError(static_cast<unsigned long>(HRESULT_CODE(result))),
                   L"%LOCALAPPDATA%");
  }
  while (folder.size() > 3 && folder.back() == L'\\') folder.Resize(folder.size() - 1);
  return Error();
}

bool Win32FileSystem::Wow64SystemFolder(WideText& folder) {
  // Asked for its length first: the answer is the length with the closing
  // null; a path longer than the buffer is no folder to work in.
  wchar_t path[MAX_PATH + 1] = {};
  const UINT length = GetSystemWow64DirectoryW(path, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return false;
  std::wstring_view found(path, length);
  while (found.size() > 3 && found.back() == L'\\') found.remove_suffix(1);
  folder = WideText(found);
  return true;
}

Error Win32FileSystem::HoldSource(std::wstring_view path, int& held, unsigned long long& size) {
  OwnedHandle file(CreateFileW(WideText(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.valid()) return LastError(path);
  LARGE_INTEGER length;
  if (!GetFileSizeEx(file.get(), &length)) return LastError(path);
  size = static_cast<unsigned long long>(length.QuadPart);
  sources_.Add(std::move(file));
  held = static_cast<int>(sources_.size()) - 1;
  return Error();
}

bool Win32FileSystem::HeldSourceIs(int held, std::wstring_view path) {
  const HANDLE source = sources_[static_cast<std::size_t>(held)].get();
  OwnedHandle other(CreateFileW(WideText(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  LARGE_INTEGER source_size, other_size, start{};
  if (!other.valid() || !GetFileSizeEx(source, &source_size) || !GetFileSizeEx(other.get(), &other_size) ||
      source_size.QuadPart != other_size.QuadPart || !SetFilePointerEx(source, start, nullptr, FILE_BEGIN)) {
    return false;
  }
  NarrowText ours, theirs;
  ours.Resize(64 * 1024);
  theirs.Resize(64 * 1024);
  for (;;) {
    DWORD got = 0, other_got = 0;
    if (!ReadFile(source, ours.data(), static_cast<DWORD>(ours.size()), &got, nullptr) ||
        !ReadFile(other.get(), theirs.data(), got, &other_got, nullptr) || other_got != got) {
      return false;
    }
    if (got == 0) return true;
    if (std::memcmp(ours.c_str(), theirs.c_str(), got) != 0) return false;
  }
}

Error Win32FileSystem::CopyHeldSource(int held, std::wstring_view destination, Existing existing) {
  const HANDLE source = sources_[static_cast<std::size_t>(held)].get();
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(source, start, nullptr, FILE_BEGIN)) return LastError(destination);
  const WideText to(destination);
  // A read-only file in the way is replaced, as CopyFileW cannot.
  const DWORD attributes = GetFileAttributesW(to.c_str());
  if (existing == Existing::kReplace && attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    SetFileAttributesW(to.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
  }
  // CREATE_NEW makes the test for a file there and the creation one step.
  OwnedHandle target(CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr,
                                 existing == Existing::kReplace ? CREATE_ALWAYS : CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!target.valid()) return LastError(destination);
  NarrowText buffer;
  buffer.Resize(64 * 1024);
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(source, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
      return LastError(destination);
    }
    if (got == 0) break;
    DWORD written = 0;
    if (!WriteFile(target.get(), buffer.c_str(), got, &written, nullptr) || written != got) {
      return LastError(destination);
    }
  }
  // The copy carries the source's time of last change, as CopyFileW's do.
  FILETIME changed;
  if (GetFileTime(source, nullptr, nullptr, &changed)) SetFileTime(target.get(), nullptr, nullptr, &changed);
  return Error();
}

Error Win32FileSystem::LeaveFolder(std::wstring_view folder) {
  const DWORD needed = GetCurrentDirectoryW(0, nullptr);
  if (needed == 0) return LastError(folder);
  WideText current;
  current.Resize(needed);
  current.Resize(GetCurrentDirectoryW(needed, current.data()));
  const WideText inside = FullPath(folder);
  const WideText here = FullPath(current.view());
  const bool within = SameName(here.view(), inside.view()) ||
                      (here.size() > inside.size() && here.view()[inside.size()] == L'\\' &&
                       SameName(Head(here.view(), inside.size()), inside.view()));
  if (!within) return Error();
  WideText temp;
  if (Error error = TempFolder(temp)) return error;
  if (!SetCurrentDirectoryW(temp.c_str())) return LastError(temp.view());
  return Error();
}

Error Win32FileSystem::FullPathOf(std::wstring_view path, WideText& full) {
  const WideText terminated(path);
  for (DWORD room = MAX_PATH;;) {
    full.Resize(room);
    const DWORD written = GetFullPathNameW(terminated.c_str(), room, full.data(), nullptr);
    if (written == 0) return LastError(path);
    if (written < room) {
      full.Resize(written);
      return Error();
    }
    room = written;  // the room it needs, its NUL counted
  }
}

Error Win32FileSystem::TempFolder(WideText& folder) {
  wchar_t buffer[MAX_PATH + 2] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  if (length == 0 || length > MAX_PATH + 1) return LastError(L"");
  folder = WideText(std::wstring_view(buffer, length));
  while (folder.size() > 3 && folder.back() == L'\\') folder.Resize(folder.size() - 1);
  return Error();
}

}  // namespace glyphary::platform
