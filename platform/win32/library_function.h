// A function of a Windows system DLL, loaded when the program first needs
// it rather than imported: an imported shell32 or ole32 would be loaded,
// with the many libraries they need, at every start of the program, which
// costs the windows their start-up time. The DLL is named by its full path
// in System32, so that no folder the search would try first (the
// program's own, where SetDefaultDllDirectories is missing) can stand in
// for it.
#pragma once

#include <windows.h>

namespace glyphary::platform {

// `name` in the System32 DLL `library` as a `Function` pointer; null when
// either is missing.
template <class Function>
Function LibraryFunction(const wchar_t* library, const char* name) {
  wchar_t path[MAX_PATH + 64];
  const UINT length = GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  UINT at = length;
  path[at++] = L'\\';
  for (const wchar_t* c = library; *c != L'\0' && at + 1 < sizeof(path) / sizeof(path[0]); ++c) path[at++] = *c;
  path[at] = L'\0';
  HMODULE module = LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  FARPROC found = module != nullptr ? GetProcAddress(module, name) : nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(found));
}

}  // namespace glyphary::platform
