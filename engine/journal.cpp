#include "engine/journal.h"

#include "base/path_text.h"

namespace glyphary::engine {

void Journal::FolderCreated(std::wstring_view path) {
  steps_.Add(Step{Kind::kFolder, {}, WideText(path), {}, false, {}});
}

void Journal::FileCreated(std::wstring_view path) {
  steps_.Add(Step{Kind::kFile, {}, WideText(path), {}, false, {}});
}

void Journal::KeyCreated(platform::RegistryRoot root, std::wstring_view path) {
  steps_.Add(Step{Kind::kKey, root, WideText(path), {}, false, {}});
}

void Journal::KeptAtRestart(std::wstring_view path) {
  steps_.Add(Step{Kind::kKeptAtRestart, {}, WideText(path), {}, false, {}});
}

void Journal::ValueWritten(platform::RegistryRoot root, std::wstring_view path,
                           std::wstring_view name, bool existed,
                           const platform::RegistryValue& before) {
  steps_.Add(Step{Kind::kValue, root, WideText(path), WideText(name), existed, before});
}

Error Journal::Undo(const platform::Platform& platform) {
  Error first;
  List<Step> left;  // what this call could not undo, last first
  for (std::size_t i = steps_.size(); i-- > 0;) {
    const Step& step = steps_[i];
    Error error;
    bool undone = true;
    switch (step.kind) {
      case Kind::kValue:
        error = step.existed ? WriteValue(platform.registry, step.root, step.path, step.name, step.before)
                             : platform.registry.DeleteValue(step.root, step.path, step.name);
        break;
      case Kind::kKey: {
        bool deleted = false;
        error = platform.registry.DeleteKeyIfEmpty(step.root, step.path, deleted);
        // A key that still holds something (a value that could not be taken
        // out) stays to undo.
        undone = deleted || !platform.registry.KeyExists(step.root, step.path);
        break;
      }
      case Kind::kFile:
        error = platform.files.DeleteFile(step.path);
        break;
      case Kind::kKeptAtRestart:
        error = platform.files.DeleteAtRestart(step.path);
        break;
      case Kind::kFolder: {
        if (!platform.files.FolderExists(step.path)) break;  // gone already
        bool removed = false;
        error = platform.files.RemoveEmptyFolder(step.path, removed);
        undone = removed;  // a file still in it keeps it
        break;
      }
    }
    if (error && !first) first = error;
    if (error || !undone) left.Add(step);
  }
  steps_.Clear();
  for (std::size_t i = left.size(); i-- > 0;) steps_.Add(left[i]);
  return first;
}

WideText Journal::Remaining() const {
  WideText out;
  for (std::size_t i = steps_.size(); i-- > 0;) {
    const Step& step = steps_[i];
    if (!out.empty()) out.Append(L"; ");
    switch (step.kind) {
      case Kind::kValue:
        if (step.name.empty()) {
          out.Append(L"the default value of ");
        } else {
          out.Append(L"the value ").Append(step.name).Append(L" of ");
        }
        out.Append(platform::KeyName(step.root, step.path));
        break;
      case Kind::kKey:
        out.Append(L"the key ").Append(platform::KeyName(step.root, step.path));
        break;
      case Kind::kFile:
        out.Append(L"the file ").Append(step.path);
        break;
      case Kind::kFolder:
        out.Append(L"the folder ").Append(step.path);
        break;
      case Kind::kKeptAtRestart:
        out.Append(L"the deletion at the next restart of ").Append(step.path);
        break;
    }
  }
  return out;
}

Error CreateKeyNoted(platform::Registry& registry, platform::RegistryRoot root,
                     std::wstring_view path, Journal& journal) {
  // The levels that are missing now, from the top down: those the creation
  // makes.
  std::size_t first_missing = path.size() + 1;
  for (std::size_t end = 0; end <= path.size(); ++end) {
    if (end < path.size() && path[end] != L'\\') continue;
    if (!registry.KeyExists(root, Head(path, end))) {
      first_missing = end;
      break;
    }
  }
  if (Error error = registry.CreateKey(root, path)) return error;
  for (std::size_t end = first_missing; end <= path.size(); ++end) {
    if (end == path.size() || path[end] == L'\\') journal.KeyCreated(root, Head(path, end));
  }
  return Error();
}

Error WriteValue(platform::Registry& registry, platform::RegistryRoot root, std::wstring_view path,
                 std::wstring_view name, const platform::RegistryValue& value) {
  switch (value.type) {
    case platform::RegistryValue::Type::kText:
      return registry.SetText(root, path, name, value.text);
    case platform::RegistryValue::Type::kNumber:
      return registry.SetNumber(root, path, name, value.number);
    case platform::RegistryValue::Type::kOther:
      break;  // of another type: cannot be written back, and stays as it is
  }
  return Error();
}

Error WriteValueNoted(platform::Registry& registry, platform::RegistryRoot root,
                      std::wstring_view path, std::wstring_view name,
                      const platform::RegistryValue& value, Journal& journal,
                      platform::RegistryValue& before, bool& existed) {
  Error read = registry.ReadValue(root, path, name, before, existed);
  if (Error error = WriteValue(registry, root, path, name, value)) return error;
  journal.ValueWritten(root, path, name, existed, before);
  return read;
}

platform::RegistryValue TextValue(std::wstring_view text) {
  platform::RegistryValue value;
  value.type = platform::RegistryValue::Type::kText;
  value.text = WideText(text);
  return value;
}

platform::RegistryValue NumberValue(std::uint32_t number) {
  platform::RegistryValue value;
  value.type = platform::RegistryValue::Type::kNumber;
  value.number = number;
  return value;
}

}  // namespace glyphary::engine
