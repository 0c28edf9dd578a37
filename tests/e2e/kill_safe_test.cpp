// A run killed at any point (a deployment tool's time-out, a power cut) is
// taken back or finished exactly by the next run; what an installation puts
// in is what it found, not a file swapped in meanwhile; and the record it
// reads back reaches nothing outside the installation.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include "tests/e2e/e2e_test.h"

namespace glyphary::e2e {
namespace {

namespace fs = std::filesystem;

// Another program's association, in three of the places the installation
// writes, each of a type the installation never writes there.
struct Seeded {
  const wchar_t* key;
  const wchar_t* name;
  DWORD type;
  std::vector<BYTE> bytes;
  // Its name under ReplacedValues: "<key>|<value name>".
  std::wstring Place() const { return std::wstring(key) + L"|" + name; }
};
const std::vector<Seeded>& Foreign() {
  static const std::vector<Seeded> values = {
      {L".89t", L"", REG_SZ, RegSzBytes(L"OtherApp.Text")},
      {L"Ivex.89t\\DefaultIcon", L"", REG_EXPAND_SZ,
       RegSzBytes(L"%SystemRoot%\\system32\\otherapp.dll,3")},
      {L"Ivex.89p", L"EditFlags", REG_BINARY, {0x00, 0x00, 0x01, 0x00}},
  };
  return values;
}

void Seed() {
  for (const Seeded& value : Foreign()) {
    ASSERT_TRUE(WriteValue(HKEY_CLASSES_ROOT, value.key, value.name, value.type, value.bytes));
  }
}

void ExpectValue(const RegistryValue& read, DWORD type, const std::vector<BYTE>& bytes) {
  EXPECT_TRUE(read.present);
  EXPECT_EQ(read.type, type);
  EXPECT_EQ(read.bytes, bytes);
}

// The keys the seeded values live in, as they are: what is there, and the
// number of values and sub-keys of each.
struct Snapshot {
  std::wstring there;
  std::vector<long> shape;
  bool operator==(const Snapshot& other) const { return there == other.there && shape == other.shape; }
};
Snapshot Take() {
  Snapshot snapshot{WhatIsInstalled(), {}};
  for (const wchar_t* key : {L".89t", L"Ivex.89t", L"Ivex.89t\\DefaultIcon", L"Ivex.89p"}) {
    snapshot.shape.push_back(ShapeOf(HKEY_CLASSES_ROOT, key).values);
    snapshot.shape.push_back(ShapeOf(HKEY_CLASSES_ROOT, key).subkeys);
  }
  return snapshot;
}

// The machine is as it was before the installation: the seeded values exact,
// their keys holding nothing else, nothing else of ours.
void ExpectForeignOnly(const Snapshot& before) {
  for (const Seeded& value : Foreign()) {
    SCOPED_TRACE(Narrow(value.Place()));
    ExpectValue(ReadValue(HKEY_CLASSES_ROOT, value.key, value.name), value.type, value.bytes);
  }
  const Snapshot now = Take();
  EXPECT_TRUE(now == before) << "left: " << Narrow(now.there);
}

std::wstring Text(const RegistryValue& value) {
  std::wstring text;
  for (size_t i = 0; i + 1 < value.bytes.size(); i += 2) {
    const wchar_t c = static_cast<wchar_t>(value.bytes[i] | (value.bytes[i + 1] << 8));
    if (c != 0) text += c;
  }
  return text;
}
std::wstring RecordText(const wchar_t* name) {
  return Text(ReadValue(HKEY_LOCAL_MACHINE, kRecordKey, name));
}

std::wstring Lower(std::wstring text) {
  CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// Whether Wine's uninstaller, standing in for Apps & Features, lists the
// installation.
bool Listed() {
  const std::wstring list = WorkFolder() + L"\\killsafe-list.txt";
  Process lister;
  EXPECT_EQ(Narrow(lister.Launch(SystemProgram(L"uninstaller.exe"), L"--list", L"", list)), "");
  EXPECT_TRUE(lister.WaitForExit(30000));
  const std::vector<char> listed = ReadWholeFile(list);
  return std::string(listed.begin(), listed.end()).find("|||Glyphary Installer") != std::string::npos;
}

class KillSafe : public InstallerTest {
 protected:
  // Runs `arguments` from a fresh copy on a machine made ready by `prepare`,
  // watches in a tight loop and kills the run the moment `reached` holds. A
  // kill that did not land where `landed` says (the moment passed, or the
  // run ended first) is tried again from a reset machine. Returns the
  // attempt that landed, 0 when none did.
  int KillWhen(const std::string& run, const std::wstring& arguments,
               const std::function<void()>& prepare, const std::function<bool()>& reached,
               const std::function<bool()>& landed) {
    // The window a kill must land in is a few registry writes wide on a
    // busy machine: enough tries that one lands.
    constexpr int kAttempts = 12;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
      EXPECT_EQ(Narrow(ResetMachine()), "");
      prepare();
      if (::testing::Test::HasFatalFailure()) return 0;
      Installer& killed = Copy(run + "-" + std::to_string(attempt));
      if (!killed.Start(arguments).empty()) return 0;
      const ULONGLONG start = GetTickCount64();
      while (killed.Running() && !reached() && GetTickCount64() - start < 60000) {
        MSG msg;  // served: a broadcast of the installer may wait on this thread
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      }
      killed.Kill();
      if (reached() && landed()) {
        std::printf("[   NOTE   ] %s: the kill landed at attempt %d\n", run.c_str(), attempt);
        return attempt;
      }
    }
    return 0;
  }

  // Installs with /S from a copy slowed down by large extra icons, so that
  // the uninstallation has much to remove.
  void InstallLarge(const std::string& run) {
    Installer& installer = Copy(run);
    AddLargeIcons(installer);
    ASSERT_TRUE(installer.Start(L"/S").empty());
    DWORD code = 0xDEAD;
    ASSERT_TRUE(installer.WaitForExit(60000, &code));
    ASSERT_EQ(code, 0u);
  }

  // Kills an installation with /S over the seeded values once it has
  // overwritten `.89t`, while its record still says Installing.
  int KillInstallationOverForeign(const std::string& run) {
    const std::vector<BYTE> ours = RegSzBytes(L"Ivex.89t");
    return KillWhen(
        run, L"/S", Seed, [&] { return ReadValue(HKEY_CLASSES_ROOT, L".89t", L"").bytes == ours; },
        [] { return RecordText(L"InstallState") == L"Installing"; });
  }

  // Kills an uninstallation with /S once DisplayName is gone, while the
  // record says Removing.
  int KillUninstallation(const std::string& run) {
    return KillWhen(
        run, L"/uninstall /S", [&] { InstallLarge(run + "-install"); },
        [] { return !Recorded(); }, [] { return RecordText(L"InstallState") == L"Removing"; });
  }
};

TEST_F(KillSafe, AnInstallationKilledOverAnotherProgramsAssociationIsTakenBackOrFinishedExactly) {
  for (const bool finish : {false, true}) {
    SCOPED_TRACE(finish ? "finished by /S" : "taken back by /uninstall /S");
    const std::string run = finish ? "finish" : "takeback";
    ASSERT_EQ(Narrow(ResetMachine()), "");
    ASSERT_NO_FATAL_FAILURE(Seed());
    const Snapshot before = Take();
    ASSERT_NE(KillInstallationOverForeign(run + "-killed"), 0) << "no kill landed before the record was complete";
    if (!finish) {
      EXPECT_EQ(RunSilently(L"/uninstall /S", run + "-uninstall"), 0u);
      ExpectForeignOnly(before);
      continue;
    }
    EXPECT_EQ(RunSilently(L"/S", run + "-install"), 0u);
    // What the installation replaced is saved exactly, once.
    EXPECT_EQ(ShapeOf(HKEY_LOCAL_MACHINE, kReplacedKey).values, 3);
    for (const Seeded& value : Foreign()) {
      SCOPED_TRACE(Narrow(value.Place()));
      ExpectValue(ReadValue(HKEY_LOCAL_MACHINE, kReplacedKey, value.Place()), value.type, value.bytes);
    }
    // The rest is the whole installation; ExpectInstalled expects no
    // ReplacedValues, so the sub-key is set aside while it looks.
    ASSERT_EQ(RegDeleteTreeW(HKEY_LOCAL_MACHINE, kReplacedKey), ERROR_SUCCESS);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kReplacedKey);
    ExpectInstalled();
    for (const Seeded& value : Foreign()) {
      ASSERT_TRUE(WriteValue(HKEY_LOCAL_MACHINE, kReplacedKey, value.Place(), value.type, value.bytes));
    }
    EXPECT_EQ(RunSilently(L"/uninstall /S", run + "-uninstall"), 0u);
    ExpectForeignOnly(before);
  }
}

TEST_F(KillSafe, AnUninstallationKilledMidwayNeverCountsAsInstalledAndIsFinishedByTheNextRun) {
  // Killed with DisplayName gone and the record saying Removing.
  ASSERT_NE(KillUninstallation("killed"), 0) << "no kill landed before the record was gone";
  EXPECT_FALSE(Listed()) << "Apps & Features lists an installation being removed";
  // The download's /S finishes the removal, the large icons too, and
  // installs afresh.
  EXPECT_EQ(RunSilently(L"/S", "install"), 0u);
  ExpectInstalled();
  EXPECT_TRUE(Listed()) << "the list misses a complete installation too";

  SCOPED_TRACE("finished by /uninstall /S");
  ASSERT_NE(KillUninstallation("killed-again"), 0) << "no kill landed before the record was gone";
  EXPECT_EQ(RunSilently(L"/uninstall /S", "uninstall"), 0u);
  EXPECT_EQ(Narrow(WhatIsInstalled()), "");
}

TEST_F(KillSafe, NothingCanBeSwappedInDuringASlowCopy) {
  Installer& slow = Copy();
  AddLargeIcons(slow);
  const std::wstring swapped = slow.folder() + L"\\swapped.ico";
  std::ofstream(fs::path(swapped), std::ios::binary) << "swapped in";
  ASSERT_TRUE(slow.Start(L"/S").empty());
  ASSERT_TRUE(WaitForCopying(slow)) << "the copy was over before anything could be tried";

  const std::wstring program = slow.exe();
  const std::wstring icon = slow.folder() + L"\\Icons\\89mat.ico";
  EXPECT_FALSE(MoveFileExW(program.c_str(), (program + L".old").c_str(), 0))
      << "the running copy's program was renamed";
  const DWORD renaming = GetLastError();
  HANDLE written = CreateFileW(icon.c_str(), GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  const DWORD writing = GetLastError();
  EXPECT_EQ(written, INVALID_HANDLE_VALUE) << "an icon held by the run opened for writing";
  if (written != INVALID_HANDLE_VALUE) CloseHandle(written);
  EXPECT_FALSE(MoveFileExW(swapped.c_str(), icon.c_str(), MOVEFILE_REPLACE_EXISTING))
      << "an icon held by the run was replaced";
  const DWORD replacing = GetLastError();
  std::printf("[   NOTE   ] refused with errors %lu (rename), %lu (write), %lu (replace)\n",
              renaming, writing, replacing);
  EXPECT_TRUE(slow.Running()) << "the run ended before everything was tried";

  DWORD code = 0xDEAD;
  ASSERT_TRUE(slow.WaitForExit(60000, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(ReadWholeFile(InstalledProgram()) == ReadWholeFile(DistFolder() + L"\\GlypharyInstaller.exe"))
      << "the installed program is not the shipped one";
  EXPECT_TRUE(ReadWholeFile(InstallFolder() + L"\\89mat.ico") ==
              ReadWholeFile(DistFolder() + L"\\Icons\\89mat.ico"))
      << "the installed 89mat.ico is not the shipped one";
}

TEST_F(KillSafe, ATamperedRecordReachesNothingOutsideTheInstallation) {
  ASSERT_EQ(RunSilently(L"/S", "install"), 0u);
  // Two files outside the folder the record is made to name, one of them
  // read-only; they are removed whatever the outcome.
  const std::wstring public_documents = L"C:\\users\\Public\\Documents";
  ASSERT_TRUE(fs::is_directory(fs::path(public_documents))) << "no public documents folder";
  const std::vector<std::wstring> victims = {SystemProgram(L"glyphary-victim.txt"),
                                             public_documents + L"\\glyphary-victim.txt"};
  const std::string content = "not the installation's";
  struct Cleanup {
    const std::vector<std::wstring>& paths;
    ~Cleanup() {
      for (const std::wstring& path : paths) {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      }
    }
  } cleanup{victims};
  for (const std::wstring& path : victims) std::ofstream(fs::path(path), std::ios::binary) << content;
  ASSERT_TRUE(SetFileAttributesW(victims[1].c_str(), FILE_ATTRIBUTE_READONLY));

  const std::wstring command = L"txtfile\\shell\\open\\command";
  const RegistryValue command_before = ReadValue(HKEY_CLASSES_ROOT, command, L"");
  const std::wstring outside = L"|..\\glyphary-victim.txt"
                               L"|..\\..\\..\\users\\Public\\Documents\\glyphary-victim.txt|" +
                               victims[0];
  ASSERT_TRUE(WriteValue(HKEY_LOCAL_MACHINE, kRecordKey, L"InstalledFiles", REG_SZ,
                         RegSzBytes(RecordText(L"InstalledFiles") + outside)));
  ASSERT_TRUE(WriteValue(HKEY_LOCAL_MACHINE, kRecordKey, L"SetAsideFiles", REG_SZ,
                         RegSzBytes(L"..\\glyphary-victim.txt")));
  ASSERT_TRUE(WriteValue(HKEY_LOCAL_MACHINE, kReplacedKey, command + L"|", REG_SZ, RegSzBytes(L"evil.exe")));

  EXPECT_EQ(RunSilently(L"/uninstall /S", "uninstall"), 13u);
  for (const std::wstring& path : victims) {
    const std::vector<char> kept = ReadWholeFile(path);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), content) << Narrow(path);
  }
  const RegistryValue command_after = ReadValue(HKEY_CLASSES_ROOT, command, L"");
  EXPECT_EQ(command_after.present, command_before.present);
  EXPECT_EQ(command_after.type, command_before.type);
  EXPECT_EQ(command_after.bytes, command_before.bytes) << Narrow(Text(command_after));
  EXPECT_EQ(Narrow(WhatIsInstalled()), "");
}

TEST_F(KillSafe, TheKeptUninstallerRunFromItsOwnFolderRemovesEverything) {
  ASSERT_EQ(RunSilently(L"/S", "install"), 0u);
  Process uninstaller;
  ASSERT_EQ(Narrow(uninstaller.Launch(InstalledProgram(), L"/uninstall /S", InstallFolder())), "");
  DWORD code = 0xDEAD;
  ASSERT_TRUE(uninstaller.WaitForExit(60000, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(ShapeOf(HKEY_LOCAL_MACHINE, kRecordKey).values, -1) << "the record is left";
  // The folder is gone, or waits for the restart.
  bool pending = false;
  for (const std::wstring& path : PendingDeletes()) {
    pending |= Lower(path) == Lower(L"\\??\\" + InstallFolder());
  }
  EXPECT_EQ(Narrow(WhatIsInstalled()), pending ? "folder " + Narrow(MachineWide().folder) + "; " : "");

  EXPECT_EQ(RunSilently(L"/S", "again"), 0u);
  ExpectInstalled();
}

}  // namespace
}  // namespace glyphary::e2e

namespace glyphary::e2e {
namespace {

// The uninstaller Settings runs (from its own folder) with the temporary
// folder on another volume: under Wine, /dev/shm is a file system of its
// own, and a rename into it fails as between two volumes. It moves itself
// beside the install folder instead, and the folder goes now.
TEST_F(KillSafe, TheUninstallerLeavesItsFolderWithTheTemporaryFolderOnAnotherVolume) {
  ASSERT_EQ(RunSilently(L"/S", "install"), 0u);
  const std::wstring temp = L"Z:\\dev\\shm\\glyphary-e2e-temp-" + std::to_wstring(GetCurrentProcessId());
  ASSERT_TRUE(CreateDirectoryW(temp.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  std::wstring saved[2];
  const wchar_t* names[2] = {L"TMP", L"TEMP"};
  for (int i = 0; i < 2; ++i) {
    saved[i].resize(32768);
    saved[i].resize(GetEnvironmentVariableW(names[i], saved[i].data(), 32768));
    SetEnvironmentVariableW(names[i], temp.c_str());  // the uninstaller inherits it
  }
  Process uninstaller;
  const std::string launched = Narrow(uninstaller.Launch(InstalledProgram(), L"/uninstall /S", InstallFolder()));
  DWORD code = 0xDEAD;
  const bool ended = launched.empty() && uninstaller.WaitForExit(60000, &code);
  for (int i = 0; i < 2; ++i) SetEnvironmentVariableW(names[i], saved[i].empty() ? nullptr : saved[i].c_str());
  ASSERT_EQ(launched, "");
  ASSERT_TRUE(ended);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(GetFileAttributesW(InstallFolder().c_str()), INVALID_FILE_ATTRIBUTES) << "the folder is left";
  EXPECT_EQ(ShapeOf(HKEY_LOCAL_MACHINE, kRecordKey).values, -1) << "the record is left";
  const std::wstring moved = InstallFolder().substr(0, InstallFolder().rfind(L'\\')) + L"\\~GlypharyInstaller.uninstalled";
  const DWORD attributes = GetFileAttributesW(moved.c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(attributes & FILE_ATTRIBUTE_HIDDEN, 0u);
  bool pending = false;
  for (const std::wstring& path : PendingDeletes()) {
    pending |= Lower(path) == Lower(L"\\??\\" + moved + L"\\GlypharyInstaller.exe");
  }
  EXPECT_TRUE(pending) << "the moved copy is not deleted at the restart";
  // The next run of the program clears it.
  EXPECT_EQ(RunSilently(L"/S", "again"), 0u);
  EXPECT_EQ(GetFileAttributesW(moved.c_str()), INVALID_FILE_ATTRIBUTES);
  RemoveDirectoryW(temp.c_str());  // no longer any program's current folder
}

// Our icon held open by another program, with the file of someone else's it
// replaced waiting aside: at the restart ours goes and theirs comes back, in
// that order; the record stays, naming it, with the entry gone.
TEST_F(KillSafe, OurIconHeldWithItsNamesakeAsideIsSwappedBackAtTheRestart) {
  const std::wstring icon = InstallFolder() + L"\\89mat.ico";
  const std::wstring aside_folder = InstallFolder() + L"\\Replaced by Glyphary Installer";
  ASSERT_TRUE(CreateDirectoryW(InstallFolder().c_str(), nullptr));
  std::ofstream(fs::path(icon), std::ios::binary) << "theirs";
  ASSERT_EQ(RunSilently(L"/S", "install"), 0u);
  HANDLE held = CreateFileW(icon.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const DWORD code = RunSilently(L"/uninstall /S", "uninstall");
  CloseHandle(held);
  EXPECT_EQ(code, 3010u);
  EXPECT_EQ(RecordText(L"InstallState"), L"Removing");
  EXPECT_EQ(RecordText(L"PendingRestart"), L"89mat.ico");
  EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, kRecordKey, L"DisplayName").present);
  const std::vector<std::wstring> texts = PendingTexts();
  const std::vector<std::wstring> expected = {L"\\??\\" + icon, L"", L"\\??\\" + aside_folder + L"\\89mat.ico",
                                              L"\\??\\" + icon, L"\\??\\" + aside_folder, L""};
  const auto found = std::search(texts.begin(), texts.end(), expected.begin(), expected.end(),
                                 [](const std::wstring& a, const std::wstring& b) { return Lower(a) == Lower(b); });
  EXPECT_NE(found, texts.end()) << "not in the restart's list, in order";
  const std::vector<char> theirs = ReadWholeFile(aside_folder + L"\\89mat.ico");
  EXPECT_EQ(std::string(theirs.begin(), theirs.end()), "theirs");
}

}  // namespace
}  // namespace glyphary::e2e
