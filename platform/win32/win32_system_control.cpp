#include "platform/win32/win32_system_control.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>

#include "base/text.h"

namespace glyphary::platform {

namespace {

HANDLE ToHandle(Handle handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

static_assert(sizeof(TOKEN_PRIVILEGES) == kTokenPrivilegesSize,
              "one-privilege TOKEN_PRIVILEGES is 16 bytes");

std::uint32_t Win32SystemControl::GetVersion() {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  return ::GetVersion();
#pragma GCC diagnostic pop
}

Handle Win32SystemControl::GetCurrentProcess() {
  return reinterpret_cast<Handle>(::GetCurrentProcess());
}

bool Win32SystemControl::OpenProcessToken(Handle process, std::uint32_t desired_access,
                                          Handle* token) {
  HANDLE opened = nullptr;
  BOOL ok = ::OpenProcessToken(ToHandle(process), desired_access, &opened);
  if (token != nullptr) *token = reinterpret_cast<Handle>(opened);
  return ok != FALSE;
}

bool Win32SystemControl::LookupPrivilegeValueA(std::string_view system_name,
                                               std::string_view name, Luid* luid) {
  LUID found{};
  BOOL ok = ::LookupPrivilegeValueA(NarrowText(system_name).c_str(), NarrowText(name).c_str(),
                                    &found);
  if (luid != nullptr) *luid = Luid{found.LowPart, found.HighPart};
  return ok != FALSE;
}

bool Win32SystemControl::AdjustTokenPrivileges(Handle token, bool disable_all_privileges,
                                               const std::uint8_t* new_state,
                                               std::uint32_t buffer_length,
                                               std::uint8_t* previous_state,
                                               std::uint32_t* return_length) {
  TOKEN_PRIVILEGES requested{};
  TOKEN_PRIVILEGES previous{};
  std::memcpy(&requested, new_state, sizeof(requested));
  DWORD length = 0;
  BOOL ok = ::AdjustTokenPrivileges(ToHandle(token), disable_all_privileges ? TRUE : FALSE,
                                    &requested, buffer_length, &previous, &length);
  if (previous_state != nullptr) std::memcpy(previous_state, &previous, sizeof(previous));
  if (return_length != nullptr) *return_length = length;
  return ok != FALSE;
}

bool Win32SystemControl::CloseHandle(Handle handle) { return ::CloseHandle(ToHandle(handle)) != FALSE; }

bool Win32SystemControl::ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) {
  return ::ExitWindowsEx(flags, reason) != FALSE;
}

void Win32SystemControl::NotifyAssociationsChanged() {
  // shell32 is loaded here, when it is needed: imported, it would be loaded
  // with the many libraries it needs at every start of the program, which
  // costs the windows their start-up time. It is a known DLL: it always
  // comes from the system folder.
  using Notify = void(WINAPI*)(LONG, UINT, LPCVOID, LPCVOID);
  HMODULE shell = LoadLibraryW(L"shell32.dll");
  FARPROC found = shell != nullptr ? GetProcAddress(shell, "SHChangeNotify") : nullptr;
  if (found != nullptr) {
    reinterpret_cast<Notify>(reinterpret_cast<void*>(found))(SHCNE_ASSOCCHANGED, SHCNF_IDLIST,
                                                             nullptr, nullptr);
  }
}

}  // namespace glyphary::platform
