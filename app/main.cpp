// Glyphary Installer: starting the program means loading and showing the
// splash window; the windows take it from there.
#include <windows.h>

#include "engine/command_line.h"
#include "platform/win32/win32_platform.h"
#include "windows/forms/commands.h"
#include "windows/forms/forms.h"
#include "windows/runtime/runtime.h"

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

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int) {
  SearchSystemFolderOnly();
  HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);

  glyphary::platform::InstallWin32Platform();
  glyphary::windows::runtime::SetInstance(instance);
  // Switches lead to the roads without the installer's windows.
  const glyphary::engine::Options options =
      glyphary::engine::ParseCommandLine(arguments != nullptr ? arguments : L"");
  if (options.action != glyphary::engine::Action::kInteractive) {
    return glyphary::windows::RunCommand(options);
  }
  if (glyphary::Error error = glyphary::windows::Form1.Show()) {
    glyphary::windows::runtime::ReportError(error);
  }
  return glyphary::windows::runtime::Run();
}
