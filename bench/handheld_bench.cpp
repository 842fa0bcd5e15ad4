// hx410 turnaround on a virtual COM port over 50 records of one transfer:
// from a record's last byte written to its ACK read. The program waits a
// tenth of a second before every ACK, so the figure to read is the overhead
// beyond 100 ms (storing the record, the waits for input between passes).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "bench/samples.h"
#include "tools/testkit/testkit.h"
#include "tools/testkit/vport.h"

namespace {

using namespace pink;
using bench::Clock;
using bench::ms_since;
using bench::report;

void BM_Hx410RecordToAck(benchmark::State& state) {
  testkit::TempDir work, conf;
  conf.write("hx410.ini", "5\r\nout.txt\r\n");
  testkit::ScopedEnv ini("PINK_HX410_INI", conf.file("hx410.ini"));
  testkit::VirtualPort port(5);
  testkit::RunOptions o;
  o.cwd = work.path();
  testkit::Process hx410(testkit::program("hx410"), {}, o);

  // The ENQ waits on the line until the program reads it at its first poll.
  const auto enq = Clock::now();
  port.write("\x05");
  if (port.read_exact(1, 5000) != "\x06") {
    state.SkipWithError("no ACK for ENQ");
    return;
  }
  const double enq_ms = ms_since(enq);

  std::vector<double> turnaround;
  int n = 0;
  for (auto _ : state) {
    const std::string record = "\x02RECORD " + std::to_string(++n) + " 1234567890\x03";
    port.write(record);
    const auto sent = Clock::now();
    if (port.read_exact(1, 5000) != "\x06") {
      state.SkipWithError("no ACK for a record");
      break;
    }
    turnaround.push_back(ms_since(sent));
  }
  port.write(">");
  port.read_exact(1, 5000);
  report(state, turnaround, "record_to_ack");
  state.counters["start_and_enq_to_ack_ms"] = enq_ms;
  hx410.terminate(5000);
}

BENCHMARK(BM_Hx410RecordToAck)->Iterations(50)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
