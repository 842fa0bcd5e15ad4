// quillpad's answer recognition over any bytes, for every job: the effects,
// the answer and the point image do not depend on how the bytes were cut,
// the point image is exactly the points reported, an answer is the bytes
// that arrived right before it was reported, and its text holds no NUL.
// The requests built from any arguments fit the send buffer and end with
// ETX and their LRC.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fuzz/check.h"
#include "signpad/quillpad_protocol.h"

using namespace pink::signpad;
using namespace pink::signpad::quill;

namespace {

constexpr int kJobs[] = {kJobSign, kJobCustInfo, kJobPin, kJobSignAlt, 3};

struct Outcome {
  std::vector<Effect> effects;
  Bytes answer;
  PointImage image{};
  bool success = false;
};

Outcome receive(int job, std::span<const std::uint8_t> bytes, std::size_t piece) {
  Receiver r;
  r.reset(job);
  Outcome o;
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    const std::size_t before = o.effects.size();
    const auto chunk = bytes.subspan(at, std::min(piece, bytes.size() - at));
    r.feed(chunk, o.effects);
    const bool answered = std::any_of(o.effects.begin() + static_cast<std::ptrdiff_t>(before), o.effects.end(),
                                      [](const Effect& e) { return e.kind == Effect::Kind::Answer; });
    if (piece == 1 && answered) {
      // The answer is the newest bytes, up to the one just received.
      const Bytes& a = r.answer();
      FUZZ_CHECK(a.size() <= at + 1 && a.size() < kRingBytes);
      FUZZ_CHECK(std::equal(a.begin(), a.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at + 1 - a.size())));
    }
  }
  FUZZ_CHECK(r.job() == job);
  const std::string text = r.answer_text();
  FUZZ_CHECK(text.find('\0') == std::string::npos && text.size() + 1 <= std::max<std::size_t>(r.answer().size(), 1));
  o.answer = r.answer();
  o.image = r.image();
  o.success = r.success();
  return o;
}

void check_points(int job, const Outcome& o) {
  PointImage drawn{};
  bool any = false;
  for (const Effect& e : o.effects) {
    if (e.kind != Effect::Kind::Point) continue;
    FUZZ_CHECK(is_signature(job));
    FUZZ_CHECK(e.x >= 0 && e.x < 128 && e.y >= 1 && e.y < 64);
    FUZZ_CHECK(set_quill_point(drawn, e.x, e.y));
    any = true;
  }
  FUZZ_CHECK(drawn == o.image);
  if (is_signature(job)) FUZZ_CHECK(o.success == any);
}

void check_requests(FuzzedDataProvider& in) {
  const std::string card = in.ConsumeRandomLengthString(64);
  const std::string info = in.ConsumeRandomLengthString(1200);
  const std::string amount = in.ConsumeRandomLengthString(16);
  const std::string key = in.ConsumeRandomLengthString(24);
  const auto ends_well = [](const Bytes& f, std::span<const std::uint8_t> head) {
    FUZZ_CHECK(f.size() <= kSendBufferBytes && f.size() >= head.size() + 2);
    FUZZ_CHECK(std::equal(head.begin(), head.end(), f.begin()));
    FUZZ_CHECK(f[f.size() - 2] == kEtx);
    FUZZ_CHECK(quill_lrc(std::span(f).first(f.size() - 1)) == f.back());
  };
  ends_well(sign_request(card, info), kSignHead);
  ends_well(cust_info_request(), kCustInfoHead);
  ends_well(pin_request(in.ConsumeIntegralInRange(0, 2), card, amount, key), kPinHead);
  const auto kept = kept_bytes(card, info);
  const std::size_t card_bytes = std::min<std::size_t>(card.size(), 20);
  FUZZ_CHECK(std::equal(card.begin(), card.begin() + static_cast<std::ptrdiff_t>(card_bytes), kept.begin(),
                        [](char c, std::uint8_t k) { return static_cast<std::uint8_t>(c) == k; }));
  FUZZ_CHECK(std::all_of(kept.begin() + static_cast<std::ptrdiff_t>(card_bytes), kept.begin() + 20,
                         [](std::uint8_t k) { return k == 0; }));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const int job = kJobs[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kJobs) - 1)];
  if (job == 3 && in.ConsumeBool()) {
    check_requests(in);
    return 0;
  }
  const std::size_t piece = in.ConsumeIntegralInRange<std::size_t>(2, 64);
  const std::vector<std::uint8_t> bytes = in.ConsumeRemainingBytes<std::uint8_t>();
  const Outcome one = receive(job, bytes, 1);
  check_points(job, one);
  const Outcome cut = receive(job, bytes, piece);
  FUZZ_CHECK(cut.effects == one.effects && cut.answer == one.answer && cut.image == one.image &&
             cut.success == one.success);
  return 0;
}
