// What a 32-bit program sees of the file types: on 64-bit Windows its
// C:\WINDOWS\system32 is SysWOW64, so the icons the 48 values name must be
// there too. e2e_icon32, a 32-bit program beside the driver, asks what its
// Open and Save dialogs ask about x.89m (the DefaultIcon value, the icon
// file it names, ExtractIconEx, the shell's icon location and system image
// list index), after the exe's and the package's installation for every
// account and after their removal, and after the exe's for the account
// alone, whose folder below %LOCALAPPDATA% every program reaches as it is.
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "tests/e2e/e2e_test.h"

namespace glyphary::e2e {
namespace {

// e2e_icon32's answers, by name.
using Answers = std::map<std::string, std::string>;

class Wow64Icons : public InstallerTest {
 protected:
  // Runs e2e_icon32 on x.89m; with `user`, the DefaultIcon is read from
  // the account's own classes (Wine shows them in no merged view).
  Answers Ask(const std::string& when, bool user = false) {
    CreateDirectoryW(WorkFolder().c_str(), nullptr);
    const std::wstring output = WorkFolder() + L"\\icon32-answers.txt";
    Process probe;
    EXPECT_EQ(Narrow(probe.Launch(BesideDriver(L"e2e_icon32.exe"), std::wstring(L"x.89m Ivex.89m") +
                                  (user ? L" user" : L""), L"", output)),
              "");
    DWORD code = 0xDEAD;
    EXPECT_TRUE(probe.WaitForExit(60000, &code));
    EXPECT_EQ(code, 0u);
    std::ifstream file{std::filesystem::path(output)};
    Answers answers;
    std::string line;
    std::string shown;
    while (std::getline(file, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const size_t equals = line.find('=');
      if (equals != std::string::npos) answers[line.substr(0, equals)] = line.substr(equals + 1);
      shown += " " + line;
    }
    std::printf("[ ICON32   ] %s:%s\n", when.c_str(), shown.c_str());
    EXPECT_EQ(answers["wow64"], "1") << "not a 32-bit program on 64-bit Windows";
    return answers;
  }

  // The 32-bit program gets the installed icon: the file the DefaultIcon
  // names is there for it, gives an icon, and the shell shows it, not a
  // text file's.
  void ExpectOurIcon(const Answers& answers, const std::wstring& folder, bool shell = true) {
    EXPECT_EQ(Lower(answers.at("defaulticon")), Lower(Narrow(folder + L"\\89mat.ico,0")));
    EXPECT_EQ(answers.at("file"), "present");
    EXPECT_EQ(answers.at("extracted"), "1");
    if (!shell) return;
    EXPECT_EQ(Lower(answers.at("location")), Lower(answers.at("defaulticon")));
    EXPECT_NE(answers.at("index"), answers.at("txtindex")) << "the shell shows a text file's icon";
  }

  // Nothing of the file type left for the 32-bit program, and neither
  // install folder (the program's own nor the one 32-bit programs reach).
  void ExpectNothing(const Answers& answers) {
    EXPECT_EQ(answers.at("defaulticon"), "");
    EXPECT_EQ(answers.at("index"), answers.at("txtindex"));
    EXPECT_EQ(Narrow(WhatIsInstalled()), "");
  }

  static std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  }
};

TEST_F(Wow64Icons, ThirtyTwoBitProgramsSeeTheIconsOfEveryRoadAndNothingAfterTheRemovals) {
  const std::wstring wow64 = MachineWide().wow64_folder;
  ASSERT_FALSE(wow64.empty()) << "Wine's prefix is no 64-bit Windows";
  ExpectNothing(Ask("nothing installed"));

  // The exe, for every account: the 32-bit program finds the icon that the
  // DefaultIcon names in its own SysWOW64\TI-89.
  ASSERT_EQ(RunSilently(L"/S", "exe"), 0u);
  ExpectOurIcon(Ask("after /S"), MachineWide().folder);
  {
    // Without that folder, as earlier builds installed it, the same value
    // names a file the 32-bit program cannot reach: a text file's icon.
    const std::wstring aside = WorkFolder() + L"\\TI-89-aside";
    std::filesystem::rename(std::filesystem::path(wow64), std::filesystem::path(aside));
    const Answers unreachable = Ask("after /S, without SysWOW64\\TI-89");
    std::filesystem::rename(std::filesystem::path(aside), std::filesystem::path(wow64));
    EXPECT_EQ(unreachable.at("file"), "missing");
    EXPECT_EQ(unreachable.at("extracted"), "0");
    EXPECT_EQ(unreachable.at("index"), unreachable.at("txtindex"));
  }
  ASSERT_EQ(RunSilently(L"/uninstall /S", "exe-uninstall"), 0u);
  ExpectNothing(Ask("after /uninstall /S"));

  // The package, for every account.
  const std::wstring package = DistFolder() + L"\\GlypharyInstaller.msi";
  ASSERT_EQ(Msiexec(L"/i \"" + package + L"\" /qn"), 0u);
  ExpectOurIcon(Ask("after msiexec /i"), MachineWide().folder);
  EXPECT_EQ(FilesIn(wow64).size(), FileTypes().size());
  ASSERT_EQ(Msiexec(L"/x \"" + package + L"\" /qn"), 0u);
  ExpectNothing(Ask("after msiexec /x"));

  // The account alone: nothing in SysWOW64, and the folder below
  // %LOCALAPPDATA% is the same for the 32-bit program.
  ASSERT_EQ(RunSilently(L"/user /S", "user"), 0u);
  EXPECT_EQ(FilesIn(wow64), std::vector<std::wstring>{});
  ExpectOurIcon(Ask("after /user /S", true), ForTheUser().folder, false);
  ASSERT_EQ(RunSilently(L"/uninstall /user /S", "user-uninstall"), 0u);
  EXPECT_EQ(Ask("after /uninstall /user /S", true).at("defaulticon"), "");
  EXPECT_EQ(Narrow(WhatIsInstalled(ForTheUser())), "");
}

}  // namespace
}  // namespace glyphary::e2e
