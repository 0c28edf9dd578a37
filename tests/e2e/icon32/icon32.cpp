// A 32-bit program beside the driver (built with i686-w64-mingw32): asks
// what every 32-bit program's Open and Save dialogs ask about a file, and
// prints the answers, one "name=value" line each:
//
//   e2e_icon32 <file name> <type id> [user]
//
//   wow64=1             it runs as a 32-bit program on 64-bit Windows
//   defaulticon=<text>  HKEY_CLASSES_ROOT\<type id>\DefaultIcon as this
//                       program reads it ("" when missing); with "user",
//                       the account's own, below HKEY_CURRENT_USER's
//                       Software\Classes, which Windows merges into that
//                       view and Wine does not
//   file=present        the icon file that value names, as this program
//                       sees it (GetFileAttributesW): present or missing
//   extracted=<n>       icons ExtractIconExW takes from that file (0 or 1)
//   location=<text>     the shell's icon location for <file name>
//                       (SHGetFileInfoW, SHGFI_ICONLOCATION), "path,index"
//   index=<n>           its index in the system image list (SHGFI_SYSICONINDEX)
//   txtindex=<n>        the same for a .txt file: what a file shows that has
//                       no icon of its own for this program
//
// The file need not exist: the shell is asked by name and attributes.
#include <windows.h>
#include <shellapi.h>
#include <objbase.h>

#include <cstdio>
#include <string>

namespace {

std::string Narrow(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(size > 0 ? size - 1 : 0, '\0');
  if (size > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
  return out;
}

std::wstring DefaultIcon(const std::wstring& type_id, bool user) {
  wchar_t value[MAX_PATH * 2] = {};
  DWORD size = sizeof(value);
  const std::wstring key = (user ? L"Software\\Classes\\" : L"") + type_id + L"\\DefaultIcon";
  if (RegGetValueW(user ? HKEY_CURRENT_USER : HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) !=
      ERROR_SUCCESS) {
    return L"";
  }
  return value;
}

// The system image list's index for a file of that name.
int SystemIndex(const std::wstring& name) {
  SHFILEINFOW info{};
  if (SHGetFileInfoW(name.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof(info),
                     SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX) == 0) {
    return -1;
  }
  return info.iIcon;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const bool user = argc == 4 && std::wstring(argv[3]) == L"user";
  if (argc != 3 && !user) {
    std::fprintf(stderr, "usage: e2e_icon32 <file name> <type id> [user]\n");
    return 2;
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const std::wstring name = argv[1];
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  std::printf("wow64=%d\n", wow64 ? 1 : 0);

  const std::wstring icon = DefaultIcon(argv[2], user);
  std::printf("defaulticon=%s\n", Narrow(icon).c_str());
  const std::wstring path = icon.substr(0, icon.rfind(L','));
  const bool present = !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  std::printf("file=%s\n", present ? "present" : "missing");
  HICON large = nullptr;
  const UINT extracted = path.empty() ? 0 : ExtractIconExW(path.c_str(), 0, &large, nullptr, 1);
  if (large != nullptr) DestroyIcon(large);
  std::printf("extracted=%u\n", extracted == UINT_MAX ? 0u : extracted);

  SHFILEINFOW info{};
  const bool located = SHGetFileInfoW(name.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof(info),
                                      SHGFI_USEFILEATTRIBUTES | SHGFI_ICONLOCATION) != 0;
  std::printf("location=%s,%d\n", located ? Narrow(info.szDisplayName).c_str() : "", located ? info.iIcon : 0);
  std::printf("index=%d\n", SystemIndex(name));
  std::printf("txtindex=%d\n", SystemIndex(L"readme.txt"));
  std::fflush(stdout);
  CoUninitialize();
  return 0;
}
