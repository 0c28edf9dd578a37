// The twelve TI-89 variable file types and the registry entries that give
// each its icon in the shell: one table of types and one table of the values
// written for each, from which the registration and its reverse (the
// transaction's registry kinds) are both derived. Adding a value is one row
// of kTypeValues.
#pragma once

#include <cstdint>
#include <string_view>
#include "base/text.h"
#include "engine/product.h"
#include "platform/registry.h"

namespace glyphary::engine {

struct FileType {
  std::wstring_view extension;  // ".89m"
  std::wstring_view type_id;    // "Ivex.89m": "Ivex." and the extension without its dot
  std::wstring_view icon_file;  // "89mat.ico", a file of the install folder
};

// In the order they are registered.
inline constexpr FileType kFileTypes[] = {
    {L".89m", L"Ivex.89m", L"89mat.ico"},   {L".89c", L"Ivex.89c", L"89dat.ico"},
    {L".89d", L"Ivex.89d", L"89gdb.ico"},   {L".89e", L"Ivex.89e", L"89exp.ico"},
    {L".89f", L"Ivex.89f", L"89func.ico"},  {L".89p", L"Ivex.89p", L"89prog.ico"},
    {L".89s", L"Ivex.89s", L"89str.ico"},   {L".89t", L"Ivex.89t", L"89text.ico"},
    {L".89z", L"Ivex.89z", L"89asm.ico"},   {L".89g", L"Ivex.89g", L"89group.ico"},
    {L".89l", L"Ivex.89l", L"89list.ico"},  {L".89i", L"Ivex.89i", L"89pic.ico"},
};

// The three keys of a type: the extension, the type key, its DefaultIcon.
enum class TypeKey { kExtension, kType, kDefaultIcon };

// What a value holds: the type's identifier, the location of its icon
// ("<folder>\89mat.ico,0"), or a fixed number.
enum class ValueData { kTypeId, kIconLocation, kNumber };

struct TypeValue {
  TypeKey key;
  std::wstring_view name;  // "" is the key's default value
  ValueData data;
  std::uint32_t number;    // for kNumber
};

// The keys made for a type, in order, before its values are written. Making
// the DefaultIcon key makes the type key too.
inline constexpr TypeKey kTypeKeysMade[] = {TypeKey::kExtension, TypeKey::kDefaultIcon};

// The values written for a type, in order.
inline constexpr TypeValue kTypeValues[] = {
    {TypeKey::kExtension, L"", ValueData::kTypeId, 0},
    {TypeKey::kType, L"BrowserFlags", ValueData::kNumber, 8},
    {TypeKey::kType, L"EditFlags", ValueData::kNumber, 0},
    {TypeKey::kDefaultIcon, L"", ValueData::kIconLocation, 0},
};

// The key's path below the target's classes root: ".89m", "Ivex.89m",
// "Ivex.89m\DefaultIcon".
WideText TypeKeyPath(const InstallTarget& target, const FileType& type, TypeKey key);

// The text a kTypeId or kIconLocation value holds.
WideText TypeValueText(const InstallTarget& target, const FileType& type, const TypeValue& value);

// The one rule of what is ours, for the exe and the package alike: whether
// `found` is what the installation writes at `place`, its number, or its
// text as Windows compares paths (Windows Installer spells the system
// folder as the system does).
bool HoldsOurs(const InstallTarget& target, int place, const platform::RegistryValue& found);
// The same, for `value` of `type`.
bool HoldsOurs(const InstallTarget& target, const FileType& type, const TypeValue& value,
               const platform::RegistryValue& found);

// The 48 places the registration writes, numbered in the order it writes
// them: a type's values, type after type.
constexpr int kValuesPerType = static_cast<int>(sizeof(kTypeValues) / sizeof(kTypeValues[0]));
constexpr int kPlaceCount = static_cast<int>(sizeof(kFileTypes) / sizeof(kFileTypes[0])) * kValuesPerType;
struct Place {
  const FileType& type;
  const TypeValue& value;
};
inline Place PlaceAt(int place) {
  return {kFileTypes[place / kValuesPerType], kTypeValues[place % kValuesPerType]};
}
// The place's key below the target's classes root, and what it holds when
// it is ours.
WideText PlaceKey(const InstallTarget& target, int place);
platform::RegistryValue OurValue(const InstallTarget& target, int place);

// The name a place goes by in the installation's record, "<key>|<value
// name>" (".89t|", "Ivex.89t|EditFlags"), and back: the place a name
// stands for, or -1 when it names none of the 48 (compared as Windows
// compares key names).
WideText PlaceName(const InstallTarget& target, int place);
int PlaceNamed(const InstallTarget& target, std::wstring_view name);

// The 36 keys the registration makes (three a type), as their paths below
// the target's classes root (TypeKeyPath).
constexpr int kKeyCount = static_cast<int>(sizeof(kFileTypes) / sizeof(kFileTypes[0])) * 3;
WideText KeyAt(const InstallTarget& target, int key);
// Whether `path` is one of the 36 keys (compared as Windows compares key names).
bool IsTypeKey(const InstallTarget& target, std::wstring_view path);

}  // namespace glyphary::engine
