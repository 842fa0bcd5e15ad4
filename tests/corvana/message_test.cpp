// The request message, the decoding of a received block into the response
// text, character positions in it, and the command line.
#include <gtest/gtest.h>

#include <vector>

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

TEST(CorvanaBridgeMessage, ReceivedBlockEndsAtItsZeroByte) {
  EXPECT_EQ(response_text(buffer_of("ABC"), 3), "ABC");
  // A zero inside the block ends the text.
  EXPECT_EQ(response_text(buffer_of(std::string("AB\0CD", 5)), 5), "AB");
  // No more than count + 1 bytes are looked at.
  auto b = buffer_of("ABCDEF");
  EXPECT_EQ(response_text(b, 3), "ABCD");
  EXPECT_EQ(response_text(b, 0), "A");
  EXPECT_EQ(response_text(b, -1), "A");
  // A count beyond the buffer reads no further than the buffer.
  std::vector<std::uint8_t> full(kReceiveBufferSize, 'x');
  EXPECT_EQ(response_text(full, 5000).size(), kReceiveBufferSize);
}

TEST(CorvanaBridgeMessage, DoubleByteCharactersStayWholeOrAreDropped) {
  EXPECT_EQ(response_text(buffer_of("A\xB0\xA1" "B"), 4), "A\xB0\xA1" "B");
  // A lead byte whose second byte is the zero is an incomplete character.
  EXPECT_EQ(response_text(buffer_of("AB\xB0"), 3), "AB");
  // A lead byte takes the byte after it even when that is below 0x80.
  EXPECT_EQ(response_text(buffer_of("\x80" "A"), 2), "\x80" "A");
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
  EXPECT_EQ(response_kind(response("0200", bitmap_of({3}), "100000")), std::nullopt);
  // Short responses give short or empty pieces.
  EXPECT_EQ(message_type("ABCDEFGHIJKL09"), "09");
  EXPECT_EQ(bitmap_text("ABCDEFGHIJKL0910ABC"), "ABC");
  EXPECT_EQ(data_area("ABC"), "");
  EXPECT_EQ(char_count(text::utf8_to_cp949("가A")), 2u);
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

  for (const char* bad : {"C", "C/10.0.0.1", "C/h/", "C/h/abc", "C/h/70x", "C/h/32768",
                          "C/h/-32769", "C/h/99999999999"}) {
    EXPECT_THROW(parse_command(bad), Failure) << bad;
  }
}

}  // namespace
}  // namespace pink::corvana
