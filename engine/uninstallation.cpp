#include "engine/uninstallation.h"

#include "engine/installation.h"
#include "engine/reg.h"
#include "engine/ti_info.h"
#include "platform/ansi_codec.h"
#include "platform/file_system.h"
#include "platform/system_control.h"

namespace glyphary::engine {

namespace {

constexpr std::int32_t kRoot = Reg::kClassesRoot;

// Keeps the first failure of the uninstallation.
class Failures {
 public:
  // A registry step: a missing key or value is no failure.
  void Note(platform::Status status, std::wstring_view key) {
    if (status == platform::kErrorSuccess || status == platform::kErrorFileNotFound || first_) {
      return;
    }
    first_ = errors::Make(errors::NumberForSystemError(static_cast<unsigned long>(status)));
    first_.At(Joined(L"HKEY_CLASSES_ROOT\\", key));
  }
  void Note(const Error& error) {
    if (error && !first_) first_ = error;
  }
  Error first() const { return first_; }

 private:
  Error first_;
};

// Whether the ANSI bytes `stored` are the text `expected`.
bool Names(const NarrowText& stored, std::wstring_view expected) {
  NarrowText wanted;
  if (platform::AnsiCodec* codec = platform::AnsiSeam::Find()) codec->ToAnsi(expected, wanted);
  return stored == wanted;
}

// One row of the table. Returns whether anything of ours was removed.
bool RemoveFileType(const TiInfo::FileTypeRow& row, UninstallReport& report, Failures& failures) {
  bool removed = false;
  bool deleted = false;
  const std::wstring_view type_id = row.TypeId;
  const WideText default_icon = Joined(type_id, L"\\DefaultIcon");

  platform::Status status = Reg::DeleteValue(kRoot, default_icon, L"");
  removed |= status == platform::kErrorSuccess;
  failures.Note(status, default_icon);
  failures.Note(Reg::DeleteKeyIfEmpty(kRoot, default_icon, deleted), default_icon);
  removed |= deleted;
  for (std::wstring_view flag : {std::wstring_view(L"BrowserFlags"), std::wstring_view(L"EditFlags")}) {
    status = Reg::DeleteValue(kRoot, type_id, flag);
    removed |= status == platform::kErrorSuccess;
    failures.Note(status, type_id);
  }
  status = Reg::DeleteKeyIfEmpty(kRoot, type_id, deleted);
  failures.Note(status, type_id);
  removed |= deleted;
  if (status == platform::kErrorSuccess && !deleted) ++report.type_keys_kept;

  // The extension is ours only while it names our type.
  const std::wstring_view extension = row.Extension;
  NarrowText names;
  status = Reg::QueryText(kRoot, extension, L"", names);
  if (status == platform::kErrorSuccess && Names(names, type_id)) {
    status = Reg::DeleteValue(kRoot, extension, L"");
    failures.Note(status, extension);
    removed |= status == platform::kErrorSuccess;
    failures.Note(Reg::DeleteKeyIfEmpty(kRoot, extension, deleted), extension);
    removed |= deleted;
  } else if (status == platform::kErrorSuccess || status == platform::kErrorInvalidData) {
    ++report.extensions_kept;  // taken over since: left as it is
  } else {
    failures.Note(status, extension);
  }
  return removed;
}

}  // namespace

void NotifyShell() {
  if (platform::SystemControl* system = platform::SystemSeam::Find()) {
    system->NotifyAssociationsChanged();
  }
}

Error RunUninstallation(UninstallReport& report) {
  report = UninstallReport();
  platform::FileSystem* fso = platform::FileSystemSeam::Find();
  if (fso == nullptr || platform::RegistrySeam::Find() == nullptr ||
      platform::AnsiSeam::Find() == nullptr) {
    return errors::Make(errors::kCannotCreateObject);
  }
  Failures failures;
  for (const TiInfo::FileTypeRow& row : TiInfo::FileTypes()) {
    if (RemoveFileType(row, report, failures)) ++report.types_removed;
  }

  const WideText folder = Joined(kSystemFolder, L"\\", kInstallFolderName);
  if (fso->FolderExists(folder)) {
    failures.Note(fso->DeleteFiles(Joined(folder, L"\\*.ico"), report.icons_removed));
    Error removing = fso->RemoveEmptyFolder(folder, report.folder_removed);
    failures.Note(removing);
    report.folder_kept = !removing && !report.folder_removed;
  }
  if (report.AnythingRemoved()) NotifyShell();
  return failures.first();
}

}  // namespace glyphary::engine
