// A run killed at any instant. The stand-in machine counts every change
// the installer makes to it; a kill right after the N-th change leaves the
// machine as it was at that instant (nothing after it runs, no undo
// either). One run of each road, watched, gives the machine after each of
// its changes: every place a kill can leave it. At each of them:
//  - Apps & Features (and every deployment tool) counts the program as
//    installed when DisplayName is below the record key; it may be there
//    only on a machine that is installed whole, exactly;
//  - the next /S, run to its end, leaves the machine fully installed, and
//    the next /uninstall leaves it exactly as before the first run: other
//    programs' values, files and empty keys, and values equal to ours that
//    were there first, included.
// The roads: the install, the uninstall, the taking back of an install
// that failed, the uninstall Apps & Features starts from the installed
// copy, and the runs that recover from an install or uninstall cut short,
// themselves killed in turn.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "engine/installation.h"
#include "engine/transaction/transaction.h"
#include "engine/tests/fake_platform.h"
#include "engine/uninstallation.h"

namespace glyphary::engine {
namespace {

using platform::FakeFileSystem;
using testing::Narrow;
using platform::FakeRegistry;
using platform::RegistryRoot;
namespace value_type = platform::value_type;

const std::wstring kProgram = L"C:\\Downloads\\Glyphary";
const std::wstring kAppData = L"C:\\Users\\Ann\\AppData\\Local";
const std::wstring kTemp = L"C:\\Temp";
const std::wstring kUninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// The folder 32-bit programs reach for C:\WINDOWS\system32\TI-89.
const std::wstring kWow64Install = L"C:\\WINDOWS\\SysWOW64\\TI-89";

// What a kill leaves on disk: the file system and the registry.
struct Machine {
  FakeFileSystem files{kProgram};
  FakeRegistry registry;

  // Every file, folder, pending deletion, key and value, one line each.
  std::vector<std::wstring> Lines() const {
    std::vector<std::wstring> lines = files.Dump();
    const std::vector<std::wstring> keys = registry.Dump();
    lines.insert(lines.end(), keys.begin(), keys.end());
    return lines;
  }
};

// "" when `got` holds exactly `want`; else the first lines it has that
// `want` lacks (+) and lacks that `want` has (-).
std::string Difference(const Machine& got, const std::vector<std::wstring>& want) {
  std::vector<std::wstring> have = got.Lines();
  if (have == want) return "";
  const std::string text = testing::LinesDifference(have, want);
  return text.empty() ? "\n    (same lines, another order)" : text;
}

enum class Command { kInstall, kUninstall };
const char* NameOf(Command command) { return command == Command::kInstall ? "/S" : "/uninstall"; }

// Every state one run passed through.
struct Road {
  std::vector<Machine> states;  // the machine after each change: what a kill then leaves
  int taking_back = -1;         // changes made before the run began to take back, if it did
};

// Notes how many changes were made when the run says it takes back.
class RollBackWatch : public platform::Log {
 public:
  RollBackWatch(const platform::ChangeCounter& counter, int& at) : counter_(counter), at_(at) {}
  void Write(std::wstring_view what, unsigned long) override {
    if (at_ < 0 && what.substr(0, 11) == L"taking back") at_ = counter_.count();
  }

 private:
  const platform::ChangeCounter& counter_;
  int& at_;
};

// The crash points of one road that went wrong: each road is one failure
// naming how many, and the first few, so that a fault seen at every point
// reads as one.
class Faults {
 public:
  explicit Faults(std::string road) : road_(std::move(road)) {}
  ~Faults() {
    EXPECT_EQ(count_, 0) << road_ << ": " << count_ << " faults at the crash points; the first:" << first_;
  }
  void Add(const std::string& what) {
    if (++count_ <= 3) first_ += "\n  " + what;
  }

 private:
  std::string road_;
  int count_ = 0;
  std::string first_;
};

class CrashPoints : public ::testing::TestWithParam<Scope> {
 protected:
  // Windows, the unpacked download with its twelve icons and one more;
  // what other programs put at six of the 48 places, in six value types,
  // and one value of theirs beside ours; the two values of one type that
  // already hold exactly ours; two keys of ours that exist, empty; and one
  // icon of theirs where ours goes, in the install folder and in the one
  // 32-bit programs reach (only the machine-wide road puts icons there).
  CrashPoints() {
    Machine& m = before_;
    m.files.AddFolder(L"C:\\WINDOWS\\system32");
    m.files.AddFolder(kTemp);
    m.files.SetWow64Folder(L"C:\\WINDOWS\\SysWOW64");
    m.files.AddFile(kWow64Install + L"\\89dat.ico", "their 32-bit icon");
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
    // The second type's first two values (its extension's type, its
    // BrowserFlags) as the installation writes them, there before it.
    for (int place = kValuesPerType; place < kValuesPerType + 2; ++place) {
      m.registry.Put(root, std::wstring(PlaceKey(target, place).view()),
                     testing::Stored(std::wstring(PlaceAt(place).value.name), OurValue(target, place)));
    }
    // Keys of ours that exist with nothing in them: an extension and a DefaultIcon.
    EXPECT_FALSE(m.registry.CreateKey(root, classes + L".89m"));
    EXPECT_FALSE(m.registry.CreateKey(root, classes + L"Ivex.89p\\DefaultIcon"));
  }

  static std::string Utf16(const std::wstring& text) {
    return std::string(platform::RegistryValue::Text(text).bytes.c_str(), (text.size() + 1) * 2);
  }

  const InstallTarget& Target() const {
    return GetParam() == Scope::kMachine ? kMachineTarget : user_->target();
  }

  // Runs `command` on `machine`; with `road`, every state it passes through
  // goes there.
  Error Run(Machine& machine, Command command, Road* road = nullptr) {
    platform::FakeSystem system;
    platform::ChangeCounter counter;
    int taking_back = -1;
    RollBackWatch watch(counter, taking_back);
    if (road != nullptr) {
      counter.after_change = [&](int) {
        road->states.push_back(machine);
        road->states.back().files.ReleaseSources();  // a killed process holds nothing
      };
    }
    machine.files.CountChangesWith(&counter);
    machine.registry.CountChangesWith(&counter);
    const platform::Platform platform{machine.files, machine.registry, system, &watch};
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
    if (road != nullptr) road->taking_back = taking_back;
    return error;
  }

  // The detection rule of Apps & Features, read from the registry itself.
  bool Shown(const Machine& machine) const {
    return machine.registry.Value(Target().record_root, std::wstring(kRecordKey), L"DisplayName").has_value();
  }

  // Windows starts again: what waits for the restart goes, and so does what
  // a run left in the temporary folder (the uninstaller that moved itself
  // there, when the kill came before it asked to be deleted).
  void Restart(Machine& machine) const {
    machine.files.Restart();
    for (const std::wstring& name : machine.files.List(kTemp)) {
      if (!before_.files.IsFile(kTemp + L"\\" + name)) (void)machine.files.DeleteFile(kTemp + L"\\" + name);
    }
  }

  // At each state of `road` from `first` on: the entry shows only on a
  // machine installed whole, and the next /S and the next /uninstall (from
  // the download: after a kill the entry is gone from Apps & Features, or
  // was never there) finish it. Any refusal set up for the killed run is
  // lifted first. With `restart`, the machines are compared after Windows
  // starts again. Returns the number of crash points.
  int EveryCrashPoint(const Road& road, std::size_t first, const std::string& name, bool restart = false) {
    Faults faults(name);
    for (std::size_t at = first; at < road.states.size(); ++at) {
      const std::string point = "killed after change " + std::to_string(at + 1);
      const Machine& killed = road.states[at];
      if (Shown(killed)) {
        const std::string missing = Difference(killed, installed_lines_);
        if (!missing.empty()) faults.Add(point + ": DisplayName there before the rest:" + missing);
      }
      for (Command next : {Command::kInstall, Command::kUninstall}) {
        Machine after = killed;
        after.files.SetProgramFolder(kProgram);
        after.registry.Allow();
        // Without a record, the values equal to ours that were there before
        // look like an earlier build's installation, which /uninstall takes
        // away: exactly what it does to the machine before the first run.
        const bool recorded = after.registry.KeyExists(Target().record_root, kRecordKey);
        if (const Error error = Run(after, next)) {
          faults.Add(point + ", then " + NameOf(next) + ": error " + std::to_string(error.Number()) + " " +
                     Narrow(error.Description()) + " " + Narrow(error.Path()));
        }
        if (restart) Restart(after);
        const std::string wrong = Difference(after, next == Command::kInstall ? installed_lines_
                                                    : recorded               ? before_lines_
                                                                             : unrecorded_removed_lines_);
        if (!wrong.empty()) {
          faults.Add(point + ", then " + NameOf(next) +
                     (next == Command::kInstall ? ": not installed whole:" : ": not as before the first run:") +
                     wrong);
        }
      }
    }
    return static_cast<int>(road.states.size() - std::min(first, road.states.size()));
  }

  // The road of `command` run on `start`.
  Road Watched(const Machine& start, Command command) {
    Road road;
    Machine machine = start;
    (void)Run(machine, command, &road);
    return road;
  }

  // Kills the recovery: for `points` states of `cut_short` spread over it,
  // the next /S and the next /uninstall are each killed at every change.
  int EveryCrashPointOfTheRecovery(const Road& cut_short, int points, const std::string& name) {
    int total = 0;
    const std::size_t n = cut_short.states.size();
    for (int k = 1; k <= points; ++k) {
      const std::size_t first = n * static_cast<std::size_t>(k) / static_cast<std::size_t>(points + 1);
      for (Command next : {Command::kInstall, Command::kUninstall}) {
        total += EveryCrashPoint(Watched(cut_short.states[first], next), 0,
                                 name + " cut short after change " + std::to_string(first + 1) + ", " +
                                     NameOf(next));
      }
    }
    return total;
  }

  std::optional<UserTarget> user_;
  Machine before_;
  Machine installed_;
  std::vector<std::wstring> before_lines_;
  std::vector<std::wstring> installed_lines_;
  std::vector<std::wstring> unrecorded_removed_lines_;  // /uninstall run on the machine before
};

TEST_P(CrashPoints, AKillAtAnyInstantLeavesWhatTheNextRunFinishesOrTakesBackExactly) {
  const InstallTarget& target = Target();
  before_lines_ = before_.Lines();
  installed_ = before_;
  const Road install = Watched(before_, Command::kInstall);
  ASSERT_FALSE(Run(installed_, Command::kInstall));
  installed_lines_ = installed_.Lines();
  ASSERT_TRUE(Shown(installed_));
  ASSERT_FALSE(install.states.empty());
  EXPECT_EQ(Difference(install.states.back(), installed_lines_), "");
  // Uninstalled whole, the machine is as it was, their icon, values and empty keys too.
  Machine removed = installed_;
  const Road uninstall = Watched(installed_, Command::kUninstall);
  ASSERT_FALSE(Run(removed, Command::kUninstall));
  EXPECT_EQ(Difference(removed, before_lines_), "");
  Machine unrecorded = before_;
  ASSERT_FALSE(Run(unrecorded, Command::kUninstall));
  unrecorded_removed_lines_ = unrecorded.Lines();

  const int install_points = EveryCrashPoint(install, 0, "install");
  const int uninstall_points = EveryCrashPoint(uninstall, 0, "uninstall");

  // An installation that fails takes itself back: killed while it does.
  // The registration refused at its last value, and the entry's name refused
  // once everything else is in place.
  const struct {
    const char* name;
    RegistryRoot root;
    WideText key;
    std::wstring_view value;
  } refusals[] = {
      {"roll-back of the registration", target.classes_root,
       TypeKeyPath(target, kFileTypes[std::size(kFileTypes) - 1], TypeKey::kDefaultIcon), L""},
      {"roll-back of the completion", target.record_root, WideText(kRecordKey), L"DisplayName"},
  };
  int rollback_points = 0;
  std::string each_rollback;
  for (const auto& refusal : refusals) {
    Machine failing = before_;
    failing.registry.RefuseValue(refusal.root, std::wstring(refusal.key.view()), std::wstring(refusal.value));
    Road road;
    EXPECT_TRUE(Run(failing, Command::kInstall, &road)) << refusal.name;
    EXPECT_EQ(Difference(failing, before_lines_), "") << refusal.name;
    EXPECT_GT(road.taking_back, 0) << refusal.name << ": not taken back";
    if (road.taking_back < 0) continue;
    const int points = EveryCrashPoint(road, static_cast<std::size_t>(road.taking_back), refusal.name);
    each_rollback += std::string(each_rollback.empty() ? "" : ", ") + refusal.name + " " + std::to_string(points);
    rollback_points += points;
  }

  // The uninstall Apps & Features starts: the installed copy itself, which
  // moves out of the folder and is deleted when Windows starts again.
  Machine from_copy = installed_;
  from_copy.files.SetProgramFolder(std::wstring(target.folder));
  Road copy_road;
  EXPECT_FALSE(Run(from_copy, Command::kUninstall, &copy_road));
  EXPECT_NE(Difference(from_copy, before_lines_), "") << "nothing waits for the restart";
  Restart(from_copy);
  EXPECT_EQ(Difference(from_copy, before_lines_), "");
  const int copy_points = EveryCrashPoint(copy_road, 0, "uninstall from the installed copy", true);

  // The run after a kill, killed in its turn.
  const int install_recovery = EveryCrashPointOfTheRecovery(install, 4, "install");
  const int uninstall_recovery = EveryCrashPointOfTheRecovery(uninstall, 4, "uninstall");

  std::printf("crash points (%s): install %d, uninstall %d, roll-back %d (%s), recovery of install %d, "
              "recovery of uninstall %d, uninstall from the installed copy %d\n",
              GetParam() == Scope::kMachine ? "every account" : "/user", install_points, uninstall_points,
              rollback_points, each_rollback.c_str(), install_recovery, uninstall_recovery, copy_points);
  EXPECT_GT(install_points, 40);
  EXPECT_GT(uninstall_points, 40);
  EXPECT_GT(rollback_points, 40);
  EXPECT_GT(copy_points, 40);
}

INSTANTIATE_TEST_SUITE_P(Roads, CrashPoints, ::testing::Values(Scope::kMachine, Scope::kUser),
                         [](const auto& road) {
                           return std::string(road.param == Scope::kMachine ? "EveryAccount" : "OneAccount");
                         });

}  // namespace
}  // namespace glyphary::engine
