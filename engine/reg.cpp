#include "engine/reg.h"

#include "platform/ansi_codec.h"

namespace glyphary::engine::Reg {

namespace {

using platform::KeyHandle;
using platform::Status;

// An open registry key, closed when the owner goes out of scope. A handle
// that never opened (0) is not closed.
class ScopedKey {
 public:
  explicit ScopedKey(platform::Registry& registry) : registry_(registry) {}
  ~ScopedKey() {
    if (handle_ != 0) registry_.CloseKey(handle_);
  }
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;

  KeyHandle get() const { return handle_; }
  KeyHandle* receive() { return &handle_; }

 private:
  platform::Registry& registry_;
  KeyHandle handle_ = 0;
};

// `text` in the ANSI code page (empty when there is no converter: the
// registry calls then fail on their own).
NarrowText Ansi(std::wstring_view text) {
  NarrowText out;
  if (platform::AnsiCodec* codec = platform::AnsiSeam::Find()) codec->ToAnsi(text, out);
  return out;
}

}  // namespace

platform::KeyHandle RootHandle(std::int32_t root) {
  return static_cast<KeyHandle>(static_cast<std::intptr_t>(root));
}

Status CreateKey(std::wstring_view Path, std::int32_t Root) {
  platform::Registry* registry = platform::RegistrySeam::Find();
  if (registry == nullptr) return platform::kErrorInvalidFunction;
  ScopedKey key(*registry);
  std::uint32_t disposition = 0;
  return registry->CreateKeyEx(RootHandle(Root), Ansi(Path), 0, nullptr, 0, kKeyAccess, nullptr,
                               key.receive(), &disposition);
}

Status SetValue(std::int32_t Root, std::wstring_view Path, std::wstring_view ValueName,
                const Variant& Value, std::int32_t ValueType, Error* conversion) {
  platform::Registry* registry = platform::RegistrySeam::Find();
  if (registry == nullptr) return platform::kErrorInvalidFunction;
  ScopedKey key(*registry);
  const Status opened =
      registry->OpenKeyEx(RootHandle(Root), Ansi(Path), 0, kKeyAccess, key.receive());
  // Written whether or not the open succeeded: on a failed open the handle
  // is 0 and the write fails without effect. The open's status says why.
  const Status written = WriteValue(key.get(), ValueName, ValueType, Value, conversion);
  return opened != platform::kErrorSuccess ? opened : written;
}

Status QueryText(std::int32_t Root, std::wstring_view Path, std::wstring_view ValueName,
                 NarrowText& value) {
  value.Clear();
  platform::Registry* registry = platform::RegistrySeam::Find();
  if (registry == nullptr) return platform::kErrorInvalidFunction;
  ScopedKey key(*registry);
  Status status = registry->OpenKeyEx(RootHandle(Root), Ansi(Path), 0, kKeyAccess, key.receive());
  if (status != platform::kErrorSuccess) return status;
  const NarrowText name = Ansi(ValueName);
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  status = registry->QueryValueEx(key.get(), name, &type, nullptr, &size);
  if (status != platform::kErrorSuccess) return status;
  if (type != platform::kRegSz) return platform::kErrorInvalidData;
  value.Resize(size);
  status = registry->QueryValueEx(key.get(), name, &type, reinterpret_cast<std::uint8_t*>(value.data()),
                                  &size);
  if (status != platform::kErrorSuccess) return status;
  // The stored bytes end in their NUL (or several); the text does not.
  std::size_t length = size;
  while (length > 0 && value.c_str()[length - 1] == '\0') --length;
  value.Resize(length);
  return platform::kErrorSuccess;
}

Status DeleteValue(std::int32_t Root, std::wstring_view Path, std::wstring_view ValueName) {
  platform::Registry* registry = platform::RegistrySeam::Find();
  if (registry == nullptr) return platform::kErrorInvalidFunction;
  ScopedKey key(*registry);
  const Status status =
      registry->OpenKeyEx(RootHandle(Root), Ansi(Path), 0, kKeyAccess, key.receive());
  if (status != platform::kErrorSuccess) return status;
  return registry->DeleteValue(key.get(), Ansi(ValueName));
}

Status DeleteKeyIfEmpty(std::int32_t Root, std::wstring_view Path, bool& deleted) {
  deleted = false;
  platform::Registry* registry = platform::RegistrySeam::Find();
  if (registry == nullptr) return platform::kErrorInvalidFunction;
  std::uint32_t sub_keys = 0;
  std::uint32_t values = 0;
  {
    ScopedKey key(*registry);
    Status status =
        registry->OpenKeyEx(RootHandle(Root), Ansi(Path), 0, kKeyAccess, key.receive());
    if (status != platform::kErrorSuccess) return status;
    status = registry->QueryInfoKey(key.get(), &sub_keys, &values);
    if (status != platform::kErrorSuccess) return status;
  }  // closed before it is deleted
  if (sub_keys != 0 || values != 0) return platform::kErrorSuccess;
  const Status status = registry->DeleteKey(RootHandle(Root), Ansi(Path));
  deleted = status == platform::kErrorSuccess;
  return status;
}

std::int32_t WriteValue(platform::KeyHandle Key, std::wstring_view ValueName,
                        std::int32_t ValueType, const Variant& Value, Error* conversion) {
  platform::Registry* registry = platform::RegistrySeam::Find();
  if (registry == nullptr) return platform::kErrorInvalidFunction;
  switch (ValueType) {
    case kRegSz: {
      // The size covers the converted bytes and their NUL, so that a text
      // whose ANSI form is longer or shorter than its character count is
      // neither cut nor read past its end.
      const NarrowText bytes = Ansi(TextOf(Value));
      return registry->SetValueEx(Key, Ansi(ValueName), 0, platform::kRegSz,
                                  reinterpret_cast<const std::uint8_t*>(bytes.c_str()),
                                  static_cast<std::uint32_t>(bytes.size() + 1));
    }
    case kRegDword: {
      std::int32_t signed_number = 0;
      if (Error error = LongOf(Value, signed_number)) {
        if (conversion != nullptr) *conversion = error;
        return platform::kErrorInvalidData;
      }
      const auto number = static_cast<std::uint32_t>(signed_number);
      const std::uint8_t bytes[4] = {
          static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
          static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)};
      return registry->SetValueEx(Key, Ansi(ValueName), 0, platform::kRegDword, bytes, 4);
    }
    default:
      return 0;
  }
}

}  // namespace glyphary::engine::Reg
