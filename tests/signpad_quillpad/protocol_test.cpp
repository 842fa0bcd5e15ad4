// The quillpad requests byte for byte: the sign request with its amount and
// text rules, the customer information and PIN requests, the stop bytes,
// the LRC rule, the bound of the send buffer and the 81 kept bytes.
#include "signpad/quillpad_protocol.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/text.h"
#include "signpad/capture.h"

namespace pink::signpad::quill {
namespace {

Bytes hex(std::string_view text) {
  Bytes out;
  for (std::size_t i = 0; i + 1 < text.size(); i += 3) {
    out.push_back(static_cast<std::uint8_t>(std::stoi(std::string(text.substr(i, 2)), nullptr, 16)));
  }
  return out;
}

std::string text_of(const Bytes& b, std::size_t from, std::size_t n) {
  return std::string(b.begin() + static_cast<std::ptrdiff_t>(from), b.begin() + static_cast<std::ptrdiff_t>(from + n));
}

// 34 characters, the 12-character amount, 15 more: 61 characters.
const std::string kTrInfo = "20240105120000POS01RCPT000123     000000050000THANK YOU 12345";

TEST(QuillRequests, SignRequestIs98BytesForA61CharacterText) {
  ASSERT_EQ(kTrInfo.size(), 61u);
  const Bytes expected = hex(
      "02 00 5C E8 1C 39 34 31 30 31 32 33 34 31 32 33 34 31 32 33 34 20 20 20 20 1C 20 20 20 35 30 30 30 30 1C "
      "32 30 32 34 30 31 30 35 31 32 30 30 30 30 50 4F 53 30 31 52 43 50 54 30 30 30 31 32 33 20 20 20 20 20 30 "
      "30 30 30 30 30 30 35 30 30 30 30 54 48 41 4E 4B 20 59 4F 55 20 31 32 33 34 35 03 E2 ");
  EXPECT_EQ(sign_request("9410123412341234", kTrInfo), expected);
}

TEST(QuillRequests, SignAmountSkipsTheFirstCharacterAndLeadingZerosAfterIt) {
  const std::string head(34, 'x');
  EXPECT_EQ(sign_amount(head + "000000050000"), "50000");
  // The first character is never part of the amount, even when it is not '0'.
  EXPECT_EQ(sign_amount(head + "900000050000"), "50000");
  EXPECT_EQ(sign_amount(head + "150000000000"), "50000000000");
  EXPECT_EQ(sign_amount(head + "000000000000"), "");
  EXPECT_EQ(sign_amount(head + "0012"), "12");  // shorter than 12 characters
  EXPECT_EQ(sign_amount(head + "7"), "");
  EXPECT_EQ(sign_amount(""), "");
  EXPECT_EQ(sign_amount(head + "000000050000" + "and more"), "50000");  // only 12 characters count

  // In the frame: cut to 8, or left-padded with spaces to 8.
  const Bytes cut = sign_request("1", head + "150000000000");
  EXPECT_EQ(text_of(cut, 26, 8), "50000000");
  const Bytes none = sign_request("1", head + "000000000000");
  EXPECT_EQ(text_of(none, 26, 8), "        ");
}

TEST(QuillRequests, SignTextIsPaddedUntilLongerThan60AndOnlyTheSendBufferCutsIt) {
  EXPECT_EQ(sign_text(std::string(60, 'a')), std::string(60, 'a') + " ");
  EXPECT_EQ(sign_text(std::string(75, 'a')), std::string(75, 'a'));
  // The length bytes stay 00 5C whatever the text; the card is cut to 20.
  const Bytes longer = sign_request("123456789012345678901234", std::string(75, 'a'));
  EXPECT_EQ(longer.size(), 37u + 75u);
  EXPECT_EQ(longer[2], 0x5C);
  EXPECT_EQ(text_of(longer, 5, 20), "12345678901234567890");
  EXPECT_EQ(sign_request("12", "").size(), 98u);

  // Over-long texts stop where the 1024-byte send buffer ends.
  const Bytes ascii = sign_request("1", std::string(5000, 'a'));
  ASSERT_EQ(ascii.size(), kSendBufferBytes);
  EXPECT_EQ(ascii[ascii.size() - 2], kEtx);
  EXPECT_EQ(ascii.back(), quill_lrc(std::span(ascii).first(ascii.size() - 1)));

  // Double-byte text is cut between characters, never inside one.
  std::string korean;
  for (int i = 0; i < 1000; ++i) korean += text::Literal("가").str();
  const Bytes wide = sign_request("1", korean);
  ASSERT_LE(wide.size(), kSendBufferBytes);
  ASSERT_GE(wide.size(), kSendBufferBytes - 1);
  const std::size_t text_bytes = wide.size() - 37;
  EXPECT_EQ(text_bytes % 2, 0u);
  EXPECT_EQ(wide[wide.size() - 2], kEtx);
  EXPECT_EQ(text_of(wide, 35, text_bytes), korean.substr(0, text_bytes));
}

TEST(QuillRequests, CustomerInformationRequestAndItsLrc) {
  EXPECT_EQ(cust_info_request(), hex("02 00 00 FA 03 F9 "));
  // The LRC starts at 0 for a frame that begins with STX, at 13 otherwise,
  // and is sent with bit 0x20 set.
  const Bytes stx{0x02, 0x00, 0x00, 0xFA, 0x03};
  EXPECT_EQ(quill_lrc(stx), 0xF9);
  const Bytes other{0x41, 0x42, 0x03};
  EXPECT_EQ(quill_lrc(other), (13 ^ 0x42 ^ 0x03) | 0x20);
  EXPECT_EQ(kStop, (std::array<std::uint8_t, 5>{0x1B, 0x1B, 0x1B, 0x1B, 0x1B}));
}

TEST(QuillRequests, PinRequestWithItsTypeKeyCardFieldAndAmount) {
  EXPECT_EQ(pin_request(1, " 9410123412341234 ", "1000", "0123456789ABCDEF"),
            hex("02 00 2B F6 32 30 31 32 33 34 35 36 37 38 39 41 42 43 44 45 46 1C 30 30 30 30 30 31 32 33 34 31 32 "
                "33 34 31 32 33 1C 20 20 20 20 31 30 30 30 03 EB "));
  // Any type other than 1 asks for '1'; the key is cut or padded to 16 and
  // the amount cut to 8.
  const Bytes other = pin_request(0, "12345", "123456789", "ABC");
  ASSERT_EQ(other.size(), 49u);
  EXPECT_EQ(other[4], '1');
  EXPECT_EQ(text_of(other, 5, 16), "ABC             ");
  EXPECT_EQ(text_of(other, 22, 16), "00001234        ");
  EXPECT_EQ(text_of(other, 39, 8), "12345678");
  EXPECT_EQ(pin_request(2, "1", "1", std::string(40, 'K'))[4], '1');
  EXPECT_EQ(text_of(pin_request(2, "1", "1", std::string(40, 'K')), 5, 16), std::string(16, 'K'));
}

TEST(QuillRequests, PinCardFieldTakesTheTwelveBeforeTheLastCharacter) {
  EXPECT_EQ(pin_card_field("9410123412341234"), "0000012341234123");
  EXPECT_EQ(pin_card_field("  9410123412341234  "), "0000012341234123");
  EXPECT_EQ(pin_card_field("1234567890123"), "0000123456789012");  // exactly 13
  EXPECT_EQ(pin_card_field("12345"), "00001234");
  EXPECT_EQ(pin_card_field("   "), "0000");
}

TEST(QuillRequests, KeptBytesAreTheCallersTextsCutAndZeroFilled) {
  const auto kept = kept_bytes("9410123412341234", kTrInfo);
  EXPECT_EQ(std::string(kept.begin(), kept.begin() + 16), "9410123412341234");
  for (std::size_t i = 16; i < 20; ++i) EXPECT_EQ(kept[i], 0) << i;  // not spaces
  EXPECT_EQ(std::string(kept.begin() + 20, kept.end()), kTrInfo);

  const std::string korean = text::Literal("감사합니다").str();
  const auto wide = kept_bytes(std::string(30, '7'), korean + std::string(80, 'z'));
  EXPECT_EQ(std::string(wide.begin(), wide.begin() + 20), std::string(20, '7'));
  EXPECT_EQ(std::string(wide.begin() + 20, wide.begin() + 30), korean);  // cp949 as given
  EXPECT_EQ(std::string(wide.begin() + 30, wide.end()), std::string(51, 'z'));

  const auto empty = kept_bytes("", "");
  EXPECT_EQ(empty, (std::array<std::uint8_t, kQuillKeptBytes>{}));
}

}  // namespace
}  // namespace pink::signpad::quill
