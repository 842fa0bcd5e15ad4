// tallypad end to end: padctl drives the control through libpinkauto, vpad
// plays the pad on a virtual port, as an integrator tries them.
#include <gtest/gtest.h>

#include <string>

#include "signpad/capture.h"
#include "signpad/pad_keys.h"
#include "signpad/tallypad_device.h"
#include "tests/padctl/pair.h"
#include "tools/vpad/options.h"

namespace pink::testkit {
namespace {

signpad::PointImage tally_drawn(const vpad::Points& points) {
  signpad::PointImage image{};
  for (const auto& [x, y] : points) signpad::set_tally_point(image, x, y);
  return image;
}

TEST(PadctlTallypad, SignsTheSampleIntoABitmapOfItsInk) {
  TempDir dir;
  const auto r = pad_and_control(dir, "tallypad", 31, {},
                                 {"sign", "5000", "감사합니다", "--bmp", "sign.bmp", "--snapshot", "pad.png"});
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  expect_in_order(control_part(r.out),
                  {"padctl: tallypad sign on COM31", "call SetPortNo(31) = 1",
                   "call TallySignReq(\"5000\", \"감사합니다\") = 1", "event OnSignSendInput", "call TallySignSend() = 1",
                   "event OnSignSendEvent", "call TallySignSendData(nEventRet -> 1) = [",
                   "call TallyGetSignBMP(\"sign.bmp\") = 1", "snapshot pad.png (256x128)", "padctl: sign done"});
  expect_in_order(pad_part(r.out), {"vpad: tallypad on COM31", " rx 02 00 37 A1 30 42", " tx 02 B1\n", " tx EA EA 03",
                                    " rx 02 00 02 A2 03 A3", " tx 02 ", " rx 02 00 02 04 03 05"});
  // Every point of the sample went out as its own record, then the enter record.
  const vpad::Points sample = vpad::sample_signature();
  EXPECT_EQ(lines_with(r.out, " tx ", " 03"), static_cast<int>(sample.size()) + 1);
  EXPECT_EQ(lines_with(r.out, " tx EA EA 03"), 1);
  EXPECT_EQ(dir.read("sign.bmp"), bitmap(tally_drawn(sample)));
  EXPECT_EQ(dir.read("pad.png").substr(1, 3), "PNG");
}

TEST(PadctlTallypad, SignsTheInkOfAGivenBitmapPixelForPixel) {
  TempDir dir;
  const signpad::PointImage ink = written_ink();
  dir.write("name.bmp", bitmap(ink));
  const auto r = pad_and_control(dir, "tallypad", 32, {"--signature", "name.bmp", "--pace", "2"},
                                 {"sign", "12000", "--bmp", "signed.bmp"});
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_EQ(r.err.find("warning"), std::string::npos) << r.err;
  EXPECT_EQ(dir.read("signed.bmp"), bitmap(ink));
}

TEST(PadctlTallypad, PinAndEncryptedPin) {
  TempDir dir;
  auto r = pad_and_control(dir, "tallypad", 33, {"--pin", "4321"}, {"pin", "1000", "PIN"});
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  expect_in_order(control_part(r.out), {"call TallyGetPin(\"1000\", \"PIN\") = 1", "event OnPinEvent",
                                        "call TallyGetPinData(nEventRet -> 1) = [", "padctl: pin done"});
  expect_in_order(pad_part(r.out), {" rx 02 00 4B A3 31 32 30 31 30 30 30 20", " tx 02 00 06 B3 34 33 32 31 03"});
  // The answer's bytes after its code: the digits first.
  EXPECT_EQ(shown_bytes(r.out, "call TallyGetPinData").substr(0, 11), "34 33 32 31") << r.out;

  r = pad_and_control(dir, "tallypad", 33, {"--pin", "4321"}, {"pinenc", "9410123412341234", "1000", "PIN"});
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  const std::string block =
      signpad::tally::pin_block_hex("4321", "9410123412341234", *signpad::key_from_hex(signpad::kTallypadKey));
  std::string shown;
  for (const char c : block) shown += " " + signpad::hex_upper(std::vector<std::uint8_t>{static_cast<std::uint8_t>(c)});
  expect_in_order(control_part(r.out),
                  {"event OnPinEncEvent", "call TallyGetPinEncData(nEventRet -> 1) = [", "padctl: pinenc done"});
  EXPECT_EQ(" " + shown_bytes(r.out, "call TallyGetPinEncData").substr(0, shown.size() - 1), shown) << r.out;
}

TEST(PadctlTallypad, ACancelOnThePadFailsTheSignature) {
  TempDir dir;
  ListeningPad pad(dir, "tallypad", 34, {"--manual"});
  ASSERT_TRUE(pad.ready()) << pad.pad.printed();
  auto padctl = control(dir, pad, "tallypad", 34, {"sign", "5000", "--bmp", "sign.bmp"});
  ASSERT_TRUE(pad.pad.wait_for(" tx 02 B1", 30000)) << pad.pad.printed();
  pad.pad.type("clear");
  pad.pad.type("cancel");
  EXPECT_EQ(padctl->wait(30000), 1);
  expect_in_order(padctl->printed(), {"event OnSignSendCancel", "padctl: sign failed: OnSignSendCancel"});
  EXPECT_EQ(padctl->printed().find("TallySignSend()"), std::string::npos);
  EXPECT_FALSE(dir.exists("sign.bmp"));
  EXPECT_TRUE(pad.pad.wait_for(" tx EC EC 03", 5000));
  pad.pad.type("quit");
  EXPECT_EQ(pad.pad.wait(10000), 0);
  // vpad may send the clear before it reads the cancel: each piece follows
  // its own command, and the clear goes out first.
  expect_in_order(pad.pad.printed(), {"vpad: clear: 1 piece to send", " tx EE EE 03", " tx EC EC 03"});
  expect_in_order(pad.pad.printed(), {"vpad: cancel: 1 piece to send", " tx EC EC 03"});
}

TEST(PadctlTallypad, InitAnswersAndASilentPad) {
  TempDir dir;
  auto r = pad_and_control(dir, "tallypad", 35, {}, {"init"});
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  expect_in_order(control_part(r.out), {"call TallyPadInit() = 1", "event OnPadInitEvent", "call TallyPadInitData(nEventRet -> 1)"});
  expect_in_order(pad_part(r.out), {" rx 02 00 04 A0 30 37 03 A0", " tx 02 00 0B 06 50 41 44"});
  // The answer code first, then the pad's version text.
  EXPECT_EQ(shown_bytes(r.out, "call TallyPadInitData").substr(0, 29), "06 50 41 44 20 56 31 2E 30 30") << r.out;
  r = pad_and_control(dir, "tallypad", 35, {"--init", "esc"}, {"init"});
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_EQ(shown_bytes(r.out, "call TallyPadInitData").substr(0, 5), "1B 50") << r.out;

  // tallypad has no time-out of its own: padctl's ends the wait.
  r = pad_and_control(dir, "tallypad", 35, {"--init", "silent"}, {"init", "--timeout", "1500"});
  EXPECT_EQ(r.exit_code, 1) << r.out << r.err;
  EXPECT_EQ(r.out.find("event "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" rx 02 00 04 A0 30 37 03 A0"), std::string::npos) << r.out;
  EXPECT_EQ(lines_with(r.out, " tx "), 0) << r.out;
  EXPECT_NE(r.out.find("padctl: init: no end within 1500 ms"), std::string::npos) << r.out;
}

TEST(PadctlTallypad, CardReaderRequestsAndTheirCancel) {
  TempDir dir;
  auto r = pad_and_control(dir, "tallypad", 36, {"--card-answer", "3132333435"}, {"card", "0000001", "SITE01"});
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  expect_in_order(control_part(r.out), {"call TallyGetDongleCard(\"0000001\", \"SITE01\") = 1", "event OnDongleCardEvent",
                                        "call TallyGetDongleCardData(nEventRet -> 1) = [", "31 32 33 34 35",
                                        "padctl: card done"});
  // The control acknowledges the answer with a lone ACK.
  expect_in_order(pad_part(r.out), {" rx 6B 00 00 14 0A 30 30 30 30 30 30 31 53 49 54 45 30 31", " tx 06\n",
                                    " tx 6B 00 00 ", " rx 06\n"});

  r = pad_and_control(dir, "tallypad", 36, {}, {"donglecancel"});
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  expect_in_order(control_part(r.out), {"call TallyDongleCancel() = 1", "padctl: donglecancel done"});
  expect_in_order(pad_part(r.out), {" rx 6B 00 00 00 0C", " tx 06\n", " tx 6B 00 00 00 1C", " rx 06\n"});
}

}  // namespace
}  // namespace pink::testkit
