// The state of the machine the installer changes: its folder under
// System32, its file types under HKEY_CLASSES_ROOT, its record in Apps &
// Features and the files it leaves to be deleted at the next restart; and
// the same for the current account alone (/user): the folder below the
// local application data folder, the file types below
// HKEY_CURRENT_USER\Software\Classes and the record below
// HKEY_CURRENT_USER. Read back and reset with the ordinary file and registry
// calls, in the same Wine prefix.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace glyphary::e2e {

// One of the twelve calculator file types the installer registers.
struct FileType {
  const wchar_t* extension;  // ".89m"
  const wchar_t* type_id;    // "Ivex.89m"
  const wchar_t* icon;       // "89mat.ico"
};
const std::vector<FileType>& FileTypes();

// The folder the installer creates: <System32>\TI-89.
std::wstring InstallFolder();
// What the installer writes as each type's DefaultIcon.
std::wstring DefaultIconText(const FileType& type);

// The installation's record in Apps & Features, under HKEY_LOCAL_MACHINE,
// and the sub-key with the association values the installation replaced.
constexpr wchar_t kRecordKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\GlypharyInstaller";
constexpr wchar_t kReplacedKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\GlypharyInstaller\\ReplacedValues";
// The installed program (the uninstaller Apps & Features runs).
std::wstring InstalledProgram();

// The account's local application data folder, as the known-folder API
// gives it (no trailing backslash); "" when it gives none.
std::wstring LocalAppData();

// Where an installation goes: for every account of the machine, or for the
// current account alone.
struct InstallPlace {
  std::wstring folder;        // the install folder, as the installer names it
  std::wstring made_parent;   // the folder it makes above that one ("" when none)
  HKEY classes_root;          // the file types' keys lie below this root...
  std::wstring classes_path;  // ...at this path ("" or "Software\\Classes\\")
  HKEY record_root;           // the root of kRecordKey
  std::wstring uninstall;     // the switches of the record's UninstallString
  // Where 32-bit programs find the machine-wide folder: TI-89 in the WOW64
  // system folder ("" for the account's own, which every program sees).
  std::wstring wow64_folder;

  std::wstring ClassKey(const std::wstring& key) const { return classes_path + key; }
  std::wstring Program() const { return folder + L"\\GlypharyInstaller.exe"; }
  std::wstring DefaultIcon(const FileType& type) const {
    return folder + L"\\" + type.icon + L",0";
  }
};
// C:\WINDOWS\system32\TI-89 (and its twin in SysWOW64), HKEY_CLASSES_ROOT,
// the record under HKEY_LOCAL_MACHINE.
InstallPlace MachineWide();
// <local_app_data>\Glyphary\TI-89 (the account's LocalAppData() when
// empty), HKEY_CURRENT_USER\Software\Classes, the record under
// HKEY_CURRENT_USER.
InstallPlace ForTheUser(const std::wstring& local_app_data = L"");

// Removes the install folder and its twin for 32-bit programs, the 24 top-level keys (extensions and type
// IDs, wherever HKEY_CLASSES_ROOT takes them from) and the record, both the
// machine-wide installation's and the current account's, and deletes at
// once what waits for the next restart. Returns "" on success, otherwise
// what is left.
std::wstring ResetMachine();

// "" when neither the folder (nor the folder made above it, nor its twin
// for 32-bit programs), nor any of the
// 24 keys, nor the record key of the installation at `place` exists;
// otherwise a description of what is there.
std::wstring WhatIsInstalled(const InstallPlace& place);
// The same for the machine-wide installation.
std::wstring WhatIsInstalled();

// Whether the machine counts as installed: the record with its DisplayName.
bool Recorded();

// The restart's list (PendingFileRenameOperations), text by text: pairs of
// a path and where it goes, "" for a deletion. Of those, the paths it
// deletes at the next restart, as written there ("\\??\\C:\\...").
std::vector<std::wstring> PendingTexts();
std::vector<std::wstring> PendingDeletes();

// One registry value as stored: present, its type and its raw bytes.
struct RegistryValue {
  bool present = false;
  DWORD type = REG_NONE;
  std::vector<BYTE> bytes;
};
RegistryValue ReadValue(HKEY root, const std::wstring& key, const std::wstring& name);

// Subkey and value counts of a key; both -1 when the key does not open.
struct KeyShape {
  long subkeys = -1;
  long values = -1;
};
KeyShape ShapeOf(HKEY root, const std::wstring& key);

// Gives an existing key an access list that grants nothing (`refused`: an
// empty DACL; its owner can still change it) or everything (a null DACL).
// Returns success.
bool SetKeyAccess(HKEY root, const std::wstring& key, bool refused);

// Writes one value, creating its key. Returns success.
bool WriteValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type,
                const std::vector<BYTE>& bytes);

// The bytes a REG_SZ holds for `text`, with its terminating NUL (UTF-16).
std::vector<BYTE> RegSzBytes(const std::wstring& text);
// The bytes a REG_DWORD holds for `number` (little-endian).
std::vector<BYTE> RegDwordBytes(DWORD number);

// The names of the files directly in `folder`, sorted; empty when absent.
std::vector<std::wstring> FilesIn(const std::wstring& folder);
// A file's whole content; empty when it does not open.
std::vector<char> ReadWholeFile(const std::wstring& path);

}  // namespace glyphary::e2e
