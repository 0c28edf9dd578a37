// The in-memory stand-ins installed behind every platform seam for the
// lifetime of one test.
#pragma once

#include "platform/fake/fake_ansi_codec.h"
#include "platform/fake/fake_file_system.h"
#include "platform/fake/fake_registry.h"
#include "platform/fake/fake_system_control.h"

namespace glyphary::engine::testing {

struct FakePlatform {
  platform::FakeRegistry registry;
  platform::FakeFileSystem files;
  platform::FakeAnsiCodec ansi;
  platform::FakeSystemControl system;
  platform::RegistrySeam::Override registry_seam{registry};
  platform::FileSystemSeam::Override files_seam{files};
  platform::AnsiSeam::Override ansi_seam{ansi};
  platform::SystemSeam::Override system_seam{system};

  // The registry calls that create keys or write values, in order.
  std::vector<platform::RegistryCall> Writes() const {
    std::vector<platform::RegistryCall> writes;
    for (const auto& call : registry.Calls()) {
      if (call.kind == platform::RegistryCall::Kind::kCreateKey ||
          call.kind == platform::RegistryCall::Kind::kSetValue) {
        writes.push_back(call);
      }
    }
    return writes;
  }
};

}  // namespace glyphary::engine::testing
