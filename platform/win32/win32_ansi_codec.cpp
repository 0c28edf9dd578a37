#include "platform/win32/win32_ansi_codec.h"

#include <windows.h>

namespace glyphary::platform {

std::string Win32AnsiCodec::ToAnsi(std::wstring_view text) {
  if (text.empty()) return std::string();
  int length = static_cast<int>(text.size());
  int needed = WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return std::string(text.size(), '?');
  std::string out(static_cast<size_t>(needed), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), length, out.data(), needed, nullptr, nullptr);
  return out;
}

}  // namespace glyphary::platform
