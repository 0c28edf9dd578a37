// The file-type registration and its reverse against the in-memory registry:
// the tree a registration leaves, what it overwrites and what it leaves
// alone, how it goes on past a refusal, and what taking it away leaves.
#include "engine/file_types.h"

#include <gtest/gtest.h>

#include "engine/tests/fake_platform.h"

namespace glyphary::engine {
namespace {

using platform::FakeRegistry;
using testing::StoredNumber;
using testing::Seed;
using testing::StoredText;
using Names = std::vector<std::wstring>;

constexpr platform::RegistryRoot kRoot = platform::RegistryRoot::kClassesRoot;

// Registers on `registry`; what the registration replaced into `replaced`.
Error Register(FakeRegistry& registry, List<ReplacedValue>& replaced) {
  Journal journal;
  return RegisterFileTypes(registry, kMachineTarget, journal, replaced);
}
Error Register(FakeRegistry& registry) {
  List<ReplacedValue> replaced;
  return Register(registry, replaced);
}

// A replaced value as one text: "key|name = text" or "key|name = number".
std::wstring Shown(const ReplacedValue& old) {
  return std::wstring(old.key.view()) + L"|" + std::wstring(old.name.view()) + L" = " +
         (old.value.type == platform::RegistryValue::Type::kNumber ? std::to_wstring(old.value.number)
                                                                   : std::wstring(old.value.text.view()));
}

// The twelve types as a user of the shell knows them, written out here
// independently of the program's table.
struct Expected {
  std::wstring extension, type_id, icon;
};
const Expected kTypes[] = {
    {L".89m", L"Ivex.89m", L"89mat.ico"},   {L".89c", L"Ivex.89c", L"89dat.ico"},
    {L".89d", L"Ivex.89d", L"89gdb.ico"},   {L".89e", L"Ivex.89e", L"89exp.ico"},
    {L".89f", L"Ivex.89f", L"89func.ico"},  {L".89p", L"Ivex.89p", L"89prog.ico"},
    {L".89s", L"Ivex.89s", L"89str.ico"},   {L".89t", L"Ivex.89t", L"89text.ico"},
    {L".89z", L"Ivex.89z", L"89asm.ico"},   {L".89g", L"Ivex.89g", L"89group.ico"},
    {L".89l", L"Ivex.89l", L"89list.ico"},  {L".89i", L"Ivex.89i", L"89pic.ico"},
};

TEST(FileTypes, ARegistrationLeavesThirtySixKeysHoldingExactlyTheFortyEightValues) {
  FakeRegistry registry;
  List<ReplacedValue> replaced;
  ASSERT_FALSE(Register(registry, replaced));

  EXPECT_TRUE(replaced.empty());
  EXPECT_EQ(registry.KeyCount(kRoot), 36u);
  EXPECT_EQ(registry.ValueCount(kRoot), 48u);
  for (const Expected& t : kTypes) {
    SCOPED_TRACE(::testing::PrintToString(t.extension));
    const std::wstring icon_key = t.type_id + L"\\DefaultIcon";
    EXPECT_EQ(registry.ValueNamesOf(kRoot, t.extension), Names{L""});
    EXPECT_EQ(registry.Value(kRoot, t.extension, L""), StoredText(L"", t.type_id));
    EXPECT_EQ(registry.ValueNamesOf(kRoot, t.type_id), (Names{L"BrowserFlags", L"EditFlags"}));
    EXPECT_EQ(registry.Value(kRoot, t.type_id, L"BrowserFlags"), StoredNumber(L"BrowserFlags", 8));
    EXPECT_EQ(registry.Value(kRoot, t.type_id, L"EditFlags"), StoredNumber(L"EditFlags", 0));
    EXPECT_EQ(registry.ValueNamesOf(kRoot, icon_key), Names{L""});
    EXPECT_EQ(registry.Value(kRoot, icon_key, L""),
              StoredText(L"", L"C:\\WINDOWS\\system32\\TI-89\\" + t.icon + L",0"));
  }
}

TEST(FileTypes, ARegistrationOverwritesAForeignAssociationAndLeavesOtherValuesAlone) {
  FakeRegistry registry;
  Seed(registry, L".89p", L"", L"OtherApp.Program");
  Seed(registry, L"OtherApp.Program", L"", L"Other program");
  Seed(registry, L"Ivex.89p", L"", L"TI-89 Program");
  Seed(registry, L"Ivex.89p", L"EditFlags", 1);
  Seed(registry, L"Ivex.89p", L"BrowserFlags", L"8");  // the right number, as text
  Seed(registry, L"Ivex.89i", L"EditFlags", 0);         // ours already

  List<ReplacedValue> replaced;
  EXPECT_FALSE(Register(registry, replaced));

  EXPECT_EQ(registry.Value(kRoot, L".89p", L""), StoredText(L"", L"Ivex.89p"));
  EXPECT_EQ(registry.Value(kRoot, L"OtherApp.Program", L""), StoredText(L"", L"Other program"));
  EXPECT_EQ(registry.Value(kRoot, L"Ivex.89p", L""), StoredText(L"", L"TI-89 Program"));
  EXPECT_EQ(registry.Value(kRoot, L"Ivex.89p", L"EditFlags"), StoredNumber(L"EditFlags", 0));
  EXPECT_EQ(registry.Value(kRoot, L"Ivex.89p", L"BrowserFlags"), StoredNumber(L"BrowserFlags", 8));
  EXPECT_EQ(registry.ValueCount(kRoot), 48u + 2u);
  // What was there before, for the uninstallation to put back.
  std::vector<std::wstring> shown;
  for (const ReplacedValue& old : replaced) shown.push_back(Shown(old));
  EXPECT_EQ(shown, (std::vector<std::wstring>{L".89p| = OtherApp.Program", L"Ivex.89p|BrowserFlags = 8",
                                              L"Ivex.89p|EditFlags = 1"}));
}

TEST(FileTypes, EveryWriteIsMadePastARefusalAndTheFirstRefusalIsReturnedNamingItsKey) {
  FakeRegistry registry;
  registry.Refuse(kRoot, L".89c");
  registry.RefuseValue(kRoot, L"Ivex.89s\\DefaultIcon", L"");

  const Error failed = Register(registry);

  EXPECT_EQ(failed.Number(), errors::kPermissionDenied);
  EXPECT_EQ(failed.Path(), L"HKEY_CLASSES_ROOT\\.89c");
  // Only the refused key and the refused value are missing.
  EXPECT_FALSE(registry.KeyExists(kRoot, L".89c"));
  EXPECT_FALSE(registry.Value(kRoot, L"Ivex.89s\\DefaultIcon", L"").has_value());
  EXPECT_EQ(registry.ValueCount(kRoot), 46u);
  EXPECT_EQ(registry.Value(kRoot, L"Ivex.89c", L"BrowserFlags"), StoredNumber(L"BrowserFlags", 8));
  EXPECT_EQ(registry.Value(kRoot, L"Ivex.89t", L"EditFlags"), StoredNumber(L"EditFlags", 0));
  EXPECT_EQ(registry.Value(kRoot, L".89i", L""), StoredText(L"", L"Ivex.89i"));

  // A refused default icon alone: that key is the one named.
  FakeRegistry other;
  other.RefuseValue(kRoot, L"Ivex.89s\\DefaultIcon", L"");
  const Error icon_refused = Register(other);
  EXPECT_EQ(icon_refused.Number(), errors::kPermissionDenied);
  EXPECT_EQ(icon_refused.Path(), L"HKEY_CLASSES_ROOT\\Ivex.89s\\DefaultIcon");
  EXPECT_EQ(other.ValueCount(kRoot), 47u);
}

TEST(FileTypes, UnregisteringTakesWhatStillHoldsOursLeavesWhatWasChangedAndPutsBackWhatItReplaced) {
  FakeRegistry registry;
  // Before the installation, .89d and .89p belonged to other programs.
  Seed(registry, L".89d", L"", L"OtherApp.Data");
  Seed(registry, L".89p", L"", L"Old.Program");
  List<ReplacedValue> replaced;
  ASSERT_FALSE(Register(registry, replaced));
  // Since: another program took over .89p, someone changed EditFlags of
  // Ivex.89m and gave .89t a content type, the icon of .89e points
  // elsewhere, and BrowserFlags of Ivex.89f is text now.
  Seed(registry, L".89p", L"", L"OtherApp.Program");
  Seed(registry, L"Ivex.89m", L"EditFlags", 0x10000);
  Seed(registry, L".89t", L"Content Type", L"text/plain");
  Seed(registry, L"Ivex.89e\\DefaultIcon", L"", L"D:\\Icons\\exp.ico,0");
  Seed(registry, L"Ivex.89f", L"BrowserFlags", L"8");

  UnregisterReport report;
  EXPECT_FALSE(UnregisterFileTypes(registry, kMachineTarget, replaced, report));

  EXPECT_EQ(report.types_removed, 12);
  EXPECT_EQ(report.values_kept, 4);  // .89p, Ivex.89m, Ivex.89e's icon, Ivex.89f
  // .89p, Ivex.89m, .89t, Ivex.89e with its DefaultIcon, Ivex.89f.
  EXPECT_EQ(report.keys_kept, 6);
  EXPECT_EQ(report.values_restored, 1);  // .89d: .89p's place is taken
  EXPECT_EQ(registry.KeyCount(kRoot), 7u);
  EXPECT_EQ(registry.ValueCount(kRoot), 6u);
  EXPECT_EQ(registry.Value(kRoot, L".89d", L""), StoredText(L"", L"OtherApp.Data"));
  EXPECT_EQ(registry.Value(kRoot, L".89p", L""), StoredText(L"", L"OtherApp.Program"));
  EXPECT_EQ(registry.ValueNamesOf(kRoot, L"Ivex.89m"), Names{L"EditFlags"});
  EXPECT_EQ(registry.ValueNamesOf(kRoot, L".89t"), Names{L"Content Type"});
  EXPECT_EQ(registry.Value(kRoot, L"Ivex.89e\\DefaultIcon", L""),
            StoredText(L"", L"D:\\Icons\\exp.ico,0"));
  EXPECT_EQ(registry.ValueNamesOf(kRoot, L"Ivex.89f"), Names{L"BrowserFlags"});
  EXPECT_FALSE(registry.KeyExists(kRoot, L".89m"));
  EXPECT_FALSE(registry.KeyExists(kRoot, L"Ivex.89m\\DefaultIcon"));
  EXPECT_FALSE(registry.KeyExists(kRoot, L"Ivex.89p"));
  EXPECT_FALSE(registry.KeyExists(kRoot, L".89e"));

  // Again on what is left: nothing of ours, nothing removed or put back.
  EXPECT_FALSE(UnregisterFileTypes(registry, kMachineTarget, replaced, report));
  EXPECT_EQ(report.types_removed, 0);
  EXPECT_EQ(report.values_kept, 5);
  EXPECT_EQ(report.keys_kept, 7);
  EXPECT_EQ(report.values_restored, 0);
  EXPECT_EQ(registry.ValueCount(kRoot), 6u);
}

}  // namespace
}  // namespace glyphary::engine
