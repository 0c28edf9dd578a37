// The restart logic against the recording stand-in: which calls reach
// Windows, in what order, with which arguments.
#include "restart/global.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_system_control.h"

namespace glyphary::restart {
namespace {

using platform::FakeSystemControl;

class GlobalTest : public ::testing::Test {
 protected:
  FakeSystemControl system_;
  platform::SystemSeam::Override seam_{system_};
};

TEST_F(GlobalTest, TheFamilyIsReadFromBit31OfTheVersion) {
  for (std::uint32_t version : {0x00000000u, 0x23F00206u, 0x7FFFFFFFu}) {
    system_.SetVersion(version);
    EXPECT_EQ(Global::WindowsFamilyIsNT(), 1) << std::hex << version;
  }
  for (std::uint32_t version : {0x80000000u, 0xC0000A04u, 0xFFFFFFFFu}) {
    system_.SetVersion(version);
    EXPECT_EQ(Global::WindowsFamilyIsNT(), 0) << std::hex << version;
  }
}

TEST_F(GlobalTest, CheckedOnNtEnablesThePrivilegeThenAsksForTheRestart) {
  system_.SetShutdownLuid({0x13, 0x7});
  Global::FinishClicked(1, 1);

  EXPECT_EQ(system_.FunctionNames(),
            (std::vector<std::string>{"GetCurrentProcess", "OpenProcessToken",
                                      "LookupPrivilegeValueA", "AdjustTokenPrivileges",
                                      "CloseHandle", "ExitWindowsEx"}));
  const auto& calls = system_.Calls();
  EXPECT_EQ(calls[1].numbers,
            (std::vector<std::uint64_t>{FakeSystemControl::kProcessPseudoHandle, 0x28}));
  EXPECT_EQ(calls[2].texts, (std::vector<std::string>{"", "SeShutdownPrivilege"}));
  EXPECT_EQ(calls[3].numbers,
            (std::vector<std::uint64_t>{FakeSystemControl::kTokenHandle, 0, 16}));
  EXPECT_TRUE(calls[3].pointers_given);
  EXPECT_EQ(calls[3].bytes, (std::vector<std::uint8_t>{1, 0, 0, 0, 0x13, 0, 0, 0, 7, 0, 0, 0,
                                                       2, 0, 0, 0}));
  EXPECT_EQ(calls[4].numbers, (std::vector<std::uint64_t>{FakeSystemControl::kTokenHandle}));
  EXPECT_EQ(calls[5].numbers, (std::vector<std::uint64_t>{2, 0xFFFFFFFF}));
  EXPECT_EQ(system_.OpenTokens(), 0u);
}

TEST_F(GlobalTest, CheckedOutsideNtAsksForTheRestartWithoutTokenWork) {
  Global::FinishClicked(1, 0);
  EXPECT_EQ(system_.FunctionNames(), (std::vector<std::string>{"ExitWindowsEx"}));
}

TEST_F(GlobalTest, UncheckedDoesNothingAtAll) {
  Global::FinishClicked(0, 1);
  Global::FinishClicked(0, 0);
  EXPECT_TRUE(system_.Calls().empty());
}

TEST_F(GlobalTest, ARefusedTokenStillRunsTheStepsAndRequestsTheRestart) {
  system_.FailTokenOpen();
  Global::FinishClicked(1, 1);
  EXPECT_EQ(system_.FunctionNames(),
            (std::vector<std::string>{"GetCurrentProcess", "OpenProcessToken",
                                      "LookupPrivilegeValueA", "AdjustTokenPrivileges",
                                      "ExitWindowsEx"}));
  EXPECT_EQ(system_.Calls()[3].numbers[0], 0u);  // the null token that the open left
}

TEST_F(GlobalTest, RepeatedClicksLeaveNoTokenHandleOpen) {
  for (int i = 0; i < 3; ++i) Global::FinishClicked(1, 1);
  EXPECT_EQ(system_.OpenTokens(), 0u);
}

}  // namespace
}  // namespace glyphary::restart
