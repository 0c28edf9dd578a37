// The package's custom actions under Windows Installer's execution rules,
// on the stand-in: an administrator's double-click (immediate actions
// without rights) installs and removes; a failure at any action, or the
// transaction cut short, never loses what others own; the exe and the
// package never both own the keys.
#include <gtest/gtest.h>

#include "engine/installation.h"
#include "engine/package_owner.h"
#include "package/tests/installer_standin.h"

namespace glyphary::package::testing {
namespace {

using engine::testing::FakePlatform;
using engine::testing::StoredRaw;
using engine::testing::StoredText;
using platform::RegistryRoot;

constexpr RegistryRoot kRoot = RegistryRoot::kClassesRoot;
const std::wstring kFolder(engine::kInstallFolder);

StandinPackage Package() {
  StandinPackage package;
  for (const engine::FileType& type : engine::kFileTypes) {
    package.icons[std::wstring(type.icon_file)] = "package's " + std::string(type.icon_file.begin(), type.icon_file.end());
  }
  return package;
}

// A machine where other programs have set some of the 48 places: another
// association, a value of another type, and values exactly as the package
// writes them (another installation of the same types).
void OthersValues(FakePlatform& machine) {
  machine.files.AddFolder(L"C:\\WINDOWS\\system32");
  ASSERT_FALSE(machine.registry.CreateKey(RegistryRoot::kLocalMachine, L"Software\\Microsoft"));
  machine.registry.Put(kRoot, L".89t", StoredText(L"", L"OtherApp.Text"));
  machine.registry.Put(kRoot, L"Ivex.89p", StoredRaw(L"EditFlags", platform::value_type::kBinary, std::string("\0\0\1\0", 4)));
  machine.registry.Put(kRoot, L".89m", StoredText(L"", L"Ivex.89m"));
  machine.registry.Put(kRoot, L"Ivex.89m", engine::testing::StoredNumber(L"BrowserFlags", 8));
  // Keys that were there, empty.
  ASSERT_FALSE(machine.registry.CreateKey(kRoot, L".89e"));
  ASSERT_FALSE(machine.registry.CreateKey(kRoot, L"Ivex.89s\\DefaultIcon"));
}

struct Snapshot {
  std::vector<std::wstring> registry, files;
  explicit Snapshot(const FakePlatform& machine) : registry(machine.registry.Dump()), files(machine.files.Dump()) {}
  bool operator==(const Snapshot& other) const { return registry == other.registry && files == other.files; }
};
void PrintTo(const Snapshot& snapshot, std::ostream* out) {
  for (const auto& line : snapshot.registry) *out << "\n  " << ::testing::PrintToString(line);
  for (const auto& line : snapshot.files) *out << "\n  " << ::testing::PrintToString(line);
}

StandinRun Removal() {
  StandinRun run;
  run.remove = true;
  return run;
}

TEST(WindowsInstaller, AFailureAtAnyActionTakesEverythingBackAndLosesNothingOfOthers) {
  for (const bool remove : {false, true}) {
    std::vector<std::string> actions{remove ? "FindTaken" : "CheckInstall"};
    for (const std::string& name : InstallerStandin::ScriptActions(remove)) actions.push_back(name);
    for (const std::string& failing : actions) {
      SCOPED_TRACE((remove ? "removal failing at " : "installation failing at ") + failing);
      FakePlatform machine;
      OthersValues(machine);
      InstallerStandin msiexec(machine, Package());
      if (remove) {
        ASSERT_EQ(msiexec.Run({}), 0u);
      }
      const Snapshot before(machine);
      StandinRun run;
      run.remove = remove;
      run.fail_at = failing;
      EXPECT_EQ(msiexec.Run(run), InstallerStandin::kFailed);
      EXPECT_EQ(Snapshot(machine), before);
      EXPECT_EQ(msiexec.installed(), remove);
    }
  }
}

TEST(WindowsInstaller, ATransactionCutShortIsNamedAndTheWayOutRestoresTheMachine) {
  // Killed at any action, or failed with rollback disabled by policy: the
  // mark names a process that has ended. The exe refuses, naming the way
  // out; following it (the package installed again by a double-click,
  // whose immediate actions have no rights, then removed) leaves the
  // machine as it was before the first try. So does a run of an earlier
  // build (which wrote no ValuesKept or IconsBefore) killed once it copied.
  const std::string how[] = {"killed at ", "failed, rollback disabled, at ", "an earlier build killed at "};
  bool copied = false;
  for (const std::string& action : InstallerStandin::ScriptActions(false)) {
    for (int way = 0; way < (copied ? 3 : 2); ++way) {
      SCOPED_TRACE(how[way] + action);
      FakePlatform machine;
      OthersValues(machine);
      const Snapshot before(machine);
      InstallerStandin msiexec(machine, Package());
      StandinRun run;
      (way != 1 ? run.kill_at : run.fail_at) = action;
      run.rollback_disabled = way == 1;
      EXPECT_NE(msiexec.Run(run), 0u);
      for (const wchar_t* lacks : {L"ValuesKept", L"IconsBefore"}) {
        EXPECT_FALSE(way == 2 && machine.registry.DeleteValue(RegistryRoot::kLocalMachine, engine::kPackageKey, lacks));
      }
      WideText product;
      const engine::PackageState state = engine::FindPackage(machine.platform, product);
      if (state != engine::PackageState::kNone && state != engine::PackageState::kInstalled) {
        EXPECT_EQ(state, engine::PackageState::kCutShort);
        auto ignore = [](engine::InstallStage) {};
        const Error refused = engine::RunInstallation(machine.platform, engine::kMachineTarget, engine::StageSink(ignore));
        EXPECT_EQ(refused.Number(), exit_codes::kPackageInstalled);
        EXPECT_NE(std::wstring(refused.Advice()).find(L"msiexec /i GlypharyInstaller.msi"), std::wstring::npos);
      }
      if (!msiexec.installed()) {
        ASSERT_EQ(msiexec.Run({}), 0u) << ::testing::PrintToString(msiexec.refusals());
      }
      ASSERT_EQ(msiexec.Run(Removal()), 0u);
      EXPECT_EQ(Snapshot(machine), before);
    }
    copied = copied || action == "InstallFiles";
  }
}

TEST(WindowsInstaller, WhatAnotherProgramSetLastIsWhatTheRemovalLeaves) {
  // Another program sets .89t while the package is installed: that stays,
  // whether a major upgrade comes between, or a removal killed once the
  // product is unregistered (its /x refused) before the way out.
  for (const bool upgrade : {true, false}) {
    SCOPED_TRACE(upgrade ? "a major upgrade" : "a removal killed at ForgetReplaced");
    FakePlatform machine, expected;
    StandinPackage newer = Package();
    newer.product_code = L"{5EDE01BD-C2D3-434D-B05C-1D1FFF9AA410}";
    InstallerStandin msiexec(machine, Package()), later(machine, newer);
    StandinRun killed = Removal(), install;
    killed.kill_at = "ForgetReplaced";
    install.upgrade_from = upgrade ? &msiexec : nullptr;
    for (FakePlatform* m : {&machine, &expected}) OthersValues(*m);
    ASSERT_EQ(msiexec.Run({}), 0u);
    for (FakePlatform* m : {&machine, &expected}) m->registry.Put(kRoot, L".89t", StoredText(L"", L"Third.Text"));
    if (!upgrade) {
      EXPECT_EQ(msiexec.Run(killed), InstallerStandin::kKilled);
      EXPECT_EQ(msiexec.Run(Removal()), InstallerStandin::kUnknownProduct);
    }
    InstallerStandin& last = upgrade ? later : msiexec;
    ASSERT_EQ(last.Run(install), 0u);
    ASSERT_EQ(last.Run(Removal()), 0u);
    EXPECT_EQ(Snapshot(machine), Snapshot(expected));
  }
}

TEST(WindowsInstaller, RefusesWithAReasonBeforeAnythingIsWrittenAndOneOwnerWinsARace) {
  // What Wine does not show: another program's icon where 32-bit programs
  // look, and a run of the exe holding its lock before the checks or taking
  // it after them, before the script (the deferred claim sees it, and the
  // transaction takes itself back).
  struct Case {
    const char* what;
    std::function<void(FakePlatform&, StandinRun&)> arrange;
    const wchar_t* told;  // null: no reason shown, the claim fails in the script
  };
  const Case cases[] = {
      {"another program's icon where 32-bit programs look",
       [](FakePlatform& m, StandinRun&) {
         m.files.SetWow64Folder(L"C:\\WINDOWS\\SysWOW64");
         m.files.AddFile(L"C:\\WINDOWS\\SysWOW64\\TI-89\\89pic.ico", "another program's");
       },
       L"SysWOW64\\TI-89\\89pic.ico is another program's"},
      {"another program's icon put there once the checks were done, that transaction cut short",
       [](FakePlatform& m, StandinRun&) {
         StandinRun killed;
         killed.before_script = [&m] { m.files.AddFile(kFolder + L"\\89pic.ico", "another program's"); };
         killed.kill_at = "SaveReplaced";
         EXPECT_EQ(InstallerStandin(m, Package()).Run(killed), InstallerStandin::kKilled);
       },
       L"TI-89\\89pic.ico is another program's"},
      {"a run of the exe", [](FakePlatform& m, StandinRun&) { m.system.HoldLockElsewhere(true); }, L"right now"},
      {"a run of the exe once the checks are done",
       [](FakePlatform& m, StandinRun& run) { run.before_script = [&m] { m.system.HoldLockElsewhere(true); }; },
       nullptr},
  };
  for (const Case& refusal : cases) {
    SCOPED_TRACE(refusal.what);
    FakePlatform machine;
    OthersValues(machine);
    StandinRun run;
    refusal.arrange(machine, run);
    const Snapshot before(machine);
    InstallerStandin msiexec(machine, Package());
    EXPECT_EQ(msiexec.Run(run), InstallerStandin::kFailed);
    EXPECT_EQ(Snapshot(machine), before);
    ASSERT_EQ(msiexec.refusals().size(), refusal.told != nullptr ? 1u : 0u);
    if (refusal.told != nullptr) {
      EXPECT_NE(msiexec.refusals()[0].find(refusal.told), std::wstring::npos) << ::testing::PrintToString(msiexec.refusals()[0]);
    }
  }
}

}  // namespace
}  // namespace glyphary::package::testing
