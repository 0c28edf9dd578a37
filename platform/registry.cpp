#include "platform/registry.h"

namespace glyphary::platform {

WideText KeyName(RegistryRoot root, std::wstring_view path) {
  std::wstring_view name = L"HKEY_CLASSES_ROOT";
  if (root == RegistryRoot::kCurrentUser) name = L"HKEY_CURRENT_USER";
  if (root == RegistryRoot::kLocalMachine) name = L"HKEY_LOCAL_MACHINE";
  return path.empty() ? WideText(name) : Joined(name, L"\\", path);
}

Error RegistryError(long status, RegistryRoot root, std::wstring_view path) {
  Error error = errors::ForSystemError(static_cast<unsigned long>(status));
  error.At(KeyName(root, path));
  return error;
}

RegistryValue RegistryValue::Text(std::wstring_view text) {
  RegistryValue value;
  value.type = value_type::kText;
  value.bytes.Reserve((text.size() + 1) * 2);
  for (std::size_t i = 0; i <= text.size(); ++i) {
    const wchar_t c = i < text.size() ? text[i] : L'\0';
    value.bytes.Append(static_cast<char>(c & 0xFF)).Append(static_cast<char>((c >> 8) & 0xFF));
  }
  return value;
}

RegistryValue RegistryValue::Number(std::uint32_t number) {
  RegistryValue value;
  value.type = value_type::kNumber;
  for (int shift = 0; shift < 32; shift += 8) value.bytes.Append(static_cast<char>((number >> shift) & 0xFF));
  return value;
}

WideText RegistryValue::AsText() const {
  WideText text;
  if (type != value_type::kText && type != value_type::kExpandableText) return text;
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.c_str());
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    text.Append(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
  }
  std::size_t length = text.size();
  while (length > 0 && text.c_str()[length - 1] == L'\0') --length;
  text.Resize(length);
  return text;
}

bool RegistryValue::HoldsText(std::wstring_view text) const {
  return type == value_type::kText && AsText() == text;
}

bool RegistryValue::HoldsNumber(std::uint32_t number) const {
  return type == value_type::kNumber && bytes == Number(number).bytes;
}

}  // namespace glyphary::platform
