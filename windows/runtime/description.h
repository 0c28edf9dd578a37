// Windows and their controls described as data: what a form looks like,
// independent of how it is built. Positions and sizes are in twips, boxes
// relative to the client area of the control's container. Controls are
// listed front to back.
#pragma once

#include <cstdint>
#include <optional>

#include "base/fixed_list.h"

namespace glyphary::windows {

enum class Border { kNone, kFixedSingle, kSizable };
enum class ControlKind { kLabel, kImage, kTextBox, kCommandButton, kFrame, kCheckBox };

// A colour: an RGB triple or one of the system colours (a COLOR_* index).
struct Colour {
  bool system = true;
  int system_index = 15;  // COLOR_BTNFACE
  std::uint8_t r = 0, g = 0, b = 0;

  static constexpr Colour Rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return Colour{false, 0, red, green, blue};
  }
  static constexpr Colour System(int index) { return Colour{true, index, 0, 0, 0}; }
};

// System colour indexes used by the descriptions.
constexpr int kColorWindowText = 8;
constexpr int kColorButtonFace = 15;
constexpr int kColorButtonText = 18;

struct Font {
  const wchar_t* face = L"MS Sans Serif";
  double points = 8.25;
  int weight = 400;
  bool italic = false;
  int charset = 0;
};

struct Box {
  int left = 0, top = 0, width = 0, height = 0;  // twips
};

struct ControlDescription {
  const wchar_t* name = L"";
  ControlKind kind = ControlKind::kLabel;
  int id = 0;                 // the child window's control ID
  int container = -1;         // index of the frame that holds it; -1 = the window
  const wchar_t* text = L"";  // caption, or the text box's content
  Box box;
  Font font;
  std::optional<Colour> fore;  // default: the kind's system text colour
  std::optional<Colour> back;  // default: the kind's system background
  bool transparent = false;    // labels: paint no background
  int tab_index = 0;
  int value = 0;               // check box: 0 unchecked, 1 checked
  bool multi_line = false;     // text box
  bool vertical_scroll = false;
  bool read_only = false;
  int resource = 0;            // image: bitmap resource; text box: text resource
};

// The most controls a form holds.
constexpr std::size_t kMaxControls = 8;

struct FormDescription {
  const wchar_t* name = L"";
  const wchar_t* window_class = L"";  // "Glyphary.<name>"
  const wchar_t* caption = L"";
  Border border = Border::kFixedSingle;
  bool min_button = false;
  bool max_button = false;
  bool maximized = false;
  Box client;                    // the client area: its top-left corner on the screen, its size
  bool default_position = false;  // let Windows place the window (client left/top unused)
  Colour back = Colour::System(kColorButtonFace);
  int icon = 0;  // icon resource
  FixedList<ControlDescription, kMaxControls> controls;
};

// Whether a control of `kind` can take the keyboard focus.
constexpr bool CanTakeFocus(ControlKind kind) {
  return kind == ControlKind::kTextBox || kind == ControlKind::kCommandButton ||
         kind == ControlKind::kCheckBox;
}

// Indexes of the controls that can take the focus, in tab order.
FixedList<int, kMaxControls> TabOrder(const FormDescription& form);

// The index of the control with the child-window ID `id`, or -1.
int IndexOfId(const FormDescription& form, int id);

}  // namespace glyphary::windows
