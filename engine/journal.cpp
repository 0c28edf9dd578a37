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

void Journal::ValueWritten(platform::RegistryRoot root, std::wstring_view path,
                           std::wstring_view name, bool existed,
                           const platform::RegistryValue& before) {
  steps_.Add(Step{Kind::kValue, root, WideText(path), WideText(name), existed, before});
}

Error Journal::Undo(const platform::Platform& platform) {
  Error first;
  auto keep = [&first](Error error) {
    if (error && !first) first = error;
  };
  for (std::size_t i = steps_.size(); i-- > 0;) {
    const Step& step = steps_[i];
    switch (step.kind) {
      case Kind::kValue:
        keep(step.existed ? WriteValue(platform.registry, step.root, step.path, step.name, step.before)
                          : platform.registry.DeleteValue(step.root, step.path, step.name));
        break;
      case Kind::kKey: {
        bool deleted = false;
        keep(platform.registry.DeleteKeyIfEmpty(step.root, step.path, deleted));
        break;
      }
      case Kind::kFile:
        keep(platform.files.DeleteFile(step.path));
        break;
      case Kind::kFolder: {
        bool removed = false;
        keep(platform.files.RemoveEmptyFolder(step.path, removed));
        break;
      }
    }
  }
  steps_.Clear();
  return first;
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
