// The file-type registration and its reverse against the in-memory registry:
// the tree a registration leaves, what it overwrites and what it leaves
// alone, how it goes on past a refusal, and what taking it away leaves.
#include "engine/transaction/transaction.h"

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

Error Register(FakeRegistry& registry) { return RegisterFileTypes(registry, kMachineTarget); }

// The places that hold someone else's value now, as the installation saves
// them before it writes.
List<SavedValue> Foreign(FakeRegistry& registry) {
  List<SavedValue> foreign;
  EXPECT_FALSE(ReadPlaces(registry, kMachineTarget, foreign));
  return foreign;
}

// A saved value as one text: "key|name = type: bytes".
std::wstring Shown(const SavedValue& old) {
  std::wstring shown = std::wstring(PlaceName(kMachineTarget, old.place).view()) + L" = " +
                       std::to_wstring(old.before.type) + L":";
  for (unsigned char byte : std::string(old.before.bytes.c_str(), old.before.bytes.size())) {
    shown += L" " + std::to_wstring(byte);
  }
  return shown;
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
  ASSERT_FALSE(Register(registry));

  EXPECT_TRUE(Foreign(registry).empty());
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

TEST(FileTypes, ForeignValuesAreSavedExactlyBeforeTheRegistrationOverwritesThemAndOthersStay) {
  FakeRegistry registry;
  Seed(registry, L".89p", L"", L"OtherApp.Program");
  Seed(registry, L"OtherApp.Program", L"", L"Other program");
  Seed(registry, L"Ivex.89p", L"", L"TI-89 Program");
  Seed(registry, L"Ivex.89p", L"EditFlags", 1);
  Seed(registry, L"Ivex.89p", L"BrowserFlags", L"8");  // the right number, as text
  Seed(registry, L"Ivex.89i", L"EditFlags", 0);         // ours already
  registry.Put(kRoot, L"Ivex.89t\\DefaultIcon", testing::StoredRaw(L"", 2, std::string("%\0,\0" "1\0\0\0", 8)));

  const List<SavedValue> foreign = Foreign(registry);
  EXPECT_FALSE(Register(registry));

  EXPECT_EQ(registry.Value(kRoot, L".89p", L""), StoredText(L"", L"Ivex.89p"));
  EXPECT_EQ(registry.Value(kRoot, L"OtherApp.Program", L""), StoredText(L"", L"Other program"));
  EXPECT_EQ(registry.Value(kRoot, L"Ivex.89p", L""), StoredText(L"", L"TI-89 Program"));
  EXPECT_EQ(registry.Value(kRoot, L"Ivex.89p", L"EditFlags"), StoredNumber(L"EditFlags", 0));
  EXPECT_EQ(registry.Value(kRoot, L"Ivex.89p", L"BrowserFlags"), StoredNumber(L"BrowserFlags", 8));
  EXPECT_EQ(registry.ValueCount(kRoot), 48u + 2u);
  // What was there before, type and bytes, for the uninstallation to put back.
  std::vector<std::wstring> shown;
  for (const SavedValue& old : foreign) shown.push_back(Shown(old));
  const std::wstring other = L"1: 79 0 116 0 104 0 101 0 114 0 65 0 112 0 112 0 46 0 80 0 114 0 111 0 103 0 114 0 97 0 109 0 0 0";
  EXPECT_EQ(shown, (std::vector<std::wstring>{L".89p| = " + other, L"Ivex.89p|BrowserFlags = 1: 56 0 0 0",
                                              L"Ivex.89p|EditFlags = 4: 1 0 0 0",
                                              L"Ivex.89t\\DefaultIcon| = 2: 37 0 44 0 49 0 0 0"}));

  // A place that cannot be read stops the look before anything is written.
  registry.Refuse(kRoot, L"Ivex.89s");
  List<SavedValue> unread;
  const Error refused = ReadPlaces(registry, kMachineTarget, unread);
  EXPECT_EQ(refused.Number(), errors::kPermissionDenied);
  EXPECT_EQ(refused.Path(), L"HKEY_CLASSES_ROOT\\Ivex.89s");
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
  const List<SavedValue> replaced = Foreign(registry);
  ASSERT_FALSE(Register(registry));
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

  // Again on what is left, as a removal cut short and run once more: nothing
  // of ours; .89d already holds what was saved, and counts as put back.
  EXPECT_FALSE(UnregisterFileTypes(registry, kMachineTarget, replaced, report));
  EXPECT_EQ(report.types_removed, 0);
  EXPECT_EQ(report.values_kept, 4);
  EXPECT_EQ(report.keys_kept, 7);
  EXPECT_EQ(report.values_restored, 1);
  EXPECT_EQ(registry.ValueCount(kRoot), 6u);
}

}  // namespace
}  // namespace glyphary::engine
