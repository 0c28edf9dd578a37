#include "tests/e2e/driver/machine.h"

#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "tests/throwaway_machine.h"

namespace glyphary::e2e {

namespace fs = std::filesystem;

namespace {

// HKEY_CLASSES_ROOT is a view of these two; the installer's keys may land in
// either depending on the system, so a reset clears both.
const HKEY kClassRoots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
constexpr wchar_t kClassesKey[] = L"Software\\Classes";

std::vector<std::wstring> TopLevelKeys() {
  std::vector<std::wstring> keys;
  for (const FileType& type : FileTypes()) {
    keys.push_back(type.extension);
    keys.push_back(type.type_id);
  }
  return keys;
}

// Whether the key exists; READ_CONTROL opens it for its owner even when its
// access list grants nothing.
bool KeyOpens(HKEY root, const std::wstring& key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, READ_CONTROL, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

// How descriptions name a registry root.
std::wstring RootName(HKEY root) {
  if (root == HKEY_CLASSES_ROOT) return L"HKCR\\";
  if (root == HKEY_CURRENT_USER) return L"HKCU\\";
  if (root == HKEY_LOCAL_MACHINE) return L"HKLM\\";
  return L"?\\";
}

constexpr wchar_t kSessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kPendingValue[] = L"PendingFileRenameOperations";

// Deletes now what waits for the next restart, and forgets it.
void DeletePending() {
  for (std::wstring path : PendingDeletes()) {
    if (path.rfind(L"\\??\\", 0) == 0) path.erase(0, 4);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileW(path.c_str())) RemoveDirectoryW(path.c_str());
  }
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    RegDeleteValueW(key, kPendingValue);
    RegCloseKey(key);
  }
}

}  // namespace

const std::vector<FileType>& FileTypes() {
  static const std::vector<FileType> types = {
      {L".89m", L"Ivex.89m", L"89mat.ico"},   {L".89c", L"Ivex.89c", L"89dat.ico"},
      {L".89d", L"Ivex.89d", L"89gdb.ico"},   {L".89e", L"Ivex.89e", L"89exp.ico"},
      {L".89f", L"Ivex.89f", L"89func.ico"},  {L".89p", L"Ivex.89p", L"89prog.ico"},
      {L".89s", L"Ivex.89s", L"89str.ico"},   {L".89t", L"Ivex.89t", L"89text.ico"},
      {L".89z", L"Ivex.89z", L"89asm.ico"},   {L".89g", L"Ivex.89g", L"89group.ico"},
      {L".89l", L"Ivex.89l", L"89list.ico"},  {L".89i", L"Ivex.89i", L"89pic.ico"},
  };
  return types;
}

std::wstring InstallFolder() {
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  return std::wstring(system) + L"\\TI-89";
}

std::wstring DefaultIconText(const FileType& type) { return MachineWide().DefaultIcon(type); }

std::wstring InstalledProgram() { return InstallFolder() + L"\\GlypharyInstaller.exe"; }

std::wstring LocalAppData() {
  // FOLDERID_LocalAppData, as the installer asks for it.
  static const GUID kLocalAppData = {0xF1B32785, 0x6FBA, 0x4FCF,
                                     {0x9D, 0x55, 0x7B, 0x8E, 0x7F, 0x15, 0x70, 0x91}};
  PWSTR path = nullptr;
  std::wstring folder;
  if (SUCCEEDED(SHGetKnownFolderPath(kLocalAppData, 0, nullptr, &path)) && path != nullptr) {
    folder = path;
  }
  CoTaskMemFree(path);
  while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
  return folder;
}

InstallPlace MachineWide() {
  // Named as the installer writes it (GetSystemDirectory says "windows").
  wchar_t wow64[MAX_PATH + 1] = {};
  const UINT length = GetSystemWow64DirectoryW(wow64, MAX_PATH + 1);
  return {L"C:\\WINDOWS\\system32\\TI-89", L"", HKEY_CLASSES_ROOT, L"", HKEY_LOCAL_MACHINE,
          L"/uninstall", length == 0 || length > MAX_PATH ? L"" : std::wstring(wow64, length) + L"\\TI-89"};
}

InstallPlace ForTheUser(const std::wstring& local_app_data) {
  const std::wstring base = local_app_data.empty() ? LocalAppData() : local_app_data;
  return {base + L"\\Glyphary\\TI-89", base + L"\\Glyphary", HKEY_CURRENT_USER,
          L"Software\\Classes\\", HKEY_CURRENT_USER, L"/uninstall /user", L""};
}

std::wstring ResetMachine() {
  if (!testing::OnThrowawayMachine()) return L"not reset: not a throwaway Wine prefix";
  DeletePending();
  std::error_code ignored;
  fs::remove_all(fs::path(InstallFolder()), ignored);
  if (!MachineWide().wow64_folder.empty()) fs::remove_all(fs::path(MachineWide().wow64_folder), ignored);
  // The current account's installation: its folder and the one above it
  // (ours alone), and its record.
  const std::wstring local_app_data = LocalAppData();
  if (!local_app_data.empty()) fs::remove_all(fs::path(ForTheUser(local_app_data).made_parent), ignored);
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    SetKeyAccess(root, kRecordKey, false);
    RegDeleteTreeW(root, kRecordKey);
    RegDeleteKeyW(root, kRecordKey);
  }
  for (HKEY root : kClassRoots) {
    HKEY classes = nullptr;
    if (RegOpenKeyExW(root, kClassesKey, 0, KEY_ALL_ACCESS, &classes) != ERROR_SUCCESS) continue;
    // A test may have refused all access to one of them.
    for (const std::wstring& key : TopLevelKeys()) SetKeyAccess(classes, key, false);
    for (const std::wstring& key : TopLevelKeys()) RegDeleteTreeW(classes, key.c_str());
    // RegDeleteTree leaves the key itself when it had no subkeys on some
    // systems; delete it explicitly as well.
    for (const std::wstring& key : TopLevelKeys()) RegDeleteKeyW(classes, key.c_str());
    RegCloseKey(classes);
  }
  std::wstring left = WhatIsInstalled();
  if (!local_app_data.empty()) left += WhatIsInstalled(ForTheUser(local_app_data));
  return left;
}

std::wstring WhatIsInstalled(const InstallPlace& place) {
  std::wstring found;
  std::error_code error;
  for (const std::wstring& folder : {place.folder, place.made_parent, place.wow64_folder}) {
    if (!folder.empty() && fs::exists(fs::path(folder), error)) found += L"folder " + folder + L"; ";
  }
  for (const std::wstring& key : TopLevelKeys()) {
    if (KeyOpens(place.classes_root, place.ClassKey(key))) {
      found += L"key " + RootName(place.classes_root) + place.ClassKey(key) + L"; ";
    }
  }
  if (KeyOpens(place.record_root, kRecordKey)) {
    found += L"record " + RootName(place.record_root) + kRecordKey + L"; ";
  }
  return found;
}

std::wstring WhatIsInstalled() { return WhatIsInstalled(MachineWide()); }

bool Recorded() { return ReadValue(HKEY_LOCAL_MACHINE, kRecordKey, L"DisplayName").present; }

std::vector<std::wstring> PendingTexts() {
  const std::vector<BYTE> bytes = ReadValue(HKEY_LOCAL_MACHINE, kSessionManager, kPendingValue).bytes;
  std::vector<std::wstring> strings(1);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const wchar_t c = static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8));
    if (c == 0) {
      strings.emplace_back();
    } else {
      strings.back() += c;
    }
  }
  return strings;
}

std::vector<std::wstring> PendingDeletes() {
  const std::vector<std::wstring> strings = PendingTexts();
  std::vector<std::wstring> deletes;
  for (size_t i = 0; i + 1 < strings.size(); i += 2) {
    if (!strings[i].empty() && strings[i + 1].empty()) deletes.push_back(strings[i]);
  }
  return deletes;
}

RegistryValue ReadValue(HKEY root, const std::wstring& key, const std::wstring& name) {
  RegistryValue value;
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return value;
  DWORD type = REG_NONE;
  DWORD size = 0;
  if (RegQueryValueExW(opened, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
    value.bytes.resize(size);
    if (RegQueryValueExW(opened, name.c_str(), nullptr, &type, value.bytes.data(), &size) ==
        ERROR_SUCCESS) {
      value.present = true;
      value.type = type;
      value.bytes.resize(size);
    }
  }
  RegCloseKey(opened);
  return value;
}

KeyShape ShapeOf(HKEY root, const std::wstring& key) {
  KeyShape shape;
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return shape;
  DWORD subkeys = 0;
  DWORD values = 0;
  if (RegQueryInfoKeyW(opened, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                       nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
    shape.subkeys = static_cast<long>(subkeys);
    shape.values = static_cast<long>(values);
  }
  RegCloseKey(opened);
  return shape;
}

bool SetKeyAccess(HKEY root, const std::wstring& key, bool refused) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, WRITE_DAC, &opened) != ERROR_SUCCESS) return false;
  ACL empty{};
  InitializeAcl(&empty, sizeof(empty), ACL_REVISION);
  SECURITY_DESCRIPTOR security{};
  InitializeSecurityDescriptor(&security, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&security, TRUE, refused ? &empty : nullptr, FALSE);
  const bool set = RegSetKeySecurity(opened, DACL_SECURITY_INFORMATION, &security) == ERROR_SUCCESS;
  RegCloseKey(opened);
  return set;
}

bool WriteValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type,
                const std::vector<BYTE>& bytes) {
  HKEY opened = nullptr;
  if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const bool written = RegSetValueExW(opened, name.c_str(), 0, type, bytes.data(),
                                      static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
  RegCloseKey(opened);
  return written;
}

std::vector<BYTE> RegSzBytes(const std::wstring& text) {
  std::vector<BYTE> bytes;
  for (wchar_t c : text) {
    bytes.push_back(static_cast<BYTE>(c & 0xFF));
    bytes.push_back(static_cast<BYTE>((c >> 8) & 0xFF));
  }
  bytes.push_back(0);
  bytes.push_back(0);
  return bytes;
}

std::vector<BYTE> RegDwordBytes(DWORD number) {
  return {static_cast<BYTE>(number), static_cast<BYTE>(number >> 8),
          static_cast<BYTE>(number >> 16), static_cast<BYTE>(number >> 24)};
}

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  std::error_code error;
  for (fs::directory_iterator it(fs::path(folder), error), end; !error && it != end;
       it.increment(error)) {
    names.push_back(it->path().filename().wstring());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<char> ReadWholeFile(const std::wstring& path) {
  std::ifstream in(fs::path(path), std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace glyphary::e2e
