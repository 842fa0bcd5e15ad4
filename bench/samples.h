// Latency samples of the benchmarks: the time since a point, and a run's
// median, 90th percentile and worst reported as counters.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace pink::bench {

using Clock = std::chrono::steady_clock;

inline double ms_since(Clock::time_point t) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

inline double us_since(Clock::time_point t) {
  return std::chrono::duration<double, std::micro>(Clock::now() - t).count();
}

// Counters "<name>_median_<unit>", "<name>_p90_<unit>" and "<name>_worst_<unit>".
// Returns the median (0 for no samples).
inline double report(benchmark::State& state, std::vector<double> samples, const std::string& name,
                     const std::string& unit = "ms") {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  const double median = samples[samples.size() / 2];
  state.counters[name + "_median_" + unit] = median;
  state.counters[name + "_p90_" + unit] = samples[samples.size() * 9 / 10];
  state.counters[name + "_worst_" + unit] = samples.back();
  return median;
}

}  // namespace pink::bench
