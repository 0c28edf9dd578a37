// Building a form's controls from their descriptions: which window class
// and styles each kind of control is made with, and the resources they
// show.
#pragma once

#include <windows.h>

#include "base/error.h"
#include "base/text.h"
#include "windows/runtime/description.h"

namespace glyphary::windows {

// The runtime's own window classes: labels and pictures (drawn by the
// runtime, so that a transparent label shows what lies behind it) and frames
// (containers that draw their border).
inline constexpr wchar_t kLightweightClass[] = L"Glyphary.Lightweight";
inline constexpr wchar_t kFrameClass[] = L"Glyphary.Frame";

struct ControlClass {
  const wchar_t* window_class;
  DWORD style;
  DWORD ex_style;
};

// The window class and styles of a control as described.
ControlClass ClassOf(const ControlDescription& control);

// Whether the runtime draws the control itself (labels and pictures).
constexpr bool IsLightweight(ControlKind kind) {
  return kind == ControlKind::kLabel || kind == ControlKind::kImage;
}

// The styles of a top-level window with `form`'s border and buttons.
DWORD FormStyle(const FormDescription& form);

// The text of an RCDATA resource holding ANSI text, into `text`.
[[nodiscard]] Error LoadTextResource(int id, WideText& text);

// A bitmap resource, unscaled, into `bitmap` (the caller deletes it).
[[nodiscard]] Error LoadBitmapResource(int id, HBITMAP& bitmap);

}  // namespace glyphary::windows
