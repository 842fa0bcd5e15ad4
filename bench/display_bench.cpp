// Whole-process time of the display pole program pds: start to exit for one
// type "4" display (ESC @, VT and one 40-byte write: 43 bytes) on a virtual
// COM port. A pseudo-terminal takes the bytes without a line delay, so the
// measured time is what pds needs beyond the line time of its bytes; on a
// real 9600-baud line the 43 bytes take 43 x 10 bits / 9600 = 44.8 ms more.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/settings.h"
#include "tools/testkit/testkit.h"
#include "tools/testkit/vport.h"

namespace {

using namespace pink;

constexpr int kPort = 21;
constexpr double kBaud = 9600;
constexpr double kBitsPerByte = 10;  // start, 8 data, stop

void BM_PdsTypeFour(benchmark::State& state) {
  testkit::TempStore store;
  testkit::TempDir work;
  testkit::VirtualPort port(kPort);
  settings::put("pink", "floyd", "pds_hw", "4");
  settings::put("pink", "floyd", "pds_port", std::to_string(kPort));
  settings::put("pink", "floyd", "pds_1", "TOTAL");
  settings::put("pink", "floyd", "pds_3", "12,000");
  testkit::RunOptions o;
  o.cwd = work.path();
  std::size_t bytes = 0;
  for (auto _ : state) {
    const auto r = testkit::run(testkit::program("pds"), {}, o);
    if (r.exit_code != 0) state.SkipWithError(("pds failed: " + r.err).c_str());
    state.PauseTiming();
    bytes = port.read_available(200).size();
    state.ResumeTiming();
  }
  state.counters["bytes"] = static_cast<double>(bytes);
  state.counters["line_ms_9600"] = static_cast<double>(bytes) * kBitsPerByte * 1000 / kBaud;
}

BENCHMARK(BM_PdsTypeFour)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
