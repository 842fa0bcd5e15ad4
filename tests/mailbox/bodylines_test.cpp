#include "mailbox/bodylines.h"

#include <gtest/gtest.h>

#include "platform/text.h"

namespace pink::mailbox {
namespace {

std::string join(const std::vector<std::string>& writes) {
  std::string all;
  for (const auto& w : writes) all += w;
  return all;
}

TEST(BodyLines, LineEndIsLfOnlyForModelSeven) {
  EXPECT_EQ(line_end(model_profile("7")), "\n");
  for (const char* model : {"", "0", "4", "5", "8", "A", "C", "D", "a", "77"}) {
    EXPECT_EQ(line_end(model_profile(model)), "\r\n") << "model " << model;
  }
}

TEST(BodyLines, NullTokenBecomesOneZeroByte) {
  // Model 7: A, B, "#NULL#", C, D then the line end gives 41 42 00 43 44 0A.
  std::string sent = replace_null_token("AB#NULL#CD") + std::string(line_end(model_profile("7")));
  EXPECT_EQ(sent, std::string("AB\0CD\n", 6));

  EXPECT_EQ(replace_null_token("#NULL##NULL#"), std::string("\0\0", 2));
  EXPECT_EQ(replace_null_token("#NULL"), "#NULL");
  EXPECT_EQ(replace_null_token("##NULL#"), std::string("#\0", 2));
  EXPECT_EQ(replace_null_token("#null#"), "#null#");  // case counts
  EXPECT_EQ(replace_null_token(""), "");

  EXPECT_TRUE(takes_null_token(model_profile("7")));
  EXPECT_TRUE(takes_null_token(model_profile("A")));
  EXPECT_FALSE(takes_null_token(model_profile("a")));
  EXPECT_FALSE(takes_null_token(model_profile("5")));
  // The serial-only resident kitchen printer knows it on model 7 alone.
  EXPECT_TRUE(takes_null_token(model_profile("7"), true));
  EXPECT_FALSE(takes_null_token(model_profile("A"), true));
}

TEST(BodyLines, KoreanDoubleByteModeWritesEachPieceApart) {
  const std::string ga = text::utf8_to_cp949("가");  // cp949 B0 A1
  ASSERT_EQ(ga, "\xB0\xA1");
  const auto writes = korean_double_byte_writes("A" + ga);
  const std::vector<std::string> expected{
      "A", "\x1C&", "\x30", "\x21", "\x1C.", "\r\n",
  };
  EXPECT_EQ(writes, expected);
}

TEST(BodyLines, KoreanDoubleByteModeSendsNothingForAnEmptyLine) {
  EXPECT_TRUE(korean_double_byte_writes("").empty());
}

TEST(BodyLines, KoreanDoubleByteModeKeepsControlWordsAsText) {
  EXPECT_EQ(join(korean_double_byte_writes("LOGOPRT")), "LOGOPRT\r\n");
}

TEST(BodyLines, KoreanDoubleByteModeNeverReadsPastALoneLeadByte) {
  // A lead byte at the end of the line has no trail byte: sent as it is.
  EXPECT_EQ(join(korean_double_byte_writes("A\xB0")), "A\xB0\r\n");
  // Every byte of a long line of Korean text is accounted for.
  std::string line;
  for (int i = 0; i < 5000; ++i) line += "\xC6\xF7";
  const auto writes = korean_double_byte_writes(line);
  EXPECT_EQ(writes.size(), 5000u * 4 + 1);
  EXPECT_EQ(writes[1], "\x46");  // C6 AND 7F
  EXPECT_EQ(writes[2], "\x77");  // F7 AND 7F
}

}  // namespace
}  // namespace pink::mailbox
