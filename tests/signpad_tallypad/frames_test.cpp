// The tallypad's request frames byte for byte: the pad frames with their
// fields and check bytes, the card reader's dongle frames with their length
// and XOR, and the arguments that make no frame.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "signpad/tallypad_protocol.h"

namespace pink::signpad::tally {
namespace {

using namespace std::string_literals;

// cp949 texts of the frames.
const std::string kThanks = "\xB0\xA8\xBB\xE7\xC7\xD5\xB4\xCF\xB4\xD9";              // 감사합니다
const std::string kPrivacy = "\xB0\xB3\xC0\xCE\xC1\xA4\xBA\xB8 \xC3\xB3\xB8\xAE\xC1\xDF";  // 개인정보 처리중
const std::string kWait = "\xC0\xE1\xBD\xC3 \xB1\xE2\xB4\xD9\xB8\xAE\xBC\xBC\xBF\xE4";     // 잠시 기다리세요
const std::string kPinWorking = "\xBA\xF1\xB9\xD0\xB9\xF8\xC8\xA3 \xC3\xB3\xB8\xAE\xC1\xDF";  // 비밀번호 처리중
const std::string kKey = "3A9F0C71E5B2D846";
const std::string kFs = "\x1C";

std::string str(const std::optional<Bytes>& b) { return b ? std::string(b->begin(), b->end()) : "<none>"; }

std::string request(Mode mode, const std::vector<std::string>& args) {
  std::vector<std::string_view> views(args.begin(), args.end());
  return str(request_frame(mode, views));
}

// A pad frame: STX, the length of command through ETX, ..., ETX, and the
// XOR of everything after STX.
std::string pad(const std::string& command_and_data) {
  const std::size_t length = command_and_data.size() + 1;
  std::string f = "\x02"s + static_cast<char>(length >> 8) + static_cast<char>(length & 0xFF);
  f += command_and_data + "\x03";
  char x = 0;
  for (std::size_t i = 1; i < f.size(); ++i) x = static_cast<char>(x ^ f[i]);
  return f + x;
}

// A dongle frame: 'k' 00 00, the length byte, the body, the XOR of all before.
std::string dongle(char length, const std::string& body) {
  std::string f = "k\x00\x00"s + length + body;
  char x = 0;
  for (const char c : f) x = static_cast<char>(x ^ c);
  return f + x;
}

std::string pad_right(std::string s, std::size_t width, char with = ' ') {
  s.resize(width, with);
  return s;
}

TEST(TallypadFrames, PadRequestsByteForByte) {
  // The two frames whose check bytes are known by heart.
  EXPECT_EQ(request(Mode::Init, {}), "\x02\x00\x04\xA0\x30\x37\x03\xA0"s);
  EXPECT_EQ(request(Mode::SignSend, {}), "\x02\x00\x02\xA2\x03\xA3"s);
  EXPECT_EQ(std::string(kDataAck.begin(), kDataAck.end()), "\x02\x00\x02\x04\x03\x05"s);

  const std::string sign = request(Mode::Sign, {"5000", "\xB0\xA8\xBB\xE7\xC7\xD5\xB4\xCF\xB4\xD9"});
  EXPECT_EQ(sign.size(), 59u);
  EXPECT_EQ(sign, pad("\xA1" "0B" + kKey + pad_right("5000", 16) + kFs + pad_right(kThanks, 16) + kFs + kFs));
  EXPECT_EQ(sign.substr(0, 4), "\x02\x00\x37\xA1"s);

  const std::string pin = request(Mode::Pin, {"12000", "PIN"});
  EXPECT_EQ(pin.size(), 79u);
  EXPECT_EQ(pin.substr(0, 4), "\x02\x00\x4B\xA3"s);
  EXPECT_EQ(pin, pad("\xA3" "120" + pad_right("12000", 16) + kFs + pad_right("PIN", 16) + kFs +
                     pad_right(kPrivacy, 16) + kFs + pad_right(kWait, 16) + kFs + "02"));

  // The card number is trimmed and not padded: n + 99 bytes in all.
  const std::string enc = request(Mode::PinEnc, {"9410123412341234  ", "800", "Msg"});
  EXPECT_EQ(enc.size(), 16u + 99u);
  EXPECT_EQ(enc, pad("\xA4" "9410123412341234" + kFs + "01" + kKey + "0206" + pad_right("800", 16) + kFs +
                     pad_right("Msg", 16) + kFs + pad_right(kPinWorking, 16) + kFs + pad_right(kWait, 16) + kFs +
                     "02"));
  EXPECT_EQ(static_cast<std::uint8_t>(enc[2]), 16u + 95u);
  // ... and cut to 19 characters; an empty one leaves n = 0.
  EXPECT_EQ(request(Mode::PinEnc, {"1234567890123456789012345", "1", "m"}).substr(4, 20),
            "1234567890123456789" + kFs);
  EXPECT_EQ(request(Mode::PinEnc, {"", "1", "m"}).size(), 99u);
}

TEST(TallypadFrames, TextFieldsAreTrimmedCutAndPaddedToTheirWidths) {
  // Trailing blanks go before padding; longer texts are cut to 16 bytes.
  const std::string sign = request(Mode::Sign, {"1000   ", "A message longer than sixteen"});
  EXPECT_EQ(sign.substr(22, 16), pad_right("1000", 16));
  EXPECT_EQ(sign.substr(39, 16), "A message longer");
  EXPECT_EQ(sign.size(), 59u);
  // Missing arguments count as empty fields.
  EXPECT_EQ(request(Mode::Sign, {}).substr(22, 16), std::string(16, ' '));
  // Dongle fields: transaction number 7, site id 10.
  const std::string card = request(Mode::DongleCard, {"123456789", "SITE"});
  EXPECT_EQ(card.substr(5, 17), "1234567SITE      ");
}

TEST(TallypadFrames, DongleFramesCarryTheirLengthAndXor) {
  const std::string trans = "0000123", site = "SITE000001";
  EXPECT_EQ(request(Mode::DongleLogOn, {site}), dongle('\x0A', "\xAA" + site));
  EXPECT_EQ(request(Mode::DongleLogOn, {site}).size(), 16u);
  EXPECT_EQ(request(Mode::DongleCard, {trans, site}), dongle('\x14', "\x0A" + trans + site + "\x0B\xFF\xFF"));
  EXPECT_EQ(request(Mode::DongleCard, {trans, site}).size(), 26u);

  // The id's first two and last two characters, read as hexadecimal.
  struct Kind {
    Mode mode;
    char kind;
  };
  for (const Kind k : {Kind{Mode::DongleMember, '\x20'}, Kind{Mode::DongleDebit, '\x0D'},
                       Kind{Mode::DongleTicket, '\x80'}, Kind{Mode::DongleGift, '\x60'},
                       Kind{Mode::DongleSports, '\xC0'}, Kind{Mode::DongleCash, '\xE0'}}) {
    const std::string f = request(k.mode, {trans, site, "A1xxxx3c"});
    EXPECT_EQ(f, dongle('\x14', "\x0A" + trans + site + k.kind + "\xA1\x3C")) << static_cast<int>(k.mode);
    EXPECT_EQ(f.size(), 26u);
  }
  const std::string both = request(Mode::DongleCardMember, {trans, site, "0F", "ff00"});
  EXPECT_EQ(both, dongle('\x17', "\x0A" + trans + site + "\x0B\x0F\x0F\x20\xFF"s + '\x00'));
  EXPECT_EQ(both.size(), 29u);
  EXPECT_EQ(request(Mode::DongleCancel, {}), "k\x00\x00\x00\x0C\x67"s);
}

TEST(TallypadFrames, CardInfoCarriesItsRecords) {
  const std::string site = "SITE000001";
  // Two records: each trimmed of trailing blanks and padded with zero bytes.
  const std::string info = "02" + pad_right("4518 CARD A  ", 16) + pad_right("9410", 16) + "ignored";
  const std::string f = request(Mode::DongleCardInfo, {site, info});
  EXPECT_EQ(f, dongle(static_cast<char>(16 * 2 + 12),
                      "\xAC" + site + "02" + pad_right("4518 CARD A", 16, '\0') + pad_right("9410", 16, '\0')));
  EXPECT_EQ(f.size(), 16u * 2 + 18);
  EXPECT_EQ(request(Mode::DongleCardInfo, {site, "00"}), dongle('\x0C', "\xAC" + site + "00"));
  // Fifteen records still fit the length byte.
  const std::string fifteen = request(Mode::DongleCardInfo, {site, "15" + std::string(15 * 16, 'C')});
  EXPECT_EQ(fifteen.size(), 16u * 15 + 18);
  EXPECT_EQ(static_cast<std::uint8_t>(fifteen[3]), 252u);
}

TEST(TallypadFrames, ArgumentsThatMakeNoFrameAreRefused) {
  const std::string none = "<none>";
  // Ids: two hexadecimal digits at each end.
  for (const std::string& id : {""s, "1"s, "G1"s, "1G"s, "A1-Z"s}) {
    EXPECT_EQ(request(Mode::DongleMember, {"1", "2", id}), none) << id;
    EXPECT_EQ(request(Mode::DongleCardMember, {"1", "2", "AA", id}), none) << id;
    EXPECT_EQ(request(Mode::DongleCardMember, {"1", "2", id, "AA"}), none) << id;
  }
  EXPECT_FALSE(id_bytes("0"));
  EXPECT_EQ(*id_bytes("00"), (std::array<std::uint8_t, 2>{0, 0}));
  EXPECT_EQ(*id_bytes("abc"), (std::array<std::uint8_t, 2>{0xAB, 0xBC}));
  // Card info: a count of two digits, at most 15, and the text holds every record.
  for (const std::string& info : {""s, "2"s, "A2" + std::string(32, 'x'), "2X" + std::string(32, 'x'),
                                 " 2" + std::string(32, 'x'), "02" + std::string(31, 'x'),
                                 "01"s, "16" + std::string(16 * 16, 'x')}) {
    EXPECT_EQ(request(Mode::DongleCardInfo, {"SITE", info}), none) << info;
  }
  EXPECT_EQ(request(Mode::None, {}), none);
}

}  // namespace
}  // namespace pink::signpad::tally
