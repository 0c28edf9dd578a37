// Module Global: the Windows-family check, the shutdown privilege and the
// restart request behind the finish window's "Finish" button. Plain C++; the
// OS is reached through platform::SystemControl. No result is looked at and
// nothing is reported: a refused privilege or restart leaves things as they
// were and the user can press "Finish" again.
#pragma once

#include <cstdint>

namespace glyphary::restart::Global {

constexpr std::uint32_t kNotNtBit = 0x80000000u;             // bit 31 of GetVersion
constexpr std::uint32_t kTokenAdjustPrivilegesAndQuery = 0x28;  // 0x20 | 0x8
constexpr std::uint32_t kPrivilegeEnabled = 2;                // SE_PRIVILEGE_ENABLED
constexpr std::uint32_t kRestartFlags = 2;                    // EWX_REBOOT
constexpr std::uint32_t kRestartReserved = 0xFFFFFFFFu;

// 1 on the NT family of Windows (bit 31 of GetVersion clear), 0 otherwise.
std::int32_t WindowsFamilyIsNT();

// Enables SeShutdownPrivilege in this process's token: open the token with
// 0x28, look the privilege up on the local system (""), adjust with a
// one-privilege record (count 1, the LUID, attributes 2) and a record of the
// same size for the previous state. The token is closed again afterwards.
void EnableShutdownPrivilege();

// The "Finish" button: nothing unless `chk` is 1; then the privilege when
// `IsNT` is 1, and the restart request ExitWindowsEx(2, 0xFFFFFFFF).
void FinishClicked(int chk, std::int32_t IsNT);

}  // namespace glyphary::restart::Global
