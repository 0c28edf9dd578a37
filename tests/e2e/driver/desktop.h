// The desktop as the test driver sees it from outside the installer's
// process: finding and reading windows, waiting for them, the keyboard and
// the mouse, and pictures of the screen. Plain Win32, nothing injected.
#pragma once

#include <windows.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace glyphary::e2e {

// --- Reading windows -------------------------------------------------------

std::wstring ClassOf(HWND window);

// The window's own caption as the system keeps it. For a window of another
// process this sends no message, so it also works while that process is
// busy or held.
std::wstring CaptionOf(HWND window);

// The text a control reports through WM_GETTEXT (an edit control keeps its
// text itself). Empty when the window does not answer.
std::wstring TextOf(HWND window);

// Every top-level window of process `pid` whose class is `class_name` (any
// class when empty), visible or not, in z-order.
std::vector<HWND> TopLevelWindows(DWORD pid, const std::wstring& class_name = L"");

// The single visible top-level window of `pid` with that class, or null.
HWND VisibleWindow(DWORD pid, const std::wstring& class_name);

// The direct child of `parent` with control ID `id`, or null.
HWND Child(HWND parent, int id);

// A rectangle as left, top, width, height, for readable comparisons.
struct Box {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const Box& other) const {
    return left == other.left && top == other.top && width == other.width &&
           height == other.height;
  }
  bool operator!=(const Box& other) const { return !(*this == other); }
};
std::ostream& operator<<(std::ostream& out, const Box& box);

// The window's outer rectangle on the screen.
Box WindowBox(HWND window);
// The work area of the monitor that holds most of `box` (the screen less
// the taskbar), and whether `box` lies wholly inside it.
Box WorkAreaFor(const Box& box);
bool InsideWorkArea(const Box& box);
// The client area: its top-left corner on the screen and its size.
Box ClientBox(HWND window);
// A child window's outer rectangle in its parent's client coordinates.
Box BoxInParent(HWND child);

LONG_PTR StyleOf(HWND window);
LONG_PTR ExStyleOf(HWND window);

// The window holding the keyboard focus in the thread that owns `window`.
HWND FocusIn(HWND window);
// The active window of the thread that owns `window`.
HWND ActiveIn(HWND window);

// --- Waiting ----------------------------------------------------------------

// Polls `condition` until it holds or `timeout_ms` has passed; keeps this
// thread's message queue served meanwhile. Returns the last result.
bool WaitFor(const std::function<bool()>& condition, DWORD timeout_ms = 20000);

// --- Input ------------------------------------------------------------------
// Real input through SendInput: it goes to whichever window has the focus,
// exactly as a user's keyboard and mouse would.

// Brings `window` to the foreground (for tests that drive a window the
// program did not activate itself). Returns whether it became foreground.
bool MakeForeground(HWND window);

void PressKey(WORD virtual_key, bool shift = false, bool control = false, bool alt = false);
void TypeText(const std::wstring& text);
// Moves the mouse pointer to a screen point and waits until it is there.
bool MovePointer(int x, int y);
// Moves the pointer to the bottom-right corner of the screen, out of the way.
void ParkPointer();
// Clicks the left button where the pointer is.
void ClickHere();
// Moves the mouse to the centre of `window`, clicks the left button, and
// sends the pointer back to the corner (returning at once). Returns whether
// the pointer reached the window.
bool ClickCentre(HWND window);

// --- Pictures ---------------------------------------------------------------

// Saves the whole screen as a 24-bit .bmp at `path`. Returns success.
bool SaveScreen(const std::wstring& path);
// The colour of one screen pixel.
COLORREF ScreenPixel(int x, int y);
// The colours of a screen region, row by row from the top.
std::vector<COLORREF> ScreenPixels(const Box& region);

}  // namespace glyphary::e2e
