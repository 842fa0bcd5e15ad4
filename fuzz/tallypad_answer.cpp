// tallypad's answer recognition over any bytes, for every mode: the steps,
// the end and the answer do not depend on how the port cut the bytes, points
// are never at a zero coordinate, the exchange ends exactly once, and an
// answer is never longer than what arrived. The request frames built from
// any arguments are well formed: length and LRC for pad frames, length and
// XOR for the card reader's.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fuzz/check.h"
#include "signpad/tallypad_protocol.h"

using namespace pink::signpad;
using namespace pink::signpad::tally;

namespace {

constexpr Mode kModes[] = {Mode::None, Mode::Init, Mode::Sign, Mode::SignSend, Mode::Pin, Mode::PinEnc,
                           Mode::DongleCard, Mode::DongleMember, Mode::DongleDebit, Mode::DongleTicket,
                           Mode::DongleGift, Mode::DongleSports, Mode::DongleCash, Mode::DongleCardMember,
                           Mode::DongleLogOn, Mode::DongleCardInfo, Mode::DongleCancel};

struct Outcome {
  std::vector<Step> steps;
  bool ended = false;
  Bytes answer;
};

Outcome parse(Mode mode, std::span<const std::uint8_t> bytes, const std::vector<std::size_t>& cuts) {
  AnswerParser p;
  p.start(mode);
  Outcome o;
  std::size_t from = 0;
  for (std::size_t i = 0; i <= cuts.size(); ++i) {
    const std::size_t to = i < cuts.size() ? cuts[i] : bytes.size();
    for (const Step& s : p.feed(bytes.subspan(from, to - from))) {
      FUZZ_CHECK(!o.ended);  // nothing after the end
      o.steps.push_back(s);
      if (s.kind == Step::Kind::Complete || s.kind == Step::Kind::Cancelled) o.ended = true;
    }
    from = to;
  }
  FUZZ_CHECK(p.ended() == o.ended);
  FUZZ_CHECK(p.mode() == mode);
  o.answer = p.answer();
  return o;
}

void check_answer(Mode mode, std::span<const std::uint8_t> bytes, const std::vector<std::size_t>& cuts) {
  const Outcome whole = parse(mode, bytes, {});
  if (mode == Mode::None) FUZZ_CHECK(whole.steps.empty());
  for (const Step& s : whole.steps) {
    if (s.kind == Step::Kind::Point) FUZZ_CHECK(s.x > 0 && s.y > 0 && s.x < 256 && s.y < 256);
    if (mode != Mode::Sign) FUZZ_CHECK(s.kind == Step::Kind::Complete);
  }
  FUZZ_CHECK(whole.answer.size() <= bytes.size());
  const Outcome split = parse(mode, bytes, cuts);
  FUZZ_CHECK(split.steps == whole.steps && split.ended == whole.ended && split.answer == whole.answer);
}

void check_request(Mode mode, FuzzedDataProvider& in) {
  std::vector<std::string> texts;
  for (int i = 0; i < 3; ++i) texts.push_back(in.ConsumeRandomLengthString(300));
  std::vector<std::string_view> args(texts.begin(), texts.end());
  const std::optional<Bytes> f = request_frame(mode, args);
  if (!f) return;
  FUZZ_CHECK(f->size() >= 5);
  if ((*f)[0] == kStx) {
    FUZZ_CHECK((std::size_t{(*f)[1]} << 8 | (*f)[2]) + 4 == f->size());
    FUZZ_CHECK((*f)[f->size() - 2] == kEtx);
    FUZZ_CHECK(lrc(std::span(*f).first(f->size() - 1)) == f->back());
  } else {
    FUZZ_CHECK((*f)[0] == kDongleStart && (*f)[1] == 0 && (*f)[2] == 0);
    FUZZ_CHECK(f->size() >= 6 && std::size_t{(*f)[3]} + 6 == f->size());
    FUZZ_CHECK(xor_all(std::span(*f).first(f->size() - 1)) == f->back());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const Mode mode = kModes[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kModes) - 1)];
  if (in.ConsumeIntegralInRange(0, 7) == 0) {
    check_request(mode, in);
    return 0;
  }
  std::vector<std::uint8_t> seeds = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange(1, 4));
  const std::vector<std::uint8_t> bytes = in.ConsumeRemainingBytes<std::uint8_t>();
  std::vector<std::size_t> cuts;
  for (const std::uint8_t s : seeds) cuts.push_back(pink::fuzz::split_point(s, bytes.size()));
  std::sort(cuts.begin(), cuts.end());
  check_answer(mode, bytes, cuts);
  return 0;
}
