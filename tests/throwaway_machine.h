// The guard of the Windows-side tests and benchmarks that remove the
// installation (C:\WINDOWS\system32\TI-89, the file-type keys under
// HKEY_CLASSES_ROOT and the record in Apps & Features): they run only under
// Wine, in a prefix that the project's scripts made for them, so that
// running them on a real Windows machine can never remove a real
// installation.
#pragma once

#include <windows.h>

namespace glyphary::testing {

// The file that cmake/wine-run.sh and tools/wine-desktop.sh put into the
// prefixes they make.
constexpr wchar_t kThrowawayMarker[] = L"C:\\glyphary-throwaway-prefix";

constexpr char kRefusal[] =
    "refusing to run: this removes C:\\WINDOWS\\system32\\TI-89 and the TI-89 file types, "
    "so it runs only under Wine in a prefix made by the project's scripts (cmake/wine-run.sh, "
    "tools/wine-desktop.sh), which carry C:\\glyphary-throwaway-prefix";

// Whether this process runs under Wine (whose ntdll exports
// wine_get_version) in a prefix that carries the marker file.
inline bool OnThrowawayMachine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  const bool wine = ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
  return wine && GetFileAttributesW(kThrowawayMarker) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace glyphary::testing
