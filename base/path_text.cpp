#include "base/path_text.h"

namespace glyphary {

wchar_t FoldCase(wchar_t c) {
  if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - (L'a' - L'A'));
  // Latin-1 lower-case letters, except the German sharp s and y-diaeresis.
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<wchar_t>(c - 0x20);
  return c;
}

bool SameName(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

bool HasWildcard(std::wstring_view text) {
  return text.find_first_of(L"*?") != std::wstring_view::npos;
}

bool WildcardMatch(std::wstring_view pattern, std::wstring_view name) {
  // Iterative matcher with one back-tracking point for the last '*': linear
  // in practice, no recursion whatever the pattern.
  size_t p = 0, n = 0;
  size_t star = std::wstring_view::npos, star_n = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == L'*') {
      star = p++;
      star_n = n;
    } else if (p < pattern.size() &&
               (pattern[p] == L'?' || FoldCase(pattern[p]) == FoldCase(name[n]))) {
      ++p;
      ++n;
    } else if (star != std::wstring_view::npos) {
      p = star + 1;
      n = ++star_n;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == L'*') ++p;
  return p == pattern.size();
}

std::pair<std::wstring_view, std::wstring_view> SplitLast(std::wstring_view path) {
  size_t cut = path.find_last_of(L"\\/");
  if (cut == std::wstring_view::npos) return {std::wstring_view(), path};
  // Built from the pointer, not with substr, which could throw.
  return {std::wstring_view(path.data(), cut),
          std::wstring_view(path.data() + cut + 1, path.size() - cut - 1)};
}

}  // namespace glyphary
