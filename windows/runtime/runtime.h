// The windowing runtime: the message loop, the end of the program, and the
// error box for the error a handler returns.
#pragma once

#include <windows.h>

#include "base/error.h"
#include "base/text.h"

namespace glyphary::windows {

class Form;

namespace runtime {

// The module whose resources the windows use; set once by WinMain.
void SetInstance(HINSTANCE instance);
HINSTANCE Instance();

// Dots per inch of the screen, for twips and point sizes.
int Dpi();

// Runs the message loop until the last window is gone (or End). Returns the
// program's exit code.
int Run();

// Ends the program at once: every window closes, no further handler runs.
[[noreturn]] void End(int exit_code = 0);

// Shows the error box for `error` (its number, description, path and
// advice), then ends the program with exit code 1. Called by the one window
// procedure when a handler returns an error, and by WinMain.
[[noreturn]] void ReportError(const Error& error);

// The same for memory that ran out: a fixed text, needing no memory itself.
[[noreturn]] void ReportOutOfMemory();

// The text of the error box: "Run-time error 'N':\n\nDescription", then the
// path concerned and the advice, each after an empty line, when the error
// has them.
WideText ErrorBoxText(const Error& error);

// Typeahead guard. From HoldInput on, keyboard and mouse input that reaches
// the message loop is dropped; AcceptInput ends that, and also drops what
// is queued by then and every later input event stamped no later than the
// moment it was called. Input the user gave while the program was busy is
// thus never delivered to a window that appeared meanwhile.
void HoldInput();
void AcceptInput();

// True once the program is ending or showing its error box: handlers are no
// longer raised.
bool Quiet();

// Bookkeeping of the forms and of their live windows.
void Enrol(Form* form);
Form* FormOf(HWND any_window_of_it);
void WindowCreated();
void WindowDestroyed();

}  // namespace runtime
}  // namespace glyphary::windows
