// Which road a run takes for the rights it was started with, and how it
// ends when it cannot go on: on the stand-in system, whose rights and UAC
// prompt the test sets (Wine runs every program as an administrator).
#include "engine/elevation.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <utility>

#include "engine/product.h"
#include "engine/tests/fake_platform.h"

namespace glyphary::engine {
namespace {

using Rights = platform::System::Rights;

struct Case {
  const char* name;
  const wchar_t* arguments;
  Rights rights;
  bool prompt_accepted;  // the UAC prompt, when it is shown
  bool answer_yes;       // "for your account only?", when it is asked
  Road road;
  int exit_code;
  bool elevated_run;  // the program was run again elevated
  bool asked;
};

TEST(Elevation, TheRoadFollowsTheRightsAndEachDeadEndHasItsExitCode) {
  constexpr Rights kAdmin = Rights::kAdministrator;
  constexpr Rights kCan = Rights::kCanElevate;
  constexpr Rights kStandard = Rights::kStandard;
  const Case cases[] = {
      // Started elevated (a deployment, "Run as administrator", UAC off): as always.
      {"elevated", L"", kAdmin, true, true, Road::kMachine, 0, false, false},
      {"elevated /S", L"/S", kAdmin, true, true, Road::kMachine, 0, false, false},
      {"elevated /uninstall", L"/uninstall", kAdmin, true, true, Road::kMachine, 0, false, false},
      // An administrator's account without its rights: run again elevated,
      // with that run's exit code.
      {"can elevate", L"", kCan, true, true, Road::kEnded, 3010, true, false},
      {"can elevate /S", L"/S", kCan, true, true, Road::kEnded, 3010, true, false},
      // The prompt refused: the question, or 740 without a window.
      {"refused, yes", L"", kCan, false, true, Road::kUser, 0, true, true},
      {"refused, no", L"", kCan, false, false, Road::kEnded, 1223, true, true},
      {"refused /S", L"/S", kCan, false, true, Road::kEnded, 740, true, false},
      // A standard account: nothing to elevate to.
      {"standard, yes", L"", kStandard, true, true, Road::kUser, 0, false, true},
      {"standard, no", L"", kStandard, true, false, Road::kEnded, 1223, false, true},
      {"standard /S", L"/S", kStandard, true, true, Road::kEnded, 740, false, false},
      {"standard /uninstall", L"/uninstall", kStandard, true, true, Road::kEnded, 740, false, false},
      // /user needs no rights and asks for none, whatever the account.
      {"standard /user", L"/user", kStandard, true, true, Road::kUser, 0, false, false},
      {"standard /user /S", L"/user /S", kStandard, true, true, Road::kUser, 0, false, false},
      {"can elevate /user", L"/user", kCan, true, true, Road::kUser, 0, false, false},
      {"elevated /user /uninstall", L"/uninstall /user", kAdmin, true, true, Road::kUser, 0, false, false},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    testing::FakePlatform fake;
    // Installed for every account.
    ASSERT_FALSE(fake.registry.CreateKey(platform::RegistryRoot::kLocalMachine, kRecordKey));
    ASSERT_FALSE(fake.registry.SetText(platform::RegistryRoot::kLocalMachine, kRecordKey,
                                       L"DisplayName", L"Glyphary Installer"));
    fake.system.SetRights(test.rights);
    fake.system.SetElevatedRun(test.prompt_accepted, 3010);
    bool asked = false;
    auto ask = [&] {
      asked = true;
      return test.answer_yes;
    };
    const RoadChoice choice =
        ChooseRoad(fake.platform, ParseCommandLine(test.arguments), test.arguments, AskAccountOnly(ask));
    EXPECT_EQ(choice.road, test.road);
    EXPECT_EQ(choice.exit_code, test.exit_code);
    EXPECT_EQ(asked, test.asked);
    const std::string elevated = "RunElevated " + std::string(test.arguments, test.arguments + std::wcslen(test.arguments));
    EXPECT_EQ(fake.system.Count(elevated), test.elevated_run ? 1 : 0);  // with the same arguments
    EXPECT_EQ(fake.registry.ValueCount(platform::RegistryRoot::kClassesRoot), 0u);  // nothing changed
  }

  // Nothing installed for every account: the uninstallation says so, without
  // rights and without a prompt.
  testing::FakePlatform nothing;
  nothing.system.SetRights(kStandard);
  auto never = [] { return true; };
  const RoadChoice choice =
      ChooseRoad(nothing.platform, ParseCommandLine(L"/uninstall"), L"/uninstall", AskAccountOnly(never));
  EXPECT_EQ(choice.road, Road::kMachine);
  EXPECT_EQ(nothing.system.Count("RunElevated /uninstall"), 0);
}

TEST(Elevation, TheElevatedRunWritesTheSameLogFile) {
  // It starts in System32: a relative /LOG= path is made full against this
  // run's current folder (the stand-in's C:\Users\Ann); the rest of the
  // command line goes as it was written.
  const std::pair<const wchar_t*, std::string> cases[] = {
      {L"\"\" /S /LOG=logs\\install.log", "\"\" /S \"/LOG=C:\\Users\\Ann\\logs\\install.log\""},
      {L"-log=\"my logs\\a.log\"\t/S", "\"/LOG=C:\\Users\\Ann\\my logs\\a.log\"\t/S"},
      {L"/S \"/LOG=D:\\Logs\\a b.log\"", "/S \"/LOG=D:\\Logs\\a b.log\""},
      {L"/S /LOG", "/S /LOG"},  // the temporary folder's log: the same in both runs
  };
  for (const auto& [arguments, elevated] : cases) {
    SCOPED_TRACE(elevated);
    testing::FakePlatform fake;
    fake.system.SetRights(Rights::kCanElevate);
    auto never = [] { return false; };
    const RoadChoice choice =
        ChooseRoad(fake.platform, ParseCommandLine(arguments), arguments, AskAccountOnly(never));
    EXPECT_EQ(choice.road, Road::kEnded);
    EXPECT_EQ(fake.system.Count("RunElevated " + elevated), 1);
  }
}

}  // namespace
}  // namespace glyphary::engine
