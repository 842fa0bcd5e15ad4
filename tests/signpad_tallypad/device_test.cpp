// The virtual tallypad: what it answers to each request, what the operator's
// actions send, and that the control's answer recognition completes on
// every answer it gives.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "signpad/capture.h"
#include "signpad/pad_keys.h"
#include "signpad/tallypad_device.h"
#include "signpad/tallypad_protocol.h"

namespace pink::signpad::tally {
namespace {

using namespace std::string_literals;

Bytes req(Mode mode, std::vector<std::string> args = {}) {
  std::vector<std::string_view> views(args.begin(), args.end());
  return *request_frame(mode, views);
}

std::string str(const Bytes& b) { return std::string(b.begin(), b.end()); }

// Feeds the frame byte by byte, as a slow line would deliver it.
std::vector<Send> give(PadDevice& pad, const Bytes& bytes) {
  std::vector<Send> out;
  for (const std::uint8_t b : bytes) pad.receive(std::span(&b, 1), out);
  return out;
}

std::string joined(const std::vector<Send>& sends) {
  std::string all;
  for (const Send& s : sends) all += str(s.bytes);
  return all;
}

// The control's parser run over what the pad sent for a request.
AnswerParser parsed(Mode mode, const std::vector<Send>& sends) {
  AnswerParser p;
  p.start(mode);
  for (const Send& s : sends) p.feed(std::span<const std::uint8_t>(s.bytes));
  return p;
}

PadScript script_with(std::vector<std::pair<int, int>> points, bool automatic = true) {
  PadScript s;
  s.signature = std::move(points);
  s.point_interval_ms = 7;
  s.sign_automatically = automatic;
  return s;
}

TEST(TallypadDevice, InitIsAnsweredWithAckEscOrSilence) {
  const std::string data = "PAD V1.00";
  PadScript s;
  auto pad = make_tallypad_device(s);
  EXPECT_EQ(pad->family(), "tallypad");
  const auto sends = give(*pad, req(Mode::Init));
  ASSERT_EQ(sends.size(), 1u);
  EXPECT_EQ(str(sends[0].bytes), str(frame(kAck, Bytes(data.begin(), data.end()))));
  EXPECT_EQ(parsed(Mode::Init, sends).answer(), Bytes(sends[0].bytes.begin() + 3, sends[0].bytes.end() - 1));

  s.init = PadScript::Init::Esc;
  const auto esc = give(*make_tallypad_device(s), req(Mode::Init));
  ASSERT_EQ(esc.size(), 1u);
  EXPECT_EQ(esc[0].bytes[3], kEsc);
  EXPECT_TRUE(parsed(Mode::Init, esc).ended());

  s.init = PadScript::Init::Silent;
  EXPECT_TRUE(give(*make_tallypad_device(s), req(Mode::Init)).empty());
}

TEST(TallypadDevice, SigningStreamsThePointsAtThePadsPaceAndSendsTheirData) {
  const std::vector<std::pair<int, int>> points{{10, 20}, {3, 3}, {0, 9}, {127, 63}};
  auto pad = make_tallypad_device(script_with(points));
  const auto sends = give(*pad, req(Mode::Sign, {"5000", "msg"}));
  ASSERT_EQ(sends.size(), 2 + points.size());
  EXPECT_EQ(str(sends[0].bytes), "\x02\xB1"s);
  EXPECT_EQ(sends[0].delay_ms, 0u);
  EXPECT_EQ(str(sends[1].bytes), "\x0A\x14\x03"s);
  EXPECT_EQ(str(sends[3].bytes), "\x00\x09\x03"s);
  EXPECT_EQ(sends[2].delay_ms, 7u);
  EXPECT_EQ(str(sends.back().bytes), "\xEA\xEA\x03"s);
  // The control sees the points (not the one at x 0) and enter.
  AnswerParser p;
  p.start(Mode::Sign);
  std::vector<Step> steps;
  for (const Send& s : sends) {
    const auto got = p.feed(std::span<const std::uint8_t>(s.bytes));
    steps.insert(steps.end(), got.begin(), got.end());
  }
  EXPECT_EQ(steps, (std::vector<Step>{{Step::Kind::Point, 10, 20},
                                      {Step::Kind::Point, 3, 3},
                                      {Step::Kind::Point, 127, 63},
                                      {Step::Kind::Input}}));

  // The signature data: the request's key, the point count, the points.
  const auto data = give(*pad, req(Mode::SignSend));
  ASSERT_EQ(data.size(), 1u);
  const Bytes body = signature_data(kTallypadKey, points);
  EXPECT_EQ(str(data[0].bytes), str(frame(kAnswerSignData, body)));
  EXPECT_EQ(str(body).substr(0, 18), std::string(kTallypadKey) + "\x00\x04"s);
  EXPECT_EQ(str(body).substr(18), "\x0A\x14\x03\x03\x00\x09\x7F\x3F"s);
  const AnswerParser answer = parsed(Mode::SignSend, data);
  EXPECT_TRUE(answer.ended());
  EXPECT_EQ(answer.answer().size(), body.size() + 2);  // the data, ETX and LRC
  // The control's acknowledgement is taken without an answer.
  EXPECT_TRUE(give(*pad, Bytes(kDataAck.begin(), kDataAck.end())).empty());
}

TEST(TallypadDevice, OperatorActionsWhileSigning) {
  auto pad = make_tallypad_device(script_with({{5, 6}, {7, 8}}, false));
  std::vector<Send> out;
  // Without a signing screen the actions send nothing.
  EXPECT_TRUE(pad->command("sign", out));
  EXPECT_TRUE(pad->command("cancel", out));
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(pad->command("dance", out));
  EXPECT_EQ(pad->actions().size(), 5u);

  EXPECT_EQ(joined(give(*pad, req(Mode::Sign, {"1", "m"}))), "\x02\xB1"s);  // manual: no points yet
  ASSERT_TRUE(pad->command("sign", out));
  EXPECT_EQ(joined(out), "\x05\x06\x03\x07\x08\x03\xEA\xEA\x03"s);
  out.clear();
  ASSERT_TRUE(pad->command("clear", out));
  ASSERT_TRUE(pad->command("enter", out));
  EXPECT_EQ(joined(out), "\xEE\xEE\x03\xEA\xEA\x03"s);
  // Cleared: the signature data is empty (bytes 16 and 17 zero).
  const auto empty = give(*pad, req(Mode::SignSend));
  EXPECT_EQ(str(empty.at(0).bytes), str(frame(kAnswerSignData, signature_data(kTallypadKey, {}))));

  out.clear();
  give(*pad, req(Mode::Sign, {"1", "m"}));
  ASSERT_TRUE(pad->command("cancel", out));
  EXPECT_EQ(joined(out), "\xEC\xEC\x03"s);
  out.clear();
  EXPECT_TRUE(pad->command("enter", out));  // signing ended with the cancel
  EXPECT_TRUE(out.empty());
}

// Decrypts a PIN block with OpenSSL's DES under the tallypad key.
std::string decrypt_block(const std::string& hex) {
  const auto cipher = key_from_hex(hex);
  const auto key = key_from_hex(kTallypadKey);
  DES_cblock k, in, out;
  std::memcpy(k, key->data(), 8);
  std::memcpy(in, cipher->data(), 8);
  DES_key_schedule schedule;
  DES_set_key_unchecked(&k, &schedule);
  DES_ecb_encrypt(&in, &out, &schedule, DES_DECRYPT);
  return hex_upper(std::span<const std::uint8_t>(out, 8));
}

TEST(TallypadDevice, PinAnswersCarryTheDigitsOrTheirBlock) {
  PadScript s;
  s.pin = "1234";
  auto pad = make_tallypad_device(s);
  const auto plain = give(*pad, req(Mode::Pin, {"5000", "m"}));
  ASSERT_EQ(plain.size(), 1u);
  EXPECT_EQ(plain[0].delay_ms, kPinEntryMs);
  EXPECT_EQ(str(parsed(Mode::Pin, plain).answer()), "1234\x03"s + static_cast<char>(plain[0].bytes.back()));

  const auto enc = give(*pad, req(Mode::PinEnc, {"9410123412341234", "5000", "m"}));
  ASSERT_EQ(enc.size(), 1u);
  const std::string block = str(parsed(Mode::PinEnc, enc).answer()).substr(0, 16);
  EXPECT_EQ(block, pin_block_hex("1234", "9410123412341234", *key_from_hex(kTallypadKey)));
  // PIN field 04 1234 F..F XOR account field 0000 and 12 digits before the check digit.
  const std::string clear = decrypt_block(block);
  const auto pin_field = *key_from_hex("041234FFFFFFFFFF"), account = *key_from_hex("0000012341234123");
  std::string want;
  for (std::size_t i = 0; i < 8; ++i) {
    const std::uint8_t b = pin_field[i] ^ account[i];
    want += hex_upper(std::span(&b, 1));
  }
  EXPECT_EQ(clear, want);

  // A pad whose operator types: the answer waits for "pin N".
  s.sign_automatically = false;
  auto manual = make_tallypad_device(s);
  EXPECT_TRUE(give(*manual, req(Mode::Pin, {"1", "m"})).empty());
  std::vector<Send> out;
  EXPECT_FALSE(manual->command("pin 12", out));
  EXPECT_FALSE(manual->command("pin 12a4", out));
  EXPECT_TRUE(out.empty());
  ASSERT_TRUE(manual->command("pin 567890", out));
  EXPECT_EQ(str(parsed(Mode::Pin, out).answer()).substr(0, 7), "567890\x03"s);
  out.clear();
  EXPECT_TRUE(manual->command("pin", out));  // nothing waits for it now
  EXPECT_TRUE(out.empty());
}

TEST(TallypadDevice, CardReaderAnswers) {
  PadScript s;
  s.card_answer = {'C', 'A', 'R', 'D', 0x00, 0x0B};
  auto pad = make_tallypad_device(s);
  const Bytes card_req = req(Mode::DongleMember, {"0000001", "SITE", "0F0F"});
  const auto card = give(*pad, card_req);
  ASSERT_EQ(card.size(), 2u);
  EXPECT_EQ(str(card[0].bytes), "\x06"s);
  EXPECT_EQ(card[1].delay_ms, kCardReadMs);
  EXPECT_EQ(str(card[1].bytes), str(dongle_frame(Bytes{0x0B, 'C', 'A', 'R', 'D', 0x00, 0x0B})));
  EXPECT_EQ(parsed(Mode::DongleMember, card).answer(), s.card_answer);

  const auto logon = give(*pad, req(Mode::DongleLogOn, {"SITE"}));
  EXPECT_EQ(logon.at(1).bytes.at(4), kAnswerLogOn);
  EXPECT_EQ(parsed(Mode::DongleLogOn, logon).answer(), s.card_answer);

  const auto info = give(*pad, req(Mode::DongleCardInfo, {"SITE", "00"}));
  EXPECT_EQ(joined(info), "\x06"s);
  EXPECT_TRUE(parsed(Mode::DongleCardInfo, info).ended());

  const auto cancel = give(*pad, req(Mode::DongleCancel));
  EXPECT_EQ(joined(cancel), "\x06k\x00\x00\x00\x1C\x77"s);
  EXPECT_TRUE(parsed(Mode::DongleCancel, cancel).ended());

  // A frame with a wrong check byte, and the control's single ACKs, go unanswered.
  Bytes broken = card_req;
  broken.back() ^= 0x01;
  EXPECT_TRUE(give(*pad, broken).empty());
  EXPECT_TRUE(give(*pad, Bytes{kAck, kAck}).empty());
  // Without a script answer the pad reads its sample card.
  const auto sample = give(*make_tallypad_device(PadScript{}), req(Mode::DongleCard, {"1", "2"}));
  EXPECT_EQ(str(parsed(Mode::DongleCard, sample).answer()), std::string(kSampleCardAnswer));
}

}  // namespace
}  // namespace pink::signpad::tally
