// What every window of the installer shares: the module its resources come
// from, the screen's DPI, the message loop with its typeahead guard, the end
// of the program and the error box. One Ui is made in wWinMain and lent to
// every window.
#pragma once

#include <windows.h>

#include "base/error.h"
#include "base/text.h"

namespace glyphary::windows {

// Posted by the message loop to a top-level window when Tab or Shift+Tab is
// pressed in it: wparam 1 for backwards. The window moves the focus along
// its own tab order.
constexpr UINT kMoveFocusMessage = WM_APP + 10;

class Ui {
 public:
  explicit Ui(HINSTANCE instance);
  Ui(const Ui&) = delete;
  Ui& operator=(const Ui&) = delete;

  HINSTANCE instance() const { return instance_; }
  // Dots per inch of the screen, for twips and point sizes.
  int dpi() const { return dpi_; }

  // Runs the message loop until the last window is gone; returns the exit
  // code (0). Tab moves the focus by the window's tab order; no window has
  // a default or cancel button, so Enter and Esc press nothing.
  int Run();

  // Typeahead guard. From HoldInput on, keyboard and mouse input that reaches
  // the loop is dropped; AcceptInput ends that, and also drops what is
  // queued by then and every later input event stamped no later than the
  // moment it was called. Input the user gave while the program was busy is
  // thus never delivered to a window that appeared meanwhile.
  void HoldInput();
  void AcceptInput();

  // Ends the program at once with `exit_code`: every window goes with it and
  // no further handler runs.
  [[noreturn]] void End(int exit_code);

  // Shows the error box for `error` (its number, description, path and
  // advice), then ends the program with `exit_code`.
  [[noreturn]] void ReportError(const Error& error, int exit_code = 1);

  // True once the program is ending or showing its error box: the windows
  // raise no more handlers.
  bool ending() const { return ending_; }

  // Bookkeeping of the live top-level windows: the last one gone ends the
  // message loop.
  void WindowCreated() { ++live_windows_; }
  void WindowDestroyed();

 private:
  bool IsStaleInput(const MSG& msg) const;

  HINSTANCE instance_;
  int dpi_;
  int live_windows_ = 0;
  bool ending_ = false;
  bool input_held_ = false;
  bool input_accepted_ = false;  // AcceptInput has run: its moment below counts
  DWORD input_accepted_at_ = 0;
};

// The text of the error box: "Run-time error 'N':\n\nDescription", then the
// path concerned and the advice, each after an empty line, when the error
// has them.
WideText ErrorBoxText(const Error& error);

// The error box for memory that ran out: a fixed text, needing no memory
// itself; ends the program with exit code 1.
[[noreturn]] void ReportOutOfMemory();

}  // namespace glyphary::windows
