// The installation's job made with direct Win32 calls and nothing else: the
// floor the Wine benchmarks hold the installer to. On a clean machine it
// makes the calls the installer's own run makes, each in its plainest form:
// the installation lock (a named mutex), the look for a complete record,
// the system folder, the icons listed beside the program, the install
// folder, each icon and the program copied after a look whether it is there,
// for each file type its keys (each after a look which levels are missing)
// and its values (each read first, then written with RegOpenKeyExA and
// RegSetValueExA), the record under HKEY_LOCAL_MACHINE the same way with
// DisplayName last, the shell told, the lock released.
//
// The file types, their keys and their values come from the engine's
// tables; the record's value names are the ones Apps & Features reads. The
// Wine engine benchmark checks every floor run against the installer's own
// result, so that the two cannot drift apart unnoticed.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "bench/win32_machine.h"
#include "engine/file_types.h"
#include "engine/product.h"

namespace glyphary::bench {

// The access the installer creates and opens keys with for writing:
// KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY |
// KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY | KEY_CREATE_LINK.
constexpr REGSAM kDirectWriteAccess = 0x3F;

// The machine-wide name of the installation lock.
constexpr wchar_t kDirectLockName[] = L"Global\\GlypharyInstaller.Installation";

// A key to make: the levels of its path from the top (to find the first
// missing one), and its path in ANSI for RegCreateKeyExA.
struct DirectKey {
  HKEY root;
  std::vector<std::wstring> levels;  // "Ivex.89m", "Ivex.89m\DefaultIcon"
  std::string path;
};

// A value to write: its key and name as read (wide) and as written (ANSI),
// its type and its bytes.
struct DirectValue {
  HKEY root;
  std::wstring wide_path, wide_name;
  std::string path, name;
  DWORD type;
  std::vector<BYTE> bytes;
};

// Everything the job needs that does not depend on what it finds: the file
// types' keys and values in the installer's order, the record's key and its
// fixed values.
struct DirectPlan {
  struct Type {
    std::vector<DirectKey> keys;
    std::vector<DirectValue> values;
  };
  std::wstring system_folder, install_folder;
  std::vector<Type> types;
  DirectKey record_key;
  std::wstring record_path;
};

inline std::vector<BYTE> TextBytes(const std::string& text) {
  std::vector<BYTE> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

inline std::vector<BYTE> NumberBytes(DWORD number) {
  return {static_cast<BYTE>(number), static_cast<BYTE>(number >> 8),
          static_cast<BYTE>(number >> 16), static_cast<BYTE>(number >> 24)};
}

inline DirectKey MakeDirectKey(HKEY root, const std::wstring& path) {
  DirectKey key{root, {}, Narrow(path)};
  for (size_t end = 0; end <= path.size(); ++end) {
    if (end == path.size() || path[end] == L'\\') key.levels.push_back(path.substr(0, end));
  }
  return key;
}

inline DirectValue MakeDirectValue(HKEY root, const std::wstring& path, const std::wstring& name,
                                   DWORD type, std::vector<BYTE> bytes) {
  return DirectValue{root, path, name, Narrow(path), Narrow(name), type, std::move(bytes)};
}

inline DirectPlan MakeDirectPlan() {
  const engine::InstallTarget& target = engine::kMachineTarget;
  DirectPlan plan;
  plan.system_folder = std::wstring(engine::kSystemFolder);
  plan.install_folder = std::wstring(target.folder);
  for (const engine::FileType& type : engine::kFileTypes) {
    DirectPlan::Type& made = plan.types.emplace_back();
    for (engine::TypeKey key : engine::kTypeKeysMade) {
      made.keys.push_back(MakeDirectKey(
          HKEY_CLASSES_ROOT, std::wstring(engine::TypeKeyPath(target, type, key).view())));
    }
    for (const engine::TypeValue& value : engine::kTypeValues) {
      const std::wstring path(engine::TypeKeyPath(target, type, value.key).view());
      made.values.push_back(
          value.data == engine::ValueData::kNumber
              ? MakeDirectValue(HKEY_CLASSES_ROOT, path, std::wstring(value.name), REG_DWORD,
                                NumberBytes(value.number))
              : MakeDirectValue(HKEY_CLASSES_ROOT, path, std::wstring(value.name), REG_SZ,
                                TextBytes(Narrow(engine::TypeValueText(target, type, value)))));
    }
  }
  plan.record_path = std::wstring(engine::kRecordKey);
  plan.record_key = MakeDirectKey(HKEY_LOCAL_MACHINE, plan.record_path);
  return plan;
}

// Makes the key, after looking which of its levels are missing (those the
// creation makes, for undoing them after a failure).
inline void DirectCreateKey(const DirectKey& key) {
  for (const std::wstring& level : key.levels) {
    HKEY open = nullptr;
    if (RegOpenKeyExW(key.root, level.c_str(), 0, KEY_QUERY_VALUE, &open) != ERROR_SUCCESS) break;
    RegCloseKey(open);
  }
  HKEY made = nullptr;
  DWORD disposition = 0;
  RegCreateKeyExA(key.root, key.path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                  kDirectWriteAccess, nullptr, &made, &disposition);
  RegCloseKey(made);
}

// Reads what the value holds now; false when it is not there.
inline bool DirectReadValue(HKEY root, const std::wstring& path, const std::wstring& name,
                            DWORD* type, std::vector<BYTE>* bytes) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  DWORD size = 0;
  bool found = RegQueryValueExW(key, name.c_str(), nullptr, type, nullptr, &size) == ERROR_SUCCESS;
  if (found) {
    bytes->resize(size);
    found = RegQueryValueExW(key, name.c_str(), nullptr, type, bytes->data(), &size) ==
            ERROR_SUCCESS;
  }
  RegCloseKey(key);
  return found;
}

inline void DirectSetValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
                           const BYTE* data, DWORD size) {
  HKEY key = nullptr;
  RegOpenKeyExA(root, path.c_str(), 0, kDirectWriteAccess, &key);
  RegSetValueExA(key, name.c_str(), 0, type, data, size);
  RegCloseKey(key);
}

// A value written after reading what it held; what it held, when that was
// something else, is kept for the record.
struct DirectReplaced {
  std::string name;  // "<key>|<name>"
  DWORD type;
  std::vector<BYTE> bytes;
};

// A value as read with the wide functions, in the form the ANSI functions
// write it: text converted and ended by one NUL, anything else as it is.
inline std::vector<BYTE> WrittenForm(DWORD type, const std::vector<BYTE>& bytes) {
  if (type != REG_SZ) return bytes;
  std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
  CopyMemory(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return TextBytes(Narrow(text));
}

inline void DirectWriteValue(const DirectValue& value, std::vector<DirectReplaced>* replaced) {
  DWORD type = 0;
  std::vector<BYTE> before;
  if (DirectReadValue(value.root, value.wide_path, value.wide_name, &type, &before) &&
      replaced != nullptr) {
    before = WrittenForm(type, before);
    // Something else than ours, and of a kind that can be put back.
    if ((type == REG_SZ || type == REG_DWORD) && (type != value.type || before != value.bytes)) {
      replaced->push_back({value.path + "|" + value.name, type, before});
    }
  }
  DirectSetValue(value.root, value.path, value.name, value.type, value.bytes.data(),
                 static_cast<DWORD>(value.bytes.size()));
}

// The version of this program, from the fixed part of its version resource;
// empty without one.
inline std::string DirectProgramVersion() {
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));  // RT_VERSION
  HGLOBAL loaded = found != nullptr ? LoadResource(nullptr, found) : nullptr;
  const BYTE* bytes = loaded != nullptr ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
  const DWORD size = found != nullptr ? SizeofResource(nullptr, found) : 0;
  for (DWORD at = 0; bytes != nullptr && at + sizeof(VS_FIXEDFILEINFO) <= size; at += 4) {
    VS_FIXEDFILEINFO info;
    CopyMemory(&info, bytes + at, sizeof(info));
    if (info.dwSignature != 0xFEEF04BD) continue;
    return std::to_string(HIWORD(info.dwProductVersionMS)) + "." +
           std::to_string(LOWORD(info.dwProductVersionMS)) + "." +
           std::to_string(HIWORD(info.dwProductVersionLS)) + "." +
           std::to_string(LOWORD(info.dwProductVersionLS));
  }
  return std::string();
}

// Copies `from` to `to` after a look whether it is there.
inline bool DirectCopy(const std::wstring& from, const std::wstring& to) {
  (void)GetFileAttributesW(to.c_str());
  return CopyFileW(from.c_str(), to.c_str(), FALSE) != 0;
}

// The job, for the program `program` (its folder holds Icons\). False when
// it could not install (the lock held elsewhere, no icons, a copy failed);
// true when it installed or found a complete record.
inline bool InstallDirectly(const DirectPlan& plan, const std::wstring& program) {
  HANDLE lock = CreateMutexW(nullptr, TRUE, kDirectLockName);
  if (lock == nullptr) return false;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    const DWORD waited = WaitForSingleObject(lock, 0);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
      CloseHandle(lock);
      return false;
    }
  }
  struct Release {
    HANDLE lock;
    ~Release() {
      ReleaseMutex(lock);
      CloseHandle(lock);
    }
  } release{lock};

  // Installed already: a complete record.
  DWORD type = 0;
  std::vector<BYTE> bytes;
  if (DirectReadValue(HKEY_LOCAL_MACHINE, plan.record_path, L"DisplayName", &type, &bytes)) {
    return true;
  }
  if (GetFileAttributesW(plan.system_folder.c_str()) == INVALID_FILE_ATTRIBUTES) return false;

  // The icons, listed before anything is made.
  const std::wstring program_folder = program.substr(0, program.find_last_of(L'\\'));
  const std::wstring icons_folder = program_folder + L"\\" + std::wstring(engine::kIconsFolderName);
  std::vector<std::wstring> icons;
  unsigned long long size = 0;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((icons_folder + L"\\" + std::wstring(engine::kIconPattern)).c_str(),
                               &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  do {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    icons.push_back(data.cFileName);
    size += (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  } while (FindNextFileW(find, &data));
  FindClose(find);
  if (icons.empty()) return false;

  // The folder and the files: the icons, then the program as the
  // uninstaller.
  const std::wstring& install = plan.install_folder;
  if (GetFileAttributesW(install.c_str()) == INVALID_FILE_ATTRIBUTES &&
      !CreateDirectoryW(install.c_str(), nullptr)) {
    return false;
  }
  // A look at each of the 36 keys, which stay after an uninstallation where
  // they were there before.
  for (int key = 0; key < engine::kKeyCount; ++key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, engine::KeyAt(engine::kMachineTarget, key).c_str(), 0, KEY_READ,
                      &opened) == ERROR_SUCCESS) {
      RegCloseKey(opened);
    }
  }
  // One look at what Windows is to delete when it next starts (nothing, in
  // these runs): an installation keeps what an uninstallation gave up.
  {
    HKEY session = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0,
                      KEY_QUERY_VALUE, &session) == ERROR_SUCCESS) {
      DWORD pending_type = 0;
      DWORD pending_size = 0;
      RegQueryValueExW(session, L"PendingFileRenameOperations", nullptr, &pending_type, nullptr,
                       &pending_size);
      RegCloseKey(session);
    }
  }
  std::string files;
  for (const std::wstring& icon : icons) {
    if (!DirectCopy(icons_folder + L"\\" + icon, install + L"\\" + icon)) return false;
    files += Narrow(icon) + "|";
  }
  // The same icons where 32-bit programs look, on 64-bit Windows.
  wchar_t wow64[MAX_PATH] = {};
  const UINT wow64_length = GetSystemWow64DirectoryW(wow64, MAX_PATH);
  std::string twin_files;
  if (wow64_length > 0 && wow64_length < MAX_PATH) {
    const std::wstring twin = std::wstring(wow64, wow64_length) + L"\\TI-89";
    if (GetFileAttributesW(twin.c_str()) == INVALID_FILE_ATTRIBUTES && !CreateDirectoryW(twin.c_str(), nullptr)) {
      return false;
    }
    for (const std::wstring& icon : icons) {
      if (!DirectCopy(icons_folder + L"\\" + icon, twin + L"\\" + icon)) return false;
      twin_files += (twin_files.empty() ? "" : "|") + Narrow(icon);
    }
  }
  find = FindFirstFileW(program.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  size += (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  FindClose(find);
  const std::wstring exe_name(engine::kExeName);
  const std::wstring uninstaller = install + L"\\" + exe_name;
  if (!DirectCopy(program, uninstaller)) return false;
  files += Narrow(exe_name);

  // The file types: for each its keys, then its values.
  std::vector<DirectReplaced> replaced;
  for (const DirectPlan::Type& made : plan.types) {
    for (const DirectKey& key : made.keys) DirectCreateKey(key);
    for (const DirectValue& value : made.values) DirectWriteValue(value, &replaced);
  }

  // The record, DisplayName last.
  DirectCreateKey(plan.record_key);
  const std::string quoted = "\"" + Narrow(uninstaller) + "\" /uninstall";
  const DirectValue entries[] = {
      MakeDirectValue(HKEY_LOCAL_MACHINE, plan.record_path, L"DisplayVersion", REG_SZ,
                      TextBytes(DirectProgramVersion())),
      MakeDirectValue(HKEY_LOCAL_MACHINE, plan.record_path, L"Publisher", REG_SZ,
                      TextBytes(Narrow(engine::kPublisher))),
      MakeDirectValue(HKEY_LOCAL_MACHINE, plan.record_path, L"DisplayIcon", REG_SZ,
                      TextBytes(Narrow(uninstaller) + ",0")),
      MakeDirectValue(HKEY_LOCAL_MACHINE, plan.record_path, L"InstallLocation", REG_SZ,
                      TextBytes(Narrow(install))),
      MakeDirectValue(HKEY_LOCAL_MACHINE, plan.record_path, L"EstimatedSize", REG_DWORD,
                      NumberBytes(static_cast<DWORD>((size + 1023) / 1024))),
      MakeDirectValue(HKEY_LOCAL_MACHINE, plan.record_path, L"NoModify", REG_DWORD, NumberBytes(1)),
      MakeDirectValue(HKEY_LOCAL_MACHINE, plan.record_path, L"NoRepair", REG_DWORD, NumberBytes(1)),
      MakeDirectValue(HKEY_LOCAL_MACHINE, plan.record_path, L"UninstallString", REG_SZ,
                      TextBytes(quoted)),
      MakeDirectValue(HKEY_LOCAL_MACHINE, plan.record_path, L"QuietUninstallString", REG_SZ,
                      TextBytes(quoted + " /S")),
      MakeDirectValue(HKEY_LOCAL_MACHINE, plan.record_path, L"InstalledFiles", REG_SZ,
                      TextBytes(files)),
  };
  for (const DirectValue& entry : entries) DirectWriteValue(entry, nullptr);
  if (!twin_files.empty()) {
    DirectWriteValue(MakeDirectValue(HKEY_LOCAL_MACHINE, plan.record_path, L"InstalledFilesWow64", REG_SZ,
                                     TextBytes(twin_files)),
                     nullptr);
  }
  if (!replaced.empty()) {
    const std::wstring replaced_path = plan.record_path + L"\\ReplacedValues";
    DirectCreateKey(MakeDirectKey(HKEY_LOCAL_MACHINE, replaced_path));
    for (const DirectReplaced& old : replaced) {
      DirectWriteValue(MakeDirectValue(HKEY_LOCAL_MACHINE, replaced_path,
                                       std::wstring(old.name.begin(), old.name.end()), old.type,
                                       old.bytes),
                       nullptr);
    }
  }
  DirectWriteValue(MakeDirectValue(HKEY_LOCAL_MACHINE, plan.record_path, L"DisplayName", REG_SZ,
                                   TextBytes(Narrow(engine::kProductName))),
                   nullptr);

  // Explorer shows the new icons at once.
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  return true;
}

}  // namespace glyphary::bench
