// Conversion of the program's wide strings to the system's ANSI code page,
// done at every call of an ANSI ("A") Windows function.
#pragma once

#include <string_view>

#include "base/text.h"
#include "platform/seam.h"

namespace glyphary::platform {

class AnsiCodec {
 public:
  virtual ~AnsiCodec() = default;

  // `text` in the system's ANSI code page, into `out` (replacing what it
  // held). Characters the code page cannot hold become the code page's
  // default character ('?'). Never fails.
  virtual void ToAnsi(std::wstring_view text, NarrowText& out) = 0;
};

using AnsiSeam = Seam<AnsiCodec>;

}  // namespace glyphary::platform
