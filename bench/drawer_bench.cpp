// The open-drawer call of both drawer libraries against vdrawer: the whole
// call as the POS sees it, next to the waits of its sequence (40 ms for
// drawerio, 35 ms for cashbox). The median overhead beyond the waits is the
// figure to watch (target: under 2 ms).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "bench/samples.h"
#include "pink/drawer.h"
#include "tools/testkit/testkit.h"

namespace {

using namespace pink;
using bench::Clock;

void report(benchmark::State& state, std::vector<double> v, double waits_ms) {
  if (v.empty()) return;
  state.counters["over_waits_median_ms"] = bench::report(state, std::move(v), "call") - waits_ms;
}

template <std::int32_t (*Open)(), std::int32_t (*Run)(), std::int32_t (*Close)()>
void open_drawer(benchmark::State& state, const char* name, double waits_ms) {
  testkit::TempDir dir;
  testkit::ScopedEnv env("PINK_DRAWERDIR", dir.path());
  testkit::Process vdrawer(testkit::program("vdrawer"), {name, "--quiet"});
  if (!testkit::wait_until([] { return Open() == 1; }, 10000)) {
    state.SkipWithError("vdrawer does not serve");
    return;
  }
  std::vector<double> calls;
  for (auto _ : state) {
    const auto t = Clock::now();
    if (Run() != 1) state.SkipWithError("the open-drawer call failed");
    calls.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t).count());
  }
  Close();
  report(state, calls, waits_ms);
  vdrawer.terminate(5000);
}

void BM_OpenDraw(benchmark::State& state) {
  open_drawer<OpenDrawPort, OpenDraw, CloseDrawPort>(state, "drawerio", 40.0);
}

void BM_Trigger(benchmark::State& state) { open_drawer<OpenCBX, Trigger, CloseCBX>(state, "cashbox", 35.0); }

BENCHMARK(BM_OpenDraw)->Iterations(100)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Trigger)->Iterations(100)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
