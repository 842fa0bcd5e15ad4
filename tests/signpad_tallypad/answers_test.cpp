// The recognition of the pad's answers per mode. Every stream is also fed
// in bursts of every size from one byte to the whole stream: the steps and
// the answer must not depend on how the line cut the bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "signpad/tallypad_protocol.h"

namespace pink::signpad::tally {
namespace {

using namespace std::string_literals;
using Kind = Step::Kind;

struct Outcome {
  std::vector<Step> steps;
  Bytes answer;
  bool ended = false;
};

Outcome feed_in_bursts(Mode mode, const std::string& stream, std::size_t burst) {
  AnswerParser parser;
  parser.start(mode);
  Outcome o;
  const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size());
  for (std::size_t at = 0; at < bytes.size(); at += burst) {
    const auto got = parser.feed(bytes.subspan(at, std::min(burst, bytes.size() - at)));
    o.steps.insert(o.steps.end(), got.begin(), got.end());
  }
  o.answer = parser.answer();
  o.ended = parser.ended();
  return o;
}

// Byte by byte, checked against every other burst size.
Outcome parse(Mode mode, const std::string& stream) {
  AnswerParser parser;
  parser.start(mode);
  Outcome one;
  for (const char c : stream) {
    if (const Step s = parser.feed(static_cast<std::uint8_t>(c)); s.kind != Kind::None) one.steps.push_back(s);
  }
  one.answer = parser.answer();
  one.ended = parser.ended();
  for (std::size_t burst = 2; burst <= stream.size(); ++burst) {
    const Outcome o = feed_in_bursts(mode, stream, burst);
    EXPECT_EQ(o.steps, one.steps) << "bursts of " << burst;
    EXPECT_EQ(o.answer, one.answer) << "bursts of " << burst;
    EXPECT_EQ(o.ended, one.ended) << "bursts of " << burst;
  }
  return one;
}

Bytes bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

const std::vector<Step> kComplete{{Kind::Complete}};

TEST(TallypadAnswers, InitCompletesWithTheAnswerCodeFirst) {
  // Noise before STX is skipped; the answer holds "length" bytes from the code on.
  const std::string ack = "\x05\x02\x00\x0B\x06PAD V1.00\x03\x0C"s;
  const Outcome o = parse(Mode::Init, ack + "\x02\x00\x04\x06xx\x03\x00"s);
  EXPECT_EQ(o.steps, kComplete);  // what follows the answer is not read
  EXPECT_EQ(o.answer, bytes("\x06PAD V1.00\x03"));

  const Outcome esc = parse(Mode::Init, "\x02\x00\x03\x1B\x41\x03\x5A"s);
  EXPECT_EQ(esc.steps, kComplete);
  EXPECT_EQ(esc.answer, bytes("\x1B\x41\x03"));

  // A length byte equal to the code is not taken for the code.
  const Outcome six = parse(Mode::Init, "\x02\x00\x06\x06" "abcde\x00"s);
  EXPECT_EQ(six.steps, kComplete);
  EXPECT_EQ(six.answer, bytes("\x06" "abcde"));

  // Without the last byte nothing completes: the control keeps waiting.
  const Outcome partial = parse(Mode::Init, "\x02\x00\x0B\x06PAD V1.00\x03"s);
  EXPECT_TRUE(partial.steps.empty());
  EXPECT_FALSE(partial.ended);
}

TEST(TallypadAnswers, SigningRecordsArePointsClearsEnterAndCancel) {
  // Records before STX B1 are not points.
  const std::string stream = "\x10\x10\x03\x02\xB1"
                             "\x0A\x14\x03"  // (10, 20)
                             "\x00\x05\x03"  // x 0: nothing
                             "\x05\x00\x03"  // y 0: nothing
                             "\x03\x03\x03"  // (3, 3): a coordinate may be ETX
                             "\x7F\x03\x03"  // (127, 3)
                             "\xEE\xEE\x03"  // screen cleared
                             "\x08\x01\x03"  // (8, 1)
                             "\xEA\xEA\x03"  // enter
                             "\xEC\xEC\x03"  // cancelled: the exchange ends
                             "\x0B\x0B\x03"s;
  const Outcome o = parse(Mode::Sign, stream);
  const std::vector<Step> want{{Kind::Point, 10, 20}, {Kind::Point, 3, 3}, {Kind::Point, 127, 3}, {Kind::Cleared},
                               {Kind::Point, 8, 1},   {Kind::Input},       {Kind::Cancelled}};
  EXPECT_EQ(o.steps, want);
  EXPECT_TRUE(o.ended);
  EXPECT_TRUE(o.answer.empty());

  // Enter does not end signing; more points may follow.
  const Outcome go_on = parse(Mode::Sign, "\x02\xB1\xEA\xEA\x03\x01\x02\x03"s);
  EXPECT_EQ(go_on.steps, (std::vector<Step>{{Kind::Input}, {Kind::Point, 1, 2}}));
  EXPECT_FALSE(go_on.ended);
}

TEST(TallypadAnswers, DataAnswersAreTheBytesAfterTheirCode) {
  struct Case {
    Mode mode;
    char code;
  };
  for (const Case c : {Case{Mode::SignSend, '\xB2'}, Case{Mode::Pin, '\xB3'}, Case{Mode::PinEnc, '\xB4'}}) {
    // The data may hold any byte, STX and the code included.
    const std::string data = "\x02\x00\x01"s + c.code + "1234\x03\x77";
    const std::string stream = "\x02\x00"s + static_cast<char>(data.size()) + c.code + data + "tail";
    const Outcome o = parse(c.mode, stream);
    EXPECT_EQ(o.steps, kComplete) << static_cast<int>(c.mode);
    EXPECT_EQ(o.answer, bytes(data));
    AnswerParser p;
    p.start(c.mode);
    EXPECT_EQ(p.reply(), Reply::DataAck);
  }
  // Another mode's code does not complete a PIN exchange.
  EXPECT_TRUE(parse(Mode::Pin, "\x02\x00\x03\xB2xy\x03"s).steps.empty());
  // A length of 0 completes at the code, with no data.
  const Outcome empty = parse(Mode::SignSend, "\x02\x00\x00\xB2"s);
  EXPECT_EQ(empty.steps, kComplete);
  EXPECT_TRUE(empty.answer.empty());
}

TEST(TallypadAnswers, CardReaderAnswersFollowAckKAndZeroOrNak) {
  // 'k' 00 00 length 0B data XOR: the answer is the data, the XOR byte is read too.
  const std::string data = "9410123412341234";
  const std::string answer = "\x06k\x00\x00"s + static_cast<char>(data.size()) + "\x0B" + data + "X";
  for (const Mode m : {Mode::DongleCard, Mode::DongleMember, Mode::DongleDebit, Mode::DongleTicket,
                       Mode::DongleGift, Mode::DongleSports, Mode::DongleCash, Mode::DongleCardMember}) {
    const Outcome o = parse(m, answer);
    EXPECT_EQ(o.steps, kComplete) << static_cast<int>(m);
    EXPECT_EQ(o.answer, bytes(data));
    AnswerParser p;
    p.start(m);
    EXPECT_EQ(p.reply(), Reply::Ack);
  }
  EXPECT_TRUE(parse(Mode::DongleCard, answer.substr(0, answer.size() - 1)).steps.empty());
  // NAK in place of the first zero; a length byte equal to the code.
  const std::string nak = "\x06k\x15\x00\x0B\x0B" "ABCDEFGHIJKX"s;
  EXPECT_EQ(parse(Mode::DongleCard, nak).answer, bytes("ABCDEFGHIJK"));
  // The log-on answer has its own code.
  EXPECT_TRUE(parse(Mode::DongleLogOn, answer).steps.empty());
  const Outcome logon = parse(Mode::DongleLogOn, "\x06k\x00\x00\x02\xABOKX"s);
  EXPECT_EQ(logon.steps, kComplete);
  EXPECT_EQ(logon.answer, bytes("OK"));
  // The order matters: 'k' before ACK is skipped.
  EXPECT_TRUE(parse(Mode::DongleCard, "k\x06\x00\x00\x01\x0Bz"s).steps.empty());
}

TEST(TallypadAnswers, CardInfoWantsAnAckAndCancelOneByteAfterFs) {
  EXPECT_EQ(parse(Mode::DongleCardInfo, "\x15\x15\x06"s).steps, kComplete);
  EXPECT_TRUE(parse(Mode::DongleCardInfo, "\x15k"s).steps.empty());
  AnswerParser p;
  p.start(Mode::DongleCardInfo);
  EXPECT_EQ(p.reply(), Reply::Ack);

  const std::string cancel = "\x06k\x00\x00\x00\x1C\x67"s;
  EXPECT_EQ(parse(Mode::DongleCancel, cancel).steps, kComplete);
  EXPECT_TRUE(parse(Mode::DongleCancel, cancel.substr(0, 6)).steps.empty());
  EXPECT_TRUE(parse(Mode::DongleCancel, "\x06k\x1C\x00"s).steps.empty());  // FS before the zero gate
  // No mode: every byte is ignored.
  EXPECT_TRUE(parse(Mode::None, "\x02\x00\x02\x06\x03\x05"s).steps.empty());
}

TEST(TallypadAnswers, NoiseAndLongAnswersStayInsideTheBuffer) {
  // A long run without STX, then without the code, then an answer longer
  // than the receive buffer: every byte arrives, nothing is written outside.
  std::string data(3000, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + 1);
  const std::string stream = std::string(5000, 'n') + "\x02" + std::string(4097, 'm') + "\x0B\xB8\xB2"s + data;
  for (std::size_t burst : {std::size_t{1}, std::size_t{2048}, stream.size()}) {
    const Outcome o = feed_in_bursts(Mode::SignSend, stream, burst);
    EXPECT_EQ(o.steps, kComplete) << burst;
    EXPECT_EQ(o.answer, bytes(data));
  }
  // Signing: a long run without ETX, then a record.
  const std::string run = "\x02\xB1" + std::string(4500, '\x11') + "\x03\x04\x05\x03"s;
  for (std::size_t burst : {std::size_t{1}, std::size_t{1000}, run.size()}) {
    EXPECT_EQ(feed_in_bursts(Mode::Sign, run, burst).steps,
              (std::vector<Step>{{Kind::Point, 17, 17}, {Kind::Point, 4, 5}}));
  }
  // The code right after the gate has no length before it: it is not the code.
  EXPECT_TRUE(parse(Mode::SignSend, "\x02\xB2\x01"s).steps.empty());
  EXPECT_TRUE(parse(Mode::Sign, "\x02\xB1\x03\x03"s).steps.empty());
}

}  // namespace
}  // namespace pink::signpad::tally
