#include "engine/reg.h"

#include <vector>

#include "platform/ansi_codec.h"

namespace glyphary::engine::Reg {

namespace {

using platform::KeyHandle;

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

std::string Ansi(const std::wstring& text) { return platform::AnsiSeam::Get().ToAnsi(text); }

}  // namespace

platform::KeyHandle RootHandle(std::int32_t root) {
  return static_cast<KeyHandle>(static_cast<std::intptr_t>(root));
}

platform::Status CreateKey(const std::wstring& Path, std::int32_t Root) {
  platform::Registry& registry = platform::RegistrySeam::Get();
  ScopedKey key(registry);
  std::uint32_t disposition = 0;
  return registry.CreateKeyEx(RootHandle(Root), Ansi(Path), 0, nullptr, 0, kKeyAccess, nullptr,
                              key.receive(), &disposition);
}

platform::Status SetValue(std::int32_t Root, const std::wstring& Path,
                          const std::wstring& ValueName, const Variant& Value,
                          std::int32_t ValueType) {
  platform::Registry& registry = platform::RegistrySeam::Get();
  ScopedKey key(registry);
  const platform::Status opened =
      registry.OpenKeyEx(RootHandle(Root), Ansi(Path), 0, kKeyAccess, key.receive());
  // Written whether or not the open succeeded: on a failed open the handle
  // is 0 and the write fails without effect. The open's status says why.
  const platform::Status written = WriteValue(key.get(), ValueName, ValueType, Value);
  return opened != platform::kErrorSuccess ? opened : written;
}

std::int32_t WriteValue(platform::KeyHandle Key, const std::wstring& ValueName,
                        std::int32_t ValueType, const Variant& Value) {
  platform::Registry& registry = platform::RegistrySeam::Get();
  switch (ValueType) {
    case kRegSz: {
      // The size covers the converted bytes and their NUL, so that a text
      // whose ANSI form is longer or shorter than its character count is
      // neither cut nor read past its end.
      std::string bytes = Ansi(TextOf(Value));
      bytes.push_back('\0');
      return registry.SetValueEx(Key, Ansi(ValueName), 0, platform::kRegSz,
                                 reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                 static_cast<std::uint32_t>(bytes.size()));
    }
    case kRegDword: {
      std::uint32_t number = static_cast<std::uint32_t>(LongOf(Value));
      const std::uint8_t bytes[4] = {
          static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
          static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)};
      return registry.SetValueEx(Key, Ansi(ValueName), 0, platform::kRegDword, bytes, 4);
    }
    default:
      return 0;
  }
}

}  // namespace glyphary::engine::Reg
