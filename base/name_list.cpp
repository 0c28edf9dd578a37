#include "base/name_list.h"

#include "base/path_text.h"

namespace glyphary {

bool NameList::Contains(std::wstring_view name) const {
  bool found = false;
  ForEach([&](std::wstring_view listed) { found |= SameName(listed, name); });
  return found;
}

}  // namespace glyphary
