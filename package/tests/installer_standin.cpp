#include "package/tests/installer_standin.h"

#include <algorithm>

namespace glyphary::package::testing {

namespace {

using platform::Registry;
using platform::RegistryRoot;
using platform::RegistryValue;

constexpr int kInstallFinalize = 6600;
constexpr long kAccessDenied = 5;

// The registry as a user without administrator rights has it: everything
// reads, and every write to the machine's keys is refused.
class UserRegistry : public Registry {
 public:
  explicit UserRegistry(Registry& machine) : machine_(machine) {}
  bool KeyExists(RegistryRoot root, std::wstring_view path) override { return machine_.KeyExists(root, path); }
  Error CreateKey(RegistryRoot root, std::wstring_view path) override {
    return Refused(root, path) ? Denied(root, path) : machine_.CreateKey(root, path);
  }
  Error SetText(RegistryRoot root, std::wstring_view path, std::wstring_view name, std::wstring_view text) override {
    return Refused(root, path) ? Denied(root, path) : machine_.SetText(root, path, name, text);
  }
  Error SetNumber(RegistryRoot root, std::wstring_view path, std::wstring_view name, std::uint32_t number) override {
    return Refused(root, path) ? Denied(root, path) : machine_.SetNumber(root, path, name, number);
  }
  Error SetValue(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                 const RegistryValue& value) override {
    return Refused(root, path) ? Denied(root, path) : machine_.SetValue(root, path, name, value);
  }
  Error ReadValue(RegistryRoot root, std::wstring_view path, std::wstring_view name, RegistryValue& value,
                  bool& found) override {
    return machine_.ReadValue(root, path, name, value, found);
  }
  Error ValueNames(RegistryRoot root, std::wstring_view path, NameList& names) override {
    return machine_.ValueNames(root, path, names);
  }
  Error DeleteValue(RegistryRoot root, std::wstring_view path, std::wstring_view name) override {
    return Refused(root, path) ? Denied(root, path) : machine_.DeleteValue(root, path, name);
  }
  Error DeleteTree(RegistryRoot root, std::wstring_view path) override {
    return Refused(root, path) ? Denied(root, path) : machine_.DeleteTree(root, path);
  }
  Error DeleteKeyIfEmpty(RegistryRoot root, std::wstring_view path, bool& deleted) override {
    deleted = false;
    return Refused(root, path) ? Denied(root, path) : machine_.DeleteKeyIfEmpty(root, path, deleted);
  }
  Error UseMachineClasses() override { return machine_.UseMachineClasses(); }

  int refused = 0;  // writes refused so far

 private:
  static bool Refused(RegistryRoot root, std::wstring_view) { return root != RegistryRoot::kCurrentUser; }
  Error Denied(RegistryRoot root, std::wstring_view path) {
    ++refused;
    return platform::RegistryError(kAccessDenied, root, path);
  }
  Registry& machine_;
};

bool ConditionHolds(const std::string& condition, bool installed, bool remove) {
  if (condition.empty()) return true;
  if (condition == "NOT Installed") return !installed;
  if (condition == "REMOVE=\"ALL\"") return remove;
  ADD_FAILURE() << "the stand-in knows no condition " << condition;
  return false;
}

}  // namespace

class StandinSession : public Session {
 public:
  StandinSession(InstallerStandin& standin, bool deferred, std::wstring data)
      : standin_(standin), deferred_(deferred), data_(std::move(data)) {}
  WideText Property(std::wstring_view name) override {
    if (name == L"ProductCode") return WideText(std::wstring_view(standin_.package_.product_code));
    if (deferred_) return WideText(name == L"CustomActionData" ? std::wstring_view(data_) : std::wstring_view());
    const auto found = standin_.properties_.find(std::wstring(name));
    return WideText(found == standin_.properties_.end() ? std::wstring_view() : std::wstring_view(found->second));
  }
  void SetProperty(std::wstring_view name, std::wstring_view value) override {
    standin_.properties_[std::wstring(name)] = std::wstring(value);
  }
  void Log(std::wstring_view) override {}
  void Refuse(std::wstring_view text) override { standin_.refusals_.emplace_back(text); }
  bool PackageFile(std::wstring_view name, std::wstring_view path) override {
    const auto shipped = standin_.package_.icons.find(std::wstring(name));
    const auto bytes = standin_.machine_.files.FileBytes(std::wstring(path));
    return (shipped != standin_.package_.icons.end() && bytes == shipped->second) || standin_.installed_;
  }
  WideText ScriptProcess() override {
    return WideText(std::wstring_view(std::to_wstring(InstallerStandin::kScriptProcess) + L" " +
                                      std::to_wstring(standin_.start_)));
  }

 private:
  InstallerStandin& standin_;
  bool deferred_;
  std::wstring data_;
};

struct InstallerStandin::Step {
  std::string name;
  int sequence = 0;
  const PackageAction* custom = nullptr;  // null: a standard action
};

std::vector<InstallerStandin::Step> InstallerStandin::Sequence(bool installed, bool remove, bool ui) {
  std::vector<Step> steps;
  for (const PackageAction& action : kPackageActions) {
    const int at = ui ? action.ui_sequence : action.sequence;
    if (at != 0 && ConditionHolds(action.condition, installed, remove)) steps.push_back({action.name, at, &action});
  }
  if (!ui) {
    const std::vector<Step> standard =
        remove ? std::vector<Step>{{"RemoveRegistryValues", 2600}, {"RemoveFiles", 3500}, {"UnregisterProduct", 6100}}
               : std::vector<Step>{{"RemoveExistingProducts", 1401}, {"InstallFiles", 4000},
                                   {"WriteRegistryValues", 5000}, {"RegisterProduct", 6100}};
    steps.insert(steps.end(), standard.begin(), standard.end());
  }
  std::stable_sort(steps.begin(), steps.end(), [](const Step& a, const Step& b) { return a.sequence < b.sequence; });
  return steps;
}

std::vector<std::string> InstallerStandin::ScriptActions(bool remove) {
  std::vector<std::string> names;
  for (const Step& step : Sequence(remove, remove, false)) {
    const bool acts = step.custom == nullptr || (step.custom->type & (action_type::kInScript | action_type::kRollback)) ==
                                                    action_type::kInScript;
    if (acts && step.sequence < kInstallFinalize && step.name != "RemoveExistingProducts") names.push_back(step.name);
  }
  return names;
}

bool InstallerStandin::RunCustom(const PackageAction& action, bool as_machine, const std::wstring& data) {
  UserRegistry user(machine_.registry);
  Registry& registry = as_machine ? static_cast<Registry&>(machine_.registry) : user;
  const platform::Platform platform{machine_.files, registry, machine_.system};
  StandinSession session(*this, (action.type & action_type::kInScript) != 0, data);
  const std::wstring name(action.name, action.name + std::char_traits<char>::length(action.name));
  const bool done = RunPackageAction(name, session, platform, engine::kMachineTarget);
  EXPECT_EQ(user.refused, 0) << action.name << " wrote as the user, without the rights to";
  return done || (action.type & action_type::kIgnoreFailure) != 0;
}

bool InstallerStandin::RunStandard(const std::string& name,
                                   std::vector<std::function<void()>>& undo) {
  platform::FakeRegistry& registry = machine_.registry;
  platform::FakeFileSystem& files = machine_.files;
  const engine::InstallTarget& target = engine::kMachineTarget;
  const std::wstring folder(target.folder);
  // A value the package writes or removes, and how it is put back.
  auto keep = [&](RegistryRoot root, const std::wstring& key, const std::wstring& value_name) {
    RegistryValue old;
    bool there = false;
    EXPECT_FALSE(registry.ReadValue(root, key, value_name, old, there));
    undo.push_back([&registry, root, key, value_name, old, there] {
      if (there) {
        EXPECT_FALSE(registry.CreateKey(root, key));
        EXPECT_FALSE(registry.SetValue(root, key, value_name, old));
      } else {
        EXPECT_FALSE(registry.DeleteValue(root, key, value_name));
      }
    });
  };
  // The package's values: the 48 places, and the product in its own key.
  struct Value {
    RegistryRoot root;
    std::wstring key, name;
    RegistryValue value;
  };
  std::vector<Value> values;
  for (int place = 0; place < engine::kPlaceCount; ++place) {
    values.push_back({target.classes_root, std::wstring(engine::PlaceKey(target, place).view()),
                      std::wstring(engine::PlaceAt(place).value.name), engine::OurValue(target, place)});
  }
  values.push_back({RegistryRoot::kLocalMachine, std::wstring(engine::kPackageKey),
                    std::wstring(engine::kPackageProductValue), RegistryValue::Text(package_.product_code)});
  if (name == "InstallFiles") {
    if (!files.IsFolder(folder)) {
      EXPECT_FALSE(files.CreateFolder(folder));
      undo.push_back([&files, folder] {
        bool removed = false;
        EXPECT_FALSE(files.RemoveEmptyFolder(folder, removed));
      });
    }
    for (const auto& [icon, bytes] : package_.icons) {
      const std::wstring path = folder + L"\\" + icon;
      const std::optional<std::string> old = files.FileBytes(path);
      undo.push_back([&files, path, old] {
        if (old) {
          files.AddFile(path, *old);
        } else {
          EXPECT_FALSE(files.DeleteFile(path));
        }
      });
      files.AddFile(path, bytes);
    }
  } else if (name == "WriteRegistryValues") {
    for (const Value& value : values) {
      // Each missing level of its key is made, and goes again on rollback.
      for (std::size_t end = 0; end != std::wstring::npos;) {
        end = value.key.find(L'\\', end + 1);
        const std::wstring level = value.key.substr(0, end);
        if (registry.KeyExists(value.root, level)) continue;
        undo.push_back([&registry, root = value.root, level] {
          bool deleted = false;
          EXPECT_FALSE(registry.DeleteKeyIfEmpty(root, level, deleted));
        });
        EXPECT_FALSE(registry.CreateKey(value.root, level));
      }
      keep(value.root, value.key, value.name);
      EXPECT_FALSE(registry.SetValue(value.root, value.key, value.name, value.value));
    }
  } else if (name == "RemoveRegistryValues") {
    // Windows Installer deletes each of its values whatever it holds now,
    // then each key it leaves empty.
    for (const Value& value : values) {
      keep(value.root, value.key, value.name);
      EXPECT_FALSE(registry.DeleteValue(value.root, value.key, value.name));
    }
    for (auto value = values.rbegin(); value != values.rend(); ++value) {
      // Below HKEY_LOCAL_MACHINE only the package's own key; the classes'
      // keys with every level above them.
      for (std::wstring level = value->key; !level.empty();) {
        bool deleted = false;
        EXPECT_FALSE(registry.DeleteKeyIfEmpty(value->root, level, deleted));
        if (deleted) undo.push_back([&registry, root = value->root, level] { EXPECT_FALSE(registry.CreateKey(root, level)); });
        const std::size_t cut = level.rfind(L'\\');
        const bool above = cut != std::wstring::npos && value->root != RegistryRoot::kLocalMachine;
        level = above ? level.substr(0, cut) : std::wstring();
      }
    }
  } else if (name == "RemoveFiles") {
    for (const auto& [icon, bytes] : package_.icons) {
      const std::wstring path = folder + L"\\" + icon;
      const std::optional<std::string> old = files.FileBytes(path);
      if (!old) continue;
      undo.push_back([&files, path, old] { files.AddFile(path, *old); });
      EXPECT_FALSE(files.DeleteFile(path));
    }
    bool removed = false;
    (void)files.RemoveEmptyFolder(folder, removed);  // one that holds more stays, as Windows Installer leaves it
    if (removed) undo.push_back([&files, folder] { EXPECT_FALSE(files.CreateFolder(folder)); });
  } else {
    const bool now = name == "RegisterProduct";
    undo.push_back([this, was = installed_] {
      installed_ = was;
      machine_.system.SetPackage(was ? std::wstring(engine::kUpgradeCode) : L"", was ? package_.product_code : L"");
    });
    installed_ = now;
    machine_.system.SetPackage(now ? std::wstring(engine::kUpgradeCode) : L"", now ? package_.product_code : L"");
  }
  return true;
}

unsigned InstallerStandin::Run(const StandinRun& run) {
  properties_.clear();
  start_ = ++last_start_;
  machine_.system.SetProcess(kScriptProcess, start_, true);
  auto ended = [&](unsigned code) {
    machine_.system.SetProcess(kScriptProcess, start_, false);
    return code;
  };
  EXPECT_FALSE(machine_.registry.UseMachineClasses());
  if (run.remove && !installed_) return ended(kUnknownProduct);
  for (const Step& step : Sequence(installed_, run.remove, true)) {  // a double-click's UI sequence
    if (!RunCustom(*step.custom, false, L"")) return ended(kFailed);
  }
  // The execute sequence: immediate actions as they are reached, the rest
  // into the script with the data each has now.
  struct Scheduled {
    Step step;
    std::wstring data;
  };
  std::vector<Scheduled> script;
  std::vector<Step> after;
  for (const Step& step : Sequence(installed_, run.remove, false)) {
    const bool immediate = step.custom != nullptr && (step.custom->type & action_type::kInScript) == 0;
    if (step.name == "RemoveExistingProducts") {
      // Before InstallInitialize, the earlier product's removal runs whole.
      StandinRun removal;
      removal.remove = true;
      if (run.upgrade_from != nullptr && run.upgrade_from->Run(removal) != 0) return ended(kFailed);
      machine_.system.SetProcess(kScriptProcess, start_, true);
    } else if (step.sequence > kInstallFinalize) {
      after.push_back(step);
    } else if (!immediate) {
      const auto data = properties_.find(std::wstring(step.name.begin(), step.name.end()));
      script.push_back({step, data == properties_.end() ? L"" : data->second});
    } else if (step.name == run.fail_at || !RunCustom(*step.custom, false, L"")) {
      return ended(kFailed);
    }
  }
  if (run.before_script) run.before_script();
  std::vector<std::function<void()>> rollback;
  for (const Scheduled& scheduled : script) {
    const Step& step = scheduled.step;
    if (step.name == run.kill_at) {
      if (step.name == "InstallFiles") {
        const auto& [icon, bytes] = *package_.icons.begin();
        machine_.files.AddFile(std::wstring(engine::kMachineTarget.folder) + L"\\" + icon, bytes.substr(0, bytes.size() / 2));
      }
      return ended(kKilled);
    }
    const bool is_rollback = step.custom != nullptr && (step.custom->type & action_type::kRollback) != 0;
    bool done = true;
    if (is_rollback) {
      rollback.push_back([this, &step, data = scheduled.data] { RunCustom(*step.custom, true, data); });
    } else if (step.custom != nullptr) {
      done = step.name != run.fail_at && RunCustom(*step.custom, true, scheduled.data);
    } else {
      done = RunStandard(step.name, rollback) && step.name != run.fail_at;
    }
    if (!done) {
      if (!run.rollback_disabled) {
        for (auto undo = rollback.rbegin(); undo != rollback.rend(); ++undo) (*undo)();
      }
      return ended(kFailed);
    }
  }
  for (const Step& step : after) RunCustom(*step.custom, false, L"");
  return ended(0);
}

}  // namespace glyphary::package::testing
