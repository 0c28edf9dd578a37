#include "base/text.h"

namespace glyphary {

WideText JoinViews(std::initializer_list<std::wstring_view> parts) {
  std::size_t size = 0;
  for (std::wstring_view part : parts) size += part.size();
  WideText joined;
  joined.Reserve(size);
  for (std::wstring_view part : parts) joined.Append(part);
  return joined;
}

}  // namespace glyphary
