#include "platform/win32/win32_registry.h"

#include "platform/win32/library_function.h"
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

namespace {

// The key's number of sub-keys and of values, asked through its handle.
LONG CountsOf(HKEY key, DWORD& sub_keys, DWORD& values) {
  return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &sub_keys, nullptr, nullptr, &values, nullptr,
                          nullptr, nullptr, nullptr);
}

// ntdll's NtDeleteKey, which deletes the key an open handle refers to, and
// the NTSTATUS values it answers with.
using DeleteOpenKey = LONG(WINAPI*)(HANDLE);
using StatusToError = ULONG(WINAPI*)(LONG);
constexpr LONG kStatusAccessDenied = static_cast<LONG>(0xC0000022);
constexpr LONG kStatusCannotDelete = static_cast<LONG>(0xC0000121);
constexpr LONG kStatusKeyDeleted = static_cast<LONG>(0xC000017C);

}  // namespace

Error Win32Registry::DeleteKeyIfEmpty(RegistryRoot root, std::wstring_view path, bool& deleted) {
  deleted = false;
  // The key is opened once, looked at and deleted through that one handle:
  // the key found empty is the key deleted. By its path (RegDeleteKeyW after
  // a look of its own), another program's key made at that path in between
  // would be deleted in its place, with its values.
  OwnedKey key;
  LONG status =
      RegOpenKeyExW(RootKey(root), WideText(path).c_str(), 0, KEY_QUERY_VALUE | DELETE, key.receive());
  if (Missing(status)) return Error();
  DWORD sub_keys = 0;
  DWORD values = 0;
  if (status == ERROR_SUCCESS) status = CountsOf(key.get(), sub_keys, values);
  if (status != ERROR_SUCCESS) return RegistryError(status, root, path);
  if (sub_keys != 0 || values != 0) return Error();
  if (other_program_) other_program_();
  static const auto delete_open_key = LibraryFunction<DeleteOpenKey>(L"ntdll.dll", "NtDeleteKey");
  static const auto status_to_error = LibraryFunction<StatusToError>(L"ntdll.dll", "RtlNtStatusToDosError");
  if (delete_open_key == nullptr || status_to_error == nullptr) {
    return RegistryError(ERROR_PROC_NOT_FOUND, root, path);
  }
  // The two low bits of a handle are the registry's own tag (keys opened
  // below HKEY_CLASSES_ROOT carry one); the kernel reads the handle without them.
  const LONG result =
      delete_open_key(reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(key.get()) & ~ULONG_PTR{3}));
  if (result == 0) {
    deleted = true;
    return Error();
  }
  // Another program deleted it first: it is gone, and not by this call (Wine
  // answers success here; either way whatever stands at the path now stays).
  if (result == kStatusKeyDeleted) return Error();
  // Windows deletes no key that has a sub-key (STATUS_CANNOT_DELETE; Wine
  // answers STATUS_ACCESS_DENIED), checked in the same step as the deletion:
  // one made since the look above keeps the key, someone else's now.
  if ((result == kStatusCannotDelete || result == kStatusAccessDenied) &&
      CountsOf(key.get(), sub_keys, values) == ERROR_SUCCESS && sub_keys != 0) {
    return Error();
  }
  // What stays open: a value written by another program between the look and
  // the deletion goes with the key. Windows has no call that deletes a key
  // only while it holds no value, and that window is these two calls.
  return RegistryError(static_cast<long>(status_to_error(result)), root, path);
}

}  // namespace glyphary::platform
