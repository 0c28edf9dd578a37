#include "platform/win32/win32_file_system.h"

#include <windows.h>
#undef CopyFile  // the FileSystem method, not the Win32 macro

#include <vector>

#include "platform/error.h"
#include "platform/path_text.h"

namespace glyphary::platform {

namespace {

// Owns a FindFirstFileExW search handle.
class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  ~FindHandle() {
    if (valid()) FindClose(handle_);
  }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// The error of the last failed call, concerning `path`.
[[noreturn]] void ThrowLastError(const std::wstring& path) {
  throw errors::Make(errors::NumberForSystemError(GetLastError())).At(path);
}

[[noreturn]] void Throw(int number, const std::wstring& path) {
  throw errors::Make(number).At(path);
}

bool IsFolderPath(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Full path of `path`, separators doubled or mixed made single, and no
// trailing separator except at a drive root.
std::wstring FullPath(const std::wstring& path) {
  DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::wstring full(needed, L'\0');
  DWORD written = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  full.resize(written);
  while (full.size() > 3 && (full.back() == L'\\' || full.back() == L'/')) full.pop_back();
  return full;
}

bool IsDotEntry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

// Names of the entries of `folder` (files and sub-folders), as the system
// lists them; fails with the listing's error.
std::vector<WIN32_FIND_DATAW> ListFolder(const std::wstring& folder) {
  std::vector<WIN32_FIND_DATAW> entries;
  WIN32_FIND_DATAW data;
  std::wstring pattern = folder + L"\\*";
  FindHandle find(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data,
                                   FindExSearchNameMatch, nullptr, 0));
  if (!find.valid()) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return entries;
    ThrowLastError(folder);
  }
  do {
    if (!IsDotEntry(data.cFileName)) entries.push_back(data);
  } while (FindNextFileW(find.get(), &data));
  return entries;
}

void RemoveTree(const std::wstring& folder) {
  for (const WIN32_FIND_DATAW& entry : ListFolder(folder)) {
    std::wstring path = folder + L"\\" + entry.cFileName;
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
        (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
      RemoveTree(path);
      continue;
    }
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
      SetFileAttributesW(path.c_str(), entry.dwFileAttributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
    }
    bool removed = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                       ? RemoveDirectoryW(path.c_str()) != 0
                       : DeleteFileW(path.c_str()) != 0;
    if (!removed) ThrowLastError(path);
  }
  if (!RemoveDirectoryW(folder.c_str())) ThrowLastError(folder);
}

// The files (not folders) of `folder` whose long names match `pattern`,
// with the same rule on every system: the system's own matching also tries
// 8.3 short names, so "*.ico" would take "a.icon".
std::vector<std::wstring> MatchingFiles(const std::wstring& folder, const std::wstring& pattern) {
  if (!IsFolderPath(folder)) Throw(errors::kPathNotFound, folder);
  std::vector<std::wstring> matches;
  for (const WIN32_FIND_DATAW& entry : ListFolder(folder)) {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        WildcardMatch(pattern, entry.cFileName)) {
      matches.push_back(entry.cFileName);
    }
  }
  return matches;
}

}  // namespace

Folder Win32FileSystem::GetFolder(const std::wstring& path) {
  if (!IsFolderPath(path)) Throw(errors::kPathNotFound, path);
  return Folder{FullPath(path)};
}

Folder Win32FileSystem::CreateFolder(const std::wstring& path) {
  if (!CreateDirectoryW(path.c_str(), nullptr)) ThrowLastError(path);
  return Folder{FullPath(path)};
}

void Win32FileSystem::CopyFile(const std::wstring& source, const std::wstring& destination) {
  auto [source_dir, pattern] = SplitLast(source);
  if (!HasWildcard(pattern)) {
    std::wstring target = destination;
    if (!target.empty() && (target.back() == L'\\' || target.back() == L'/')) target += pattern;
    if (!CopyFileW(source.c_str(), target.c_str(), FALSE)) ThrowLastError(target);
    return;
  }

  std::vector<std::wstring> matches = MatchingFiles(source_dir, pattern);
  if (matches.empty()) Throw(errors::kFileNotFound, source);
  if (!IsFolderPath(destination)) Throw(errors::kPathNotFound, destination);
  for (const std::wstring& name : matches) {
    std::wstring from = source_dir + L"\\" + name;
    std::wstring to = destination + L"\\" + name;
    // A file that cannot be written where it goes is the commoner case (a
    // scanner holding it, no right to write): name the destination.
    if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) ThrowLastError(to);
  }
}

int Win32FileSystem::CountFiles(const std::wstring& pattern) {
  auto [folder, name] = SplitLast(pattern);
  return static_cast<int>(MatchingFiles(folder, name).size());
}

void Win32FileSystem::DeleteFolder(const std::wstring& path) {
  if (!IsFolderPath(path)) Throw(errors::kPathNotFound, path);
  RemoveTree(FullPath(path));
}

void Win32FileSystem::Pause(unsigned milliseconds) { Sleep(milliseconds); }

bool Win32FileSystem::FolderExists(const std::wstring& path) { return IsFolderPath(path); }

std::wstring Win32FileSystem::ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  while (true) {
    DWORD written = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (written == 0) ThrowLastError(L"");
    if (written < path.size()) {
      path.resize(written);
      break;
    }
    path.resize(path.size() * 2);
  }
  std::wstring folder = SplitLast(path).first;
  if (folder.size() == 2 && folder[1] == L':') folder += L'\\';  // drive root keeps its "\"
  return folder;
}

}  // namespace glyphary::platform
