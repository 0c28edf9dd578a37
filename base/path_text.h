// Path text helpers shared by the file-system implementations: Windows
// wildcard matching, case folding of names, splitting a path.
#pragma once

#include <string_view>
#include <utility>

namespace glyphary {

// Whether `name` matches the wildcard `pattern` (* = any run, ? = any one
// character), case-insensitively as Windows compares file names.
bool WildcardMatch(std::wstring_view pattern, std::wstring_view name);

// Whether `text` holds a wildcard character.
bool HasWildcard(std::wstring_view text);

// Upper-case folding of one character for name comparison (ASCII and Latin-1).
wchar_t FoldCase(wchar_t c);

// Whether two names or paths are the same, compared as Windows compares
// file names.
bool SameName(std::wstring_view a, std::wstring_view b);

// The first `count` characters of `text` (all of it when shorter), and what
// follows the character at `at`: views made from the pointer, as substr
// would throw (and bring the C++ library's exceptions into the exe).
inline std::wstring_view Head(std::wstring_view text, std::size_t count) {
  return std::wstring_view(text.data(), count < text.size() ? count : text.size());
}
inline std::wstring_view After(std::wstring_view text, std::size_t at) {
  return at < text.size() ? std::wstring_view(text.data() + at + 1, text.size() - at - 1)
                          : std::wstring_view();
}

// Splits "dir\name" at the last separator ('\' or '/'): {"dir", "name"}. A
// path without separator gives {"", path}. Both halves are views of `path`.
std::pair<std::wstring_view, std::wstring_view> SplitLast(std::wstring_view path);

}  // namespace glyphary
