// The installation run's cost on the real Win32 registry and file system,
// against the floor of the same Win32 calls made directly:
//   engine_bench_win.exe ICONS_FOLDER [REPETITIONS]
// ICONS_FOLDER holds the twelve shipped icons; they are copied into a scratch
// program folder. Each repetition starts from a clean machine (no install
// folder, none of the 24 keys); the clean-up is not timed. The two ways take
// turns (ours, floor, ours, floor ...) so that drift hits both alike, and
// every run is checked to have installed everything.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/stats.h"
#include "bench/win32_machine.h"
#include "engine/installation.h"
#include "engine/ti_info.h"
#include "base/error.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_platform.h"

namespace glyphary::bench {
namespace {

// The real file system with the icons taken from the scratch program folder.
class ScratchProgramFolder : public platform::Win32FileSystem {
 public:
  explicit ScratchProgramFolder(std::wstring folder) : folder_(std::move(folder)) {}
  Error ProgramFolder(WideText& folder) override {
    folder = WideText(std::wstring_view(folder_));
    return Error();
  }

 private:
  std::wstring folder_;
};

[[noreturn]] void Fail(const char* what, unsigned long code) {
  std::fprintf(stderr, "engine_bench_win: %s (error %lu)\n", what, code);
  std::fflush(stderr);
  std::exit(1);
}

// The registry work of one run, with the ANSI names and value bytes worked
// out beforehand, in the engine's order.
struct Write {
  std::string path, name;
  DWORD type;
  std::vector<BYTE> bytes;
};
struct Step {
  bool create;
  std::string path;  // create
  Write write;       // write
};

std::vector<Step> MakeSteps() {
  auto text = [](const std::string& s) {
    std::vector<BYTE> bytes(s.begin(), s.end());
    bytes.push_back(0);
    return bytes;
  };
  auto dword = [](DWORD n) {
    return std::vector<BYTE>{static_cast<BYTE>(n), static_cast<BYTE>(n >> 8),
                             static_cast<BYTE>(n >> 16), static_cast<BYTE>(n >> 24)};
  };
  std::vector<Step> steps;
  for (const auto& row : engine::TiInfo::FileTypes()) {
    std::string extension = Narrow(row.Extension);
    std::string type_id = Narrow(row.TypeId);
    std::string default_icon = type_id + "\\DefaultIcon";
    std::string icon = Narrow(engine::TiInfo::kIconFolder) + Narrow(row.IconFile) + ",0";
    steps.push_back({true, extension, {}});
    steps.push_back({true, default_icon, {}});
    steps.push_back({false, "", {extension, "", REG_SZ, text(type_id)}});
    steps.push_back({false, "", {type_id, "BrowserFlags", REG_DWORD, dword(8)}});
    steps.push_back({false, "", {type_id, "EditFlags", REG_DWORD, dword(0)}});
    steps.push_back({false, "", {default_icon, "", REG_SZ, text(icon)}});
  }
  return steps;
}

// The floor: the installation's Win32 calls and nothing else.
void RunFloor(const std::wstring& program, const std::vector<Step>& steps) {
  // What the job needs at the least: is it installed already, which icons
  // are there (before anything is made), the folder, the copies.
  const std::wstring from = program + L"\\Icons\\";
  const std::wstring to = kInstall + L"\\";
  if (GetFileAttributesW(kInstall.c_str()) != INVALID_FILE_ATTRIBUTES) return;
  const std::vector<std::wstring> icons = FileNames(from + L"*.ico");
  if (icons.empty()) return;
  CreateDirectoryW(kInstall.c_str(), nullptr);
  for (const std::wstring& icon : icons) {
    CopyFileW((from + icon).c_str(), (to + icon).c_str(), FALSE);
  }
  for (const Step& step : steps) {
    HKEY key = nullptr;
    if (step.create) {
      DWORD disposition = 0;
      RegCreateKeyExA(HKEY_CLASSES_ROOT, step.path.c_str(), 0, nullptr, 0, 0x3F, nullptr, &key,
                      &disposition);
      RegCloseKey(key);
    } else {
      const Write& w = step.write;
      RegOpenKeyExA(HKEY_CLASSES_ROOT, w.path.c_str(), 0, 0x3F, &key);
      RegSetValueExA(key, w.name.c_str(), 0, w.type, w.bytes.data(),
                     static_cast<DWORD>(w.bytes.size()));
      RegCloseKey(key);
    }
  }
  // The run tells the shell, as every installer should.
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

// The installation run; its error, if any.
Error RunOurs() {
  engine::InstallationState state;
  auto ignore = [](std::wstring_view) {};
  return engine::RunInstallation(state, engine::CaptionSink(ignore));
}

// Back to a clean machine: no install folder, none of the 24 top-level keys.
void Clean() {
  if (!RemoveInstallation()) Fail("could not remove the install folder", GetLastError());
}

// Whether the run left the whole installation: 12 icons and 48 values.
bool Installed(std::string* why) {
  int icons = 0;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((kInstall + L"\\*.ico").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do ++icons;
    while (FindNextFileW(find, &data));
    FindClose(find);
  }
  int values = 0;
  for (const Step& step : MakeSteps()) {
    if (step.create) continue;
    DWORD type = 0, size = 0;
    if (RegGetValueA(HKEY_CLASSES_ROOT, step.write.path.c_str(), step.write.name.c_str(),
                     RRF_RT_ANY, &type, nullptr, &size) == ERROR_SUCCESS &&
        type == step.write.type && size == step.write.bytes.size()) {
      ++values;
    }
  }
  if (icons == 12 && values == 48) return true;
  *why = std::to_string(icons) + " icons, " + std::to_string(values) + " values";
  return false;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency) {
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

int Main(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: engine_bench_win ICONS_FOLDER [REPETITIONS]\n");
    return 2;
  }
  const std::wstring icons = argv[1];
  const int repetitions = argc > 2 ? _wtoi(argv[2]) : 200;

  // The scratch program folder with Icons\ holding the shipped icons.
  const std::wstring program = ScratchFolder(L"glyphary-bench");
  CreateDirectoryW((program + L"\\Icons").c_str(), nullptr);
  int copied = 0;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((icons + L"\\*.ico").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) Fail("no icons in the icons folder", GetLastError());
  do {
    if (CopyFileW((icons + L"\\" + data.cFileName).c_str(),
                  (program + L"\\Icons\\" + data.cFileName).c_str(), FALSE)) {
      ++copied;
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
  if (copied != 12) Fail("expected the twelve shipped icons", static_cast<unsigned long>(copied));

  platform::InstallWin32Platform();
  ScratchProgramFolder files(program);
  platform::FileSystemSeam::Override use(files);
  const std::vector<Step> steps = MakeSteps();

  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  std::vector<double> ours, floor;
  const int warm_up = 5;
  for (int i = 0; i < warm_up + repetitions; ++i) {
    for (int way = 0; way < 2; ++way) {
      Clean();
      LARGE_INTEGER start, end;
      QueryPerformanceCounter(&start);
      if (way == 0) {
        if (Error error = RunOurs()) {
          std::fprintf(stderr, "the installation run failed with error %d\n", error.Number());
          return 1;
        }
      } else {
        RunFloor(program, steps);
      }
      QueryPerformanceCounter(&end);
      std::string why;
      if (!Installed(&why)) {
        std::fprintf(stderr, "%s run %d did not install everything: %s\n",
                     way == 0 ? "engine" : "floor", i, why.c_str());
        return 1;
      }
      if (i >= warm_up) (way == 0 ? ours : floor).push_back(Seconds(start, end, frequency));
    }
  }
  Clean();
  for (const auto& row : engine::TiInfo::FileTypes()) {
    DeleteFileW((program + L"\\Icons\\" + row.IconFile).c_str());
  }
  RemoveDirectoryW((program + L"\\Icons").c_str());
  RemoveDirectoryW(program.c_str());

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
