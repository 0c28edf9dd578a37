// The two ways to install and remove the file types, side by side, as a
// deployment system runs them: the exe (GlypharyInstaller.exe /S and
// /uninstall /S) and the Windows Installer package (msiexec /i
// GlypharyInstaller.msi /qn and msiexec /x ... /qn), each timed from just
// before CreateProcessW to its exit:
//   package_bench.exe DIST_FOLDER [RUNS]
// The exe runs from a copy of dist/ (the exe and Icons\), the package from
// dist/. Every run is checked (exit code 0; after an install the 12 icons,
// with the exe's record or without it; after an uninstall no folder). Each
// round installs and removes both ways, the exe first in even rounds and the
// package first in odd ones; one warm-up round is not counted.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "bench/stats.h"
#include "bench/win32_machine.h"

namespace glyphary::bench {
namespace {

std::wstring SystemProgram(const wchar_t* name) {
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  return std::wstring(system) + L"\\" + name;
}

bool Installed(bool with_record) {
  return FileNames(kInstall + L"\\*.ico").size() == std::size(engine::kFileTypes) &&
         Recorded() == with_record;
}
bool Removed() { return GetFileAttributesW(kInstall.c_str()) == INVALID_FILE_ATTRIBUTES && !Recorded(); }

struct Step {
  const char* key;
  std::wstring folder;
  std::wstring command;
  bool (*check)();
  std::vector<double> times;
};

}  // namespace
}  // namespace glyphary::bench

int wmain(int argc, wchar_t** argv) {
  using namespace glyphary::bench;
  if (argc < 2) {
    std::fprintf(stderr, "usage: package_bench DIST_FOLDER [RUNS]\n");
    return 2;
  }
  if (!RemoveInstallation()) {
    std::fprintf(stderr, "%s\n", glyphary::testing::kRefusal);
    return 1;
  }
  const std::wstring dist = argv[1];
  const int runs = argc > 2 ? std::atoi(Narrow(argv[2]).c_str()) : 5;
  const std::wstring ours = ScratchFolder(L"glyphary-package") + L"\\installer";
  if (!CopyProgram(dist + L"\\GlypharyInstaller.exe", dist + L"\\Icons", ours,
                   L"GlypharyInstaller.exe")) {
    std::fprintf(stderr, "could not copy the program\n");
    return 1;
  }
  const std::wstring exe = L"\"" + ours + L"\\GlypharyInstaller.exe\"";
  const std::wstring msiexec = L"\"" + SystemProgram(L"msiexec.exe") + L"\"";
  const std::wstring package = L"\"" + dist + L"\\GlypharyInstaller.msi\"";
  Step steps[] = {
      {"exe_install", ours, exe + L" /S", [] { return Installed(true); }, {}},
      {"exe_uninstall", ours, exe + L" /uninstall /S", Removed, {}},
      {"msi_install", dist, msiexec + L" /i " + package + L" /qn", [] { return Installed(false); }, {}},
      {"msi_uninstall", dist, msiexec + L" /x " + package + L" /qn", Removed, {}},
  };
  int failures = 0;
  for (int round = -1; round < runs; ++round) {
    for (int pair = 0; pair < 2; ++pair) {
      const int first = ((pair == 0) == (round % 2 == 0)) ? 0 : 2;  // the exe's pair or the package's
      for (int i = first; i < first + 2; ++i) {
        Step& step = steps[i];
        double seconds = 0;
        const long code = TimedRun(step.folder, step.command, 120000, &seconds);
        if (code != 0 || !step.check()) {
          std::fprintf(stderr, "%s, round %d: exit code %ld, %s\n", step.key, round, code,
                       step.check() ? "as expected after it" : "not what it should leave");
          ++failures;
        } else if (round >= 0) {
          step.times.push_back(seconds);
        }
      }
    }
  }
  RemoveInstallation();
  std::printf("RESULT runs=%d\nRESULT failures=%d\n", runs, failures);
  for (const Step& step : steps) {
    const Summary s = Summarise(step.times);
    std::printf("RESULT %s_min_ms=%.1f\nRESULT %s_median_ms=%.1f\nRESULT %s_max_ms=%.1f\n", step.key,
                s.min * 1000, step.key, s.median * 1000, step.key, s.max * 1000);
  }
  return failures == 0 ? 0 : 1;
}
