#include "windows/runtime/window.h"

#include "base/fixed_list.h"
#include "windows/runtime/runtime.h"

namespace glyphary::windows {

LRESULT CALLBACK WindowBase::Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  WindowBase* self = nullptr;
  if (message == WM_NCCREATE) {
    self = static_cast<WindowBase*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    if (self != nullptr) self->hwnd_ = hwnd;
  } else {
    self = reinterpret_cast<WindowBase*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (self == nullptr || self->hwnd_ != hwnd) return DefWindowProcW(hwnd, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    self->OnDestroyed();
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  LRESULT result = 0;
  bool handled = false;
  if (Error error = self->OnMessage(message, wparam, lparam, result, handled)) {
    runtime::ReportError(error);
  }
  return handled ? result : DefWindowProcW(hwnd, message, wparam, lparam);
}

Error WindowBase::RegisterClassOnce(const wchar_t* name) {
  static FixedList<const wchar_t*, 8> registered;  // the literals of the class names
  for (const wchar_t* done : registered) {
    if (done == name) return Error();
  }
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &WindowBase::Procedure;
  wc.hInstance = runtime::Instance();
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.lpszClassName = name;
  if (RegisterClassExW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    return errors::Make(errors::kOutOfMemory);
  }
  (void)registered.Add(name);
  return Error();
}

}  // namespace glyphary::windows
