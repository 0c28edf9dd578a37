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

void SplashWindow::Form_Resize() {
  Form2.Load();
  Form2.Show();
}

AgreementWindow::AgreementWindow() : Form(&DescribeForm2) {}

void AgreementWindow::Click(const std::wstring& control) {
  if (control == L"Command1") {  // Cancel
    runtime::End();
  } else if (control == L"Command2") {  // Accept
    // Whatever the user types or clicks while the installation runs is not
    // for the finish window that comes up afterwards.
    runtime::HoldInput();
    Form3.Load();
    Form3.Show();
    Form2.Unload();
  }
}

ProgressWindow::ProgressWindow() : Form(&DescribeForm3) {}

void ProgressWindow::Form_Load() {
  engine::RunInstallation(state_, [this](const std::wstring& caption) {
    SetCaption(L"intf", caption);
  });
}

void ProgressWindow::Form_GotFocus() {
  Form4.Load();
  Form4.Show();
  runtime::AcceptInput();
  Form3.Unload();
}

FinishWindow::FinishWindow() : Form(&DescribeForm4) {}

void FinishWindow::Form_Load() { IsNT = restart::Global::WindowsFamilyIsNT(); }

void FinishWindow::Click(const std::wstring& control) {
  // Only a press the user made on the window as it is seen can restart.
  if (!IsWindowVisible(hwnd()) || IsIconic(hwnd())) return;
  if (control == L"Command1") restart::Global::FinishClicked(Value(L"chk"), IsNT);
}

}  // namespace glyphary::windows
