#include "windows/agreement_window.h"

#include "windows/resource_ids.h"

namespace glyphary::windows {

namespace {

// In the order of the screen and of the Tab key, which a screen reader
// follows: the text above the buttons, then "Cancel" (at the bottom right)
// and "Accept" (at the bottom left). None overlaps another.
constexpr ControlRow kControls[] = {
    {ControlKind::kTextBox, AgreementWindow::kAgreementText, 0, L"", {120, 120, 5775, 5415},
     &kDefaultFont, Colour::System(COLOR_WINDOWTEXT), false, IDR_AGREEMENT, false,
     L"License agreement"},
    {ControlKind::kButton, AgreementWindow::kCancel, 0, L"Cancel", {4320, 5640, 1215, 495}},
    {ControlKind::kButton, AgreementWindow::kAccept, 0, L"Accept", {360, 5640, 1215, 495}},
};
constexpr int kTabOrder[] = {AgreementWindow::kAgreementText, AgreementWindow::kCancel,
                             AgreementWindow::kAccept};

constexpr WindowFrame kWindowFrame{AgreementWindow::kClassName, L"",
                             WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
                             {8865, 4920, 6090, 6270}, false, IDI_DIALOG,
                             L"Glyphary Installer: License Agreement", true};

}  // namespace

ControlTable AgreementWindow::Table() {
  return ControlTable{kWindowFrame.client, kControls, sizeof(kControls) / sizeof(kControls[0]), kTabOrder, sizeof(kTabOrder) / sizeof(kTabOrder[0])};
}

Error AgreementWindow::Show(Handler on_accept, Handler on_cancel) {
  on_accept_ = on_accept;
  on_cancel_ = on_cancel;
  if (!IsOpen()) {
    if (Error error = CreateFrame(kWindowFrame)) return error;
    if (Error error = controls_.Create(ui_, hwnd_, Colour::System(COLOR_BTNFACE), kControls)) {
      return error;
    }
  }
  ShowAndActivate(SW_SHOWNORMAL);
  return Error();
}

Error AgreementWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  if (controls_.HandleShared(hwnd_, message, wparam, lparam, kTabOrder, result)) return Error();
  if (message == WM_COMMAND && HIWORD(wparam) == BN_CLICKED && lparam != 0 && !ui_.ending()) {
    result = 0;
    if (LOWORD(wparam) == kCancel && on_cancel_) return on_cancel_();
    if (LOWORD(wparam) == kAccept && on_accept_) return on_accept_();
    return Error();
  }
  result = Default(message, wparam, lparam);
  return Error();
}

}  // namespace glyphary::windows
