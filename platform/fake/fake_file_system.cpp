#include "platform/fake/fake_file_system.h"

#include <algorithm>
#include <utility>

#include "base/error.h"
#include "base/path_text.h"

namespace glyphary::platform {

namespace {

Error Failure(int number, std::wstring_view path) {
  Error error = errors::Make(number);
  error.At(path);
  return error;
}

std::wstring Str(std::wstring_view text) { return std::wstring(text); }

// `text` with every character folded as Windows compares names.
std::wstring Folded(std::wstring_view text) {
  std::wstring out(text);
  for (wchar_t& c : out) c = FoldCase(c);
  return out;
}

bool IsDriveRoot(const std::wstring& canonical) {
  return canonical.size() == 3 && canonical[1] == L':' && canonical[2] == L'\\';
}

}  // namespace

FakeFileSystem::FakeFileSystem(std::wstring program_folder)
    : program_folder_(std::move(program_folder)) {
  Put(L"C:\\", true, {});
  SetProgramFolder(program_folder_);
}

void FakeFileSystem::SetProgramFolder(std::wstring path) {
  program_folder_ = std::move(path);
  // The program itself lies there (unless a file of that name already does).
  if (!IsFile(program_folder_ + L"\\GlypharyInstaller.exe")) AddFile(program_folder_ + L"\\GlypharyInstaller.exe", "MZ program");
}

std::wstring FakeFileSystem::Normalize(const std::wstring& path) {
  std::wstring out;
  out.reserve(path.size());
  for (wchar_t c : path) {
    if (c == L'/') c = L'\\';
    if (c == L'\\' && !out.empty() && out.back() == L'\\') continue;
    out += c;
  }
  if (out.size() == 2 && out[1] == L':') out += L'\\';
  while (out.size() > 1 && out.back() == L'\\' && !IsDriveRoot(out)) out.pop_back();
  return out;
}

std::wstring FakeFileSystem::Canon(std::wstring_view path) const {
  std::wstring out = Normalize(Str(path));
  if (out.size() >= 3 && out[1] == L':') {
    const auto alias = substitutes_.find(FoldCase(out[0]));
    if (alias != substitutes_.end()) out = Normalize(alias->second + out.substr(2));
  }
  return out;
}

wchar_t FakeFileSystem::VolumeOf(const std::wstring& canonical) {
  return canonical.size() >= 2 && canonical[1] == L':' ? FoldCase(canonical[0]) : L'\\';
}

void FakeFileSystem::AddDrive(wchar_t letter) { Put(std::wstring(1, letter) + L":\\", true, {}); }

void FakeFileSystem::Substitute(wchar_t letter, const std::wstring& folder) {
  AddFolder(folder);
  substitutes_[FoldCase(letter)] = Canon(folder);
}

const FakeFileSystem::Entry* FakeFileSystem::Find(const std::wstring& path) const {
  auto it = entries_.find(Folded(Canon(path)));
  return it == entries_.end() ? nullptr : &it->second;
}

std::wstring FakeFileSystem::ParentOf(const std::wstring& canonical) const {
  if (IsDriveRoot(canonical)) return std::wstring();
  return Canon(Str(SplitLast(canonical).first));
}

bool FakeFileSystem::WritesDenied(const std::wstring& folder) const {
  return denied_.count(Folded(Canon(folder))) != 0;
}

void FakeFileSystem::Put(const std::wstring& canonical, bool folder, const std::string& bytes) {
  Entry& entry = entries_[Folded(canonical)];
  if (entry.path.empty()) entry.path = canonical;
  entry.folder = folder;
  entry.bytes = bytes;
}

bool FakeFileSystem::InUse(const std::wstring& path) const {
  const std::wstring folded = Folded(Canon(path));
  if (held_files_.count(folded) != 0) return true;
  return std::any_of(sources_.begin(), sources_.end(),
                     [&](const Source& source) { return source.path == folded; });
}

bool FakeFileSystem::IsFolder(const std::wstring& path) const {
  const Entry* e = Find(path);
  return e != nullptr && e->folder;
}

bool FakeFileSystem::IsFile(const std::wstring& path) const {
  const Entry* e = Find(path);
  return e != nullptr && !e->folder;
}

std::optional<std::string> FakeFileSystem::FileBytes(const std::wstring& path) const {
  const Entry* e = Find(path);
  if (e == nullptr || e->folder) return std::nullopt;
  return e->bytes;
}

std::vector<std::wstring> FakeFileSystem::List(const std::wstring& folder) const {
  std::wstring parent = Folded(Canon(folder));
  std::vector<std::wstring> names;
  for (const auto& [key, entry] : entries_) {
    if (!IsDriveRoot(entry.path) && Folded(ParentOf(entry.path)) == parent) {
      names.push_back(Str(SplitLast(entry.path).second));
    }
  }
  std::sort(names.begin(), names.end(),
            [](const std::wstring& a, const std::wstring& b) { return Folded(a) < Folded(b); });
  return names;
}

void FakeFileSystem::AddFolder(const std::wstring& path) {
  std::wstring canonical = Canon(path);
  if (canonical.empty() || IsFolder(canonical)) return;
  AddFolder(ParentOf(canonical));
  Put(canonical, true, {});
}

void FakeFileSystem::AddFile(const std::wstring& path, const std::string& bytes) {
  std::wstring canonical = Canon(path);
  AddFolder(ParentOf(canonical));
  Put(canonical, false, bytes);
}

void FakeFileSystem::DenyWrites(const std::wstring& folder) {
  denied_.insert(Folded(Canon(folder)));
}

Error FakeFileSystem::Matching(const std::wstring& folder, const std::wstring& pattern,
                              std::vector<Entry>& matches) const {
  matches.clear();
  if (!IsFolder(folder)) return Failure(errors::kPathNotFound, folder);
  for (const std::wstring& name : List(folder)) {
    const Entry* e = Find(folder + L"\\" + name);
    if (!e->folder && WildcardMatch(pattern, name)) matches.push_back(*e);
  }
  return Error();
}

void FakeFileSystem::Pause(unsigned milliseconds) {
  calls_.push_back(L"Pause " + std::to_wstring(milliseconds));
}

void FakeFileSystem::FailCopyOf(const std::wstring& file_name) {
  failing_names_.insert(Folded(file_name));
}

Error FakeFileSystem::CreateFolder(std::wstring_view path) {
  calls_.push_back(L"CreateFolder " + Str(path));
  std::wstring canonical = Canon(Str(path));
  if (Find(canonical) != nullptr) return Failure(errors::kFileAlreadyExists, path);
  std::wstring parent = ParentOf(canonical);
  if (parent.empty() || !IsFolder(parent)) return Failure(errors::kPathNotFound, path);
  if (WritesDenied(parent)) return Failure(errors::kPermissionDenied, path);
  Put(canonical, true, {});
  counter_.Changed();
  return Error();
}

Error FakeFileSystem::CopyOne(const Entry& file, const std::wstring& target) {
  std::wstring name = Str(SplitLast(file.path).second);
  if (failing_names_.count(Folded(name)) != 0) return Failure(errors::kPermissionDenied, target);
  if (IsFolder(target)) return Failure(errors::kPermissionDenied, target);
  if (WritesDenied(ParentOf(target))) return Failure(errors::kPermissionDenied, target);
  // A copy killed midway leaves the file cut short.
  Put(target, false, file.bytes.substr(0, file.bytes.size() / 2));
  counter_.Changed();
  Put(target, false, file.bytes);
  counter_.Changed();
  return Error();
}

Error FakeFileSystem::RemoveEmptyFolder(std::wstring_view path, bool& removed) {
  calls_.push_back(L"RemoveEmptyFolder " + Str(path));
  removed = false;
  const std::wstring canonical = Canon(Str(path));
  if (!IsFolder(canonical) || IsDriveRoot(canonical)) return Failure(errors::kPathNotFound, path);
  if (!List(canonical).empty()) return Error();
  if (WritesDenied(ParentOf(canonical))) return Failure(errors::kPermissionDenied, path);
  entries_.erase(Folded(canonical));
  hidden_.erase(Folded(canonical));
  counter_.Changed();
  removed = true;
  return Error();
}

bool FakeFileSystem::FolderExists(std::wstring_view path) {
  calls_.push_back(L"FolderExists " + Str(path));
  return IsFolder(Str(path));
}

bool FakeFileSystem::FileExists(std::wstring_view path) { return IsFile(Str(path)); }

Error FakeFileSystem::ListFiles(std::wstring_view pattern, FileList& list) {
  calls_.push_back(L"ListFiles " + Str(pattern));
  list = FileList();
  const std::wstring normal = Canon(Str(pattern));
  auto [folder, name] = SplitLast(normal);
  std::vector<Entry> matches;
  if (Error error = Matching(Str(folder), Str(name), matches)) return error;
  for (const Entry& file : matches) list.Add(SplitLast(file.path).second, file.bytes.size());
  return Error();
}

Error FakeFileSystem::DeleteFile(std::wstring_view path) {
  calls_.push_back(L"DeleteFile " + Str(path));
  const std::wstring canonical = Canon(Str(path));
  if (!IsFile(canonical)) return Error();
  // The running program's own file is in use too: it can be moved, not deleted.
  const bool running = Find(canonical) == Find(program_folder_ + L"\\GlypharyInstaller.exe");
  if (InUse(canonical) || running || WritesDenied(ParentOf(canonical))) {
    return Failure(errors::kPermissionDenied, path);
  }
  entries_.erase(Folded(canonical));
  counter_.Changed();
  return Error();
}

Error FakeFileSystem::MoveFile(std::wstring_view source, std::wstring_view destination) {
  calls_.push_back(L"MoveFile " + Str(source) + L" -> " + Str(destination));
  return Move(source, destination, false);
}

Error FakeFileSystem::MoveFileReplacing(std::wstring_view source, std::wstring_view destination) {
  calls_.push_back(L"MoveFileReplacing " + Str(source) + L" -> " + Str(destination));
  return Move(source, destination, true);
}

Error FakeFileSystem::Move(std::wstring_view source, std::wstring_view destination, bool replacing) {
  const Entry* file = Find(Str(source));
  if (file == nullptr || file->folder) return Failure(errors::kFileNotFound, source);
  if (InUse(file->path)) return Failure(errors::kPermissionDenied, source);
  const std::wstring target = Canon(Str(destination));
  if (!IsFolder(ParentOf(target))) return Failure(errors::kPathNotFound, destination);
  // A move is a rename within one volume (ERROR_NOT_SAME_DEVICE otherwise).
  if (VolumeOf(file->path) != VolumeOf(target)) return Failure(errors::kPathFileAccessError, source);
  // As MoveFileExW: without replacing, anything there stops the move; a
  // folder (or a file held open) is never replaced.
  if (const Entry* there = Find(target); there != nullptr && there != file) {
    if (!replacing) return Failure(errors::kFileAlreadyExists, destination);
    if (there->folder || InUse(target)) return Failure(errors::kPermissionDenied, source);
  }
  const Entry moved = *file;
  entries_.erase(Folded(moved.path));
  Put(target, false, moved.bytes);
  counter_.Changed();
  return Error();
}

Error FakeFileSystem::DeleteAtRestart(std::wstring_view path) {
  calls_.push_back(L"DeleteAtRestart " + Str(path));
  if (!restart_list_writable_) return Failure(errors::kPermissionDenied, path);
  at_restart_.push_back({Canon(Str(path)), L""});
  counter_.Changed();
  return Error();
}

Error FakeFileSystem::MoveAtRestart(std::wstring_view source, std::wstring_view destination) {
  calls_.push_back(L"MoveAtRestart " + Str(source) + L" -> " + Str(destination));
  if (!restart_list_writable_) return Failure(errors::kPermissionDenied, source);
  at_restart_.push_back({Canon(Str(source)), Canon(Str(destination))});
  counter_.Changed();
  return Error();
}

bool FakeFileSystem::DeletesAtRestart(std::wstring_view path) {
  const std::wstring folded = Folded(Canon(Str(path)));
  return std::any_of(at_restart_.begin(), at_restart_.end(), [&](const Pending& pending) {
    const std::wstring name = Folded(pending.source);
    return pending.destination.empty() && (name == folded || name.rfind(folded + L"\\", 0) == 0);
  });
}

Error FakeFileSystem::CreateHiddenFolder(std::wstring_view path) {
  if (Error error = CreateFolder(path)) return error;
  hidden_.insert(Folded(Canon(Str(path))));
  return Error();
}

bool FakeFileSystem::IsHidden(const std::wstring& path) const { return hidden_.count(Folded(Canon(path))) != 0; }

bool FakeFileSystem::SameFile(std::wstring_view a, std::wstring_view b) {
  const Entry* first = Find(Str(a));
  return first != nullptr && !first->folder && first == Find(Str(b));
}

Error FakeFileSystem::KeepAtRestart(std::wstring_view path, bool& kept) {
  calls_.push_back(L"KeepAtRestart " + Str(path));
  if (other_program_) other_program_();
  const std::wstring folded = Folded(Canon(Str(path)));
  auto listed = [&](const Pending& pending) {
    return pending.destination.empty() && Folded(pending.source) == folded;
  };
  kept = false;
  if (std::none_of(at_restart_.begin(), at_restart_.end(), listed)) return Error();
  if (!restart_list_writable_) return Failure(errors::kPermissionDenied, path);
  at_restart_.erase(std::remove_if(at_restart_.begin(), at_restart_.end(), listed), at_restart_.end());
  kept = true;
  if (kept) counter_.Changed();
  return Error();
}

void FakeFileSystem::HoldFile(const std::wstring& path) { held_files_.insert(Folded(Canon(path))); }

void FakeFileSystem::ReleaseFile(const std::wstring& path) { held_files_.erase(Folded(Canon(path))); }

void FakeFileSystem::Restart() {
  held_files_.clear();
  sources_.clear();
  // In the order asked for; a move never replaces what stands there.
  for (const Pending& pending : at_restart_) {
    const Entry* entry = Find(pending.source);
    if (entry == nullptr || (entry->folder && !List(pending.source).empty())) continue;
    if (!pending.destination.empty()) {
      if (entry->folder || Find(pending.destination) != nullptr) continue;
      Put(pending.destination, false, entry->bytes);
    }
    entries_.erase(Folded(pending.source));
  }
  at_restart_.clear();
}

Error FakeFileSystem::HoldSource(std::wstring_view path, int& held, unsigned long long& size) {
  calls_.push_back(L"HoldSource " + Str(path));
  const Entry* file = Find(Str(path));
  if (file == nullptr || file->folder) return Failure(errors::kFileNotFound, path);
  sources_.push_back(Source{Folded(file->path), file->bytes});
  held = static_cast<int>(sources_.size()) - 1;
  size = file->bytes.size();
  return Error();
}

Error FakeFileSystem::CopyHeldSource(int held, std::wstring_view destination, Existing existing) {
  calls_.push_back(L"CopyHeldSource " + std::to_wstring(held) + L" -> " + Str(destination));
  const std::wstring target = Canon(Str(destination));
  if (!IsFolder(ParentOf(target))) return Failure(errors::kPathNotFound, destination);
  if (existing == Existing::kRefuse && Find(target) != nullptr) return Failure(errors::kFileAlreadyExists, destination);
  if (InUse(target)) return Failure(errors::kPermissionDenied, destination);
  Entry source;
  source.path = sources_.at(static_cast<std::size_t>(held)).path;
  source.bytes = sources_.at(static_cast<std::size_t>(held)).bytes;
  return CopyOne(source, target);
}

bool FakeFileSystem::HeldSourceIs(int held, std::wstring_view path) {
  const Entry* file = Find(Str(path));
  return file != nullptr && !file->folder && file->bytes == sources_.at(static_cast<std::size_t>(held)).bytes;
}

void FakeFileSystem::ReleaseSources() {
  calls_.push_back(L"ReleaseSources");
  sources_.clear();
}

Error FakeFileSystem::LeaveFolder(std::wstring_view folder) {
  calls_.push_back(L"LeaveFolder " + Str(folder));
  return Error();
}

Error FakeFileSystem::FullPathOf(std::wstring_view path, WideText& full) {
  const bool from_drive = path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
  const bool unc = path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\';
  full = WideText(from_drive || unc ? std::wstring(path) : current_folder_ + L"\\" + std::wstring(path));
  return Error();
}

Error FakeFileSystem::TempFolder(WideText& folder) {
  folder = WideText(temp_folder_);
  AddFolder(temp_folder_);
  return Error();
}

Error FakeFileSystem::LocalAppDataFolder(WideText& folder) {
  folder = WideText(local_app_data_);
  AddFolder(local_app_data_);
  return Error();
}

std::vector<std::wstring> FakeFileSystem::Dump() const {
  std::vector<std::wstring> lines;
  for (const auto& [key, entry] : entries_) {
    std::wstring line = entry.path + (entry.folder ? L" <folder>" : L" = ");
    for (unsigned char byte : entry.bytes) line += static_cast<wchar_t>(byte);
    lines.push_back(line);
  }
  for (const Pending& pending : at_restart_) {
    lines.push_back(pending.destination.empty() ? L"deleted at the restart: " + pending.source
                                                : L"moved at the restart: " + pending.source + L" -> " + pending.destination);
  }
  return lines;
}

void FakeFileSystem::SetLocalAppData(std::wstring path) { local_app_data_ = std::move(path); }

void FakeFileSystem::SetWow64Folder(std::wstring path) {
  wow64_folder_ = std::move(path);
  if (!wow64_folder_.empty()) AddFolder(wow64_folder_);
}

bool FakeFileSystem::Wow64SystemFolder(WideText& folder) {
  if (wow64_folder_.empty()) return false;
  folder = WideText(wow64_folder_);
  return true;
}

Error FakeFileSystem::ProgramFile(WideText& path) {
  path = WideText(program_folder_ + L"\\GlypharyInstaller.exe");
  return Error();
}

}  // namespace glyphary::platform
