// The installation run on the in-memory stand-ins, two ways: through the
// engine's layers (RunInstallation behind the seams) and as the floor, the
// same folder, copy and registry calls made straight on the stand-ins with
// every ANSI string and value byte worked out beforehand.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/fake/fake_ansi_codec.h"
#include "platform/fake/fake_file_system.h"
#include "platform/fake/fake_registry.h"

namespace glyphary::bench {

// One fresh machine: C:\WINDOWS\system32 and the program folder with its
// Icons\ holding the twelve shipped icons; an empty registry.
struct World {
  platform::FakeRegistry registry;
  platform::FakeFileSystem files;
  platform::FakeAnsiCodec ansi;
};

// The shipped icons (name, bytes), read once from `folder`.
struct IconFile {
  std::wstring name;
  std::string bytes;
};
std::vector<IconFile> ReadIcons(const std::string& folder);

std::unique_ptr<World> MakeWorld(const std::vector<IconFile>& icons);

// The registry calls of one run, precomputed: 24 key creations, 48 value
// writes, in the engine's order.
struct RegistryWork {
  struct Create {
    std::string path;
  };
  struct Write {
    std::string path;
    std::string name;
    std::uint32_t type;
    std::vector<std::uint8_t> bytes;
  };
  std::vector<Create> creates;  // in call order, interleaved by `order`
  std::vector<Write> writes;
  // 'c' or 'w' per call, so that creates and writes keep the engine's order.
  std::string order;
};
RegistryWork MakeRegistryWork();

// Through the layers: the seams point at `world` for the call only.
void RunLayers(World& world);
// The floor: the same calls made directly.
void RunFloor(World& world, const RegistryWork& work);

// Whether a run left the complete installation: 12 icons in the install
// folder, 36 keys and 48 values. `why` says what is missing.
bool Installed(const World& world, std::string* why);

// Whether two runs made the same registry calls (kind, path, name, type,
// bytes, in order).
bool SameRegistryCalls(const World& a, const World& b, std::string* why);

}  // namespace glyphary::bench
