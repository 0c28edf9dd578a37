// A function of a Windows system DLL, loaded when the program first needs
// it rather than imported: an imported shell32 or ole32 would be loaded,
// with the many libraries they need, at every start of the program, which
// costs the windows their start-up time. Both are known DLLs, always taken
// from the system folder.
#pragma once

#include <windows.h>

namespace glyphary::platform {

// `name` in `library` as a `Function` pointer; null when either is missing.
template <class Function>
Function LibraryFunction(const wchar_t* library, const char* name) {
  HMODULE module = LoadLibraryW(library);
  FARPROC found = module != nullptr ? GetProcAddress(module, name) : nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(found));
}

}  // namespace glyphary::platform
