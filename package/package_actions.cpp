// The Windows Installer package's custom actions, run by Windows Installer
// from this DLL, which the package keeps and never installs. They hold the
// package to the one-owner rule inside its own transaction, keep what its
// values replace, and tell the shell:
//
//   ClaimKeys        (as the sequence reaches it, right after
//                    InstallInitialize, before anything is written) marks
//                    the transaction in the package's own key, then looks for
//                    the exe: its installation's record, or its lock held by
//                    a run; found, it takes the mark back and fails the
//                    install (1603) before it has changed anything. The exe,
//                    in turn, takes its lock and then looks for the mark:
//                    whichever comes second sees the other.
//   UndoClaim        (rollback, when the mark is there) puts back what the
//                    package's values replaced where nothing is there now,
//                    and takes the package's key away.
//   SaveReplaced     (deferred, before the values are written) keeps, type
//                    and bytes, what each of the 48 places holds that is not
//                    the package's own, below the package's key.
//   ClaimDone        (deferred, last) takes the mark away.
//   PutBackReplaced  (deferred, on removal, after the values went) puts the
//                    kept values back, exactly, where nothing else has taken
//                    their place.
//   TellShell        (after the end) tells the shell that file types
//                    changed, so that Explorer shows the icons (or stops
//                    showing them) without a restart.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <shlobj.h>

#include "engine/file_types.h"
#include "engine/product.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"

namespace {

using glyphary::Error;
using glyphary::Joined;
using glyphary::List;
using glyphary::NameList;
using glyphary::WideText;
using glyphary::engine::kPackageInstallingValue;
using glyphary::engine::kPackageKey;
using glyphary::engine::SavedValue;
using glyphary::platform::RegistryRoot;
using glyphary::platform::Win32Registry;

constexpr RegistryRoot kMachine = RegistryRoot::kLocalMachine;
constexpr UINT kFailed = ERROR_INSTALL_FAILURE;

WideText ReplacedKey() { return Joined(kPackageKey, L"\\ReplacedValues"); }

// Writes `text` into Windows Installer's log (msiexec /l*v).
void Say(MSIHANDLE session, std::wstring_view text) {
  const MSIHANDLE record = MsiCreateRecord(0);
  if (record == 0) return;
  MsiRecordSetStringW(record, 0, WideText(text).c_str());
  MsiProcessMessage(session, INSTALLMESSAGE_INFO, record);
  MsiCloseHandle(record);
}

// The package's places: the same table as the exe's, its icons in the
// system folder as Windows Installer names it.
class PackageTarget {
 public:
  PackageTarget() {
    wchar_t system[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    base_ = WideText(std::wstring_view(system, length < MAX_PATH ? length : 0));
    folder_ = Joined(base_, L"\\TI-89");
    target_ = {glyphary::engine::Scope::kMachine, base_, folder_, RegistryRoot::kClassesRoot, L"", kMachine};
  }
  const glyphary::engine::InstallTarget& get() const { return target_; }

 private:
  WideText base_;
  WideText folder_;
  glyphary::engine::InstallTarget target_{};
};

// The values kept below the package's key, each for one of the 48 places;
// anything else there is no data of the package's and is left alone.
List<SavedValue> KeptValues(Win32Registry& registry, const glyphary::engine::InstallTarget& target) {
  List<SavedValue> kept;
  NameList ignored;
  (void)glyphary::engine::ReadSavedValues(registry, kMachine, ReplacedKey(), target, kept, ignored);
  return kept;
}

// Takes the mark of the package's transaction away, and its key when
// nothing else is in it.
void Unmark(Win32Registry& registry) {
  (void)registry.DeleteValue(kMachine, kPackageKey, kPackageInstallingValue);
  bool deleted = false;
  (void)registry.DeleteKeyIfEmpty(kMachine, kPackageKey, deleted);
}

// Puts the kept values back, type and bytes, where their places are empty
// (the package's own values gone), and takes the package's key away. It
// never deletes a value: what stands in a place now stays.
UINT PutBack(MSIHANDLE session) {
  Win32Registry registry;
  (void)registry.UseMachineClasses();
  const PackageTarget target;
  int restored = 0;
  if (const Error error = glyphary::engine::PutBackSaved(registry, target.get(), KeptValues(registry, target.get()),
                                                         restored, nullptr)) {
    Say(session, Joined(L"Glyphary Installer: could not put back ", error.Path()));
    return kFailed;  // the kept values stay for another try
  }
  (void)registry.DeleteTree(kMachine, ReplacedKey());
  Unmark(registry);
  return ERROR_SUCCESS;
}

}  // namespace

extern "C" __declspec(dllexport) UINT __stdcall ClaimKeys(MSIHANDLE session) {
  wchar_t product[40] = {};
  DWORD size = sizeof(product) / sizeof(product[0]);
  MsiGetPropertyW(session, L"ProductCode", product, &size);  // given to deferred actions too
  Win32Registry registry;
  if (registry.CreateKey(kMachine, kPackageKey) ||
      registry.SetText(kMachine, kPackageKey, kPackageInstallingValue, product)) {
    Say(session, L"Glyphary Installer: the package's key cannot be written.");
    return kFailed;
  }
  // Only now looked for: a run of the exe that takes its lock after this
  // finds the mark.
  HANDLE lock = OpenMutexW(SYNCHRONIZE, FALSE, glyphary::platform::kInstallLockName);
  const bool running = lock != nullptr;
  if (lock != nullptr) CloseHandle(lock);
  const bool recorded = registry.KeyExists(kMachine, glyphary::engine::kRecordKey);
  if (!running && !recorded) return ERROR_SUCCESS;
  Say(session, running ? L"Glyphary Installer: GlypharyInstaller.exe is installing or removing the TI-89 file "
                         L"types right now; this package installs nothing."
                       : L"Glyphary Installer is installed on this computer by GlypharyInstaller.exe. Remove "
                         L"it first (Settings > Apps, or GlypharyInstaller.exe /uninstall), then install this "
                         L"package.");
  Unmark(registry);
  return kFailed;
}

extern "C" __declspec(dllexport) UINT __stdcall UndoClaim(MSIHANDLE session) {
  // Nothing claimed (ClaimKeys found the exe and took its mark back, or
  // never ran): nothing of the package's to take back.
  Win32Registry registry;
  glyphary::platform::RegistryValue mark;
  bool marked = false;
  if (registry.ReadValue(kMachine, kPackageKey, kPackageInstallingValue, mark, marked) || !marked) {
    return ERROR_SUCCESS;
  }
  return PutBack(session);
}

extern "C" __declspec(dllexport) UINT __stdcall SaveReplaced(MSIHANDLE session) {
  Win32Registry registry;
  (void)registry.UseMachineClasses();
  const PackageTarget target;
  List<SavedValue> foreign;
  if (const Error error = glyphary::engine::ReadPlaces(registry, target.get(), foreign)) {
    // What cannot be read cannot be kept, so it is not overwritten.
    Say(session, Joined(L"Glyphary Installer: a value that cannot be read cannot be kept: ", error.Path()));
    return kFailed;
  }
  const List<SavedValue> kept = KeptValues(registry, target.get());
  const WideText key = ReplacedKey();
  if (!foreign.empty() && registry.CreateKey(kMachine, key)) return kFailed;
  for (const SavedValue& found : foreign) {
    bool saved = false;  // the first value kept is the one from before
    for (const SavedValue& old : kept) saved |= old.place == found.place;
    if (saved) continue;
    if (registry.SetValue(kMachine, key, glyphary::engine::PlaceName(target.get(), found.place), found.before)) {
      return kFailed;
    }
  }
  return ERROR_SUCCESS;
}

extern "C" __declspec(dllexport) UINT __stdcall ClaimDone(MSIHANDLE) {
  Win32Registry registry;
  return registry.DeleteValue(kMachine, kPackageKey, kPackageInstallingValue) ? kFailed : ERROR_SUCCESS;
}

extern "C" __declspec(dllexport) UINT __stdcall PutBackReplaced(MSIHANDLE session) { return PutBack(session); }

extern "C" __declspec(dllexport) UINT __stdcall TellShell(MSIHANDLE) {
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  return ERROR_SUCCESS;
}
