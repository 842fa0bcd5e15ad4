// scanio message mode: from a code's carriage return arriving on the port to
// the 12-byte record readable on the caller's descriptor, over 500 codes on
// a virtual COM2 (a pseudo-terminal has no line time, so this is the
// driver's own delay: the reader's wake-up, the read, the copy and the post).
// The closing of message mode is timed too: it wakes the reader at once.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "bench/samples.h"
#include "pink/scanio.h"
#include "tools/testkit/vport.h"

namespace {

using namespace pink;
using bench::Clock;
using bench::us_since;

void BM_ScanioCodeToMessage(benchmark::State& state) {
  testkit::VirtualPort port(2);
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return state.SkipWithError("pipe");
  char buffer[100] = {};
  if (ScnOpenI(fds[1], 0x8001, buffer) != 1) return state.SkipWithError("ScnOpenI");

  std::vector<double> latency;
  for (auto _ : state) {
    const auto sent = Clock::now();
    port.write("4901234567894\r");
    pollfd p{fds[0], POLLIN, 0};
    if (::poll(&p, 1, 5000) != 1) return state.SkipWithError("no message");
    latency.push_back(us_since(sent));
    char record[12];
    if (::read(fds[0], record, sizeof record) != 12) return state.SkipWithError("short record");
  }
  bench::report(state, latency, "cr_to_record", "us");
  ScnCloseI();
  ::close(fds[0]);
  ::close(fds[1]);
}

void BM_ScanioCloseMessageMode(benchmark::State& state) {
  testkit::VirtualPort port(2);
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return state.SkipWithError("pipe");
  char buffer[100] = {};
  std::vector<double> close_time;
  for (auto _ : state) {
    state.PauseTiming();
    if (ScnOpenI(fds[1], 0x8001, buffer) != 1) return state.SkipWithError("ScnOpenI");
    ::usleep(5000);  // the reader is waiting on the silent port
    state.ResumeTiming();
    const auto asked = Clock::now();
    ScnCloseI();
    close_time.push_back(us_since(asked));
  }
  bench::report(state, close_time, "close", "us");
  ::close(fds[0]);
  ::close(fds[1]);
}

BENCHMARK(BM_ScanioCodeToMessage)->Iterations(500)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_ScanioCloseMessageMode)->Iterations(50)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
