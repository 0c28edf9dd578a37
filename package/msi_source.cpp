#include "package/msi_source.h"

#include <cctype>
#include <cstdint>
#include <cstdio>

#include "engine/file_types.h"
#include "engine/product.h"
#include "package/package_steps.h"

namespace glyphary::package {

namespace {

// The table's texts are plain ASCII (names, a type identifier, folders).
std::string Narrow(std::wstring_view text) {
  std::string out;
  for (wchar_t c : text) out.push_back(c < 128 ? static_cast<char>(c) : '?');
  return out;
}

// Text for an XML attribute.
std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::uint64_t Fnv1a(const std::string& text, std::uint64_t seed) {
  std::uint64_t hash = seed;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 0x100000001B3ull;
  }
  return hash;
}

// An identifier WiX accepts, from a file name: "89mat.ico" -> "icon_89mat_ico".
std::string IconId(const std::string& name) {
  std::string id = "icon_";
  for (char c : name) id += (std::isalnum(static_cast<unsigned char>(c)) != 0) ? c : '_';
  return id;
}

// The install folder as Windows Installer names it: System64Folder ends in
// a separator ("C:\Windows\System32\"), so this names the same folder as
// the exe's C:\WINDOWS\system32\TI-89.
constexpr std::wstring_view kPackageFolder = L"[System64Folder]TI-89";
const engine::InstallTarget kPackageTarget{engine::Scope::kMachine, L"[System64Folder]",
                                           kPackageFolder, platform::RegistryRoot::kClassesRoot,
                                           L"", platform::RegistryRoot::kLocalMachine};

}  // namespace

std::string NameGuid(const std::string& text) {
  const std::uint64_t high = Fnv1a(text, 0xCBF29CE484222325ull);
  const std::uint64_t low = Fnv1a(text, 0x84222325CBF29CE4ull ^ high);
  char out[40];
  // Version 4 and variant bits set, as a GUID's readers expect.
  std::snprintf(out, sizeof(out), "%08X-%04X-%04X-%04X-%012llX",
                static_cast<unsigned>(high >> 32), static_cast<unsigned>((high >> 16) & 0xFFFF),
                static_cast<unsigned>((high & 0x0FFF) | 0x4000),
                static_cast<unsigned>(((low >> 48) & 0x3FFF) | 0x8000),
                static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFull));
  return out;
}

std::string ProductCode(const std::string& version) {
  return NameGuid(std::string("GlypharyInstaller product ") + kUpgradeCode + " " + version);
}

std::string ActionTypeUpdates() {
  std::string sql;
  for (const PackageAction& action : kPackageActions) {
    sql += "UPDATE `CustomAction` SET `Type` = " + std::to_string(action.type) + " WHERE `Action` = '" +
           action.name + "'\n";
  }
  return sql;
}

std::string MsiSource(const PackageInputs& inputs) {
  const std::string name = Narrow(engine::kProductName);
  std::string xml;
  xml += "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
  xml += "<!-- Made by the build from the file-type table. -->\n";
  xml += "<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">\n";
  xml += "  <Product Id=\"" + ProductCode(inputs.version) + "\" Name=\"" + Escaped(name) +
         "\" Language=\"1033\" Version=\"" + Escaped(inputs.version) + "\" Manufacturer=\"" +
         Escaped(Narrow(engine::kPublisher)) + "\" UpgradeCode=\"" + kUpgradeCode + "\">\n";
  xml += "    <Package InstallerVersion=\"500\" Compressed=\"yes\" InstallScope=\"perMachine\" "
         "Description=\"The TI-89 file types and their icons\"/>\n";
  xml += "    <Media Id=\"1\" Cabinet=\"icons.cab\" EmbedCab=\"yes\"/>\n";
  xml += "    <MajorUpgrade DowngradeErrorMessage=\"A later version of " + Escaped(name) +
         " is already installed.\"/>\n";
  // Apps & Features: the icon, and no Modify or Repair buttons.
  xml += "    <Icon Id=\"program.ico\" SourceFile=\"" + Escaped(inputs.program_icon) + "\"/>\n";
  xml += "    <Property Id=\"ARPPRODUCTICON\" Value=\"program.ico\"/>\n";
  xml += "    <Property Id=\"ARPNOMODIFY\" Value=\"1\"/>\n";
  xml += "    <Property Id=\"ARPNOREPAIR\" Value=\"1\"/>\n";
  // The custom actions (package_steps.h), each with its kind and its place
  // in the sequence; wixl writes every one as a plain DLL action, and
  // make_msi.cmake then sets the type each has in kPackageActions
  // (ActionTypeUpdates).
  xml += "    <Binary Id=\"Actions\" SourceFile=\"" + Escaped(inputs.actions_dll) + "\"/>\n";
  for (const PackageAction& action : kPackageActions) {
    xml += std::string("    <CustomAction Id=\"") + action.name + "\" BinaryKey=\"Actions\" DllEntry=\"" +
           action.name + "\" Return=\"check\"/>\n";
  }
  auto sequence = [&](const char* table, bool ui) {
    xml += std::string("    <") + table + ">\n";
    for (const PackageAction& action : kPackageActions) {
      const int at = ui ? action.ui_sequence : action.sequence;
      if (at == 0) continue;
      xml += std::string("      <Custom Action=\"") + action.name + "\" Sequence=\"" + std::to_string(at) + "\"";
      xml += *action.condition == '\0' ? std::string("/>\n") : ">" + Escaped(action.condition) + "</Custom>\n";
    }
    // An older version goes before the new one is installed (wixl would
    // remove it last). Removed last, its unregistering takes the whole
    // upgrade-code key with it under Wine, the new version's entry
    // included: the exe would then no longer see the package.
    if (!ui) xml += "      <RemoveExistingProducts Before=\"InstallInitialize\"/>\n";
    xml += std::string("    </") + table + ">\n";
  };
  sequence("InstallUISequence", true);
  sequence("InstallExecuteSequence", false);

  xml += "    <Directory Id=\"TARGETDIR\" Name=\"SourceDir\">\n";
  xml += "      <Directory Id=\"System64Folder\">\n";
  xml += "        <Directory Id=\"INSTALLFOLDER\" Name=\"TI-89\">\n";
  std::vector<std::string> components;
  // Each icon in a component of its own, with a code every version keeps.
  auto icon_components = [&](const std::string& suffix, const std::string& guid_name, const char* win64) {
    for (const std::string& icon : inputs.icon_files) {
      const std::string id = IconId(icon) + suffix;
      components.push_back(id);
      xml += "          <Component Id=\"" + id + "\" Guid=\"" + NameGuid(guid_name + icon) + "\" Win64=\"" + win64 +
             "\">\n";
      xml += "            <File Id=\"" + id + "\" Name=\"" + Escaped(icon) + "\" Source=\"" +
             Escaped(inputs.icons_folder + "/" + icon) + "\" KeyPath=\"yes\"/>\n";
      xml += "          </Component>\n";
    }
  };
  icon_components("", "GlypharyInstaller file ", "yes");
  // Each type's values in one component, the first its key path.
  for (const engine::FileType& type : engine::kFileTypes) {
    const std::string id = "types_" + Narrow(type.extension).substr(1);
    components.push_back(id);
    xml += "          <Component Id=\"" + id + "\" Guid=\"" +
           NameGuid("GlypharyInstaller type " + Narrow(type.type_id)) + "\" Win64=\"yes\">\n";
    bool key_path = true;
    for (const engine::TypeValue& value : engine::kTypeValues) {
      xml += "            <RegistryValue Root=\"HKCR\" Key=\"" +
             Escaped(Narrow(engine::TypeKeyPath(kPackageTarget, type, value.key))) + "\"";
      if (!value.name.empty()) xml += " Name=\"" + Escaped(Narrow(value.name)) + "\"";
      if (value.data == engine::ValueData::kNumber) {
        xml += " Type=\"integer\" Value=\"" + std::to_string(value.number) + "\"";
      } else {
        xml += " Type=\"string\" Value=\"" +
               Escaped(Narrow(engine::TypeValueText(kPackageTarget, type, value))) + "\"";
      }
      if (key_path) xml += " KeyPath=\"yes\"";
      key_path = false;
      xml += "/>\n";
    }
    xml += "          </Component>\n";
  }
  // The package's own key names the installed product, for the exe to ask
  // Windows Installer about even when its list of related products has
  // lost it.
  components.push_back("package_key");
  xml += "          <Component Id=\"package_key\" Guid=\"" + NameGuid("GlypharyInstaller package key") +
         "\" Win64=\"yes\">\n";
  xml += "            <RegistryValue Root=\"HKLM\" Key=\"" + Escaped(Narrow(engine::kPackageKey)) +
         "\" Name=\"" + Escaped(Narrow(engine::kPackageProductValue)) +
         "\" Type=\"string\" Value=\"[ProductCode]\" KeyPath=\"yes\"/>\n";
  xml += "          </Component>\n";
  xml += "        </Directory>\n";
  xml += "      </Directory>\n";
  // The same icons where 32-bit programs look for them: on 64-bit Windows
  // their C:\Windows\System32 is SysWOW64, which an x64 package's
  // SystemFolder names. Components of their own (32-bit ones, in the
  // 32-bit folder), each with a code of its own that every version keeps.
  xml += "      <Directory Id=\"SystemFolder\">\n";
  xml += "        <Directory Id=\"WOW64FOLDER\" Name=\"TI-89\">\n";
  icon_components("_wow64", "GlypharyInstaller 32-bit file ", "no");
  xml += "        </Directory>\n";
  xml += "      </Directory>\n";
  xml += "    </Directory>\n";
  xml += "    <Feature Id=\"FileTypes\" Level=\"1\">\n";
  for (const std::string& component : components) {
    xml += "      <ComponentRef Id=\"" + component + "\"/>\n";
  }
  xml += "    </Feature>\n";
  xml += "  </Product>\n";
  xml += "</Wix>\n";
  return xml;
}

}  // namespace glyphary::package
