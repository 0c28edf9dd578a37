// The installation run's cost on the real Win32 registry and file system,
// against the floor of the same job made with direct Win32 calls
// (bench/direct_install.h):
//   engine_bench_win.exe DIST_FOLDER [REPETITIONS]
// DIST_FOLDER holds GlypharyInstaller.exe and Icons\ with the twelve shipped
// icons; they are copied into a scratch program folder, which both ways
// install from. Each repetition starts from a clean machine (no install
// folder, none of the 24 keys, no record); the clean-up is not timed. The
// two ways take turns (ours, floor, ours, floor ...) so that drift hits both
// alike, and every run is checked to have left the same installation: the
// same files, the same file-type values and the same record as the first
// run through the layers.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/error.h"
#include "bench/direct_install.h"
#include "bench/stats.h"
#include "bench/win32_machine.h"
#include "engine/file_types.h"
#include "engine/installation.h"
#include "engine/product.h"
#include "platform/platform.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"

namespace glyphary::bench {
namespace {

// The real file system, with the program in the scratch program folder.
class ScratchProgram : public platform::Win32FileSystem {
 public:
  explicit ScratchProgram(std::wstring file) : file_(std::move(file)) {}
  Error ProgramFile(WideText& path) override {
    path = WideText(std::wstring_view(file_));
    return Error();
  }

 private:
  std::wstring file_;
};

[[noreturn]] void Fail(const char* what, unsigned long code) {
  std::fprintf(stderr, "engine_bench_win: %s (error %lu)\n", what, code);
  std::fflush(stderr);
  std::exit(1);
}

// The installation run on `platform`; its error, if any.
Error RunOurs(const platform::Platform& platform) {
  auto ignore = [](engine::InstallStage) {};
  return engine::RunInstallation(platform, engine::kMachineTarget, engine::StageSink(ignore));
}

// Back to a clean machine: no install folder, none of the 24 top-level keys,
// no record.
void Clean() {
  if (!RemoveInstallation()) Fail("could not remove the install folder", GetLastError());
}

// What a run left: the install folder's files (name, size), the file types'
// values and the record's values (name, type, bytes), as text to compare.
std::vector<std::string> Snapshot(const DirectPlan& plan) {
  std::vector<std::string> lines;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((kInstall + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
      lines.push_back("file " + Narrow(data.cFileName) + " " + std::to_string(data.nFileSizeLow));
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  auto value = [&lines](const std::string& where, DWORD type, const std::vector<BYTE>& bytes) {
    std::string line = where + " type " + std::to_string(type) + " =";
    for (BYTE b : bytes) line += " " + std::to_string(b);
    lines.push_back(line);
  };
  for (const DirectPlan::Type& type : plan.types) {
    for (const DirectValue& v : type.values) {
      DWORD found_type = 0;
      std::vector<BYTE> bytes;
      if (DirectReadValue(v.root, v.wide_path, v.wide_name, &found_type, &bytes)) {
        value("HKCR\\" + v.path + " [" + v.name + "]", found_type, bytes);
      }
    }
  }
  HKEY record = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, plan.record_path.c_str(), 0, KEY_QUERY_VALUE, &record) ==
      ERROR_SUCCESS) {
    for (DWORD i = 0;; ++i) {
      wchar_t name[256];
      DWORD name_size = 256, type = 0, size = 0;
      if (RegEnumValueW(record, i, name, &name_size, nullptr, &type, nullptr, &size) !=
          ERROR_SUCCESS) {
        break;
      }
      // The state the record moves through is the engine's own journal,
      // which the floor, the plain job, does without.
      if (std::wstring_view(name, name_size) == L"InstallState") continue;
      std::vector<BYTE> bytes;
      DirectReadValue(HKEY_LOCAL_MACHINE, plan.record_path, name, &type, &bytes);
      value("record [" + Narrow(name) + "]", type, bytes);
    }
    RegCloseKey(record);
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

// Whether `snapshot` holds the whole installation: the 12 icons and the
// program, 48 values and a record with its DisplayName.
bool Complete(const std::vector<std::string>& snapshot, std::string* why) {
  int icons = 0, values = 0;
  bool program = false, named = false;
  const std::string program_line = "file " + Narrow(engine::kExeName) + " ";
  for (const std::string& line : snapshot) {
    if (line.compare(0, 5, "file ") == 0 && line.find(".ico ") != std::string::npos) ++icons;
    program |= line.compare(0, program_line.size(), program_line) == 0;
    values += line.compare(0, 5, "HKCR\\") == 0;
    named |= line.compare(0, 21, "record [DisplayName] ") == 0;
  }
  if (icons == 12 && program && values == 48 && named) return true;
  *why = std::to_string(icons) + " icons, " + (program ? "the program, " : "no program, ") +
         std::to_string(values) + " values, " +
         (named ? "a complete record" : "no complete record");
  return false;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency) {
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

int Main(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: engine_bench_win DIST_FOLDER [REPETITIONS]\n");
    return 2;
  }
  const std::wstring dist = argv[1];
  const int repetitions = argc > 2 ? _wtoi(argv[2]) : 200;

  // The scratch program folder: the program and Icons\ with the shipped icons.
  const std::wstring exe_name(engine::kExeName);
  const std::wstring folder = ScratchFolder(L"glyphary-bench");
  const std::wstring program = folder + L"\\" + exe_name;
  if (!CopyProgram(dist + L"\\" + exe_name, dist + L"\\Icons", folder, exe_name)) {
    Fail("could not copy the program and its icons", GetLastError());
  }
  const size_t copied = FileNames(folder + L"\\Icons\\*.ico").size();
  if (copied != 12) Fail("expected the twelve shipped icons", static_cast<unsigned long>(copied));

  ScratchProgram files(program);
  platform::Win32Registry registry;
  platform::Win32System system;
  const platform::Platform platform{files, registry, system};
  const DirectPlan plan = MakeDirectPlan();

  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  std::vector<double> ours, floor;
  std::vector<std::string> expected;  // what the first run through the layers left
  const int warm_up = 5;
  for (int i = 0; i < warm_up + repetitions; ++i) {
    for (int way = 0; way < 2; ++way) {
      Clean();
      LARGE_INTEGER start, end;
      QueryPerformanceCounter(&start);
      if (way == 0) {
        if (Error error = RunOurs(platform)) {
          std::fprintf(stderr, "the installation run failed with error %d\n", error.Number());
          return 1;
        }
      } else {
        InstallDirectly(plan, program);
      }
      QueryPerformanceCounter(&end);
      const std::vector<std::string> left = Snapshot(plan);
      std::string why;
      if (expected.empty()) {
        if (!Complete(left, &why)) {
          std::fprintf(stderr, "the first engine run did not install everything: %s\n",
                       why.c_str());
          return 1;
        }
        expected = left;
      } else if (left != expected) {
        std::fprintf(stderr, "%s run %d left another installation than the first engine run:\n",
                     way == 0 ? "engine" : "floor", i);
        for (const std::string& line : left) std::fprintf(stderr, "  now:   %s\n", line.c_str());
        for (const std::string& line : expected) {
          std::fprintf(stderr, "  first: %s\n", line.c_str());
        }
        return 1;
      }
      if (i >= warm_up) (way == 0 ? ours : floor).push_back(Seconds(start, end, frequency));
    }
  }
  Clean();
  DeleteFiles(folder + L"\\Icons");
  RemoveDirectoryW((folder + L"\\Icons").c_str());
  DeleteFiles(folder);
  RemoveDirectoryW(folder.c_str());

  Summary s_ours = Summarise(ours), s_floor = Summarise(floor);
  std::printf("RESULT repetitions=%d\nRESULT warm_up=%d\n", repetitions, warm_up);
  PrintResult("engine", s_ours, 1e6, "us");
  PrintResult("floor", s_floor, 1e6, "us");
  std::printf("RESULT ratio=%.3f\n", s_ours.median / s_floor.median);
  std::fflush(stdout);
  return 0;
}

}  // namespace
}  // namespace glyphary::bench

int wmain(int argc, wchar_t** argv) { return glyphary::bench::Main(argc, argv); }
