#include "package/package_steps.h"

#include "base/decimal.h"
#include "base/path_text.h"
#include "engine/package_owner.h"
#include "engine/transaction/transaction.h"

namespace glyphary::package {

namespace {

using engine::InstallTarget;
using engine::SavedValue;
using platform::Registry;
using platform::RegistryRoot;
using platform::RegistryValue;

constexpr RegistryRoot kMachine = RegistryRoot::kLocalMachine;

// The package's record of the registry kinds: its key keeps what the
// places and keys held before, as the installation's record does.
constexpr engine::RecordLocation kPackageRecord{kMachine, engine::kPackageKey};
// Set in the package's key once every value the places held before is kept:
// from then on a place holding the package's own value may be the
// package's doing.
constexpr std::wstring_view kAllKeptValue = L"ValuesKept";
// Written by ClaimKeys with the mark: the paths of the package's icons that
// were there as the transaction began, each followed by '|'. While the mark
// of a transaction cut short is there, a file under another of the icons'
// paths is that transaction's copy, cut short too. A mark without it is an
// earlier build's.
constexpr std::wstring_view kIconsBeforeValue = L"IconsBefore";
// Another program's values that a removal found in the places before
// Windows Installer deleted them (SaveTaken).
constexpr std::wstring_view kTakenValue = L"TakenValues";

std::wstring_view ValueName(int place) { return engine::PlaceAt(place).value.name; }

// --- The values handed from an immediate action to a deferred one --------
// "<place>:<type>:<hex bytes>", separated by ';'.

void AppendHex(WideText& out, unsigned long long number, int digits) {
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out.Append(L"0123456789abcdef"[(number >> shift) & 15]);
}

WideText Encoded(const List<SavedValue>& values) {
  WideText out;
  for (const SavedValue& value : values) {
    if (!out.empty()) out.Append(L';');
    AppendDecimal(out, value.place);
    out.Append(L':');
    AppendDecimal(out, value.before.type);
    out.Append(L':');
    for (std::size_t i = 0; i < value.before.bytes.size(); ++i) {
      AppendHex(out, static_cast<unsigned char>(value.before.bytes.c_str()[i]), 2);
    }
  }
  return out;
}

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  return -1;
}

// The values Encoded wrote; an entry that is not one is dropped and named in
// the log (the data is the package's own, so that means a fault).
List<SavedValue> Decoded(std::wstring_view text, Session& session) {
  List<SavedValue> values;
  while (!text.empty()) {
    std::size_t end = text.find(L';');
    if (end == std::wstring_view::npos) end = text.size();
    const std::wstring_view entry = Head(text, end);
    text = After(text, end);
    const std::size_t first = entry.find(L':');
    const std::size_t second = first == std::wstring_view::npos ? first : entry.find(L':', first + 1);
    std::uint64_t place = 0, type = 0;
    const std::wstring_view hex = After(entry, second);
    bool whole = second != std::wstring_view::npos &&
                 ParseDecimal(Head(entry, first), engine::kPlaceCount - 1, place) &&
                 ParseDecimal(Head(After(entry, first), second - first - 1), 0xFFFFFFFFull, type) &&
                 hex.size() % 2 == 0;
    SavedValue value{static_cast<int>(place), {}};
    value.before.type = static_cast<std::uint32_t>(type);
    for (std::size_t i = 0; whole && i < hex.size(); i += 2) {
      const int high = HexDigit(hex[i]);
      const int low = HexDigit(hex[i + 1]);
      whole = high >= 0 && low >= 0;
      value.before.bytes.Append(static_cast<char>(high * 16 + low));
    }
    if (whole) {
      values.Add(value);
    } else {
      session.Log(Joined(L"Glyphary Installer: not a value, ignored: ", entry));
    }
  }
  return values;
}

const SavedValue* SavedAt(const List<SavedValue>& values, int place) {
  for (const SavedValue& value : values) {
    if (value.place == place) return &value;
  }
  return nullptr;
}
bool Saved(const List<SavedValue>& values, int place) { return SavedAt(values, place) != nullptr; }

// Calls `each` with the path of each of the package's icons, in the install
// folder and in its twin that 32-bit programs reach (SysWOW64\TI-89).
template <typename Each>
void ForEachIcon(const platform::Platform& platform, const InstallTarget& target, Each each) {
  engine::Wow64Folder twin;
  twin.Find(platform.files, target);
  for (const std::wstring_view folder : {target.folder, twin.folder()}) {
    for (const engine::FileType& type : engine::kFileTypes) {
      if (!folder.empty()) each(type.icon_file, Joined(folder, L"\\", type.icon_file).view());
    }
  }
}

// Whether `path` is one of the paths in kIconsBeforeValue's `list`.
bool Listed(std::wstring_view list, std::wstring_view path) {
  for (std::size_t end = list.find(L'|'); end != std::wstring_view::npos; end = list.find(L'|')) {
    if (SameName(Head(list, end), path)) return true;
    list = After(list, end);
  }
  return false;
}

// The values kept below the package's key, each for one of the 48 places;
// anything else there is no data of the package's and is left alone.
List<SavedValue> KeptValues(Registry& registry, const InstallTarget& target, Session& session) {
  List<SavedValue> kept;
  NameList ignored;
  if (const Error error = engine::ReadSavedValues(registry, kPackageRecord, target, kept, ignored)) {
    session.Log(Joined(L"Glyphary Installer: a kept value cannot be read: ", error.Path()));
  }
  return kept;
}

// Takes the transaction's mark away, with its list of the icons there
// before.
Error DeleteMark(Registry& registry) {
  Error error = registry.DeleteValue(kMachine, engine::kPackageKey, engine::kPackageInstallingValue);
  if (!error) error = registry.DeleteValue(kMachine, engine::kPackageKey, kIconsBeforeValue);
  return error;
}

// Takes the transaction's mark away, and the package's key, and the
// publisher's above it, when nothing else is in them.
void Unmark(Registry& registry, Session& session) {
  bool deleted = false;
  Error error = DeleteMark(registry);
  if (!error) error = registry.DeleteKeyIfEmpty(kMachine, engine::kPackageKey, deleted);
  if (!error && deleted) error = registry.DeleteKeyIfEmpty(kMachine, SplitLast(engine::kPackageKey).first, deleted);
  if (error) session.Log(Joined(L"Glyphary Installer: the package's key stays: ", error.Path()));
}

// Deletes the kept values; false (and named in the log) when they stay.
// Another program's values that a removal found in the places, kept in the
// package's key by SaveTaken: `found` now, with what an earlier removal cut
// short had kept for the places where nothing is found now.
List<SavedValue> Taken(Registry& registry, const List<SavedValue>& found, Session& session) {
  List<SavedValue> taken = found;
  RegistryValue kept;
  bool there = false;
  if (!registry.ReadValue(kMachine, engine::kPackageKey, kTakenValue, kept, there) && there) {
    for (const SavedValue& value : Decoded(kept.AsText(), session)) {
      if (!Saved(taken, value.place)) taken.Add(value);
    }
  }
  return taken;
}

bool ForgetKept(Registry& registry, Session& session) {
  Error error = registry.DeleteValue(kMachine, engine::kPackageKey, kAllKeptValue);
  if (!error) error = registry.DeleteValue(kMachine, engine::kPackageKey, kTakenValue);
  if (!error) error = engine::ForgetSavedValues(registry, kPackageRecord);
  if (error) session.Log(Joined(L"Glyphary Installer: the kept values stay: ", error.Path()));
  return !error;
}

// --- The actions ----------------------------------------------------------

// Why the exe's installation, or a run of it, stands in the way; "" when
// nothing does.
WideText ExeInTheWay(const platform::Platform& platform) {
  // The exe's record, in any state but none, is in the way: its
  // installation, or a run of it cut short that only the exe finishes.
  engine::Transaction exe(platform, engine::kMachineTarget);
  const Error unread = exe.Read();
  if (unread) {
    return Joined(L"The record of GlypharyInstaller.exe, ", platform::KeyName(kMachine, engine::kRecordKey),
                  L", cannot be read (", unread.Description(), L"): this package installs nothing over it.");
  }
  if (exe.FirstStepOf(engine::RunKind::kPackageInstall) == engine::FirstStep::kRefuseExeRecord) {
    return WideText(
        L"Glyphary Installer is installed on this computer by GlypharyInstaller.exe. Remove it first "
        L"(Settings > Apps, or GlypharyInstaller.exe /uninstall), then install this package.");
  }
  if (platform.system.InstallLockTaken()) {
    return WideText(
        L"GlypharyInstaller.exe is installing or removing the TI-89 file types right now. Install this "
        L"package when it has finished.");
  }
  return WideText();
}

ActionResult CheckInstall(Session& session, const platform::Platform& platform, const InstallTarget& target) {
  WideText refusal = ExeInTheWay(platform);
  // Another transaction of the package going on (Windows runs one at a
  // time; Wine does not). One cut short is what this one finishes.
  Registry& registry = platform.registry;
  RegistryValue mark;
  bool marked = false;  // past the refusal: a transaction cut short
  if (refusal.empty() && !registry.ReadValue(kMachine, engine::kPackageKey, engine::kPackageInstallingValue, mark, marked) &&
      marked && engine::MarkedProcessRuns(platform.system, mark.AsText())) {
    refusal = WideText(L"Windows Installer is installing the TI-89 file types already. Install this package "
                       L"when it has finished.");
  }
  RegistryValue icons_before;
  bool listed = false;  // the transaction cut short listed the icons there before it
  if (!marked || registry.ReadValue(kMachine, engine::kPackageKey, kIconsBeforeValue, icons_before, listed)) {
    listed = false;
  }
  // What the places hold now: what the package keeps before it writes.
  // Once an earlier transaction (an earlier version's, or one cut short)
  // had kept every value, or one cut short by an earlier build that kept no
  // such record, a place holding the package's own value may be that
  // transaction's doing: what it held before is what the package's key
  // keeps. Another program's value there now goes back at the removal,
  // over an older one kept: it was set since.
  RegistryValue all_kept;
  bool package_wrote = false;
  if (const Error error = registry.ReadValue(kMachine, engine::kPackageKey, kAllKeptValue, all_kept, package_wrote)) {
    package_wrote = true;  // unread: the kept values stand
  }
  package_wrote = package_wrote || (marked && !listed);
  const List<SavedValue> kept = KeptValues(registry, target, session);
  List<SavedValue> before;
  auto keep_before = [&](const engine::PlaceRead& read) {
    const SavedValue found{read.place, read.value};
    if (read.error) {
      refusal = Joined(L"The registry key ", read.error.Path(),
                       L" cannot be read, so what it holds could not be put back after an uninstall: this "
                       L"package installs nothing. Give administrators read access to the key, then install "
                       L"this package again.");
    } else if (read.exists && !engine::HoldsOurs(target, read.place, read.value)) {
      before.Add(found);
    } else if (const SavedValue* old = SavedAt(kept, read.place)) {
      before.Add(*old);
    } else if (read.exists && !package_wrote) {
      before.Add(found);
    }
    return !read.error;
  };
  if (refusal.empty()) (void)engine::ScanPlaces(registry, target, engine::PlaceVisit(keep_before));
  // The icons go into the install folder and into its twin that 32-bit
  // programs reach: someone else's file in either stops it. A transaction
  // cut short got past this check, so a file it did not list as there
  // before it is its own partial copy, which this one copies over.
  ForEachIcon(platform, target, [&](std::wstring_view name, std::wstring_view path) {
    if (!refusal.empty() || !platform.files.FileExists(path) || session.PackageFile(name, path)) return;
    if (listed && !Listed(icons_before.AsText(), path)) {
      session.Log(Joined(L"Glyphary Installer: copied over, left by the installation cut short: ", path));
    } else {
      refusal = Joined(L"The file ", path,
                       L" is another program's: this package would replace it with its own icon. Move it "
                       L"elsewhere, then install this package.");
    }
  });
  if (!refusal.empty()) {
    session.Refuse(refusal);
    return false;
  }
  session.SetProperty(L"SaveReplaced", Encoded(before));
  return true;
}

ActionResult ClaimKeys(Session& session, const platform::Platform& platform, const InstallTarget& target) {
  Registry& registry = platform.registry;
  const WideText mark = Joined(session.Property(L"ProductCode"), L" ", session.ScriptProcess());
  // The icons there now, unless this finishes a transaction cut short: the
  // list it made (or, an earlier build's, its lack of one) stands.
  RegistryValue earlier;
  bool marked = false;
  WideText icons;
  ForEachIcon(platform, target, [&](std::wstring_view, std::wstring_view path) {
    if (platform.files.FileExists(path)) icons.Append(Joined(path, L"|"));
  });
  if (registry.CreateKey(kMachine, engine::kPackageKey) ||
      registry.ReadValue(kMachine, engine::kPackageKey, engine::kPackageInstallingValue, earlier, marked) ||
      (!marked && registry.SetText(kMachine, engine::kPackageKey, kIconsBeforeValue, icons)) ||
      registry.SetText(kMachine, engine::kPackageKey, engine::kPackageInstallingValue, mark)) {
    session.Log(L"Glyphary Installer: the package's key cannot be written.");
    return false;
  }
  // Only now looked for again: a run of the exe that takes its lock after
  // this finds the mark.
  const WideText refusal = ExeInTheWay(platform);
  if (refusal.empty()) return true;
  session.Log(Joined(L"Glyphary Installer: ", refusal));
  Unmark(registry, session);
  return false;
}

ActionResult UndoClaim(Session& session, const platform::Platform& platform) {
  Unmark(platform.registry, session);
  return true;
}

ActionResult SaveReplaced(Session& session, const platform::Platform& platform, const InstallTarget& target) {
  Registry& registry = platform.registry;
  // CheckInstall has chosen, place by place, between what the package's key
  // kept and what is there now.
  const List<SavedValue> before = Decoded(session.Property(L"CustomActionData"), session);
  // The keys there now existed before, unless an earlier transaction of
  // the package (an earlier version's, or one cut short) wrote values or
  // kept a list: then the list it kept stands. Nothing of the package's is
  // written before this action in the script.
  RegistryValue all_kept;
  bool package_wrote = false;
  NameList keys, ignored;
  bool damaged = false;
  Error error = registry.ReadValue(kMachine, engine::kPackageKey, kAllKeptValue, all_kept, package_wrote);
  if (!error) error = engine::ReadKeysBefore(registry, kPackageRecord, target, keys, ignored, damaged);
  if (!error && !package_wrote && keys.empty() && !damaged) {
    engine::ExistingKeys(registry, target, keys);
    error = engine::WriteKeysBefore(registry, kPackageRecord, keys);
  }
  if (!error) error = engine::SaveValues(registry, kPackageRecord, target, before);
  if (!error) error = registry.SetNumber(kMachine, engine::kPackageKey, kAllKeptValue, 1);
  if (error) session.Log(Joined(L"Glyphary Installer: a value cannot be kept: ", error.Path()));
  return !error;
}

ActionResult UndoSaveReplaced(Session& session, const platform::Platform& platform, const InstallTarget& target) {
  // Windows Installer's own rollback has put back what its writes replaced;
  // what a transaction cut short earlier had replaced goes back over its
  // leftovers too. Then the kept values go.
  Registry& registry = platform.registry;
  auto own = [&target](int place, const RegistryValue& found) { return engine::HoldsOurs(target, place, found); };
  const engine::Replaceable leftovers(own);
  int restored = 0;
  if (const Error error =
          engine::PutBackSaved(registry, target, KeptValues(registry, target, session), restored, nullptr, &leftovers)) {
    session.Log(Joined(L"Glyphary Installer: could not put back ", error.Path()));
    return true;  // the kept values stay for the way out
  }
  ForgetKept(registry, session);
  return true;
}

ActionResult ClaimDone(Session& session, const platform::Platform& platform) {
  const Error error = DeleteMark(platform.registry);
  if (error) session.Log(Joined(L"Glyphary Installer: the mark cannot be taken away: ", error.Path()));
  return !error;
}

ActionResult FindTaken(Session& session, const platform::Platform& platform, const InstallTarget& target) {
  List<SavedValue> taken;  // another program's value, set since
  List<SavedValue> empty;  // nothing at all
  auto sort = [&](const engine::PlaceRead& read) {
    if (read.error) {
      // Unread, it is not known to be someone else's: the kept value goes
      // back only if the place is empty after the removal.
      session.Log(Joined(L"Glyphary Installer: cannot read ", read.error.Path()));
    } else if (!read.exists) {
      empty.Add(SavedValue{read.place, {}});
    } else if (!engine::HoldsOurs(target, read.place, read.value)) {
      taken.Add(SavedValue{read.place, read.value});
    }
    return true;
  };
  (void)engine::ScanPlaces(platform.registry, target, engine::PlaceVisit(sort));
  session.SetProperty(L"PutBackReplaced", Encoded(taken));
  session.SetProperty(L"SaveTaken", Encoded(taken));
  // What SaveTaken's rollback writes back: "=" and the kept text, or "" for none.
  RegistryValue kept;
  bool there = false;
  const bool read = !platform.registry.ReadValue(kMachine, engine::kPackageKey, kTakenValue, kept, there) && there;
  session.SetProperty(L"UndoSaveTaken", read ? Joined(L"=", kept.AsText()) : WideText());
  session.SetProperty(L"UndoPutBack", Encoded(empty));
  return true;
}

ActionResult PutBackReplaced(Session& session, const platform::Platform& platform, const InstallTarget& target) {
  // Windows Installer has deleted the 48 values whatever they held. What
  // another program set since the installation goes back first; where
  // nothing was set since, what the package had replaced.
  Registry& registry = platform.registry;
  const List<SavedValue> taken = Taken(registry, Decoded(session.Property(L"CustomActionData"), session), session);
  int restored = 0;
  bool all = true;
  for (const List<SavedValue>& values : {taken, KeptValues(registry, target, session)}) {
    if (const Error error = engine::PutBackSaved(registry, target, values, restored, nullptr)) {
      session.Log(Joined(L"Glyphary Installer: could not put back ", error.Path()));
      all = false;
    }
  }
  // The keys that were there before come back, if the removal took them.
  NameList keys;
  NameList ignored;
  bool damaged = false;
  Error error = engine::ReadKeysBefore(registry, kPackageRecord, target, keys, ignored, damaged);
  if (!error) error = engine::MakeKeysAgain(registry, target, keys);
  if (error) {
    session.Log(Joined(L"Glyphary Installer: could not make again ", error.Path()));
    all = false;
  }
  return all;  // the kept values stay for another try
}

ActionResult SaveTaken(Session& session, const platform::Platform& platform) {
  Registry& registry = platform.registry;
  const List<SavedValue> taken = Taken(registry, Decoded(session.Property(L"CustomActionData"), session), session);
  Error error = registry.CreateKey(kMachine, engine::kPackageKey);
  if (!error) error = registry.SetText(kMachine, engine::kPackageKey, kTakenValue, Encoded(taken));
  if (error) session.Log(Joined(L"Glyphary Installer: another program's values cannot be kept: ", error.Path()));
  return !error;
}

ActionResult UndoSaveTaken(Session& session, const platform::Platform& platform) {
  const WideText before = session.Property(L"CustomActionData");
  Registry& registry = platform.registry;
  const Error error = before.empty() ? registry.DeleteValue(kMachine, engine::kPackageKey, kTakenValue)
                                     : registry.SetText(kMachine, engine::kPackageKey, kTakenValue, After(before, 0));
  if (error) session.Log(Joined(L"Glyphary Installer: cannot take back ", error.Path()));
  return true;
}

ActionResult UndoPutBack(Session& session, const platform::Platform& platform, const InstallTarget& target) {
  // The removal is taken back: Windows Installer's rollback writes the
  // package's values again where they stood; where a place held nothing
  // when the removal began, the value put back into it goes again.
  Registry& registry = platform.registry;
  const List<SavedValue> empty = Decoded(session.Property(L"CustomActionData"), session);
  for (const SavedValue& kept : KeptValues(registry, target, session)) {
    if (!Saved(empty, kept.place)) continue;
    RegistryValue found;
    bool exists = false;
    const WideText key = engine::PlaceKey(target, kept.place);
    if (!registry.ReadValue(target.classes_root, key, ValueName(kept.place), found, exists) && exists &&
        found == kept.before) {
      if (const Error error = registry.DeleteValue(target.classes_root, key, ValueName(kept.place))) {
        session.Log(Joined(L"Glyphary Installer: cannot take back ", error.Path()));
      }
    }
  }
  return true;
}

ActionResult ForgetReplaced(Session& session, const platform::Platform& platform, const InstallTarget& target) {
  // The kept values go once each is back, or its place holds another
  // program's value (set since: it went back instead). Otherwise they all
  // stay, for the package's next transaction to find.
  Registry& registry = platform.registry;
  List<SavedValue> kept;
  NameList ignored;
  bool all_back = true;
  WideText left;  // what stays in the way
  if (const Error error = engine::ReadSavedValues(registry, kPackageRecord, target, kept, ignored)) {
    all_back = false;
    left = WideText(error.Path());
  }
  for (const SavedValue& value : kept) {
    const WideText key = engine::PlaceKey(target, value.place);
    RegistryValue found;
    bool exists = false;
    if (all_back && (registry.ReadValue(target.classes_root, key, ValueName(value.place), found, exists) ||
                     !exists || (found != value.before && engine::HoldsOurs(target, value.place, found)))) {
      all_back = false;
      left = key;
    }
  }
  if (!all_back) {
    session.Log(Joined(L"Glyphary Installer: not put back, the kept values stay: ", left));
  } else if (ForgetKept(registry, session)) {
    Unmark(registry, session);
  }
  return true;
}

}  // namespace

ActionResult RunPackageAction(std::wstring_view name, Session& session, const platform::Platform& platform,
                              const InstallTarget& target) {
  if (name == L"CheckInstall") return CheckInstall(session, platform, target);
  if (name == L"SaveTaken") return SaveTaken(session, platform);
  if (name == L"UndoSaveTaken") return UndoSaveTaken(session, platform);
  if (name == L"ClaimKeys") return ClaimKeys(session, platform, target);
  if (name == L"UndoClaim") return UndoClaim(session, platform);
  if (name == L"SaveReplaced") return SaveReplaced(session, platform, target);
  if (name == L"UndoSaveReplaced") return UndoSaveReplaced(session, platform, target);
  if (name == L"ClaimDone") return ClaimDone(session, platform);
  if (name == L"FindTaken") return FindTaken(session, platform, target);
  if (name == L"PutBackReplaced") return PutBackReplaced(session, platform, target);
  if (name == L"UndoPutBack") return UndoPutBack(session, platform, target);
  if (name == L"ForgetReplaced") return ForgetReplaced(session, platform, target);
  if (name == L"TellShell") {
    platform.system.NotifyAssociationsChanged();
    return true;
  }
  return false;
}

}  // namespace glyphary::package
