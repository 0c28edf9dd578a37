// What every window of the installer shares: the module its resources come
// from, the screen's DPI, the message loop with its typeahead guard, the end
// of the program and the error box. One Ui is made in wWinMain and lent to
// every window.
#pragma once

#include <windows.h>

#include "base/error.h"
#include "base/text.h"
#include "windows/accessibility.h"

namespace glyphary::windows {

// Posted by the message loop to a top-level window when Tab or Shift+Tab is
// pressed in it: wparam 1 for backwards. The window moves the focus along
// its own tab order.
constexpr UINT kMoveFocusMessage = WM_APP + 10;

// Whether a high-contrast scheme is on.
using HighContrastQuery = bool (*)();
// The system's answer (SPI_GETHIGHCONTRAST).
bool SystemHighContrast();

class Ui {
 public:
  // `ask_high_contrast` is asked at the start and at every change of the
  // colour scheme; a test host may ask its own question where the system's
  // cannot be switched (Wine's high contrast is always off). `annotation`
  // stands in for the system's annotation service in a test host.
  explicit Ui(HINSTANCE instance, HighContrastQuery ask_high_contrast = &SystemHighContrast,
              AnnotationSource annotation = nullptr);
  Ui(const Ui&) = delete;
  Ui& operator=(const Ui&) = delete;

  HINSTANCE instance() const { return instance_; }
  // Dots per inch of the screen, for twips and point sizes.
  int dpi() const { return dpi_; }

  // Whether a high-contrast colour scheme is on: what the program paints
  // itself then takes the scheme's colours. Asked at the start and again by
  // ReadColourScheme, which the windows call when the scheme changes.
  bool high_contrast() const { return high_contrast_; }
  void ReadColourScheme();

  // Whether a screen reader has said that it runs (SPI_GETSCREENREADER).
  static bool ScreenReaderRunning();

  // What assistive technology is told about the windows.
  Accessibility& accessibility() { return accessibility_; }

  // Runs the message loop until the last window is gone; returns the exit
  // code (0). Tab moves the focus by the window's tab order; no window has
  // a default or cancel button, so Enter and Esc press nothing. The thread
  // is in COM's single-threaded apartment while the loop runs.
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
  HighContrastQuery high_contrast_query_;
  Accessibility accessibility_;
  bool high_contrast_ = false;
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
