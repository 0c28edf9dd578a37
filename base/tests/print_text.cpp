// How the tests print the program's own text type in failure messages.
#include <ostream>

#include "base/text.h"

namespace glyphary {

namespace {

template <class Char>
void Print(const Text<Char>& text, std::ostream* out) {
  *out << '"';
  for (Char c : text.view()) {
    const auto code = static_cast<unsigned long>(c);
    if (code >= 0x20 && code < 0x7F) {
      *out << static_cast<char>(code);
    } else {
      *out << "\\x" << std::hex << code << std::dec;
    }
  }
  *out << '"';
}

}  // namespace

void PrintTo(const Text<wchar_t>& text, std::ostream* out) { Print(text, out); }
void PrintTo(const Text<char>& text, std::ostream* out) { Print(text, out); }

}  // namespace glyphary
