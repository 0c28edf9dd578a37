// The package's WiX source, made from the file-type table: the same keys and
// values as the exe writes, codes that stay put where they must and change
// where they must.
#include "package/msi_source.h"
#include "package/package_steps.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>

namespace glyphary::package {
namespace {

PackageInputs Inputs(const std::string& version = "1.0.0.0") {
  PackageInputs inputs;
  inputs.version = version;
  inputs.icons_folder = "Icons";
  inputs.program_icon = "program.ico";
  inputs.actions_dll = "package_actions.dll";
  inputs.icon_files = {"89asm.ico", "89mat.ico", "89pic.ico", "R&D.ico"};
  return inputs;
}

// Every match of `pattern`'s first group in `text`.
std::vector<std::string> All(const std::string& text, const std::string& pattern) {
  std::vector<std::string> found;
  const std::regex re(pattern);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it) {
    found.push_back((*it)[1]);
  }
  return found;
}

TEST(MsiSource, WritesTheTablesThirtySixKeysAndFortyEightValuesAndInstallsEveryIcon) {
  const std::string xml = MsiSource(Inputs());
  const std::vector<std::string> values = All(xml, "(<RegistryValue Root=\"HKCR\"[^>]*/>)");
  ASSERT_EQ(values.size(), 48u);
  std::set<std::string> keys;
  for (const std::string& value : values) {
    EXPECT_NE(value.find("Root=\"HKCR\""), std::string::npos) << value;
    keys.insert(All(value, "Key=\"([^\"]*)\"").at(0));
  }
  EXPECT_EQ(keys.size(), 36u);
  // Some of them whole, as the exe writes them (the folder as Windows
  // Installer names it: System64Folder ends in its separator).
  for (const char* expected :
       {R"(<RegistryValue Root="HKCR" Key=".89m" Type="string" Value="Ivex.89m" KeyPath="yes"/>)",
        R"(<RegistryValue Root="HKCR" Key="Ivex.89m" Name="BrowserFlags" Type="integer" Value="8"/>)",
        R"(<RegistryValue Root="HKCR" Key="Ivex.89m" Name="EditFlags" Type="integer" Value="0"/>)",
        R"(<RegistryValue Root="HKCR" Key="Ivex.89i\DefaultIcon" Type="string" Value="[System64Folder]TI-89\89pic.ico,0"/>)"}) {
    EXPECT_NE(xml.find(expected), std::string::npos) << expected;
  }
  // Each icon in its own component, in System32\TI-89 and again, as a
  // 32-bit component, in the TI-89 folder 32-bit programs reach (an x64
  // package's SystemFolder is SysWOW64), a name XML must escape included; a
  // component for each type; all in the one feature.
  EXPECT_EQ(All(xml, "<File Id=\"([^\"]*)\"").size(), 2u * 4u);
  EXPECT_EQ(All(xml, "(Name=\"R&amp;D.ico\" Source=\"Icons/R&amp;D.ico\")").size(), 2u);
  const std::size_t system64 = xml.find(R"(<Directory Id="System64Folder">)");
  const std::size_t system32 = xml.find(R"(<Directory Id="SystemFolder">)");
  ASSERT_NE(system64, std::string::npos);
  ASSERT_NE(system32, std::string::npos);
  EXPECT_NE(xml.find(R"(<Directory Id="INSTALLFOLDER" Name="TI-89">)"), std::string::npos);
  EXPECT_TRUE(std::regex_search(xml.substr(system32),
                                std::regex(R"(^<Directory Id="SystemFolder">\s*<Directory Id="WOW64FOLDER" Name="TI-89">)")));
  EXPECT_EQ(All(xml.substr(system32), "<Component Id=\"[^\"]*\" Guid=\"[^\"]*\" Win64=\"(no)\">").size(), 4u);
  const std::vector<std::string> components = All(xml, "<Component Id=\"([^\"]*)\"");
  EXPECT_EQ(components.size(), 2u * 4u + 12u + 1u);  // and the package's own key
  EXPECT_EQ(All(xml, "<ComponentRef Id=\"([^\"]*)\"/>"), components);
}

TEST(MsiSource, OneUpgradeCodeForEveryVersionAndStableCodesForEachComponent) {
  const std::string one = MsiSource(Inputs("1.0.0.0"));
  const std::string two = MsiSource(Inputs("1.1.0.0"));
  const std::string code = std::string("UpgradeCode=\"") + kUpgradeCode + "\"";
  EXPECT_NE(one.find(code), std::string::npos);
  EXPECT_NE(two.find(code), std::string::npos);
  EXPECT_NE(one.find(R"(<MajorUpgrade )"), std::string::npos);
  // A new product code for a new version, the same one for the same.
  EXPECT_EQ(ProductCode("1.0.0.0"), ProductCode("1.0.0.0"));
  EXPECT_NE(ProductCode("1.0.0.0"), ProductCode("1.1.0.0"));
  EXPECT_NE(one.find("Product Id=\"" + ProductCode("1.0.0.0") + "\""), std::string::npos);
  // The components keep their codes from version to version, each its own.
  const std::vector<std::string> guids = All(one, "<Component Id=\"[^\"]*\" Guid=\"([^\"]*)\"");
  EXPECT_EQ(guids, All(two, "<Component Id=\"[^\"]*\" Guid=\"([^\"]*)\""));
  EXPECT_EQ(std::set<std::string>(guids.begin(), guids.end()).size(), guids.size());
  for (const std::string& guid : guids) {
    EXPECT_TRUE(std::regex_match(guid, std::regex("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}")))
        << guid;
  }
}

TEST(MsiSource, SchedulesEveryCustomActionByWindowsInstallersRules) {
  const std::string xml = MsiSource(Inputs());
  const std::string types = ActionTypeUpdates();
  EXPECT_NE(xml.find(R"(<Property Id="ARPNOMODIFY" Value="1"/>)"), std::string::npos);
  EXPECT_NE(xml.find(R"(<Property Id="ARPNOREPAIR" Value="1"/>)"), std::string::npos);
  EXPECT_NE(xml.find(R"(InstallScope="perMachine")"), std::string::npos);
  EXPECT_NE(xml.find(R"(<RegistryValue Root="HKLM" Key="Software\Quillfern Software\GlypharyInstaller.msi" Name="ProductCode" Type="string" Value="[ProductCode]" KeyPath="yes"/>)"),
            std::string::npos);
  constexpr int kFirstWrite = 4000;  // InstallFiles; WriteRegistryValues is 5000
  int rollback_pending = 0;          // rollback actions scheduled and not yet followed by their action
  for (const PackageAction& action : kPackageActions) {
    SCOPED_TRACE(action.name);
    const bool deferred = (action.type & action_type::kInScript) != 0;
    // Windows honours "no impersonation" only in the script, and runs
    // immediate actions as the user: those only read.
    EXPECT_TRUE(deferred || (action.type & action_type::kNoImpersonate) == 0);
    EXPECT_EQ(All(xml, "<Custom Action=\"" + std::string(action.name) + "\" Sequence=\"([0-9]+)\"").size(),
              action.ui_sequence != 0 ? 2u : 1u);
    EXPECT_NE(types.find("SET `Type` = " + std::to_string(action.type) + " WHERE `Action` = '" + action.name + "'"),
              std::string::npos);
    EXPECT_LT(action.ui_sequence, 1300) << "after ExecuteAction";
    if ((action.type & action_type::kRollback) != 0) {
      ++rollback_pending;
    } else if (deferred && std::string(action.condition) == "NOT Installed" && action.sequence < kFirstWrite) {
      EXPECT_EQ(rollback_pending, 1) << "a change before the first write without its rollback action";
      rollback_pending = 0;
    }
  }
  // The checks run in both sequences, before the older version is removed
  // (RemoveExistingProducts, 1401); the shell hears of the install and the
  // removal alike.
  EXPECT_NE(xml.find(R"(<Custom Action="CheckInstall" Sequence="1398">NOT Installed</Custom>)"), std::string::npos);
  EXPECT_NE(xml.find(R"(<Custom Action="TellShell" Sequence="6601"/>)"), std::string::npos);
}

}  // namespace
}  // namespace glyphary::package
