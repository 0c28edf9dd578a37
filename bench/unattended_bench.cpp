// The unattended installation as a deployment system runs it: the installer
// with /S against floor_install.exe, a program that does the same job with
// direct Win32 calls, each timed from just before CreateProcessW to its exit:
//   unattended_bench.exe DIST_FOLDER FLOOR_EXE [RUNS [OTHER_EXE]]
// OTHER_EXE, another build of the installer (an earlier commit's), runs in
// the same rounds, so that the two builds meet the same moments of a
// machine whose speed drifts. All run from a copy of dist/ (the exe and
// Icons\); before every run the install folder, the 24 keys and the record
// are removed (not timed), and after it the installation is checked (exit
// code 0, 12 icons, a complete record). They alternate, each taking each
// place in the order in turn; one warm-up round is not counted.
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
    std::fprintf(stderr, "usage: unattended_bench DIST_FOLDER FLOOR_EXE [RUNS [OTHER_EXE]]\n");
    return 2;
  }
  const std::wstring dist = argv[1];
  const int runs = argc > 3 ? std::atoi(Narrow(argv[3]).c_str()) : 21;
  const bool compare = argc > 4;  // another build of the installer, in the same rounds
  const std::wstring work = ScratchFolder(L"glyphary-unattended");
  const std::wstring folders[] = {work + L"\\installer", work + L"\\floor", work + L"\\other"};
  if (!CopyProgram(dist + L"\\GlypharyInstaller.exe", dist + L"\\Icons", folders[0],
                L"GlypharyInstaller.exe") ||
      !CopyProgram(argv[2], dist + L"\\Icons", folders[1], L"floor_install.exe") ||
      (compare && !CopyProgram(argv[4], dist + L"\\Icons", folders[2], L"GlypharyInstaller.exe"))) {
    std::fprintf(stderr, "could not copy the programs\n");
    return 1;
  }
  const std::wstring commands[] = {L"\"" + folders[0] + L"\\GlypharyInstaller.exe\" /S",
                                   L"\"" + folders[1] + L"\\floor_install.exe\"",
                                   L"\"" + folders[2] + L"\\GlypharyInstaller.exe\" /S"};
  const char* names[] = {"installer", "floor", "other"};
  const int programs = compare ? 3 : 2;
  std::vector<double> times[3];
  int failures = 0;
  for (int round = -1; round < runs; ++round) {
    for (int turn = 0; turn < programs; ++turn) {
      // Each program takes each place in the order in turn.
      const int program = (turn + (round + 1) * (programs - 1)) % programs;
      double seconds = 0;
      if (!Run(folders[program], commands[program], &seconds)) {
        std::fprintf(stderr, "%s run %d failed\n", names[program], round);
        ++failures;
        continue;
      }
      if (round >= 0) times[program].push_back(seconds);
    }
  }
  RemoveInstallation();
  const Summary s_ours = Summarise(times[0]);
  const Summary s_floor = Summarise(times[1]);
  std::printf("RESULT runs=%d\nRESULT failures=%d\n", runs, failures);
  PrintResult("silent", s_ours, 1000, "ms");
  PrintResult("floor", s_floor, 1000, "ms");
  if (s_floor.median > 0) std::printf("RESULT ratio=%.3f\n", s_ours.median / s_floor.median);
  if (compare) {
    const Summary s_other = Summarise(times[2]);
    PrintResult("other", s_other, 1000, "ms");
    if (s_floor.median > 0) std::printf("RESULT other_ratio=%.3f\n", s_other.median / s_floor.median);
  }
  return failures == 0 ? 0 : 1;
}
