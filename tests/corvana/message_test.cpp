// The request message, the decoding of a received block into the response
// text, character positions in it, the command line, and the field table
// walk: which bytes each field takes, what the normalised text holds for each
// kind of response, and the responses it refuses.
#include <gtest/gtest.h>

#include <vector>

#include "payment/corvana/fields.h"
#include "payment/corvana/message.h"
#include "platform/failure.h"
#include "platform/text.h"
#include "tests/corvana/responses.h"
#include "tests/corvana/scripted_network.h"

namespace pink::corvana {
namespace {

using namespace testing;

std::vector<std::uint8_t> buffer_of(std::string_view bytes, std::size_t size = kReceiveBufferSize) {
  std::vector<std::uint8_t> b(size, 0);
  std::copy(bytes.begin(), bytes.end(), b.begin());
  return b;
}

TEST(CorvanaBridgeMessage, RequestCarries004AndTheChecksumOfAllButTwoCharacters) {
  // The test's own checksum is the standard CRC-16/ARC.
  EXPECT_EQ(crc_digits("123456789"), "BB3D");
  EXPECT_EQ(crc_digits(""), "0000");

  EXPECT_EQ(checksum_input("AB1234"), "1234");
  const std::array<char, 4> arc{'0', 'F', 'A', '1'};
  EXPECT_EQ(request_message("AB1234", arc), "AB1234" "004" "0FA1");
  // Characters, not bytes: a Korean first character is one of the two.
  const std::string korean = text::utf8_to_cp949("가B1234");
  EXPECT_EQ(checksum_input(korean), "1234");
  EXPECT_EQ(checksum_input("A"), "");
}

TEST(CorvanaBridgeMessage, ReceivedBlockIsDecodedUpToItsZeroByte) {
  struct Case {
    std::string bytes;
    std::int32_t count;
    std::string text;
  };
  const Case cases[] = {
      {"ABC", 3, "ABC"},
      {std::string("AB\0CD", 5), 5, "AB"},  // a zero inside the block ends the text
      {"ABCDEF", 3, "ABCD"},                // no more than count + 1 bytes are looked at
      {"ABCDEF", 0, "A"},
      {"ABCDEF", -1, "A"},
      {"A\xB0\xA1" "B", 4, "A\xB0\xA1" "B"},  // double-byte characters stay whole
      {"AB\xB0", 3, "AB"},                  // a lead byte before the zero is dropped
      {"\x80" "A", 2, "\x80" "A"},         // a lead byte takes the byte after it
  };
  for (const Case& c : cases) EXPECT_EQ(response_text(buffer_of(c.bytes), c.count), c.text) << c.bytes;
  // A count beyond the buffer reads no further than the buffer.
  const std::vector<std::uint8_t> full(kReceiveBufferSize, 'x');
  EXPECT_EQ(response_text(full, 5000).size(), kReceiveBufferSize);
}

TEST(CorvanaBridgeMessage, PositionsCountCharacters) {
  const std::string head = text::utf8_to_cp949("가나다ABCDEFGHI");  // 12 characters, 15 bytes
  const std::string r = response("0910", bitmap_of({3}), "100000", head);
  EXPECT_EQ(message_type(r), "0910");
  EXPECT_EQ(bitmap_text(r), bitmap_of({3}));
  EXPECT_EQ(data_area(r), "100000");
  EXPECT_EQ(response_kind(r), Kind::CF);

  EXPECT_EQ(response_kind(response("0910", bitmap_of({3}), "110000")), Kind::CS);
  EXPECT_EQ(response_kind(response("9910", bitmap_of({3}), "990000")), Kind::RF);
  EXPECT_EQ(response_kind(response("0910", bitmap_of({3}), "120000")), std::nullopt);
  // Short responses give short or empty pieces.
  EXPECT_EQ(bitmap_text("ABCDEFGHIJKL0910ABC"), "ABC");
  EXPECT_EQ(data_area("ABC"), "");
}

TEST(CorvanaBridgeMessage, CommandLineNamesJobAddressAndPort) {
  const Command c = parse_command("C/192.168.0.7/7000");
  EXPECT_EQ(c.job, "C");
  EXPECT_EQ(c.address, "192.168.0.7");
  EXPECT_EQ(c.port, 7000);
  EXPECT_EQ(parse_command("S//0").address, "");
  EXPECT_EQ(parse_command("E/h/ 443 /more").port, 443);
  EXPECT_EQ(parse_command("C/h/-1").port, -1);
  EXPECT_EQ(parse_command("C/h/32767").port, 32767);

  for (const char* bad : {"C", "C/10.0.0.1", "C/h/", "C/h/70x", "C/h/32768", "C/h/-32769"})
    EXPECT_THROW(parse_command(bad), Failure) << bad;
}

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
  EXPECT_EQ(walk_fields("100000", expand_bitmap(bitmap_of({2, 3})), Kind::CF).taken, "100000");
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
  // A prefix that is no number or cut short; fields reaching past the end.
  for (const char* data : {"A5ABCDE", " 5ABCDE", "-5ABCDE", "5", "05ABCD"})
    EXPECT_THROW(walk_fields(data, expand_bitmap(bitmap_of({35})), Kind::CF), Failure) << data;
  EXPECT_THROW(walk_fields("10000", expand_bitmap(bitmap_of({3})), Kind::CF), Failure);
}

}  // namespace
}  // namespace pink::corvana
