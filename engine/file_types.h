// The twelve TI-89 variable file types and the registry entries that give
// each its icon in the shell: one table of types and one table of the values
// written for each, from which the registration and its reverse are both
// derived. Adding a value is one row of kTypeValues.
#pragma once

#include <cstdint>
#include <string_view>
#include "base/list.h"
#include "base/name_list.h"

#include "base/error.h"
#include "base/text.h"
#include "engine/product.h"
#include "platform/log.h"
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

// Whether `found` is what the installation writes for `value`.
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

// The 36 keys the registration makes (three a type), and which of them
// exist now, as their paths below the target's classes root (TypeKeyPath).
constexpr int kKeyCount = static_cast<int>(sizeof(kFileTypes) / sizeof(kFileTypes[0])) * 3;
WideText KeyAt(const InstallTarget& target, int key);
void ExistingKeys(platform::Registry& registry, const InstallTarget& target, NameList& existing);
// Whether `path` is one of the 36 keys (compared as Windows compares key names).
bool IsTypeKey(const InstallTarget& target, std::wstring_view path);

// What a place held before an installation wrote its own value there,
// exactly: the type and bytes that are put back.
struct SavedValue {
  int place;
  platform::RegistryValue before;
};

// Reads the 48 places, each as it is (any type). Into `found`, every place
// that holds something that is not ours and, with `with_ours`, every place
// that holds anything (a value exactly as ours was there before all the
// same). A place that cannot be read is an error naming its key: the run
// must stop before it writes anything.
[[nodiscard]] Error ReadPlaces(platform::Registry& registry, const InstallTarget& target,
                               List<SavedValue>& found, bool with_ours = false);

// The saved values kept below `key` of `root`, one value a place, named by
// PlaceName and holding what the place held. A name that is none of the 48
// places, or names a place a second time, is no data to act on: it goes into
// `ignored` (after "ReplacedValues: ") and is left alone.
[[nodiscard]] Error ReadSavedValues(platform::Registry& registry, platform::RegistryRoot root,
                                    std::wstring_view key, const InstallTarget& target,
                                    List<SavedValue>& saved, NameList& ignored);

// Puts each of `saved` back, type and bytes, where its place is empty (its
// key made again); a place that holds anything stays as it is, and one that
// holds exactly what was saved counts as put back. Each put back counts in
// `restored` and goes to `log`. Every value is tried; the first failure is
// returned, naming its key.
[[nodiscard]] Error PutBackSaved(platform::Registry& registry, const InstallTarget& target,
                                 const List<SavedValue>& saved, int& restored, platform::Log* log);

// Registers every type, in table order: its keys, then its values, 24 key
// creations and 48 value writes in all. Every write is made whatever the
// others did; the first failure is returned, naming its key.
[[nodiscard]] Error RegisterFileTypes(platform::Registry& registry, const InstallTarget& target);

// What taking the registrations away found and did.
struct UnregisterReport {
  int types_removed = 0;    // types of which something of ours was removed
  int values_kept = 0;      // values in our places that hold something else (changed since)
  int values_restored = 0;  // values the installation had replaced, put back
  int keys_kept = 0;        // keys of ours that hold something that is not
};

// The reverse: each value of kTypeValues deleted where it still holds what
// the installation wrote (one someone changed since stays); each key,
// deepest first, where it is then empty; then each value of `saved` put
// back, type and bytes, where its place is empty (its key comes back with
// it). A place that already holds exactly what was saved counts as put
// back. Every step is tried; the first failure is returned, naming its key.
// Each value put back, and each kept for someone else, goes to `log`.
// Keys in `keys_before` existed before the installation and stay, empty or not.
[[nodiscard]] Error UnregisterFileTypes(platform::Registry& registry, const InstallTarget& target,
                                        const List<SavedValue>& saved, UnregisterReport& report,
                                        platform::Log* log = nullptr, const NameList* keys_before = nullptr);

}  // namespace glyphary::engine
