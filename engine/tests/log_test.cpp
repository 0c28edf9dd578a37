// The administrator's log: what the runs found, changed, put back and
// refused, each with its code, read as an administrator reads it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/installation.h"
#include "engine/tests/fake_platform.h"
#include "engine/uninstallation.h"
#include "platform/logged.h"

namespace glyphary::engine {
namespace {

// The log as lines "<what> (code N)".
class Lines : public platform::Log {
 public:
  void Write(std::wstring_view what, unsigned long code) override {
    lines.push_back(std::wstring(what) + L" (code " + std::to_wstring(code) + L")");
  }
  // The position of the first line from `from` on that holds `text`; -1 when none.
  int Find(const std::wstring& text, int from = 0) const {
    for (int i = from; i < static_cast<int>(lines.size()); ++i) {
      if (lines[static_cast<std::size_t>(i)].find(text) != std::wstring::npos) return i;
    }
    return -1;
  }
  std::vector<std::wstring> lines;
};

TEST(Log, SaysWhatEachRunFoundChangedPutBackAndRefusedInOrder) {
  testing::FakePlatform fake;
  fake.files.AddFolder(L"C:\\WINDOWS\\system32");
  fake.files.SetProgramFolder(L"C:\\Downloads\\Glyphary");
  for (const FileType& type : kFileTypes) {
    fake.files.AddFile(L"C:\\Downloads\\Glyphary\\Icons\\" + std::wstring(type.icon_file), "icon");
  }
  testing::Seed(fake.registry, L".89t", L"", L"OtherApp.Text");
  Lines log;
  platform::LoggedFileSystem files(fake.files, log);
  platform::LoggedRegistry registry(fake.registry, log);
  const platform::Platform logged{files, registry, fake.system, &log};
  auto ignore = [](InstallStage) {};

  ASSERT_FALSE(RunInstallation(logged, kMachineTarget, StageSink(ignore)));
  const int found = log.Find(L"found: nothing installed (code 0)");
  const int planned = log.Find(L"set value HKEY_LOCAL_MACHINE\\" + std::wstring(kRecordKey) +
                               L"\\ReplacedValues .89t| (code 0)");
  const int folder = log.Find(L"create folder C:\\WINDOWS\\system32\\TI-89 (code 0)");
  const int overwritten = log.Find(L"set text HKEY_CLASSES_ROOT\\.89t (default) (code 0)");
  const int named = log.Find(L"GlypharyInstaller DisplayName (code 0)");
  EXPECT_TRUE(0 <= found && found < planned && planned < folder && folder < overwritten &&
              overwritten < named && named < log.Find(L"installed (code 0)", named))
      << found << " " << planned << " " << folder << " " << overwritten << " " << named;

  log.lines.clear();
  UninstallReport report;
  ASSERT_FALSE(RunUninstallation(logged, kMachineTarget, report));
  EXPECT_GE(log.Find(L"found: a complete installation (code 0)"), 0);
  EXPECT_GE(log.Find(L"delete value HKEY_CLASSES_ROOT\\.89m (default) (code 0)"), 0);
  EXPECT_GE(log.Find(L"put back what the installation had replaced: HKEY_CLASSES_ROOT\\.89t| (code 0)"), 0);
  EXPECT_GE(log.Find(L"uninstalled (code 0)"), 0);

  // Refusals say why, with the code the run ends with.
  log.lines.clear();
  fake.system.HoldLockElsewhere(true);
  EXPECT_EQ(RunInstallation(logged, kMachineTarget, StageSink(ignore)).Number(), 1618);
  EXPECT_GE(log.Find(L"refused: another run of the program is installing or removing (code 1618)"), 0);
  fake.system.HoldLockElsewhere(false);
  fake.registry.Refuse(platform::RegistryRoot::kClassesRoot, L"Ivex.89t");
  EXPECT_EQ(RunInstallation(logged, kMachineTarget, StageSink(ignore)).Number(), errors::kPermissionDenied);
  EXPECT_GE(log.Find(L"cannot read HKEY_CLASSES_ROOT\\Ivex.89t BrowserFlags (code 5)"), 0);
  EXPECT_GE(log.Find(L"stopped before any change: a value that cannot be read cannot be saved: "
                     L"Permission denied, HKEY_CLASSES_ROOT\\Ivex.89t (code 5)"),
            0);
}

}  // namespace
}  // namespace glyphary::engine
