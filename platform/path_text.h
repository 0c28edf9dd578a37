// Path text helpers shared by the file-system implementations: Windows
// wildcard matching and case-insensitive comparison of names.
#pragma once

#include <string>
#include <string_view>

namespace glyphary::platform {

// Whether `name` matches the wildcard `pattern` (* = any run, ? = any one
// character), case-insensitively as Windows compares file names.
bool WildcardMatch(std::wstring_view pattern, std::wstring_view name);

// Whether `text` holds a wildcard character.
bool HasWildcard(std::wstring_view text);

// Upper-case folding of one character for name comparison (ASCII and Latin-1).
wchar_t FoldCase(wchar_t c);

// `text` folded with FoldCase.
std::wstring Folded(std::wstring_view text);

// Splits "dir\name" at the last separator ('\' or '/'): {"dir", "name"}. A
// path without separator gives {"", path}.
std::pair<std::wstring, std::wstring> SplitLast(std::wstring_view path);

}  // namespace glyphary::platform
