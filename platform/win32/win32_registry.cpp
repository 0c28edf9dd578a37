#include "platform/win32/win32_registry.h"

#include <windows.h>

#include "base/text.h"

namespace glyphary::platform {

namespace {

HKEY ToHkey(KeyHandle handle) { return reinterpret_cast<HKEY>(handle); }

// The borrowed name with the NUL the ANSI functions need.
NarrowText Terminated(std::string_view text) { return NarrowText(text); }

}  // namespace

static_assert(sizeof(KeyHandle) == sizeof(HKEY), "a KeyHandle must carry an HKEY unchanged");

Status Win32Registry::CreateKeyEx(KeyHandle root, std::string_view sub_key,
                                  std::uint32_t reserved, const char* key_class,
                                  std::uint32_t options, std::uint32_t access,
                                  const void* security_attributes, KeyHandle* result,
                                  std::uint32_t* disposition) {
  HKEY key = nullptr;
  DWORD disp = 0;
  LONG status = RegCreateKeyExA(
      ToHkey(root), Terminated(sub_key).c_str(), reserved, const_cast<LPSTR>(key_class), options, access,
      static_cast<LPSECURITY_ATTRIBUTES>(const_cast<void*>(security_attributes)), &key, &disp);
  if (result != nullptr) *result = reinterpret_cast<KeyHandle>(key);
  if (disposition != nullptr) *disposition = disp;
  return status;
}

Status Win32Registry::OpenKeyEx(KeyHandle root, std::string_view sub_key,
                                std::uint32_t options, std::uint32_t access, KeyHandle* result) {
  HKEY key = nullptr;
  LONG status = RegOpenKeyExA(ToHkey(root), Terminated(sub_key).c_str(), options, access, &key);
  if (result != nullptr) *result = reinterpret_cast<KeyHandle>(key);
  return status;
}

Status Win32Registry::SetValueEx(KeyHandle key, std::string_view value_name,
                                 std::uint32_t reserved, std::uint32_t type,
                                 const std::uint8_t* data, std::uint32_t size) {
  return RegSetValueExA(ToHkey(key), Terminated(value_name).c_str(), reserved, type, data, size);
}

Status Win32Registry::CloseKey(KeyHandle key) { return RegCloseKey(ToHkey(key)); }

Status Win32Registry::QueryValueEx(KeyHandle key, std::string_view value_name,
                                   std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) {
  DWORD found_type = 0;
  DWORD found_size = size != nullptr ? *size : 0;
  LONG status = RegQueryValueExA(ToHkey(key), Terminated(value_name).c_str(), nullptr,
                                 &found_type, data, size != nullptr ? &found_size : nullptr);
  if (type != nullptr) *type = found_type;
  if (size != nullptr) *size = found_size;
  return status;
}

Status Win32Registry::DeleteValue(KeyHandle key, std::string_view value_name) {
  return RegDeleteValueA(ToHkey(key), Terminated(value_name).c_str());
}

Status Win32Registry::DeleteKey(KeyHandle root, std::string_view sub_key) {
  return RegDeleteKeyA(ToHkey(root), Terminated(sub_key).c_str());
}

Status Win32Registry::QueryInfoKey(KeyHandle key, std::uint32_t* sub_keys, std::uint32_t* values) {
  DWORD keys = 0, count = 0;
  LONG status = RegQueryInfoKeyA(ToHkey(key), nullptr, nullptr, nullptr, &keys, nullptr, nullptr,
                                 &count, nullptr, nullptr, nullptr, nullptr);
  if (sub_keys != nullptr) *sub_keys = keys;
  if (values != nullptr) *values = count;
  return status;
}

}  // namespace glyphary::platform
