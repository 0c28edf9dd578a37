// The advapi32 calls the registry writes are made with, argument by argument
// and byte by byte: the Win32 registry is given recording functions in place
// of the real ones, which note each call as one line and hand out handles
// H1, H2, ... of their own.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/transaction/transaction.h"
#include "platform/win32/win32_registry.h"

namespace glyphary::platform {
namespace {

std::vector<std::string> calls;
std::uintptr_t handles_given = 0;
std::string denied;   // a sub-key or value name refused as with an empty DACL
std::string missing;  // a sub-key that is not there
constexpr std::uintptr_t kFirstHandle = 0x4000;

std::string Key(HKEY key) {
  const auto number = reinterpret_cast<std::uintptr_t>(key);
  if (key == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
  if (number > kFirstHandle && number <= kFirstHandle + handles_given) {
    return "H" + std::to_string(number - kFirstHandle);
  }
  return "(a handle not handed out)";
}

// Bytes as C writes them: printable ASCII as it is, any other byte \xNN.
std::string Quoted(const char* data, std::size_t size) {
  std::string out = "\"";
  for (std::size_t i = 0; i < size; ++i) {
    const auto byte = static_cast<unsigned char>(data[i]);
    char escaped[8];
    std::snprintf(escaped, sizeof(escaped), "\\x%02X", byte);
    out += byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\' ? std::string(1, data[i])
                                                                       : std::string(escaped);
  }
  return out + "\"";
}
std::string Quoted(const char* text) {
  return text == nullptr ? "NULL" : Quoted(text, std::strlen(text));
}
std::string Quoted(const std::string& text) { return Quoted(text.data(), text.size()); }

std::string Access(REGSAM access) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%lX", static_cast<unsigned long>(access));
  return text;
}

// Notes `call` with how it ends; an opened key gets the next handle.
LONG Outcome(const char* name, std::string call, PHKEY result) {
  LONG status = ERROR_SUCCESS;
  if (name != nullptr && !denied.empty() && denied == name) status = ERROR_ACCESS_DENIED;
  if (name != nullptr && !missing.empty() && missing == name) status = ERROR_FILE_NOT_FOUND;
  if (status == ERROR_SUCCESS && result != nullptr) {
    *result = reinterpret_cast<HKEY>(kFirstHandle + ++handles_given);
    call += " -> " + Key(*result);
  }
  calls.push_back(call);
  return status;
}

LONG WINAPI RecordCreateKey(HKEY key, LPCSTR sub_key, DWORD reserved, LPSTR class_name,
                            DWORD options, REGSAM access, LPSECURITY_ATTRIBUTES security,
                            PHKEY result, LPDWORD disposition) {
  if (disposition != nullptr) *disposition = REG_CREATED_NEW_KEY;
  return Outcome(sub_key,
                 "RegCreateKeyExA(" + Key(key) + ", " + Quoted(sub_key) + ", " +
                     std::to_string(reserved) + ", " + Quoted(class_name) + ", " +
                     std::to_string(options) + ", " + Access(access) + ", " +
                     (security == nullptr ? "NULL" : "(security)") + ")",
                 result);
}

LONG WINAPI RecordOpenKey(HKEY key, LPCSTR sub_key, DWORD options, REGSAM access, PHKEY result) {
  return Outcome(sub_key,
                 "RegOpenKeyExA(" + Key(key) + ", " + Quoted(sub_key) + ", " +
                     std::to_string(options) + ", " + Access(access) + ")",
                 result);
}

LONG WINAPI RecordSetValue(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                           DWORD size) {
  const std::string type_name = type == REG_SZ      ? "REG_SZ"
                                : type == REG_DWORD ? "REG_DWORD"
                                                    : std::to_string(type);
  return Outcome(name,
                 "RegSetValueExA(" + Key(key) + ", " + Quoted(name) + ", " +
                     std::to_string(reserved) + ", " + type_name + ", " +
                     Quoted(reinterpret_cast<const char*>(data), size) + ", " +
                     std::to_string(size) + ")",
                 nullptr);
}

LONG WINAPI RecordCloseKey(HKEY key) { return Outcome(nullptr, "RegCloseKey(" + Key(key) + ")", nullptr); }

class Win32RegistryCalls : public ::testing::Test {
 protected:
  void SetUp() override {
    calls.clear();
    handles_given = 0;
    denied.clear();
    missing.clear();
  }
  void ExpectCalls(const std::vector<std::string>& expected) {
    ASSERT_EQ(calls.size(), expected.size());
    for (std::size_t i = 0; i < calls.size(); ++i) EXPECT_EQ(calls[i], expected[i]) << "call " << i + 1;
  }

  Win32Registry registry_{
      RegistryWriteFunctions{&RecordCreateKey, &RecordOpenKey, &RecordSetValue, &RecordCloseKey}};
};

TEST_F(Win32RegistryCalls, RegisteringTheFileTypesMakesTheSeventyTwoWritesExactlyAndClosesEachKey) {
  ASSERT_FALSE(engine::RegisterFileTypes(registry_, engine::kMachineTarget));

  // For each type in the order users know them: its two keys created, then
  // its four values set, each key closed: 24 creations and 48 values.
  const char* const types[][2] = {
      {"89m", "89mat.ico"}, {"89c", "89dat.ico"},   {"89d", "89gdb.ico"},  {"89e", "89exp.ico"},
      {"89f", "89func.ico"}, {"89p", "89prog.ico"}, {"89s", "89str.ico"},  {"89t", "89text.ico"},
      {"89z", "89asm.ico"}, {"89g", "89group.ico"}, {"89l", "89list.ico"}, {"89i", "89pic.ico"}};
  std::vector<std::string> expected;
  int handle = 0;
  auto create = [&](const std::string& path) {
    const std::string h = "H" + std::to_string(++handle);
    expected.push_back("RegCreateKeyExA(HKEY_CLASSES_ROOT, " + Quoted(path) +
                       ", 0, NULL, 0, 0x3F, NULL) -> " + h);
    expected.push_back("RegCloseKey(" + h + ")");
  };
  auto set = [&](const std::string& path, const std::string& name, const std::string& type,
                 const std::string& bytes) {
    const std::string h = "H" + std::to_string(++handle);
    expected.push_back("RegOpenKeyExA(HKEY_CLASSES_ROOT, " + Quoted(path) + ", 0, 0x3F) -> " + h);
    expected.push_back("RegSetValueExA(" + h + ", " + Quoted(name) + ", 0, " + type + ", " +
                       Quoted(bytes) + ", " + std::to_string(bytes.size()) + ")");
    expected.push_back("RegCloseKey(" + h + ")");
  };
  for (const auto& type : types) {
    const std::string extension = std::string(".") + type[0];
    const std::string type_id = std::string("Ivex.") + type[0];
    create(extension);
    create(type_id + "\\DefaultIcon");
    set(extension, "", "REG_SZ", type_id + '\0');
    set(type_id, "BrowserFlags", "REG_DWORD", std::string("\x08\0\0\0", 4));
    set(type_id, "EditFlags", "REG_DWORD", std::string(4, '\0'));
    set(type_id + "\\DefaultIcon", "", "REG_SZ",
        std::string("C:\\WINDOWS\\system32\\TI-89\\") + type[1] + ",0" + '\0');
  }
  ExpectCalls(expected);
  // The first type's texts with their NULs, as counted by hand.
  EXPECT_EQ(calls[5], R"(RegSetValueExA(H3, "", 0, REG_SZ, "Ivex.89m\x00", 9))");
  EXPECT_EQ(calls[14], R"(RegSetValueExA(H6, "", 0, REG_SZ, "C:\x5CWINDOWS\x5Csystem32\x5CTI-89\x5C89mat.ico,0\x00", 38))");
}

TEST_F(Win32RegistryCalls, NumbersGoLittleEndianAndTextsInTheAnsiCodePageWithTheSizeOfTheirBytes) {
  ASSERT_FALSE(registry_.SetNumber(RegistryRoot::kClassesRoot, L"T", L"N", 0x01020304));
  ASSERT_FALSE(registry_.SetNumber(RegistryRoot::kClassesRoot, L"T", L"Largest", 0xFFFFFFFFu));
  std::vector<std::string> expected = {
      R"(RegOpenKeyExA(HKEY_CLASSES_ROOT, "T", 0, 0x3F) -> H1)",
      R"(RegSetValueExA(H1, "N", 0, REG_DWORD, "\x04\x03\x02\x01", 4))",
      R"(RegCloseKey(H1))",
      R"(RegOpenKeyExA(HKEY_CLASSES_ROOT, "T", 0, 0x3F) -> H2)",
      R"(RegSetValueExA(H2, "Largest", 0, REG_DWORD, "\xFF\xFF\xFF\xFF", 4))",
      R"(RegCloseKey(H2))",
  };

  // Windows' own ANSI code page is the one written in; under Wine it follows
  // the locale the test runs in (see CMakeLists.txt).
  const UINT code_page = GetACP();
  if (code_page == 1252) {
    // Characters the code page lacks arrive as '?', the others as its bytes.
    ASSERT_FALSE(registry_.CreateKey(RegistryRoot::kClassesRoot, L"Caf\u00e9\u0416"));
    ASSERT_FALSE(registry_.SetText(RegistryRoot::kClassesRoot, L"Caf\u00e9\u0416",
                                   L"\u0418\u043c\u044f", L"\u0416\u0416 caf\u00e9"));
    expected.insert(expected.end(), {
        R"(RegCreateKeyExA(HKEY_CLASSES_ROOT, "Caf\xE9?", 0, NULL, 0, 0x3F, NULL) -> H3)",
        R"(RegCloseKey(H3))",
        R"(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Caf\xE9?", 0, 0x3F) -> H4)",
        R"(RegSetValueExA(H4, "???", 0, REG_SZ, "?? caf\xE9\x00", 8))",
        R"(RegCloseKey(H4))",
    });
  } else if (code_page == 932) {
    // Two bytes a character: the size counts the bytes, not the characters.
    ASSERT_FALSE(registry_.SetText(RegistryRoot::kClassesRoot, L"T", L"", L"a\u3042\u3044b"));
    expected.insert(expected.end(), {
        R"(RegOpenKeyExA(HKEY_CLASSES_ROOT, "T", 0, 0x3F) -> H3)",
        R"(RegSetValueExA(H3, "", 0, REG_SZ, "a\x82\xA0\x82\xA2b\x00", 7))",
        R"(RegCloseKey(H3))",
    });
  } else {
    GTEST_SKIP() << "no expectations for ANSI code page " << code_page;
  }
  ExpectCalls(expected);
}

TEST_F(Win32RegistryCalls, ARefusedCallEndsTheWriteClosesWhatWasOpenedAndNamesTheKey) {
  denied = "Locked\\DefaultIcon";
  Error error = registry_.CreateKey(RegistryRoot::kClassesRoot, L"Locked\\DefaultIcon");
  EXPECT_EQ(error.Number(), errors::kPermissionDenied);
  EXPECT_EQ(error.Path(), L"HKEY_CLASSES_ROOT\\Locked\\DefaultIcon");

  missing = "Ivex.89m";
  error = registry_.SetNumber(RegistryRoot::kClassesRoot, L"Ivex.89m", L"BrowserFlags", 8);
  EXPECT_EQ(error.Number(), errors::kFileNotFound);
  EXPECT_EQ(error.Path(), L"HKEY_CLASSES_ROOT\\Ivex.89m");

  denied = "EditFlags";
  error = registry_.SetNumber(RegistryRoot::kClassesRoot, L"Ivex.89t", L"EditFlags", 0);
  EXPECT_EQ(error.Number(), errors::kPermissionDenied);
  EXPECT_EQ(error.Path(), L"HKEY_CLASSES_ROOT\\Ivex.89t");

  ExpectCalls({
      R"(RegCreateKeyExA(HKEY_CLASSES_ROOT, "Locked\x5CDefaultIcon", 0, NULL, 0, 0x3F, NULL))",
      R"(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Ivex.89m", 0, 0x3F))",
      R"(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Ivex.89t", 0, 0x3F) -> H1)",
      R"(RegSetValueExA(H1, "EditFlags", 0, REG_DWORD, "\x00\x00\x00\x00", 4))",
      R"(RegCloseKey(H1))",
  });
}

}  // namespace
}  // namespace glyphary::platform
