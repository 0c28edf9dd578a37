// The unattended installation as a deployment system runs it: the installer
// with /S against floor_install.exe, a program that does the same job with
// direct Win32 calls, each timed from just before CreateProcessW to its exit:
//   unattended_bench.exe DIST_FOLDER FLOOR_EXE [RUNS]
// Both run from a copy of dist/ (the exe and Icons\); before every run the
// install folder, the 24 keys and the record are removed (not timed), and
// after it the installation is checked (exit code 0, 12 icons, a complete
// record). They alternate, installer first in even rounds and floor first
// in odd ones; one warm-up round is not counted.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/stats.h"
#include "bench/win32_machine.h"

namespace glyphary::bench {
namespace {

// One timed run of `command` in `folder`; false when it failed or did not
// install.
bool Run(const std::wstring& folder, const std::wstring& command, double* seconds) {
  if (!RemoveInstallation()) {
    std::fprintf(stderr, "%s\n", glyphary::testing::kRefusal);
    return false;
  }
  const long code = TimedRun(folder, command, 60000, seconds);
  return code == 0 && FileNames(kInstall + L"\\*.ico").size() == 12 && Recorded();
}

}  // namespace
}  // namespace glyphary::bench

int wmain(int argc, wchar_t** argv) {
  using namespace glyphary::bench;
  if (argc < 3) {
    std::fprintf(stderr, "usage: unattended_bench DIST_FOLDER FLOOR_EXE [RUNS]\n");
    return 2;
  }
  const std::wstring dist = argv[1];
  const int runs = argc > 3 ? std::atoi(Narrow(argv[3]).c_str()) : 21;
  const std::wstring work = ScratchFolder(L"glyphary-unattended");
  const std::wstring ours = work + L"\\installer";
  const std::wstring floor = work + L"\\floor";
  if (!CopyProgram(dist + L"\\GlypharyInstaller.exe", dist + L"\\Icons", ours,
                L"GlypharyInstaller.exe") ||
      !CopyProgram(argv[2], dist + L"\\Icons", floor, L"floor_install.exe")) {
    std::fprintf(stderr, "could not copy the programs\n");
    return 1;
  }
  const std::wstring ours_command = L"\"" + ours + L"\\GlypharyInstaller.exe\" /S";
  const std::wstring floor_command = L"\"" + floor + L"\\floor_install.exe\"";
  std::vector<double> ours_times, floor_times;
  int failures = 0;
  for (int round = -1; round < runs; ++round) {
    for (int turn = 0; turn < 2; ++turn) {
      const bool installer = (turn == 0) == (round % 2 == 0);
      double seconds = 0;
      if (!Run(installer ? ours : floor, installer ? ours_command : floor_command, &seconds)) {
        std::fprintf(stderr, "%s run %d failed\n", installer ? "installer" : "floor", round);
        ++failures;
        continue;
      }
      if (round >= 0) (installer ? ours_times : floor_times).push_back(seconds);
    }
  }
  RemoveInstallation();
  const Summary s_ours = Summarise(ours_times);
  const Summary s_floor = Summarise(floor_times);
  std::printf("RESULT runs=%d\nRESULT failures=%d\n", runs, failures);
  PrintResult("silent", s_ours, 1000, "ms");
  PrintResult("floor", s_floor, 1000, "ms");
  if (s_floor.median > 0) std::printf("RESULT ratio=%.3f\n", s_ours.median / s_floor.median);
  return failures == 0 ? 0 : 1;
}
