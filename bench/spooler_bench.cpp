// Whole-process time of the receipt spoolers: start to exit of `printer` and
// `enter` for a 60-line receipt on a virtual COM port. A pseudo-terminal
// takes the bytes without a line delay, so the figure is the spooler's own
// time beyond the time the bytes need on a real line. "proc_cpu_ms" is the
// processor time of the spooler's own process per run (the benchmark's CPU
// column is only the harness's): where the two figures part, the spooler
// waited on something.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <string>
#include <vector>

#include "platform/settings.h"
#include "tools/testkit/testkit.h"
#include "tools/testkit/vport.h"

namespace {

using namespace pink;

void write_job(const testkit::TempDir& dir, const std::string& name, const std::string& header) {
  std::string text = header + "\r\n";
  for (int i = 0; i < 60; ++i) {
    text += "ITEM " + std::to_string(i) + "        1 x 1,000       1,000\r\n";
  }
  dir.write(name, text);
}

// User and system time of the ended child processes, in milliseconds.
double children_cpu_ms() {
  rusage u{};
  ::getrusage(RUSAGE_CHILDREN, &u);
  auto ms = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3; };
  return ms(u.ru_utime) + ms(u.ru_stime);
}

void run_spooler(benchmark::State& state, const std::string& program, const std::string& job,
                 const std::string& header, int com) {
  testkit::TempStore store;
  testkit::TempDir work;
  work.mkdir("zorlog");
  testkit::VirtualPort port(com);
  write_job(work, job, header);
  testkit::RunOptions o;
  o.cwd = work.path();
  const double cpu_before = children_cpu_ms();
  for (auto _ : state) {
    auto r = testkit::run(testkit::program(program), {}, o);
    if (r.exit_code != 0) state.SkipWithError(("spooler failed: " + r.err).c_str());
    state.PauseTiming();
    port.read_available(0);
    state.ResumeTiming();
  }
  state.counters["proc_cpu_ms"] =
      benchmark::Counter((children_cpu_ms() - cpu_before) / static_cast<double>(state.iterations()));
}

void BM_PrinterSerial60Lines(benchmark::State& state) {
  run_spooler(state, "printer", "printer.zor", "3X0XN", 3);
}
void BM_PrinterLibrary60Lines(benchmark::State& state) {
  run_spooler(state, "printer", "printer.zor", "4XCXN", 4);
}
void BM_Enter60Lines(benchmark::State& state) {
  run_spooler(state, "enter", "enter.zor", "5X0XN", 5);
}

BENCHMARK(BM_PrinterSerial60Lines)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PrinterLibrary60Lines)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Enter60Lines)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
