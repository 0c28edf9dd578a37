#include "platform/fake/fake_file_system.h"

#include <algorithm>
#include <utility>

#include "platform/error.h"
#include "platform/path_text.h"

namespace glyphary::platform {

namespace {

[[noreturn]] void Throw(int number, const std::wstring& path) {
  throw errors::Make(number).At(path);
}

bool IsDriveRoot(const std::wstring& canonical) {
  return canonical.size() == 3 && canonical[1] == L':' && canonical[2] == L'\\';
}

}  // namespace

FakeFileSystem::FakeFileSystem(std::wstring program_folder)
    : program_folder_(std::move(program_folder)) {
  Put(L"C:\\", true, {});
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

const FakeFileSystem::Entry* FakeFileSystem::Find(const std::wstring& path) const {
  auto it = entries_.find(Folded(Normalize(path)));
  return it == entries_.end() ? nullptr : &it->second;
}

std::wstring FakeFileSystem::ParentOf(const std::wstring& canonical) const {
  if (IsDriveRoot(canonical)) return std::wstring();
  return Normalize(SplitLast(canonical).first);
}

bool FakeFileSystem::WritesDenied(const std::wstring& folder) const {
  return denied_.count(Folded(Normalize(folder))) != 0;
}

void FakeFileSystem::Put(const std::wstring& canonical, bool folder, const std::string& bytes) {
  Entry& entry = entries_[Folded(canonical)];
  if (entry.path.empty()) entry.path = canonical;
  entry.folder = folder;
  entry.bytes = bytes;
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
  std::wstring parent = Folded(Normalize(folder));
  std::vector<std::wstring> names;
  for (const auto& [key, entry] : entries_) {
    if (!IsDriveRoot(entry.path) && Folded(ParentOf(entry.path)) == parent) {
      names.push_back(SplitLast(entry.path).second);
    }
  }
  std::sort(names.begin(), names.end(),
            [](const std::wstring& a, const std::wstring& b) { return Folded(a) < Folded(b); });
  return names;
}

void FakeFileSystem::AddFolder(const std::wstring& path) {
  std::wstring canonical = Normalize(path);
  if (canonical.empty() || IsFolder(canonical)) return;
  AddFolder(ParentOf(canonical));
  Put(canonical, true, {});
}

void FakeFileSystem::AddFile(const std::wstring& path, const std::string& bytes) {
  std::wstring canonical = Normalize(path);
  AddFolder(ParentOf(canonical));
  Put(canonical, false, bytes);
}

void FakeFileSystem::DenyWrites(const std::wstring& folder) {
  denied_.insert(Folded(Normalize(folder)));
}

void FakeFileSystem::HoldFolder(const std::wstring& folder, int attempts) {
  held_[Folded(Normalize(folder))] = attempts;
}

std::vector<FakeFileSystem::Entry> FakeFileSystem::Matching(const std::wstring& folder,
                                                           const std::wstring& pattern) const {
  if (!IsFolder(folder)) Throw(errors::kPathNotFound, folder);
  std::vector<Entry> matches;
  for (const std::wstring& name : List(folder)) {
    const Entry* e = Find(folder + L"\\" + name);
    if (!e->folder && WildcardMatch(pattern, name)) matches.push_back(*e);
  }
  return matches;
}

int FakeFileSystem::CountFiles(const std::wstring& pattern) {
  calls_.push_back(L"CountFiles " + pattern);
  auto [folder, name] = SplitLast(Normalize(pattern));
  return static_cast<int>(Matching(folder, name).size());
}

void FakeFileSystem::Pause(unsigned milliseconds) {
  calls_.push_back(L"Pause " + std::to_wstring(milliseconds));
}

void FakeFileSystem::FailCopyOf(const std::wstring& file_name) {
  failing_names_.insert(Folded(file_name));
}

Folder FakeFileSystem::GetFolder(const std::wstring& path) {
  calls_.push_back(L"GetFolder " + path);
  const Entry* e = Find(path);
  if (e == nullptr || !e->folder) Throw(errors::kPathNotFound, path);
  return Folder{e->path};
}

Folder FakeFileSystem::CreateFolder(const std::wstring& path) {
  calls_.push_back(L"CreateFolder " + path);
  std::wstring canonical = Normalize(path);
  if (Find(canonical) != nullptr) Throw(errors::kFileAlreadyExists, path);
  std::wstring parent = ParentOf(canonical);
  if (parent.empty() || !IsFolder(parent)) Throw(errors::kPathNotFound, path);
  if (WritesDenied(parent)) Throw(errors::kPermissionDenied, path);
  Put(canonical, true, {});
  return Folder{canonical};
}

void FakeFileSystem::CopyOne(const Entry& file, const std::wstring& target) {
  std::wstring name = SplitLast(file.path).second;
  if (failing_names_.count(Folded(name)) != 0) Throw(errors::kPermissionDenied, target);
  if (IsFolder(target)) Throw(errors::kPermissionDenied, target);
  if (WritesDenied(ParentOf(target))) Throw(errors::kPermissionDenied, target);
  Put(target, false, file.bytes);
}

void FakeFileSystem::CopyFile(const std::wstring& source, const std::wstring& destination) {
  calls_.push_back(L"CopyFile " + source + L" -> " + destination);
  auto [source_dir, pattern] = SplitLast(Normalize(source));
  if (!HasWildcard(pattern)) {
    const Entry* file = Find(source);
    if (file == nullptr || file->folder) Throw(errors::kFileNotFound, source);
    std::wstring target = Normalize(destination);
    bool into_folder = !destination.empty() && (destination.back() == L'\\' || destination.back() == L'/');
    if (into_folder) {
      if (!IsFolder(target)) Throw(errors::kPathNotFound, destination);
      target = Normalize(target + L"\\" + pattern);
    } else if (!IsFolder(ParentOf(target))) {
      Throw(errors::kPathNotFound, destination);
    }
    Entry copy = *file;
    CopyOne(copy, target);
    return;
  }

  std::vector<Entry> matches = Matching(source_dir, pattern);
  if (matches.empty()) Throw(errors::kFileNotFound, source);
  if (!IsFolder(destination)) Throw(errors::kPathNotFound, destination);
  std::wstring target_dir = Normalize(destination);
  for (const Entry& file : matches) {
    CopyOne(file, Normalize(target_dir + L"\\" + SplitLast(file.path).second));
  }
}

void FakeFileSystem::DeleteFolder(const std::wstring& path) {
  calls_.push_back(L"DeleteFolder " + path);
  std::wstring canonical = Normalize(path);
  if (!IsFolder(canonical) || IsDriveRoot(canonical)) Throw(errors::kPathNotFound, path);
  if (WritesDenied(ParentOf(canonical))) Throw(errors::kPermissionDenied, path);
  auto held = held_.find(Folded(canonical));
  if (held != held_.end() && held->second > 0) {
    --held->second;
    Throw(errors::kPermissionDenied, path);
  }
  std::wstring key = Folded(canonical);
  std::wstring prefix = key + L"\\";
  for (auto it = entries_.begin(); it != entries_.end();) {
    bool inside = it->first == key || it->first.compare(0, prefix.size(), prefix) == 0;
    it = inside ? entries_.erase(it) : std::next(it);
  }
}

bool FakeFileSystem::FolderExists(const std::wstring& path) {
  calls_.push_back(L"FolderExists " + path);
  return IsFolder(path);
}

std::wstring FakeFileSystem::ProgramFolder() { return program_folder_; }

}  // namespace glyphary::platform
