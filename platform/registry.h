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

// The value types as Windows numbers them (REG_SZ, REG_DWORD, ...).
namespace value_type {
constexpr std::uint32_t kNone = 0;
constexpr std::uint32_t kText = 1;          // REG_SZ
constexpr std::uint32_t kExpandableText = 2;  // REG_EXPAND_SZ
constexpr std::uint32_t kBinary = 3;        // REG_BINARY
constexpr std::uint32_t kNumber = 4;        // REG_DWORD
constexpr std::uint32_t kTexts = 7;         // REG_MULTI_SZ
constexpr std::uint32_t kNumber64 = 11;     // REG_QWORD
}  // namespace value_type

// A value exactly as the registry holds it: its type and its bytes, of any
// type and any size (text as the registry stores it, UTF-16 with whatever
// NULs it carries). What is read this way and written back is the same
// value, byte for byte.
struct RegistryValue {
  std::uint32_t type = value_type::kNone;
  NarrowText bytes;  // the raw data, not text

  // A REG_SZ holding `text` and its terminating NUL, as the wide functions
  // store it; a REG_DWORD holding `number`, little-endian.
  static RegistryValue Text(std::wstring_view text);
  static RegistryValue Number(std::uint32_t number);

  // Whether this is a REG_SZ holding `text` (however many NULs end it) / a
  // REG_DWORD of four bytes holding `number`.
  bool HoldsText(std::wstring_view text) const;
  bool HoldsNumber(std::uint32_t number) const;
  // A REG_SZ's or REG_EXPAND_SZ's text without its NULs ("" for any other type).
  WideText AsText() const;

  friend bool operator==(const RegistryValue& a, const RegistryValue& b) {
    return a.type == b.type && a.bytes == b.bytes;
  }
  friend bool operator!=(const RegistryValue& a, const RegistryValue& b) { return !(a == b); }
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

  // Writes `value` as it stands, type and bytes, into an existing key (53
  // when it is missing): what ReadValue gave is put back exactly.
  [[nodiscard]] virtual Error SetValue(RegistryRoot root, std::wstring_view path,
                                       std::wstring_view name, const RegistryValue& value) = 0;

  // Reads a value of any type into `value`; `found` false (and no error)
  // when the key or the value is missing. A key that cannot be opened or a
  // value that cannot be read is an error naming the key.
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
  // no failure. The key looked at is the key deleted, and a sub-key made
  // meanwhile keeps it; a value written in the instant between the look
  // and the deletion goes with it (Windows has no call to prevent that).
  [[nodiscard]] virtual Error DeleteKeyIfEmpty(RegistryRoot root, std::wstring_view path,
                                               bool& deleted) = 0;

  // From this call on, HKEY_CLASSES_ROOT in this program means the machine's
  // own classes (HKEY_LOCAL_MACHINE\Software\Classes), not the view Windows
  // merges from them and the account's HKEY_CURRENT_USER\Software\Classes:
  // a machine-wide installation then never writes into an account's keys.
  [[nodiscard]] virtual Error UseMachineClasses() = 0;
};

}  // namespace glyphary::platform
