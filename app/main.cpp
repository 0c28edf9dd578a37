// Glyphary Installer: starting the program means loading and showing the
// splash window; the windows take it from there.
#include <windows.h>

#include <exception>

#include "platform/win32/win32_platform.h"
#include "windows/forms/forms.h"
#include "windows/runtime/runtime.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // An installer is often started from a downloads folder: any DLL loaded
  // after start-up comes from System32 only, never from beside the exe.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
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
