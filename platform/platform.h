// Everything the program reaches the operating system through: built once in
// wWinMain (or by a test, from the in-memory stand-ins) and passed to what
// needs it.
#pragma once

#include "platform/file_system.h"
#include "platform/log.h"
#include "platform/registry.h"
#include "platform/system.h"

namespace glyphary::platform {

struct Platform {
  FileSystem& files;
  Registry& registry;
  System& system;
  Log* log = nullptr;  // the administrator's log (/LOG), when asked for
};

}  // namespace glyphary::platform
