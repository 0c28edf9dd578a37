// The base of every window the runtime makes, forms and the controls it
// draws itself: the object is handed to CreateWindowExW and kept in the
// window's user data from WM_NCCREATE on, so that the one window procedure
// reaches it. That procedure is also the one place where an error a handler
// returns is caught: it goes to the error box, and the program ends.
#pragma once

#include <windows.h>

#include "base/error.h"

namespace glyphary::windows {

class WindowBase {
 public:
  WindowBase() = default;
  virtual ~WindowBase() = default;
  WindowBase(const WindowBase&) = delete;
  WindowBase& operator=(const WindowBase&) = delete;

  HWND hwnd() const { return hwnd_; }

  // The procedure of every window class the runtime registers.
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

  // Registers the window class `name` with Procedure (once a process).
  [[nodiscard]] static Error RegisterClassOnce(const wchar_t* name);

 protected:
  // One message. Sets `result` and returns no error when handled; a handler
  // that fails returns its error. `handled` false passes the message on to
  // DefWindowProcW.
  virtual Error OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result,
                          bool& handled) = 0;
  // The window is gone (WM_NCDESTROY): the object may be reused.
  virtual void OnDestroyed() {}

  HWND hwnd_ = nullptr;
};

}  // namespace glyphary::windows
