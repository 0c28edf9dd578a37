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

// Splits "dir\name" at the last separator ('\' or '/'): {"dir", "name"}. A
// path without separator gives {"", path}. Both halves are views of `path`.
std::pair<std::wstring_view, std::wstring_view> SplitLast(std::wstring_view path);

}  // namespace glyphary
