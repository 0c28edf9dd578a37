// A top-level window built from its description, with the life cycle of the
// classic form runtime: Load (create hidden, run Form_Load), Show (modeless,
// no owner), Unload (destroy; the object and its variables stay). One Form
// object a window name; it always means the single current instance.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "windows/runtime/description.h"

namespace glyphary::windows {

class Form {
 public:
  using Describe = FormDescription (*)();

  explicit Form(Describe describe);
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  // Creates the window and its controls from the description, hidden, then
  // runs Form_Load to its end. Nothing when already loaded.
  void Load();
  // Loads if needed, makes the window visible and active, and returns.
  void Show();
  // Destroys the window and its controls. Nothing when not loaded.
  void Unload();

  bool Loaded() const { return hwnd_ != nullptr; }
  HWND hwnd() const { return hwnd_; }
  const FormDescription& description() const { return description_; }

  // A control's caption (labels, buttons, check box, frame) or text.
  std::wstring Caption(const std::wstring& control) const;
  void SetCaption(const std::wstring& control, const std::wstring& text);
  // A check box's value: 1 checked, 0 unchecked.
  int Value(const std::wstring& control) const;

  // Moves the focus to the next (or previous) control in tab order.
  void MoveFocus(bool backwards);

  // Window procedure of every form; routes to the Form stored at WM_NCCREATE.
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  // Window procedure of labels, pictures and frames drawn by the runtime.
  static LRESULT CALLBACK ControlProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

 protected:
  // Events. Form_Load runs inside Load; Form_Resize when the window is first
  // shown and on every later change of its size or state; Form_GotFocus when
  // the window itself takes the focus (it holds no control that can).
  virtual void Form_Load() {}
  virtual void Form_Resize() {}
  virtual void Form_GotFocus() {}
  // A command button or check box named `control` was clicked.
  virtual void Click(const std::wstring& control) { (void)control; }

 private:
  struct Control;
  struct GdiDeleter {
    void operator()(void* object) const;
  };
  using GdiObject = std::unique_ptr<void, GdiDeleter>;

  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleControlMessage(Control& control, UINT message, WPARAM wparam, LPARAM lparam);
  void CreateControls();
  int IndexOf(const std::wstring& name) const;
  int IndexOf(HWND window) const;
  RECT PixelBox(const Box& box) const;
  void PaintLightweight(Control& control, HDC dc);
  void DrawLightweight(const Control& control, HDC dc, POINT offset);
  // The font for `font` with the LOGFONT height `height`, in the face
  // chosen for this machine (scalable wherever possible).
  HFONT FontFor(const Font& font, int height);
  // Whether the control's caption fits its box in the control's font as
  // designed: one line where the box is one line high.
  bool CaptionFits(const Control& control, const ControlDescription& d) const;
  void FocusFirstControl();
  void OnDestroyed();

  Describe describe_;
  FormDescription description_;
  HWND hwnd_ = nullptr;
  std::vector<std::unique_ptr<Control>> controls_;
  std::vector<GdiObject> gdi_;  // fonts, brushes and bitmaps of this instance
  struct MadeFont {
    Font font;
    int height;
    HFONT handle;
  };
  std::vector<MadeFont> fonts_;
  HBRUSH back_brush_ = nullptr;
  HWND last_focus_ = nullptr;
  bool shown_ = false;
  bool resize_posted_ = false;
  bool got_focus_posted_ = false;
};

}  // namespace glyphary::windows
