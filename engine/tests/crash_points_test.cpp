// A run killed at any instant. The stand-in machine counts every change
// the installer makes to it; a kill right after the N-th change leaves the
// machine as it was at that instant (a copy taken then: nothing after it
// runs, no undo either). For every N of every road, the next command run
// to its end must leave the machine either fully installed or exactly as
// before the first run, other programs' values and files included, and no
// run may claim success on anything in between.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/installation.h"
#include "engine/record.h"
#include "engine/tests/fake_platform.h"
#include "engine/uninstallation.h"

namespace glyphary::engine {
namespace {

using platform::FakeFileSystem;
using platform::FakeRegistry;
using platform::RegistryRoot;
namespace value_type = platform::value_type;

const std::wstring kProgram = L"C:\\Downloads\\Glyphary";
const std::wstring kAppData = L"C:\\Users\\Ann\\AppData\\Local";
const std::wstring kUninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// The folder 32-bit programs reach for C:\WINDOWS\system32\TI-89.
const std::wstring kWow64Install = L"C:\\WINDOWS\\SysWOW64\\TI-89";

// What a kill leaves on disk: the file system and the registry.
struct Machine {
  FakeFileSystem files{kProgram};
  FakeRegistry registry;

  bool operator==(const Machine& other) const {
    return files.Dump() == other.files.Dump() && registry.Dump() == other.registry.Dump();
  }
};

enum class Command { kInstall, kUninstall };

class CrashPoints : public ::testing::TestWithParam<Scope> {
 protected:
  // Windows, the unpacked download with its twelve icons and one more, and
  // what other programs put at six of the 48 places, in six value types,
  // and one icon of theirs where ours goes, in the install folder and in
  // the one 32-bit programs reach (only the machine-wide road puts icons
  // there; the per-user road leaves it alone).
  CrashPoints() {
    Machine& m = before_;
    m.files.AddFolder(L"C:\\WINDOWS\\system32");
    m.files.SetWow64Folder(L"C:\\WINDOWS\\SysWOW64");
    m.files.AddFile(kWow64Install + L"\\89dat.ico", "their 32-bit icon");
    m.files.AddFolder(L"C:\\Temp");
    m.files.SetLocalAppData(kAppData);
    m.files.AddFolder(kAppData);
    for (const FileType& type : kFileTypes) {
      m.files.AddFile(kProgram + L"\\Icons\\" + std::wstring(type.icon_file), "ours " + Narrow(type.icon_file));
    }
    m.files.AddFile(kProgram + L"\\Icons\\Extra.ico", "an extra icon");
    user_.emplace();
    EXPECT_FALSE(user_->Find(m.files));
    const InstallTarget& target = Target();
    m.files.AddFile(std::wstring(target.folder) + L"\\89mat.ico", "their icon");
    for (RegistryRoot root : {RegistryRoot::kLocalMachine, RegistryRoot::kCurrentUser}) {
      EXPECT_FALSE(m.registry.CreateKey(root, kUninstallKey));
    }
    EXPECT_FALSE(m.registry.CreateKey(RegistryRoot::kCurrentUser, L"Software\\Classes"));
    const std::wstring classes = target.classes_path.empty() ? L"" : std::wstring(target.classes_path) + L"\\";
    const RegistryRoot root = target.classes_root;
    auto put = [&](const std::wstring& key, const std::wstring& name, std::uint32_t type, const std::string& bytes) {
      m.registry.Put(root, classes + key, testing::StoredRaw(name, type, bytes));
    };
    put(L".89t", L"", value_type::kText, Utf16(L"OtherApp.Text"));
    put(L"Ivex.89t\\DefaultIcon", L"", value_type::kExpandableText, Utf16(L"%SystemRoot%\\x.ico,0"));
    put(L"Ivex.89p", L"EditFlags", value_type::kBinary, std::string("\x01\x00\x01\x00", 4));
    put(L"Ivex.89m", L"BrowserFlags", value_type::kNumber64, std::string("\x08\0\0\0\0\0\0\x01", 8));
    put(L"Ivex.89s", L"EditFlags", value_type::kNumber, std::string("\0\0\0\0\x02\0\0\0", 8));
    put(L".89z", L"", value_type::kTexts, Utf16(L"a") + Utf16(L"b") + std::string(2, '\0'));
    // And a value of theirs beside ours, which nobody touches.
    put(L"Ivex.89t", L"FriendlyTypeName", value_type::kText, Utf16(L"TI text"));
  }

  static std::string Narrow(std::wstring_view text) { return std::string(text.begin(), text.end()); }
  static std::string Utf16(const std::wstring& text) {
    return std::string(platform::RegistryValue::Text(text).bytes.c_str(), (text.size() + 1) * 2);
  }

  const InstallTarget& Target() const {
    return GetParam() == Scope::kMachine ? kMachineTarget : user_->target();
  }

  // Runs `command` on `machine`; with `kill_after`, the machine as that
  // change left it goes into `killed`. The number of changes in `changes`.
  Error Run(Machine& machine, Command command, int kill_after = 0, std::optional<Machine>* killed = nullptr,
            int* changes = nullptr) {
    platform::FakeSystem system;
    platform::ChangeCounter counter;
    counter.after_change = [&](int n) {
      if (n != kill_after || killed == nullptr) return;
      killed->emplace(machine);
      (*killed)->files.ReleaseSources();  // a killed process holds nothing
    };
    machine.files.CountChangesWith(&counter);
    machine.registry.CountChangesWith(&counter);
    const platform::Platform platform{machine.files, machine.registry, system};
    Error error;
    if (command == Command::kInstall) {
      auto no_window = [](InstallStage) {};
      error = RunInstallation(platform, Target(), StageSink(no_window));
    } else {
      UninstallReport report;
      error = RunUninstallation(platform, Target(), report);
    }
    machine.files.CountChangesWith(nullptr);
    machine.registry.CountChangesWith(nullptr);
    if (changes != nullptr) *changes = counter.count();
    return error;
  }

  // Whether the machine counts as installed by the detection rule.
  bool Detected(Machine& machine) {
    InstallRecord record;
    return !ReadRecord(machine.registry, Target(), record) && record.complete;
  }

  // Kills `command`, started on `start`, after each of its changes in turn,
  // and runs each of `next` on what the kill left. Returns how many crash
  // points the road has.
  int EveryCrashPoint(const Machine& start, Command command, const char* road) {
    Machine whole = start;
    int changes = 0;
    EXPECT_FALSE(Run(whole, command, 0, nullptr, &changes)) << road;
    for (int n = 1; n <= changes; ++n) {
      SCOPED_TRACE(std::string(road) + ", killed after change " + std::to_string(n) + " of " +
                   std::to_string(changes));
      Machine run = start;
      std::optional<Machine> killed;
      (void)Run(run, command, n, &killed);
      if (!killed) {
        ADD_FAILURE() << "no kill point " << n;
        continue;
      }
      // The detection rule never says installed before everything is there.
      if (Detected(*killed)) {
        EXPECT_TRUE(*killed == installed_) << "detected as installed, half done";
      }
      for (Command next : {Command::kInstall, Command::kUninstall}) {
        Machine after = *killed;
        EXPECT_FALSE(Run(after, next)) << (next == Command::kInstall ? "install" : "uninstall");
        const Machine& expected = next == Command::kInstall ? installed_ : before_;
        EXPECT_TRUE(after == expected) << (next == Command::kInstall ? "not fully installed"
                                                                     : "not as before the first run");
        if (next == Command::kInstall) {
          EXPECT_TRUE(Detected(after));
        }
      }
    }
    return changes;
  }

  std::optional<UserTarget> user_;
  Machine before_;
  Machine installed_;
};

TEST_P(CrashPoints, AKillAtAnyInstantLeavesWhatTheNextRunFinishesOrTakesBackExactly) {
  installed_ = before_;
  ASSERT_FALSE(Run(installed_, Command::kInstall));
  ASSERT_TRUE(Detected(installed_));
  ASSERT_FALSE(installed_ == before_);
  const bool machine = GetParam() == Scope::kMachine;
  EXPECT_EQ(installed_.files.FileBytes(kWow64Install + L"\\89mat.ico"),
            machine ? std::optional<std::string>("ours 89mat.ico") : std::nullopt);
  EXPECT_EQ(installed_.files.FileBytes(kWow64Install + L"\\89dat.ico"),
            machine ? "ours 89dat.ico" : "their 32-bit icon");
  EXPECT_FALSE(installed_.files.IsFile(kWow64Install + L"\\GlypharyInstaller.exe"));
  // Uninstalled whole, the machine is as it was, their icon and values too.
  Machine removed = installed_;
  ASSERT_FALSE(Run(removed, Command::kUninstall));
  ASSERT_TRUE(removed == before_);

  const int install = EveryCrashPoint(before_, Command::kInstall, "install");
  // A repair: the run that finds an installation cut short halfway.
  std::optional<Machine> half;
  Machine scratch = before_;
  (void)Run(scratch, Command::kInstall, install / 2, &half);
  ASSERT_TRUE(half.has_value());
  const int repair = EveryCrashPoint(*half, Command::kInstall, "repair");
  const int uninstall = EveryCrashPoint(installed_, Command::kUninstall, "uninstall");
  std::printf("crash points (%s): install %d, repair %d, uninstall %d\n",
              GetParam() == Scope::kMachine ? "every account" : "/user", install, repair, uninstall);
  EXPECT_GT(install, 40);
  EXPECT_GT(uninstall, 40);
}

INSTANTIATE_TEST_SUITE_P(Roads, CrashPoints, ::testing::Values(Scope::kMachine, Scope::kUser),
                         [](const auto& road) {
                           return std::string(road.param == Scope::kMachine ? "EveryAccount" : "OneAccount");
                         });

}  // namespace
}  // namespace glyphary::engine
