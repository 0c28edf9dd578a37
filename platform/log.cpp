#include "platform/log.h"

#include "base/text.h"

namespace glyphary::platform {

unsigned long LogCode(const Error& error) {
  if (!error) return 0;
  return error.SystemCode() != 0 ? error.SystemCode() : static_cast<unsigned long>(error.Number());
}

void Note(Log* log, std::wstring_view what, const Error& error) {
  if (log == nullptr) return;
  if (!error || error.Path().empty()) {
    log->Write(what, LogCode(error));
    return;
  }
  log->Write(Joined(what, L": ", error.Description(), L", ", error.Path()), LogCode(error));
}

}  // namespace glyphary::platform
