// The drawer socket framing over any bytes: a frame read whole is exactly
// the frame that encoding its fields gives; the bytes before a frame's end
// are never malformed (only incomplete), and nothing added behind malformed
// bytes makes them a frame. Encoded requests and replies decode to their
// fields.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <vector>

#include "fuzz/check.h"
#include "platform/common/devctl_frame.h"

using namespace pink::devctl::frame;

namespace {

template <typename Decoder>
void check_prefixes(std::span<const std::uint8_t> bytes, Decode whole, std::size_t used, Decoder decode,
                    std::uint8_t seed) {
  const std::size_t cut = pink::fuzz::split_point(seed, bytes.size());
  const Decode part = decode(bytes.first(cut));
  if (whole == Decode::Complete && cut < used) FUZZ_CHECK(part == Decode::Incomplete);
  if (whole == Decode::Incomplete) FUZZ_CHECK(part == Decode::Incomplete);
  if (part == Decode::Malformed) FUZZ_CHECK(whole == Decode::Malformed);
}

void check_request(std::span<const std::uint8_t> bytes, std::uint8_t seed) {
  Request r;
  std::size_t used = 0;
  const Decode d = decode_request(bytes, r, used);
  if (d == Decode::Complete) {
    FUZZ_CHECK(used >= kRequestHeaderSize && used <= bytes.size());
    FUZZ_CHECK(r.input.size() <= kMaxLength && r.output_size <= kMaxLength);
    const std::vector<std::uint8_t> again = encode_request(r.code, r.input, r.output_size);
    FUZZ_CHECK(again.size() == used && std::equal(again.begin(), again.end(), bytes.begin()));
  }
  check_prefixes(bytes, d, used, [](std::span<const std::uint8_t> b) {
    Request r2;
    std::size_t u = 0;
    return decode_request(b, r2, u);
  }, seed);
}

void check_reply(std::span<const std::uint8_t> bytes, std::uint32_t output_size, std::uint8_t seed) {
  Reply r;
  std::size_t used = 0;
  const Decode d = decode_reply(bytes, output_size, r, used);
  ReplyHeader h;
  const Decode dh = decode_reply_header(bytes, output_size, h);
  if (dh == Decode::Malformed) FUZZ_CHECK(d == Decode::Malformed);
  if (d == Decode::Complete) {
    FUZZ_CHECK(dh == Decode::Complete && h.length == r.output.size() && h.accepted == r.accepted);
    FUZZ_CHECK(r.output.size() <= output_size && used == kReplyHeaderSize + r.output.size());
    const std::vector<std::uint8_t> again = encode_reply(r.accepted, r.output);
    FUZZ_CHECK(again.size() == used && std::equal(again.begin(), again.end(), bytes.begin()));
  }
  check_prefixes(bytes, d, used, [output_size](std::span<const std::uint8_t> b) {
    Reply r2;
    std::size_t u = 0;
    return decode_reply(b, output_size, r2, u);
  }, seed);
}

void check_encoded(FuzzedDataProvider& in) {
  const std::uint32_t code = in.ConsumeIntegral<std::uint32_t>();
  const std::uint32_t output_size = in.ConsumeIntegralInRange<std::uint32_t>(0, kMaxLength);
  const std::vector<std::uint8_t> input = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange(0, 512));
  std::vector<std::uint8_t> bytes = encode_request(code, input, output_size);
  bytes.push_back(0x7F);  // a following frame's first byte stays unread
  Request r;
  std::size_t used = 0;
  FUZZ_CHECK(decode_request(bytes, r, used) == Decode::Complete);
  FUZZ_CHECK(used == bytes.size() - 1 && r.code == code && r.input == input && r.output_size == output_size);

  const bool accepted = in.ConsumeBool();
  const std::vector<std::uint8_t> output = in.ConsumeBytes<std::uint8_t>(output_size);
  const std::vector<std::uint8_t> reply = encode_reply(accepted, output);
  Reply back;
  FUZZ_CHECK(decode_reply(reply, output_size, back, used) == Decode::Complete);
  FUZZ_CHECK(used == reply.size() && back.accepted == accepted && back.output == output);
  // A reply longer than the request offered is refused.
  if (!output.empty()) {
    FUZZ_CHECK(decode_reply(reply, static_cast<std::uint32_t>(output.size() - 1), back, used) == Decode::Malformed);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const int which = in.ConsumeIntegralInRange(0, 2);
  if (which == 2) {
    check_encoded(in);
    return 0;
  }
  const std::uint8_t seed = in.ConsumeIntegral<std::uint8_t>();
  const std::uint32_t output_size = in.ConsumeIntegralInRange<std::uint32_t>(0, kMaxLength + 1);
  const std::vector<std::uint8_t> bytes = in.ConsumeRemainingBytes<std::uint8_t>();
  if (which == 0) {
    check_request(bytes, seed);
  } else {
    check_reply(bytes, output_size, seed);
  }
  return 0;
}
