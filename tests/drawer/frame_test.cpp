// The drawer socket framing: what goes on the wire, and what the decoders
// make of bytes that do not follow it.
#include <gtest/gtest.h>

#include <vector>

#include "platform/common/devctl_frame.h"

namespace pink::devctl::frame {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(DrawerFrame, RequestAndReplyLayoutLittleEndian) {
  const Bytes in = {0x00, 0x00, 0x00, 0x00, 0x10};
  EXPECT_EQ(encode_request(0x9C40BC08u, in, 0),
            (Bytes{0x08, 0xBC, 0x40, 0x9C, 5, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x00, 0x00, 0x00, 0x10}));
  const Bytes out = {0xA5};
  EXPECT_EQ(encode_reply(true, out), (Bytes{1, 0, 0, 0, 1, 0, 0, 0, 0xA5}));
  EXPECT_EQ(encode_reply(false, {}), (Bytes{0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(DrawerFrame, RequestsDecodeWholeOneAtATime) {
  const Bytes status_in = {0, 0, 0, 0};
  Bytes stream = encode_request(0x9C407C00u, status_in, 1);
  const Bytes second = encode_request(0xA028B810u, {}, 0);
  stream.insert(stream.end(), second.begin(), second.end());

  Request r;
  std::size_t used = 0;
  // Every proper prefix of the first request is incomplete, never malformed.
  for (std::size_t n = 0; n < 16; ++n) {
    EXPECT_EQ(decode_request(std::span(stream).first(n), r, used), Decode::Incomplete) << n;
  }
  ASSERT_EQ(decode_request(stream, r, used), Decode::Complete);
  EXPECT_EQ(used, 16u);
  EXPECT_EQ(r.code, 0x9C407C00u);
  EXPECT_EQ(r.input, status_in);
  EXPECT_EQ(r.output_size, 1u);
  ASSERT_EQ(decode_request(std::span(stream).subspan(used), r, used), Decode::Complete);
  EXPECT_EQ(r.code, 0xA028B810u);
  EXPECT_TRUE(r.input.empty());
  EXPECT_EQ(used, 12u);
}

TEST(DrawerFrame, OversizedRequestLengthsAreMalformedBeforeTheBytesArrive) {
  Request r;
  std::size_t used = 0;
  Bytes huge_input;
  append_u32(huge_input, 1);
  append_u32(huge_input, 0xFFFFFFF0u);  // input length
  EXPECT_EQ(decode_request(huge_input, r, used), Decode::Malformed);
  Bytes huge_output = encode_request(1, {}, kMaxLength + 1);
  EXPECT_EQ(decode_request(huge_output, r, used), Decode::Malformed);
  EXPECT_EQ(decode_request(encode_request(1, {}, kMaxLength), r, used), Decode::Complete);
}

TEST(DrawerFrame, RepliesThatBreakTheFramingAreMalformedNotRead) {
  Reply r;
  std::size_t used = 0;
  const Bytes two = {0xA5, 0x5A};
  // Longer than the output size offered: never copied anywhere.
  EXPECT_EQ(decode_reply(encode_reply(true, two), 1, r, used), Decode::Malformed);
  EXPECT_EQ(decode_reply(encode_reply(true, two), 0, r, used), Decode::Malformed);
  // "accepted" other than 0 or 1, seen from its first four bytes.
  EXPECT_EQ(decode_reply(Bytes{2, 0, 0, 0}, 1, r, used), Decode::Malformed);
  EXPECT_EQ(decode_reply(Bytes{'H', 'T', 'T', 'P', '/', '1', '.', '1'}, 1, r, used), Decode::Malformed);
  // Short: a header or body still on its way.
  EXPECT_EQ(decode_reply(Bytes{1, 0, 0}, 1, r, used), Decode::Incomplete);
  EXPECT_EQ(decode_reply(Bytes{1, 0, 0, 0, 1, 0, 0, 0}, 1, r, used), Decode::Incomplete);
  // Whole and within the size.
  ASSERT_EQ(decode_reply(Bytes{1, 0, 0, 0, 1, 0, 0, 0, 0xFE, 0x77}, 1, r, used), Decode::Complete);
  EXPECT_TRUE(r.accepted);
  EXPECT_EQ(r.output, (Bytes{0xFE}));
  EXPECT_EQ(used, 9u);
  ASSERT_EQ(decode_reply(encode_reply(false, {}), 1, r, used), Decode::Complete);
  EXPECT_FALSE(r.accepted);
  EXPECT_TRUE(r.output.empty());
}

}  // namespace
}  // namespace pink::devctl::frame
