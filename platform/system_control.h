// The Windows version, process-token, restart and shell-notification
// functions the restart logic and the engine call, with their arguments as Windows takes them. Results are
// returned as Windows returns them; none of these throws.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/seam.h"

namespace glyphary::platform {

// A kernel object handle (HANDLE), pointer-sized.
using Handle = std::uintptr_t;

struct Luid {
  std::uint32_t low = 0;
  std::int32_t high = 0;
};

// The size of a TOKEN_PRIVILEGES record with one privilege: count (4), LUID
// (8), attributes (4).
constexpr std::uint32_t kTokenPrivilegesSize = 16;

class SystemControl {
 public:
  virtual ~SystemControl() = default;

  // GetVersion: bit 31 clear on the NT family.
  virtual std::uint32_t GetVersion() = 0;
  // GetCurrentProcess: the pseudo-handle of this process.
  virtual Handle GetCurrentProcess() = 0;
  // OpenProcessToken: *token receives the handle (the caller closes it).
  virtual bool OpenProcessToken(Handle process, std::uint32_t desired_access, Handle* token) = 0;
  // LookupPrivilegeValueA: `system_name` "" = the local system.
  virtual bool LookupPrivilegeValueA(std::string_view system_name, std::string_view name,
                                     Luid* luid) = 0;
  // AdjustTokenPrivileges with TOKEN_PRIVILEGES records passed as their
  // bytes: `new_state` holds `buffer_length` bytes, `previous_state` has
  // room for as many.
  virtual bool AdjustTokenPrivileges(Handle token, bool disable_all_privileges,
                                     const std::uint8_t* new_state, std::uint32_t buffer_length,
                                     std::uint8_t* previous_state,
                                     std::uint32_t* return_length) = 0;
  // CloseHandle.
  virtual bool CloseHandle(Handle handle) = 0;
  // ExitWindowsEx: asks Windows to end the session (2 = restart).
  virtual bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) = 0;
  // SHChangeNotify(SHCNE_ASSOCCHANGED): tells the shell that file types and
  // their icons changed, so that Explorer shows them without a restart.
  virtual void NotifyAssociationsChanged() = 0;
};

using SystemSeam = Seam<SystemControl>;

}  // namespace glyphary::platform
