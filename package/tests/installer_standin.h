// A stand-in for Windows Installer running the package, with the execution
// rules Microsoft documents and Wine does not show: the immediate actions
// run as the user who started the installation, without administrator
// rights (a write below HKEY_LOCAL_MACHINE or HKEY_CLASSES_ROOT is refused);
// the standard actions that write and the deferred actions go into the
// script, in sequence order, with the CustomActionData set when they were
// scheduled, and run as the machine at InstallFinalize; on a failure the
// rollback actions scheduled so far run in reverse, unless rollback is
// disabled. The package's own standard actions are modelled from the same
// table the package is made from (its icons, its 48 values, its key).
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/tests/fake_platform.h"
#include "package/package_steps.h"

namespace glyphary::package::testing {

// The package: its product code and the icons it carries, by name.
struct StandinPackage {
  std::wstring product_code = L"{5EDE01BD-C2D3-434D-B05C-1D1FFF9AA409}";
  std::map<std::wstring, std::string> icons;
};

// One run of msiexec.
struct StandinRun {
  bool remove = false;             // msiexec /x, else /i
  bool rollback_disabled = false;  // DisableRollback by policy
  std::string fail_at;             // this action fails ("" none)
  std::string kill_at;             // the process dies as this action starts (InstallFiles: midway, the
                                   // first icon half copied)
  class InstallerStandin* upgrade_from = nullptr;  // a major upgrade: this product is removed at
                                                   // RemoveExistingProducts, after the checks
  std::function<void()> before_script;  // what happens between the immediate part and the script
};

class InstallerStandin {
 public:
  static constexpr unsigned kFailed = 1603;
  static constexpr unsigned kUnknownProduct = 1605;  // a removal of a product not installed
  static constexpr unsigned kKilled = 0xDEAD;
  static constexpr std::uint32_t kScriptProcess = 4242;

  InstallerStandin(engine::testing::FakePlatform& machine, StandinPackage package)
      : machine_(machine), package_(std::move(package)) {}

  // 0, kFailed, kUnknownProduct or kKilled.
  unsigned Run(const StandinRun& run);

  bool installed() const { return installed_; }
  // Carries on from a machine an earlier stand-in's run left: the product
  // registered or not, and the start of the script process that ran last
  // (the next run's starts after it).
  void Resume(bool installed, std::uint64_t last_start) {
    installed_ = installed;
    start_ = last_start;
  }
  // What the runs told the user.
  const std::vector<std::wstring>& refusals() const { return refusals_; }
  // The actions of the script of an installation or a removal that act
  // (not the rollback actions), in order.
  static std::vector<std::string> ScriptActions(bool remove);

 private:
  friend class StandinSession;
  struct Step;

  static std::vector<Step> Sequence(bool installed, bool remove, bool ui);
  bool RunCustom(const PackageAction& action, bool as_machine, const std::wstring& data);
  bool RunStandard(const std::string& name, std::vector<std::function<void()>>& undo);

  engine::testing::FakePlatform& machine_;
  StandinPackage package_;
  bool installed_ = false;
  std::map<std::wstring, std::wstring> properties_;
  std::vector<std::wstring> refusals_;
  std::uint64_t start_ = 1;  // the script process's start, new for each run of any stand-in
  static inline std::uint64_t last_start_ = 1;
};

}  // namespace glyphary::package::testing
