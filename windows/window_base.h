// The base of the installer's top-level windows: the object is handed to
// CreateWindowExW and kept in the window's user data from WM_NCCREATE on, so
// that the one window procedure reaches it and its message switch. That
// procedure is also the one place where an error a handler returns is
// caught: it goes to the error box, and the program ends.
#pragma once

#include <windows.h>

#include "base/error.h"
#include "base/function_ref.h"
#include "windows/layout.h"
#include "windows/ui.h"

namespace glyphary::windows {

// What a window calls when the user does what it offers (presses a button,
// brings the backdrop back): borrowed from the code that shows the window.
using Handler = FunctionRef<Error()>;

// How a top-level window looks and where it goes.
struct WindowFrame {
  const wchar_t* class_name;
  const wchar_t* caption;
  DWORD style;
  Box client;                  // twips: the client area's top-left corner on the screen, its size
  bool system_places = false;  // let Windows choose where (client left and top unused)
  int icon = 0;                // icon resource of the window class (0: none, or set later by SetIcon)
  // What a screen reader calls the window (its caption, which may be empty
  // or not for people, is not used), and whether it announces it as a
  // dialog.
  const wchar_t* spoken_name = nullptr;
  bool dialog = false;
};

class WindowBase {
 public:
  explicit WindowBase(Ui& ui) : ui_(ui) {}
  virtual ~WindowBase() { Close(); }
  WindowBase(const WindowBase&) = delete;
  WindowBase& operator=(const WindowBase&) = delete;

  HWND hwnd() const { return hwnd_; }
  bool IsOpen() const { return hwnd_ != nullptr; }
  // Destroys the window and its controls; nothing when it is not open.
  void Close();

  // Whether `window` is a top-level window of this program's.
  static bool IsOurs(HWND window);

 protected:
  // Creates the window, hidden, as `frame` describes it, placed wholly on
  // the work area of its monitor.
  [[nodiscard]] Error CreateFrame(const WindowFrame& frame);

  // One message: sets `result`, and returns the error of a handler that
  // failed. Messages a window does not handle go to Default.
  virtual Error HandleMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) = 0;
  LRESULT Default(UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcW(hwnd_, message, wparam, lparam);
  }
  // The window is gone (WM_NCDESTROY): what it made can go too.
  virtual void OnDestroyed() {}

  // The window's icons, big and small, from the icon resource `resource`.
  void SetIcon(int resource);

  // Shows the window (normal or maximised) and brings it to the front,
  // with the focus rectangle and the keyboard cues shown from the start
  // rather than only after a first key.
  void ShowAndActivate(int show_command);

  // The control whose text a screen reader reads as the window's
  // description (the progress status, the reason for the restart).
  void DescribeBy(HWND control) { described_by_ = control; }

  Ui& ui_;
  HWND hwnd_ = nullptr;

 private:
  // Answers kSpokenMessage: the frame's name and role, the describing
  // control's text.
  LRESULT Speak(WPARAM aspect, LPARAM answer) const;

  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

  const WindowFrame* frame_ = nullptr;  // the window's own, kept for its life
  HWND described_by_ = nullptr;
};

}  // namespace glyphary::windows
