#include "platform/win32/win32_registry.h"

#include "platform/win32/owned_handle.h"

namespace glyphary::platform {

namespace {

// The machine's own classes, which HKEY_CLASSES_ROOT merges with the
// account's.
const wchar_t kMachineClasses[] = L"Software\\Classes";

bool Missing(LONG status) { return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND; }

}  // namespace

HKEY RootKey(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::kCurrentUser: return HKEY_CURRENT_USER;
    case RegistryRoot::kLocalMachine: return HKEY_LOCAL_MACHINE;
    case RegistryRoot::kClassesRoot: break;
  }
  return HKEY_CLASSES_ROOT;
}

NarrowText ToAnsi(std::wstring_view text) {
  NarrowText out;
  if (text.empty()) return out;
  const int length = static_cast<int>(text.size());
  const int needed = WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) {
    out.Resize(text.size());
    for (size_t i = 0; i < text.size(); ++i) out.data()[i] = '?';
    return out;
  }
  out.Resize(static_cast<size_t>(needed));
  WideCharToMultiByte(CP_ACP, 0, text.data(), length, out.data(), needed, nullptr, nullptr);
  return out;
}

Win32Registry::Win32Registry()
    : write_{&RegCreateKeyExA, &RegOpenKeyExA, &RegSetValueExA, &RegCloseKey} {}

bool Win32Registry::KeyExists(RegistryRoot root, std::wstring_view path) {
  // A key this account may not open still exists: only "not found" means absent.
  OwnedKey key;
  return !Missing(RegOpenKeyExW(RootKey(root), WideText(path).c_str(), 0, KEY_QUERY_VALUE, key.receive()));
}

Error Win32Registry::CreateKey(RegistryRoot root, std::wstring_view path) {
  DWORD disposition = 0;
  LONG status = ERROR_SUCCESS;
  if (root == RegistryRoot::kClassesRoot) {
    OwnedKey key(write_.close_key);
    status = write_.create_key(RootKey(root), ToAnsi(path).c_str(), 0, nullptr,
                               REG_OPTION_NON_VOLATILE, kWriteAccess, nullptr, key.receive(),
                               &disposition);
  } else {
    OwnedKey key;
    status = RegCreateKeyExW(RootKey(root), WideText(path).c_str(), 0, nullptr,
                             REG_OPTION_NON_VOLATILE, kWriteAccess, nullptr, key.receive(),
                             &disposition);
  }
  return status == ERROR_SUCCESS ? Error() : RegistryError(status, root, path);
}

Error Win32Registry::SetAnsiValue(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                                  DWORD type, const BYTE* data, DWORD size) {
  OwnedKey key(write_.close_key);
  LONG status = write_.open_key(RootKey(root), ToAnsi(path).c_str(), 0, kWriteAccess, key.receive());
  if (status == ERROR_SUCCESS) status = write_.set_value(key.get(), ToAnsi(name).c_str(), 0, type, data, size);
  return status == ERROR_SUCCESS ? Error() : RegistryError(status, root, path);
}

Error Win32Registry::SetWideValue(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                                  DWORD type, const BYTE* data, DWORD size) {
  OwnedKey key;
  LONG status = RegOpenKeyExW(RootKey(root), WideText(path).c_str(), 0, kWriteAccess, key.receive());
  if (status == ERROR_SUCCESS) status = RegSetValueExW(key.get(), WideText(name).c_str(), 0, type, data, size);
  return status == ERROR_SUCCESS ? Error() : RegistryError(status, root, path);
}

Error Win32Registry::SetText(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                             std::wstring_view text) {
  if (root != RegistryRoot::kClassesRoot) {
    const WideText terminated(text);
    return SetWideValue(root, path, name, REG_SZ, reinterpret_cast<const BYTE*>(terminated.c_str()),
                        static_cast<DWORD>((terminated.size() + 1) * sizeof(wchar_t)));
  }
  // The size covers the converted bytes and their NUL, so that a text whose
  // ANSI form is longer than its character count is not cut.
  const NarrowText bytes = ToAnsi(text);
  return SetAnsiValue(root, path, name, REG_SZ, reinterpret_cast<const BYTE*>(bytes.c_str()),
                      static_cast<DWORD>(bytes.size() + 1));
}

Error Win32Registry::SetNumber(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                               std::uint32_t number) {
  const BYTE bytes[4] = {static_cast<BYTE>(number), static_cast<BYTE>(number >> 8),
                         static_cast<BYTE>(number >> 16), static_cast<BYTE>(number >> 24)};
  if (root != RegistryRoot::kClassesRoot) return SetWideValue(root, path, name, REG_DWORD, bytes, sizeof(bytes));
  return SetAnsiValue(root, path, name, REG_DWORD, bytes, sizeof(bytes));
}

Error Win32Registry::ReadValue(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                               RegistryValue& value, bool& found) {
  value = RegistryValue();
  found = false;
  OwnedKey key;
  LONG status = RegOpenKeyExW(RootKey(root), WideText(path).c_str(), 0, KEY_QUERY_VALUE, key.receive());
  if (Missing(status)) return Error();
  if (status != ERROR_SUCCESS) return RegistryError(status, root, path);
  const WideText value_name(name);
  DWORD type = REG_NONE;
  DWORD size = 0;
  status = RegQueryValueExW(key.get(), value_name.c_str(), nullptr, &type, nullptr, &size);
  if (Missing(status)) return Error();
  // Read as it is, whatever its type; another program may change it between
  // the two calls, so the size is asked again until it fits.
  while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
    value.bytes.Resize(size);
    DWORD got = size;
    status = RegQueryValueExW(key.get(), value_name.c_str(), nullptr, &type,
                              reinterpret_cast<BYTE*>(value.bytes.data()), &got);
    if (status == ERROR_SUCCESS) {
      value.bytes.Resize(got);
      value.type = type;
      found = true;
      return Error();
    }
    size = got > size ? got : size + 256;
  }
  if (Missing(status)) return Error();  // deleted in between
  value = RegistryValue();
  return RegistryError(status, root, path);
}

Error Win32Registry::SetValue(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                              const RegistryValue& value) {
  return SetWideValue(root, path, name, value.type,
                      reinterpret_cast<const BYTE*>(value.bytes.c_str()),
                      static_cast<DWORD>(value.bytes.size()));
}

Error Win32Registry::UseMachineClasses() {
  if (machine_classes_) return Error();
  // Opened with what this account may have (read only, for a standard
  // account), so that the override itself never needs more rights than the
  // run has.
  HKEY classes = nullptr;
  LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMachineClasses, 0, MAXIMUM_ALLOWED, &classes);
  if (status != ERROR_SUCCESS) return RegistryError(status, RegistryRoot::kLocalMachine, kMachineClasses);
  status = RegOverridePredefKey(HKEY_CLASSES_ROOT, classes);
  RegCloseKey(classes);  // the override holds the key now
  if (status != ERROR_SUCCESS) return RegistryError(status, RegistryRoot::kLocalMachine, kMachineClasses);
  machine_classes_ = true;
  return Error();
}

Error Win32Registry::ValueNames(RegistryRoot root, std::wstring_view path, NameList& names) {
  names = NameList();
  OwnedKey key;
  LONG status = RegOpenKeyExW(RootKey(root), WideText(path).c_str(), 0, KEY_QUERY_VALUE, key.receive());
  if (Missing(status)) return Error();
  for (DWORD index = 0; status == ERROR_SUCCESS; ++index) {
    wchar_t name[16384];  // the longest value name the registry allows, and its NUL
    DWORD length = sizeof(name) / sizeof(name[0]);
    status = RegEnumValueW(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_SUCCESS) names.Add(std::wstring_view(name, length));
  }
  return status == ERROR_NO_MORE_ITEMS ? Error() : RegistryError(status, root, path);
}

Error Win32Registry::DeleteValue(RegistryRoot root, std::wstring_view path,
                                 std::wstring_view name) {
  OwnedKey key;
  LONG status = RegOpenKeyExW(RootKey(root), WideText(path).c_str(), 0, KEY_SET_VALUE, key.receive());
  if (status == ERROR_SUCCESS) status = RegDeleteValueW(key.get(), WideText(name).c_str());
  return status == ERROR_SUCCESS || Missing(status) ? Error() : RegistryError(status, root, path);
}

Error Win32Registry::DeleteTree(RegistryRoot root, std::wstring_view path) {
  const LONG status = RegDeleteTreeW(RootKey(root), WideText(path).c_str());
  if (status == ERROR_SUCCESS || Missing(status)) return Error();
  return RegistryError(status, root, path);
}

Error Win32Registry::DeleteKeyIfEmpty(RegistryRoot root, std::wstring_view path, bool& deleted) {
  deleted = false;
  const WideText key_path(path);
  DWORD sub_keys = 0;
  DWORD values = 0;
  {
    OwnedKey key;
    LONG status = RegOpenKeyExW(RootKey(root), key_path.c_str(), 0, KEY_QUERY_VALUE, key.receive());
    if (Missing(status)) return Error();
    if (status == ERROR_SUCCESS) {
      status = RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &sub_keys, nullptr, nullptr,
                                &values, nullptr, nullptr, nullptr, nullptr);
    }
    if (status != ERROR_SUCCESS) return RegistryError(status, root, path);
  }  // closed before it is deleted
  if (sub_keys != 0 || values != 0) return Error();
  const LONG status = RegDeleteKeyW(RootKey(root), key_path.c_str());
  if (Missing(status)) return Error();
  if (status != ERROR_SUCCESS) return RegistryError(status, root, path);
  deleted = true;
  return Error();
}

}  // namespace glyphary::platform
