#include "windows/runtime/description.h"

#include <algorithm>

namespace glyphary::windows {

std::vector<int> TabOrder(const FormDescription& form) {
  std::vector<int> order;
  for (int i = 0; i < static_cast<int>(form.controls.size()); ++i) {
    if (CanTakeFocus(form.controls[static_cast<size_t>(i)].kind)) order.push_back(i);
  }
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return form.controls[static_cast<size_t>(a)].tab_index <
           form.controls[static_cast<size_t>(b)].tab_index;
  });
  return order;
}

}  // namespace glyphary::windows
