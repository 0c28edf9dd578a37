// Start-up and hand-over latency of the installer, against the start-up of
// two floor programs: floor_two_windows.exe, which shows the installer's
// first screen (the backdrop and the agreement window) with direct Win32
// calls, and floor_window.exe, which shows one bare window:
//   startup_bench.exe DIST_FOLDER ONE_WINDOW_FLOOR_EXE TWO_WINDOW_FLOOR_EXE [RUNS]
// Installer run: copy dist (exe and Icons\) to a fresh folder, remove the
// install folder, the 24 keys and the record, then time from just before
// CreateProcessW to the agreement window (class Glyphary.Agreement) being
// visible (noting on the way when the backdrop, Glyphary.Splash, showed and
// when the agreement window was created); post BM_CLICK to its Accept button
// and time to the finish window (Glyphary.Finish) being visible; terminate
// the process.
// Two-window floor run: the same, to its agreement window
// (GlypharyBench.Agreement) being visible, noting its backdrop
// (GlypharyBench.Backdrop) visible and its agreement window created on the
// way, so that the poll does the same work as for the installer.
// One-window floor run: from just before CreateProcessW to its window being
// visible. The three take turns: each round runs the installer and then the
// two floors, one-window first in even rounds and two-window first in odd
// ones, so that each program follows each of the others equally often. One
// warm-up round comes first and is not counted (the first start in a prefix
// is slow).
// Windows are found by polling every millisecond.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/stats.h"
#include "bench/win32_machine.h"
#include "windows/agreement_window.h"
#include "windows/finish_window.h"
#include "windows/splash_window.h"

namespace glyphary::bench {
namespace {

constexpr DWORD kPatienceMs = 60000;

// A fresh copy of dist: the exe and Icons\*.ico.
bool CopyDist(const std::wstring& dist, const std::wstring& to) {
  return CopyProgram(dist + L"\\GlypharyInstaller.exe", dist + L"\\Icons", to,
                     L"GlypharyInstaller.exe");
}

void RemoveCopy(const std::wstring& folder) {
  DeleteFiles(folder + L"\\Icons");
  RemoveDirectoryW((folder + L"\\Icons").c_str());
  DeleteFiles(folder);
  RemoveDirectoryW(folder.c_str());
}

// A visible top-level window of `window_class` that belongs to process `pid`.
HWND FindVisible(const wchar_t* window_class, DWORD pid) {
  HWND window = nullptr;
  while ((window = FindWindowExW(nullptr, window, window_class, nullptr)) != nullptr) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == pid && IsWindowVisible(window)) return window;
  }
  return nullptr;
}

// A window the poll watches for on the way to the one it waits for: the
// time it was first seen (0 if never), visible or merely created.
struct Mark {
  const wchar_t* window_class;
  bool visible;
  double seen;
};

// A top-level window of `window_class` of process `pid` that exists (shown
// or not).
HWND FindAny(const wchar_t* window_class, DWORD pid) {
  HWND window = nullptr;
  while ((window = FindWindowExW(nullptr, window, window_class, nullptr)) != nullptr) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == pid) return window;
  }
  return nullptr;
}

// Polls every millisecond until the window shows; null after kPatienceMs or
// when the process has ended. Marks not seen by then get the time the window
// showed.
HWND AwaitVisible(const wchar_t* window_class, const PROCESS_INFORMATION& process,
                  std::vector<Mark>* marks = nullptr) {
  const ULONGLONG give_up = GetTickCount64() + kPatienceMs;
  while (GetTickCount64() < give_up) {
    if (marks != nullptr) {
      for (Mark& mark : *marks) {
        if (mark.seen != 0) continue;
        HWND found = mark.visible ? FindVisible(mark.window_class, process.dwProcessId)
                                  : FindAny(mark.window_class, process.dwProcessId);
        if (found != nullptr) mark.seen = Now();
      }
    }
    if (HWND window = FindVisible(window_class, process.dwProcessId)) {
      if (marks != nullptr) {
        for (Mark& mark : *marks) {
          if (mark.seen == 0) mark.seen = Now();
        }
      }
      return window;
    }
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) return nullptr;
    Sleep(1);
  }
  return nullptr;
}

HWND ChildWithId(HWND parent, int id) {
  struct Search {
    int id;
    HWND found;
  } search{id, nullptr};
  EnumChildWindows(
      parent,
      [](HWND child, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        if (GetDlgCtrlID(child) != s->id) return TRUE;
        s->found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool Start(const std::wstring& exe, const std::wstring& folder, PROCESS_INFORMATION* process) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  std::wstring command = L"\"" + exe + L"\"";
  return CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, process) != 0;
}

void Stop(PROCESS_INFORMATION& process) {
  TerminateProcess(process.hProcess, 0);
  WaitForSingleObject(process.hProcess, kPatienceMs);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

struct InstallerTimes {
  double splash = 0, created = 0, startup = 0, handover = 0;
};

// One installer run; false (with the reason printed) when it did not reach
// the finish window.
bool RunInstaller(const std::wstring& dist, const std::wstring& folder, InstallerTimes* times) {
  if (!CopyDist(dist, folder)) {
    std::fprintf(stderr, "could not copy %s\n", Narrow(dist).c_str());
    return false;
  }
  if (!RemoveInstallation()) {
    std::fprintf(stderr, "%s\n", glyphary::testing::kRefusal);
    RemoveCopy(folder);
    return false;
  }
  PROCESS_INFORMATION process{};
  const std::wstring exe = folder + L"\\GlypharyInstaller.exe";
  bool ok = false;
  const double start = Now();
  if (!Start(exe, folder, &process)) {
    std::fprintf(stderr, "CreateProcessW failed (%lu)\n", GetLastError());
    RemoveCopy(folder);
    return false;
  }
  std::vector<Mark> marks = {{windows::SplashWindow::kClassName, true, 0},
                             {windows::AgreementWindow::kClassName, false, 0}};
  if (HWND agreement = AwaitVisible(windows::AgreementWindow::kClassName, process, &marks)) {
    const double shown = Now();
    HWND accept = ChildWithId(agreement, windows::AgreementWindow::kAccept);
    if (accept == nullptr) {
      std::fprintf(stderr, "the agreement window has no Accept button\n");
    } else {
      const double clicked = Now();
      PostMessageW(accept, BM_CLICK, 0, 0);
      if (AwaitVisible(windows::FinishWindow::kClassName, process) != nullptr) {
        const double finished = Now();
        times->splash = marks[0].seen - start;
        times->created = marks[1].seen - start;
        times->startup = shown - start;
        times->handover = finished - clicked;
        ok = true;
      } else {
        std::fprintf(stderr, "the finish window did not show\n");
      }
    }
  } else {
    std::fprintf(stderr, "the agreement window did not show\n");
  }
  Stop(process);
  if (ok && FileNames(kInstall + L"\\*.ico").size() != 12) {
    std::fprintf(stderr, "the finish window showed but the icons were not installed\n");
    ok = false;
  }
  RemoveInstallation();
  RemoveCopy(folder);
  return ok;
}

// One run of a floor program: from just before CreateProcessW to its window
// of `window_class` being visible, noting `marks` on the way. False (with
// the reason printed) when it did not show.
bool RunFloor(const std::wstring& exe, const wchar_t* window_class, std::vector<Mark>* marks,
              double* startup) {
  PROCESS_INFORMATION process{};
  const std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));
  const double start = Now();
  if (!Start(exe, folder, &process)) {
    std::fprintf(stderr, "CreateProcessW of %s failed (%lu)\n", Narrow(exe).c_str(),
                 GetLastError());
    return false;
  }
  HWND window = AwaitVisible(window_class, process, marks);
  const double shown = Now();
  Stop(process);
  if (window == nullptr) {
    std::fprintf(stderr, "the window %s of %s did not show\n", Narrow(window_class).c_str(),
                 Narrow(exe).c_str());
    return false;
  }
  if (marks != nullptr) {
    for (Mark& mark : *marks) mark.seen -= start;
  }
  *startup = shown - start;
  return true;
}

struct TwoWindowTimes {
  double backdrop = 0, created = 0, startup = 0;
};

bool RunTwoWindowFloor(const std::wstring& exe, TwoWindowTimes* times) {
  std::vector<Mark> marks = {{L"GlypharyBench.Backdrop", true, 0},
                             {L"GlypharyBench.Agreement", false, 0}};
  if (!RunFloor(exe, L"GlypharyBench.Agreement", &marks, &times->startup)) return false;
  times->backdrop = marks[0].seen;
  times->created = marks[1].seen;
  return true;
}

int Main(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fprintf(stderr,
                 "usage: startup_bench DIST_FOLDER ONE_WINDOW_FLOOR_EXE TWO_WINDOW_FLOOR_EXE "
                 "[RUNS]\n");
    return 2;
  }
  const std::wstring dist = argv[1];
  const std::wstring one_window_exe = argv[2];
  const std::wstring two_window_exe = argv[3];
  const int runs = argc > 4 ? _wtoi(argv[4]) : 15;

  const std::wstring work = ScratchFolder(L"glyphary-startup");

  std::vector<double> splash, created, startup, handover, one_window;
  std::vector<double> two_backdrop, two_created, two_window;
  int failures = 0;
  for (int i = 0; i <= runs; ++i) {  // round 0 is the warm-up
    const bool counted = i > 0;
    InstallerTimes times;
    double one_window_startup = 0;
    TwoWindowTimes two;
    // 0 the installer, 1 the one-window floor, 2 the two-window floor.
    const int order[2][3] = {{0, 1, 2}, {0, 2, 1}};
    for (int program : order[i % 2]) {
      switch (program) {
        case 0: {
          const std::wstring folder = work + L"\\run-" + std::to_wstring(i);
          if (!RunInstaller(dist, folder, &times)) {
            ++failures;
          } else if (counted) {
            splash.push_back(times.splash);
            created.push_back(times.created);
            startup.push_back(times.startup);
            handover.push_back(times.handover);
          }
          break;
        }
        case 1:
          if (!RunFloor(one_window_exe, L"GlypharyBench.Floor", nullptr, &one_window_startup)) {
            ++failures;
          } else if (counted) {
            one_window.push_back(one_window_startup);
          }
          break;
        default:
          if (!RunTwoWindowFloor(two_window_exe, &two)) {
            ++failures;
          } else if (counted) {
            two_backdrop.push_back(two.backdrop);
            two_created.push_back(two.created);
            two_window.push_back(two.startup);
          }
          break;
      }
    }
    std::fprintf(stderr,
                 "%s round %d: installer splash %.1f ms, agreement created %.1f ms, visible "
                 "%.1f ms, hand-over %.1f ms; two-window floor backdrop %.1f ms, agreement "
                 "created %.1f ms, visible %.1f ms; one-window floor %.1f ms\n",
                 counted ? "measured" : "warm-up", i, times.splash * 1e3, times.created * 1e3,
                 times.startup * 1e3, times.handover * 1e3, two.backdrop * 1e3,
                 two.created * 1e3, two.startup * 1e3, one_window_startup * 1e3);
  }
  RemoveDirectoryW(work.c_str());

  const Summary s_splash = Summarise(splash), s_created = Summarise(created),
                s_startup = Summarise(startup), s_handover = Summarise(handover),
                s_floor = Summarise(one_window), s_two_backdrop = Summarise(two_backdrop),
                s_two_created = Summarise(two_created), s_two = Summarise(two_window);
  std::printf(
      "RESULT runs=%d\nRESULT counted_installer=%zu\nRESULT counted_floor=%zu\n"
      "RESULT counted_floor_two=%zu\n",
      runs, startup.size(), one_window.size(), two_window.size());
  std::printf("RESULT failures=%d\n", failures);
  PrintResult("splash", s_splash, 1e3, "ms");
  PrintResult("created", s_created, 1e3, "ms");
  PrintResult("startup", s_startup, 1e3, "ms");
  PrintResult("handover", s_handover, 1e3, "ms");
  PrintResult("floor_two_backdrop", s_two_backdrop, 1e3, "ms");
  PrintResult("floor_two_created", s_two_created, 1e3, "ms");
  PrintResult("floor_two", s_two, 1e3, "ms");
  PrintResult("floor", s_floor, 1e3, "ms");
  if (s_two.median > 0) {
    std::printf("RESULT startup_ratio_two_windows=%.3f\n", s_startup.median / s_two.median);
  }
  if (s_floor.median > 0) {
    std::printf("RESULT startup_ratio_one_window=%.3f\nRESULT handover_ratio=%.3f\n",
                s_startup.median / s_floor.median, s_handover.median / s_floor.median);
  }
  std::fflush(stdout);
  return failures == 0 && !startup.empty() && !one_window.empty() && !two_window.empty() ? 0
                                                                                           : 1;
}

}  // namespace
}  // namespace glyphary::bench

int wmain(int argc, wchar_t** argv) { return glyphary::bench::Main(argc, argv); }
