// The engine's own cost, natively on the in-memory stand-ins: one
// installation run through the layers against the floor of the same calls
// made directly. Each iteration gets a fresh machine, built outside the timed
// part (manual timing), so that only the run itself is measured.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "bench/native_runs.h"
#include "bench/stats.h"

namespace glyphary::bench {
namespace {

const std::vector<IconFile>& Icons() {
  static const std::vector<IconFile> icons = ReadIcons(GLYPHARY_BENCH_ICONS);
  return icons;
}

template <class Run>
void Timed(benchmark::State& state, Run run) {
  for (auto _ : state) {
    std::unique_ptr<World> world = MakeWorld(Icons());
    auto start = std::chrono::steady_clock::now();
    run(*world);
    auto end = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    std::string why;
    if (!Installed(*world, &why)) {
      state.SkipWithError(why.c_str());
      break;
    }
  }
}

void BM_Layers(benchmark::State& state) {
  Timed(state, [](World& world) { RunLayers(world); });
}

void BM_Floor(benchmark::State& state) {
  static const PlatformCalls calls = RecordRun(Icons());
  Timed(state, [](World& world) { RunFloor(world, calls); });
}

// Both ways must make exactly the same calls and install everything, or the
// comparison means nothing.
void CheckSameWork() {
  std::string why;
  if (Icons().size() != 12 || !SameWork(Icons(), RecordRun(Icons()), &why)) {
    std::fprintf(stderr, "the two runs differ: %s (%zu icons found)\n", why.c_str(),
                 Icons().size());
    std::exit(2);
  }
}

}  // namespace
}  // namespace glyphary::bench

namespace {
std::vector<double> Sorted(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v;
}
double P10(const std::vector<double>& v) { return glyphary::bench::Percentile(Sorted(v), 0.10); }
double P90(const std::vector<double>& v) { return glyphary::bench::Percentile(Sorted(v), 0.90); }
}  // namespace

BENCHMARK(glyphary::bench::BM_Layers)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->ComputeStatistics("p10", P10)
    ->ComputeStatistics("p90", P90);
BENCHMARK(glyphary::bench::BM_Floor)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->ComputeStatistics("p10", P10)
    ->ComputeStatistics("p90", P90);

int main(int argc, char** argv) {
  glyphary::bench::CheckSameWork();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
