// quillpad's answer recognition: pen points, the end and cancel of signing,
// the customer information blocks, the PIN, input errors; the same effects
// and data whether the bytes come one by one or in bursts of any size; the
// ring bounded whatever arrives.
#include <gtest/gtest.h>

#include <random>

#include "signpad/capture.h"
#include "signpad/quillpad_device.h"
#include "signpad/quillpad_protocol.h"

namespace pink::signpad::quill {
namespace {

using K = Effect::Kind;

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes of(std::span<const std::uint8_t> b) { return Bytes(b.begin(), b.end()); }

struct Outcome {
  std::vector<Effect> effects;
  PointImage image{};
  Bytes answer;
  std::string text;
  bool success = false;
  bool operator==(const Outcome&) const = default;
};

// Feeds `bytes` in bursts of `burst` bytes to a receiver of the job.
Outcome feed(int job, const Bytes& bytes, std::size_t burst) {
  Receiver r;
  r.reset(job);
  Outcome run;
  for (std::size_t at = 0; at < bytes.size(); at += burst) {
    const std::size_t n = std::min(burst, bytes.size() - at);
    r.feed(std::span(bytes).subspan(at, n), run.effects);
  }
  run.image = r.image();
  run.answer = r.answer();
  run.text = r.answer_text();
  run.success = r.success();
  return run;
}

// The same run for every burst size from 1 to the whole answer.
Outcome feed_every_way(int job, const Bytes& bytes) {
  const Outcome one = feed(job, bytes, 1);
  for (std::size_t burst = 2; burst <= bytes.size(); ++burst) {
    EXPECT_EQ(feed(job, bytes, burst), one) << "bursts of " << burst;
  }
  return one;
}

std::vector<Effect::Kind> kinds(const Outcome& run) {
  std::vector<Effect::Kind> k;
  for (const Effect& e : run.effects) k.push_back(e.kind);
  return k;
}

Effect notify(Notice n) { return {K::Notify, 0, 0, n}; }

TEST(QuillAnswers, SigningPointsEndAndCancelComeOutTheSameInEveryBurstSize) {
  const Bytes stream = of(kAcknowledge) + point_record(10, 20) + point_record(127, 10, kPointCodeAlt) +
                       point_record(0, 1) + of(kSignEnd);
  const Outcome run = feed_every_way(kJobSign, stream);
  const std::vector<Effect> expected = {{K::Acknowledged}, {K::Point, 10, 20}, {K::Point, 127, 10},
                                        {K::Point, 0, 1}, notify(Notice::SignEnd)};
  EXPECT_EQ(run.effects, expected);
  EXPECT_TRUE(run.success);
  // (127, 10): bit 0 of byte 16 * 9 + 15 and the top bit of the next byte.
  EXPECT_EQ(run.image[16 * 9 + 15], 0x01);
  EXPECT_EQ(run.image[16 * 10], 0x80);
  EXPECT_EQ(run.image[16 * 19 + 1], 0x30);  // (10, 20): pixels 10 and 11 of row 19

  const Outcome cancelled = feed_every_way(kJobSignAlt, point_record(5, 5) + of(kSignCancel));
  EXPECT_EQ(cancelled.effects, (std::vector<Effect>{{K::Point, 5, 5}, notify(Notice::SignCancel)}));
}

TEST(QuillAnswers, PointsOutsideThePadOrMalformedRecordsDrawNothing) {
  Bytes odd = point_record(128, 5) + point_record(5, 64) + point_record(5, 0) + point_record(200, 200);
  Bytes bad_code = point_record(5, 5);
  bad_code[3] = 0xC2;
  Bytes bad_length = point_record(5, 5);
  bad_length[2] = 0x03;
  Bytes no_etx = point_record(5, 5);
  no_etx[6] = 0x04;
  const Outcome run = feed_every_way(kJobSign, odd + bad_code + bad_length + no_etx);
  EXPECT_TRUE(run.effects.empty());
  EXPECT_FALSE(run.success);
  EXPECT_EQ(run.image, PointImage{});
  // Outside a signature job points, ends and cancels mean nothing.
  EXPECT_TRUE(feed(kJobPin, point_record(5, 5) + of(kSignEnd) + of(kSignCancel), 8).effects.empty());
}

TEST(QuillAnswers, PointRecordsAcrossTheRingsEndAreAllRecognised) {
  // 300 records are 2400 bytes: the ring index returns to 0 twice.
  Bytes stream;
  PointImage expected{};
  for (int i = 0; i < 300; ++i) {
    const int x = (i * 7) % 128, y = 1 + (i * 3) % 63;
    stream = stream + point_record(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y));
    set_quill_point(expected, x, y);
  }
  for (std::size_t burst : {1u, 7u, 64u, 1025u, 5000u}) {
    const Outcome run = feed(kJobSign, stream, burst);
    EXPECT_EQ(run.effects.size(), 300u) << burst;
    EXPECT_EQ(run.image, expected) << burst;
  }
}

TEST(QuillAnswers, CustomerInformationAnswerIsKeptAndStopsThePad) {
  const Bytes answer = of(kAcknowledge) + answer_frame(kInfoAnswer, "9410123412341234");
  const Outcome run = feed_every_way(kJobCustInfo, answer);
  EXPECT_EQ(kinds(run), (std::vector<K>{K::Acknowledged, K::Answer, K::StopPad, K::Notify}));
  EXPECT_EQ(run.effects.back().notice, Notice::CustInfoEnd);
  EXPECT_EQ(std::string(run.answer.begin(), run.answer.end()), "09410123412341234");
  EXPECT_EQ(run.text, "9410123412341234");
  EXPECT_TRUE(run.success);

  // FB ends the answer as FA does; the bytes after the data change nothing.
  const Outcome fb = feed_every_way(kJobCustInfo, of(kAcknowledge) + answer_frame(kInfoAnswerAlt, "AB") + Bytes{1, 2});
  EXPECT_EQ(kinds(fb), (std::vector<K>{K::Acknowledged, K::Answer, K::StopPad, K::Notify}));
  EXPECT_EQ(fb.text, "AB");

  // Before the pad's ACK ACK ACK no answer has begun; ACKs from before a
  // reset do not count.
  EXPECT_TRUE(feed(kJobCustInfo, answer_frame(kInfoAnswer, "AB"), 1).effects.empty());
  Receiver r;
  std::vector<Effect> effects;
  r.reset(kJobCustInfo);
  r.feed(Bytes{kAck, kAck}, effects);
  r.reset(kJobCustInfo);
  r.feed(Bytes{kAck} + answer_frame(kInfoAnswer, "AB"), effects);
  EXPECT_TRUE(effects.empty());
}

TEST(QuillAnswers, MoreBlocksFireWithoutStoppingAndAnEmptyBlockWaitsForTheNext) {
  const Bytes blocks = of(kAcknowledge) + answer_frame(kInfoMoreBlocks, "FIRST") +
                       Bytes{kStx, 0x00, 0x00, kInfoMoreBlocks} + answer_frame(kInfoAnswer, "LAST");
  const Outcome run = feed_every_way(kJobCustInfo, blocks);
  EXPECT_EQ(kinds(run), (std::vector<K>{K::Acknowledged, K::Answer, K::Notify, K::Answer, K::StopPad, K::Notify}));
  EXPECT_EQ(run.effects[2].notice, Notice::CustInfoEnd);
  EXPECT_EQ(run.text, "LAST");
}

TEST(QuillAnswers, PinAnswerAndInputErrors) {
  const Outcome pin = feed_every_way(kJobPin, of(kAcknowledge) + answer_frame(kPinAnswer, "1234"));
  EXPECT_EQ(kinds(pin), (std::vector<K>{K::Acknowledged, K::Answer, K::StopPad, K::Notify}));
  EXPECT_EQ(pin.effects.back().notice, Notice::PinEnd);
  EXPECT_EQ(pin.text, "1234");
  // Only F7 answers a PIN request; only FA, FB and FC customer information.
  EXPECT_FALSE(feed(kJobPin, of(kAcknowledge) + answer_frame(kInfoAnswer, "1234"), 4).success);
  EXPECT_FALSE(feed(kJobCustInfo, of(kAcknowledge) + answer_frame(kPinAnswer, "1234"), 4).success);

  for (int job : {kJobCustInfo, kJobPin}) {
    const Outcome error = feed_every_way(job, of(kAcknowledge) + of(kInputError));
    EXPECT_EQ(error.effects, (std::vector<Effect>{{K::Acknowledged}, {K::StopPad}, notify(Notice::InputDataError)}));
    EXPECT_FALSE(error.success);
  }
  EXPECT_EQ(feed(kJobSign, of(kInputError), 1).effects, std::vector<Effect>{});
}

TEST(QuillAnswers, AnswerLengthsAtAndBeyondTheRing) {
  // 1024 data bytes fill the ring and complete.
  const Outcome full = feed(kJobCustInfo, of(kAcknowledge) + answer_frame(kInfoAnswer, std::string(1023, 'D')), 100);
  EXPECT_EQ(full.answer.size(), 1024u);
  EXPECT_EQ(full.text, std::string(1023, 'D'));

  // A length the ring cannot hold would never complete: an input error.
  const Bytes huge = of(kAcknowledge) + Bytes{kStx, 0x04, 0x01, kInfoAnswer} + Bytes(2000, 'D');
  const Outcome over = feed_every_way(kJobCustInfo, Bytes(huge.begin(), huge.begin() + 12));
  EXPECT_EQ(kinds(over), (std::vector<K>{K::Acknowledged, K::StopPad, K::Notify}));
  EXPECT_EQ(over.effects.back().notice, Notice::InputDataError);
  EXPECT_FALSE(feed(kJobCustInfo, huge, 333).success);

  // A final answer without data completes at once with nothing kept.
  const Outcome empty = feed_every_way(kJobPin, of(kAcknowledge) + Bytes{kStx, 0x00, 0x00, kPinAnswer});
  EXPECT_EQ(kinds(empty), (std::vector<K>{K::Acknowledged, K::Answer, K::StopPad, K::Notify}));
  EXPECT_TRUE(empty.answer.empty());
  EXPECT_EQ(empty.text, "");

  // The kept text ends at a NUL; the data keep every byte.
  const Outcome nul = feed(kJobPin, of(kAcknowledge) + answer_frame(kPinAnswer, std::string("12\0" "34", 5)), 3);
  EXPECT_EQ(nul.text, "12");
  EXPECT_EQ(nul.answer.size(), 6u);
}

TEST(QuillAnswers, AnyBytesInAnyJobStayInsideTheRing) {
  std::mt19937 random(11);
  for (int job : {kJobSign, kJobCustInfo, kJobPin, kJobSignAlt, 3}) {
    Receiver r;
    r.reset(job);
    std::vector<Effect> effects;
    // Bytes biased towards the protocol's own, so that headers with every
    // length and half records keep turning up.
    const std::uint8_t pool[] = {kStx, kEtx, kAck, kNak, kEnq, kEsc, 0x00, 0x02, 0x04, 0xC0, 0xC1,
                                 0xFA, 0xFB, 0xFC, 0xF7, 0xFF, 0x7F, 0x80, 0x3F};
    for (int round = 0; round < 2000; ++round) {
      Bytes burst(1 + random() % 200);
      for (auto& b : burst) b = random() % 3 == 0 ? static_cast<std::uint8_t>(random()) : pool[random() % std::size(pool)];
      r.feed(burst, effects);
      ASSERT_TRUE(r.expected() == kNoLength || r.expected() < kRingBytes);
      ASSERT_LT(r.answer().size(), kRingBytes);
      effects.clear();
    }
  }
}

}  // namespace
}  // namespace pink::signpad::quill
