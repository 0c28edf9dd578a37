// The registry access layer against the recording stand-in: the exact calls
// it makes, and the edge cases of creating keys and encoding values.
#include "engine/reg.h"

#include <gtest/gtest.h>

#include "engine/tests/fake_platform.h"
#include "base/error.h"

namespace glyphary::engine {
namespace {

using platform::kClassesRootHandle;
using platform::RegistryCall;
using Kind = platform::RegistryCall::Kind;

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

class RegTest : public ::testing::Test {
 protected:
  testing::FakePlatform fake_;
};

TEST_F(RegTest, TheRootReachesWindowsAsTheSignExtendedPredefinedHandle) {
  EXPECT_EQ(Reg::RootHandle(Reg::kClassesRoot), kClassesRootHandle);
  if (sizeof(void*) == 8) {
    EXPECT_EQ(static_cast<std::uint64_t>(Reg::RootHandle(Reg::kClassesRoot)),
              0xFFFFFFFF80000000ull);
  }
}

TEST_F(RegTest, CreateKeyPassesTheExactArgumentsAndClosesWhatItOpened) {
  EXPECT_EQ(Reg::CreateKey(L"Ivex.89m\\DefaultIcon", Reg::kClassesRoot), platform::kErrorSuccess);

  const auto& calls = fake_.registry.Calls();
  ASSERT_EQ(calls.size(), 2u);
  const RegistryCall& create = calls[0];
  EXPECT_EQ(create.kind, Kind::kCreateKey);
  EXPECT_EQ(create.key, kClassesRootHandle);
  EXPECT_EQ(create.sub_key, "Ivex.89m\\DefaultIcon");
  EXPECT_EQ(create.reserved, 0u);
  EXPECT_TRUE(create.class_is_null);
  EXPECT_EQ(create.options, 0u);
  EXPECT_EQ(create.access, 0x3Fu);
  EXPECT_TRUE(create.security_is_null);
  EXPECT_EQ(calls[1].kind, Kind::kCloseKey);
  EXPECT_EQ(calls[1].key, create.result);
  EXPECT_EQ(fake_.registry.OpenHandles(), 0u);
  EXPECT_TRUE(fake_.registry.KeyExists(kClassesRootHandle, "Ivex.89m"));
}

TEST_F(RegTest, CreateKeyOnAnExistingKeyKeepsItsValues) {
  fake_.registry.Seed(kClassesRootHandle, ".89m", "", 1, Bytes("Other.Type"));
  fake_.registry.Seed(kClassesRootHandle, ".89m", "Content Type", 1, Bytes("x/y"));
  EXPECT_EQ(Reg::CreateKey(L".89m", Reg::kClassesRoot), platform::kErrorSuccess);
  EXPECT_EQ(fake_.registry.Value(kClassesRootHandle, ".89m", "")->data, Bytes("Other.Type"));
  EXPECT_EQ(fake_.registry.Value(kClassesRootHandle, ".89m", "Content Type")->data, Bytes("x/y"));
}

TEST_F(RegTest, SetValueOnAMissingKeyWritesAndCreatesNothingAndSaysWhy) {
  // The open's status is the one returned: it tells why nothing was written.
  EXPECT_EQ(Reg::SetValue(Reg::kClassesRoot, L"Ivex.89m", L"BrowserFlags", std::int64_t{8},
                          Reg::kRegDword),
            platform::kErrorFileNotFound);

  EXPECT_EQ(fake_.registry.KeyCount(kClassesRootHandle), 0u);
  EXPECT_EQ(fake_.registry.ValueCount(kClassesRootHandle), 0u);
  const auto& calls = fake_.registry.Calls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[0].kind, Kind::kOpenKey);
  EXPECT_EQ(calls[0].access, 0x3Fu);
  EXPECT_EQ(calls[0].status, platform::kErrorFileNotFound);
  EXPECT_EQ(calls[1].kind, Kind::kSetValue);
  EXPECT_EQ(calls[1].key, 0u);
  EXPECT_NE(calls[1].status, platform::kErrorSuccess);
  EXPECT_EQ(fake_.registry.OpenHandles(), 0u);
}

TEST_F(RegTest, SetValueWritesTheDefaultValueUnderTheEmptyName) {
  ASSERT_EQ(Reg::CreateKey(L".89m", Reg::kClassesRoot), platform::kErrorSuccess);
  EXPECT_EQ(Reg::SetValue(Reg::kClassesRoot, L".89m", L"", WideText(L"Ivex.89m"), Reg::kRegSz),
            platform::kErrorSuccess);

  auto value = fake_.registry.Value(kClassesRootHandle, ".89m", "");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->type, 1u);
  EXPECT_EQ(value->data, Bytes(std::string("Ivex.89m\0", 9)));
  EXPECT_EQ(fake_.registry.OpenHandles(), 0u);
}

TEST_F(RegTest, WriteValueEncodesByType) {
  fake_.registry.SeedKey(kClassesRootHandle, "T");
  platform::KeyHandle key = 0;
  ASSERT_EQ(fake_.registry.OpenKeyEx(kClassesRootHandle, "T", 0, 0x3F, &key), 0);
  fake_.registry.ClearCalls();

  EXPECT_EQ(Reg::WriteValue(key, L"Eight", Reg::kRegDword, std::int64_t{8}), 0);
  EXPECT_EQ(Reg::WriteValue(key, L"Minus", Reg::kRegDword, std::int64_t{-1}), 0);
  EXPECT_EQ(Reg::WriteValue(key, L"Text", Reg::kRegDword, WideText(L" 258 ")), 0);
  EXPECT_EQ(Reg::WriteValue(key, L"Sz", Reg::kRegSz, std::int64_t{42}), 0);
  EXPECT_EQ(Reg::WriteValue(key, L"Folder", Reg::kRegSz, platform::Folder{L"C:\\A"}), 0);

  const auto& calls = fake_.registry.Calls();
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[0].type, 4u);
  EXPECT_EQ(calls[0].size, 4u);
  EXPECT_EQ(calls[0].data, (std::vector<std::uint8_t>{8, 0, 0, 0}));
  EXPECT_EQ(calls[1].data, (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(calls[2].data, (std::vector<std::uint8_t>{2, 1, 0, 0}));
  EXPECT_EQ(calls[3].data, Bytes(std::string("42\0", 3)));
  EXPECT_EQ(calls[4].data, Bytes(std::string("C:\\A\0", 5)));
  EXPECT_EQ(calls[4].size, 5u);
}

TEST_F(RegTest, WriteValueOfAnUnhandledTypeWritesNothingAndReturnsZero) {
  fake_.registry.SeedKey(kClassesRootHandle, "T");
  platform::KeyHandle key = 0;
  ASSERT_EQ(fake_.registry.OpenKeyEx(kClassesRootHandle, "T", 0, 0x3F, &key), 0);
  fake_.registry.ClearCalls();
  EXPECT_EQ(Reg::WriteValue(key, L"Expand", 2, WideText(L"%WINDIR%")), 0);
  EXPECT_EQ(Reg::WriteValue(key, L"Binary", 3, WideText(L"x")), 0);
  EXPECT_TRUE(fake_.registry.Calls().empty());
  EXPECT_TRUE(fake_.registry.ValueNames(kClassesRootHandle, "T").empty());
}

TEST_F(RegTest, RefusalsReachTheCallerAsTheirStatus) {
  EXPECT_EQ(Reg::WriteValue(0, L"x", Reg::kRegSz, WideText(L"y")),
            platform::kErrorInvalidHandle);
  fake_.registry.Refuse(kClassesRootHandle, "Locked");
  EXPECT_EQ(Reg::CreateKey(L"Locked\\DefaultIcon", Reg::kClassesRoot), platform::kErrorAccessDenied);
  fake_.registry.RefuseValue(kClassesRootHandle, "T", "EditFlags");
  EXPECT_EQ(Reg::SetValue(Reg::kClassesRoot, L"T", L"EditFlags", std::int64_t{0}, Reg::kRegDword),
            platform::kErrorAccessDenied);
  EXPECT_EQ(Reg::SetValue(Reg::kClassesRoot, L"T", L"BrowserFlags", std::int64_t{8},
                          Reg::kRegDword),
            platform::kErrorSuccess);
  EXPECT_EQ(fake_.registry.OpenHandles(), 0u);
}

TEST_F(RegTest, NumbersThatDoNotFitOrAreNoNumbersRaiseTheRuntimeErrors) {
  auto number_of = [](const Variant& value) {
    Error conversion;
    EXPECT_EQ(Reg::WriteValue(0, L"x", Reg::kRegDword, value, &conversion),
              platform::kErrorInvalidData);
    return conversion.Number();
  };
  EXPECT_EQ(number_of(std::int64_t{0x100000000}), errors::kOverflow);
  EXPECT_EQ(number_of(WideText(L"99999999999")), errors::kOverflow);
  EXPECT_EQ(number_of(WideText(L"eight")), errors::kTypeMismatch);
  EXPECT_EQ(number_of(platform::Folder{L"C:\\"}), errors::kTypeMismatch);
  EXPECT_TRUE(fake_.registry.Calls().empty());
}

// A code page in which some characters take two bytes, as the East Asian
// ANSI code pages do.
class DoubleByteCodec : public platform::AnsiCodec {
 public:
  void ToAnsi(std::wstring_view text, NarrowText& out) override {
    out.Clear();
    for (wchar_t c : text) {
      if (c < 0x80) {
        out.Append(static_cast<char>(c));
      } else {
        out.Append("\x82\xA0");
      }
    }
  }
};

TEST_F(RegTest, TextSizeCoversTheConvertedBytesAndTheirNul) {
  DoubleByteCodec codec;
  platform::AnsiSeam::Override use(codec);
  ASSERT_EQ(Reg::CreateKey(L"T", Reg::kClassesRoot), platform::kErrorSuccess);
  ASSERT_EQ(Reg::SetValue(Reg::kClassesRoot, L"T", L"", WideText(L"a\u3042b"), Reg::kRegSz),
            platform::kErrorSuccess);

  auto value = fake_.registry.Value(kClassesRootHandle, "T", "");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->data, Bytes(std::string("a\x82\xA0" "b\0", 5)));
}

TEST_F(RegTest, CharactersOutsideTheCodePageArriveAsQuestionMarks) {
  EXPECT_EQ(Reg::CreateKey(L"Caf\u00e9\u0416", Reg::kClassesRoot), platform::kErrorSuccess);
  EXPECT_EQ(fake_.registry.Calls()[0].sub_key, "Caf\xE9?");
}

}  // namespace
}  // namespace glyphary::engine
