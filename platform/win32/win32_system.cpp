#include "platform/win32/win32_system.h"

#include <windows.h>
#include <shlobj.h>

#include "base/decimal.h"

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

// The machine-wide name of the lock: in the Global namespace, so that runs
// in other sessions (a deployment's system account, another user) see it.
constexpr wchar_t kLockName[] = L"Global\\GlypharyInstaller.Installation";

}  // namespace

Win32System::~Win32System() { ReleaseInstallLock(); }

bool Win32System::TakeInstallLock() {
  if (lock_ != nullptr) return true;
  HANDLE mutex = CreateMutexW(nullptr, TRUE, kLockName);
  if (mutex == nullptr) return false;  // a name taken by another kind of object, or no right
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    // Another program made it; ours if that program is gone (abandoned).
    const DWORD waited = WaitForSingleObject(mutex, 0);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
      CloseHandle(mutex);
      return false;
    }
  }
  lock_ = mutex;
  return true;
}

void Win32System::ReleaseInstallLock() {
  if (lock_ == nullptr) return;
  ReleaseMutex(lock_);
  CloseHandle(lock_);
  lock_ = nullptr;
}

WideText Win32System::ProgramVersion() {
  // The fixed part of the version resource: VS_FIXEDFILEINFO, found by its
  // signature, without version.dll.
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));  // RT_VERSION
  HGLOBAL loaded = found != nullptr ? LoadResource(nullptr, found) : nullptr;
  const BYTE* bytes = loaded != nullptr ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
  const DWORD size = found != nullptr ? SizeofResource(nullptr, found) : 0;
  for (DWORD at = 0; bytes != nullptr && at + sizeof(VS_FIXEDFILEINFO) <= size; at += 4) {
    VS_FIXEDFILEINFO info;
    CopyMemory(&info, bytes + at, sizeof(info));
    if (info.dwSignature != 0xFEEF04BD) continue;
    WideText text;
    const DWORD parts[] = {HIWORD(info.dwProductVersionMS), LOWORD(info.dwProductVersionMS),
                           HIWORD(info.dwProductVersionLS), LOWORD(info.dwProductVersionLS)};
    for (int i = 0; i < 4; ++i) {
      if (i > 0) text.Append(L'.');
      AppendDecimal(text, parts[i]);
    }
    return text;
  }
  return WideText();  // no version resource
}

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
