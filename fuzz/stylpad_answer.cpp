// stylpad's answer recognition over any bytes cut into receive bursts:
// every frame starts with STX or 0x01 and has the length its header gives
// (six bytes for a point), never more than the ring holds; cutting a burst
// inside a frame changes nothing, and cutting it elsewhere can only add
// frames the one burst discarded. The sign and PIN handlers react to any
// frame within their rules: points inside the pad's area, a PIN never longer
// than the frame's data, a signature bitmap of the fixed file size.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <vector>

#include "fuzz/check.h"
#include "platform/text.h"
#include "signpad/stylpad_protocol.h"

using namespace pink::signpad;
using namespace pink::signpad::styl;

namespace {

void check_frame(const Bytes& f) {
  FUZZ_CHECK(f.size() >= 4 && f.size() <= kMaxFrameBytes);
  FUZZ_CHECK(f[0] == kStx || f[0] == kAltStart);
  if (f[1] == kAnsPoint) {
    FUZZ_CHECK(f.size() == 6);
  } else {
    FUZZ_CHECK(f.size() == (std::size_t{f[1]} << 8 | f[2]) + 4);
  }
}

Reaction check_reaction(Session& s, const Bytes& f) {
  const Mode mode = s.mode();
  const Reaction r = s.answer(f);
  if (r.step == Step::Point) {
    FUZZ_CHECK(r.x >= 0 && r.x <= kMaxX && r.y >= 0 && r.y <= kMaxY);
  } else {
    FUZZ_CHECK(r.x == 0 && r.y == 0);
  }
  if (r.step == Step::Pin) {
    FUZZ_CHECK(mode == Mode::Pin && s.mode() == Mode::Sign);
    FUZZ_CHECK(r.pin.size() + 4 <= f.size() && r.pin == pin_of(f));
  } else {
    FUZZ_CHECK(r.pin.empty() && s.mode() == mode);
  }
  if (mode == Mode::Pin) {
    FUZZ_CHECK(r.step == Step::Ignore || r.step == Step::SendPinRequest || r.step == Step::PinEscape ||
               r.step == Step::ResendInit || r.step == Step::Pin);
  } else {
    FUZZ_CHECK(r.step != Step::SendPinRequest && r.step != Step::PinEscape && r.step != Step::ResendInit &&
               r.step != Step::Pin);
  }
  if (r.step == Step::Signature) {
    const SignatureBitmap bmp = signature_bitmap(f);
    if (bmp.ok) FUZZ_CHECK(bmp.file[0] == 'B' && bmp.file[1] == 'M' && bmp.file[2] == 0x3E && bmp.file[3] == 0x04);
  }
  return r;
}

// The sign and PIN requests from any values: always the recipe's length,
// every field its width, framed with length, ETX and LRC.
void check_requests(FuzzedDataProvider& in) {
  const std::string key = in.ConsumeRandomLengthString(20);
  const std::string amount = in.ConsumeRandomLengthString(20);
  const std::string pin_length = in.ConsumeRandomLengthString(24);
  for (const Recipe* recipe : {&kSignRequest, &kPinRequest}) {
    const Bytes f = build(*recipe, {key, amount, pin_length});
    FUZZ_CHECK(f.size() == recipe->frame_bytes);
    FUZZ_CHECK(f[0] == kStx && (std::size_t{f[1]} << 8 | f[2]) + 4 == f.size() && f[3] == recipe->command);
    FUZZ_CHECK(f[f.size() - 2] == kEtx && lrc(std::span(f).first(f.size() - 1)) == f.back());
  }
  const int n = pin_length_value(pin_length);
  FUZZ_CHECK(n >= 0);
  const std::size_t width = in.ConsumeIntegralInRange<std::size_t>(0, 24);
  const std::string fitted = fit(amount, width);
  FUZZ_CHECK(fitted.size() == width);
  // The text kept is whole characters of the value's start.
  const std::size_t kept = fitted.find_last_not_of(' ') == std::string::npos ? 0 : fitted.find_last_not_of(' ') + 1;
  FUZZ_CHECK(amount.compare(0, kept, fitted, 0, kept) == 0);
  std::size_t at = 0;  // and never half a double-byte character
  while (at < kept) at += pink::text::char_length_at(amount, at);
  FUZZ_CHECK(at == kept);
  const std::string name = image_name(amount);
  FUZZ_CHECK(name == amount || name == amount + ".bmp");
}

std::vector<Bytes> recognise(std::span<const std::uint8_t> bytes, std::size_t cut, bool* inside_at_cut) {
  Recognizer r;
  std::vector<Bytes> frames;
  r.feed(bytes.first(cut), frames);
  *inside_at_cut = r.in_frame();
  r.feed(bytes.subspan(cut), frames);
  return frames;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  if (in.ConsumeIntegralInRange(0, 7) == 0) {
    check_requests(in);
    return 0;
  }
  const Mode mode = in.ConsumeBool() ? Mode::Pin : Mode::Sign;
  const bool close = in.ConsumeBool();
  const std::uint8_t cut_seed = in.ConsumeIntegral<std::uint8_t>();
  const std::vector<std::uint8_t> bytes = in.ConsumeRemainingBytes<std::uint8_t>();
  const std::size_t cut = pink::fuzz::split_point(cut_seed, bytes.size());

  Recognizer one;
  std::vector<Bytes> whole;
  one.feed(bytes, whole);
  bool inside = false;
  const std::vector<Bytes> split = recognise(bytes, cut, &inside);
  FUZZ_CHECK(split.size() >= whole.size() && std::equal(whole.begin(), whole.end(), split.begin()));
  if (inside) FUZZ_CHECK(split == whole);

  Session s;
  s.begin(mode);
  if (close) s.request_close();
  s.init_sent();
  PointList points;
  for (const Bytes& f : split) {
    check_frame(f);
    const Reaction r = check_reaction(s, f);
    if (r.step == Step::Point) (void)points.add(r.x, r.y);
  }
  FUZZ_CHECK(points.size() <= kMaxPoints);
  return 0;
}
