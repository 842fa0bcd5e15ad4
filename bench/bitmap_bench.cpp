// Bitmap printing: the time from a bitmap file's bytes to the bytes sent
// (header, column bytes, print command, justification), for the largest
// colour picture the converter takes and for a typical monochrome logo; and
// the whole PrintBitmap call as a POS makes it (file read, conversion, write
// to a plain device; the null device here, so that no line time counts).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "pink/rcptlib.h"
#include "rcptlib/bitimage.h"
#include "tools/testkit/testkit.h"

namespace {

void put32(std::vector<std::uint8_t>& f, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    f[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A bottom-up file with a 40-byte header; `palette` holds B, G, R, 0 quads.
std::vector<std::uint8_t> bitmap_file(std::int32_t w, std::int32_t h, int bpp,
                                      const std::vector<std::uint8_t>& palette) {
  const std::size_t stride =
      (static_cast<std::size_t>(w) * static_cast<std::size_t>(bpp) + 31) / 32 * 4;
  const std::size_t offset = 54 + palette.size();
  std::vector<std::uint8_t> f(offset + stride * static_cast<std::size_t>(h), 0);
  f[0] = 'B';
  f[1] = 'M';
  put32(f, 2, static_cast<std::uint32_t>(f.size()));
  put32(f, 10, static_cast<std::uint32_t>(offset));
  put32(f, 14, 40);
  put32(f, 18, static_cast<std::uint32_t>(w));
  put32(f, 22, static_cast<std::uint32_t>(h));
  f[26] = 1;
  f[28] = static_cast<std::uint8_t>(bpp);
  std::copy(palette.begin(), palette.end(), f.begin() + 54);
  return f;
}

// 500 x 650 at 24 bits: smooth colour ramps with some noise, the kind of
// picture error diffusion has to work on everywhere.
std::vector<std::uint8_t> photo_file() {
  constexpr std::int32_t w = 500, h = 650;
  auto f = bitmap_file(w, h, 24, {});
  const std::size_t stride = 1500;
  std::mt19937 rng(42);
  for (std::int32_t y = 0; y < h; ++y) {
    for (std::int32_t x = 0; x < w; ++x) {
      std::uint8_t* px =
          f.data() + 54 + static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x) * 3;
      const int noise = static_cast<int>(rng() % 32) - 16;
      px[0] = static_cast<std::uint8_t>(std::clamp(x * 255 / w + noise, 0, 255));
      px[1] = static_cast<std::uint8_t>(std::clamp(y * 255 / h + noise, 0, 255));
      px[2] = static_cast<std::uint8_t>(std::clamp((x + y) * 255 / (w + h) - noise, 0, 255));
    }
  }
  return f;
}

// 448 x 166 at 1 bit: a shop logo (black-first palette).
std::vector<std::uint8_t> logo_file() {
  constexpr std::int32_t w = 448, h = 166;
  auto f = bitmap_file(w, h, 1, {0, 0, 0, 0, 255, 255, 255, 0});
  const std::size_t stride = 56;
  for (std::int32_t y = 0; y < h; ++y) {
    for (std::int32_t x = 0; x < w; ++x) {
      const int dx = x - w / 2, dy = y - h / 2;
      const bool ink = (dx * dx / 16 + dy * dy) % 900 < 300 || (x / 24 + y / 24) % 5 == 0;
      if (!ink) {
        f[62 + static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x / 8)] |=
            static_cast<std::uint8_t>(0x80 >> (x % 8));
      }
    }
  }
  return f;
}

void run(benchmark::State& state, const std::vector<std::uint8_t>& file) {
  for (auto _ : state) {
    pink::rcptlib::BitImage image;  // made per call, as a print call does
    const auto e = pink::rcptlib::convert(file, 1, 0, image);
    if (e != pink::rcptlib::ConvertError::None) {
      state.SkipWithError("file refused");
      break;
    }
    benchmark::DoNotOptimize(image.raster.data());
    benchmark::ClobberMemory();
  }
}

void BM_Colour500x650(benchmark::State& state) {
  static const auto file = photo_file();
  run(state, file);
}
BENCHMARK(BM_Colour500x650)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

void BM_Logo448x166Monochrome(benchmark::State& state) {
  static const auto file = logo_file();
  run(state, file);
}
BENCHMARK(BM_Logo448x166Monochrome)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

void BM_PrintBitmapWholeCall500x650(benchmark::State& state) {
  pink::testkit::TempDir dir;
  const auto file = photo_file();
  dir.write("photo.bmp", std::string(file.begin(), file.end()));
  const pink::testkit::ScopedEnv lpt("PINK_LPT1", "/dev/null");
  if (OpenPort("LPT1", 0) != 0) {
    state.SkipWithError("the null device did not open as LPT1");
    return;
  }
  const std::string path = dir.file("photo.bmp");
  for (auto _ : state) PrintBitmap(path.c_str(), 1, 0);
  ClosePort();
}
BENCHMARK(BM_PrintBitmapWholeCall500x650)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
