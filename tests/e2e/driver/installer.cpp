#include "tests/e2e/driver/installer.h"

#include <gtest/gtest.h>
// windows.h first: tlhelp32.h needs its types.
#include <tlhelp32.h>

#include <filesystem>
#include <system_error>

#include "windows/agreement_window.h"
#include "windows/finish_window.h"
#include "windows/progress_window.h"
#include "windows/splash_window.h"

namespace glyphary::e2e {

namespace fs = std::filesystem;
using glyphary::windows::AgreementWindow;
using glyphary::windows::FinishWindow;
using glyphary::windows::ProgressWindow;
using glyphary::windows::SplashWindow;

namespace {

std::wstring Widen(const std::string& text) {
  return std::wstring(text.begin(), text.end());
}

std::wstring ErrorText(const wchar_t* what) {
  return std::wstring(what) + L" failed, error " + std::to_wstring(GetLastError());
}

}  // namespace

std::wstring Setting(const wchar_t* name, const std::wstring& fallback) {
  wchar_t value[32768] = {};
  DWORD length = GetEnvironmentVariableW(name, value, 32768);
  if (length == 0 || length >= 32768) return fallback;
  return std::wstring(value, length);
}

std::wstring DistFolder() { return Setting(L"GLYPHARY_E2E_DIST"); }

std::wstring WorkFolder() { return Setting(L"GLYPHARY_E2E_WORK", L"C:\\glyphary-e2e"); }

std::wstring BesideDriver(const wchar_t* program) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  return (fs::path(self).parent_path() / program).wstring();
}

void Screenshot(const std::string& label) {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = test != nullptr
                         ? std::string(test->test_suite_name()) + "." + test->name()
                         : std::string("outside-a-test");
  if (!label.empty()) name += "-" + label;
  // Runs at other screen sizes and DPIs name their pictures apart.
  const std::wstring phase = Setting(L"GLYPHARY_E2E_PHASE");
  if (!phase.empty()) name = std::string(phase.begin(), phase.end()) + "-" + name;
  const std::wstring folder = Setting(L"GLYPHARY_E2E_SCREENSHOTS", WorkFolder() + L"\\screenshots");
  const std::wstring path = folder + L"\\" + Widen(name) + L".bmp";
  if (!SaveScreen(path)) ADD_FAILURE() << "could not save the screen picture " << name;
}

Process::~Process() {
  Kill();
  if (process_ != nullptr) CloseHandle(process_);
}

std::wstring Process::Launch(const std::wstring& program, const std::wstring& arguments,
                             const std::wstring& folder, const std::wstring& output) {
  if (process_ != nullptr) return L"already started";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  HANDLE out = INVALID_HANDLE_VALUE;
  if (!output.empty()) {
    SECURITY_ATTRIBUTES inherited{sizeof(inherited), nullptr, TRUE};
    out = CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return ErrorText(L"CreateFileW");
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = out;
  }
  PROCESS_INFORMATION info{};
  std::wstring command = L"\"" + program + L"\"";
  if (!arguments.empty()) command += L" " + arguments;
  // Wine now and then fails to start a process with ERROR_INTERNAL_ERROR
  // before anything of the program runs (its process creation, not the
  // program); the start is tried again, a few times at most.
  bool started = false;
  for (int attempt = 0; attempt < 4 && !started; ++attempt) {
    if (attempt > 0) Sleep(250);
    started = CreateProcessW(program.c_str(), command.data(), nullptr, nullptr,
                             out != INVALID_HANDLE_VALUE, 0, nullptr,
                             folder.empty() ? nullptr : folder.c_str(), &startup, &info) != FALSE;
    if (!started && GetLastError() != ERROR_INTERNAL_ERROR) break;
  }
  const std::wstring error = started ? L"" : ErrorText(L"CreateProcessW");
  if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
  if (!started) return error;
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  pid_ = info.dwProcessId;
  return L"";
}

bool Process::HasLoaded(const wchar_t* name) const {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid_);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  MODULEENTRY32W module{};
  module.dwSize = sizeof(module);
  bool found = false;
  for (BOOL more = Module32FirstW(snapshot, &module); more && !found;
       more = Module32NextW(snapshot, &module)) {
    found = _wcsicmp(module.szModule, name) == 0;
  }
  CloseHandle(snapshot);
  return found;
}

bool Process::Running() const {
  return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool Process::WaitForExit(DWORD timeout_ms, DWORD* code) {
  if (process_ == nullptr) return false;
  // Served while waiting: the installer may be waiting on this thread.
  bool ended = WaitFor([&] { return !Running(); }, timeout_ms);
  if (ended && code != nullptr) GetExitCodeProcess(process_, code);
  return ended;
}

void Process::Kill() {
  if (!Running()) return;
  TerminateProcess(process_, 99);
  WaitForSingleObject(process_, 10000);
}

bool Process::Hold(bool held) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  bool found = false;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != pid_) continue;
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID);
    if (thread == nullptr) continue;
    found |= (held ? SuspendThread(thread) : ResumeThread(thread)) != static_cast<DWORD>(-1);
    CloseHandle(thread);
  }
  CloseHandle(snapshot);
  return found;
}

std::vector<HWND> Process::Windows(const wchar_t* window_class) const {
  return pid_ != 0 ? TopLevelWindows(pid_, window_class) : std::vector<HWND>();
}

HWND Process::Visible(const wchar_t* window_class) const {
  return pid_ != 0 ? VisibleWindow(pid_, window_class) : nullptr;
}

HWND Process::WaitForVisible(const wchar_t* window_class, DWORD timeout_ms) const {
  HWND found = nullptr;
  WaitFor([&] { return (found = Visible(window_class)) != nullptr; }, timeout_ms);
  return found;
}

bool Process::WaitForGone(const wchar_t* window_class, DWORD timeout_ms) const {
  return WaitFor([&] { return Windows(window_class).empty(); }, timeout_ms);
}

std::vector<DWORD> ProcessIds(const wchar_t* exe_name) {
  std::vector<DWORD> found;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return found;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (lstrcmpiW(entry.szExeFile, exe_name) == 0) found.push_back(entry.th32ProcessID);
  }
  CloseHandle(snapshot);
  return found;
}

Installer::Installer(const std::string& name) {
  folder_ = WorkFolder() + L"\\" + Widen(name);
  std::error_code error;
  fs::remove_all(fs::path(folder_), error);
  fs::create_directories(fs::path(folder_), error);
  fs::copy(fs::path(DistFolder()), fs::path(folder_), fs::copy_options::recursive, error);
  copied_ = !error && fs::exists(fs::path(exe()));
}

std::wstring Installer::Start(const std::wstring& arguments) {
  if (!copied_) return L"the distribution folder was not copied from '" + DistFolder() + L"'";
  return Launch(exe(), arguments, folder_);
}

namespace {

// The progress window's frame and status label, when it still has them.
HWND ProgressFrame(HWND window) { return GetDlgItem(window, ProgressWindow::kFrame); }
HWND ProgressStatus(HWND window) {
  HWND frame = ProgressFrame(window);
  return frame != nullptr ? GetDlgItem(frame, ProgressWindow::kStatus) : nullptr;
}

// Everything the tests look at, read while the window's thread is held.
void ReadHeld(HWND window, ProgressSighting* sighting) {
  sighting->held = true;
  sighting->caption = CaptionOf(window);
  sighting->style = StyleOf(window);
  sighting->client = ClientBox(window);
  sighting->outer = WindowBox(window);
  if (HWND frame = ProgressFrame(window)) {
    sighting->frame_found = true;
    sighting->frame = BoxInParent(frame);
  }
  if (HWND status = ProgressStatus(window)) {
    sighting->status_found = true;
    sighting->status_class = ClassOf(status);
    sighting->status = BoxInParent(status);
    sighting->status_text = CaptionOf(status);
  }
}

// Whether the screen shows the held window drawn: its ground, the frame's
// inside below the status, and the status's own ground right of its text.
bool DrawnOnScreen(const ProgressSighting& sighting) {
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  const Box& client = sighting.client;
  const Box& frame = sighting.frame;
  const int status_left = client.left + frame.left + sighting.status.left;
  const int status_top = client.top + frame.top + sighting.status.top;
  return ScreenPixel(client.left + 2, client.top + 2) == face &&
         ScreenPixel(client.left + client.width - 3, client.top + client.height - 3) == face &&
         ScreenPixel(client.left + frame.left + 4, client.top + frame.top + frame.height - 4) ==
             face &&
         ScreenPixel(status_left + sighting.status.width - 3,
                     status_top + sighting.status.height - 3) == face;
}

// The window is drawn, but under X its picture reaches the screen only when
// its thread runs again: lets the held thread run in short slices until the
// screen shows the window (or it is gone), then takes the picture.
void PictureOfHeld(HANDLE thread, HWND window, const ProgressSighting& sighting,
                   const std::string& label) {
  bool drawn = DrawnOnScreen(sighting);
  for (int slice = 0; slice < 200 && !drawn; ++slice) {
    ResumeThread(thread);
    Sleep(1);
    SuspendThread(thread);
    if (!IsWindow(window) || !IsWindowVisible(window)) return;
    drawn = DrawnOnScreen(sighting);
  }
  if (drawn) Screenshot(label);
}

HWND FindProgressWindow(DWORD pid) {
  for (HWND candidate = FindWindowExW(nullptr, nullptr, kProgress, nullptr); candidate != nullptr;
       candidate = FindWindowExW(nullptr, candidate, kProgress, nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(candidate, &owner);
    if (owner == pid) return candidate;
  }
  return nullptr;
}

}  // namespace

ProgressSighting WatchProgress(const Installer& installer, const std::string& screenshot_label,
                               DWORD timeout_ms) {
  ProgressSighting sighting;
  const ULONGLONG start = GetTickCount64();
  HWND window = nullptr;
  while (GetTickCount64() - start < timeout_ms) {
    // A tight loop of cheap look-ups: the window lives for moments only.
    if (window == nullptr || !IsWindow(window)) window = FindProgressWindow(installer.pid());
    if (window != nullptr) {
      sighting.seen = true;
      if (HWND status = ProgressStatus(window)) {
        std::wstring text = CaptionOf(status);
        if (!text.empty() && (sighting.captions.empty() || sighting.captions.back() != text)) {
          sighting.captions.push_back(text);
        }
      }
      if (!sighting.held && IsWindowVisible(window)) {
        HANDLE thread =
            OpenThread(THREAD_SUSPEND_RESUME, FALSE, GetWindowThreadProcessId(window, nullptr));
        if (thread != nullptr && SuspendThread(thread) != static_cast<DWORD>(-1)) {
          // Still there once held: read it, and take its picture.
          if (IsWindow(window) && IsWindowVisible(window)) {
            ReadHeld(window, &sighting);
            if (!screenshot_label.empty()) PictureOfHeld(thread, window, sighting, screenshot_label);
          }
          ResumeThread(thread);
        }
        if (thread != nullptr) CloseHandle(thread);
      }
    }
    if (installer.Visible(kFinish) != nullptr || !installer.Running()) break;
  }
  return sighting;
}

}  // namespace glyphary::e2e
