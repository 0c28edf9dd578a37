// The version, token and restart functions of kernel32, advapi32 and user32.
#pragma once

#include "platform/system_control.h"

namespace glyphary::platform {

class Win32SystemControl : public SystemControl {
 public:
  std::uint32_t GetVersion() override;
  Handle GetCurrentProcess() override;
  bool OpenProcessToken(Handle process, std::uint32_t desired_access, Handle* token) override;
  bool LookupPrivilegeValueA(std::string_view system_name, std::string_view name,
                             Luid* luid) override;
  bool AdjustTokenPrivileges(Handle token, bool disable_all_privileges,
                             const std::uint8_t* new_state, std::uint32_t buffer_length,
                             std::uint8_t* previous_state, std::uint32_t* return_length) override;
  bool CloseHandle(Handle handle) override;
  bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) override;
  void NotifyAssociationsChanged() override;
};

}  // namespace glyphary::platform
