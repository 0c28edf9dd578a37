#include "restart/global.h"

#include "platform/system_control.h"

namespace glyphary::restart::Global {

namespace {

void PutLittleEndian(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

std::int32_t WindowsFamilyIsNT() {
  platform::SystemControl* system = platform::SystemSeam::Find();
  return system != nullptr && (system->GetVersion() & kNotNtBit) == 0 ? 1 : 0;
}

void EnableShutdownPrivilege() {
  if (platform::SystemSeam::Find() == nullptr) return;
  platform::SystemControl& system = *platform::SystemSeam::Find();
  platform::Handle process = system.GetCurrentProcess();
  platform::Handle token = 0;
  system.OpenProcessToken(process, kTokenAdjustPrivilegesAndQuery, &token);
  platform::Luid luid;
  system.LookupPrivilegeValueA("", "SeShutdownPrivilege", &luid);

  std::uint8_t requested[platform::kTokenPrivilegesSize] = {};
  PutLittleEndian(requested + 0, 1);  // one privilege
  PutLittleEndian(requested + 4, luid.low);
  PutLittleEndian(requested + 8, static_cast<std::uint32_t>(luid.high));
  PutLittleEndian(requested + 12, kPrivilegeEnabled);
  std::uint8_t previous[platform::kTokenPrivilegesSize] = {};
  std::uint32_t previous_length = 0;
  system.AdjustTokenPrivileges(token, false, requested, platform::kTokenPrivilegesSize, previous,
                               &previous_length);
  // The privilege stays enabled in the token after its handle is closed.
  if (token != 0) system.CloseHandle(token);
}

void FinishClicked(int chk, std::int32_t IsNT) {
  if (chk != 1) return;
  if (IsNT == 1) EnableShutdownPrivilege();
  if (platform::SystemControl* system = platform::SystemSeam::Find()) {
    system->ExitWindowsEx(kRestartFlags, kRestartReserved);
  }
}

}  // namespace glyphary::restart::Global
