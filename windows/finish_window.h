// The last window: the restart the new icons may need, offered with
// "Restart Computer" (ticked) and "Finish".
#pragma once

#include "windows/controls.h"
#include "windows/window_base.h"

namespace glyphary::windows {

class FinishWindow : public WindowBase {
 public:
  static constexpr wchar_t kClassName[] = L"Glyphary.Finish";
  enum : int { kFinish = 401, kFrame = 402, kMessage = 403, kRestart = 404 };

  explicit FinishWindow(Ui& ui) : WindowBase(ui) {}

  // The window\'s controls as a table, for the tests.
  static ControlTable Table();

  // Shows the window where Windows places it, made afresh when it is not
  // open. `on_finish` runs when "Finish" is pressed on the window as it is
  // seen: not while hidden or minimised, and not in the first half second
  // after it appeared, faster than a person reacts to a new window (the
  // second click of a double-click on "Accept", keys typed ahead).
  [[nodiscard]] Error Show(Handler on_finish);

  bool RestartChecked() const;

 private:
  Error HandleMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  void OnDestroyed() override { controls_.Clear(); }

  Controls controls_;
  Handler on_finish_;
  DWORD appeared_at_ = 0;  // tick count when it was first shown
};

}  // namespace glyphary::windows
