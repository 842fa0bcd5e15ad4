// Text codec throughput: mailbox-sized texts in ASCII (copied without the
// converter) and in Korean (through it). Each figure is the median of five runs.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/text.h"

namespace {

const std::string kAscii = "9600,n,8,1 prttw_state start COM1";
// "포트지정오류 영수증 프린터" in cp949.
const std::string kKorean = pink::text::utf8_to_cp949("포트지정오류 영수증 프린터");

void configure(benchmark::internal::Benchmark* b) {
  b->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kNanosecond);
}

void BM_Cp949ToUtf8Ascii(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(pink::text::cp949_to_utf8(kAscii));
}
BENCHMARK(BM_Cp949ToUtf8Ascii)->Apply(configure);

void BM_Cp949ToUtf8Korean(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(pink::text::cp949_to_utf8(kKorean));
}
BENCHMARK(BM_Cp949ToUtf8Korean)->Apply(configure);

void BM_Utf8ToCp949Korean(benchmark::State& state) {
  const std::string utf8 = pink::text::cp949_to_utf8(kKorean);
  for (auto _ : state) benchmark::DoNotOptimize(pink::text::utf8_to_cp949(utf8));
}
BENCHMARK(BM_Utf8ToCp949Korean)->Apply(configure);

}  // namespace

BENCHMARK_MAIN();
