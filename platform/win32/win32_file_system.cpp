#include "platform/win32/win32_file_system.h"

#include <windows.h>
#undef CopyFile  // our methods, not the Win32 macros
#undef DeleteFile
#undef MoveFile

#include <cwchar>

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

Error RemoveTree(std::wstring_view folder) {
  auto remove = [folder](const WIN32_FIND_DATAW& entry) {
    const WideText path = Joined(folder, L"\\", entry.cFileName);
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
        (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
      return RemoveTree(path);
    }
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
      SetFileAttributesW(path.c_str(), entry.dwFileAttributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
    }
    const bool removed = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                             ? RemoveDirectoryW(path.c_str()) != 0
                             : DeleteFileW(path.c_str()) != 0;
    return removed ? Error() : LastError(path);
  };
  if (Error listed = ForEachEntry(folder, EntryVisitor(remove))) return listed;
  if (!RemoveDirectoryW(WideText(folder).c_str())) return LastError(folder);
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

Error Win32FileSystem::CopyFiles(std::wstring_view pattern, std::wstring_view destination) {
  auto [source_dir, name_pattern] = SplitLast(pattern);
  // One listing: the names that match, each followed by a NUL.
  WideText names;
  int count = 0;
  auto collect = [&](const WIN32_FIND_DATAW& entry) {
    names.Append(entry.cFileName).Append(L'\0');
    ++count;
    return Error();
  };
  if (Error error = ForEachMatch(source_dir, name_pattern, EntryVisitor(collect))) return error;
  if (count == 0) return Failure(errors::kFileNotFound, pattern);
  if (!IsFolderPath(destination)) return Failure(errors::kPathNotFound, destination);
  for (const wchar_t* name = names.c_str(); count-- > 0; name += std::wcslen(name) + 1) {
    const WideText from = Joined(source_dir, L"\\", name);
    const WideText to = Joined(destination, L"\\", name);
    // A file that cannot be written where it goes is the commoner case (a
    // scanner holding it, no right to write): name the destination.
    if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) return LastError(to);
  }
  return Error();
}

Error Win32FileSystem::CountFiles(std::wstring_view pattern, int& count) {
  auto [folder, name] = SplitLast(pattern);
  count = 0;
  auto counting = [&count](const WIN32_FIND_DATAW&) {
    ++count;
    return Error();
  };
  return ForEachMatch(folder, name, EntryVisitor(counting));
}

Error Win32FileSystem::DeleteFolder(std::wstring_view path) {
  if (!IsFolderPath(path)) return Failure(errors::kPathNotFound, path);
  return RemoveTree(FullPath(path));
}

Error Win32FileSystem::DeleteFiles(std::wstring_view pattern, int& deleted) {
  auto [folder, name] = SplitLast(pattern);
  deleted = 0;
  Error first;
  auto remove = [&](const WIN32_FIND_DATAW& entry) {
    const WideText path = Joined(folder, L"\\", entry.cFileName);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      SetFileAttributesW(path.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
    }
    if (DeleteFileW(path.c_str())) {
      ++deleted;
    } else if (!first) {
      first = LastError(path);
    }
    return Error();  // on with the others
  };
  Error listed = ForEachMatch(folder, name, EntryVisitor(remove));
  return listed ? listed : first;
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

Error Win32FileSystem::ProgramFolder(WideText& folder) {
  WideText path;
  if (Error error = ProgramFile(path)) return error;
  folder = WideText(SplitLast(path).first);
  if (folder.size() == 2 && folder.view()[1] == L':') folder.Append(L'\\');  // a drive root keeps its "\"
  return Error();
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

Error Win32FileSystem::CopyFile(std::wstring_view source, std::wstring_view destination) {
  const WideText from(source);
  const DWORD attributes = GetFileAttributesW(from.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return Failure(errors::kFileNotFound, source);  // nothing to copy: name what is missing
  }
  if (!CopyFileW(from.c_str(), WideText(destination).c_str(), FALSE)) return LastError(destination);
  return Error();
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

Error Win32FileSystem::MoveFile(std::wstring_view source, std::wstring_view destination) {
  if (!MoveFileExW(WideText(source).c_str(), WideText(destination).c_str(), MOVEFILE_REPLACE_EXISTING)) {
    return LastError(source);
  }
  return Error();
}

Error Win32FileSystem::DeleteAtRestart(std::wstring_view path) {
  if (!MoveFileExW(WideText(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return LastError(path);
  return Error();
}

namespace {

// Where Windows keeps the renames and deletions it makes when it next
// starts: pairs of texts, a source ("\??\C:\dir\file") and a destination,
// empty for a deletion. The empty destinations mean the texts cannot be read
// up to the first empty one, as a REG_MULTI_SZ usually is: the value's size
// says where they end.
constexpr wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kPendingRenames[] = L"PendingFileRenameOperations";

// The Session Manager's key, opened with `access` (not open when that is
// refused).
OwnedKey SessionKey(REGSAM access) {
  OwnedKey key;
  RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, access, key.receive());
  return key;
}

// The pending operations' texts, each ending in its NUL; empty when none.
WideText PendingRenames(const OwnedKey& key) {
  WideText texts;
  DWORD type = 0;
  DWORD size = 0;
  if (!key.valid() ||
      RegQueryValueExW(key.get(), kPendingRenames, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      type != REG_MULTI_SZ) {
    return texts;
  }
  texts.Resize(size / sizeof(wchar_t) + 1);
  size = static_cast<DWORD>(texts.size() * sizeof(wchar_t));
  if (RegQueryValueExW(key.get(), kPendingRenames, nullptr, &type,
                       reinterpret_cast<BYTE*>(texts.data()), &size) != ERROR_SUCCESS) {
    return WideText();
  }
  std::size_t length = size / sizeof(wchar_t);
  // The closing NUL of the list is not a text of its own.
  if (length > 0 && texts.c_str()[length - 1] == L'\0' &&
      (length == 1 || texts.c_str()[length - 2] == L'\0')) {
    --length;
  }
  texts.Resize(length);
  return texts;
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
  bool pending = false;
  ForEachPendingPair(PendingRenames(SessionKey(KEY_QUERY_VALUE)).view(),
                     [&](std::wstring_view source, std::wstring_view destination, std::wstring_view) {
                       pending |= DeletesPath(source, destination, full.view(), true);
                     });
  return pending;
}

Error Win32FileSystem::KeepAtRestart(std::wstring_view path, bool& kept) {
  kept = false;
  const WideText full = FullPath(path);
  const OwnedKey key = SessionKey(KEY_QUERY_VALUE | KEY_SET_VALUE);
  WideText remaining;
  bool dropped = false;
  ForEachPendingPair(PendingRenames(key).view(),
                     [&](std::wstring_view source, std::wstring_view destination, std::wstring_view pair) {
                       if (DeletesPath(source, destination, full.view())) {
                         dropped = true;
                       } else {
                         remaining.Append(pair);
                       }
                     });
  if (!dropped) return Error();
  kept = true;
  LONG status = ERROR_SUCCESS;
  if (remaining.empty()) {
    status = RegDeleteValueW(key.get(), kPendingRenames);
  } else {
    // The pairs and, from the text's own terminator, the list's closing NUL.
    status = RegSetValueExW(key.get(), kPendingRenames, 0, REG_MULTI_SZ,
                            reinterpret_cast<const BYTE*>(remaining.c_str()),
                            static_cast<DWORD>((remaining.size() + 1) * sizeof(wchar_t)));
  }
  if (status == ERROR_SUCCESS) return Error();
  return Failure(errors::NumberForSystemError(static_cast<unsigned long>(status)), path);
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

Error Win32FileSystem::CopyHeldSource(int held, std::wstring_view destination) {
  const HANDLE source = sources_[static_cast<std::size_t>(held)].get();
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(source, start, nullptr, FILE_BEGIN)) return LastError(destination);
  const WideText to(destination);
  // A read-only file in the way is replaced, as CopyFileW cannot.
  const DWORD attributes = GetFileAttributesW(to.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    SetFileAttributesW(to.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
  }
  OwnedHandle target(CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
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
