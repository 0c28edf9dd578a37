// "Finish" and the "Restart Computer" box: nothing while the box is
// unchecked, nor in the window's first half second; with it checked, a
// restart of the system.
//
// Under Wine a restart request (ExitWindowsEx with EWX_REBOOT) starts
// `wineboot --end-session`, which sends WM_QUERYENDSESSION and WM_ENDSESSION
// to every top-level window of the prefix, ends each program that owns one,
// and then runs what a restart runs, among it the RunOnce commands. A
// shutdown or log-off request stops before those; a forced one kills every
// process instead. So a bystander program with a window (e2e_witness) and a
// RunOnce command that leaves a mark tell from outside exactly what was
// asked. This driver owns no window and lives through it; the wrapper still
// runs this suite in a run of its own, after the others.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "tests/e2e/e2e_test.h"

namespace glyphary::e2e {
namespace {

constexpr wchar_t kRunOnceKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr wchar_t kRunOnceValue[] = L"GlypharyE2ERestartMark";

std::string FileText(const std::wstring& path) {
  std::vector<char> bytes = ReadWholeFile(path);
  return std::string(bytes.begin(), bytes.end());
}

bool ProcessRunning(const wchar_t* exe_name) { return !ProcessIds(exe_name).empty(); }

// The bystander: started with a log file, ended when the test ends.
class Witness {
 public:
  explicit Witness(const std::wstring& log) : log_(log) {
    DeleteFileW(log_.c_str());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::wstring command = L"\"" + BesideDriver(L"e2e_witness.exe") + L"\" --log \"" + log_ + L"\"";
    if (CreateProcessW(BesideDriver(L"e2e_witness.exe").c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       nullptr, &startup, &info)) {
      CloseHandle(info.hThread);
      process_ = info.hProcess;
      pid_ = info.dwProcessId;
    }
  }
  ~Witness() {
    if (process_ == nullptr) return;
    if (Running()) TerminateProcess(process_, 99);
    WaitForSingleObject(process_, 10000);
    CloseHandle(process_);
  }
  Witness(const Witness&) = delete;
  Witness& operator=(const Witness&) = delete;

  bool Ready() const {
    return process_ != nullptr &&
           WaitFor([&] { return FileText(log_).find("ready") != std::string::npos; }) &&
           !TopLevelWindows(pid_, L"Glyphary.E2EWitness").empty();
  }
  bool Running() const {
    return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
  }
  bool WaitForExit(DWORD timeout_ms) const { return WaitFor([&] { return !Running(); }, timeout_ms); }
  std::string Log() const { return FileText(log_); }

 private:
  std::wstring log_;
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
};

// A command the system runs once after a restart, removed again at the end.
class RunOnceMark {
 public:
  explicit RunOnceMark(const std::wstring& mark) : mark_(mark) {
    DeleteFileW(mark_.c_str());
    const std::wstring command = L"\"" + BesideDriver(L"e2e_witness.exe") + L"\" --mark \"" + mark_ + L"\"";
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRunOnceKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) == ERROR_SUCCESS) {
      planted_ = RegSetValueExW(key, kRunOnceValue, 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(command.c_str()),
                                static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))) ==
                 ERROR_SUCCESS;
      RegCloseKey(key);
    }
  }
  ~RunOnceMark() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRunOnceKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
      RegDeleteValueW(key, kRunOnceValue);
      RegCloseKey(key);
    }
    DeleteFileW(mark_.c_str());
  }
  RunOnceMark(const RunOnceMark&) = delete;
  RunOnceMark& operator=(const RunOnceMark&) = delete;

  bool planted() const { return planted_; }
  bool Made() const { return GetFileAttributesW(mark_.c_str()) != INVALID_FILE_ATTRIBUTES; }

 private:
  std::wstring mark_;
  bool planted_ = false;
};

using Restart = InstallerTest;

TEST_F(Restart, FinishRestartsOnlyWhenTheBoxIsCheckedAndNotInTheFirstHalfSecond) {
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(WorkFolder()), ignored);
  Witness witness(WorkFolder() + L"\\witness.log");
  ASSERT_TRUE(witness.Ready()) << "the bystander program did not start: " << Narrow(BesideDriver(L"e2e_witness.exe"));
  RunOnceMark mark(WorkFolder() + L"\\restarted.txt");
  ASSERT_TRUE(mark.planted());
  ASSERT_TRUE(TopLevelWindows(GetCurrentProcessId()).empty())
      << "the driver owns a window: an end of session would end it too";

  Installer& installer = StartToAgreement();
  ASSERT_NE(agreement_, nullptr);
  HWND accept = Child(agreement_, AgreementWindow::kAccept);
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == agreement_; }, 10000));
  EXPECT_TRUE(ClickCentre(accept));

  // Finish clicked at once, with the box checked, as a double click meant
  // for "Accept" would: once the window is up and takes input (its
  // progress window gone), within its first half second.
  HWND finish = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (finish = installer.Visible(kFinish)) != nullptr; }, 30000));
  const ULONGLONG appeared = GetTickCount64();
  HWND check = Child(finish, FinishWindow::kRestart);
  HWND button = Child(finish, FinishWindow::kFinish);
  ASSERT_NE(check, nullptr);
  ASSERT_NE(button, nullptr);
  ASSERT_TRUE(installer.WaitForGone(kProgress, 400));
  EXPECT_TRUE(ClickCentre(button));
  const ULONGLONG pressed_after = GetTickCount64() - appeared;
  std::printf("[   NOTE   ] Finish clicked %lu ms after the window appeared\n",
              static_cast<unsigned long>(pressed_after));
  ASSERT_LT(pressed_after, 450u) << "Finish was clicked too late: nothing tested";
  EXPECT_TRUE(WaitFor([&] { return FocusIn(finish) == button; }, 2000))
      << "the click did not reach Finish";
  Sleep(1000);  // time for a restart request to show
  EXPECT_TRUE(installer.Running()) << "the early click asked for a restart";
  EXPECT_FALSE(ProcessRunning(L"wineboot.exe")) << "the early click asked for a restart";
  ASSERT_EQ(CheckState(check), BST_CHECKED);

  // Unchecked, Finish does nothing. Checking the box again afterwards shows
  // when the program has dealt with the click on Finish.
  ASSERT_NO_FATAL_FAILURE(ClickFinishUnchecked(check, button));
  EXPECT_TRUE(installer.Running());
  EXPECT_EQ(installer.Visible(kFinish), finish);
  EXPECT_FALSE(ProcessRunning(L"wineboot.exe")) << "a restart was asked for";
  EXPECT_TRUE(witness.Running());
  EXPECT_EQ(witness.Log(), "ready\r\n");
  EXPECT_FALSE(mark.Made());

  // Checked, Finish asks the system to restart: the session ends for every
  // program with a window, the installer among them, and the restart's
  // RunOnce command runs.
  EXPECT_TRUE(ClickCentre(button));
  DWORD code = 0;
  EXPECT_TRUE(installer.WaitForExit(60000, &code))
      << "the installer still runs after Finish with Restart Computer checked";
  EXPECT_TRUE(witness.WaitForExit(60000)) << "the session did not end for other programs";
  const std::string log = witness.Log();
  EXPECT_NE(log.find("query-end-session"), std::string::npos) << log;
  EXPECT_NE(log.find("end-session ending"), std::string::npos) << log;
  EXPECT_TRUE(WaitFor([&] { return mark.Made(); }, 60000))
      << "the RunOnce command did not run: the session ended without a restart";
  std::string seen = log;
  for (size_t at = seen.find("\r\n"); at != std::string::npos; at = seen.find("\r\n")) {
    seen.replace(at, 2, "; ");
  }
  std::printf("[   NOTE   ] installer exit code %lu; the bystander saw: %s\n",
              static_cast<unsigned long>(code), seen.c_str());
}

TEST_F(Restart, KeysTypedWhileTheInstallationRunsRequestNoRestart) {
  // Many large extra icons make the copy last long enough for keys typed
  // right after "Accept" to arrive while it runs, as on a slow disk.
  Installer& installer = Copy();
  AddLargeIcons(installer);
  StartToAgreement(installer);
  ASSERT_NE(agreement_, nullptr);
  HWND accept = Child(agreement_, AgreementWindow::kAccept);
  ASSERT_NE(accept, nullptr);

  // "Accept", then at once Tab and Space: on the finish window they would
  // move the focus from "Restart Computer" to "Finish" and press it.
  EXPECT_TRUE(ClickCentre(accept));
  PressKey(VK_TAB);
  PressKey(VK_SPACE);
  ASSERT_EQ(installer.Visible(kFinish), nullptr)
      << "the installation was over before the keys were typed: nothing tested";

  HWND finish = installer.WaitForVisible(kFinish);
  ASSERT_NE(finish, nullptr);
  EXPECT_TRUE(Settle(finish));
  Sleep(1000);  // time for anything still queued to be delivered
  HWND check = Child(finish, FinishWindow::kRestart);
  EXPECT_TRUE(installer.Running()) << "the installer ended: a restart was requested";
  EXPECT_EQ(installer.Visible(kFinish), finish);
  EXPECT_FALSE(ProcessRunning(L"wineboot.exe")) << "a restart was asked for";
  EXPECT_EQ(CheckState(check), BST_CHECKED);
  EXPECT_EQ(FocusIn(finish), check) << "the typed Tab reached the finish window";

  // Keys typed now, with the window seen, work as always.
  PressKey(VK_SPACE);
  EXPECT_TRUE(WaitFor([&] { return CheckState(check) == BST_UNCHECKED; }))
      << "Space on the shown finish window does nothing";
}

}  // namespace
}  // namespace glyphary::e2e
