#include "windows/runtime/description.h"

namespace glyphary::windows {

FixedList<int, kMaxControls> TabOrder(const FormDescription& form) {
  FixedList<int, kMaxControls> order;
  // Insertion in tab-index order; equal indexes keep their listed order.
  for (int i = 0; i < static_cast<int>(form.controls.size()); ++i) {
    if (!CanTakeFocus(form.controls[static_cast<size_t>(i)].kind)) continue;
    (void)order.Add(i);
    for (size_t at = order.size() - 1;
         at > 0 && form.controls[static_cast<size_t>(order[at - 1])].tab_index >
                       form.controls[static_cast<size_t>(i)].tab_index;
         --at) {
      order[at] = order[at - 1];
      order[at - 1] = i;
    }
  }
  return order;
}

int IndexOfId(const FormDescription& form, int id) {
  for (size_t i = 0; i < form.controls.size(); ++i) {
    if (form.controls[i].id == id) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace glyphary::windows
