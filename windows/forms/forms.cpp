#include "windows/forms/forms.h"

#include "restart/global.h"
#include "windows/forms/descriptions.h"
#include "windows/runtime/runtime.h"

namespace glyphary::windows {

SplashWindow Form1;
AgreementWindow Form2;
ProgressWindow Form3;
FinishWindow Form4;

SplashWindow::SplashWindow() : Form(&DescribeForm1) {}

Error SplashWindow::Form_Resize() {
  if (Error error = Form2.Load()) return error;
  return Form2.Show();
}

AgreementWindow::AgreementWindow() : Form(&DescribeForm2) {}

Error AgreementWindow::Click(int id) {
  if (id == ids::kForm2Command1) runtime::End();  // Cancel
  if (id != ids::kForm2Command2) return Error();  // Accept:
  // Whatever the user types or clicks while the installation runs is not
  // for the finish window that comes up afterwards.
  runtime::HoldInput();
  if (Error error = Form3.Load()) return error;
  if (Error error = Form3.Show()) return error;
  Form2.Unload();
  return Error();
}

ProgressWindow::ProgressWindow() : Form(&DescribeForm3) {}

Error ProgressWindow::Form_Load() {
  auto set_caption = [this](std::wstring_view caption) { SetCaption(ids::kForm3Intf, caption); };
  return engine::RunInstallation(state_, engine::CaptionSink(set_caption));
}

Error ProgressWindow::Form_GotFocus() {
  if (Error error = Form4.Load()) return error;
  if (Error error = Form4.Show()) return error;
  runtime::AcceptInput();
  Form3.Unload();
  return Error();
}

FinishWindow::FinishWindow() : Form(&DescribeForm4) {}

Error FinishWindow::Form_Load() {
  IsNT = restart::Global::WindowsFamilyIsNT();
  return Error();
}

Error FinishWindow::Click(int id) {
  // Only a press the user made on the window as it is seen can restart.
  if (!IsWindowVisible(hwnd()) || IsIconic(hwnd())) return Error();
  if (id == ids::kForm4Command1) restart::Global::FinishClicked(Value(ids::kForm4Chk), IsNT);
  return Error();
}

}  // namespace glyphary::windows
