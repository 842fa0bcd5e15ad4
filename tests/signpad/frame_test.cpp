// The pad frame and its check bytes, with the LRC examples the pads' own
// documentation gives.
#include "signpad/frame.h"

#include <gtest/gtest.h>

namespace pink::signpad {
namespace {

Bytes bytes(std::initializer_list<int> v) {
  Bytes b;
  for (int x : v) b.push_back(static_cast<std::uint8_t>(x));
  return b;
}

TEST(PadFrame, LrcIsTheXorFromTheLengthThroughEtx) {
  EXPECT_EQ(lrc(bytes({0x02, 0x00, 0x04, 0xA0, 0x30, 0x37, 0x03})), 0xA0);
  EXPECT_EQ(lrc(bytes({0x02, 0x00, 0x02, 0xA2, 0x03})), 0xA3);
  EXPECT_EQ(lrc(bytes({0x02, 0x00, 0x04, 0xA0, 0x31, 0x31, 0x03})), 0xA7);
  EXPECT_EQ(lrc(bytes({0x02, 0x00, 0x02, 0xAC, 0x03})), 0xAD);
}

TEST(PadFrame, FramesCountTheCommandThroughEtx) {
  EXPECT_EQ(frame(0xA2, {}), bytes({0x02, 0x00, 0x02, 0xA2, 0x03, 0xA3}));
  EXPECT_EQ(frame(0xA0, bytes({0x30, 0x37})), bytes({0x02, 0x00, 0x04, 0xA0, 0x30, 0x37, 0x03, 0xA0}));
  const Bytes long_frame = frame(0xA1, Bytes(300, 0x41));
  ASSERT_EQ(long_frame.size(), 306u);
  EXPECT_EQ(long_frame[1], 0x01);  // 302 = 0x012E
  EXPECT_EQ(long_frame[2], 0x2E);
  EXPECT_EQ(long_frame.back(), lrc(std::span(long_frame).first(305)));
}

TEST(PadFrame, QuillLrcStartsAfterTheFirstByteAndCarriesBit0x20) {
  EXPECT_EQ(quill_lrc(bytes({0x02, 0x00, 0x00, 0xFA, 0x03})), 0xF9);
  // 00 ^ 01 ^ 03 = 02, with 0x20: 22.
  EXPECT_EQ(quill_lrc(bytes({0x02, 0x00, 0x01, 0x03})), 0x22);
  // A frame that does not start with STX starts from 13.
  EXPECT_EQ(quill_lrc(bytes({0x41, 0x00})), 13 | 0x20);
  EXPECT_EQ(quill_lrc({}), 0x20);
}

TEST(PadFrame, TextFieldsAreTrimmedThenCutOrPadded) {
  EXPECT_EQ(field("AB  ", 4), "AB  ");
  EXPECT_EQ(field("  AB", 3), "  A");
  EXPECT_EQ(field("ABCDEFG", 4), "ABCD");
  EXPECT_EQ(field("", 2), "  ");
  EXPECT_EQ(field("X   ", 0), "");
}

}  // namespace
}  // namespace pink::signpad
