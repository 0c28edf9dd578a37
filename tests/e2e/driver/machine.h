// The state of the machine the installer changes: its folder under
// System32 and its file types under HKEY_CLASSES_ROOT. Read back and reset
// with the ordinary file and registry calls, in the same Wine prefix.
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

// Removes the install folder and the 24 top-level keys (extensions and type
// IDs), wherever HKEY_CLASSES_ROOT takes them from. Returns "" on success,
// otherwise what is left.
std::wstring ResetMachine();

// "" when neither the folder nor any of the 24 keys exists; otherwise a
// description of what is there.
std::wstring WhatIsInstalled();

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

// The bytes a REG_SZ holds for `text`, with its terminating NUL (UTF-16).
std::vector<BYTE> RegSzBytes(const std::wstring& text);
// The bytes a REG_DWORD holds for `number` (little-endian).
std::vector<BYTE> RegDwordBytes(DWORD number);

// The names of the files directly in `folder`, sorted; empty when absent.
std::vector<std::wstring> FilesIn(const std::wstring& folder);
// A file's whole content; empty when it does not open.
std::vector<char> ReadWholeFile(const std::wstring& path);

}  // namespace glyphary::e2e
