#include "platform/fake/fake_system.h"

#include <algorithm>

namespace glyphary::platform {

int FakeSystem::Count(const std::string& operation) const {
  return static_cast<int>(std::count(operations_.begin(), operations_.end(), operation));
}

Error FakeSystem::RunElevated(std::wstring_view arguments, int& exit_code) {
  operations_.push_back("RunElevated " + std::string(arguments.begin(), arguments.end()));
  exit_code = 0;
  if (!elevation_accepted_) return errors::Make(exit_codes::kCancelled);
  exit_code = elevated_exit_code_;
  return Error();
}

}  // namespace glyphary::platform
