#include "platform/win32/win32_system.h"

#include <windows.h>
#include <shlobj.h>

namespace glyphary::platform {

namespace {

// A kernel handle, closed with its owner.
class OwnedHandle {
 public:
  OwnedHandle() = default;
  ~OwnedHandle() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  HANDLE get() const { return handle_; }
  HANDLE* receive() { return &handle_; }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace

bool Win32System::IsNtFamily() {
  // Bit 31 of the version is clear on the NT family.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  return (GetVersion() & 0x80000000u) == 0;
#pragma GCC diagnostic pop
}

void Win32System::EnableShutdownPrivilege() {
  // No step is checked: one that fails leaves the next with what it left (a
  // null token, a zero identifier), and the restart is still asked for.
  OwnedHandle token;
  OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.receive());
  TOKEN_PRIVILEGES requested{};
  requested.PrivilegeCount = 1;
  LookupPrivilegeValueA("", "SeShutdownPrivilege", &requested.Privileges[0].Luid);
  requested.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  TOKEN_PRIVILEGES previous{};
  DWORD previous_length = 0;
  AdjustTokenPrivileges(token.get(), FALSE, &requested, sizeof(requested), &previous,
                        &previous_length);
  // The privilege stays enabled in the token after its handle is closed.
}

void Win32System::RequestRestart() { ExitWindowsEx(EWX_REBOOT, 0xFFFFFFFFu); }

void Win32System::NotifyAssociationsChanged() {
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
