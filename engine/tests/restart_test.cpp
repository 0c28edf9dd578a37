// The restart the finish window asks for, against the stand-in: what reaches
// Windows, in what order.
#include "engine/restart.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_system.h"

namespace glyphary::engine {
namespace {

using Operations = std::vector<std::string>;

TEST(Restart, OnNtThePrivilegeComesFirstThenTheRestartAndOutsideNtTheRestartAlone) {
  // The family the finish window noted decides, not what the system says now.
  platform::FakeSystem nt;
  nt.SetNtFamily(false);
  RestartWindows(nt, true);
  EXPECT_EQ(nt.Operations(), (Operations{"EnableShutdownPrivilege", "RequestRestart"}));

  platform::FakeSystem older;
  older.SetNtFamily(true);
  RestartWindows(older, false);
  EXPECT_EQ(older.Operations(), Operations{"RequestRestart"});

  // "Finish" pressed again asks again.
  RestartWindows(nt, true);
  EXPECT_EQ(nt.Count("EnableShutdownPrivilege"), 2);
  EXPECT_EQ(nt.Count("RequestRestart"), 2);
}

}  // namespace
}  // namespace glyphary::engine
