#include "windows/progress_window.h"

#include "windows/accessibility.h"
#include "windows/resource_ids.h"

namespace glyphary::windows {

namespace {

// The hand-over: posted, or a timer's ID while a screen reader runs.
constexpr UINT kHandOverMessage = WM_APP + 2;
constexpr UINT_PTR kHandOverTimer = 1;

constexpr Font kStatusFont{L"MS Sans Serif", 18, FW_NORMAL, false};

constexpr ControlRow kControls[] = {
    {ControlKind::kFrame, ProgressWindow::kFrame, 0, L"", {360, 120, 4935, 735}},
    {ControlKind::kLabel, ProgressWindow::kStatus, ProgressWindow::kFrame, L"Creating Folders...",
     {120, 120, 4695, 495}, &kStatusFont, Colour::System(COLOR_BTNTEXT), false, 0, false, nullptr, 0,
     true},
};

constexpr WindowFrame kWindowFrame{ProgressWindow::kClassName, L"",
                             WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
                             {4290, 4920, 5670, 1080}, false, IDI_DIALOG,
                             L"Glyphary Installer: Installing", true};

}  // namespace

ControlTable ProgressWindow::Table() {
  return ControlTable{kWindowFrame.client, kControls, sizeof(kControls) / sizeof(kControls[0]), nullptr, 0};
}

Error ProgressWindow::Create() {
  if (Error error = CreateFrame(kWindowFrame)) return error;
  if (Error error = controls_.Create(ui_, hwnd_, Colour::System(COLOR_BTNFACE), kControls)) {
    return error;
  }
  // The status is what a screen reader reads when the window gets the focus.
  DescribeBy(controls_.Get(kStatus));
  return Error();
}

void ProgressWindow::ShowStage(engine::InstallStage stage) {
  // The product's own wording, "Coping" included.
  const wchar_t* status =
      stage == engine::InstallStage::kCopyingIcons ? L"Coping Icons..." : L"Editing Registry...";
  SetWindowTextW(controls_.Get(kStatus), status);
  // Hidden, it has nothing to tell; it is read out once it shows.
  if (IsWindowVisible(hwnd_)) Announce();
}

void ProgressWindow::Announce() { ui_.accessibility().AnnounceTextChange(hwnd_, controls_.Get(kStatus)); }

void ProgressWindow::Show(Handler then) {
  then_ = then;
  ShowAndActivate(SW_SHOWNORMAL);
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  Announce();
  if (Ui::ScreenReaderRunning() && SetTimer(hwnd_, kHandOverTimer, kHeardMs, nullptr) != 0) return;
  PostMessageW(hwnd_, kHandOverMessage, 0, 0);
}

Error ProgressWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  switch (message) {
    case WM_TIMER:
      if (wparam != kHandOverTimer) break;
      KillTimer(hwnd_, kHandOverTimer);
      [[fallthrough]];
    case kHandOverMessage: {
      result = 0;
      const Handler then = then_;
      then_ = Handler();
      if (!then || ui_.ending()) return Error();
      return then();
    }
    case WM_CLOSE:
      // It goes by itself in a moment; closed now, nothing would follow it.
      if (!then_) break;
      result = 0;
      return Error();
    default:
      if (controls_.HandleShared(hwnd_, message, wparam, lparam, nullptr, 0, result)) return Error();
      break;
  }
  result = Default(message, wparam, lparam);
  return Error();
}

}  // namespace glyphary::windows
