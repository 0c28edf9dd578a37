// A top-level window built from its description, with the life cycle of the
// classic form runtime: Load (create hidden, run Form_Load), Show (modeless,
// no owner), Unload (destroy; the object and its variables stay). One Form
// object a window name; it always means the single current instance.
// Handlers return an Error; the window procedure shows it in the error box.
#pragma once

#include <windows.h>

#include <string_view>

#include "base/error.h"
#include "base/fixed_list.h"
#include "base/text.h"
#include "windows/runtime/description.h"
#include "windows/runtime/painting.h"
#include "windows/runtime/window.h"

namespace glyphary::windows {

class Form;

// One control of a form. Labels, pictures and frames are windows of the
// runtime's own classes, which it draws; text boxes, buttons and check boxes
// are the system's EDIT and BUTTON windows.
class Control : public WindowBase {
 public:
  Form* form = nullptr;
  int index = 0;
  HFONT font = nullptr;
  HBITMAP bitmap = nullptr;
  RECT rect{};  // pixels, in the container's client area

  // A window of a system class, which never sees our WM_NCCREATE.
  void Adopt(HWND window) { hwnd_ = window; }

 protected:
  Error OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result,
                  bool& handled) override;
};

class Form : public WindowBase {
 public:
  using Describe = FormDescription (*)();

  explicit Form(Describe describe);
  ~Form() override;

  // Creates the window and its controls from the description, hidden, then
  // runs Form_Load to its end. Nothing when already loaded.
  [[nodiscard]] Error Load();
  // Loads if needed, makes the window visible and active, and returns.
  [[nodiscard]] Error Show();
  // Destroys the window and its controls. Nothing when not loaded.
  void Unload();

  bool Loaded() const { return hwnd_ != nullptr; }

  // The caption (labels, buttons, check box, frame) or text of the control
  // with child-window ID `id`.
  WideText Caption(int id) const;
  void SetCaption(int id, std::wstring_view text);
  // A check box's value: 1 checked, 0 unchecked.
  int Value(int id) const;

  // Moves the focus to the next (or previous) control in tab order.
  void MoveFocus(bool backwards);

 protected:
  // Events. Form_Load runs inside Load; Form_Resize when the window is first
  // shown and on every later change of its size or state; Form_GotFocus when
  // the window itself takes the focus (it holds no control that can).
  virtual Error Form_Load() { return Error(); }
  virtual Error Form_Resize() { return Error(); }
  virtual Error Form_GotFocus() { return Error(); }
  // The command button or check box with child-window ID `id` was clicked.
  virtual Error Click(int id) {
    (void)id;
    return Error();
  }

 private:
  friend class Control;
  struct MadeFont {
    Font font;
    int height = 0;
    HFONT handle = nullptr;
  };

  Error OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result,
                  bool& handled) override;
  void OnDestroyed() override;
  Error OnControlMessage(Control& control, UINT message, WPARAM wparam, LPARAM lparam,
                         LRESULT& result, bool& handled);

  Error CreateControls();
  Error CreateControl(Control& control);
  RECT PixelBox(const Box& box) const;
  const Control* ControlWithId(int id) const;
  int IndexOf(HWND window) const;
  void PaintLightweight(const Control& control, HDC dc);
  void DrawLightweight(const Control& control, HDC dc, POINT offset);
  Error FontFor(const Font& font, int height, HFONT& handle);
  Error FitCaption(Control& control);
  bool CaptionFits(const Control& control) const;
  Error Keep(HGDIOBJ object);
  void FocusFirstControl();

  // What a loaded window has: made at Load, freed with the window, so that
  // the four global forms themselves stay small.
  struct Instance {
    FormDescription description;
    Control controls[kMaxControls];  // one a described control, in its order
    FixedList<MadeFont, 12> fonts;
    GdiObject gdi[16];  // fonts, brushes and bitmaps of this instance
    std::size_t gdi_count = 0;
    HBRUSH back_brush = nullptr;
    HWND last_focus = nullptr;
    bool shown = false;
    bool resize_posted = false;
    bool got_focus_posted = false;
  };

  Describe describe_;
  Instance* in_ = nullptr;  // while loaded
};

}  // namespace glyphary::windows
