#include "platform/win32/win32_ansi_codec.h"

#include <windows.h>

namespace glyphary::platform {

void Win32AnsiCodec::ToAnsi(std::wstring_view text, NarrowText& out) {
  out.Clear();
  if (text.empty()) return;
  const int length = static_cast<int>(text.size());
  const int needed =
      WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) {
    for (size_t i = 0; i < text.size(); ++i) out.Append('?');
    return;
  }
  out.Resize(static_cast<size_t>(needed));
  WideCharToMultiByte(CP_ACP, 0, text.data(), length, out.data(), needed, nullptr, nullptr);
}

}  // namespace glyphary::platform
