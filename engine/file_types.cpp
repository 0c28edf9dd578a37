#include "engine/file_types.h"

#include "base/path_text.h"

namespace glyphary::engine {

namespace {

// Between a place's key and its value name in the record: a character no
// key name may hold.
constexpr std::wstring_view kPlaceSeparator = L"|";

}  // namespace

WideText TypeKeyPath(const InstallTarget& target, const FileType& type, TypeKey key) {
  // Below HKEY_CLASSES_ROOT the keys stand at the top; below another root they
  // stand under the classes path (Software\Classes\.89m).
  const std::wstring_view separator = target.classes_path.empty() ? L"" : L"\\";
  switch (key) {
    case TypeKey::kExtension: return Joined(target.classes_path, separator, type.extension);
    case TypeKey::kType: return Joined(target.classes_path, separator, type.type_id);
    case TypeKey::kDefaultIcon: break;
  }
  return Joined(target.classes_path, separator, type.type_id, L"\\DefaultIcon");
}

WideText TypeValueText(const InstallTarget& target, const FileType& type, const TypeValue& value) {
  if (value.data == ValueData::kTypeId) return WideText(type.type_id);
  return Joined(target.folder, L"\\", type.icon_file, L",0");  // icon 0 of that file
}

bool HoldsOurs(const InstallTarget& target, const FileType& type, const TypeValue& value,
               const platform::RegistryValue& found) {
  if (value.data == ValueData::kNumber) return found.HoldsNumber(value.number);
  return found.type == platform::value_type::kText && SameName(found.AsText(), TypeValueText(target, type, value));
}

bool HoldsOurs(const InstallTarget& target, int place, const platform::RegistryValue& found) {
  const Place at = PlaceAt(place);
  return HoldsOurs(target, at.type, at.value, found);
}

WideText KeyAt(const InstallTarget& target, int key) {
  constexpr TypeKey kKinds[] = {TypeKey::kExtension, TypeKey::kType, TypeKey::kDefaultIcon};
  return TypeKeyPath(target, kFileTypes[key / 3], kKinds[key % 3]);
}

bool IsTypeKey(const InstallTarget& target, std::wstring_view path) {
  for (int key = 0; key < kKeyCount; ++key) {
    if (SameName(KeyAt(target, key).view(), path)) return true;
  }
  return false;
}

WideText PlaceKey(const InstallTarget& target, int place) {
  const Place at = PlaceAt(place);
  return TypeKeyPath(target, at.type, at.value.key);
}

platform::RegistryValue OurValue(const InstallTarget& target, int place) {
  const Place at = PlaceAt(place);
  if (at.value.data == ValueData::kNumber) return platform::RegistryValue::Number(at.value.number);
  return platform::RegistryValue::Text(TypeValueText(target, at.type, at.value));
}

WideText PlaceName(const InstallTarget& target, int place) {
  return Joined(PlaceKey(target, place), kPlaceSeparator, PlaceAt(place).value.name);
}

int PlaceNamed(const InstallTarget& target, std::wstring_view name) {
  for (int place = 0; place < kPlaceCount; ++place) {
    if (SameName(PlaceName(target, place).view(), name)) return place;
  }
  return -1;
}

}  // namespace glyphary::engine
