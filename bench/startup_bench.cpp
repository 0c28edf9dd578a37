// Start-up and hand-over latency of the installer, against the start-up of
// a program that shows one window (floor_window.exe):
//   startup_bench.exe DIST_FOLDER FLOOR_EXE [RUNS]
// Installer run: copy dist (exe and Icons\) to a fresh folder, remove the
// install folder and the 24 keys, then time from just before CreateProcessW
// to the agreement window (class Glyphary.Form2) being visible (noting on the
// way when the splash, Glyphary.Form1, showed and when the agreement window
// was created); post BM_CLICK
// to its Accept button and time to the finish window (Glyphary.Form4) being
// visible; terminate the process. Floor run: from just before CreateProcessW
// to its window being visible. The two take turns; one warm-up run of each
// comes first and is not counted (the first start in a prefix is slow).
// Windows are found by polling every millisecond.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/stats.h"
#include "bench/win32_machine.h"
#include "engine/ti_info.h"
#include "windows/forms/descriptions.h"

namespace glyphary::bench {
namespace {

constexpr DWORD kPatienceMs = 60000;

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

int CountFiles(const std::wstring& pattern) {
  int count = 0;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return 0;
  do {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) ++count;
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return count;
}

// A fresh copy of dist: the exe and Icons\*.ico.
bool CopyDist(const std::wstring& dist, const std::wstring& to) {
  CreateDirectoryW(to.c_str(), nullptr);
  CreateDirectoryW((to + L"\\Icons").c_str(), nullptr);
  if (!CopyFileW((dist + L"\\GlypharyInstaller.exe").c_str(),
                 (to + L"\\GlypharyInstaller.exe").c_str(), FALSE)) {
    return false;
  }
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((dist + L"\\Icons\\*.ico").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  do {
    CopyFileW((dist + L"\\Icons\\" + data.cFileName).c_str(),
              (to + L"\\Icons\\" + data.cFileName).c_str(), FALSE);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return true;
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
  std::vector<Mark> marks = {{L"Glyphary.Form1", true, 0}, {L"Glyphary.Form2", false, 0}};
  if (HWND agreement = AwaitVisible(L"Glyphary.Form2", process, &marks)) {
    const double shown = Now();
    HWND accept = ChildWithId(agreement, windows::ids::kForm2Command2);
    if (accept == nullptr) {
      std::fprintf(stderr, "the agreement window has no Accept button\n");
    } else {
      const double clicked = Now();
      PostMessageW(accept, BM_CLICK, 0, 0);
      if (AwaitVisible(L"Glyphary.Form4", process) != nullptr) {
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
  if (ok && CountFiles(kInstall + L"\\*.ico") != 12) {
    std::fprintf(stderr, "the finish window showed but the icons were not installed\n");
    ok = false;
  }
  RemoveInstallation();
  RemoveCopy(folder);
  return ok;
}

bool RunFloor(const std::wstring& exe, double* startup) {
  PROCESS_INFORMATION process{};
  const std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));
  const double start = Now();
  if (!Start(exe, folder, &process)) {
    std::fprintf(stderr, "CreateProcessW of the floor failed (%lu)\n", GetLastError());
    return false;
  }
  HWND window = AwaitVisible(L"GlypharyBench.Floor", process);
  const double shown = Now();
  Stop(process);
  if (window == nullptr) {
    std::fprintf(stderr, "the floor window did not show\n");
    return false;
  }
  *startup = shown - start;
  return true;
}

int Main(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: startup_bench DIST_FOLDER FLOOR_EXE [RUNS]\n");
    return 2;
  }
  const std::wstring dist = argv[1];
  const std::wstring floor_exe = argv[2];
  const int runs = argc > 3 ? _wtoi(argv[3]) : 15;

  const std::wstring work = ScratchFolder(L"glyphary-startup");

  std::vector<double> splash, created, startup, handover, floor;
  int failures = 0;
  for (int i = 0; i <= runs; ++i) {  // run 0 is the warm-up
    InstallerTimes times;
    const std::wstring folder = work + L"\\run-" + std::to_wstring(i);
    if (RunInstaller(dist, folder, &times)) {
      if (i > 0) {
        splash.push_back(times.splash);
        created.push_back(times.created);
        startup.push_back(times.startup);
        handover.push_back(times.handover);
      }
    } else {
      ++failures;
    }
    double floor_startup = 0;
    if (RunFloor(floor_exe, &floor_startup)) {
      if (i > 0) floor.push_back(floor_startup);
    } else {
      ++failures;
    }
    std::fprintf(stderr,
                 "%s run %d: splash %.1f ms, agreement created %.1f ms, visible %.1f ms, "
                 "hand-over %.1f ms, floor %.1f ms\n",
                 i == 0 ? "warm-up" : "measured", i, times.splash * 1e3, times.created * 1e3,
                 times.startup * 1e3, times.handover * 1e3, floor_startup * 1e3);
  }
  RemoveDirectoryW(work.c_str());

  const Summary s_splash = Summarise(splash), s_created = Summarise(created),
                s_startup = Summarise(startup),
                s_handover = Summarise(handover), s_floor = Summarise(floor);
  std::printf("RESULT runs=%d\nRESULT counted_installer=%zu\nRESULT counted_floor=%zu\n", runs,
              startup.size(), floor.size());
  std::printf("RESULT failures=%d\n", failures);
  PrintResult("splash", s_splash, 1e3, "ms");
  PrintResult("created", s_created, 1e3, "ms");
  PrintResult("startup", s_startup, 1e3, "ms");
  PrintResult("handover", s_handover, 1e3, "ms");
  PrintResult("floor", s_floor, 1e3, "ms");
  if (s_floor.median > 0) {
    std::printf("RESULT startup_ratio=%.3f\nRESULT handover_ratio=%.3f\n",
                s_startup.median / s_floor.median, s_handover.median / s_floor.median);
  }
  std::fflush(stdout);
  return failures == 0 && !startup.empty() && !floor.empty() ? 0 : 1;
}

}  // namespace
}  // namespace glyphary::bench

int wmain(int argc, wchar_t** argv) { return glyphary::bench::Main(argc, argv); }
