#include "engine/package_owner.h"

#include "base/name_list.h"
#include "engine/product.h"

namespace glyphary::engine {

namespace {

constexpr std::wstring_view kUpgradeCodes = L"Software\\Classes\\Installer\\UpgradeCodes\\";

bool IsHex(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F') || (c >= L'a' && c <= L'f');
}

wchar_t Upper(wchar_t c) { return c >= L'a' && c <= L'f' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

// The 32 hex digits of a GUID, with or without its braces; false for
// anything else.
bool Digits(std::wstring_view guid, wchar_t (&digits)[32]) {
  if (guid.size() == 38 && guid.front() == L'{' && guid.back() == L'}') {
    guid = std::wstring_view(guid.data() + 1, 36);
  }
  if (guid.size() != 36) return false;
  int n = 0;
  for (std::size_t i = 0; i < guid.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash != (guid[i] == L'-')) return false;
    if (!dash) {
      if (!IsHex(guid[i])) return false;
      digits[n++] = Upper(guid[i]);
    }
  }
  return true;
}

// Packing is its own inverse: the same swaps of the same digits.
void Swap(const wchar_t (&in)[32], wchar_t (&out)[32]) {
  int at = 0;
  for (int length : {8, 4, 4}) {  // each part reversed
    for (int i = 0; i < length; ++i) out[at + i] = in[at + length - 1 - i];
    at += length;
  }
  for (; at < 32; at += 2) {  // then byte by byte, the two digits swapped
    out[at] = in[at + 1];
    out[at + 1] = in[at];
  }
}

}  // namespace

WideText PackedGuid(std::wstring_view guid) {
  wchar_t digits[32];
  wchar_t packed[32];
  if (!Digits(guid, digits)) return WideText();
  Swap(digits, packed);
  return WideText(std::wstring_view(packed, 32));
}

bool PackageInstalled(platform::Registry& registry, WideText& product_code) {
  product_code = WideText();
  NameList products;
  const WideText key = Joined(kUpgradeCodes, PackedGuid(kUpgradeCode));
  if (registry.ValueNames(platform::RegistryRoot::kLocalMachine, key, products)) return false;
  // Each value names an installed product by its packed code.
  products.ForEach([&product_code](std::wstring_view name) {
    if (!product_code.empty() || name.size() != 32) return;
    wchar_t packed[32];
    for (int i = 0; i < 32; ++i) {
      if (!IsHex(name[i])) return;
      packed[i] = Upper(name[i]);
    }
    wchar_t digits[32];
    Swap(packed, digits);
    auto part = [&digits](int from, int count) { return std::wstring_view(digits + from, count); };
    product_code = Joined(L"{", part(0, 8), L"-", part(8, 4), L"-", part(12, 4), L"-", part(16, 4),
                          L"-", part(20, 12), L"}");
  });
  return !product_code.empty();
}

Error PackageOwnsInstallation(std::wstring_view product_code) {
  Error owned(exit_codes::kPackageInstalled, L"Installed by the Windows Installer package");
  owned.Advise(Joined(L"The TI-89 file types were installed on this computer with the package "
                      L"GlypharyInstaller.msi. Remove them in Settings > Apps (Apps & Features), "
                      L"or with: msiexec /x ",
                      product_code));
  return owned;
}

}  // namespace glyphary::engine
