// quillpad: the signature record of QuillGetSignData (column image, digest,
// compression, one-time key, DES) for a signature and for a page full of
// ink; the answer recognition of a whole signature's pen points; and a pen
// point from the wire to the control's window through the serial control's
// polled receive event and the pump.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/samples.h"
#include "pink/automation.h"
#include "signpad/capture.h"
#include "signpad/pad_keys.h"
#include "signpad/quillpad_device.h"
#include "signpad/quillpad_protocol.h"
#include "tools/testkit/vport.h"

namespace {

using namespace pink::signpad;

PointImage sample_image() {
  PointImage image{};
  for (const auto& [x, y] : quill::sample_signature()) set_quill_point(image, x, y);
  return image;
}

void record(benchmark::State& state, const PointImage& image) {
  const auto kept = quill::kept_bytes("9410123412341234", std::string(61, 'T'));
  const auto key = *key_from_hex(kQuillpadInitialKey);
  std::vector<double> samples;
  for (auto _ : state) {
    const auto start = pink::bench::Clock::now();
    QuillRecord r = quill_record(kept, image, key);
    benchmark::DoNotOptimize(r);
    samples.push_back(pink::bench::us_since(start));
  }
  pink::bench::report(state, samples, "record", "us");
}

void BM_QuillRecordOfASignature(benchmark::State& state) { record(state, sample_image()); }
BENCHMARK(BM_QuillRecordOfASignature);

void BM_QuillRecordOfAPageFullOfInk(benchmark::State& state) {
  PointImage full;
  full.fill(0xFF);
  record(state, full);
}
BENCHMARK(BM_QuillRecordOfAPageFullOfInk);

void BM_QuillRecognitionOfASignature(benchmark::State& state) {
  Bytes stream(quill::kAcknowledge.begin(), quill::kAcknowledge.end());
  for (const auto& [x, y] : quill::sample_signature()) {
    const Bytes r = quill::point_record(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y));
    stream.insert(stream.end(), r.begin(), r.end());
  }
  stream.insert(stream.end(), quill::kSignEnd.begin(), quill::kSignEnd.end());
  quill::Receiver receiver;
  std::vector<quill::Effect> effects;
  std::vector<double> samples;
  for (auto _ : state) {
    const auto start = pink::bench::Clock::now();
    receiver.reset(quill::kJobSign);
    effects.clear();
    receiver.feed(stream, effects);
    benchmark::DoNotOptimize(effects.data());
    samples.push_back(pink::bench::us_since(start));
  }
  pink::bench::report(state, samples, "signature", "us");
  state.counters["bytes"] = static_cast<double>(stream.size());
}
BENCHMARK(BM_QuillRecognitionOfASignature);

std::string property(pink_object* o, const char* name) {
  pink_value r{};
  pink_invoke(o, pink_dispid(o, name), PINK_GET, nullptr, 0, &r);
  return r.str == nullptr ? std::string() : r.str;
}

// A pen point written on the virtual line until the control has drawn it
// (strYNSignStarted turns "Y"), pumping as a POS loop does.
void BM_QuillPointOnTheWireToTheWindow(benchmark::State& state) {
  pink::testkit::VirtualPort port(72);
  pink_object* o = pink_create("QUILLPAD.QuillpadCtrl.1");
  pink_value port_no{PINK_I2, 72, nullptr, nullptr, 0, 0};
  pink_invoke(o, pink_dispid(o, "SetPortNo"), PINK_METHOD, &port_no, 1, nullptr);
  pink_value texts[2] = {{PINK_STR, 0, "9410123412341234", nullptr, 0, 0}, {PINK_STR, 0, "", nullptr, 0, 0}};
  pink_invoke(o, pink_dispid(o, "QuillElecSign"), PINK_METHOD, texts, 2, nullptr);
  port.read_for(50, 1000);
  const Bytes point = quill::point_record(40, 20);
  pink_value no{PINK_STR, 0, "N", nullptr, 0, 0};
  std::vector<double> samples;
  for (auto _ : state) {
    const auto start = pink::bench::Clock::now();
    port.write(std::string(point.begin(), point.end()));
    while (property(o, "strYNSignStarted") != "Y") pink_pump(o, 50);
    samples.push_back(pink::bench::ms_since(start));
    pink_invoke(o, pink_dispid(o, "strYNSignStarted"), PINK_PUT, &no, 1, nullptr);
  }
  pink::bench::report(state, samples, "point", "ms");
  pink_release(o);
}
BENCHMARK(BM_QuillPointOnTheWireToTheWindow)->Iterations(200)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
