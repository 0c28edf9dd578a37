// A recording stand-in for the version, token and restart functions: every
// call with its arguments in order, a settable version, and a token that
// must be closed.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/system_control.h"

namespace glyphary::platform {

struct SystemCall {
  std::string function;                // "GetVersion", "OpenProcessToken", ...
  std::vector<std::uint64_t> numbers;  // the numeric arguments, in order
  std::vector<std::string> texts;      // the text arguments, in order
  std::vector<std::uint8_t> bytes;     // AdjustTokenPrivileges: the new state
  bool pointers_given = true;          // the out arguments were not null
};

class FakeSystemControl : public SystemControl {
 public:
  static constexpr Handle kProcessPseudoHandle = static_cast<Handle>(-1);
  static constexpr Handle kTokenHandle = 0x2A4;

  std::uint32_t GetVersion() override;
  Handle GetCurrentProcess() override;
  bool OpenProcessToken(Handle process, std::uint32_t desired_access, Handle* token) override;
  bool LookupPrivilegeValueA(std::string_view system_name, std::string_view name,
                             Luid* luid) override;
  bool AdjustTokenPrivileges(Handle token, bool disable_all_privileges,
                             const std::uint8_t* new_state, std::uint32_t buffer_length,
                             std::uint8_t* previous_state, std::uint32_t* return_length) override;
  bool CloseHandle(Handle handle) override;
  bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) override;
  void NotifyAssociationsChanged() override;

  // --- Set-up ---
  void SetVersion(std::uint32_t version) { version_ = version; }
  void SetShutdownLuid(Luid luid) { luid_ = luid; }
  void FailTokenOpen() { fail_token_open_ = true; }

  // --- Inspection ---
  const std::vector<SystemCall>& Calls() const { return calls_; }
  std::vector<std::string> FunctionNames() const;
  std::size_t OpenTokens() const { return open_tokens_.size(); }

 private:
  std::uint32_t version_ = 0x23F00206;  // 6.2 build 9200, NT family
  Luid luid_{0x13, 0};                  // SeShutdownPrivilege on NT
  bool fail_token_open_ = false;
  std::set<Handle> open_tokens_;
  std::vector<SystemCall> calls_;
};

}  // namespace glyphary::platform
