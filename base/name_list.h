// A list of names (of files, of registry values) in one text: each name
// followed by a NUL, empty names too.
#pragma once

#include <string_view>

#include "base/text.h"

namespace glyphary {

class NameList {
 public:
  void Add(std::wstring_view name) {
    text_.Append(name).Append(L'\0');
    ++count_;
  }
  int count() const { return count_; }
  bool empty() const { return count_ == 0; }

  // Calls `visit(name)` for each name in order.
  template <class Visit>
  void ForEach(Visit visit) const {
    const wchar_t* name = text_.c_str();
    for (int i = 0; i < count_; ++i) {
      const std::wstring_view view(name);
      visit(view);
      name += view.size() + 1;
    }
  }

  // Whether `name` is in the list, compared as Windows compares file names.
  bool Contains(std::wstring_view name) const;

 private:
  WideText text_;
  int count_ = 0;
};

}  // namespace glyphary
