// Module Reg: the only code that touches the registry. Every call opens its
// own key and closes it before returning, and returns the Win32 status of
// what it did (0 = ERROR_SUCCESS) for the caller to look at. Paths and names
// are converted to the system's ANSI code page per call.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/error.h"
#include "engine/variant.h"
#include "platform/registry.h"

namespace glyphary::engine::Reg {

// HKEY_CLASSES_ROOT as the 32-bit value the callers pass.
constexpr std::int32_t kClassesRoot = INT32_MIN;  // 0x80000000
// KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY |
// KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY | KEY_CREATE_LINK.
constexpr std::uint32_t kKeyAccess = 0x3F;
constexpr std::int32_t kRegSz = 1;     // REG_SZ
constexpr std::int32_t kRegDword = 4;  // REG_DWORD

// The 32-bit root as a key handle of this process: sign-extended, so that
// 0x80000000 becomes the predefined HKEY_CLASSES_ROOT (0xFFFFFFFF80000000 on
// x64). A zero-extended value would be an invalid handle.
platform::KeyHandle RootHandle(std::int32_t root);

// Makes sure the key `Path` (several levels at once allowed) exists below
// `Root`: RegCreateKeyExA with options 0 and access 0x3F, then RegCloseKey.
// An existing key and its values are left as they are. Returns the status of
// RegCreateKeyExA (ERROR_INVALID_FUNCTION when there is no registry).
[[nodiscard]] platform::Status CreateKey(std::wstring_view Path, std::int32_t Root);

// Writes one value into the existing key `Path` below `Root`: RegOpenKeyExA
// (never creates), WriteValue, RegCloseKey. `ValueName` "" is the default
// value; `ValueType` REG_SZ or REG_DWORD. A missing key means nothing is
// written. Returns the status of the open when it failed, otherwise that of
// the write; `conversion` as for WriteValue.
[[nodiscard]] platform::Status SetValue(std::int32_t Root, std::wstring_view Path,
                                        std::wstring_view ValueName, const Variant& Value,
                                        std::int32_t ValueType, Error* conversion = nullptr);

// The text value `ValueName` of the key `Path` below `Root`, as its ANSI
// bytes without the terminating NUL, into `value`. ERROR_FILE_NOT_FOUND when
// the key or the value is missing; ERROR_INVALID_DATA when it is no REG_SZ.
[[nodiscard]] platform::Status QueryText(std::int32_t Root, std::wstring_view Path,
                                         std::wstring_view ValueName, NarrowText& value);

// Deletes the value `ValueName` of the key `Path` below `Root`.
// ERROR_FILE_NOT_FOUND when there is no such key or value.
[[nodiscard]] platform::Status DeleteValue(std::int32_t Root, std::wstring_view Path,
                                           std::wstring_view ValueName);

// Deletes the key `Path` below `Root` if it holds no value and no sub-key;
// `deleted` says whether it did. A key with something in it stays (no
// failure); ERROR_FILE_NOT_FOUND when it is missing.
[[nodiscard]] platform::Status DeleteKeyIfEmpty(std::int32_t Root, std::wstring_view Path,
                                                bool& deleted);

// Encodes `Value` by `ValueType` and writes it into the open key `Key`:
// REG_SZ as the ANSI text with its terminating NUL, REG_DWORD as four bytes
// little-endian. Returns RegSetValueExA's status; any other type writes
// nothing and returns 0. A value that is no 32-bit number for REG_DWORD is
// not written either: the result is ERROR_INVALID_DATA and `conversion`,
// when given, receives the runtime error (6 Overflow, 13 Type mismatch).
std::int32_t WriteValue(platform::KeyHandle Key, std::wstring_view ValueName,
                        std::int32_t ValueType, const Variant& Value,
                        Error* conversion = nullptr);

}  // namespace glyphary::engine::Reg
