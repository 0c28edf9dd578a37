#include "windows/progress_window.h"

#include "windows/resource_ids.h"

namespace glyphary::windows {

namespace {

constexpr Font kStatusFont{L"MS Sans Serif", 18, FW_NORMAL, false};

constexpr ControlRow kControls[] = {
    {ControlKind::kFrame, ProgressWindow::kFrame, 0, L"", {360, 120, 4935, 735}},
    {ControlKind::kLabel, ProgressWindow::kStatus, ProgressWindow::kFrame, L"Creating Folders...",
     {120, 120, 4695, 495}, &kStatusFont},
};

constexpr WindowFrame kWindowFrame{ProgressWindow::kClassName, L"",
                             WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
                             {4290, 4920, 5670, 1080}, false, IDI_DIALOG};

}  // namespace

ControlTable ProgressWindow::Table() {
  return ControlTable{kWindowFrame.client, kControls, sizeof(kControls) / sizeof(kControls[0]), nullptr, 0};
}

Error ProgressWindow::Create() {
  if (Error error = CreateFrame(kWindowFrame)) return error;
  return controls_.Create(ui_, hwnd_, Colour::System(COLOR_BTNFACE), kControls);
}

void ProgressWindow::ShowStage(engine::InstallStage stage) {
  // The product's own wording, "Coping" included.
  const wchar_t* status =
      stage == engine::InstallStage::kCopyingIcons ? L"Coping Icons..." : L"Editing Registry...";
  SetWindowTextW(controls_.Get(kStatus), status);
}

void ProgressWindow::Show() {
  ShowAndActivate(SW_SHOWNORMAL);
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

Error ProgressWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  if (!controls_.HandleShared(hwnd_, message, wparam, lparam, nullptr, 0, result)) {
    result = Default(message, wparam, lparam);
  }
  return Error();
}

}  // namespace glyphary::windows
