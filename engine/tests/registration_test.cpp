// The file-type registration against the recording stand-in: the whole
// sequence of key creations and value writes, and the tree it leaves.
#include "engine/ti_info.h"

#include <gtest/gtest.h>

#include <map>

#include "engine/tests/fake_platform.h"

namespace glyphary::engine {
namespace {

using platform::kClassesRootHandle;
using Kind = platform::RegistryCall::Kind;

std::vector<std::uint8_t> Sz(const std::string& text) {
  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

// The twelve types as a user of the shell knows them, written out here
// independently of the program's table.
struct Expected {
  std::string extension, type_id, icon;
};
const std::vector<Expected> kTypes = {
    {".89m", "Ivex.89m", "89mat.ico"},   {".89c", "Ivex.89c", "89dat.ico"},
    {".89d", "Ivex.89d", "89gdb.ico"},   {".89e", "Ivex.89e", "89exp.ico"},
    {".89f", "Ivex.89f", "89func.ico"},  {".89p", "Ivex.89p", "89prog.ico"},
    {".89s", "Ivex.89s", "89str.ico"},   {".89t", "Ivex.89t", "89text.ico"},
    {".89z", "Ivex.89z", "89asm.ico"},   {".89g", "Ivex.89g", "89group.ico"},
    {".89l", "Ivex.89l", "89list.ico"},  {".89i", "Ivex.89i", "89pic.ico"},
};

class RegistrationTest : public ::testing::Test {
 protected:
  testing::FakePlatform fake_;
};

TEST_F(RegistrationTest, MakesTheSeventyTwoCallsInOrderWithExactBytes) {
  EXPECT_FALSE(TiInfo::RegisterFileTypes());

  // Each value write follows the open of its key; map a handle to its path.
  std::map<platform::KeyHandle, std::string> opened;
  for (const auto& call : fake_.registry.Calls()) {
    if (call.kind == Kind::kOpenKey) opened[call.result] = call.sub_key;
  }

  const auto writes = fake_.Writes();
  ASSERT_EQ(writes.size(), 72u);
  for (size_t row = 0; row < kTypes.size(); ++row) {
    SCOPED_TRACE("row " + std::to_string(row + 1));
    const Expected& t = kTypes[row];
    const auto* c = &writes[row * 6];
    std::string icon = "C:\\WINDOWS\\system32\\TI-89\\" + t.icon + ",0";

    EXPECT_EQ(c[0].kind, Kind::kCreateKey);
    EXPECT_EQ(c[0].sub_key, t.extension);
    EXPECT_EQ(c[1].kind, Kind::kCreateKey);
    EXPECT_EQ(c[1].sub_key, t.type_id + "\\DefaultIcon");
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(c[i].key, kClassesRootHandle);
      EXPECT_EQ(c[i].access, 0x3Fu);
      EXPECT_EQ(c[i].options, 0u);
    }

    struct Write {
      std::string path, name;
      std::uint32_t type;
      std::vector<std::uint8_t> data;
    };
    const Write expected[4] = {
        {t.extension, "", 1, Sz(t.type_id)},
        {t.type_id, "BrowserFlags", 4, {8, 0, 0, 0}},
        {t.type_id, "EditFlags", 4, {0, 0, 0, 0}},
        {t.type_id + "\\DefaultIcon", "", 1, Sz(icon)},
    };
    for (int i = 0; i < 4; ++i) {
      const auto& call = c[2 + i];
      EXPECT_EQ(call.kind, Kind::kSetValue);
      EXPECT_EQ(opened[call.key], expected[i].path);
      EXPECT_EQ(call.value_name, expected[i].name);
      EXPECT_EQ(call.type, expected[i].type);
      EXPECT_EQ(call.data, expected[i].data);
      EXPECT_EQ(call.size, expected[i].data.size());
      EXPECT_EQ(call.reserved, 0u);
      EXPECT_EQ(call.status, platform::kErrorSuccess);
    }
  }
  EXPECT_EQ(writes[0].sub_key, ".89m");
  EXPECT_EQ(writes[2].size, 9u);   // "Ivex.89m" and its NUL
  EXPECT_EQ(writes[5].size, 38u);  // row 1's icon location and its NUL
  EXPECT_EQ(fake_.registry.OpenHandles(), 0u);
}

TEST_F(RegistrationTest, LeavesThirtySixKeysWithFortyEightValues) {
  ASSERT_FALSE(TiInfo::RegisterFileTypes());

  EXPECT_EQ(fake_.registry.KeyCount(kClassesRootHandle), 36u);
  EXPECT_EQ(fake_.registry.ValueCount(kClassesRootHandle), 48u);
  for (const Expected& t : kTypes) {
    SCOPED_TRACE(t.extension);
    EXPECT_EQ(fake_.registry.Value(kClassesRootHandle, t.extension, "")->data, Sz(t.type_id));
    EXPECT_EQ(fake_.registry.ValueNames(kClassesRootHandle, t.type_id),
              (std::vector<std::string>{"BrowserFlags", "EditFlags"}));
    EXPECT_EQ(fake_.registry.Value(kClassesRootHandle, t.type_id + "\\DefaultIcon", "")->data,
              Sz("C:\\WINDOWS\\system32\\TI-89\\" + t.icon + ",0"));
  }
}

TEST_F(RegistrationTest, OverwritesAForeignAssociationAndLeavesOtherValuesAlone) {
  using platform::kRegSz;
  fake_.registry.Seed(kClassesRootHandle, ".89p", "", kRegSz, Sz("OtherApp.Program"));
  fake_.registry.Seed(kClassesRootHandle, "OtherApp.Program", "", kRegSz, Sz("Other program"));
  fake_.registry.Seed(kClassesRootHandle, "Ivex.89p", "", kRegSz, Sz("TI-89 Program"));
  fake_.registry.Seed(kClassesRootHandle, "Ivex.89p", "EditFlags", 4, {1, 0, 0, 0});

  EXPECT_FALSE(TiInfo::RegisterFileTypes());

  EXPECT_EQ(fake_.registry.Value(kClassesRootHandle, ".89p", "")->data, Sz("Ivex.89p"));
  EXPECT_EQ(fake_.registry.Value(kClassesRootHandle, "OtherApp.Program", "")->data,
            Sz("Other program"));
  EXPECT_EQ(fake_.registry.Value(kClassesRootHandle, "Ivex.89p", "")->data, Sz("TI-89 Program"));
  EXPECT_EQ(fake_.registry.Value(kClassesRootHandle, "Ivex.89p", "EditFlags")->data,
            (std::vector<std::uint8_t>{0, 0, 0, 0}));
}

TEST_F(RegistrationTest, EveryCallIsMadeAndTheFirstRefusalIsReturnedWithItsKey) {
  fake_.registry.Refuse(kClassesRootHandle, ".89c");
  fake_.registry.RefuseValue(kClassesRootHandle, "Ivex.89s\\DefaultIcon", "");

  const TiInfo::RegistryFailure failed = TiInfo::RegisterFileTypes();

  ASSERT_TRUE(failed);
  EXPECT_EQ(failed.status, platform::kErrorAccessDenied);
  EXPECT_EQ(failed.KeyPath(), L"HKEY_CLASSES_ROOT\\.89c");
  EXPECT_EQ(fake_.Writes().size(), 72u);
  EXPECT_FALSE(fake_.registry.Value(kClassesRootHandle, ".89c", "").has_value());
  EXPECT_TRUE(fake_.registry.Value(kClassesRootHandle, "Ivex.89c", "BrowserFlags").has_value());
  EXPECT_EQ(fake_.registry.Value(kClassesRootHandle, ".89i", "")->data, Sz("Ivex.89i"));
  EXPECT_FALSE(fake_.registry.Value(kClassesRootHandle, "Ivex.89s\\DefaultIcon", "").has_value());
  EXPECT_EQ(fake_.registry.OpenHandles(), 0u);

  // Only a refused default icon: that key is the one named.
  testing::FakePlatform other;
  other.registry.RefuseValue(kClassesRootHandle, "Ivex.89s\\DefaultIcon", "");
  EXPECT_EQ(TiInfo::RegisterFileTypes().KeyPath(), L"HKEY_CLASSES_ROOT\\Ivex.89s\\DefaultIcon");
}

}  // namespace
}  // namespace glyphary::engine
