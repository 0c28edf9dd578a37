#include "platform/registry.h"

namespace glyphary::platform {

WideText KeyName(RegistryRoot root, std::wstring_view path) {
  std::wstring_view name = L"HKEY_CLASSES_ROOT";
  if (root == RegistryRoot::kCurrentUser) name = L"HKEY_CURRENT_USER";
  if (root == RegistryRoot::kLocalMachine) name = L"HKEY_LOCAL_MACHINE";
  return path.empty() ? WideText(name) : Joined(name, L"\\", path);
}

Error RegistryError(long status, RegistryRoot root, std::wstring_view path) {
  Error error = errors::Make(errors::NumberForSystemError(static_cast<unsigned long>(status)));
  error.At(KeyName(root, path));
  return error;
}

}  // namespace glyphary::platform
