// The registry through advapi32's ANSI functions, as they are.
#pragma once

#include "platform/registry.h"

namespace glyphary::platform {

class Win32Registry : public Registry {
 public:
  Status CreateKeyEx(KeyHandle root, std::string_view sub_key, std::uint32_t reserved,
                     const char* key_class, std::uint32_t options, std::uint32_t access,
                     const void* security_attributes, KeyHandle* result,
                     std::uint32_t* disposition) override;
  Status OpenKeyEx(KeyHandle root, std::string_view sub_key, std::uint32_t options,
                   std::uint32_t access, KeyHandle* result) override;
  Status SetValueEx(KeyHandle key, std::string_view value_name, std::uint32_t reserved,
                    std::uint32_t type, const std::uint8_t* data, std::uint32_t size) override;
  Status CloseKey(KeyHandle key) override;
  Status QueryValueEx(KeyHandle key, std::string_view value_name, std::uint32_t* type,
                      std::uint8_t* data, std::uint32_t* size) override;
  Status DeleteValue(KeyHandle key, std::string_view value_name) override;
  Status DeleteKey(KeyHandle root, std::string_view sub_key) override;
  Status QueryInfoKey(KeyHandle key, std::uint32_t* sub_keys, std::uint32_t* values) override;
};

}  // namespace glyphary::platform
