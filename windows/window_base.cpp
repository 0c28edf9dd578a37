#include "windows/window_base.h"

#include <oleacc.h>

#include "windows/accessibility.h"

namespace glyphary::windows {

namespace {

PixelRect ToPixelRect(const RECT& r) { return PixelRect{r.left, r.top, r.right, r.bottom}; }

// Where a window with the outer rectangle `frame` goes: wholly inside the
// work area (the screen less the taskbar) of the monitor it would appear on.
RECT OnScreen(const RECT& frame) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  if (!GetMonitorInfoW(MonitorFromRect(&frame, MONITOR_DEFAULTTONEAREST), &monitor)) return frame;
  const PixelRect fitted = FitInside(ToPixelRect(frame), ToPixelRect(monitor.rcWork));
  return RECT{fitted.left, fitted.top, fitted.right, fitted.bottom};
}

HICON LoadIconSized(HINSTANCE instance, int resource, bool big) {
  const int size = GetSystemMetrics(big ? SM_CXICON : SM_CXSMICON);
  return static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(resource), IMAGE_ICON, size, size, LR_SHARED));
}

// The class of a window; its icons, when it has them, are the class's, so
// that the window has them from its creation on.
Error RegisterOnce(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, int icon) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  if (GetClassInfoExW(instance, name, &wc)) return Error();
  wc.lpfnWndProc = procedure;
  wc.hInstance = instance;
  if (icon != 0) {
    wc.hIcon = LoadIconSized(instance, icon, true);
    wc.hIconSm = LoadIconSized(instance, icon, false);
  }
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.lpszClassName = name;
  if (RegisterClassExW(&wc) == 0) return errors::Make(errors::kOutOfMemory);
  return Error();
}

}  // namespace

void WindowBase::Close() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

bool WindowBase::IsOurs(HWND window) {
  return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC)) == &Procedure;
}

Error WindowBase::CreateFrame(const WindowFrame& frame) {
  if (Error error = RegisterOnce(ui_.instance(), frame.class_name, &Procedure, frame.icon)) {
    return error;
  }
  frame_ = &frame;
  described_by_ = nullptr;
  const int dpi = ui_.dpi();
  const int left = TwipsToPixels(frame.client.left, dpi);
  const int top = TwipsToPixels(frame.client.top, dpi);
  RECT outer{left, top, left + TwipsToPixels(frame.client.width, dpi),
             top + TwipsToPixels(frame.client.height, dpi)};
  AdjustWindowRectEx(&outer, frame.style, FALSE, 0);
  if (!frame.system_places) outer = OnScreen(outer);
  const int x = frame.system_places ? CW_USEDEFAULT : outer.left;
  const int y = frame.system_places ? CW_USEDEFAULT : outer.top;
  if (CreateWindowExW(0, frame.class_name, frame.caption, frame.style, x, y,
                      outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                      ui_.instance(), this) == nullptr) {
    return errors::Make(errors::kOutOfMemory);
  }
  ui_.WindowCreated();
  if (frame.system_places) {
    // Where the system placed it, moved onto the screen if need be.
    RECT placed{};
    GetWindowRect(hwnd_, &placed);
    const RECT fitted = OnScreen(placed);
    if (fitted.left != placed.left || fitted.top != placed.top) {
      SetWindowPos(hwnd_, nullptr, fitted.left, fitted.top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  return Error();
}

void WindowBase::SetIcon(int resource) {
  for (int which : {ICON_BIG, ICON_SMALL}) {
    HICON icon = LoadIconSized(ui_.instance(), resource, which == ICON_BIG);
    SendMessageW(hwnd_, WM_SETICON, static_cast<WPARAM>(which), reinterpret_cast<LPARAM>(icon));
  }
}

void WindowBase::ShowAndActivate(int show_command) {
  if (!IsWindowVisible(hwnd_)) {
    // Assistive technology that is already reading finds it annotated.
    ui_.accessibility().Annotate(hwnd_);
    // Windows hides focus rectangles until the keyboard is first used in a
    // window that the mouse brought up; a keyboard user needs them at once.
    SendMessageW(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
    ShowWindow(hwnd_, show_command);
  }
  // Showing has made it the active window unless the system refused this
  // program the foreground (or it was shown already): asking again costs
  // the first screen time. It is raised in any case: under Wine with a
  // window manager, the backdrop left unraised was seen to lose its
  // maximised state a moment later.
  if (GetForegroundWindow() != hwnd_) SetForegroundWindow(hwnd_);
  BringWindowToTop(hwnd_);
}

LRESULT WindowBase::Speak(WPARAM aspect, LPARAM lparam) const {
  SpokenAnswer& answer = *reinterpret_cast<SpokenAnswer*>(lparam);
  switch (aspect) {
    case kSpokenName:
      if (frame_ == nullptr || frame_->spoken_name == nullptr) return 0;
      SetSpokenText(answer, frame_->spoken_name);
      return 1;
    case kSpokenDescription:
      if (described_by_ == nullptr) return 0;
      SetSpokenTextOf(answer, described_by_);
      return 1;
    case kSpokenRole:
      // The window as a whole (Wine's object for it knows no role); its
      // client area stays a client area.
      if (frame_ == nullptr || answer.object_id != OBJID_WINDOW) return 0;
      answer.role = frame_->dialog ? ROLE_SYSTEM_DIALOG : ROLE_SYSTEM_WINDOW;
      return 1;
    default:
      return 0;
  }
}

LRESULT CALLBACK WindowBase::Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  WindowBase* self = nullptr;
  if (message == WM_NCCREATE) {
    self = static_cast<WindowBase*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = hwnd;
  } else {
    self = reinterpret_cast<WindowBase*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (self == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    self->ui_.accessibility().WindowGone(hwnd);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    self->OnDestroyed();
    self->ui_.WindowDestroyed();
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  if (message == WM_GETOBJECT) {
    if (const LRESULT object = self->ui_.accessibility().Answer(hwnd, wparam, lparam)) return object;
  } else if (message == kSpokenMessage) {
    return self->Speak(wparam, lparam);
  }
  LRESULT result = 0;
  if (Error error = self->HandleMessage(message, wparam, lparam, result)) {
    self->ui_.ReportError(error);
  }
  return result;
}

}  // namespace glyphary::windows
