// stylpad: the time from the pad's signature data (a B2 answer as received)
// to the signature bitmap file: unescaping, DES decryption, run and zero-run
// decoding, the page image to bitmap rows; then with the file written and
// the signature string built, as the control does when the data arrive.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string_view>
#include <utility>
#include <vector>

#include "bench/samples.h"
#include "platform/files.h"
#include "signpad/stylpad_device.h"
#include "signpad/stylpad_protocol.h"
#include "tools/testkit/testkit.h"

namespace {

using pink::signpad::Bytes;
namespace styl = pink::signpad::styl;

// A signature as customers write one (three strokes drawn pixel by pixel
// across the pad), or a dense scrawl of twelve strokes (state.range(0) 1),
// whose data are several times longer.
Bytes signature_data(bool dense) {
  std::vector<std::pair<int, int>> ink;
  for (int x = 6; x < 122; ++x) {
    ink.emplace_back(x, 32 + static_cast<int>(std::lround(18 * std::sin(x / 9.0))));
    ink.emplace_back(x, 20 + static_cast<int>(std::lround(9 * std::cos(x / 5.0))));
    if (x % 3 == 0) ink.emplace_back(x, 48 + (x / 3) % 12);
    for (int k = 0; dense && k < 9; ++k) {
      ink.emplace_back(x, 5 + 6 * k + static_cast<int>(std::lround(4 * std::sin((x + 7 * k) / (3.0 + k)))));
    }
  }
  return styl::signature_answer(styl::image_of(ink));
}

void BM_SignatureDataToBitmap(benchmark::State& state) {
  const Bytes frame = signature_data(state.range(0) != 0);
  std::vector<double> samples;
  for (auto _ : state) {
    const auto start = pink::bench::Clock::now();
    styl::SignatureBitmap bmp = styl::signature_bitmap(frame);
    benchmark::DoNotOptimize(bmp);
    samples.push_back(pink::bench::us_since(start));
    if (!bmp.ok) state.SkipWithError("the signature data did not convert");
  }
  pink::bench::report(state, samples, "to_bitmap", "us");
  state.counters["frame_bytes"] = static_cast<double>(frame.size());
}
BENCHMARK(BM_SignatureDataToBitmap)->Arg(0)->Arg(1);

void BM_SignatureDataToBitmapFile(benchmark::State& state) {
  const Bytes frame = signature_data(state.range(0) != 0);
  pink::testkit::TempDir dir;
  const std::string path = dir.file("sign.bmp");
  std::vector<double> samples;
  for (auto _ : state) {
    const auto start = pink::bench::Clock::now();
    const styl::SignatureBitmap bmp = styl::signature_bitmap(frame);
    const bool written =
        pink::files::write_all(path, std::string_view(reinterpret_cast<const char*>(bmp.file.data()), bmp.file.size()))
            .ok();
    std::string styl2 = pink::signpad::styl2_string(
        std::span(bmp.file).subspan<pink::signpad::kBitmapHeaderBytes, pink::signpad::kImageBytes>());
    benchmark::DoNotOptimize(styl2);
    samples.push_back(pink::bench::us_since(start));
    if (!bmp.ok || !written) state.SkipWithError("the bitmap file was not written");
  }
  pink::bench::report(state, samples, "to_file", "us");
  state.counters["frame_bytes"] = static_cast<double>(frame.size());
}
BENCHMARK(BM_SignatureDataToBitmapFile)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
