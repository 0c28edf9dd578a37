#include "platform/fake/fake_ansi_codec.h"

#include <cstdint>

namespace glyphary::platform {

void FakeAnsiCodec::ToAnsi(std::wstring_view text, NarrowText& out) {
  out.Clear();
  for (wchar_t c : text) {
    auto code = static_cast<std::uint32_t>(c);
    bool one_byte = code < 0x80 || (code >= 0xA0 && code <= 0xFF);
    out.Append(one_byte ? static_cast<char>(code) : '?');
  }
}

}  // namespace glyphary::platform
