// Checks of the shippable exe as built: what it imports, how it is hardened,
// its version record, its manifest and its resources.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "windows/resource_ids.h"

namespace {

const wchar_t* const kExe = GLYPHARY_EXE_PATH;
const wchar_t* const kAgreement = GLYPHARY_AGREEMENT_PATH;

std::vector<unsigned char> ReadAll(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The parts of the PE image the checks look at.
struct PeImage {
  IMAGE_FILE_HEADER file{};
  IMAGE_OPTIONAL_HEADER64 optional{};
  std::vector<std::string> imports;
  std::vector<std::string> functions;  // imported by name, from every DLL
};

PeImage ParsePe(const std::vector<unsigned char>& bytes) {
  PeImage image;
  auto at = [&](size_t offset, size_t size) {
    if (offset + size > bytes.size()) throw std::runtime_error("truncated image");
    return bytes.data() + offset;
  };
  IMAGE_DOS_HEADER dos;
  std::memcpy(&dos, at(0, sizeof(dos)), sizeof(dos));
  size_t nt = static_cast<size_t>(dos.e_lfanew);
  std::memcpy(&image.file, at(nt + 4, sizeof(image.file)), sizeof(image.file));
  size_t optional_at = nt + 4 + sizeof(IMAGE_FILE_HEADER);
  std::memcpy(&image.optional, at(optional_at, sizeof(image.optional)), sizeof(image.optional));
  std::vector<IMAGE_SECTION_HEADER> sections(image.file.NumberOfSections);
  std::memcpy(sections.data(), at(optional_at + image.file.SizeOfOptionalHeader,
                                  sections.size() * sizeof(IMAGE_SECTION_HEADER)),
              sections.size() * sizeof(IMAGE_SECTION_HEADER));
  auto file_offset = [&](DWORD rva) -> size_t {
    for (const auto& s : sections) {
      if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.SizeOfRawData) {
        return rva - s.VirtualAddress + s.PointerToRawData;
      }
    }
    throw std::runtime_error("RVA outside every section");
  };
  DWORD import_rva = image.optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
  if (import_rva == 0) return image;
  for (size_t d = file_offset(import_rva);; d += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
    IMAGE_IMPORT_DESCRIPTOR descriptor;
    std::memcpy(&descriptor, at(d, sizeof(descriptor)), sizeof(descriptor));
    if (descriptor.Name == 0) break;
    image.imports.emplace_back(reinterpret_cast<const char*>(at(file_offset(descriptor.Name), 1)));
    const DWORD thunks = descriptor.OriginalFirstThunk != 0 ? descriptor.OriginalFirstThunk
                                                            : descriptor.FirstThunk;
    for (size_t t = file_offset(thunks);; t += sizeof(ULONGLONG)) {
      ULONGLONG entry = 0;
      std::memcpy(&entry, at(t, sizeof(entry)), sizeof(entry));
      if (entry == 0) break;
      if ((entry & IMAGE_ORDINAL_FLAG64) != 0) continue;
      // IMAGE_IMPORT_BY_NAME: a 2-byte hint, then the name.
      image.functions.emplace_back(
          reinterpret_cast<const char*>(at(file_offset(static_cast<DWORD>(entry)) + 2, 1)));
    }
  }
  return image;
}

TEST(Executable, IsA64BitGuiProgramHardenedAndImportingOnlySystemDlls) {
  PeImage image = ParsePe(ReadAll(kExe));
  EXPECT_EQ(image.file.Machine, IMAGE_FILE_MACHINE_AMD64);
  EXPECT_EQ(image.optional.Magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);
  EXPECT_EQ(image.optional.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
  const WORD hardening = IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE |
                         IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA |
                         IMAGE_DLLCHARACTERISTICS_NX_COMPAT;
  EXPECT_EQ(image.optional.DllCharacteristics & hardening, hardening);
  EXPECT_EQ(image.file.Characteristics & IMAGE_FILE_RELOCS_STRIPPED, 0);

  // Every import is a DLL of Windows itself, found in the system folder; none
  // is a compiler runtime that would have to ship beside the exe.
  const std::vector<std::string> system_dlls = {"advapi32.dll", "gdi32.dll", "kernel32.dll",
                                                "msvcrt.dll", "shell32.dll", "user32.dll"};
  ASSERT_FALSE(image.imports.empty());
  wchar_t system_dir[MAX_PATH];
  GetSystemDirectoryW(system_dir, MAX_PATH);
  for (const std::string& dll : image.imports) {
    EXPECT_NE(std::find(system_dlls.begin(), system_dlls.end(), Lower(dll)), system_dlls.end())
        << dll;
    std::wstring in_system = std::wstring(system_dir) + L"\\" + std::wstring(dll.begin(), dll.end());
    EXPECT_NE(GetFileAttributesW(in_system.c_str()), INVALID_FILE_ATTRIBUTES) << dll;
  }
}

TEST(Executable, CarriesNoneOfTheCppLibrarysExceptions) {
  // One call that may throw (a string_view's substr, a vector's at) links the
  // C++ library's exceptions and their terminate handler: about 170 KB.
  const std::vector<unsigned char> bytes = ReadAll(kExe);
  const std::string text(bytes.begin(), bytes.end());
  for (const char* mark : {"terminate called", "std::"}) {
    EXPECT_EQ(text.find(mark), std::string::npos) << "the exe holds \"" << mark << "\"";
  }
}

TEST(Executable, ImportsNothingThatTheOldestDeclaredWindowsLacks) {
  // The manifest declares Windows Vista and later. These functions came
  // with Windows 7 updates, 8, 8.1 or 10: the program looks up at run time
  // what it uses of them.
  PeImage image = ParsePe(ReadAll(kExe));
  ASSERT_GT(image.functions.size(), 50u);
  for (const char* newer :
       {"SetDefaultDllDirectories", "AddDllDirectory", "RemoveDllDirectory", "GetDpiForWindow",
        "GetDpiForSystem", "SetProcessDpiAwarenessContext", "SetThreadDpiAwarenessContext",
        "GetSystemMetricsForDpi", "AdjustWindowRectExForDpi", "SetProcessDpiAwareness"}) {
    EXPECT_EQ(std::count(image.functions.begin(), image.functions.end(), newer), 0) << newer;
  }
  EXPECT_EQ(std::count(image.functions.begin(), image.functions.end(), "GetProcAddress"), 1);
}

std::wstring VersionString(const std::vector<unsigned char>& block, const wchar_t* name) {
  wchar_t* value = nullptr;
  UINT length = 0;
  std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
  if (!VerQueryValueW(block.data(), key.c_str(), reinterpret_cast<void**>(&value), &length)) {
    return L"(missing)";
  }
  return std::wstring(value, length > 0 ? length - 1 : 0);
}

TEST(Executable, CarriesItsVersionRecord) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(kExe, &ignored);
  ASSERT_GT(size, 0u);
  std::vector<unsigned char> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(kExe, 0, size, block.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000000u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000000u);

  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(translation[0], 0x0409);
  EXPECT_EQ(translation[1], 0x04B0);

  EXPECT_EQ(VersionString(block, L"FileVersion"), L"1.00");
  EXPECT_EQ(VersionString(block, L"ProductVersion"), L"1.00");
  EXPECT_EQ(VersionString(block, L"FileDescription"), L"Application");
  EXPECT_EQ(VersionString(block, L"ProductName"), L"Glyphary Installer");
}

class ExecutableResources : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExW(kExe, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr);
  }
  void TearDown() override { FreeLibrary(module_); }

  std::string Bytes(const wchar_t* type, int id) {
    HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(id), type);
    if (found == nullptr) return std::string();
    const char* data = static_cast<const char*>(LockResource(LoadResource(module_, found)));
    return std::string(data, SizeofResource(module_, found));
  }

  HMODULE module_ = nullptr;
};

TEST_F(ExecutableResources, TheManifestAsksForNoMoreThanTheInvokersRightsAndDeclaresDpiAwareness) {
  std::string manifest = Bytes(MAKEINTRESOURCEW(24), 1);  // RT_MANIFEST, CREATEPROCESS_MANIFEST_RESOURCE_ID
  ASSERT_FALSE(manifest.empty());
  EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
  EXPECT_NE(manifest.find("uiAccess=\"false\""), std::string::npos);
  EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos);
  EXPECT_NE(manifest.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"), std::string::npos);  // 10/11
  EXPECT_NE(manifest.find("{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"), std::string::npos);  // 7
  EXPECT_NE(manifest.find("{e2011457-1546-43c5-a5fe-008deee3d3f0}"), std::string::npos);  // Vista
}

TEST_F(ExecutableResources, HoldsTheIconsPictureAndAgreementText) {
  // Icon groups: GRPICONDIR (6 bytes) then 14 bytes an image.
  // The program icon: its 16-colour 32 and 16 px images first (the windows
  // use them), then the true-colour 48 and 256 px ones for Explorer.
  std::string program = Bytes(MAKEINTRESOURCEW(14), IDI_PROGRAM);  // RT_GROUP_ICON
  ASSERT_EQ(program.size(), 6u + 4 * 14);
  EXPECT_EQ(static_cast<unsigned char>(program[6]), 32);
  EXPECT_EQ(static_cast<unsigned char>(program[20]), 16);
  EXPECT_EQ(static_cast<unsigned char>(program[34]), 48);
  EXPECT_EQ(static_cast<unsigned char>(program[48]), 0);  // 0 stands for 256
  std::string dialog = Bytes(MAKEINTRESOURCEW(14), IDI_DIALOG);
  ASSERT_EQ(dialog.size(), 6u + 14);
  EXPECT_EQ(static_cast<unsigned char>(dialog[6]), 32);

  std::string bitmap = Bytes(MAKEINTRESOURCEW(2), IDB_SPLASH);  // RT_BITMAP: the DIB without its file header
  ASSERT_GE(bitmap.size(), sizeof(BITMAPINFOHEADER));
  BITMAPINFOHEADER header;
  std::memcpy(&header, bitmap.data(), sizeof(header));
  EXPECT_EQ(header.biWidth, 227);
  EXPECT_EQ(header.biHeight, 338);
  EXPECT_EQ(header.biBitCount, 24);

  std::vector<unsigned char> shipped = ReadAll(kAgreement);
  std::string text = Bytes(MAKEINTRESOURCEW(10), IDR_AGREEMENT);  // RT_RCDATA
  EXPECT_EQ(text, std::string(shipped.begin(), shipped.end()));
  EXPECT_EQ(text.size(), 2522u);
}

}  // namespace
