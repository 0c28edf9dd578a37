// The installation run on the in-memory stand-ins, N times, for counting
// instructions with callgrind:
//   engine_count layers|floor N
// Only the runs themselves are counted: callgrind is started with
// --toggle-collect=glyphary_bench_counted, the one function that holds them;
// building the fresh machines and taking down the floor's calls happen
// outside it.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "bench/native_runs.h"

using glyphary::bench::World;

extern "C" __attribute__((noinline)) void glyphary_bench_counted(
    bool layers, std::vector<std::unique_ptr<World>>* worlds,
    const glyphary::bench::PlatformCalls* calls) {
  for (auto& world : *worlds) {
    if (layers) {
      glyphary::bench::RunLayers(*world);
    } else {
      glyphary::bench::RunFloor(*world, *calls);
    }
  }
}

int main(int argc, char** argv) {
  if (argc != 3 || (std::strcmp(argv[1], "layers") != 0 && std::strcmp(argv[1], "floor") != 0)) {
    std::fprintf(stderr, "usage: %s layers|floor RUNS\n", argv[0]);
    return 2;
  }
  const bool layers = std::strcmp(argv[1], "layers") == 0;
  const int runs = std::atoi(argv[2]);
  const auto icons = glyphary::bench::ReadIcons(GLYPHARY_BENCH_ICONS);
  const auto calls = glyphary::bench::RecordRun(icons);
  std::vector<std::unique_ptr<World>> worlds;
  for (int i = 0; i < runs; ++i) worlds.push_back(glyphary::bench::MakeWorld(icons));

  glyphary_bench_counted(layers, &worlds, &calls);

  for (const auto& world : worlds) {
    std::string why;
    if (!glyphary::bench::Installed(*world, &why)) {
      std::fprintf(stderr, "incomplete run: %s\n", why.c_str());
      return 1;
    }
  }
  std::printf("%s: %d runs done, %zu platform calls a run\n", argv[1], runs, calls.size());
  return 0;
}
