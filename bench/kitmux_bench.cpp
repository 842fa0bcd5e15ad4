// kitmux job latency over 50 jobs on a virtual COM port: from "kit_abc" = "Y"
// to the first byte on the port, and from the job being taken ("kit_abc"
// back to "N") to "kit_state" = "end". The 200 ms poll bounds the first; the
// second is the job's own time (a pseudo-terminal has no line time).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "platform/settings.h"
#include "bench/samples.h"
#include "tools/testkit/testkit.h"
#include "tools/testkit/vport.h"

namespace {

using namespace pink;
using bench::Clock;
using bench::ms_since;
using bench::report;

void BM_KitmuxJobs(benchmark::State& state) {
  testkit::TempStore store;
  testkit::TempDir work, locks;
  testkit::ScopedEnv lockdir("PINK_LOCKDIR", locks.path());
  testkit::VirtualPort port(4);
  testkit::RunOptions o;
  o.cwd = work.path();
  testkit::Process kitmux(testkit::program("kitmux"), {}, o);
  testkit::wait_until([] { return settings::get("pink", "floyd", "kit_state") == "Load"; }, 5000);

  std::string body;
  for (int i = 0; i < 10; ++i) body += "1 x ITEM " + std::to_string(i) + "\r\n";
  work.write("kitchen.zor", "4 T0XX\r\n" + body);

  std::vector<double> first_byte, job_time;
  for (auto _ : state) {
    settings::put("pink", "floyd", "kit_state", "");
    const auto asked = Clock::now();
    settings::put("pink", "floyd", "kit_abc", "Y");
    port.read_available(2000);  // returns with the first bytes
    first_byte.push_back(ms_since(asked));
    // The job was taken before its first byte: time it from there to the end.
    const auto taken = Clock::now();
    testkit::wait_until([] { return settings::get("pink", "floyd", "kit_state") == "end"; }, 5000);
    job_time.push_back(ms_since(taken));
    port.read_available(50);
  }
  report(state, first_byte, "first_byte");
  report(state, job_time, "first_byte_to_end");
  kitmux.terminate(5000);
}

BENCHMARK(BM_KitmuxJobs)->Iterations(50)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
