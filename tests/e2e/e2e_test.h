// What every end-to-end test shares: a clean machine before and after, the
// installer started from its own copy of the distribution folder, and the
// steps most tests walk through (to the agreement, through "Accept").
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/driver/desktop.h"
#include "tests/e2e/driver/installer.h"
#include "tests/e2e/driver/machine.h"
#include "tests/throwaway_machine.h"
#include "windows/agreement_window.h"
#include "windows/finish_window.h"
#include "windows/progress_window.h"
#include "windows/splash_window.h"

namespace glyphary::e2e {

using glyphary::windows::AgreementWindow;
using glyphary::windows::FinishWindow;
using glyphary::windows::ProgressWindow;
using glyphary::windows::SplashWindow;

std::string Narrow(const std::wstring& text);

// The agreement text as shipped (GLYPHARY_E2E_AGREEMENT), byte for byte
// widened: it is plain ASCII.
std::wstring AgreementText();

// Presses Tab (Shift+Tab when `backwards`) and waits for the focus of
// `window`'s thread to reach `expected`.
bool TabTo(HWND window, HWND expected, bool backwards = false);

// Waits until `window` is the foreground window and it and its focus have
// stayed as they are for a moment. Under X the window manager settles the
// focus of newly mapped windows shortly after the program has set it, and
// keys sent meanwhile may go astray. Returns whether it settled.
bool Settle(HWND window);

// Everything the installation leaves on the machine: the install folder
// holds exactly the icons of `icons_folder` (the shipped ones when empty) and
// the shipped program, byte for byte; the 36 keys and 48 values under
// HKEY_CLASSES_ROOT have their exact types and bytes and nothing else; and
// the record in Apps & Features holds its eleven values and nothing else.
void ExpectInstalled(const std::wstring& icons_folder = L"");
// The same for the installation at `place`: its folder, the keys below its
// classes root, its record.
void ExpectInstalled(const InstallPlace& place, const std::wstring& icons_folder = L"");

// Puts 40 extra icons of 4 MB each into the copy's Icons folder: the copy
// then lasts long enough to act while it runs, as on a slow disk.
void AddLargeIcons(const Installer& installer);
// Waits until the installation has begun copying (some files are in the
// install folder) and returns whether it has not finished yet.
bool WaitForCopying(const Installer& installer);

// A program in the system folder ("msiexec.exe", Wine's "uninstaller.exe").
std::wstring SystemProgram(const wchar_t* name);
// The product version in a program's version resource: "1.2.3.4".
std::wstring VersionOf(const std::wstring& program);

// The text of a message box.
std::wstring MessageText(HWND box);
// Waits until the message box is in front, settled and painted.
void WaitForBox(HWND box);
// The same, then clicks its button `id`.
void PressButton(HWND box, int id);

// The window class of a message box.
constexpr wchar_t kDialogClass[] = L"#32770";

// A check box's state, asked of the control itself.
LRESULT CheckState(HWND check_box);
// Unchecks "Restart Computer" (`check`), clicks Finish (`button`), and checks
// the box again: once it shows checked, the click on Finish was dealt with.
void ClickFinishUnchecked(HWND check, HWND button);

class InstallerTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Copies the program for this test (`run` tells several runs of one test
  // apart), without starting it.
  Installer& Copy(const std::string& run = "");
  // Copies the program and starts it.
  Installer& Start(const std::string& run = "");
  // Starts the program and waits for the splash and the agreement window;
  // both are then in splash_ and agreement_.
  Installer& StartToAgreement(const std::string& run = "");
  // The same for a copy made (and changed) beforehand, started with
  // `arguments`.
  Installer& StartToAgreement(Installer& installer, const std::wstring& arguments = L"");
  // Runs the program with `arguments` to its end, watching that it never
  // shows a window. Returns its exit code (or 0xDEAD when it does not end).
  DWORD RunSilently(const std::wstring& arguments, const std::string& run = "",
                    bool without_icons = false);
  // Starts the program with `arguments` and returns its message box.
  HWND StartToBox(Installer& installer, const std::wstring& arguments);
  // Presses the box's button `id` and returns the program's exit code.
  DWORD Answer(Installer& installer, HWND box, int id);
  // Runs `arguments` (an uninstallation that asks), answers Yes, and returns
  // the message that follows (after pressing its OK, which must end the
  // program with `code`).
  std::wstring UninstallSummary(const std::string& run, DWORD code = 0,
                                const std::wstring& arguments = L"/uninstall");
  // Presses "Accept" with the mouse, watches the progress window, and
  // returns the finish window (null when it does not come).
  HWND AcceptToFinish(Installer& installer, ProgressSighting* sighting,
                      const std::string& screenshot_label = "");
  // Starts Wine's msiexec with `arguments` and a verbose log, named after
  // the test, in the logs folder; "" or why it did not start.
  std::wstring StartMsiexec(Process& msiexec, const std::wstring& arguments);
  // Runs msiexec to its end and returns its exit code (0xDEAD when it does
  // not end); a failure prints where its log is.
  DWORD Msiexec(const std::wstring& arguments);

  HWND splash_ = nullptr;
  HWND agreement_ = nullptr;

 private:
  std::vector<std::unique_ptr<Installer>> runs_;
  int msiexec_runs_ = 0;
  std::wstring msiexec_log_;  // the last one's
};

}  // namespace glyphary::e2e
