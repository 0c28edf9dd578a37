#include "bench/native_runs.h"

#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "engine/file_types.h"
#include "engine/installation.h"
#include "engine/product.h"
#include "platform/platform.h"

namespace glyphary::bench {

namespace {

using Op = PlatformCall::Op;
using platform::RegistryRoot;

const std::wstring kProgramFolder = L"C:\\Downloads\\Glyphary";
const std::wstring kInstallFolder(engine::kInstallFolder);

std::string Narrow(std::wstring_view text) {
  std::string out;
  for (wchar_t c : text) out.push_back(c < 128 ? static_cast<char>(c) : '?');  // ASCII names
  return out;
}

// The stand-ins as they are, with every call taken down in one list, in the
// order it was made: for working out the floor's calls and for comparing the
// two ways, never in a timed run.
class CallLog {
 public:
  PlatformCalls& calls() { return calls_; }
  void Note(Op op, std::wstring_view path = L"", std::wstring_view other = L"",
            std::wstring_view text = L"", std::uint32_t number = 0,
            RegistryRoot root = RegistryRoot::kClassesRoot) {
    calls_.push_back(PlatformCall{op, root, std::wstring(path), std::wstring(other),
                                  std::wstring(text), number});
  }

 private:
  PlatformCalls calls_;
};

class LoggedFiles : public platform::FileSystem {
 public:
  LoggedFiles(platform::FileSystem& files, CallLog& log) : files_(files), log_(log) {}

  bool FolderExists(std::wstring_view path) override {
    log_.Note(Op::kFolderExists, path);
    return files_.FolderExists(path);
  }
  Error CreateFolder(std::wstring_view path) override {
    log_.Note(Op::kCreateFolder, path);
    return files_.CreateFolder(path);
  }
  Error RemoveEmptyFolder(std::wstring_view path, bool& removed) override {
    log_.Note(Op::kRemoveEmptyFolder, path);
    return files_.RemoveEmptyFolder(path, removed);
  }
  bool FileExists(std::wstring_view path) override {
    log_.Note(Op::kFileExists, path);
    return files_.FileExists(path);
  }
  Error ListFiles(std::wstring_view pattern, platform::FileList& list) override {
    log_.Note(Op::kListFiles, pattern);
    return files_.ListFiles(pattern, list);
  }
  Error DeleteFile(std::wstring_view path) override {
    log_.Note(Op::kDeleteFile, path);
    return files_.DeleteFile(path);
  }
  Error MoveFile(std::wstring_view source, std::wstring_view destination) override {
    log_.Note(Op::kMoveFile, source, destination);
    return files_.MoveFile(source, destination);
  }
  Error MoveFileReplacing(std::wstring_view source, std::wstring_view destination) override {
    log_.Note(Op::kMoveFileReplacing, source, destination);
    return files_.MoveFileReplacing(source, destination);
  }
  Error DeleteAtRestart(std::wstring_view path) override {
    log_.Note(Op::kDeleteAtRestart, path);
    return files_.DeleteAtRestart(path);
  }
  // Only the uninstallation calls these, and the benchmarks replay installations: passed on unlogged.
  Error CreateHiddenFolder(std::wstring_view path) override {
    log_.Note(Op::kCreateHiddenFolder, path);
    return files_.CreateHiddenFolder(path);
  }
  bool SameFile(std::wstring_view a, std::wstring_view b) override { return files_.SameFile(a, b); }
  Error MoveAtRestart(std::wstring_view source, std::wstring_view destination) override {
    return files_.MoveAtRestart(source, destination);
  }
  bool DeletesAtRestart(std::wstring_view path) override {
    log_.Note(Op::kDeletesAtRestart, path);
    return files_.DeletesAtRestart(path);
  }
  Error KeepAtRestart(std::wstring_view path, bool& kept) override {
    log_.Note(Op::kKeepAtRestart, path);
    return files_.KeepAtRestart(path, kept);
  }
  Error FullPathOf(std::wstring_view path, WideText& full) override {
    log_.Note(Op::kFullPathOf, path);
    return files_.FullPathOf(path, full);
  }
  Error TempFolder(WideText& folder) override {
    log_.Note(Op::kTempFolder);
    return files_.TempFolder(folder);
  }
  Error LocalAppDataFolder(WideText& folder) override {
    log_.Note(Op::kLocalAppDataFolder);
    return files_.LocalAppDataFolder(folder);
  }
  bool Wow64SystemFolder(WideText& folder) override {
    log_.Note(Op::kWow64SystemFolder);
    return files_.Wow64SystemFolder(folder);
  }
  Error ProgramFile(WideText& path) override {
    log_.Note(Op::kProgramFile);
    return files_.ProgramFile(path);
  }
  void Pause(unsigned milliseconds) override {
    log_.Note(Op::kPause, L"", L"", L"", milliseconds);
    files_.Pause(milliseconds);
  }
  Error HoldSource(std::wstring_view path, int& held, unsigned long long& size) override {
    log_.Note(Op::kHoldSource, path);
    return files_.HoldSource(path, held, size);
  }
  bool HeldSourceIs(int held, std::wstring_view path) override { return files_.HeldSourceIs(held, path); }
  Error CopyHeldSource(int held, std::wstring_view destination, Existing existing) override {
    log_.Note(existing == Existing::kReplace ? Op::kCopyHeldSource : Op::kCopyHeldSourceNew, L"", destination, L"",
              static_cast<std::uint32_t>(held));
    return files_.CopyHeldSource(held, destination, existing);
  }
  void ReleaseSources() override {
    log_.Note(Op::kReleaseSources);
    files_.ReleaseSources();
  }
  Error LeaveFolder(std::wstring_view folder) override {
    log_.Note(Op::kLeaveFolder, folder);
    return files_.LeaveFolder(folder);
  }

 private:
  platform::FileSystem& files_;
  CallLog& log_;
};

class LoggedRegistry : public platform::Registry {
 public:
  LoggedRegistry(platform::Registry& registry, CallLog& log) : registry_(registry), log_(log) {}

  bool KeyExists(RegistryRoot root, std::wstring_view path) override {
    log_.Note(Op::kKeyExists, path, L"", L"", 0, root);
    return registry_.KeyExists(root, path);
  }
  Error CreateKey(RegistryRoot root, std::wstring_view path) override {
    log_.Note(Op::kCreateKey, path, L"", L"", 0, root);
    return registry_.CreateKey(root, path);
  }
  Error SetText(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                std::wstring_view text) override {
    log_.Note(Op::kSetText, path, name, text, 0, root);
    return registry_.SetText(root, path, name, text);
  }
  Error SetNumber(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                  std::uint32_t number) override {
    log_.Note(Op::kSetNumber, path, name, L"", number, root);
    return registry_.SetNumber(root, path, name, number);
  }
  Error ReadValue(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                  platform::RegistryValue& value, bool& found) override {
    log_.Note(Op::kReadValue, path, name, L"", 0, root);
    return registry_.ReadValue(root, path, name, value, found);
  }
  Error ValueNames(RegistryRoot root, std::wstring_view path, NameList& names) override {
    log_.Note(Op::kValueNames, path, L"", L"", 0, root);
    return registry_.ValueNames(root, path, names);
  }
  Error DeleteValue(RegistryRoot root, std::wstring_view path, std::wstring_view name) override {
    log_.Note(Op::kDeleteValue, path, name, L"", 0, root);
    return registry_.DeleteValue(root, path, name);
  }
  Error DeleteTree(RegistryRoot root, std::wstring_view path) override {
    log_.Note(Op::kDeleteTree, path, L"", L"", 0, root);
    return registry_.DeleteTree(root, path);
  }
  Error DeleteKeyIfEmpty(RegistryRoot root, std::wstring_view path, bool& deleted) override {
    log_.Note(Op::kDeleteKeyIfEmpty, path, L"", L"", 0, root);
    return registry_.DeleteKeyIfEmpty(root, path, deleted);
  }
  Error SetValue(RegistryRoot root, std::wstring_view path, std::wstring_view name,
                 const platform::RegistryValue& value) override {
    std::wstring bytes;
    for (std::size_t i = 0; i < value.bytes.size(); ++i) {
      bytes += static_cast<wchar_t>(static_cast<unsigned char>(value.bytes.c_str()[i]));
    }
    log_.Note(Op::kSetValue, path, name, bytes, value.type, root);
    return registry_.SetValue(root, path, name, value);
  }
  Error UseMachineClasses() override {
    log_.Note(Op::kUseMachineClasses);
    return registry_.UseMachineClasses();
  }

 private:
  platform::Registry& registry_;
  CallLog& log_;
};

class LoggedSystem : public platform::System {
 public:
  LoggedSystem(platform::System& system, CallLog& log) : system_(system), log_(log) {}

  bool TakeInstallLock() override {
    log_.Note(Op::kTakeInstallLock);
    return system_.TakeInstallLock();
  }
  void ReleaseInstallLock() override {
    log_.Note(Op::kReleaseInstallLock);
    system_.ReleaseInstallLock();
  }
  void StartPackageQuery(std::wstring_view upgrade_code) override {
    log_.Note(Op::kStartPackageQuery, upgrade_code);
    system_.StartPackageQuery(upgrade_code);
  }
  void FinishPackageQuery() override {
    log_.Note(Op::kFinishPackageQuery);
    system_.FinishPackageQuery();
  }
  bool InstalledPackage(std::wstring_view upgrade_code, WideText& product_code) override {
    log_.Note(Op::kInstalledPackage, upgrade_code);
    return system_.InstalledPackage(upgrade_code, product_code);
  }
  bool ProductInstalled(std::wstring_view product_code) override {
    log_.Note(Op::kProductInstalled, product_code);
    return system_.ProductInstalled(product_code);
  }
  bool WindowsInstallerRunning() override {
    log_.Note(Op::kWindowsInstallerRunning);
    return system_.WindowsInstallerRunning();
  }
  bool InstallLockTaken() override { return system_.InstallLockTaken(); }
  bool ProcessRunning(std::uint32_t id, std::uint64_t started) override {
    return system_.ProcessRunning(id, started);
  }
  WideText ProgramVersion() override {
    log_.Note(Op::kProgramVersion);
    return system_.ProgramVersion();
  }
  Rights CurrentRights() override {
    log_.Note(Op::kCurrentRights);
    return system_.CurrentRights();
  }
  Error RunElevated(std::wstring_view arguments, int& exit_code) override {
    log_.Note(Op::kRunElevated, arguments);
    return system_.RunElevated(arguments, exit_code);
  }
  void EnableShutdownPrivilege() override {
    log_.Note(Op::kEnableShutdownPrivilege);
    system_.EnableShutdownPrivilege();
  }
  void RequestRestart() override {
    log_.Note(Op::kRequestRestart);
    system_.RequestRestart();
  }
  void NotifyAssociationsChanged() override {
    log_.Note(Op::kNotifyAssociationsChanged);
    system_.NotifyAssociationsChanged();
  }

 private:
  platform::System& system_;
  CallLog& log_;
};

void Layers(platform::FileSystem& files, platform::Registry& registry, platform::System& system) {
  const platform::Platform machine{files, registry, system};
  auto ignore = [](engine::InstallStage) {};
  (void)engine::RunInstallation(machine, engine::kMachineTarget, engine::StageSink(ignore));
}

// The calls made one after the other, on the stand-ins themselves (timed)
// or on logged ones (compared). What they return is dropped.
template <class Files, class Registry, class System>
void PlayBack(Files& files, Registry& registry, System& system, const PlatformCalls& calls) {
  for (const PlatformCall& call : calls) {
    switch (call.op) {
      case Op::kFolderExists: (void)files.FolderExists(call.path); break;
      case Op::kCreateFolder: (void)files.CreateFolder(call.path); break;
      case Op::kCreateHiddenFolder: (void)files.CreateHiddenFolder(call.path); break;
      case Op::kRemoveEmptyFolder: {
        bool removed = false;
        (void)files.RemoveEmptyFolder(call.path, removed);
        break;
      }
      case Op::kFileExists: (void)files.FileExists(call.path); break;
      case Op::kListFiles: {
        platform::FileList list;
        (void)files.ListFiles(call.path, list);
        break;
      }
      case Op::kDeleteFile: (void)files.DeleteFile(call.path); break;
      case Op::kMoveFile: (void)files.MoveFile(call.path, call.other); break;
      case Op::kMoveFileReplacing: (void)files.MoveFileReplacing(call.path, call.other); break;
      case Op::kDeleteAtRestart: (void)files.DeleteAtRestart(call.path); break;
      case Op::kDeletesAtRestart: (void)files.DeletesAtRestart(call.path); break;
      case Op::kKeepAtRestart: {
        bool kept = false;
        (void)files.KeepAtRestart(call.path, kept);
        break;
      }
      case Op::kFullPathOf: {
        WideText full;
        (void)files.FullPathOf(call.path, full);
        break;
      }
      case Op::kTempFolder: {
        WideText folder;
        (void)files.TempFolder(folder);
        break;
      }
      case Op::kLocalAppDataFolder: {
        WideText folder;
        (void)files.LocalAppDataFolder(folder);
        break;
      }
      case Op::kWow64SystemFolder: {
        WideText folder;
        (void)files.Wow64SystemFolder(folder);
        break;
      }
      case Op::kProgramFile: {
        WideText path;
        (void)files.ProgramFile(path);
        break;
      }
      case Op::kPause: files.Pause(call.number); break;
      case Op::kHoldSource: {
        int held = 0;
        unsigned long long size = 0;
        (void)files.HoldSource(call.path, held, size);
        break;
      }
      case Op::kCopyHeldSource:
        (void)files.CopyHeldSource(static_cast<int>(call.number), call.other, platform::FileSystem::Existing::kReplace);
        break;
      case Op::kCopyHeldSourceNew:
        (void)files.CopyHeldSource(static_cast<int>(call.number), call.other, platform::FileSystem::Existing::kRefuse);
        break;
      case Op::kReleaseSources: files.ReleaseSources(); break;
      case Op::kLeaveFolder: (void)files.LeaveFolder(call.path); break;
      case Op::kKeyExists: (void)registry.KeyExists(call.root, call.path); break;
      case Op::kCreateKey: (void)registry.CreateKey(call.root, call.path); break;
      case Op::kSetText: (void)registry.SetText(call.root, call.path, call.other, call.text); break;
      case Op::kSetNumber:
        (void)registry.SetNumber(call.root, call.path, call.other, call.number);
        break;
      case Op::kReadValue: {
        platform::RegistryValue value;
        bool found = false;
        (void)registry.ReadValue(call.root, call.path, call.other, value, found);
        break;
      }
      case Op::kValueNames: {
        NameList names;
        (void)registry.ValueNames(call.root, call.path, names);
        break;
      }
      case Op::kDeleteValue: (void)registry.DeleteValue(call.root, call.path, call.other); break;
      case Op::kDeleteTree: (void)registry.DeleteTree(call.root, call.path); break;
      case Op::kDeleteKeyIfEmpty: {
        bool deleted = false;
        (void)registry.DeleteKeyIfEmpty(call.root, call.path, deleted);
        break;
      }
      case Op::kSetValue: {
        platform::RegistryValue value;
        value.type = call.number;
        for (wchar_t byte : call.text) value.bytes.Append(static_cast<char>(byte));
        (void)registry.SetValue(call.root, call.path, call.other, value);
        break;
      }
      case Op::kUseMachineClasses: (void)registry.UseMachineClasses(); break;
      case Op::kTakeInstallLock: (void)system.TakeInstallLock(); break;
      case Op::kReleaseInstallLock: system.ReleaseInstallLock(); break;
      case Op::kStartPackageQuery: system.StartPackageQuery(call.path); break;
      case Op::kFinishPackageQuery: system.FinishPackageQuery(); break;
      case Op::kInstalledPackage: {
        WideText product;
        (void)system.InstalledPackage(call.path, product);
        break;
      }
      case Op::kProductInstalled: (void)system.ProductInstalled(call.path); break;
      case Op::kWindowsInstallerRunning: (void)system.WindowsInstallerRunning(); break;
      case Op::kProgramVersion: (void)system.ProgramVersion(); break;
      case Op::kCurrentRights: (void)system.CurrentRights(); break;
      case Op::kRunElevated: {
        int exit_code = 0;
        (void)system.RunElevated(call.path, exit_code);
        break;
      }
      case Op::kEnableShutdownPrivilege: system.EnableShutdownPrivilege(); break;
      case Op::kRequestRestart: system.RequestRestart(); break;
      case Op::kNotifyAssociationsChanged: system.NotifyAssociationsChanged(); break;
    }
  }
}

}  // namespace

bool PlatformCall::operator==(const PlatformCall& call) const {
  return op == call.op && root == call.root && path == call.path && other == call.other &&
         text == call.text && number == call.number;
}

std::string PlatformCall::Describe() const {
  return "call " + std::to_string(static_cast<int>(op)) + " " +
         std::to_string(static_cast<int>(root)) + " " + Narrow(path) + " [" + Narrow(other) +
         "] = " + Narrow(text) + " " + std::to_string(number);
}

std::vector<IconFile> ReadIcons(const std::string& folder) {
  std::vector<IconFile> icons;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) throw std::runtime_error("cannot list " + folder);
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name.size() < 5 || name.compare(name.size() - 4, 4, ".ico") != 0) continue;
    std::ifstream in(folder + "/" + name, std::ios::binary);
    icons.push_back({std::wstring(name.begin(), name.end()),
                     std::string(std::istreambuf_iterator<char>(in), {})});
  }
  closedir(dir);
  std::sort(icons.begin(), icons.end(),
            [](const IconFile& a, const IconFile& b) { return a.name < b.name; });
  return icons;
}

std::unique_ptr<World> MakeWorld(const std::vector<IconFile>& icons) {
  auto world = std::make_unique<World>();
  world->files.SetProgramFolder(kProgramFolder);  // the program lies there
  world->files.AddFolder(std::wstring(engine::kSystemFolder));
  for (const IconFile& icon : icons) {
    world->files.AddFile(kProgramFolder + L"\\" + std::wstring(engine::kIconsFolderName) + L"\\" +
                             icon.name,
                         icon.bytes);
  }
  return world;
}

PlatformCalls RecordRun(const std::vector<IconFile>& icons) {
  std::unique_ptr<World> world = MakeWorld(icons);
  CallLog log;
  LoggedFiles files(world->files, log);
  LoggedRegistry registry(world->registry, log);
  LoggedSystem system(world->system, log);
  Layers(files, registry, system);
  return log.calls();
}

void RunLayers(World& world) { Layers(world.files, world.registry, world.system); }

void RunFloor(World& world, const PlatformCalls& calls) {
  PlayBack(world.files, world.registry, world.system, calls);
}

bool Installed(const World& world, std::string* why) {
  const engine::InstallTarget& target = engine::kMachineTarget;
  size_t icons = 0;
  bool program = false;
  for (const std::wstring& name : world.files.List(kInstallFolder)) {
    if (name.size() > 4 && name.compare(name.size() - 4, 4, L".ico") == 0) ++icons;
    program |= name == engine::kExeName;
  }
  size_t keys = world.registry.KeyCount(target.classes_root);
  size_t values = world.registry.ValueCount(target.classes_root);
  bool recorded = world.registry
                      .Value(target.record_root, std::wstring(engine::kRecordKey), L"DisplayName")
                      .has_value();
  int notices = world.system.Count("NotifyAssociationsChanged");
  if (icons == 12 && program && keys == 36 && values == 48 && recorded && notices == 1) {
    return true;
  }
  *why = "install folder holds " + std::to_string(icons) + " icons" +
         (program ? " and the program" : " and no program") + ", HKCR " + std::to_string(keys) +
         " keys and " + std::to_string(values) + " values, " +
         (recorded ? "a complete record" : "no complete record") + ", the shell told " +
         std::to_string(notices) + " times (expected 12 and the program, 36, 48, a record, 1)";
  return false;
}

bool SameWork(const std::vector<IconFile>& icons, const PlatformCalls& calls, std::string* why) {
  std::unique_ptr<World> layers = MakeWorld(icons);
  std::unique_ptr<World> floor = MakeWorld(icons);
  CallLog layers_log, floor_log;
  {
    LoggedFiles files(layers->files, layers_log);
    LoggedRegistry registry(layers->registry, layers_log);
    LoggedSystem system(layers->system, layers_log);
    Layers(files, registry, system);
  }
  {
    LoggedFiles files(floor->files, floor_log);
    LoggedRegistry registry(floor->registry, floor_log);
    LoggedSystem system(floor->system, floor_log);
    PlayBack(files, registry, system, calls);
  }
  std::string missing;
  if (!Installed(*layers, &missing)) {
    *why = "through the layers: " + missing;
    return false;
  }
  if (!Installed(*floor, &missing)) {
    *why = "the floor: " + missing;
    return false;
  }
  const PlatformCalls& a = layers_log.calls();
  const PlatformCalls& b = floor_log.calls();
  if (a.size() != b.size()) {
    *why = std::to_string(a.size()) + " calls through the layers against " +
           std::to_string(b.size()) + " of the floor";
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    if (!(a[i] == b[i])) {
      *why = "call " + std::to_string(i) + " differs (" + a[i].Describe() + " / " +
             b[i].Describe() + ")";
      return false;
    }
  }
  // The stand-ins' own records of what was done agree too.
  if (layers->files.Calls() != floor->files.Calls() ||
      layers->system.Operations() != floor->system.Operations() ||
      layers->registry.Writes() != floor->registry.Writes()) {
    *why = "the stand-ins recorded different work";
    return false;
  }
  return true;
}

}  // namespace glyphary::bench
