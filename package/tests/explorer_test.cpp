// A search over every machine the runs can leave. From each start machine,
// each run of the table (the exe's install and uninstall, the package's
// install and removal on the stand-in of Windows Installer, an older and a
// newer build's install) goes to its end or is killed after one of its
// changes, another program acting between runs; the same machines with the
// same history of the others are explored once. At each machine:
//  1. DisplayName is there only on a whole installation;
//  2. an uninstall or removal that succeeds leaves what another program last
//     wrote at each of the 48 places, and its icons with their last bytes;
//  3. one run to its end makes the machine whole or as before;
//  4. no run that succeeds leaves it half changed with no record to finish.
// Bounded to stay quick: runs from a start machine are killed at every
// change (the older and newer builds' at a few, with a fixed seed), and the
// machines they leave take each run to its end twice more; another program
// acts once a path. /user is a search of its own, without the package.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <cstdio>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/installation.h"
#include "engine/uninstallation.h"
#include "package/tests/installer_standin.h"

namespace glyphary::package::testing {
namespace {

using engine::testing::FakePlatform;
using engine::testing::Narrow;
using platform::FakeFileSystem;
using platform::FakeRegistry;
using platform::FakeValue;
using platform::RegistryRoot;

const std::wstring kProgram = L"C:\\Downloads\\Glyphary";
const std::wstring kIcons = kProgram + L"\\Icons\\";
const std::wstring kTemp = L"C:\\Temp";
const std::wstring kTwin = L"C:\\WINDOWS\\SysWOW64\\TI-89";  // the install folder 32-bit programs reach
constexpr int kMaxRuns = 2;               // runs on a path before the last, which goes to its end
constexpr std::size_t kSampledKills = 2;  // kill points of the older and newer builds' runs
constexpr int kMaxActs = 1;               // other programs' doings on a path (a restart not counted)
constexpr unsigned kActOdds = 8;          // after a run, each doing is tried at one machine in this many

// A text value's characters, without its terminating zero.
std::wstring Text(const FakeValue& value) {
  std::wstring text;
  for (std::size_t i = 0; i + 1 < value.bytes.size(); i += 2) {
    const wchar_t c = static_cast<wchar_t>(static_cast<unsigned char>(value.bytes[i]) |
                                           static_cast<unsigned char>(value.bytes[i + 1]) << 8);
    if (c == 0) break;
    text += c;
  }
  return text;
}
std::string OurIcon(std::wstring_view name) { return "ours " + Narrow(name); }
// The newer build ships the first type's icon redrawn.
const std::wstring kRedrawn(engine::kFileTypes[0].icon_file);
const std::string kRedrawnBytes = "redrawn " + Narrow(kRedrawn);

// What a kill leaves: the disk, and whether Windows Installer has the
// package's product registered.
struct State {
  FakeFileSystem files{kProgram};
  FakeRegistry registry;
  bool registered = false;

  std::vector<std::wstring> Lines() const {
    std::vector<std::wstring> lines = files.Dump();
    const std::vector<std::wstring> keys = registry.Dump();
    lines.insert(lines.end(), keys.begin(), keys.end());
    if (registered) lines.push_back(L"(the package's product registered)");
    std::sort(lines.begin(), lines.end());
    return lines;
  }
  std::wstring Key() const {
    std::wstring key;
    for (const std::wstring& line : Lines()) key += line + L'\n';
    return key;
  }
};

std::string Difference(const State& got, const State& want) {
  return engine::testing::LinesDifference(got.Lines(), want.Lines());
}

struct RunKind {
  const char* name;
  bool package;
  bool remove;
  const wchar_t* version;  // the build the exe is
  bool final_run;          // tried to its end at every machine (the checks 3 and 4)
};
const RunKind kRuns[] = {
    {"/S", false, false, L"1.0.0.0", true},
    {"/uninstall", false, true, L"1.0.0.0", true},
    {"msiexec /i", true, false, L"", true},
    {"msiexec /x", true, true, L"", true},
    {"/S of build 0.9.0.0", false, false, L"0.9.0.0", false},
    {"/S of build 1.1.0.0", false, false, L"1.1.0.0", false},
};
const RunKind& kInstall = kRuns[0];

enum class Act { kTakeType, kTheirIcon, kTheirIconGoes, kCleaner, kRestart };
const char* const kActNames[] = {"another program sets .89t to OtherApp.Text2",
                                 "another program puts its 89mat.ico in the install folder",
                                 "another program deletes its icon there (and the folder, left empty)",
                                 "a registry cleaner deletes the record's key", "Windows restarts"};

struct Outcome {
  State end;
  unsigned code = 0;
  std::string error;
  std::vector<std::pair<int, State>> kills;  // the change after which, and what it leaves
};

// What other programs made of the machine along a path.
struct Model {
  std::string start;
  State others;                                           // "as before"
  std::vector<State> whole;                               // the whole installations over it
  std::set<std::wstring> whole_keys;
  std::wstring before_key, unrecorded_key;
  std::optional<FakeValue> written[engine::kPlaceCount];  // what another program last wrote at each place
  std::map<std::wstring, std::string> their_icons;        // path: their last bytes
  bool cleaned = false;  // the record, with what it kept of theirs, was deleted
  int acts = 0;
};

// A check's faults: one failure naming how many machines showed it and
// the first of each start machine.
struct Faults {
  int count = 0;
  std::set<std::string> starts;
  std::string shown;
};

class Explorer : public ::testing::TestWithParam<engine::Scope> {
 protected:
  Explorer() {
    State fresh;
    fresh.files.AddFolder(L"C:\\WINDOWS\\system32");
    fresh.files.AddFolder(kTemp);
    fresh.files.SetWow64Folder(L"C:\\WINDOWS\\SysWOW64");
    fresh.files.AddFolder(L"C:\\Users\\Ann\\AppData\\Local");
    for (const engine::FileType& type : engine::kFileTypes) {
      fresh.files.AddFile(kIcons + std::wstring(type.icon_file), OurIcon(type.icon_file));
    }
    const std::wstring uninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    for (RegistryRoot root : {RegistryRoot::kLocalMachine, RegistryRoot::kCurrentUser}) {
      EXPECT_FALSE(fresh.registry.CreateKey(root, uninstall));
    }
    EXPECT_FALSE(fresh.registry.CreateKey(RegistryRoot::kCurrentUser, L"Software\\Classes"));
    EXPECT_FALSE(user_.Find(fresh.files));
    const engine::InstallTarget& target = Target();
    // Values exactly ours at the places of all types but the last, whose keys are there empty.
    State ours = fresh;
    for (int place = 0; place < engine::kPlaceCount - engine::kValuesPerType; ++place) {
      ours.registry.Put(target.classes_root, PlacePath(place),
                        engine::testing::Stored(PlaceName(place), engine::OurValue(target, place)));
    }
    for (int key = engine::kKeyCount - 3; key < engine::kKeyCount; ++key) {
      EXPECT_FALSE(ours.registry.CreateKey(target.classes_root, engine::KeyAt(target, key).view()));
    }
    // Another program's values in four types, one of them beside ours, two
    // places holding ours, an empty key of ours, and its icons where ours go.
    State others = fresh;
    const std::wstring classes = target.classes_path.empty() ? L"" : std::wstring(target.classes_path) + L"\\";
    auto put = [&](const std::wstring& key, const FakeValue& value) {
      others.registry.Put(target.classes_root, classes + key, value);
    };
    put(L".89t", engine::testing::StoredText(L"", L"OtherApp.Text"));
    put(L"Ivex.89p", engine::testing::StoredRaw(L"EditFlags", platform::value_type::kBinary, std::string("\1\0\1\0", 4)));
    put(L"Ivex.89s\\DefaultIcon", engine::testing::StoredText(L"", L"%SystemRoot%\\x.ico,0"));
    put(L"Ivex.89t", engine::testing::StoredText(L"FriendlyTypeName", L"TI text"));
    for (int place = engine::kValuesPerType; place < engine::kValuesPerType + 2; ++place) {
      others.registry.Put(target.classes_root, PlacePath(place),
                          engine::testing::Stored(PlaceName(place), engine::OurValue(target, place)));
    }
    EXPECT_FALSE(others.registry.CreateKey(target.classes_root, classes + L".89m"));
    others.files.AddFile(std::wstring(target.folder) + L"\\89mat.ico", "their icon");
    others.files.AddFile(kTwin + L"\\89dat.ico", "their 32-bit icon");

    const bool machine = GetParam() == engine::Scope::kMachine;
    auto installed = [&](State& m) { m = Run(m, kInstall, Kills::kNone).end; };
    starts_ = {
        {"fresh Windows", fresh, fresh},
        {"values equal to ours, empty keys of ours", ours, ours},
        {"another program's values and icons", others, others},
        {"installed by this build", others, others},
        {"an earlier build's record: DisplayName, no InstallState", others, others},
        {"an earlier build's record: nothing in SysWOW64", others, others},
        {"a damaged record: InstalledFiles a number", others, others},
    };
    for (std::size_t i = 3; i < starts_.size(); ++i) installed(starts_[i].machine);
    State& no_state = starts_[4].machine;
    EXPECT_FALSE(no_state.registry.DeleteValue(target.record_root, engine::kRecordKey, L"InstallState"));
    State& no_twin = starts_[5].machine;
    for (const wchar_t* list : {L"InstalledFilesWow64", L"SetAsideFilesWow64"}) {
      EXPECT_FALSE(no_twin.registry.DeleteValue(target.record_root, engine::kRecordKey, list));
    }
    if (machine) {
      RemoveTree(no_twin.files, kTwin);
      no_twin.files.AddFile(kTwin + L"\\89dat.ico", "their 32-bit icon");
    }
    starts_[6].machine.registry.Put(target.record_root, std::wstring(engine::kRecordKey),
                                    engine::testing::StoredNumber(L"InstalledFiles", 7));
    if (machine) {
      starts_.push_back({"a damaged record: InstalledFilesWow64 deleted", others, others});
      installed(starts_.back().machine);
      EXPECT_FALSE(starts_.back().machine.registry.DeleteValue(target.record_root, engine::kRecordKey,
                                                               L"InstalledFilesWow64"));
      starts_.push_back({"installed by the package", ours, ours});
      starts_.back().machine = Run(ours, kRuns[2], Kills::kNone).end;
      EXPECT_TRUE(starts_.back().machine.registered);
    }
  }

  struct Start {
    const char* name;
    State base;  // what other programs made of the machine
    State machine;
  };

  const engine::InstallTarget& Target() const {
    return GetParam() == engine::Scope::kMachine ? engine::kMachineTarget : user_.target();
  }
  std::wstring PlacePath(int place) const { return std::wstring(engine::PlaceKey(Target(), place).view()); }
  static std::wstring PlaceName(int place) { return std::wstring(engine::PlaceAt(place).value.name); }

  static void RemoveTree(FakeFileSystem& files, const std::wstring& folder) {
    for (const std::wstring& name : files.List(folder)) {
      const std::wstring path = folder + L"\\" + name;
      if (files.IsFolder(path)) RemoveTree(files, path);
      else EXPECT_FALSE(files.DeleteFile(path));
    }
    bool removed = false;
    EXPECT_FALSE(files.RemoveEmptyFolder(folder, removed));
  }

  enum class Kills { kNone, kSampled, kEvery };

  // Runs `kind` on a copy of `from` to its end; the kill points chosen go
  // into the outcome's kills.
  Outcome Run(const State& from, const RunKind& kind, Kills kills) {
    ++runs_;
    Outcome out;
    out.end = from;
    State& m = out.end;
    platform::ChangeCounter counter;
    std::function<State()> now;  // the machine as a kill leaves it
    auto keep = [&](int change) {
      if (kills == Kills::kEvery) {
        out.kills.emplace_back(change, now());
      } else if (kills == Kills::kSampled) {  // reservoir sampling: each change as likely
        if (out.kills.size() < kSampledKills) {
          out.kills.emplace_back(change, now());
        } else if (const std::size_t slot = random_() % static_cast<unsigned>(change); slot < kSampledKills) {
          out.kills[slot] = {change, now()};
        }
      }
    };
    counter.after_change = keep;
    if (kind.package) {
      FakePlatform p;
      Load(p, from);
      InstallerStandin msiexec(p, PackageWithIcons());
      // The mark names the script process of a run killed; this run's starts later.
      const std::optional<FakeValue> mark =
          from.registry.Value(RegistryRoot::kLocalMachine, std::wstring(engine::kPackageKey),
                              std::wstring(engine::kPackageInstallingValue));
      const std::wstring marked = mark ? Text(*mark) : L"";
      const bool second = marked.size() >= 2 && marked.compare(marked.size() - 2, 2, L" 2") == 0;
      msiexec.Resume(from.registered, second ? 2 : 1);
      now = [&] { return Of(p, msiexec); };
      p.files.CountChangesWith(&counter);
      p.registry.CountChangesWith(&counter);
      StandinRun run;
      run.remove = kind.remove;
      ::testing::TestPartResultArray failures;
      {
        ::testing::ScopedFakeTestPartResultReporter catcher(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
        out.code = msiexec.Run(run);
      }
      for (int i = 0; i < failures.size(); ++i) standin_failures_.push_back(failures.GetTestPartResult(i).message());
      p.files.CountChangesWith(nullptr);
      p.registry.CountChangesWith(nullptr);
      out.end = now();
      if (!msiexec.refusals().empty()) out.error = Narrow(msiexec.refusals()[0]);
      // A kill between the product's registration (or its end) and the
      // next change: the stand-in's own kill, as the next action starts.
      if (kills != Kills::kNone && out.end.registered != from.registered) {
        const std::vector<std::string> actions = InstallerStandin::ScriptActions(kind.remove);
        const auto flip = std::find(actions.begin(), actions.end(), kind.remove ? "UnregisterProduct" : "RegisterProduct");
        if (flip != actions.end() && flip + 1 != actions.end()) {
          FakePlatform q;
          Load(q, from);
          InstallerStandin cut(q, PackageWithIcons());
          cut.Resume(from.registered, 1);
          run.kill_at = *(flip + 1);
          EXPECT_EQ(cut.Run(run), InstallerStandin::kKilled);
          out.kills.emplace_back(-1, Of(q, cut));
        }
      }
      return out;
    }
    const bool newer = std::wstring_view(kind.version) == L"1.1.0.0";
    if (newer) m.files.AddFile(kIcons + kRedrawn, kRedrawnBytes);
    now = [&] {
      State s = m;
      s.files.ReleaseSources();  // a killed process holds nothing
      s.files.AddFile(kIcons + kRedrawn, OurIcon(kRedrawn));
      return s;
    };
    platform::FakeSystem system;
    system.SetProgramVersion(kind.version);
    if (m.registered) system.SetPackage(std::wstring(engine::kUpgradeCode), StandinPackage().product_code);
    m.files.CountChangesWith(&counter);
    m.registry.CountChangesWith(&counter);
    const platform::Platform platform{m.files, m.registry, system};
    Error error;
    if (kind.remove) {
      engine::UninstallReport report;
      error = engine::RunUninstallation(platform, Target(), report);
    } else {
      auto no_window = [](engine::InstallStage) {};
      error = engine::RunInstallation(platform, Target(), engine::StageSink(no_window));
    }
    m.files.CountChangesWith(nullptr);
    m.registry.CountChangesWith(nullptr);
    m = now();
    out.code = static_cast<unsigned>(error.Number());
    if (error) out.error = Narrow(error.Description()) + " " + Narrow(error.Path());
    return out;
  }

  // The machine `from` under the stand-in of Windows Installer, and back.
  static void Load(FakePlatform& p, const State& from) {
    p.files = from.files;
    p.registry = from.registry;
    if (from.registered) p.system.SetPackage(std::wstring(engine::kUpgradeCode), StandinPackage().product_code);
  }
  static State Of(const FakePlatform& p, const InstallerStandin& msiexec) {
    State s;
    s.files = p.files;
    s.registry = p.registry;
    s.registered = msiexec.installed();
    return s;
  }

  static StandinPackage PackageWithIcons() {
    StandinPackage package;
    for (const engine::FileType& type : engine::kFileTypes) package.icons[std::wstring(type.icon_file)] = OurIcon(type.icon_file);
    return package;
  }

  bool Applies(const RunKind& kind, const State& s) const {
    if (!kind.package) return true;
    return GetParam() == engine::Scope::kMachine && kind.remove == s.registered;
  }

  // Another program's doing (or Windows restarting); false where it has nothing to act on.
  bool Apply(Act act, State& s) const {
    const engine::InstallTarget& target = Target();
    const std::wstring icon = std::wstring(target.folder) + L"\\89mat.ico";
    switch (act) {
      case Act::kTakeType:
        s.registry.Put(target.classes_root, PlacePath(TakenPlace()),
                       engine::testing::StoredText(L"", L"OtherApp.Text2"));
        return true;
      case Act::kTheirIcon:
        // Only where no record (the exe's, or the package's) names the
        // place: a removal takes the file it finds under a name of its own
        // for its copy (a finishing install sets it aside), as Windows
        // Installer's removal takes its component files.
        if (s.files.IsFile(icon) || Recorded(s)) return false;
        s.files.AddFile(icon, "their new icon");
        return true;
      case Act::kTheirIconGoes: {
        const std::optional<std::string> bytes = s.files.FileBytes(icon);
        if (!bytes || bytes->rfind("their", 0) != 0) return false;
        EXPECT_FALSE(s.files.DeleteFile(icon));
        bool removed = false;
        if (s.files.List(std::wstring(target.folder)).empty()) {
          EXPECT_FALSE(s.files.RemoveEmptyFolder(target.folder, removed));
        }
        return true;
      }
      case Act::kCleaner:
        if (!s.registry.KeyExists(target.record_root, engine::kRecordKey)) return false;
        EXPECT_FALSE(s.registry.DeleteTree(target.record_root, engine::kRecordKey));
        return true;
      case Act::kRestart: {
        const std::wstring before = s.Key();
        s.files.Restart();
        for (const std::wstring& name : s.files.List(kTemp)) EXPECT_FALSE(s.files.DeleteFile(kTemp + L"\\" + name));
        return s.Key() != before;
      }
    }
    return false;
  }
  static int TakenPlace() { return 7 * engine::kValuesPerType; }  // .89t's default value

  void Finish(Model& model) {
    for (const RunKind& kind : kRuns) {
      if (kind.remove || !Applies(kind, model.others)) continue;
      const Outcome whole = Run(model.others, kind, Kills::kNone);
      if (whole.code == 0) model.whole.push_back(whole.end);
    }
    model.whole_keys.clear();
    for (const State& whole : model.whole) model.whole_keys.insert(whole.Key());
    model.before_key = model.others.Key();
    model.unrecorded_key = Run(model.others, kRuns[1], Kills::kNone).end.Key();
  }

  int StartModel(const Start& start) {
    Model model;
    model.start = start.name;
    model.others = start.base;
    for (int place = 0; place < engine::kPlaceCount; ++place) {
      model.written[place] = start.base.registry.Value(Target().classes_root, PlacePath(place), PlaceName(place));
    }
    for (const std::wstring& folder : {std::wstring(Target().folder), kTwin}) {
      for (const std::wstring& name : start.base.files.List(folder)) {
        model.their_icons[folder + L"\\" + name] = *start.base.files.FileBytes(folder + L"\\" + name);
      }
    }
    Finish(model);
    models_.push_back(std::move(model));
    return static_cast<int>(models_.size()) - 1;
  }

  // The model after `act`: its doing on what the others made, and on each whole machine.
  int After(int from, Act act) {
    if (act == Act::kRestart) return from;
    const auto found = derived_.find({from, act});
    if (found != derived_.end()) return found->second;
    Model model = models_[from];
    ++model.acts;
    (void)Apply(act, model.others);
    for (State& whole : model.whole) (void)Apply(act, whole);
    const std::wstring icon = std::wstring(Target().folder) + L"\\89mat.ico";
    if (act == Act::kTakeType) model.written[TakenPlace()] = engine::testing::StoredText(L"", L"OtherApp.Text2");
    if (act == Act::kTheirIcon) model.their_icons[icon] = "their new icon";
    if (act == Act::kTheirIconGoes) model.their_icons.erase(icon);
    model.cleaned = model.cleaned || act == Act::kCleaner;
    const std::vector<State> kept = model.whole;
    model.whole.clear();
    Finish(model);
    model.whole.insert(model.whole.end(), kept.begin(), kept.end());
    for (const State& whole : kept) model.whole_keys.insert(whole.Key());
    models_.push_back(std::move(model));
    derived_[{from, act}] = static_cast<int>(models_.size()) - 1;
    return derived_[{from, act}];
  }

  bool Shown(const State& s) const {
    return s.registry.Value(Target().record_root, std::wstring(engine::kRecordKey), L"DisplayName").has_value();
  }
  // Reading a key changes nothing, though the registry's interface has it non-const.
  static bool KeyThere(const State& s, RegistryRoot root, std::wstring_view path) {
    return const_cast<FakeRegistry&>(s.registry).KeyExists(root, path);
  }
  // The package's product, its mark or the values it kept: what its next run finishes.
  static bool PackageTrace(const State& s) {
    const std::wstring key(engine::kPackageKey);
    return s.registered || s.registry.Value(RegistryRoot::kLocalMachine, key, std::wstring(engine::kPackageInstallingValue)) ||
           KeyThere(s, RegistryRoot::kLocalMachine, key + L"\\ReplacedValues");
  }
  bool Recorded(const State& s) const {
    return KeyThere(s, Target().record_root, engine::kRecordKey) || PackageTrace(s);
  }
  // A damaged record is kept by design once the uninstall has taken what it knows.
  bool DamagedRecordKept(const State& s) const {
    FakePlatform p;
    p.files = s.files;
    p.registry = s.registry;
    engine::Transaction record(p.platform, Target());
    return !record.Read() && record.record().state == engine::RecordState::kDamaged && !Shown(s);
  }
  // Once the record is gone, what it kept cannot be told: whole is every
  // icon and value ours (or theirs, written since) with DisplayName; as
  // before, none of ours and no record.
  bool OursEverywhere(const State& s, const Model& model, bool ours) const {
    for (const engine::FileType& type : engine::kFileTypes) {
      const std::optional<std::string> bytes = s.files.FileBytes(std::wstring(Target().folder) + L"\\" + std::wstring(type.icon_file));
      const bool our_bytes = bytes && (*bytes == OurIcon(type.icon_file) || *bytes == kRedrawnBytes);
      if (our_bytes != ours) return false;
    }
    for (int place = 0; place < engine::kPlaceCount; ++place) {
      const std::optional<FakeValue> found = s.registry.Value(Target().classes_root, PlacePath(place), PlaceName(place));
      const FakeValue our = engine::testing::Stored(PlaceName(place), engine::OurValue(Target(), place));
      if (found == model.written[place] || (model.written[place] && *model.written[place] == our)) continue;
      if ((found && *found == our) != ours) return false;
    }
    return ours ? Shown(s) || s.registered : !Recorded(s) || DamagedRecordKept(s);
  }
  // The record may differ from a whole install's in what it lists (a key
  // of theirs made since the plan, values an earlier form kept), so what
  // is in place is compared where the machine is not exactly one of them.
  bool Whole(const State& s, const Model& model, const std::wstring& key) const {
    return model.whole_keys.count(key) != 0 || OursEverywhere(s, model, true) || (model.cleaned && s.registered);
  }
  // An uninstall with no record takes what has our names and values as an
  // earlier build's: what it makes of the untouched machine is as before.
  bool AsBefore(const State& s, const Model& model, const std::wstring& key) const {
    return key == model.before_key || key == model.unrecorded_key || OursEverywhere(s, model, false);
  }

  void Fault(int check, const Model& model, const std::string& path, const std::string& what) {
    Faults& faults = faults_[check];
    ++faults.count;
    if (faults.starts.insert(model.start).second) {
      faults.shown += "\n  " + path + "\n    " + what;
    }
  }

  // Explores `s`, reached by `path` after `depth` runs.
  void Visit(const State& s, int model_at, int depth, const std::string& path) {
    const std::wstring key = s.Key();
    const std::size_t id = std::hash<std::wstring>()(key) * 31 + static_cast<std::size_t>(model_at);
    const auto seen = seen_.find(id);
    if (seen != seen_.end() && seen->second <= depth) return;
    if (seen == seen_.end()) ++states_;
    seen_[id] = depth;
    const Model& model = models_[model_at];
    if (Shown(s) && !Whole(s, model, key)) {
      Fault(1, model, path, "DisplayName on a machine not whole:" + Difference(s, model.whole.front()));
    }
    bool reached = false;
    std::string missed;
    for (const RunKind& kind : kRuns) {
      if (!Applies(kind, s) || (depth > 0 && !kind.final_run)) continue;
      const Kills kills = depth > 0 ? Kills::kNone : kind.final_run ? Kills::kEvery : Kills::kSampled;
      const bool record_before = KeyThere(s, Target().record_root, engine::kRecordKey);
      const Outcome out = Run(s, kind, kills);
      // An exe uninstall that finds no record takes what has the names and
      // values of ours for an earliest build's installation, by design.
      const bool unrecorded = !kind.package && kind.remove && !record_before;
      const std::string step = path + " -> " + kind.name + (unrecorded ? " (no record)" : "");
      const std::wstring end_key = out.end.Key();
      const bool whole = Whole(out.end, model, end_key), before = AsBefore(out.end, model, end_key);
      if (kind.final_run) reached = reached || whole || before;
      if (kind.final_run && !whole && !before) {
        missed += std::string("\n    ") + kind.name + " (exit " + std::to_string(out.code) + " " + out.error + "):" +
                  Difference(out.end, kind.remove ? model.others : model.whole.front());
      }
      // Windows Installer rolls back an installation whose process was
      // killed (its suspended script) before it runs the next: the stand-in
      // kills without that, so the package's runs after its own kill are
      // held to reaching whole or as before only.
      const bool after_package_kill = kind.package && path.find("msiexec /") != std::string::npos &&
                                      path.find("killed") != std::string::npos;
      if (out.code == 0 && !whole && !before && !Recorded(out.end) && !model.cleaned && !after_package_kill) {
        Fault(4, model, step, "success, and half changed with no record left:" + Difference(out.end, model.others));
      }
      // Without a record (the exe's), an uninstall cannot tell: the crash-points test pins what it takes.
      if (out.code == 0 && kind.remove && !model.cleaned && !after_package_kill && (kind.package || record_before) &&
          path.find("(no record)") == std::string::npos) {
        std::string lost;
        for (int place = 0; place < engine::kPlaceCount; ++place) {
          const std::optional<FakeValue>& theirs = model.written[place];
          if (!theirs) continue;
          if (!(out.end.registry.Value(Target().classes_root, PlacePath(place), PlaceName(place)) == theirs)) {
            lost += " " + Narrow(PlacePath(place)) + "|" + Narrow(PlaceName(place));
          }
        }
        for (const auto& [icon, bytes] : model.their_icons) {
          if (out.end.files.FileBytes(icon) != bytes) lost += " " + Narrow(icon);
        }
        if (!lost.empty()) Fault(2, model, step, "another program's data not as it last wrote it:" + lost);
      }
      ++transitions_;
      if (depth < kMaxRuns) Visit(out.end, model_at, depth + 1, step);
      for (const auto& [change, killed] : out.kills) {
        ++transitions_;
        Visit(killed, model_at, depth + 1,
              step + (change < 0 ? " killed after the product's registration changed"
                                 : " killed after change " + std::to_string(change)));
      }
    }
    if (!reached) Fault(3, models_[model_at], path, "no run to its end makes it whole or as before:" + missed);
    for (Act act : {Act::kTakeType, Act::kTheirIcon, Act::kTheirIconGoes, Act::kCleaner, Act::kRestart}) {
      if (depth == kMaxRuns || (act != Act::kRestart && models_[model_at].acts >= kMaxActs)) continue;
      if (depth > 0 && act != Act::kRestart && random_() % kActOdds != 0) continue;
      State after = s;
      if (!Apply(act, after)) continue;
      ++transitions_;
      Visit(after, After(model_at, act), depth, path + " -> " + kActNames[static_cast<int>(act)]);
    }
  }

  engine::UserTarget user_;
  std::vector<Start> starts_;
  std::deque<Model> models_;  // a model's address stays while more are added
  std::map<std::pair<int, Act>, int> derived_;
  std::unordered_map<std::size_t, int> seen_;  // machine and model: the fewest runs it was reached with
  std::mt19937 random_{89};
  std::map<int, Faults> faults_;
  std::vector<std::string> standin_failures_;
  int states_ = 0, transitions_ = 0, runs_ = 0;
};

TEST_P(Explorer, EveryMachineTheRunsKillsAndOtherProgramsLeaveIsWholeOrAsBeforeAfterOneRun) {
  const auto began = std::chrono::steady_clock::now();
  for (const Start& start : starts_) {
    const int model = StartModel(start);
    ASSERT_FALSE(models_[model].whole.empty()) << start.name << ": no run installs";
    Visit(start.machine, model, 0, std::string("start: ") + start.name);
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  std::printf("explorer (%s): %d states, %d transitions, %d runs, %.1f s\n",
              GetParam() == engine::Scope::kMachine ? "every account" : "/user", states_, transitions_, runs_,
              seconds);
  const char* const checks[] = {"", "DisplayName only on a whole installation", "other programs' data kept",
                                "whole or as before after one run", "no success over a half-changed machine"};
  for (const auto& [check, faults] : faults_) {
    ADD_FAILURE() << "check " << check << " (" << checks[check] << "): " << faults.count
                  << " machines; the first from each start:" << faults.shown;
  }
  EXPECT_TRUE(standin_failures_.empty()) << standin_failures_.size() << " failures inside the stand-in; the first: "
                                         << (standin_failures_.empty() ? "" : standin_failures_[0]);
  EXPECT_GT(states_, 1000);
}

INSTANTIATE_TEST_SUITE_P(Explorer, Explorer, ::testing::Values(engine::Scope::kMachine, engine::Scope::kUser),
                         [](const auto& scope) {
                           return std::string(scope.param == engine::Scope::kMachine ? "EveryAccount" : "OneAccount");
                         });

}  // namespace
}  // namespace glyphary::package::testing
