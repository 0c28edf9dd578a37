#include "windows/finish_window.h"

#include "windows/resource_ids.h"

namespace glyphary::windows {

namespace {

// In the order of the screen, which a screen reader follows: the message in
// its frame, "Restart Computer", "Finish". None overlaps another. The
// message also describes the check box, which has the focus when the window
// opens: a screen reader says why the restart is offered with it.
constexpr ControlRow kControls[] = {
    {ControlKind::kFrame, FinishWindow::kFrame, 0, L"", {360, 120, 5175, 495}},
    {ControlKind::kLabel, FinishWindow::kMessage, FinishWindow::kFrame,
     L"In order for the changes to take affect you must restart your computer.",  // sic
     {120, 120, 4935, 255}},
    {ControlKind::kCheckBox, FinishWindow::kRestart, 0, L"Restart Computer", {720, 960, 1575, 195},
     &kDefaultFont, Colour::System(COLOR_BTNTEXT), false, 0, false, nullptr, FinishWindow::kMessage},
    {ControlKind::kButton, FinishWindow::kFinish, 0, L"Finish", {2280, 1560, 1215, 375}},
};
constexpr int kTabOrder[] = {FinishWindow::kRestart, FinishWindow::kFinish};

constexpr WindowFrame kWindowFrame{
    FinishWindow::kClassName, L"",
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX |
        WS_CLIPCHILDREN,
    {0, 0, 5895, 2145}, true, IDI_DIALOG, L"Glyphary Installer: Installation complete", true};

}  // namespace

ControlTable FinishWindow::Table() {
  return ControlTable{kWindowFrame.client, kControls, sizeof(kControls) / sizeof(kControls[0]), kTabOrder, sizeof(kTabOrder) / sizeof(kTabOrder[0])};
}

Error FinishWindow::Show(Handler on_finish) {
  on_finish_ = on_finish;
  if (!IsOpen()) {
    if (Error error = CreateFrame(kWindowFrame)) return error;
    if (Error error = controls_.Create(ui_, hwnd_, Colour::System(COLOR_BTNFACE), kControls)) {
      return error;
    }
    SendMessageW(controls_.Get(kRestart), BM_SETCHECK, BST_CHECKED, 0);
    DescribeBy(controls_.Get(kMessage));
    ShowAndActivate(SW_SHOWNORMAL);
    appeared_at_ = GetTickCount();
    return Error();
  }
  ShowAndActivate(SW_SHOWNORMAL);
  return Error();
}

bool FinishWindow::RestartChecked() const {
  return SendMessageW(controls_.Get(kRestart), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

Error FinishWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  if (controls_.HandleShared(hwnd_, message, wparam, lparam, kTabOrder, result)) return Error();
  if (message == WM_COMMAND && HIWORD(wparam) == BN_CLICKED && LOWORD(wparam) == kFinish &&
      lparam != 0 && !ui_.ending()) {
    result = 0;
    // Only a press the user made on the window as it is seen counts.
    constexpr DWORD kReactionTime = 500;  // ms
    if (!IsWindowVisible(hwnd_) || IsIconic(hwnd_) || !on_finish_ ||
        GetTickCount() - appeared_at_ < kReactionTime) {
      return Error();
    }
    return on_finish_();
  }
  result = Default(message, wparam, lparam);
  return Error();
}

}  // namespace glyphary::windows
