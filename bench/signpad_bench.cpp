// A pen point on the wire to the point drawn in the control's window, for
// each pad family: a sign job runs through the automation interface on a
// virtual port, the bench writes one point record at a time where the pad's
// would come from, and times until the pump has run the work that drew it
// (the control's port watcher reading and handing over, the pump parsing
// and drawing). The points lie on a grid wide enough apart that each one's
// ink is its own; at the end a snapshot of the window must show every one,
// or the run fails.
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/samples.h"
#include "pink/automation.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "signpad/device.h"
#include "signpad/frame.h"
#include "signpad/quillpad_device.h"
#include "signpad/stylpad_device.h"
#include "tools/testkit/testkit.h"
#include "tools/testkit/vport.h"

namespace {

using namespace pink;
using bench::Clock;
using Bytes = std::vector<std::uint8_t>;
using Points = std::vector<std::pair<int, int>>;

// 20 columns by 10 rows of points 6 pad pixels apart (12 in the window, where
// the largest dot is 6 across), inside what every family draws and sends.
Points grid() {
  Points points;
  for (int y = 4; y < 64; y += 6) {
    for (int x = 4; x < 124; x += 6) points.emplace_back(x, y);
  }
  return points;
}

pink_value text(const std::string& s) { return pink_value{PINK_STR, 0, s.c_str(), nullptr, 0, 0}; }
pink_value number(std::int32_t v) { return pink_value{PINK_I4, v, nullptr, nullptr, 0, 0}; }

// Calls a member; false when the call did not run.
bool invoke(pink_object* o, const char* member, std::vector<pink_value> args) {
  pink_value r{};
  return pink_invoke(o, pink_dispid(o, member), PINK_METHOD, args.data(), static_cast<std::int32_t>(args.size()),
                     &r) == PINK_OK;
}

struct Family {
  const char* progid;
  std::unique_ptr<signpad::PadDevice> (*device)(const signpad::PadScript&);
  // Starts a sign job on port `com`; false when the control refused.
  bool (*start)(pink_object* o, int com, const std::string& folder);
  Bytes (*record)(int x, int y);
  // Where the centre of the point (x, y) is drawn in a 256 x 128 window.
  int dx, dy;
};

const Family kTally{
    "TALLYPAD.TallypadCtrl.1", signpad::make_tallypad_device,
    [](pink_object* o, int com, const std::string&) {
      return invoke(o, "SetPortNo", {number(com)}) && invoke(o, "TallySignReq", {text("1000"), text("")});
    },
    [](int x, int y) { return Bytes{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), signpad::kEtx}; }, 1,
    1};

const Family kStyl{
    "STYLPAD.StylPadCtrl.1", signpad::make_stylpad_device,
    [](pink_object* o, int com, const std::string& folder) {
      return invoke(o, "SetImgName", {text(folder + "/sign.bmp")}) &&
             invoke(o, "OpenSign", {text(folder + "/"), number(com), text("1000")});
    },
    [](int x, int y) { return signpad::styl::point_answer(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y)); },
    0, 0};

const Family kQuill{
    "QUILLPAD.QuillpadCtrl.1", signpad::make_quillpad_device,
    [](pink_object* o, int com, const std::string&) {
      return invoke(o, "SetPortNo", {number(com)}) &&
             invoke(o, "QuillElecSign",
                    {text("9410123412341234"), text("20261208120000TERM0001CARD12345678000000001000TEXT-OF-A-SALE.")});
    },
    [](int x, int y) { return signpad::quill::point_record(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y)); },
    0, 0};

// Plays the pad for `ms`: what the control sends goes to the device, its
// answers go back at once, the control's window work runs.
void serve(pink_object* o, testkit::VirtualPort& port, signpad::PadDevice& pad, std::uint32_t ms) {
  const auto until = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < until) {
    pink_pump(o, 5);
    const std::string got = port.read_available(0);
    std::vector<signpad::Send> sends;
    pad.receive(std::span(reinterpret_cast<const std::uint8_t*>(got.data()), got.size()), sends);
    for (const auto& s : sends) port.write(std::string(s.bytes.begin(), s.bytes.end()));
  }
}

// The RGB pixels of a PNG of 8-bit RGB rows without filters, as the
// controls' canvases write them; empty when it is not one.
std::vector<std::uint8_t> rgb_of(const std::string& png, int width, int height) {
  std::string deflated;
  for (std::size_t at = 8; at + 12 <= png.size();) {
    const std::size_t len = (std::size_t{static_cast<std::uint8_t>(png[at])} << 24) |
                            (std::size_t{static_cast<std::uint8_t>(png[at + 1])} << 16) |
                            (std::size_t{static_cast<std::uint8_t>(png[at + 2])} << 8) |
                            static_cast<std::uint8_t>(png[at + 3]);
    if (png.compare(at + 4, 4, "IDAT") == 0) deflated += png.substr(at + 8, len);
    at += 12 + len;
  }
  const std::size_t row = 1 + 3 * static_cast<std::size_t>(width);
  std::vector<std::uint8_t> raw(row * static_cast<std::size_t>(height));
  uLongf size = static_cast<uLongf>(raw.size());
  if (uncompress(raw.data(), &size, reinterpret_cast<const Bytef*>(deflated.data()), deflated.size()) != Z_OK ||
      size != raw.size()) {
    return {};
  }
  std::vector<std::uint8_t> rgb;
  for (int y = 0; y < height; ++y) {
    if (raw[static_cast<std::size_t>(y) * row] != 0) return {};
    rgb.insert(rgb.end(), raw.begin() + static_cast<long>(y * row + 1), raw.begin() + static_cast<long>((y + 1) * row));
  }
  return rgb;
}

// How many of the points have no ink at their centre in the window's snapshot.
int undrawn(pink_object* o, const Family& f, const Points& points, const std::string& folder) {
  const std::string file = folder + "/window.png";
  if (pink_snapshot(o, file.c_str(), 256, 128) != 0) return static_cast<int>(points.size());
  const files::ReadResult png = files::read_all(file, 64u * 1024u * 1024u);
  const std::vector<std::uint8_t> rgb = rgb_of(png.bytes, 256, 128);
  if (rgb.empty()) return static_cast<int>(points.size());
  int missing = 0;
  for (const auto& [x, y] : points) {
    const std::size_t at = 3 * static_cast<std::size_t>((2 * y + f.dy) * 256 + 2 * x + f.dx);
    if (rgb[at] == 255 && rgb[at + 1] == 255 && rgb[at + 2] == 255) ++missing;
  }
  return missing;
}

void BM_PenPointToDrawn(benchmark::State& state, const Family& f) {
  constexpr int kCom = 9;
  testkit::TempDir folder;
  testkit::VirtualPort port(kCom);
  signpad::PadScript script;
  script.sign_automatically = false;
  const auto pad = f.device(script);
  pink_object* o = pink_create(f.progid);
  if (o == nullptr || !f.start(o, kCom, folder.path())) return state.SkipWithError("no sign job");
  serve(o, port, *pad, 300);

  const Points points = grid();
  Points sent;
  std::vector<double> latency;
  int late = 0;
  for (auto _ : state) {
    if (sent.size() == points.size()) return state.SkipWithError("more iterations than points");
    const auto [x, y] = points[sent.size()];
    const Bytes record = f.record(x, y);
    if (state.range(0) > 0) {
      state.PauseTiming();
      clock::sleep_ms(static_cast<std::uint32_t>(state.range(0)));
      state.ResumeTiming();
    }
    const auto written = Clock::now();
    port.write(std::string(record.begin(), record.end()));
    int ran = 0;
    while ((ran = pink_pump(o, 100)) == 0 && bench::ms_since(written) < 5000) {
    }
    if (ran <= 0) return state.SkipWithError("the point was not handled");
    latency.push_back(bench::ms_since(written));
    sent.emplace_back(x, y);
    // Work still due now would mean the pump above ran something else than
    // the point's handling: counted, and expected to stay 0.
    state.PauseTiming();
    late += pink_pump(o, 0) > 0 ? 1 : 0;
    state.ResumeTiming();
  }
  bench::report(state, latency, "point_to_drawn", "ms");
  state.counters["late_work"] = late;
  if (const int missing = undrawn(o, f, sent, folder.path()); missing > 0) {
    state.SkipWithError((std::to_string(missing) + " points are not in the window").c_str());
  }
  pink_release(o);
}

// Argument: the pause before each point in milliseconds; 10 is a pad's pace
// (100 points a second), 0 sends the next point as soon as one is drawn.
BENCHMARK_CAPTURE(BM_PenPointToDrawn, tallypad, kTally)->Arg(10)->Arg(0)->Iterations(200)->UseRealTime();
BENCHMARK_CAPTURE(BM_PenPointToDrawn, stylpad, kStyl)->Arg(10)->Arg(0)->Iterations(200)->UseRealTime();
BENCHMARK_CAPTURE(BM_PenPointToDrawn, quillpad, kQuill)->Arg(10)->Arg(0)->Iterations(200)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
