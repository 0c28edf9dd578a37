// The log an administrator asks for with /LOG: one line a step, each with
// its time and the Win32 code it ended with (0 when it went well). What the
// run found, each change it made, each value it put back, each refusal and
// why, and the exit code. Writing it never fails a run: a log that cannot
// be written is simply not written.
#pragma once

#include <string_view>

#include "base/error.h"

namespace glyphary::platform {

class Log {
 public:
  virtual ~Log() = default;
  // Appends one line: the time, `what`, and `code`.
  virtual void Write(std::wstring_view what, unsigned long code) = 0;
};

// The code an Error is logged with: the Win32 code it came from, else its
// own number (1618, 1638, 13...), 0 for no error.
unsigned long LogCode(const Error& error);

// Writes `what` with the code of `error` (and, for an error, the file or
// key it concerns) when there is a log.
void Note(Log* log, std::wstring_view what, const Error& error = Error());

}  // namespace glyphary::platform
