// Conversion of the program's wide strings to the system's ANSI code page,
// done at every call of an ANSI ("A") Windows function.
#pragma once

#include <string>
#include <string_view>

#include "platform/seam.h"

namespace glyphary::platform {

class AnsiCodec {
 public:
  virtual ~AnsiCodec() = default;

  // `text` in the system's ANSI code page. Characters the code page cannot
  // hold become the code page's default character ('?'). Never fails.
  virtual std::string ToAnsi(std::wstring_view text) = 0;
};

using AnsiSeam = Seam<AnsiCodec>;

}  // namespace glyphary::platform
