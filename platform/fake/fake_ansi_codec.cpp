#include "platform/fake/fake_ansi_codec.h"

namespace glyphary::platform {

std::string FakeAnsiCodec::ToAnsi(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    bool one_byte = (c >= 0 && c < 0x80) || (c >= 0xA0 && c <= 0xFF);
    out += one_byte ? static_cast<char>(static_cast<unsigned char>(c)) : '?';
  }
  return out;
}

}  // namespace glyphary::platform
