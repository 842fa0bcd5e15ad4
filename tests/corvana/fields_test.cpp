// The field table walk: which bytes each field takes, what the normalised
// text holds for each kind of response, and the responses it refuses.
#include <gtest/gtest.h>

#include "payment/corvana/fields.h"
#include "platform/failure.h"
#include "tests/corvana/responses.h"

namespace pink::corvana {
namespace {

using namespace testing;

const std::string kZeros12(12, '0');

TEST(CorvanaBridgeFields, CardResponseTakesEveryFieldAndFillsTheDefaults) {
  const std::string data = card_data(kField3Cf);
  const auto walk = walk_fields(data, expand_bitmap(bitmap_of({3, 4, 11, 39, 44, 63})), Kind::CF);
  EXPECT_EQ(walk.taken, data);
  // Fields 3, 4, 5, 7, 8, 9, 12, 13, 14, 27, 39, 40, 42, 43, 44, 56, 57, 63;
  // field 11 is taken but not listed, field 58 is for refusals only.
  const std::string expected = std::string(kField3Cf) + std::string(kField4) + kZeros12 +
                               "0000000000" + "00000000" + "00000000" + "000000" + "0000" +
                               "0000" + "0" + "00" + "000" + std::string(15, '0') +
                               std::string(40, '0') + "05ABCDE" + "000" + "000" + "003XYZ";
  EXPECT_EQ(walk.normalised, expected);
}

TEST(CorvanaBridgeFields, EachKindListsItsOwnFields) {
  // CS without field 4: the default takes field 4's place.
  const std::string cs = std::string(kField3Cs) + "00";
  const auto c = walk_fields(cs, expand_bitmap(bitmap_of({3, 39})), Kind::CS);
  EXPECT_EQ(c.normalised.substr(0, 6 + 12), std::string(kField3Cs) + kZeros12);
  EXPECT_EQ(c.normalised.size(), 6u + 12 + 12 + 10 + 8 + 8 + 6 + 4 + 4 + 1 + 2 + 3 + 15 + 40 +
                                     3 + 3 + 3 + 3);

  // A refusal: fields 3, 39, 56, 57, 58 and 63 only; nothing for field 4.
  const std::string rf = "000000" + std::string(kField4) + "05" + "002AB" + "001Z";
  const auto r = walk_fields(rf, expand_bitmap(bitmap_of({3, 4, 39, 57, 58})), Kind::RF);
  EXPECT_EQ(r.taken, rf);
  EXPECT_EQ(r.normalised, "000000" "05" "000" "002AB" "001Z" "000");
}

TEST(CorvanaBridgeFields, LengthPrefixesCountTheBytesBehindThem) {
  // LL 05: the prefix and five bytes; LL 00 is present and empty; LLL 012.
  const std::string data = "05ABCDE" "00" "012ABCDEFGHIJKL";
  const auto walk = walk_fields(data, expand_bitmap(bitmap_of({35, 44, 46})), Kind::CF);
  EXPECT_EQ(walk.taken, data);
  EXPECT_NE(walk.normalised.find(std::string(40, '0') + "00" + "000"), std::string::npos)
      << "field 44 present as 00, field 56 absent";

  // Lengths count bytes: a double-byte character is two of them.
  const std::string korean = "04\xB0\xA1\xB3\xAA";  // two Korean characters
  EXPECT_EQ(walk_fields(korean, expand_bitmap(bitmap_of({35})), Kind::CF).taken, korean);
}

TEST(CorvanaBridgeFields, FieldsWithoutLengthTakeNothing) {
  // Bit 2 (no length) set: field 3 is read from where field 2 would be.
  const std::string data = "100000";
  const auto walk = walk_fields(data, expand_bitmap(bitmap_of({2, 3})), Kind::CF);
  EXPECT_EQ(walk.taken, data);
  // Bits 1, 16, 64 and every other field of length 0: nothing at all.
  EXPECT_EQ(walk_fields("", expand_bitmap(bitmap_of({1, 16, 33, 64})), Kind::CF).taken, "");
}

TEST(CorvanaBridgeFields, BitmapDigitsOtherThanUpperCaseHexAreDropped) {
  EXPECT_EQ(expand_bitmap("09AF"), "0000100110101111");
  // A lower-case digit gives no bits: the bits behind it move up.
  EXPECT_EQ(expand_bitmap("a1"), "0001");
  EXPECT_EQ(expand_bitmap("1\xB0\xA1" "2"), "00010010");
  // "0E20..." sets fields 5, 6, 7 and 11; with a lower-case "e" the "2"
  // moves up to bits 5-8 and reads as field 7, and bits 61-64 are absent.
  EXPECT_EQ(expand_bitmap("0E20000000000000").substr(0, 12), "000011100010");
  const auto bits = expand_bitmap("0e20000000000000");
  EXPECT_EQ(bits.size(), 60u);
  EXPECT_EQ(bits.substr(0, 12), "000000100000");
}

TEST(CorvanaBridgeFields, MalformedFieldsAreRefused) {
  const auto bits35 = expand_bitmap(bitmap_of({35}));
  // A prefix that is no number, or cut short.
  EXPECT_THROW(walk_fields("A5ABCDE", bits35, Kind::CF), Failure);
  EXPECT_THROW(walk_fields(" 5ABCDE", bits35, Kind::CF), Failure);
  EXPECT_THROW(walk_fields("-5ABCDE", bits35, Kind::CF), Failure);
  EXPECT_THROW(walk_fields("5", bits35, Kind::CF), Failure);
  // Fields reaching past the end of the data area.
  EXPECT_THROW(walk_fields("05ABCD", bits35, Kind::CF), Failure);
  EXPECT_THROW(walk_fields("10000", expand_bitmap(bitmap_of({3})), Kind::CF), Failure);
}

}  // namespace
}  // namespace pink::corvana
