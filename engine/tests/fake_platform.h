// The in-memory stand-ins, the Platform over them that a test hands to the
// engine, and the registry values the tests compare with.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <vector>
#include <ostream>
#include <string>
#include <type_traits>

#include "platform/fake/fake_file_system.h"
#include "platform/fake/fake_registry.h"
#include "platform/fake/fake_system.h"
#include "platform/platform.h"

namespace glyphary::platform {

inline void PrintTo(const FakeValue& value, std::ostream* out) {
  *out << ::testing::PrintToString(value.name) << " = type " << value.type << ":";
  for (unsigned char byte : value.bytes) *out << " " << static_cast<int>(byte);
}

}  // namespace glyphary::platform

namespace glyphary::engine::testing {

// `text` with each character beyond ASCII as '?', for a test's message.
inline std::string Narrow(std::wstring_view text) {
  std::string out;
  for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
  return out;
}

// "" when `have` holds the lines of `want`, in any order; else the first
// lines it has that `want` lacks (+) and lacks that `want` has (-).
inline std::string LinesDifference(std::vector<std::wstring> have, std::vector<std::wstring> want) {
  std::sort(have.begin(), have.end());
  std::sort(want.begin(), want.end());
  std::vector<std::wstring> extra, missing;
  std::set_difference(have.begin(), have.end(), want.begin(), want.end(), std::back_inserter(extra));
  std::set_difference(want.begin(), want.end(), have.begin(), have.end(), std::back_inserter(missing));
  std::string text;
  for (std::size_t i = 0; i < extra.size() && i < 3; ++i) text += "\n    + " + Narrow(extra[i]);
  for (std::size_t i = 0; i < missing.size() && i < 3; ++i) text += "\n    - " + Narrow(missing[i]);
  if (extra.size() + missing.size() > 6) text += "\n    ...";
  return text;
}

struct FakePlatform {
  platform::FakeFileSystem files;
  platform::FakeRegistry registry;
  platform::FakeSystem system;
  platform::Platform platform{files, registry, system};
};

// A value as the stand-in stores it: its name, type and bytes.
inline platform::FakeValue Stored(const std::wstring& name, const platform::RegistryValue& value) {
  return {name, value.type, std::string(value.bytes.c_str(), value.bytes.size())};
}
inline platform::FakeValue StoredText(const std::wstring& name, const std::wstring& text) {
  return Stored(name, platform::RegistryValue::Text(text));
}
inline platform::FakeValue StoredNumber(const std::wstring& name, std::uint32_t number) {
  return Stored(name, platform::RegistryValue::Number(number));
}
// A value of any type, as another program writes it: `type` and `bytes`.
inline platform::FakeValue StoredRaw(const std::wstring& name, std::uint32_t type, const std::string& bytes) {
  return {name, type, bytes};
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
