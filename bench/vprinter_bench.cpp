// The virtual printer's picture of the paper: drawing a typical receipt
// (40 lines with Korean text, a CODE39 bar code, a 128 x 64 signature, a cut)
// with the font already loaded and with the font loaded for the job, as
// vprinter does once per run, and writing the PNG.
#include <benchmark/benchmark.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "platform/text.h"
#include "tools/vprinter/font.h"
#include "tools/vprinter/png.h"
#include "tools/vprinter/render.h"

namespace {

using namespace pink::vprinter;

std::string receipt() {
  std::string s = "\x1b@\x1b" "a1\x1d!\x11" + pink::text::utf8_to_cp949("핑크 커피") + "\r\n\x1d!" + std::string(1, '\0') +
                  "\x1b" "a0";
  for (int i = 0; i < 40; ++i) {
    s += pink::text::utf8_to_cp949("아메리카노 " + std::to_string(i + 1) + "잔        ") + "4,500\r\n";
  }
  s += "\x1d" "f\x01\x1dh0\x1dw\x02\x1b" "a1\x1dk\x04" "20261208001" + std::string(1, '\0') + "\r\n";
  s += "\x1d*\x10\x08" + std::string(16 * 8 * 8, '\x3C') + "\x1d/0";
  s += "\x1b" "d\x03\x1dVA\x03";
  return s;
}

std::unique_ptr<FontGlyphs> open_font() {
  std::string error;
  const std::string path = find_printer_font(error);
  auto font = path.empty() ? nullptr : FontGlyphs::open(path, error);
  if (!font) throw std::runtime_error(error);
  return font;
}

void BM_RenderReceiptFontLoaded(benchmark::State& state) {
  const auto events = decode(receipt());
  auto font = open_font();
  for (auto _ : state) benchmark::DoNotOptimize(render_paper(events, *font));
}
BENCHMARK(BM_RenderReceiptFontLoaded)->Unit(benchmark::kMillisecond);

void BM_RenderReceiptFontLoadedForTheJob(benchmark::State& state) {
  const auto events = decode(receipt());
  for (auto _ : state) {
    auto font = open_font();
    benchmark::DoNotOptimize(render_paper(events, *font));
  }
}
BENCHMARK(BM_RenderReceiptFontLoadedForTheJob)->Unit(benchmark::kMillisecond);

void BM_EncodePaperPng(benchmark::State& state) {
  auto font = open_font();
  const Paper paper = render_paper(decode(receipt()), *font);
  for (auto _ : state) benchmark::DoNotOptimize(encode_png(paper.bitmap));
  state.counters["height"] = paper.bitmap.height;
}
BENCHMARK(BM_EncodePaperPng)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
