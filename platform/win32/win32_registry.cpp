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

}  // namespace glyphary::platform
