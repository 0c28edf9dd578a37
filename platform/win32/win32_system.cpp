#include "platform/win32/win32_system.h"

#include <windows.h>
#include <shellapi.h>
#include <sddl.h>
#include <shlobj.h>

#include "base/decimal.h"
#include "platform/win32/library_function.h"
#include "platform/win32/owned_handle.h"

namespace glyphary::platform {

namespace {

using EnumRelated = UINT(WINAPI*)(LPCWSTR, DWORD, DWORD, LPWSTR);
using QueryState = INT(WINAPI*)(LPCWSTR);

}  // namespace

// The body of StartPackageQuery's thread: msi.dll loaded and asked once, so
// that the asks that decide, later, find Windows Installer ready.
struct PackageQueryThread {
  static DWORD WINAPI Run(LPVOID context) {
    Win32System& system = *static_cast<Win32System*>(context);
    system.LoadWindowsInstaller();
    if (system.enum_related_ != nullptr) {
      wchar_t product[39] = {};
      (void)reinterpret_cast<EnumRelated>(system.enum_related_)(system.query_code_.c_str(), 0, 0, product);
    }
    return 0;
  }
};

Win32System::~Win32System() {
  FinishPackageQuery();
  ReleaseInstallLock();
}

void Win32System::LoadWindowsInstaller() {
  if (msi_looked_for_) return;
  msi_looked_for_ = true;
  enum_related_ = reinterpret_cast<void (*)()>(LibraryFunction<EnumRelated>(L"msi.dll", "MsiEnumRelatedProductsW"));
  query_state_ = reinterpret_cast<void (*)()>(LibraryFunction<QueryState>(L"msi.dll", "MsiQueryProductStateW"));
}

void Win32System::StartPackageQuery(std::wstring_view upgrade_code) {
  if (query_thread_ != nullptr || msi_looked_for_) return;  // started, or asked already
  query_code_ = WideText(upgrade_code);
  // Without a thread the questions load msi.dll themselves, as they would
  // without a start.
  query_thread_ = CreateThread(nullptr, 0, &PackageQueryThread::Run, this, 0, nullptr);
}

void Win32System::FinishPackageQuery() {
  if (query_thread_ == nullptr) return;
  WaitForSingleObject(query_thread_, INFINITE);
  CloseHandle(query_thread_);
  query_thread_ = nullptr;
}

bool Win32System::InstalledPackage(std::wstring_view upgrade_code, WideText& product_code) {
  FinishPackageQuery();
  LoadWindowsInstaller();
  const auto related = reinterpret_cast<EnumRelated>(enum_related_);
  if (related == nullptr) return false;  // no Windows Installer: no package
  const WideText code(upgrade_code);
  wchar_t product[39] = {};  // a GUID in braces and its NUL
  // A related product may be listed and no longer installed: each is asked.
  for (DWORD index = 0; related(code.c_str(), 0, index, product) == ERROR_SUCCESS; ++index) {
    if (ProductInstalled(product)) {
      product_code = WideText(std::wstring_view(product));
      return true;
    }
  }
  return false;
}

bool Win32System::ProductInstalled(std::wstring_view product_code) {
  constexpr INT kInstalled = 5;  // INSTALLSTATE_DEFAULT
  FinishPackageQuery();
  LoadWindowsInstaller();
  const auto state = reinterpret_cast<QueryState>(query_state_);
  return state != nullptr && state(WideText(product_code).c_str()) == kInstalled;
}

namespace {

// Whether the named mutex exists: it opens, or it is there and this
// account may not open it (any failure but "not found" counts as there).
bool MutexThere(const wchar_t* name) {
  OwnedHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, name));
  return mutex.valid() || GetLastError() != ERROR_FILE_NOT_FOUND;
}

}  // namespace

bool Win32System::WindowsInstallerRunning() { return MutexThere(L"Global\\_MSIExecute"); }

bool Win32System::InstallLockTaken() { return lock_ != nullptr || MutexThere(kInstallLockName); }

bool Win32System::ProcessRunning(std::uint32_t id, std::uint64_t started) {
  OwnedHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
  if (!process.valid()) return GetLastError() == ERROR_ACCESS_DENIED;  // there, and not ours to ask
  FILETIME created, exited, kernel, user;
  DWORD code = 0;
  if (!GetProcessTimes(process.get(), &created, &exited, &kernel, &user) ||
      !GetExitCodeProcess(process.get(), &code)) {
    return true;  // there; what cannot be asked is taken to run
  }
  const std::uint64_t start = (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
  return start == started && code == STILL_ACTIVE;
}

bool Win32System::TakeInstallLock() {
  if (lock_ != nullptr) return true;
  // Every account may open the lock to wait for it and release it, so that
  // runs as SYSTEM (a deployment), as an administrator and as a user (the
  // package's immediate check, a /user run) all see one another's; only the
  // system and administrators may change its access list.
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;0x00100001;;;WD)(A;;GA;;;SY)(A;;GA;;;BA)",
                                                            SDDL_REVISION_1, &descriptor, nullptr)) {
    return false;
  }
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
  HANDLE mutex = CreateMutexExW(&attributes, kInstallLockName, CREATE_MUTEX_INITIAL_OWNER,
                                SYNCHRONIZE | MUTEX_MODIFY_STATE);
  const DWORD created = GetLastError();
  LocalFree(descriptor);
  // A name taken by another kind of object, or a lock this account may not
  // open: held by someone else.
  if (mutex == nullptr) return false;
  if (created == ERROR_ALREADY_EXISTS) {
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

Win32System::Rights Win32System::CurrentRights() {
  // Administrators' group enabled in the token: the rights are there. A
  // filtered token (UAC's limited one) holds the group for denying only.
  SID_IDENTIFIER_AUTHORITY nt_authority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (AllocateAndInitializeSid(&nt_authority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                               DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators)) {
    BOOL member = FALSE;
    const BOOL checked = CheckTokenMembership(nullptr, administrators, &member);
    FreeSid(administrators);
    if (checked && member) return Rights::kAdministrator;
  }
  // A limited token with a full one linked to it: an administrator's
  // account, which the UAC prompt lifts.
  OwnedHandle token;
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  DWORD size = 0;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.receive()) &&
      GetTokenInformation(token.get(), TokenElevationType, &type, sizeof(type), &size) &&
      type == TokenElevationTypeLimited) {
    return Rights::kCanElevate;
  }
  return Rights::kStandard;
}

Error Win32System::RunElevated(std::wstring_view arguments, int& exit_code) {
  exit_code = 0;
  wchar_t program[MAX_PATH * 2] = {};
  const DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH * 2);
  if (length == 0 || length >= MAX_PATH * 2) return errors::ForSystemError(GetLastError());
  // ShellExecuteExW shows the UAC prompt for the verb "runas".
  using Execute = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);
  const auto execute = LibraryFunction<Execute>(L"shell32.dll", "ShellExecuteExW");
  if (execute == nullptr) return errors::ForSystemError(ERROR_PROC_NOT_FOUND);
  const WideText parameters(arguments);
  SHELLEXECUTEINFOW run{};
  run.cbSize = sizeof(run);
  run.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
  run.lpVerb = L"runas";
  run.lpFile = program;
  run.lpParameters = parameters.c_str();
  run.nShow = SW_SHOWNORMAL;
  if (!execute(&run)) {
    return errors::ForSystemError(GetLastError());  // 1223 when refused
  }
  OwnedHandle process;
  *process.receive() = run.hProcess;
  if (process.get() == nullptr) return errors::ForSystemError(ERROR_INVALID_HANDLE);
  WaitForSingleObject(process.get(), INFINITE);
  DWORD code = 0;
  if (!GetExitCodeProcess(process.get(), &code)) return errors::ForSystemError(GetLastError());
  exit_code = static_cast<int>(code);
  return Error();
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
  using Notify = void(WINAPI*)(LONG, UINT, LPCVOID, LPCVOID);
  if (const auto notify = LibraryFunction<Notify>(L"shell32.dll", "SHChangeNotify")) {
    notify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  }
}

}  // namespace glyphary::platform
