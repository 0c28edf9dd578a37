// The licence agreement in a read-only scrolling text box, with "Accept" and
// "Cancel" below it.
#pragma once

#include "windows/controls.h"
#include "windows/window_base.h"

namespace glyphary::windows {

class AgreementWindow : public WindowBase {
 public:
  static constexpr wchar_t kClassName[] = L"Glyphary.Agreement";
  enum : int { kAccept = 201, kCancel = 202, kAgreementText = 203 };

  explicit AgreementWindow(Ui& ui) : WindowBase(ui) {}

  // The window\'s controls as a table, for the tests.
  static ControlTable Table();

  // Shows the window, made afresh (the text scrolled to its top, the focus
  // in it) when it is not open; brings it to the front when it is.
  [[nodiscard]] Error Show(Handler on_accept, Handler on_cancel);

 private:
  Error HandleMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  void OnDestroyed() override { controls_.Clear(); }

  Controls controls_;
  Handler on_accept_;
  Handler on_cancel_;
};

}  // namespace glyphary::windows
