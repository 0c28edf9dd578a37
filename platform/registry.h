// The registry as the installer uses it: the four advapi32 ANSI functions,
// with their arguments as Windows takes them, so that a stand-in can record
// exactly what would reach Windows. Every function returns the Win32 status
// (0 = ERROR_SUCCESS). Names are ANSI text, borrowed for the call.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/seam.h"

namespace glyphary::platform {

// A registry key handle, pointer-sized like HKEY.
using KeyHandle = std::uintptr_t;
// A Win32 status code (LONG).
using Status = std::int32_t;

// The predefined roots as HKEY values on a 64-bit process: the 32-bit
// constants sign-extended (HKEY_CLASSES_ROOT is ((HKEY)(LONG_PTR)(LONG)0x80000000)).
constexpr KeyHandle kClassesRootHandle = static_cast<KeyHandle>(static_cast<std::intptr_t>(INT32_MIN));
constexpr KeyHandle kCurrentUserHandle = kClassesRootHandle + 1;
constexpr KeyHandle kLocalMachineHandle = kClassesRootHandle + 2;

constexpr Status kErrorSuccess = 0;
constexpr Status kErrorFileNotFound = 2;
constexpr Status kErrorAccessDenied = 5;
constexpr Status kErrorInvalidHandle = 6;
constexpr Status kErrorInvalidParameter = 87;
constexpr Status kErrorInvalidData = 13;
constexpr Status kErrorMoreData = 234;
constexpr Status kErrorBadPathname = 161;
constexpr Status kErrorInvalidFunction = 1;

constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kRegCreatedNewKey = 1;
constexpr std::uint32_t kRegOpenedExistingKey = 2;
constexpr std::uint32_t kKeySetValue = 0x2;

class Registry {
 public:
  virtual ~Registry() = default;

  // RegCreateKeyExA: creates or opens `sub_key` (ANSI, may name several
  // levels) below `root`. On success *result holds an open handle that the
  // caller closes, and *disposition says whether the key was new.
  virtual Status CreateKeyEx(KeyHandle root, std::string_view sub_key, std::uint32_t reserved,
                             const char* key_class, std::uint32_t options, std::uint32_t access,
                             const void* security_attributes, KeyHandle* result,
                             std::uint32_t* disposition) = 0;

  // RegOpenKeyExA: opens an existing key; never creates one.
  virtual Status OpenKeyEx(KeyHandle root, std::string_view sub_key, std::uint32_t options,
                           std::uint32_t access, KeyHandle* result) = 0;

  // RegSetValueExA: writes `size` bytes from `data` as value `value_name`
  // ("" = the key's default value) of type `type`.
  virtual Status SetValueEx(KeyHandle key, std::string_view value_name, std::uint32_t reserved,
                            std::uint32_t type, const std::uint8_t* data, std::uint32_t size) = 0;

  // RegCloseKey.
  virtual Status CloseKey(KeyHandle key) = 0;

  // RegQueryValueExA: the type and bytes of value `value_name` of the open
  // `key`. `*size` is the room at `data` on the way in and the value's size
  // on the way out; ERROR_MORE_DATA (234) when the room is too small.
  virtual Status QueryValueEx(KeyHandle key, std::string_view value_name, std::uint32_t* type,
                              std::uint8_t* data, std::uint32_t* size) = 0;

  // RegDeleteValueA.
  virtual Status DeleteValue(KeyHandle key, std::string_view value_name) = 0;

  // RegDeleteKeyA: deletes `sub_key` below `root`; a key with sub-keys
  // cannot be deleted (ERROR_ACCESS_DENIED).
  virtual Status DeleteKey(KeyHandle root, std::string_view sub_key) = 0;

  // RegQueryInfoKeyA, the counts only: sub-keys and values of the open `key`.
  virtual Status QueryInfoKey(KeyHandle key, std::uint32_t* sub_keys, std::uint32_t* values) = 0;
};

using RegistrySeam = Seam<Registry>;

}  // namespace glyphary::platform
