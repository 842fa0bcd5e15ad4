// The virtual stylpad: its answers to what the control sends, in whatever
// pieces they arrive, its pace while signing, and the operator's actions.
#include "signpad/stylpad_device.h"

#include <gtest/gtest.h>

#include <string>

#include "signpad/stylpad_protocol.h"

namespace pink::signpad::styl {
namespace {

std::vector<Send> feed(PadDevice& pad, std::span<const std::uint8_t> bytes) {
  std::vector<Send> out;
  pad.receive(bytes, out);
  return out;
}

PadScript script_with(std::vector<std::pair<int, int>> points, bool automatic = true) {
  PadScript s;
  s.signature = std::move(points);
  s.point_interval_ms = 7;
  s.sign_automatically = automatic;
  return s;
}

TEST(StylpadDevice, AnswersInitAsItsScriptSaysInWhateverPiecesItArrives) {
  for (const auto init : {PadScript::Init::Answer, PadScript::Init::Silent, PadScript::Init::Esc}) {
    PadScript s;
    s.init = init;
    const auto pad = make_stylpad_device(s);
    EXPECT_EQ(pad->family(), "stylpad");
    std::vector<Send> out;
    Bytes noisy{0x55, 0x03};  // a stray byte before the frame is passed over
    noisy.insert(noisy.end(), kInitFrame.begin(), kInitFrame.end());
    for (const std::uint8_t b : noisy) pad->receive(std::span(&b, 1), out);
    if (init == PadScript::Init::Silent) {
      EXPECT_TRUE(out.empty());
      continue;
    }
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].bytes, short_answer(init == PadScript::Init::Answer ? kAck : kEsc));
  }
  EXPECT_EQ(short_answer(kAck), (Bytes{0x02, 0x00, 0x02, 0x06, 0x03, 0x07}));
}

TEST(StylpadDevice, SignsAtItsPaceAndSendsTheDataOfWhatWasSigned) {
  const std::vector<std::pair<int, int>> points = {{1, 1}, {2, 2}, {127, 63}, {300, 5}};
  const auto pad = make_stylpad_device(script_with(points));
  const std::vector<Send> out = feed(*pad, build(kSignRequest, {sign_key_text(), "1000", "04"}));
  ASSERT_EQ(out.size(), 4u);  // three points on the wire, then the data
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(out[i].delay_ms, 7u);
    EXPECT_EQ(out[i].bytes, point_answer(static_cast<std::uint8_t>(points[i].first),
                                         static_cast<std::uint8_t>(points[i].second)));
  }
  const SignatureBitmap bmp = signature_bitmap(out[3].bytes);
  ASSERT_TRUE(bmp.ok);
  EXPECT_EQ(bmp.file, bitmap_file(image_of({{1, 1}, {2, 2}, {127, 63}})));
  // Row 63 is the first one stored; column 127 is its last bit.
  EXPECT_EQ(bmp.file[kBitmapHeaderBytes + 15], 0xFE);
}

TEST(StylpadDevice, WaitsForTheOperatorWhenNotSigningByItself) {
  const auto pad = make_stylpad_device(script_with({{10, 10}, {20, 20}}, false));
  EXPECT_TRUE(feed(*pad, build(kSignRequest, {sign_key_text(), "1000", "04"})).empty());
  EXPECT_TRUE(feed(*pad, build(kPinRequest, {"", "", "04"})).empty());
  std::vector<Send> out;
  ASSERT_TRUE(pad->command("sign", out));
  EXPECT_EQ(out.size(), 2u);

  // AcceptSign: the data of the two points, at once.
  out = feed(*pad, kAcceptFrame);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].delay_ms, 0u);
  EXPECT_EQ(signature_bitmap(out[0].bytes).file, bitmap_file(image_of({{10, 10}, {20, 20}})));

  // Clr blanks the screen; the data are then of an empty image.
  EXPECT_TRUE(feed(*pad, kClearFrame).empty());
  out.clear();
  ASSERT_TRUE(pad->command("accept", out));
  EXPECT_EQ(signature_bitmap(out[0].bytes).file, bitmap_file(PointImage{}));

  // NoSign is confirmed with BC.
  out = feed(*pad, kNoSignFrame);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].bytes, short_answer(kAnsCancel));
}

TEST(StylpadDevice, AnswersThePinRequestAndTheOperatorsActions) {
  PadScript s;
  s.pin = "1234";
  const auto pad = make_stylpad_device(s);
  std::vector<Send> out = feed(*pad, build(kPinRequest, {"", "", "04"}));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].bytes, (Bytes{0x02, 0x00, 0x08, 0xB3, '0', '4', '1', '2', '3', '4', 0x03, 0xB8}));

  struct Case {
    const char* action;
    Bytes bytes;
  };
  const Case cases[] = {{"pin 987654", pin_answer("987654")}, {"pin", pin_answer("1234")},
                        {"cancel", short_answer(kAnsCancel)},  {"clear", point_answer(kCleared, kCleared)},
                        {"nak", short_answer(kNak)},           {"esc", short_answer(kEsc)}};
  for (const Case& c : cases) {
    out.clear();
    ASSERT_TRUE(pad->command(c.action, out)) << c.action;
    ASSERT_EQ(out.size(), 1u) << c.action;
    EXPECT_EQ(out[0].bytes, c.bytes) << c.action;
  }
  EXPECT_EQ(pin_answer("987654")[5], '6');
  EXPECT_EQ(pin_answer(std::string(150, '1')).size(), 4u + 2 + 99 + 2);

  out.clear();
  EXPECT_FALSE(pad->command("dance", out));
  EXPECT_FALSE(pad->command("sign now", out));
  EXPECT_TRUE(out.empty());
  const std::vector<std::string> help = pad->actions();
  for (const char* verb : {"sign", "accept", "cancel", "clear", "pin", "nak", "esc"}) {
    bool listed = false;
    for (const std::string& line : help) listed |= line.rfind(std::string(verb) + " ", 0) == 0;
    EXPECT_TRUE(listed) << verb;
  }
}

}  // namespace
}  // namespace pink::signpad::styl
