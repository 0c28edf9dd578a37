#include "platform/logged.h"

namespace glyphary::platform {

namespace {

// A value's name for people: "(default)" for the default value.
std::wstring_view Shown(std::wstring_view name) { return name.empty() ? L"(default)" : name; }

}  // namespace

void LoggedFileSystem::Write(std::wstring_view what, std::wstring_view path, const Error& result) {
  log_.Write(Joined(what, L" ", path), LogCode(result));
}

Error LoggedFileSystem::Logged(std::wstring_view what, std::wstring_view path, Error result) {
  Write(what, path, result);
  return result;
}

Error LoggedFileSystem::CreateFolder(std::wstring_view path) {
  return Logged(L"create folder", path, files_.CreateFolder(path));
}

Error LoggedFileSystem::RemoveEmptyFolder(std::wstring_view path, bool& removed) {
  Error result = files_.RemoveEmptyFolder(path, removed);
  if (removed || result) Write(L"remove folder", path, result);
  return result;
}

Error LoggedFileSystem::ListFiles(std::wstring_view pattern, FileList& list) {
  Error result = files_.ListFiles(pattern, list);
  if (result) Write(L"list", pattern, result);
  return result;
}

Error LoggedFileSystem::DeleteFile(std::wstring_view path) {
  return Logged(L"delete file", path, files_.DeleteFile(path));
}

Error LoggedFileSystem::MoveFile(std::wstring_view source, std::wstring_view destination) {
  return Logged(L"move", Joined(source, L" to ", destination), files_.MoveFile(source, destination));
}

Error LoggedFileSystem::MoveFileReplacing(std::wstring_view source, std::wstring_view destination) {
  return Logged(L"move, replacing", Joined(source, L" to ", destination),
                files_.MoveFileReplacing(source, destination));
}

Error LoggedFileSystem::DeleteAtRestart(std::wstring_view path) {
  return Logged(L"delete at the next restart", path, files_.DeleteAtRestart(path));
}

Error LoggedFileSystem::CreateHiddenFolder(std::wstring_view path) {
  return Logged(L"create hidden folder", path, files_.CreateHiddenFolder(path));
}

Error LoggedFileSystem::MoveAtRestart(std::wstring_view source, std::wstring_view destination) {
  return Logged(L"move at the next restart", Joined(source, L" to ", destination),
                files_.MoveAtRestart(source, destination));
}

Error LoggedFileSystem::KeepAtRestart(std::wstring_view path, bool& kept) {
  Error result = files_.KeepAtRestart(path, kept);
  if (kept || result) Write(L"no longer delete at the next restart", path, result);
  return result;
}

Error LoggedFileSystem::HoldSource(std::wstring_view path, int& held, unsigned long long& size) {
  Error result = files_.HoldSource(path, held, size);
  Write(L"hold open", path, result);
  if (!result) {
    while (held_.size() <= static_cast<std::size_t>(held)) held_.Add(WideText());
    held_[static_cast<std::size_t>(held)] = WideText(path);
  }
  return result;
}

Error LoggedFileSystem::CopyHeldSource(int held, std::wstring_view destination, Existing existing) {
  const std::wstring_view source =
      static_cast<std::size_t>(held) < held_.size() ? held_[static_cast<std::size_t>(held)].view() : L"?";
  return Logged(L"copy", Joined(source, L" to ", destination), files_.CopyHeldSource(held, destination, existing));
}

void LoggedRegistry::Write(std::wstring_view what, RegistryRoot root, std::wstring_view path,
                          std::wstring_view name, const Error& result) {
  log_.Write(Joined(what, L" ", KeyName(root, path), name.data() == nullptr ? L"" : L" ",
                    name.data() == nullptr ? L"" : Shown(name)),
             LogCode(result));
}

Error LoggedRegistry::Logged(std::wstring_view what, RegistryRoot root, std::wstring_view path,
                             std::wstring_view name, Error result) {
  Write(what, root, path, name, result);
  return result;
}

Error LoggedRegistry::CreateKey(RegistryRoot root, std::wstring_view path) {
  return Logged(L"create key", root, path, std::wstring_view(), registry_.CreateKey(root, path));
}

Error LoggedRegistry::SetText(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                              std::wstring_view text) {
  return Logged(L"set text", root, path, name, registry_.SetText(root, path, name, text));
}

Error LoggedRegistry::SetNumber(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                                std::uint32_t number) {
  return Logged(L"set number", root, path, name, registry_.SetNumber(root, path, name, number));
}

Error LoggedRegistry::SetValue(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                               const RegistryValue& value) {
  return Logged(L"set value", root, path, name, registry_.SetValue(root, path, name, value));
}

Error LoggedRegistry::ReadValue(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                                RegistryValue& value, bool& found) {
  Error result = registry_.ReadValue(root, path, name, value, found);
  if (result) Write(L"cannot read", root, path, name, result);
  return result;
}

Error LoggedRegistry::ValueNames(RegistryRoot root, std::wstring_view path, NameList& names) {
  Error result = registry_.ValueNames(root, path, names);
  if (result) Write(L"cannot list", root, path, std::wstring_view(), result);
  return result;
}

Error LoggedRegistry::DeleteValue(RegistryRoot root, std::wstring_view path, std::wstring_view name) {
  return Logged(L"delete value", root, path, name, registry_.DeleteValue(root, path, name));
}

Error LoggedRegistry::DeleteTree(RegistryRoot root, std::wstring_view path) {
  return Logged(L"delete key and all below it", root, path, std::wstring_view(), registry_.DeleteTree(root, path));
}

Error LoggedRegistry::DeleteKeyIfEmpty(RegistryRoot root, std::wstring_view path, bool& deleted) {
  Error result = registry_.DeleteKeyIfEmpty(root, path, deleted);
  if (deleted || result) Write(L"delete key", root, path, std::wstring_view(), result);
  return result;
}

Error LoggedRegistry::UseMachineClasses() {
  Error result = registry_.UseMachineClasses();
  if (result || !machine_classes_) {
    log_.Write(L"HKEY_CLASSES_ROOT taken for the machine's own classes (HKEY_LOCAL_MACHINE\\Software\\Classes)",
               LogCode(result));
  }
  machine_classes_ = !result;
  return result;
}

}  // namespace glyphary::platform
