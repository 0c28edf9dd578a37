#include "windows/splash_window.h"

#include "engine/product.h"
#include "windows/resource_ids.h"

namespace glyphary::windows {

namespace {

// Raised from the message loop, never inside another window operation: a
// resize arrives while the window is being shown.
constexpr UINT kResizedMessage = WM_APP + 1;

constexpr Font kTitleFont{L"Impact", 48, FW_BOLD, true};
// Under a high-contrast scheme the light-blue ground becomes the scheme's
// window colour and the dark-blue title its highlight colour; the shadow is
// in the window-text colour either way.
constexpr Colour kBackdrop = Colour::Rgb(128, 128, 255, COLOR_WINDOW);

// Front to back: the dark-blue title over a window-text copy of it 7 px to
// the right, and the picture at the top-left corner. The shadow and the
// picture are decorations the backdrop draws itself: a screen reader hears
// the title once.
constexpr ControlRow kControls[] = {
    {ControlKind::kLabel, SplashWindow::kTitle, 0, engine::kProductName.data(),
     {3975, 480, 11760, 1575}, &kTitleFont, Colour::Rgb(0, 0, 192, COLOR_HIGHLIGHT), true},
    {ControlKind::kLabel, SplashWindow::kTitleShadow, 0, engine::kProductName.data(),
     {4080, 480, 10695, 1575}, &kTitleFont, Colour::System(COLOR_WINDOWTEXT), true, 0, true},
    {ControlKind::kPicture, SplashWindow::kPicture, 0, L"", {0, 0, 3405, 5070}, &kDefaultFont,
     Colour::System(COLOR_BTNTEXT), false, IDB_SPLASH, true},
};

// The caption is not drawn (no title bar); the taskbar and the task
// switcher show it. A screen reader calls the backdrop by the product's name.
// Its icon, which only the taskbar and the task switcher show, is set once
// the agreement window is up: loading it and handing it to the window
// manager is time the first screen need not wait for.
constexpr WindowFrame kWindowFrame{SplashWindow::kClassName, L"Form1", WS_POPUP | WS_CLIPCHILDREN,
                             {60, 450, 15360, 5070}, false, 0, engine::kProductName.data()};

}  // namespace

ControlTable SplashWindow::Table() {
  return ControlTable{kWindowFrame.client, kControls, sizeof(kControls) / sizeof(kControls[0]), nullptr, 0};
}

Error SplashWindow::Show(Handler on_resize) {
  on_resize_ = on_resize;
  if (Error error = CreateFrame(kWindowFrame)) return error;
  if (Error error = controls_.Create(ui_, hwnd_, kBackdrop, kControls)) return error;
  ShowAndActivate(SW_SHOWMAXIMIZED);
  // The first showing counts as a resize even when the size did not change:
  // the handler runs now that the window is up (the sizes it went through
  // on the way need no notice of their own), then the icon follows.
  shown_ = true;
  const Error error = on_resize_ ? on_resize_() : Error();
  SetIcon(IDI_PROGRAM);
  return error;
}

void SplashWindow::PostResized() {
  if (resize_posted_) return;  // one pending notice is enough
  resize_posted_ = true;
  PostMessageW(hwnd_, kResizedMessage, 0, 0);
}

Error SplashWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  switch (message) {
    case WM_SIZE:
      if (shown_) PostResized();
      break;
    case kResizedMessage:
      resize_posted_ = false;
      if (!ui_.ending() && on_resize_) return on_resize_();
      return Error();
    default:
      if (controls_.HandleShared(hwnd_, message, wparam, lparam, nullptr, 0, result)) return Error();
      break;
  }
  result = Default(message, wparam, lparam);
  return Error();
}

}  // namespace glyphary::windows
