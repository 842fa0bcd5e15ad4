// Settings store latency on a store of its own: a read of an existing key,
// a read of a missing key and a write, as the programs do them on every
// state change. Each figure is the median of five runs.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/settings.h"
#include "tools/testkit/testkit.h"

namespace {

void configure(benchmark::internal::Benchmark* b) {
  b->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);
}

// A store with the keys a receipt job leaves behind, plus some bulk.
void fill() {
  static bool filled = false;
  if (filled) return;
  filled = true;
  for (int i = 0; i < 200; ++i) {
    pink::settings::put("pink", "bulk", "key" + std::to_string(i), "value " + std::to_string(i));
  }
  pink::settings::put("pink", "floyd", "prttw_state", "start");
  pink::settings::put("pink", "spiro", "PortCheckYN", "Y");
}

void BM_GetExisting(benchmark::State& state) {
  fill();
  for (auto _ : state) {
    benchmark::DoNotOptimize(pink::settings::get("pink", "floyd", "prttw_state"));
  }
}
BENCHMARK(BM_GetExisting)->Apply(configure);

void BM_GetMissing(benchmark::State& state) {
  fill();
  for (auto _ : state) {
    benchmark::DoNotOptimize(pink::settings::get("pink", "floyd", "no_such_key"));
  }
}
BENCHMARK(BM_GetMissing)->Apply(configure);

void BM_Put(benchmark::State& state) {
  fill();
  int n = 0;
  for (auto _ : state) {
    // Alternating values, so that every write changes the row.
    pink::settings::put("pink", "floyd", "prttw_process", (++n & 1) != 0 ? "SP1" : "SP2");
  }
}
BENCHMARK(BM_Put)->Apply(configure);

}  // namespace

int main(int argc, char** argv) {
  pink::testkit::TempStore store;  // $PINK_SETTINGS points here for the run
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
