// The short status window of the installation: a frame with one large
// status label. It holds nothing that can take the focus. A screen reader
// hears its status as it is shown and whenever it changes while it shows.
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
  // Shows the window, drawn at once, and announces its status. `then` runs
  // from the message loop once the window is up, so that it answers
  // messages (a screen reader's questions among them) while it shows: at
  // once, or while a screen reader runs, after the moment it needs to read
  // the status out.
  void Show(Handler then);

  // How long the window stays while a screen reader runs.
  static constexpr UINT kHeardMs = 1500;

 private:
  Error HandleMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  void OnDestroyed() override { controls_.Clear(); }
  void Announce();

  Controls controls_;
  Handler then_;
};

}  // namespace glyphary::windows
