// The floor of the unattended installation: a program that does the same
// job with direct Win32 calls and nothing else, then exits: is it installed
// already, which icons lie beside it, the install folder, the copies, the
// 24 key creations and 48 value writes of the twelve file types, and the
// shell told. Exit code 0 when it installed, 1 otherwise.
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "bench/win32_machine.h"
#include "engine/ti_info.h"

namespace {

void Create(const std::string& path) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, 0x3F, nullptr, &key,
                  &disposition);
  RegCloseKey(key);
}

void Set(const std::string& path, const char* name, DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, 0x3F, &key);
  RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  using glyphary::bench::Narrow;
  const std::wstring& install = glyphary::bench::kInstall;
  if (GetFileAttributesW(install.c_str()) != INVALID_FILE_ATTRIBUTES) return 0;
  wchar_t exe[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring from(exe, n);
  from = from.substr(0, from.find_last_of(L'\\')) + L"\\Icons\\";
  const std::vector<std::wstring> icons = glyphary::bench::FileNames(from + L"*.ico");
  if (icons.empty() || !CreateDirectoryW(install.c_str(), nullptr)) return 1;
  for (const std::wstring& icon : icons) {
    CopyFileW((from + icon).c_str(), (install + L"\\" + icon).c_str(), FALSE);
  }
  const DWORD eight = 8, zero = 0;
  for (const auto& row : glyphary::engine::TiInfo::FileTypes()) {
    const std::string extension = Narrow(row.Extension);
    const std::string type_id = Narrow(row.TypeId);
    const std::string default_icon = type_id + "\\DefaultIcon";
    const std::string icon = "C:\\WINDOWS\\system32\\TI-89\\" + Narrow(row.IconFile) + ",0";
    Create(extension);
    Create(default_icon);
    Set(extension, "", REG_SZ, type_id.c_str(), static_cast<DWORD>(type_id.size() + 1));
    Set(type_id, "BrowserFlags", REG_DWORD, &eight, 4);
    Set(type_id, "EditFlags", REG_DWORD, &zero, 4);
    Set(default_icon, "", REG_SZ, icon.c_str(), static_cast<DWORD>(icon.size() + 1));
  }
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  return 0;
}
