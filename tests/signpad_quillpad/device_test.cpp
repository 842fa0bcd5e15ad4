// The virtual quillpad: what it answers to each request and script, its
// operator actions, and its signature recognised by the control's side of
// the protocol as the same point image.
#include "signpad/quillpad_device.h"

#include <gtest/gtest.h>

#include "signpad/device.h"
#include "signpad/quillpad_protocol.h"

namespace pink::signpad::quill {
namespace {

Bytes of(std::span<const std::uint8_t> b) { return Bytes(b.begin(), b.end()); }

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<Send> answer(PadDevice& pad, const Bytes& request, std::size_t piece = 1000) {
  std::vector<Send> out;
  for (std::size_t at = 0; at < request.size(); at += piece) {
    pad.receive(std::span(request).subspan(at, std::min(piece, request.size() - at)), out);
  }
  return out;
}

Bytes joined(const std::vector<Send>& sends) {
  Bytes all;
  for (const Send& s : sends) all.insert(all.end(), s.bytes.begin(), s.bytes.end());
  return all;
}

PadScript script_with(std::vector<std::pair<int, int>> points) {
  PadScript s;
  s.signature = std::move(points);
  s.point_interval_ms = 7;
  return s;
}

TEST(QuillVirtualPad, AnswersCarryAStatusByteAndNeverOutgrowTheControlsRing) {
  EXPECT_EQ(answer_frame(kInfoAnswer, "ABC"),
            (Bytes{0x02, 0x00, 0x04, 0xFA, '0', 'A', 'B', 'C', 0x03, (0x04 ^ 0xFA ^ '0' ^ 'A' ^ 'B' ^ 'C' ^ 0x03) | 0x20}));
  const Bytes longest = answer_frame(kPinAnswer, std::string(5000, 'x'));
  EXPECT_EQ(longest.size(), 4u + 1024u + 2u);
  EXPECT_EQ(longest[1], 0x04);
  EXPECT_EQ(longest[2], 0x00);
}

TEST(QuillVirtualPad, SignRequestIsAcknowledgedThenSignedAtThePadsPace) {
  auto pad = make_quillpad_device(script_with({{10, 10}, {11, 10}, {12, 11}}));
  EXPECT_EQ(pad->family(), "quillpad");
  const std::vector<Send> sends = answer(*pad, sign_request("9410", "text"));
  ASSERT_EQ(sends.size(), 5u);
  EXPECT_EQ(sends[0].bytes, of(kAcknowledge));
  EXPECT_EQ(sends[0].delay_ms, kReactionMs);
  EXPECT_EQ(sends[1].bytes, point_record(10, 10));
  EXPECT_EQ(sends[2].bytes, point_record(11, 10));
  EXPECT_EQ(sends[3].bytes, point_record(12, 11, kPointCodeAlt));  // the pen lifts
  for (std::size_t i = 1; i < sends.size(); ++i) EXPECT_EQ(sends[i].delay_ms, 7u);
  EXPECT_EQ(sends[4].bytes, of(kSignEnd));

  // A request with a wrong LRC is not taken; the same request in single
  // bytes after a stop is.
  auto again = make_quillpad_device(script_with({{10, 10}, {11, 10}, {12, 11}}));
  Bytes bad_lrc = sign_request("9410", "text");
  bad_lrc.back() ^= 0x01;
  EXPECT_TRUE(answer(*again, bad_lrc, 1).empty());
  EXPECT_EQ(joined(answer(*again, of(kStop) + sign_request("9410", "text"), 1)), joined(sends));
}

TEST(QuillVirtualPad, SignatureStreamGivesTheControlTheSamePointImage) {
  PadScript script;  // the built-in sample
  auto pad = make_quillpad_device(script);
  const Bytes stream = joined(answer(*pad, sign_request("1", "2")));
  Receiver receiver;
  receiver.reset(kJobSign);
  std::vector<Effect> effects;
  receiver.feed(stream, effects);
  PointImage expected{};
  for (const auto& [x, y] : sample_signature()) set_quill_point(expected, x, y);
  EXPECT_EQ(receiver.image(), expected);
  EXPECT_GT(sample_signature().size(), 50u);
  ASSERT_FALSE(effects.empty());
  EXPECT_EQ(effects.back(), (Effect{Effect::Kind::Notify, 0, 0, Notice::SignEnd}));
}

TEST(QuillVirtualPad, CustomerInformationAndPinAnswers) {
  PadScript script;
  script.customer_info = "5555";
  script.pin = "0000";
  auto pad = make_quillpad_device(script);
  EXPECT_EQ(joined(answer(*pad, cust_info_request())), of(kAcknowledge) + answer_frame(kInfoAnswer, "5555"));
  EXPECT_EQ(joined(answer(*pad, pin_request(1, "9410123412341234", "1000", "0123456789ABCDEF"))),
            of(kAcknowledge) + answer_frame(kPinAnswer, "0000"));
}

TEST(QuillVirtualPad, ScriptsThatStaySilentAnswerEscOrWaitForTheOperator) {
  PadScript silent;
  silent.init = PadScript::Init::Silent;
  EXPECT_TRUE(answer(*make_quillpad_device(silent), sign_request("1", "2")).empty());
  PadScript esc;
  esc.init = PadScript::Init::Esc;
  EXPECT_EQ(joined(answer(*make_quillpad_device(esc), pin_request(0, "1", "1", "1"))), of(kSignCancel));
  PadScript manual;
  manual.sign_automatically = false;
  EXPECT_EQ(joined(answer(*make_quillpad_device(manual), sign_request("1", "2"))), of(kAcknowledge));
}

TEST(QuillVirtualPad, OperatorActions) {
  auto pad = make_quillpad_device(script_with({{1, 1}, {2, 2}}));
  auto act = [&](std::string_view action) {
    std::vector<Send> out;
    return pad->command(action, out) ? joined(out) : Bytes{0xEE};
  };
  EXPECT_EQ(act("sign"), point_record(1, 1) + point_record(2, 2, kPointCodeAlt) + of(kSignEnd));
  EXPECT_EQ(act("end"), of(kSignEnd));
  EXPECT_EQ(act(" cancel "), of(kSignCancel));
  EXPECT_EQ(act("error"), of(kInputError));
  EXPECT_EQ(act("info 9410 1234"), answer_frame(kInfoAnswer, "9410 1234"));
  EXPECT_EQ(act("pin 4321"), answer_frame(kPinAnswer, "4321"));
  EXPECT_EQ(act("point 127 10"), point_record(127, 10));
  for (const char* wrong : {"", "pin", "point 1", "point 256 1", "point a b", "sign now", "dance"}) {
    EXPECT_EQ(act(wrong), Bytes{0xEE}) << wrong;
  }
  EXPECT_EQ(pad->actions().size(), 7u);  // one help line each
}

}  // namespace
}  // namespace pink::signpad::quill
