// The backdrop: borderless and maximised, a light-blue field with the splash
// picture and the product title. It stays behind the other windows for the
// whole run.
#pragma once

#include "windows/controls.h"
#include "windows/window_base.h"

namespace glyphary::windows {

class SplashWindow : public WindowBase {
 public:
  static constexpr wchar_t kClassName[] = L"Glyphary.Splash";
  enum : int { kTitle = 101, kTitleShadow = 102, kPicture = 103 };

  explicit SplashWindow(Ui& ui) : WindowBase(ui) {}

  // The window\'s controls as a table, for the tests.
  static ControlTable Table();

  // Creates and shows the backdrop maximised. `on_resize` runs once it has
  // appeared, before this returns, and again after every later change of
  // its size or state (minimised and restored, say), then from the message
  // loop.
  [[nodiscard]] Error Show(Handler on_resize);

 private:
  Error HandleMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  void OnDestroyed() override { controls_.Clear(); }
  void PostResized();

  Controls controls_;
  Handler on_resize_;
  bool shown_ = false;
  bool resize_posted_ = false;
};

}  // namespace glyphary::windows
