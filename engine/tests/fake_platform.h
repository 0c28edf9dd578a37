// The in-memory stand-ins, the Platform over them that a test hands to the
// engine, and the registry values the tests compare with.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <type_traits>

#include "platform/fake/fake_file_system.h"
#include "platform/fake/fake_registry.h"
#include "platform/fake/fake_system.h"
#include "platform/platform.h"

namespace glyphary::platform {

inline void PrintTo(const FakeValue& value, std::ostream* out) {
  *out << ::testing::PrintToString(value.name) << " = "
       << (value.type == RegistryValue::Type::kNumber ? std::to_string(value.number)
                                                      : ::testing::PrintToString(value.text));
}

}  // namespace glyphary::platform

namespace glyphary::engine::testing {

struct FakePlatform {
  platform::FakeFileSystem files;
  platform::FakeRegistry registry;
  platform::FakeSystem system;
  platform::Platform platform{files, registry, system};
};

inline platform::FakeValue StoredText(const std::wstring& name, const std::wstring& text) {
  return {name, platform::RegistryValue::Type::kText, text, 0};
}

inline platform::FakeValue StoredNumber(const std::wstring& name, std::uint32_t number) {
  return {name, platform::RegistryValue::Type::kNumber, L"", number};
}

// Writes a value below HKEY_CLASSES_ROOT as another program would, making
// its key first.
template <class Data>
void Seed(platform::Registry& registry, const std::wstring& path, const std::wstring& name,
          const Data& data) {
  constexpr platform::RegistryRoot kRoot = platform::RegistryRoot::kClassesRoot;
  ASSERT_FALSE(registry.CreateKey(kRoot, path));
  if constexpr (std::is_integral_v<Data>) {
    ASSERT_FALSE(registry.SetNumber(kRoot, path, name, static_cast<std::uint32_t>(data)));
  } else {
    ASSERT_FALSE(registry.SetText(kRoot, path, name, data));
  }
}

}  // namespace glyphary::engine::testing
