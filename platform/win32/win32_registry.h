// The registry on advapi32. Below HKEY_CLASSES_ROOT, keys are created and
// values written with the ANSI functions, names converted to the system's
// ANSI code page, exactly as the machine-wide installation has always
// written them (through RegistryWriteFunctions, which a test replaces).
// Below every other root (the per-user file types, the records) they are
// written with the wide functions, so that a profile path outside the ANSI
// code page ("C:\Users\Иван") is stored exactly. Reading, deleting and
// putting a value back exactly (SetValue) use the wide functions
// everywhere, so that what is compared, removed and restored is what is
// there, byte for byte.
#pragma once

#include <windows.h>

#include "base/function_ref.h"
#include "platform/registry.h"
#include "platform/win32/owned_handle.h"

namespace glyphary::platform {

// The advapi32 functions the writes below HKEY_CLASSES_ROOT are made with:
// the real ones, or a test's, which sees every call with its exact
// arguments.
struct RegistryWriteFunctions {
  decltype(&RegCreateKeyExA) create_key;
  decltype(&RegOpenKeyExA) open_key;
  decltype(&RegSetValueExA) set_value;
  decltype(&RegCloseKey) close_key;
};

// The access every key is created and opened with for writing:
// KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY |
// KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY | KEY_CREATE_LINK, not KEY_ALL_ACCESS.
constexpr REGSAM kWriteAccess = 0x3F;

class Win32Registry : public Registry {
 public:
  Win32Registry();
  explicit Win32Registry(const RegistryWriteFunctions& functions) : write_(functions) {}
  Win32Registry(const Win32Registry&) = delete;
  Win32Registry& operator=(const Win32Registry&) = delete;

  // RegOverridePredefKey: HKEY_CLASSES_ROOT, for every call of this
  // process from then on (the ANSI writes too), opens below
  // HKLM\Software\Classes. Windows keeps its own reference to the key.
  Error UseMachineClasses() override;

  bool KeyExists(RegistryRoot root, std::wstring_view path) override;
  Error CreateKey(RegistryRoot root, std::wstring_view path) override;
  Error SetText(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                std::wstring_view text) override;
  Error SetNumber(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                  std::uint32_t number) override;
  Error SetValue(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                 const RegistryValue& value) override;
  Error ReadValue(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                  RegistryValue& value, bool& found) override;
  Error ValueNames(RegistryRoot root, std::wstring_view path, NameList& names) override;
  Error DeleteValue(RegistryRoot root, std::wstring_view path, std::wstring_view name) override;
  Error DeleteTree(RegistryRoot root, std::wstring_view path) override;
  // Opens the key once, counts its sub-keys and values through that handle
  // and deletes it through the same handle (NtDeleteKey).
  Error DeleteKeyIfEmpty(RegistryRoot root, std::wstring_view path, bool& deleted) override;

  // For tests: `other` runs where another program could act between what
  // DeleteKeyIfEmpty finds and its deletion.
  void SetOtherProgram(FunctionRef<void()> other) { other_program_ = other; }

 private:
  Error SetAnsiValue(RegistryRoot root, std::wstring_view path, std::wstring_view name, DWORD type,
                     const BYTE* data, DWORD size);
  Error SetWideValue(RegistryRoot root, std::wstring_view path, std::wstring_view name, DWORD type,
                     const BYTE* data, DWORD size);

  RegistryWriteFunctions write_;
  bool machine_classes_ = false;  // HKEY_CLASSES_ROOT taken for the machine's classes
  FunctionRef<void()> other_program_;
};

// The predefined key of `root`.
HKEY RootKey(RegistryRoot root);

// `text` in the system's ANSI code page; characters it cannot hold become
// its default character ('?').
NarrowText ToAnsi(std::wstring_view text);

}  // namespace glyphary::platform
