// One run of the shipped installer: a fresh copy of the distribution
// folder, the process started from it, and its four windows found by class.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/e2e/driver/desktop.h"
#include "windows/agreement_window.h"
#include "windows/finish_window.h"
#include "windows/progress_window.h"
#include "windows/splash_window.h"

namespace glyphary::e2e {

// Where things are, from the environment the wrapper script sets:
//   GLYPHARY_E2E_DIST          the built distribution folder (exe + Icons,
//                              GlypharyInstaller.msi)
//   GLYPHARY_E2E_PACKAGES      the folder of the older package to upgrade from
//                              (GlypharyInstaller-0.9.msi)
//   GLYPHARY_E2E_AGREEMENT     the agreement text shipped in the exe
//   GLYPHARY_E2E_SPLASH        the splash picture shipped in the exe
//   GLYPHARY_E2E_PROGRAM_ICON  the program's icon, which Apps & Features shows
//   GLYPHARY_E2E_SCREENSHOTS   where screen pictures go
//   GLYPHARY_E2E_LOGS          where msiexec's logs go
//   GLYPHARY_E2E_WORK          where each test's copy of the program goes
std::wstring Setting(const wchar_t* name, const std::wstring& fallback = L"");
std::wstring DistFolder();
std::wstring WorkFolder();
// A program built beside this driver: "e2e_witness.exe",
// "e2e_contrast_host.exe".
std::wstring BesideDriver(const wchar_t* program);

// Saves the screen as <screenshots>/<Suite>.<Test>-<label>.bmp.
void Screenshot(const std::string& label);

// Window classes of the installer's four windows.
constexpr const wchar_t* kSplash = windows::SplashWindow::kClassName;
constexpr const wchar_t* kAgreement = windows::AgreementWindow::kClassName;
constexpr const wchar_t* kProgress = windows::ProgressWindow::kClassName;
constexpr const wchar_t* kFinish = windows::FinishWindow::kClassName;

// A program the driver starts and watches: the installer, the installed
// uninstaller, Wine's own tools.
class Process {
 public:
  Process() = default;
  // Ends the process if it still runs.
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Starts `program` with `arguments` after its name, in `folder` (the
  // driver's when empty), its output into the file `output` when given.
  // Returns "" or the error.
  std::wstring Launch(const std::wstring& program, const std::wstring& arguments,
                      const std::wstring& folder = L"", const std::wstring& output = L"");
  DWORD pid() const { return pid_; }
  bool Running() const;
  // Whether the DLL `name` ("oleacc.dll") is loaded in the process.
  bool HasLoaded(const wchar_t* name) const;
  // Waits for the process to end; its exit code in `code`.
  bool WaitForExit(DWORD timeout_ms, DWORD* code = nullptr);
  // Ends the process (when it still runs) and waits for it.
  void Kill();
  // Holds every thread of the process still, as a stalled disk would, or
  // lets them run again. Returns whether any thread was found.
  bool Hold(bool held);

  // All top-level windows of the process with that class, visible or not.
  std::vector<HWND> Windows(const wchar_t* window_class) const;
  // The single visible window of that class, or null.
  HWND Visible(const wchar_t* window_class) const;
  // Waits for a single visible window of that class; null on timeout.
  HWND WaitForVisible(const wchar_t* window_class, DWORD timeout_ms = 30000) const;
  // Waits until the process has no window of that class left.
  bool WaitForGone(const wchar_t* window_class, DWORD timeout_ms = 20000) const;

 private:
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
};

// The processes running a program of that file name ("wineboot.exe").
std::vector<DWORD> ProcessIds(const wchar_t* exe_name);

class Installer : public Process {
 public:
  // Copies the distribution folder to <work>/<name>, replacing any older copy.
  explicit Installer(const std::string& name);

  // Whether the copy was made (the constructor cannot fail loudly).
  bool Copied() const { return copied_; }
  const std::wstring& folder() const { return folder_; }
  std::wstring exe() const { return folder_ + L"\\GlypharyInstaller.exe"; }

  // Starts GlypharyInstaller.exe from the copy, with `arguments` after its
  // name. Returns "" or the error.
  std::wstring Start(const std::wstring& arguments = L"");

 private:
  std::wstring folder_;
  bool copied_ = false;
};

// The progress window as caught between "Accept" and the finish window. It
// lives only while its window takes the focus, so the driver polls for it
// and, once it is visible, holds the installer's thread still (SuspendThread)
// long enough to read it and take a picture.
struct ProgressSighting {
  bool seen = false;  // the window existed at some point
  bool held = false;  // caught visible and held
  std::vector<std::wstring> captions;  // the status captions seen, in order
  // Read while held:
  std::wstring caption;
  LONG_PTR style = 0;
  Box client;
  Box outer;  // the whole window on the screen
  bool frame_found = false;
  Box frame;  // Frame1 in the window's client area
  bool status_found = false;
  std::wstring status_class;
  Box status;  // intf in the frame's client area
  std::wstring status_text;
};

// Watches for the progress window of `installer` until the finish window is
// visible (or the timeout passes). `screenshot_label`: picture taken while
// held, when not empty.
ProgressSighting WatchProgress(const Installer& installer, const std::string& screenshot_label,
                               DWORD timeout_ms = 30000);

}  // namespace glyphary::e2e
