// Wide to ANSI through WideCharToMultiByte with the system's ANSI code page.
#pragma once

#include "platform/ansi_codec.h"

namespace glyphary::platform {

class Win32AnsiCodec : public AnsiCodec {
 public:
  void ToAnsi(std::wstring_view text, NarrowText& out) override;
};

}  // namespace glyphary::platform
