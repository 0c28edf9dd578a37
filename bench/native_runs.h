// The installation run on the in-memory stand-ins, two ways: through the
// engine's layers (RunInstallation on a Platform made of the stand-ins) and
// as the floor, the same file-system, registry and system calls made
// straight on the stand-ins, with every argument worked out beforehand: the
// calls of one run through the layers, taken down once and played back.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/fake/fake_file_system.h"
#include "platform/fake/fake_registry.h"
#include "platform/fake/fake_system.h"

namespace glyphary::bench {

// One fresh machine: C:\WINDOWS\system32 and the program folder with the
// program and its Icons\ holding the twelve shipped icons; an empty
// registry.
struct World {
  platform::FakeRegistry registry;
  platform::FakeFileSystem files;
  platform::FakeSystem system;
};

// The shipped icons (name, bytes), read once from `folder`.
struct IconFile {
  std::wstring name;
  std::string bytes;
};
std::vector<IconFile> ReadIcons(const std::string& folder);

std::unique_ptr<World> MakeWorld(const std::vector<IconFile>& icons);

// One call on the platform with its arguments (what it returned is not
// kept: played back, it returns the same on the same machine).
struct PlatformCall {
  enum class Op {
    // FileSystem
    kFolderExists, kCreateFolder, kRemoveEmptyFolder, kFileExists, kListFiles, kDeleteFile, kMoveFile,
    kMoveFileReplacing, kDeleteAtRestart, kDeletesAtRestart, kKeepAtRestart, kFullPathOf, kTempFolder,
    kLocalAppDataFolder, kWow64SystemFolder, kProgramFile, kPause, kHoldSource, kCopyHeldSource, kCopyHeldSourceNew,
    kReleaseSources, kLeaveFolder, kCreateHiddenFolder,
    // Registry
    kKeyExists, kCreateKey, kSetText, kSetNumber, kReadValue, kValueNames, kDeleteValue,
    kDeleteTree, kDeleteKeyIfEmpty, kSetValue, kUseMachineClasses,
    // System
    kTakeInstallLock, kReleaseInstallLock, kStartPackageQuery, kFinishPackageQuery, kInstalledPackage, kProductInstalled, kWindowsInstallerRunning,
    kProgramVersion, kCurrentRights, kRunElevated,
    kEnableShutdownPrivilege, kRequestRestart, kNotifyAssociationsChanged,
  };
  Op op;
  platform::RegistryRoot root = platform::RegistryRoot::kClassesRoot;
  std::wstring path;    // the path, pattern or source
  std::wstring other;   // the value name or destination
  std::wstring text;    // SetText; SetValue's bytes, one a character
  std::uint32_t number = 0;  // SetNumber, Pause, SetValue's type, the held source

  bool operator==(const PlatformCall& call) const;
  // "SetText 0 .89m [] = Ivex.89m", for messages.
  std::string Describe() const;
};
using PlatformCalls = std::vector<PlatformCall>;

// The calls of one installation run through the layers on a fresh machine,
// in order: what the floor plays back.
PlatformCalls RecordRun(const std::vector<IconFile>& icons);

// Through the layers: RunInstallation on `world`'s stand-ins.
void RunLayers(World& world);
// The floor: `calls` made directly on `world`'s stand-ins.
void RunFloor(World& world, const PlatformCalls& calls);

// Whether a run left the complete installation: the 12 icons and the
// program in the install folder, 36 keys and 48 values of the file types,
// the record's DisplayName, the shell told once. `why` says what is missing.
bool Installed(const World& world, std::string* why);

// Whether the floor makes the layers' calls: runs each once on a fresh
// machine, taking the calls down, and compares them one by one; both must
// install everything. `why` says where they part.
bool SameWork(const std::vector<IconFile>& icons, const PlatformCalls& calls, std::string* why);

}  // namespace glyphary::bench
