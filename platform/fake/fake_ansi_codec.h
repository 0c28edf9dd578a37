// ANSI conversion for native tests, as Windows-1252 does it for the
// characters the installer can meet: ASCII and Latin-1 letters pass as one
// byte each, anything else becomes '?'.
#pragma once

#include "platform/ansi_codec.h"

namespace glyphary::platform {

class FakeAnsiCodec : public AnsiCodec {
 public:
  void ToAnsi(std::wstring_view text, NarrowText& out) override;
};

}  // namespace glyphary::platform
