// The registry as the installer uses it: typed operations, each on one key,
// each opening and closing its own handle. A failure comes back as an Error
// whose path names the key ("HKEY_CLASSES_ROOT\Ivex.89t"). Paths may name
// several levels at once; names compare case-insensitively; the value name
// "" is the key's default value.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/error.h"
#include "base/name_list.h"
#include "base/text.h"

namespace glyphary::platform {

enum class RegistryRoot { kClassesRoot, kCurrentUser, kLocalMachine };

// "HKEY_CLASSES_ROOT\Ivex.89m": the key as people read it, for messages.
WideText KeyName(RegistryRoot root, std::wstring_view path);

// The Error for a registry function's Win32 status concerning `path`.
Error RegistryError(long status, RegistryRoot root, std::wstring_view path);

// A value as it was read.
struct RegistryValue {
  enum class Type { kText, kNumber, kOther };
  Type type = Type::kOther;
  WideText text;             // kText (REG_SZ)
  std::uint32_t number = 0;  // kNumber (REG_DWORD)
};

class Registry {
 public:
  virtual ~Registry() = default;

  // Whether the key exists.
  virtual bool KeyExists(RegistryRoot root, std::wstring_view path) = 0;

  // Makes sure the key exists, with every missing level; an existing key and
  // its values stay as they are.
  [[nodiscard]] virtual Error CreateKey(RegistryRoot root, std::wstring_view path) = 0;

  // Writes a REG_SZ or REG_DWORD value into an existing key. A missing key is
  // not created: the write fails (53).
  [[nodiscard]] virtual Error SetText(RegistryRoot root, std::wstring_view path,
                                      std::wstring_view name, std::wstring_view text) = 0;
  [[nodiscard]] virtual Error SetNumber(RegistryRoot root, std::wstring_view path,
                                        std::wstring_view name, std::uint32_t number) = 0;

  // Reads a value into `value`; `found` false (and no error) when the key or
  // the value is missing.
  [[nodiscard]] virtual Error ReadValue(RegistryRoot root, std::wstring_view path,
                                        std::wstring_view name, RegistryValue& value,
                                        bool& found) = 0;

  // The names of the key's values, into `names` (none when the key is
  // missing).
  [[nodiscard]] virtual Error ValueNames(RegistryRoot root, std::wstring_view path,
                                         NameList& names) = 0;

  // Deletes a value; a missing key or value is no failure.
  [[nodiscard]] virtual Error DeleteValue(RegistryRoot root, std::wstring_view path,
                                          std::wstring_view name) = 0;

  // Deletes the key with all its values and sub-keys; a missing key is no
  // failure.
  [[nodiscard]] virtual Error DeleteTree(RegistryRoot root, std::wstring_view path) = 0;

  // Deletes the key if it holds no value and no sub-key; `deleted` says
  // whether it did. A key with something in it stays, and a missing key is
  // no failure.
  [[nodiscard]] virtual Error DeleteKeyIfEmpty(RegistryRoot root, std::wstring_view path,
                                               bool& deleted) = 0;
};

}  // namespace glyphary::platform
