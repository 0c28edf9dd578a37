#include "platform/fake/fake_system_control.h"

namespace glyphary::platform {

std::uint32_t FakeSystemControl::GetVersion() {
  calls_.push_back({"GetVersion", {}, {}, {}, true});
  return version_;
}

Handle FakeSystemControl::GetCurrentProcess() {
  calls_.push_back({"GetCurrentProcess", {}, {}, {}, true});
  return kProcessPseudoHandle;
}

bool FakeSystemControl::OpenProcessToken(Handle process, std::uint32_t desired_access,
                                         Handle* token) {
  calls_.push_back({"OpenProcessToken", {process, desired_access}, {}, {}, token != nullptr});
  if (fail_token_open_ || process != kProcessPseudoHandle || token == nullptr) return false;
  *token = kTokenHandle;
  open_tokens_.insert(kTokenHandle);
  return true;
}

bool FakeSystemControl::LookupPrivilegeValueA(std::string_view system_name,
                                              std::string_view name, Luid* luid) {
  calls_.push_back({"LookupPrivilegeValueA", {}, {std::string(system_name), std::string(name)}, {},
                    luid != nullptr});
  if (luid == nullptr || !system_name.empty() || name != "SeShutdownPrivilege") return false;
  *luid = luid_;
  return true;
}

bool FakeSystemControl::AdjustTokenPrivileges(Handle token, bool disable_all_privileges,
                                              const std::uint8_t* new_state,
                                              std::uint32_t buffer_length,
                                              std::uint8_t* previous_state,
                                              std::uint32_t* return_length) {
  SystemCall call{"AdjustTokenPrivileges",
                  {token, disable_all_privileges ? 1u : 0u, buffer_length},
                  {},
                  {},
                  previous_state != nullptr && return_length != nullptr};
  if (new_state != nullptr) call.bytes.assign(new_state, new_state + kTokenPrivilegesSize);
  calls_.push_back(call);
  if (open_tokens_.count(token) == 0) return false;
  if (return_length != nullptr) *return_length = kTokenPrivilegesSize;
  return true;
}

bool FakeSystemControl::CloseHandle(Handle handle) {
  calls_.push_back({"CloseHandle", {handle}, {}, {}, true});
  return open_tokens_.erase(handle) == 1;
}

bool FakeSystemControl::ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) {
  calls_.push_back({"ExitWindowsEx", {flags, reason}, {}, {}, true});
  return true;
}

void FakeSystemControl::NotifyAssociationsChanged() {
  calls_.push_back({"SHChangeNotify", {0x08000000u}, {}, {}, true});  // SHCNE_ASSOCCHANGED
}

std::vector<std::string> FakeSystemControl::FunctionNames() const {
  std::vector<std::string> names;
  for (const SystemCall& call : calls_) names.push_back(call.function);
  return names;
}

}  // namespace glyphary::platform
