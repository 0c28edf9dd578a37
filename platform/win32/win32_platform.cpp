#include "platform/win32/win32_platform.h"

#include "platform/win32/win32_ansi_codec.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system_control.h"

namespace glyphary::platform {

void InstallWin32Platform() {
  static Win32Registry registry;
  static Win32FileSystem file_system;
  static Win32AnsiCodec ansi;
  static Win32SystemControl system;
  RegistrySeam::Install(registry);
  FileSystemSeam::Install(file_system);
  AnsiSeam::Install(ansi);
  SystemSeam::Install(system);
}

}  // namespace glyphary::platform
