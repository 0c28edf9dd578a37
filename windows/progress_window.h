// The short status window of the installation: a frame with one large
// status label. It holds nothing that can take the focus.
#pragma once

#include "engine/installation.h"
#include "windows/controls.h"
#include "windows/window_base.h"

namespace glyphary::windows {

class ProgressWindow : public WindowBase {
 public:
  static constexpr wchar_t kClassName[] = L"Glyphary.Progress";
  enum : int { kFrame = 301, kStatus = 302 };

  explicit ProgressWindow(Ui& ui) : WindowBase(ui) {}

  // The window\'s controls as a table, for the tests.
  static ControlTable Table();

  // Creates the window hidden, its status "Creating Folders...".
  [[nodiscard]] Error Create();
  // The status for the stage the installation has entered.
  void ShowStage(engine::InstallStage stage);
  // Shows the window, drawn at once.
  void Show();

 private:
  Error HandleMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  void OnDestroyed() override { controls_.Clear(); }

  Controls controls_;
};

}  // namespace glyphary::windows
