#include "platform/fake/fake_system.h"

#include <algorithm>

namespace glyphary::platform {

int FakeSystem::Count(const std::string& operation) const {
  return static_cast<int>(std::count(operations_.begin(), operations_.end(), operation));
}

}  // namespace glyphary::platform
