// The Windows Installer package's custom actions: the DLL the package keeps
// in its Binary table and never installs. Each entry point runs the action
// of the same name (package_steps.h says what each does and where it
// stands) on Windows Installer's session and the Win32 platform.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include "base/decimal.h"
#include "base/path_text.h"
#include "package/package_steps.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"

namespace {

using glyphary::Joined;
using glyphary::WideText;

// An MSIHANDLE closed when it goes.
class MsiHandle {
 public:
  MsiHandle() = default;
  ~MsiHandle() {
    if (handle_ != 0) MsiCloseHandle(handle_);
  }
  MsiHandle(const MsiHandle&) = delete;
  MsiHandle& operator=(const MsiHandle&) = delete;
  MSIHANDLE* out() { return &handle_; }
  MSIHANDLE get() const { return handle_; }

 private:
  MSIHANDLE handle_ = 0;
};

class WindowsInstallerSession : public glyphary::package::Session {
 public:
  explicit WindowsInstallerSession(MSIHANDLE session) : session_(session) {}

  WideText Property(std::wstring_view name) override {
    const WideText key(name);
    WideText value;
    DWORD size = 0;
    wchar_t none[1] = {};
    if (MsiGetPropertyW(session_, key.c_str(), none, &size) != ERROR_MORE_DATA) return value;
    value.Resize(size);
    ++size;
    if (MsiGetPropertyW(session_, key.c_str(), value.data(), &size) != ERROR_SUCCESS) return WideText();
    value.Resize(size);
    return value;
  }

  void SetProperty(std::wstring_view name, std::wstring_view value) override {
    MsiSetPropertyW(session_, WideText(name).c_str(), WideText(value).c_str());
  }

  void Log(std::wstring_view text) override { Message(INSTALLMESSAGE_INFO, text); }

  void Refuse(std::wstring_view text) override {
    Message(static_cast<INSTALLMESSAGE>(INSTALLMESSAGE_ERROR | MB_OK | MB_ICONERROR), text);
  }

  // The package's File, Component and MsiFileHash tables: the file of that
  // name is the package's when its hash is the one the package carries, or
  // when Windows Installer has its component installed at that path. Each
  // icon has two rows, one for each folder: every row of the name is asked.
  bool PackageFile(std::wstring_view name, std::wstring_view path) override {
    const MSIHANDLE database = MsiGetActiveDatabase(session_);
    if (database == 0) return false;
    MsiHandle owned_database;
    *owned_database.out() = database;
    MsiHandle view;
    if (MsiDatabaseOpenViewW(database,
                             L"SELECT `File`.`FileName`, `Component`.`ComponentId`, `MsiFileHash`.`HashPart1`, "
                             L"`MsiFileHash`.`HashPart2`, `MsiFileHash`.`HashPart3`, `MsiFileHash`.`HashPart4` "
                             L"FROM `File`, `Component`, `MsiFileHash` WHERE `File`.`Component_` = "
                             L"`Component`.`Component` AND `MsiFileHash`.`File_` = `File`.`File`",
                             view.out()) != ERROR_SUCCESS ||
        MsiViewExecute(view.get(), 0) != ERROR_SUCCESS) {
      return false;
    }
    const WideText file(path);
    for (;;) {
      MsiHandle row;
      if (MsiViewFetch(view.get(), row.out()) != ERROR_SUCCESS) return false;
      wchar_t text[MAX_PATH] = {};
      DWORD size = MAX_PATH;
      if (MsiRecordGetStringW(row.get(), 1, text, &size) != ERROR_SUCCESS) continue;
      std::wstring_view long_name(text, size);  // "SHORT~1.ICO|long name.ico" or one name
      const std::size_t bar = long_name.find(L'|');
      if (bar != std::wstring_view::npos) long_name = glyphary::After(long_name, bar);
      if (!glyphary::SameName(long_name, name)) continue;
      MSIFILEHASHINFO hash{sizeof(hash), {}};
      if (MsiGetFileHashW(file.c_str(), 0, &hash) == ERROR_SUCCESS) {
        bool same = true;
        for (unsigned part = 0; part < 4; ++part) {
          same &= static_cast<ULONG>(MsiRecordGetInteger(row.get(), part + 3)) == hash.dwData[part];
        }
        if (same) return true;
      }
      wchar_t component[40] = {};
      size = 40;
      wchar_t installed[MAX_PATH] = {};
      DWORD installed_size = MAX_PATH;
      if (MsiRecordGetStringW(row.get(), 2, component, &size) == ERROR_SUCCESS &&
          MsiLocateComponentW(component, installed, &installed_size) == INSTALLSTATE_LOCAL &&
          glyphary::SameName(std::wstring_view(installed, installed_size), path)) {
        return true;
      }
    }
  }

  // The process that runs this custom action for the installation's
  // script, with its start.
  WideText ScriptProcess() override {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) created = FILETIME{};
    WideText text;
    glyphary::AppendDecimal(text, GetCurrentProcessId());
    text.Append(L' ');
    glyphary::AppendDecimal(
        text, static_cast<std::int64_t>((static_cast<unsigned long long>(created.dwHighDateTime) << 32) |
                                        created.dwLowDateTime));
    return text;
  }

 private:
  void Message(INSTALLMESSAGE kind, std::wstring_view text) {
    MsiHandle record;
    *record.out() = MsiCreateRecord(0);
    if (record.get() == 0) return;
    MsiRecordSetStringW(record.get(), 0, WideText(text).c_str());
    MsiProcessMessage(session_, kind, record.get());
  }

  MSIHANDLE session_;
};

// The package's places: its icons in the system folder's TI-89, as Windows
// Installer's System64Folder names it.
class PackageTarget {
 public:
  PackageTarget() {
    wchar_t system[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    base_ = WideText(std::wstring_view(system, length < MAX_PATH ? length : 0));
    folder_ = Joined(base_, L"\\TI-89");
    target_ = {glyphary::engine::Scope::kMachine, base_,
               folder_,  glyphary::platform::RegistryRoot::kClassesRoot,
               L"",      glyphary::platform::RegistryRoot::kLocalMachine};
  }
  const glyphary::engine::InstallTarget& get() const { return target_; }

 private:
  WideText base_;
  WideText folder_;
  glyphary::engine::InstallTarget target_{};
};

UINT Run(const wchar_t* action, MSIHANDLE handle) {
  WindowsInstallerSession session(handle);
  glyphary::platform::Win32FileSystem files;
  glyphary::platform::Win32Registry registry;
  glyphary::platform::Win32System system;
  // The package's values are the machine's classes, whatever the account
  // running an action has of its own.
  if (const glyphary::Error error = registry.UseMachineClasses()) {
    session.Log(Joined(L"Glyphary Installer: the machine's classes cannot be opened: ", error.Path()));
    return ERROR_INSTALL_FAILURE;
  }
  const glyphary::platform::Platform platform{files, registry, system};
  const PackageTarget target;
  return glyphary::package::RunPackageAction(action, session, platform, target.get()) ? ERROR_SUCCESS
                                                                                      : ERROR_INSTALL_FAILURE;
}

}  // namespace

#define GLYPHARY_ACTION(name) \
  extern "C" __declspec(dllexport) UINT __stdcall name(MSIHANDLE session) { return Run(L## #name, session); }

GLYPHARY_ACTION(CheckInstall)
GLYPHARY_ACTION(UndoClaim)
GLYPHARY_ACTION(ClaimKeys)
GLYPHARY_ACTION(UndoSaveReplaced)
GLYPHARY_ACTION(SaveReplaced)
GLYPHARY_ACTION(FindTaken)
GLYPHARY_ACTION(SaveTaken)
GLYPHARY_ACTION(UndoSaveTaken)
GLYPHARY_ACTION(UndoPutBack)
GLYPHARY_ACTION(PutBackReplaced)
GLYPHARY_ACTION(ClaimDone)
GLYPHARY_ACTION(ForgetReplaced)
GLYPHARY_ACTION(TellShell)
