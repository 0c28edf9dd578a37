// Glyphary Installer: the platform and the windows' shared state are made
// here and lent to the road the command line and the run's rights choose.
#include <windows.h>

#include "app/command_roads.h"
#include "app/installer_flow.h"
#include "platform/logged.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_log.h"
#include "platform/win32/win32_registry.h"
#include "engine/product.h"
#include "platform/win32/win32_system.h"
#include "windows/ui.h"

namespace {

// An installer is often started from a downloads folder, where anyone may
// have dropped a DLL named like a system one. SetDefaultDllDirectories
// (Windows 8, and Vista and 7 with KB2533623) makes every DLL loaded after
// start-up come from System32 alone. Where it is missing, SetDllDirectoryW
// takes only the current folder out of the search: the program's own
// folder stays first in it, so the DLLs the program loads itself on demand
// are always named by their full System32 path (LibraryFunction).
void SearchSystemFolderOnly() {
  using SetDefault = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  FARPROC found = kernel != nullptr ? GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr;
  if (found == nullptr ||
      !reinterpret_cast<SetDefault>(reinterpret_cast<void*>(found))(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    SetDllDirectoryW(L"");
  }
}

// The run on `platform`, to its exit code.
int Run(HINSTANCE instance, const glyphary::platform::Platform& platform,
        const glyphary::engine::Options& options, std::wstring_view command_line) {
  using namespace glyphary;
  if (options.action == engine::Action::kUsage) return app::ShowUsage(options);

  // For every account when this run has (or gets) the rights, else for the
  // user's own account; an elevated run of the program may do it all.
  const engine::RoadChoice road = app::ChooseRoad(platform, options, command_line);
  if (road.road == engine::Road::kEnded) return road.exit_code;
  engine::UserTarget user;
  const engine::InstallTarget* target = &engine::kMachineTarget;
  if (road.road == engine::Road::kUser) {
    if (Error error = user.Find(platform.files)) return app::ReportStartFailure(error, options.silent);
    target = &user.target();
  }

  // Switches lead to the roads without the installer's windows.
  if (options.action != engine::Action::kInteractive) return app::RunCommand(platform, *target, options);
  windows::Ui ui(instance);
  return app::RunInstallerWindows(platform, *target, ui);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int) {
  using namespace glyphary;
  SearchSystemFolderOnly();  // before anything else can load a DLL
  HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);

  platform::Win32FileSystem files;
  platform::Win32Registry registry;
  platform::Win32System system;
  const std::wstring_view command_line = arguments != nullptr ? arguments : L"";
  const engine::Options options = engine::ParseCommandLine(command_line);
  if (!options.log) return Run(instance, platform::Platform{files, registry, system}, options, command_line);

  // /LOG: every change goes through the logged file system and registry.
  platform::Win32Log log(options.log_path);
  platform::LoggedFileSystem logged_files(files, log);
  platform::LoggedRegistry logged_registry(registry, log);
  log.Write(Joined(L"Glyphary Installer ", system.ProgramVersion(), L" started: ", command_line), 0);
  const int exit_code = Run(instance, platform::Platform{logged_files, logged_registry, system, &log}, options,
                            command_line);
  log.Write(L"exit code", static_cast<unsigned long>(exit_code));
  return exit_code;
}
