// What the Windows benchmark programs share: the install folder, a scratch
// folder of their own, and putting the machine back to before the
// installation between runs.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "engine/file_types.h"
#include "engine/product.h"
#include "tests/throwaway_machine.h"

namespace glyphary::bench {

inline const std::wstring kInstall(engine::kInstallFolder);

// ASCII text as a narrow string (the file-type table and our paths are ASCII).
inline std::string Narrow(std::wstring_view text) {
  std::string out;
  for (wchar_t c : text) out.push_back(c < 128 ? static_cast<char>(c) : '?');
  return out;
}

// A folder of this process's own in the temporary folder, created if missing:
// "%TEMP%\<stem>-<pid>".
inline std::wstring ScratchFolder(const wchar_t* stem) {
  wchar_t temp[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  std::wstring folder = std::wstring(temp, n) + stem + L"-" +
                        std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

// The names of the files (not folders) that `pattern` matches, as listed.
inline std::vector<std::wstring> FileNames(const std::wstring& pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.push_back(data.cFileName);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

// A program laid out as it ships: `exe` copied to `to`\`name`, and the
// .ico files of `icons` into `to`\Icons. False when the exe or the icons
// could not be copied.
inline bool CopyProgram(const std::wstring& exe, const std::wstring& icons, const std::wstring& to,
                        const std::wstring& name) {
  CreateDirectoryW(to.c_str(), nullptr);
  CreateDirectoryW((to + L"\\Icons").c_str(), nullptr);
  if (!CopyFileW(exe.c_str(), (to + L"\\" + name).c_str(), FALSE)) return false;
  const std::vector<std::wstring> names = FileNames(icons + L"\\*.ico");
  for (const std::wstring& icon : names) {
    CopyFileW((icons + L"\\" + icon).c_str(), (to + L"\\Icons\\" + icon).c_str(), FALSE);
  }
  return !names.empty();
}

// Deletes the files directly inside `folder` (not its sub-folders).
inline void DeleteFiles(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      DeleteFileW((folder + L"\\" + data.cFileName).c_str());
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
}

// Back to a machine without the installation: the install folder's files and
// the folder itself, the 24 top-level registry keys (each type's extension
// key and its type key, with what lies below them) and the record in Apps &
// Features. Returns whether the
// folder is gone. Refuses (false, nothing touched) outside a throwaway Wine
// prefix made by the project's scripts.
inline bool RemoveInstallation() {
  if (!glyphary::testing::OnThrowawayMachine()) return false;
  DeleteFiles(kInstall);
  RemoveDirectoryW(kInstall.c_str());
  wchar_t wow64[MAX_PATH] = {};
  const UINT wow64_length = GetSystemWow64DirectoryW(wow64, MAX_PATH);
  if (wow64_length > 0 && wow64_length < MAX_PATH) {
    const std::wstring twin = std::wstring(wow64, wow64_length) + L"\\TI-89";
    DeleteFiles(twin);
    RemoveDirectoryW(twin.c_str());
  }
  const engine::InstallTarget& target = engine::kMachineTarget;
  for (const engine::FileType& type : engine::kFileTypes) {
    for (engine::TypeKey key : {engine::TypeKey::kExtension, engine::TypeKey::kType}) {
      RegDeleteTreeW(HKEY_CLASSES_ROOT, engine::TypeKeyPath(target, type, key).c_str());
    }
  }
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, std::wstring(engine::kRecordKey).c_str());
  return GetFileAttributesW(kInstall.c_str()) == INVALID_FILE_ATTRIBUTES;
}

// Seconds on the performance counter, for timing whole runs.
inline double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Whether the record in Apps & Features is complete (has its DisplayName).
inline bool Recorded() {
  return RegGetValueW(HKEY_LOCAL_MACHINE, std::wstring(engine::kRecordKey).c_str(), L"DisplayName",
                      RRF_RT_REG_SZ, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// One timed run of `command` in `folder`, from just before CreateProcessW to
// its exit, into `seconds`: its exit code, or -1 when it did not start or
// end within `timeout_ms`.
inline long TimedRun(const std::wstring& folder, const std::wstring& command, DWORD timeout_ms,
                     double* seconds) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  std::wstring line = command;
  const double start = Now();
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                      &startup, &process)) {
    return -1;
  }
  const bool ended = WaitForSingleObject(process.hProcess, timeout_ms) == WAIT_OBJECT_0;
  *seconds = Now() - start;
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return ended ? static_cast<long>(code) : -1;
}

}  // namespace glyphary::bench
