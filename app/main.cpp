// Glyphary Installer: the platform and the windows' shared state are made
// here and lent to the road the command line chooses.
#include <windows.h>

#include "app/command_roads.h"
#include "app/installer_flow.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"
#include "windows/ui.h"

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
  using namespace glyphary;
  SearchSystemFolderOnly();
  HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);

  platform::Win32FileSystem files;
  platform::Win32Registry registry;
  platform::Win32System system;
  const platform::Platform platform{files, registry, system};

  // Switches lead to the roads without the installer's windows.
  const engine::Options options = engine::ParseCommandLine(arguments != nullptr ? arguments : L"");
  if (options.action != engine::Action::kInteractive) return app::RunCommand(platform, options);
  windows::Ui ui(instance);
  return app::RunInstallerWindows(platform, ui);
}
