// Glyphary Installer: starting the program means loading and showing the
// splash window; the windows take it from there.
#include <windows.h>

#include <cstdlib>
#include <exception>

#include "platform/win32/win32_platform.h"
#include "windows/forms/forms.h"
#include "windows/runtime/runtime.h"

// libstdc++'s default terminate handler prints the demangled type of the
// exception, which links in the demangler and printf: about a tenth of the
// exe. Nothing can reach it here (every Win32 callback catches and reports
// through the error box), so it just ends the process.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace {

// An installer is often started from a downloads folder: any DLL loaded
// after start-up comes from System32 only, never from beside the exe.
// SetDefaultDllDirectories came with Windows 8 (and an update to Windows 7
// and Vista); where it is missing, the program folder and the current folder
// are at least taken out of the search.
void SearchSystemFolderOnly() {
  using SetDefault = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  FARPROC found = kernel != nullptr ? GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr;
  if (found != nullptr) {
    reinterpret_cast<SetDefault>(reinterpret_cast<void*>(found))(LOAD_LIBRARY_SEARCH_SYSTEM32);
  } else {
    SetDllDirectoryW(L"");
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  SearchSystemFolderOnly();
  HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);

  glyphary::platform::InstallWin32Platform();
  glyphary::windows::runtime::SetInstance(instance);
  try {
    glyphary::windows::Form1.Show();
  } catch (...) {
    glyphary::windows::runtime::ReportUncaught(std::current_exception());
  }
  return glyphary::windows::runtime::Run();
}
