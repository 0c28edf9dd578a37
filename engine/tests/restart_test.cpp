// The restart the finish window asks for, against the stand-in: what reaches
// Windows, in what order.
#include "engine/restart.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_system.h"

namespace glyphary::engine {
namespace {

using Operations = std::vector<std::string>;

TEST(Restart, ThePrivilegeComesFirstThenTheRestartEachTimeFinishIsPressed) {
  platform::FakeSystem system;
  RestartWindows(system);
  EXPECT_EQ(system.Operations(), (Operations{"EnableShutdownPrivilege", "RequestRestart"}));
  RestartWindows(system);
  EXPECT_EQ(system.Operations(), (Operations{"EnableShutdownPrivilege", "RequestRestart",
                                             "EnableShutdownPrivilege", "RequestRestart"}));
}

}  // namespace
}  // namespace glyphary::engine
