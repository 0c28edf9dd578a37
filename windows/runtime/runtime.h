// The windowing runtime: the message loop, the end of the program, and the
// error box for errors that no handler catches.
#pragma once

#include <windows.h>

#include <exception>
#include <string>

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

// Shows the error box for an error that no handler caught (the runtime
// error's number and description; anything else as an internal error), then
// ends the program. Called at every Win32 callback boundary.
[[noreturn]] void ReportUncaught(std::exception_ptr error);

// The text of the error box for `error`: "Run-time error 'N':\n\nDescription",
// then the path concerned and the advice, each after an empty line, when
// the error has them.
std::wstring ErrorBoxText(std::exception_ptr error);
std::wstring ErrorBoxText(int number, const std::wstring& description, const std::wstring& path,
                          const std::wstring& advice);

// Typeahead guard. From HoldInput on, keyboard and mouse input that reaches
// the message loop is dropped; AcceptInput ends that, and also drops what
// is queued by then and every later input event stamped no later than the
// moment it was called. Input the user gave while the program was busy is
// thus never delivered to a window that appeared meanwhile.
void HoldInput();
void AcceptInput();
bool InputIsHeld();

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
