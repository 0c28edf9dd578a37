#include "package/msi_source.h"

#include <cctype>
#include <cstdint>
#include <cstdio>

#include "engine/file_types.h"
#include "engine/product.h"

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

std::string MsiSource(const PackageInputs& inputs) {
  const std::string name = Narrow(engine::kProductName);
  const std::string record = Narrow(engine::kRecordKey);
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
  // The keys have one owner: where the exe's installation is recorded, the
  // package does not install (the launch condition fails: 1603).
  xml += "    <Property Id=\"EXEINSTALLATION\">\n";
  xml += "      <RegistrySearch Id=\"ExeRecord\" Root=\"HKLM\" Key=\"" + Escaped(record) +
         "\" Name=\"DisplayName\" Type=\"raw\" Win64=\"yes\"/>\n";
  xml += "    </Property>\n";
  xml += "    <Condition Message=\"" + Escaped(name) +
         " is installed on this computer by GlypharyInstaller.exe. Remove it first (Settings &gt; "
         "Apps, or GlypharyInstaller.exe /uninstall), then install this package.\">Installed OR NOT "
         "EXEINSTALLATION</Condition>\n";
  // The custom actions (package_actions.cpp), at fixed places in the
  // standard sequence. The claim of the keys runs right after
  // InstallInitialize (1500) as it is reached, before anything is written:
  // Windows runs the script's deferred actions after it, and Wine runs the
  // writing standard actions (InstallFiles, WriteRegistryValues) as they
  // are reached and the deferred actions only inside InstallFinalize, so
  // a deferred claim would come after the package's own writes, whose
  // rollback would then take away files and values of the exe's. Deferred,
  // inside the transaction: the claim's undoing, scheduled before it (a
  // rollback action; make_msi.cmake gives it that type, which wixl cannot),
  // the replaced values kept before WriteRegistryValues (5000), the claim
  // done before InstallFinalize (6600); on removal, the values put back
  // after RemoveRegistryValues (2600). The shell is told at the end of an
  // install and of an uninstall, so that the icons show (and go) without a
  // restart.
  xml += "    <Binary Id=\"Actions\" SourceFile=\"" + Escaped(inputs.actions_dll) + "\"/>\n";
  struct Action {
    const char* id;
    const char* sequence;
    const char* condition;
  };
  const Action deferred[] = {
      {"UndoClaim", "1501", "NOT Installed"},        {"PutBackReplaced", "2610", "REMOVE=\"ALL\""},
      {"SaveReplaced", "4990", "NOT Installed"},     {"ClaimDone", "6590", "NOT Installed"},
  };
  for (const Action& action : deferred) {
    xml += std::string("    <CustomAction Id=\"") + action.id + "\" BinaryKey=\"Actions\" DllEntry=\"" +
           action.id + "\" Execute=\"deferred\" Impersonate=\"no\" Return=\"check\"/>\n";
  }
  xml += "    <CustomAction Id=\"ClaimKeys\" BinaryKey=\"Actions\" DllEntry=\"ClaimKeys\" Return=\"check\"/>\n";
  xml += "    <CustomAction Id=\"TellShell\" BinaryKey=\"Actions\" DllEntry=\"TellShell\" "
         "Return=\"ignore\"/>\n";
  xml += "    <InstallExecuteSequence>\n";
  for (const Action& action : deferred) {
    xml += std::string("      <Custom Action=\"") + action.id + "\" Sequence=\"" + action.sequence + "\">" +
           Escaped(action.condition) + "</Custom>\n";
  }
  xml += "      <Custom Action=\"ClaimKeys\" Sequence=\"1502\">NOT Installed</Custom>\n";
  xml += "      <Custom Action=\"TellShell\" After=\"InstallFinalize\"/>\n";
  // An older version goes before the new one is installed (wixl would
  // remove it last). Removed last, its unregistering takes the whole
  // upgrade-code key with it under Wine, the new version's entry included:
  // the exe would then no longer see the package and remove its files.
  xml += "      <RemoveExistingProducts Before=\"InstallInitialize\"/>\n";
  xml += "    </InstallExecuteSequence>\n";

  xml += "    <Directory Id=\"TARGETDIR\" Name=\"SourceDir\">\n";
  xml += "      <Directory Id=\"System64Folder\">\n";
  xml += "        <Directory Id=\"INSTALLFOLDER\" Name=\"TI-89\">\n";
  std::vector<std::string> components;
  for (const std::string& icon : inputs.icon_files) {
    const std::string id = IconId(icon);
    components.push_back(id);
    xml += "          <Component Id=\"" + id + "\" Guid=\"" + NameGuid("GlypharyInstaller file " + icon) +
           "\" Win64=\"yes\">\n";
    xml += "            <File Id=\"" + id + "\" Name=\"" + Escaped(icon) + "\" Source=\"" +
           Escaped(inputs.icons_folder + "/" + icon) + "\" KeyPath=\"yes\"/>\n";
    xml += "          </Component>\n";
  }
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
