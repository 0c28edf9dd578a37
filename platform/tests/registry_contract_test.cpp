// Registry semantics that the installer relies on, checked on the stand-in
// and, under Wine, on the real registry.
#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "platform/tests/contract.h"

namespace glyphary::platform::testing {
namespace {

constexpr RegistryRoot kRoot = RegistryRoot::kClassesRoot;

// A value as one text, for comparisons: "text:Ivex.89m" (a REG_SZ stored
// with exactly one NUL after its text), "number:8" (a four-byte REG_DWORD),
// "type 3: 01 ff" for anything else, "missing".
std::wstring Shown(const std::optional<RegistryValue>& value) {
  if (!value) return L"missing";
  const std::string bytes(value->bytes.c_str(), value->bytes.size());
  const bool one_nul = bytes.size() >= 2 && bytes.size() % 2 == 0 && bytes.compare(bytes.size() - 2, 2, std::string(2, '\0')) == 0 &&
                       (bytes.size() < 4 || bytes.compare(bytes.size() - 4, 2, std::string(2, '\0')) != 0);
  if (value->type == value_type::kText && one_nul) return L"text:" + std::wstring(value->AsText().view());
  if (value->type == value_type::kNumber && bytes.size() == 4) {
    return L"number:" + std::to_wstring(static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[0])) |
                                        static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[1])) << 8 |
                                        static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2])) << 16 |
                                        static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[3])) << 24);
  }
  std::wstring shown = L"type " + std::to_wstring(value->type) + L":";
  const wchar_t* digits = L"0123456789abcdef";
  for (unsigned char byte : bytes) shown += std::wstring(L" ") + digits[byte >> 4] + digits[byte & 15];
  return shown;
}

// A value of `type` holding `bytes`.
RegistryValue Raw(std::uint32_t type, const std::string& bytes) {
  RegistryValue value;
  value.type = type;
  value.bytes = NarrowText(std::string_view(bytes));
  return value;
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

  Registry& registry() { return under_test_->registry(); }
  std::wstring Path(const std::wstring& rest = L"") const {
    return rest.empty() ? under_test_->scratch() : under_test_->scratch() + L"\\" + rest;
  }
  // Read without going through the registry under test, and through it.
  std::wstring Stored(const std::wstring& path, const std::wstring& name) {
    return Shown(under_test_->Read(path, name));
  }
  std::wstring ReadBack(const std::wstring& path, const std::wstring& name) {
    RegistryValue value;
    bool found = true;
    const Error error = registry().ReadValue(kRoot, path, name, value, found);
    if (error) return L"error " + std::to_wstring(error.Number());
    return found ? Shown(value) : L"missing";
  }
  // Deletes the key if empty: "deleted", "kept", or the error number.
  std::wstring DeleteIfEmpty(const std::wstring& path) {
    bool deleted = false;
    const Error error = registry().DeleteKeyIfEmpty(kRoot, path, deleted);
    if (error) return L"error " + std::to_wstring(error.Number());
    return deleted ? L"deleted" : L"kept";
  }

  std::unique_ptr<RegistryUnderTest> under_test_;
};

TEST_P(RegistryContract, CreateMakesEveryLevelAndKeepsAnExistingKeysValues) {
  EXPECT_FALSE(registry().KeyExists(kRoot, Path(L"Ivex.89m")));
  ASSERT_FALSE(registry().CreateKey(kRoot, Path(L"Ivex.89m\\DefaultIcon")));
  EXPECT_TRUE(under_test_->Exists(Path(L"Ivex.89m")));
  EXPECT_TRUE(under_test_->Exists(Path(L"Ivex.89m\\DefaultIcon")));
  EXPECT_TRUE(registry().KeyExists(kRoot, Path(L"IVEX.89M\\defaulticon")));

  ASSERT_FALSE(registry().SetText(kRoot, Path(L"Ivex.89m"), L"Other", L"keep"));
  EXPECT_FALSE(registry().CreateKey(kRoot, Path(L"IVEX.89M")));
  EXPECT_FALSE(registry().CreateKey(kRoot, Path(L"Ivex.89m\\DefaultIcon")));
  EXPECT_EQ(Stored(Path(L"Ivex.89m"), L"other"), L"text:keep");
  EXPECT_EQ(under_test_->ValueCount(Path(L"Ivex.89m")), 1);
  EXPECT_TRUE(under_test_->Exists(Path(L"Ivex.89m\\DefaultIcon")));
}

TEST_P(RegistryContract, AWriteToAMissingKeyFailsNamingItAndCreatesNothing) {
  const std::wstring missing = Path(L"Missing\\Deeper");
  for (const Error& error : {registry().SetText(kRoot, missing, L"", L"x"),
                             registry().SetNumber(kRoot, missing, L"EditFlags", 0)}) {
    EXPECT_EQ(error.Number(), errors::kFileNotFound);
    EXPECT_EQ(error.Path(), L"HKEY_CLASSES_ROOT\\" + missing);
  }
  EXPECT_FALSE(under_test_->Exists(Path(L"Missing")));
  EXPECT_FALSE(under_test_->Exists(Path()));
}

TEST_P(RegistryContract, TextsAndNumbersReadBackExactlyAndANameInOtherCaseIsTheSameValue) {
  const std::wstring key = Path(L".89m");
  ASSERT_FALSE(registry().CreateKey(kRoot, key));
  ASSERT_FALSE(registry().SetText(kRoot, key, L"", L"Ivex.89m"));
  ASSERT_FALSE(registry().SetText(kRoot, key, L"Empty", L""));
  ASSERT_FALSE(registry().SetText(kRoot, key, L"Icon", L"C:\\WINDOWS\\system32\\TI-89\\89mat.ico,0"));
  ASSERT_FALSE(registry().SetNumber(kRoot, key, L"BrowserFlags", 8));
  ASSERT_FALSE(registry().SetNumber(kRoot, key, L"Largest", 0xFFFFFFFFu));
  const struct {
    std::wstring name, shown;
  } expected[] = {{L"", L"text:Ivex.89m"},
                  {L"empty", L"text:"},
                  {L"ICON", L"text:C:\\WINDOWS\\system32\\TI-89\\89mat.ico,0"},
                  {L"browserflags", L"number:8"},
                  {L"Largest", L"number:4294967295"}};
  for (const auto& value : expected) {
    SCOPED_TRACE(::testing::PrintToString(value.name));
    EXPECT_EQ(Stored(key, value.name), value.shown);
    EXPECT_EQ(ReadBack(key, value.name), value.shown);
  }

  ASSERT_FALSE(registry().SetNumber(kRoot, key, L"BROWSERFLAGS", 0x01020304));
  ASSERT_FALSE(registry().SetText(kRoot, key, L"largest", L"text now"));
  EXPECT_EQ(Stored(key, L"BrowserFlags"), L"number:16909060");
  EXPECT_EQ(ReadBack(key, L"Largest"), L"text:text now");
  EXPECT_EQ(under_test_->ValueCount(key), 5);
}

TEST_P(RegistryContract, AValueOfAnyTypeIsReadAndPutBackExactlyTypeAndBytes) {
  // What another program may have left at one of the installer's places:
  // what the uninstallation must put back as it was. (A REG_SZ without its
  // NUL is left out: Wine's RegSetValueExW adds one.)
  ASSERT_FALSE(registry().UseMachineClasses());
  const std::wstring key = Path(L"Ivex.89t\\DefaultIcon");
  ASSERT_FALSE(registry().CreateKey(kRoot, key));
  const struct {
    std::wstring name;
    RegistryValue value;
  } values[] = {
      {L"", Raw(value_type::kExpandableText, std::string("%\0S\0R\0%\0,\0" "1\0\0\0", 14))},
      {L"EditFlags", Raw(value_type::kBinary, std::string("\x01\x00\x01\x00\xff", 5))},
      {L"Empty", Raw(value_type::kBinary, "")},
      {L"Texts", Raw(value_type::kTexts, std::string("a\0\0\0b\0\0\0\0\0", 10))},
      {L"Wide", Raw(value_type::kNumber64, std::string("\x08\0\0\0\0\0\0\x80", 8))},
      {L"Long", Raw(value_type::kNumber, std::string("\x08\0\0\0\x01\0\0\0", 8))},
  };
  for (const auto& entry : values) ASSERT_FALSE(registry().SetValue(kRoot, key, entry.name, entry.value));
  for (const auto& entry : values) {
    SCOPED_TRACE(::testing::PrintToString(entry.name));
    RegistryValue read;
    bool found = false;
    ASSERT_FALSE(registry().ReadValue(kRoot, key, entry.name, read, found));
    EXPECT_TRUE(found);
    EXPECT_EQ(Shown(read), Shown(entry.value));
    EXPECT_EQ(Stored(key, entry.name), Shown(entry.value));
  }
  EXPECT_EQ(registry().SetValue(kRoot, Path(L"Missing"), L"", Raw(value_type::kBinary, "x")).Number(),
            errors::kFileNotFound);
  EXPECT_FALSE(under_test_->Exists(Path(L"Missing")));
}

TEST_P(RegistryContract, BelowTheCurrentUserKeysAndTextsOutsideTheAnsiCodePageComeOutExactly) {
  // A per-user installation's DefaultIcon names the profile folder, which
  // may hold any character (under Wine these tests run in code pages 1252
  // and 932: each lacks one of the two names).
  constexpr RegistryRoot kUser = RegistryRoot::kCurrentUser;
  const std::wstring top = L"Software\\" + Path();
  const std::wstring key = top + L"\\Classes\\Ivex.89m \u0416\\DefaultIcon";
  const std::wstring icons[] = {L"C:\\Users\\J\u00fcrgen\\AppData\\Local\\Glyphary\\TI-89\\89mat.ico,0",
                                L"C:\\Users\\\u0418\u0432\u0430\u043d\\AppData\\Local\\Glyphary\\TI-89\\89mat.ico,0"};
  ASSERT_FALSE(registry().CreateKey(kUser, key));
  EXPECT_TRUE(registry().KeyExists(kUser, key));
  for (const std::wstring& icon : icons) {
    ASSERT_FALSE(registry().SetText(kUser, key, L"", icon));
    ASSERT_FALSE(registry().SetNumber(kUser, key, L"N\u00e9", 8));
    RegistryValue value;
    bool found = false;
    ASSERT_FALSE(registry().ReadValue(kUser, key, L"", value, found));
    EXPECT_TRUE(found);
    EXPECT_EQ(Shown(value), L"text:" + icon);
    ASSERT_FALSE(registry().ReadValue(kUser, key, L"N\u00e9", value, found));
    EXPECT_EQ(Shown(value), L"number:8");
  }
  ASSERT_FALSE(registry().DeleteTree(kUser, top));
  EXPECT_FALSE(registry().KeyExists(kUser, top));
}

TEST_P(RegistryContract, ReadingOrDeletingWhatIsMissingIsNoFailure) {
  ASSERT_FALSE(registry().CreateKey(kRoot, Path(L"Ivex.89m")));
  ASSERT_FALSE(registry().SetNumber(kRoot, Path(L"Ivex.89m"), L"EditFlags", 0));

  EXPECT_EQ(ReadBack(Path(L"Missing"), L""), L"missing");
  EXPECT_EQ(ReadBack(Path(L"Ivex.89m"), L""), L"missing");
  EXPECT_EQ(ReadBack(Path(L"Ivex.89m"), L"BrowserFlags"), L"missing");
  EXPECT_FALSE(registry().DeleteValue(kRoot, Path(L"Missing"), L"EditFlags"));
  EXPECT_FALSE(registry().DeleteValue(kRoot, Path(L"Ivex.89m"), L"BrowserFlags"));
  EXPECT_EQ(DeleteIfEmpty(Path(L"Missing")), L"kept");
  EXPECT_FALSE(registry().KeyExists(kRoot, Path(L"Missing")));
  EXPECT_EQ(Stored(Path(L"Ivex.89m"), L"EditFlags"), L"number:0");
}

TEST_P(RegistryContract, AKeyIsDeletedOnlyWhenItHoldsNoSubKeyAndNoValue) {
  ASSERT_FALSE(registry().CreateKey(kRoot, Path(L"Ivex.89m\\DefaultIcon")));
  ASSERT_FALSE(registry().SetText(kRoot, Path(L"Ivex.89m\\DefaultIcon"), L"", L"icon,0"));
  ASSERT_FALSE(registry().SetNumber(kRoot, Path(L"Ivex.89m\\DefaultIcon"), L"EditFlags", 0));

  EXPECT_EQ(DeleteIfEmpty(Path(L"Ivex.89m")), L"kept");  // a sub-key
  EXPECT_EQ(DeleteIfEmpty(Path(L"Ivex.89m\\DefaultIcon")), L"kept");  // values
  EXPECT_FALSE(registry().DeleteValue(kRoot, Path(L"IVEX.89M\\defaulticon"), L"editflags"));
  EXPECT_EQ(Stored(Path(L"Ivex.89m\\DefaultIcon"), L"EditFlags"), L"missing");
  EXPECT_EQ(DeleteIfEmpty(Path(L"Ivex.89m\\DefaultIcon")), L"kept");  // the default value
  EXPECT_FALSE(registry().DeleteValue(kRoot, Path(L"Ivex.89m\\DefaultIcon"), L""));
  EXPECT_EQ(under_test_->ValueCount(Path(L"Ivex.89m\\DefaultIcon")), 0);

  EXPECT_EQ(DeleteIfEmpty(Path(L"Ivex.89m\\DefaultIcon")), L"deleted");
  EXPECT_FALSE(under_test_->Exists(Path(L"Ivex.89m\\DefaultIcon")));
  EXPECT_EQ(DeleteIfEmpty(Path(L"ivex.89M")), L"deleted");
  EXPECT_FALSE(under_test_->Exists(Path(L"Ivex.89m")));
  EXPECT_EQ(DeleteIfEmpty(Path(L"Ivex.89m")), L"kept");
}

TEST_P(RegistryContract, AKeyFoundEmptyIsDeletedOnlyWhileItIsTheSameKeyWithoutSubKeys) {
  // Another program acts once between the look and the deletion.
  std::function<void()> meanwhile;
  under_test_->SetOtherProgram([&] { std::exchange(meanwhile, nullptr)(); });
  const std::wstring key = Path(L"Ivex.89m");
  ASSERT_FALSE(registry().CreateKey(kRoot, key));
  meanwhile = [&] { ASSERT_FALSE(registry().CreateKey(kRoot, key + L"\\DefaultIcon")); };
  EXPECT_EQ(DeleteIfEmpty(key), L"kept");
  EXPECT_TRUE(under_test_->Exists(key + L"\\DefaultIcon"));

  // Deleted and made again, with a value, by the other program: its key stays.
  const std::wstring remade = Path(L"Ivex.89t");
  ASSERT_FALSE(registry().CreateKey(kRoot, remade));
  meanwhile = [&] {
    ASSERT_FALSE(registry().DeleteTree(kRoot, remade));
    ASSERT_FALSE(registry().CreateKey(kRoot, remade));
    ASSERT_FALSE(registry().SetText(kRoot, remade, L"", L"OtherApp.89t"));
  };
  const std::wstring result = DeleteIfEmpty(remade);  // Wine's NtDeleteKey says "deleted" again
  EXPECT_TRUE(result == L"kept" || result == L"deleted") << result;
  EXPECT_EQ(Stored(remade, L""), L"text:OtherApp.89t");

  meanwhile = [] {};
  EXPECT_EQ(DeleteIfEmpty(key + L"\\DefaultIcon"), L"deleted");
  EXPECT_FALSE(under_test_->Exists(key + L"\\DefaultIcon"));
}

TEST_P(RegistryContract, ValueNamesListsAKeysValuesAndDeleteTreeTakesTheKeyWithAllBelowIt) {
  const std::wstring key = Path(L"Record");
  ASSERT_FALSE(registry().CreateKey(kRoot, key + L"\\ReplacedValues"));
  ASSERT_FALSE(registry().SetText(kRoot, key, L"", L"Glyphary"));
  ASSERT_FALSE(registry().SetNumber(kRoot, key, L"EstimatedSize", 12));
  ASSERT_FALSE(registry().SetText(kRoot, key + L"\\ReplacedValues", L".89p|", L"OtherApp.Program"));

  NameList names;
  ASSERT_FALSE(registry().ValueNames(kRoot, key, names));
  EXPECT_EQ(names.count(), 2);
  EXPECT_TRUE(names.Contains(L""));
  EXPECT_TRUE(names.Contains(L"estimatedsize"));
  EXPECT_FALSE(registry().ValueNames(kRoot, Path(L"Missing"), names));
  EXPECT_TRUE(names.empty());

  EXPECT_FALSE(registry().DeleteTree(kRoot, key));
  EXPECT_FALSE(under_test_->Exists(key));
  EXPECT_TRUE(under_test_->Exists(Path()));
  EXPECT_FALSE(registry().DeleteTree(kRoot, key));  // missing: no failure
}

TEST_P(RegistryContract, ARefusedKeyDeniesWritesReadsAndDeletionsNamingTheKey) {
  const std::wstring locked = Path(L"Ivex.89t");
  ASSERT_FALSE(registry().CreateKey(kRoot, locked));
  ASSERT_FALSE(registry().SetNumber(kRoot, locked, L"EditFlags", 0));
  under_test_->Refuse(locked);

  RegistryValue value;
  bool found = true;
  NameList names;
  for (const Error& error : {registry().CreateKey(kRoot, locked),
                             registry().SetText(kRoot, locked, L"", L"Ivex.89t"),
                             registry().SetNumber(kRoot, locked, L"BrowserFlags", 8),
                             registry().ReadValue(kRoot, locked, L"EditFlags", value, found),
                             registry().ValueNames(kRoot, locked, names),
                             registry().DeleteValue(kRoot, locked, L"EditFlags"),
                             registry().DeleteTree(kRoot, locked)}) {
    EXPECT_EQ(error.Number(), errors::kPermissionDenied);
    EXPECT_EQ(error.Path(), L"HKEY_CLASSES_ROOT\\" + locked);
  }
  EXPECT_FALSE(found);
}

INSTANTIATE_TEST_SUITE_P(Implementations, RegistryContract,
                         ::testing::ValuesIn(Implementations()),
                         [](const auto& param_info) { return param_info.param; });

}  // namespace
}  // namespace glyphary::platform::testing
