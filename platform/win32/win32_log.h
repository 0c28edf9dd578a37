// The administrator's log as a file: UTF-8, appended to, one line a step
// ("2026-12-08 09:14:03.217 [pid 4120] create folder C:\WINDOWS\system32\TI-89 (code 0)"),
// each written at once, so that what a killed run did is in it. A file that
// cannot be opened or written is no failure: the run goes on without it.
#pragma once

#include <string_view>

#include "base/text.h"
#include "platform/log.h"
#include "platform/win32/owned_handle.h"

namespace glyphary::platform {

class Win32Log : public Log {
 public:
  // `path` empty: GlypharyInstaller.log in the temporary folder.
  explicit Win32Log(std::wstring_view path);
  void Write(std::wstring_view what, unsigned long code) override;
  // The file it writes to.
  const WideText& path() const { return path_; }

 private:
  WideText path_;
  OwnedHandle file_;
};

}  // namespace glyphary::platform
