// Registry semantics that the installer relies on, checked on the stand-in
// and, under Wine, on the real registry.
#include <gtest/gtest.h>

#include "platform/tests/contract.h"

namespace glyphary::platform::testing {
namespace {

constexpr std::uint32_t kAccess = 0x3F;
constexpr std::uint32_t kQueryOnly = 0x1;

// A REG_SZ payload: the text and its NUL.
std::vector<std::uint8_t> Sz(const std::string& text) {
  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

class RegistryContract : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (GetParam() == "fake") under_test_ = MakeFakeRegistryUnderTest();
#ifdef _WIN32
    if (GetParam() == "win32") under_test_ = MakeWin32RegistryUnderTest();
#endif
    ASSERT_NE(under_test_, nullptr);
  }

  Registry& reg() { return under_test_->registry(); }
  std::string Path(const std::string& rest = "") const {
    return rest.empty() ? under_test_->scratch() : under_test_->scratch() + "\\" + rest;
  }

  Status Create(const std::string& path, std::uint32_t* disposition = nullptr) {
    KeyHandle key = 0;
    std::uint32_t disp = 0;
    Status status = reg().CreateKeyEx(kClassesRootHandle, path, 0, nullptr, 0, kAccess, nullptr,
                                      &key, &disp);
    if (status == kErrorSuccess) {
      EXPECT_EQ(reg().CloseKey(key), kErrorSuccess);
    }
    if (disposition != nullptr) *disposition = disp;
    return status;
  }

  Status Write(const std::string& path, const std::string& name, std::uint32_t type,
               const std::vector<std::uint8_t>& data, std::uint32_t access = kAccess) {
    KeyHandle key = 0;
    Status status = reg().OpenKeyEx(kClassesRootHandle, path, 0, access, &key);
    if (status != kErrorSuccess) return status;
    status = reg().SetValueEx(key, name, 0, type, data.data(),
                              static_cast<std::uint32_t>(data.size()));
    EXPECT_EQ(reg().CloseKey(key), kErrorSuccess);
    return status;
  }

  std::unique_ptr<RegistryUnderTest> under_test_;
};

TEST_P(RegistryContract, CreateMakesEveryLevelAndKeepsAnExistingKeyAsItIs) {
  std::uint32_t disposition = 0;
  ASSERT_EQ(Create(Path("Ivex.89m\\DefaultIcon"), &disposition), kErrorSuccess);
  EXPECT_EQ(disposition, kRegCreatedNewKey);
  EXPECT_TRUE(under_test_->Exists(Path("Ivex.89m")));
  EXPECT_TRUE(under_test_->Exists(Path("Ivex.89m\\DefaultIcon")));

  ASSERT_EQ(Write(Path("Ivex.89m"), "Other", kRegSz, Sz("keep")), kErrorSuccess);
  ASSERT_EQ(Create(Path("IVEX.89M"), &disposition), kErrorSuccess);
  EXPECT_EQ(disposition, kRegOpenedExistingKey);
  auto kept = under_test_->Read(Path("Ivex.89m"), "other");
  ASSERT_TRUE(kept.has_value());
  EXPECT_EQ(kept->data, Sz("keep"));
}

TEST_P(RegistryContract, OpenOfAMissingKeyFailsAndCreatesNothing) {
  KeyHandle key = 0;
  EXPECT_EQ(reg().OpenKeyEx(kClassesRootHandle, Path("Missing\\Deeper"), 0, kAccess, &key),
            kErrorFileNotFound);
  EXPECT_FALSE(under_test_->Exists(Path("Missing")));
  EXPECT_FALSE(under_test_->Exists(Path()));
}

TEST_P(RegistryContract, ValuesKeepTheirExactTypeAndBytes) {
  ASSERT_EQ(Create(Path(".89m")), kErrorSuccess);
  ASSERT_EQ(Write(Path(".89m"), "", kRegSz, Sz("Ivex.89m")), kErrorSuccess);
  ASSERT_EQ(Write(Path(".89m"), "BrowserFlags", kRegDword, {8, 0, 0, 0}), kErrorSuccess);

  auto text = under_test_->Read(Path(".89m"), "");
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(text->type, kRegSz);
  EXPECT_EQ(text->data.size(), 9u);
  EXPECT_EQ(text->data, Sz("Ivex.89m"));

  auto number = under_test_->Read(Path(".89m"), "browserflags");
  ASSERT_TRUE(number.has_value());
  EXPECT_EQ(number->type, kRegDword);
  EXPECT_EQ(number->data, (std::vector<std::uint8_t>{8, 0, 0, 0}));

  // A second write to the same name, spelled differently, replaces it.
  ASSERT_EQ(Write(Path(".89m"), "BROWSERFLAGS", kRegDword, {0, 1, 0, 0}), kErrorSuccess);
  EXPECT_EQ(under_test_->Read(Path(".89m"), "BrowserFlags")->data,
            (std::vector<std::uint8_t>{0, 1, 0, 0}));
}

TEST_P(RegistryContract, WritesNeedAnOpenHandleWithSetValueAccess) {
  ASSERT_EQ(Create(Path("ReadOnly")), kErrorSuccess);
  EXPECT_EQ(Write(Path("ReadOnly"), "x", kRegSz, Sz("no"), kQueryOnly), kErrorAccessDenied);
  EXPECT_FALSE(under_test_->Read(Path("ReadOnly"), "x").has_value());

  const std::vector<std::uint8_t> data = Sz("nowhere");
  EXPECT_EQ(reg().SetValueEx(0, "x", 0, kRegSz, data.data(), 8), kErrorInvalidHandle);
}

TEST_P(RegistryContract, ReadingCountingAndDeletingWorkAsTheUninstallationNeeds) {
  ASSERT_EQ(Create(Path("Ivex.89m\\DefaultIcon")), kErrorSuccess);
  ASSERT_EQ(Write(Path("Ivex.89m"), "EditFlags", kRegDword, {0, 0, 0, 0}), kErrorSuccess);
  ASSERT_EQ(Write(Path("Ivex.89m"), "", kRegSz, Sz("TI-89 Matrix")), kErrorSuccess);
  KeyHandle key = 0;
  ASSERT_EQ(reg().OpenKeyEx(kClassesRootHandle, Path("Ivex.89m"), 0, kAccess, &key), kErrorSuccess);

  std::uint32_t sub_keys = 9, values = 9;
  EXPECT_EQ(reg().QueryInfoKey(key, &sub_keys, &values), kErrorSuccess);
  EXPECT_EQ(sub_keys, 1u);
  EXPECT_EQ(values, 2u);
  std::uint32_t type = 0, size = 0;
  EXPECT_EQ(reg().QueryValueEx(key, "", &type, nullptr, &size), kErrorSuccess);
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(size, 13u);
  std::vector<std::uint8_t> bytes(4);
  size = 4;
  EXPECT_EQ(reg().QueryValueEx(key, "", &type, bytes.data(), &size), kErrorMoreData);
  bytes.resize(13);
  size = 13;
  EXPECT_EQ(reg().QueryValueEx(key, "", &type, bytes.data(), &size), kErrorSuccess);
  EXPECT_EQ(bytes, Sz("TI-89 Matrix"));
  EXPECT_EQ(reg().QueryValueEx(key, "Missing", &type, nullptr, &size), kErrorFileNotFound);

  EXPECT_EQ(reg().DeleteValue(key, "editflags"), kErrorSuccess);
  EXPECT_EQ(reg().DeleteValue(key, "EditFlags"), kErrorFileNotFound);
  EXPECT_FALSE(under_test_->Read(Path("Ivex.89m"), "EditFlags").has_value());
  EXPECT_EQ(reg().CloseKey(key), kErrorSuccess);

  // A key with a sub-key stays; without, it goes.
  EXPECT_NE(reg().DeleteKey(kClassesRootHandle, Path("Ivex.89m")), kErrorSuccess);
  EXPECT_TRUE(under_test_->Exists(Path("Ivex.89m")));
  EXPECT_EQ(reg().DeleteKey(kClassesRootHandle, Path("Ivex.89m\\DefaultIcon")), kErrorSuccess);
  EXPECT_EQ(reg().DeleteKey(kClassesRootHandle, Path("Ivex.89m")), kErrorSuccess);
  EXPECT_FALSE(under_test_->Exists(Path("Ivex.89m")));
  EXPECT_EQ(reg().DeleteKey(kClassesRootHandle, Path("Ivex.89m")), kErrorFileNotFound);
}

INSTANTIATE_TEST_SUITE_P(Implementations, RegistryContract,
                         ::testing::ValuesIn(Implementations()),
                         [](const auto& param_info) { return param_info.param; });

// The stand-in alone: handle bookkeeping the real registry does not expose.
TEST(FakeRegistry, RejectsAZeroExtendedRootAndCountsOpenHandles) {
  FakeRegistry registry;
  KeyHandle key = 0;
  std::uint32_t disposition = 0;
  EXPECT_EQ(registry.CreateKeyEx(0x80000000u, ".89m", 0, nullptr, 0, kAccess, nullptr, &key,
                                 &disposition),
            kErrorInvalidHandle);
  EXPECT_EQ(registry.KeyCount(kClassesRootHandle), 0u);

  ASSERT_EQ(registry.CreateKeyEx(kClassesRootHandle, ".89m", 0, nullptr, 0, kAccess, nullptr,
                                 &key, &disposition),
            kErrorSuccess);
  EXPECT_EQ(registry.OpenHandles(), 1u);
  EXPECT_EQ(registry.CloseKey(key), kErrorSuccess);
  EXPECT_EQ(registry.OpenHandles(), 0u);
  EXPECT_EQ(registry.CloseKey(key), kErrorInvalidHandle);
}

}  // namespace
}  // namespace glyphary::platform::testing
