// The tallypad control end to end through the automation C interface,
// against the virtual tallypad on a virtual serial port: init answers and
// silence, a signature to a bitmap file with its data and the window's
// picture, the pad's clear and cancel, PINs, the card reader, the port and
// speed settings, a failed open, and the members' contracts on bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "signpad/capture.h"
#include "signpad/frame.h"
#include "signpad/pad_keys.h"
#include "signpad/tallypad_device.h"
#include "signpad/tallypad_protocol.h"
#include "tests/signpad_tallypad/harness.h"
#include "tools/testkit/testkit.h"

namespace pink::signpad::tally {
namespace {

using namespace std::string_literals;
using testing::Control;
using testing::Picture;
using testing::read_file;
using testing::read_png;
using testing::VirtualPad;

const std::string kThanksUtf8 = "감사합니다";
const std::string kThanks = "\xB0\xA8\xBB\xE7\xC7\xD5\xB4\xCF\xB4\xD9";  // the same in cp949

std::string str(const Bytes& b) { return std::string(b.begin(), b.end()); }

std::string req(Mode mode, std::vector<std::string> args = {}) {
  std::vector<std::string_view> views(args.begin(), args.end());
  return str(*request_frame(mode, views));
}

PadScript signing(std::vector<std::pair<int, int>> points, bool automatic = true) {
  PadScript s;
  s.signature = std::move(points);
  s.point_interval_ms = 2;
  s.sign_automatically = automatic;
  return s;
}

TEST(TallypadControlE2E, InitIsAnsweredWithAckOrEscAndSilenceLeavesItWaiting) {
  PadScript esc, silent;
  esc.init = PadScript::Init::Esc;
  silent.init = PadScript::Init::Silent;
  VirtualPad ack_pad(31, PadScript{}), esc_pad(32, esc), silent_pad(33, silent);
  Control c;
  ASSERT_NE(c.object(), nullptr);

  EXPECT_EQ(c.call_number("SetPortNo", PINK_I2, 31), 1);
  EXPECT_EQ(c.call("TallyPadInit"), 1);
  ASSERT_TRUE(c.wait_event("OnPadInitEvent"));
  EXPECT_EQ(ack_pad.received(), req(Mode::Init));
  Control::Data d = c.data("TallyPadInitData");
  EXPECT_EQ(d.type, PINK_BYTES);
  EXPECT_EQ(d.event_ret, 1);
  EXPECT_EQ(str(d.bytes), "\x06PAD V1.00\x03"s);
  EXPECT_EQ(c.data("TallyPadInitData").bytes, d.bytes);  // asked again: the same
  // Another request's data: nothing, and the init data is no longer ready.
  const Control::Data other = c.data("TallyGetPinData");
  EXPECT_EQ(other.type, PINK_EMPTY);
  EXPECT_EQ(other.event_ret, 0);
  d = c.data("TallyPadInitData");
  EXPECT_EQ(d.type, PINK_EMPTY);
  EXPECT_EQ(d.event_ret, 0);

  // ESC completes like ACK and comes first in the data.
  c.call_number("SetPortNo", PINK_I2, 32);
  EXPECT_EQ(c.call("TallyPadInit"), 1);
  ASSERT_TRUE(c.wait_event("OnPadInitEvent", 2));
  d = c.data("TallyPadInitData");
  EXPECT_EQ(d.event_ret, 1);
  EXPECT_EQ(str(d.bytes), "\x1BPAD V1.00\x03"s);

  // No answer: the request went out, nothing fires and no time-out ends it.
  c.call_number("SetPortNo", PINK_I2, 33);
  EXPECT_EQ(c.call("TallyPadInit"), 1);
  ASSERT_TRUE(silent_pad.wait_received(8));
  c.pump_for(300);
  EXPECT_EQ(silent_pad.received(), req(Mode::Init));
  EXPECT_EQ(c.count("OnPadInitEvent"), 2);
  EXPECT_EQ(c.data("TallyPadInitData").event_ret, 0);
}

TEST(TallypadControlE2E, SignatureToBitmapFileWithItsDataAndTheWindowsPicture) {
  const std::vector<std::pair<int, int>> points{{10, 20}, {11, 20}, {12, 21}, {0, 5},
                                                {3, 3},   {8, 1},   {64, 32}, {127, 63}};
  VirtualPad pad(34, signing(points));
  testkit::TempDir dir;
  Control c;
  c.call_number("SetPortNo", PINK_I2, 34);

  EXPECT_EQ(c.call("TallySignReq", {"5000", kThanksUtf8}), 1);
  ASSERT_TRUE(c.wait_event("OnSignSendInput"));
  EXPECT_EQ(pad.received(), req(Mode::Sign, {"5000", kThanks}));
  // The signature data has not arrived: no bitmap, no data.
  EXPECT_EQ(c.call("TallyGetSignBMP", {dir.file("early.bmp")}), 0);
  EXPECT_FALSE(dir.exists("early.bmp"));
  EXPECT_EQ(c.data("TallySignSendData").event_ret, 0);

  // The window: each point a circle at double scale; x 0 draws nothing.
  ASSERT_TRUE(c.snapshot(dir.file("live.png"), 256, 128));
  const Picture live = read_png(dir.file("live.png"));
  ASSERT_EQ(live.width, 256);
  EXPECT_TRUE(live.ink(21, 41));    // (10, 20): box (18, 38) - (24, 44)
  EXPECT_TRUE(live.ink(129, 65));   // (64, 32)
  EXPECT_TRUE(live.ink(253, 125));  // (127, 63)
  EXPECT_FALSE(live.ink(2, 11));    // (0, 5) would cover it
  EXPECT_FALSE(live.ink(60, 60));
  // A larger window centres the pad's area.
  ASSERT_TRUE(c.snapshot(dir.file("wide.png"), 356, 228));
  const Picture wide = read_png(dir.file("wide.png"));
  EXPECT_TRUE(wide.ink(50 + 21, 50 + 41));
  EXPECT_FALSE(wide.ink(21, 41));

  EXPECT_EQ(c.call("TallySignSend"), 1);
  ASSERT_TRUE(c.wait_event("OnSignSendEvent"));
  const Control::Data d = c.data("TallySignSendData");
  EXPECT_EQ(d.event_ret, 1);
  const Bytes answer_frame = frame(kAnswerSignData, signature_data(kTallypadKey, points));
  Bytes want(answer_frame.begin() + 4, answer_frame.end());  // the data, ETX and LRC
  std::replace(want.begin(), want.end(), std::uint8_t{0}, std::uint8_t{' '});
  EXPECT_EQ(d.bytes, want);
  EXPECT_EQ(std::count(d.bytes.begin(), d.bytes.end(), 0), 0);
  // The answer was acknowledged.
  const std::string sent = req(Mode::Sign, {"5000", kThanks}) + req(Mode::SignSend) + "\x02\x00\x02\x04\x03\x05"s;
  ASSERT_TRUE(pad.wait_received(sent.size()));
  EXPECT_EQ(pad.received(), sent);

  ASSERT_EQ(c.call("TallyGetSignBMP", {dir.file("sign.bmp")}), 1);
  PointImage image{};
  for (const auto& [x, y] : points) {
    if (x != 0 && y != 0) set_tally_point(image, x, y);
  }
  const std::string bmp = read_file(dir.file("sign.bmp"));
  const BitmapFile want_file = bitmap_file(image);
  EXPECT_EQ(bmp, std::string(want_file.begin(), want_file.end()));
  ASSERT_EQ(bmp.size(), 1086u);
  EXPECT_EQ(static_cast<std::uint8_t>(bmp[62 + 1008 + 1]) & 0x80, 0);  // (8, 1), inked
  EXPECT_EQ(static_cast<std::uint8_t>(bmp[62 + 1008 + 2]), 0xFF);
  EXPECT_EQ(c.call("TallyGetSignBMP", {dir.file("no/such/folder/sign.bmp")}), 0);
  // The window still shows the points: nothing repainted it.
  ASSERT_TRUE(c.snapshot(dir.file("after.png"), 256, 128));
  EXPECT_TRUE(read_png(dir.file("after.png")).ink(21, 41));
}

TEST(TallypadControlE2E, ThePadsClearAndCancelEmptyTheImageAndTheWindow) {
  VirtualPad pad(35, signing({{20, 20}, {21, 21}}, false));
  testkit::TempDir dir;
  Control c;
  c.call_number("SetPortNo", PINK_I2, 35);
  ASSERT_TRUE(c.snapshot(dir.file("blank.png"), 256, 128));
  const int frame_only = read_png(dir.file("blank.png")).ink_count();
  EXPECT_EQ(frame_only, 2 * 256 + 2 * 126);  // the rectangle's outline

  ASSERT_EQ(c.call("TallySignReq", {"100", "sign"}), 1);
  ASSERT_TRUE(pad.wait_received(59));
  ASSERT_TRUE(pad.command("sign"));
  ASSERT_TRUE(c.wait_event("OnSignSendInput"));
  ASSERT_TRUE(c.snapshot(dir.file("signed.png"), 256, 128));
  EXPECT_TRUE(read_png(dir.file("signed.png")).ink(41, 41));

  pad.command("clear");
  pad.command("enter");
  ASSERT_TRUE(c.wait_event("OnSignSendInput", 2));
  ASSERT_TRUE(c.snapshot(dir.file("cleared.png"), 256, 128));
  EXPECT_EQ(read_png(dir.file("cleared.png")).ink_count(), frame_only);
  // The pad sends an empty signature: nEventRet -1, its zero bytes as spaces.
  ASSERT_EQ(c.call("TallySignSend"), 1);
  ASSERT_TRUE(c.wait_event("OnSignSendEvent"));
  const Control::Data d = c.data("TallySignSendData");
  EXPECT_EQ(d.event_ret, -1);
  ASSERT_GE(d.bytes.size(), 18u);
  EXPECT_EQ(d.bytes[16], ' ');
  EXPECT_EQ(d.bytes[17], ' ');
  ASSERT_EQ(c.call("TallyGetSignBMP", {dir.file("empty.bmp")}), 1);
  const std::string empty = read_file(dir.file("empty.bmp"));
  EXPECT_EQ(empty.substr(62), std::string(1024, '\xFF'));

  // Cancelled on the pad: the event, the image and the window emptied.
  ASSERT_EQ(c.call("TallySignReq", {"100", "sign"}), 1);
  ASSERT_TRUE(pad.wait_received(59 + 6 + 6 + 59));
  pad.command("sign");
  ASSERT_TRUE(c.wait_event("OnSignSendInput", 3));
  pad.command("cancel");
  ASSERT_TRUE(c.wait_event("OnSignSendCancel"));
  ASSERT_TRUE(c.snapshot(dir.file("cancelled.png"), 256, 128));
  EXPECT_EQ(read_png(dir.file("cancelled.png")).ink_count(), frame_only);
  EXPECT_EQ(c.call("TallyGetSignBMP", {dir.file("cancelled.bmp")}), 0);
}

TEST(TallypadControlE2E, PinAndEncryptedPin) {
  PadScript typing;
  typing.pin = "4321";
  PadScript manual = typing;
  manual.sign_automatically = false;
  VirtualPad pad(36, typing), slow(37, manual);
  Control c;
  c.call_number("SetPortNo", PINK_I2, 36);

  ASSERT_EQ(c.call("TallyGetPin", {"5000", ""}), 1);
  ASSERT_TRUE(c.wait_event("OnPinEvent"));
  Control::Data d = c.data("TallyGetPinData");
  EXPECT_EQ(d.event_ret, 1);
  EXPECT_EQ(str(d.bytes).substr(0, 5), "4321\x03"s);
  const std::string pin_sent = req(Mode::Pin, {"5000", ""}) + "\x02\x00\x02\x04\x03\x05"s;
  ASSERT_TRUE(pad.wait_received(pin_sent.size()));
  EXPECT_EQ(pad.received(), pin_sent);

  ASSERT_EQ(c.call("TallyGetPinEnc", {"9410123412341234", "5000", "비밀번호"}), 1);
  ASSERT_TRUE(c.wait_event("OnPinEncEvent"));
  d = c.data("TallyGetPinEncData");
  EXPECT_EQ(d.event_ret, 1);
  EXPECT_EQ(str(d.bytes).substr(0, 16), pin_block_hex("4321", "9410123412341234", *key_from_hex(kTallypadKey)));
  EXPECT_EQ(c.data("TallyGetPinData").event_ret, 0);  // not the last request

  // The customer takes a while: nothing fires until the PIN is entered.
  c.call_number("SetPortNo", PINK_I2, 37);
  ASSERT_EQ(c.call("TallyGetPin", {"5000", ""}), 1);
  c.pump_for(150);
  EXPECT_EQ(c.count("OnPinEvent"), 1);
  ASSERT_TRUE(slow.command("pin 8888"));
  ASSERT_TRUE(c.wait_event("OnPinEvent", 2));
  EXPECT_EQ(str(c.data("TallyGetPinData").bytes).substr(0, 4), "8888");
}

TEST(TallypadControlE2E, CardReaderRequestsTheirDataAndAcknowledgements) {
  PadScript s;
  s.card_answer = {'C', 'A', 'R', 'D', 0x00, '1'};
  VirtualPad pad(38, s);
  Control c;
  c.call_number("SetPortNo", PINK_I2, 38);
  // Each request TallyGetDongle<kind>, its data member and its event OnDongle<kind>Event.
  struct Row {
    std::string kind;
    std::vector<std::string> args;
    Mode mode;
  };
  const Row rows[] = {
      {"Card", {"0000001", "SITE01"}, Mode::DongleCard},
      {"Member", {"1", "S", "A1B2"}, Mode::DongleMember},
      {"Debit", {"1", "S", "0D0D"}, Mode::DongleDebit},
      {"Ticket", {"1", "S", "8080"}, Mode::DongleTicket},
      {"Gift", {"1", "S", "6060"}, Mode::DongleGift},
      {"Sports", {"1", "S", "C0C0"}, Mode::DongleSports},
      {"Cash", {"1", "S", "E0E0"}, Mode::DongleCash},
      {"CardMember", {"1", "S", "0B0B", "2020"}, Mode::DongleCardMember},
      {"LogOn", {"SITE01"}, Mode::DongleLogOn},
  };
  for (const Row& r : rows) {
    const std::string request = "TallyGetDongle" + r.kind;
    SCOPED_TRACE(request);
    const std::size_t before = pad.received().size();
    ASSERT_EQ(c.call(request.c_str(), r.args), 1);
    ASSERT_TRUE(c.wait_event("OnDongle" + r.kind + "Event"));
    const Control::Data d = c.data((request + "Data").c_str());
    EXPECT_EQ(d.event_ret, 1);
    EXPECT_EQ(d.bytes, s.card_answer);  // zero bytes stay as they are
    const std::string sent = req(r.mode, r.args) + "\x06";
    ASSERT_TRUE(pad.wait_received(before + sent.size()));
    EXPECT_EQ(pad.received().substr(before), sent);
  }

  std::size_t before = pad.received().size();
  const std::string info = "01" + std::string("4518CARD        ");
  ASSERT_EQ(c.call("TallySetDongleCardInfo", {"SITE01", info}), 1);
  ASSERT_TRUE(c.wait_event("OnDongleCardInfoEvent"));
  ASSERT_TRUE(pad.wait_received(before + 16 + 18 + 1));
  EXPECT_EQ(pad.received().substr(before), req(Mode::DongleCardInfo, {"SITE01", info}) + "\x06");

  // The card reader's cancel: acknowledged, no event.
  const std::size_t events = c.events().size();
  before = pad.received().size();
  ASSERT_EQ(c.call("TallyDongleCancel"), 1);
  ASSERT_TRUE(c.pump_until([&] { return pad.received().size() >= before + 7; }));
  c.pump_for(100);
  EXPECT_EQ(pad.received().substr(before), "k\x00\x00\x00\x0C\x67\x06"s);
  EXPECT_EQ(c.events().size(), events);

  // Arguments that make no frame: refused, nothing sent.
  before = pad.received().size();
  EXPECT_EQ(c.call("TallyGetDongleMember", {"1", "S", "ZZ"}), 0);
  EXPECT_EQ(c.call("TallySetDongleCardInfo", {"SITE01", "03" + std::string(40, 'x')}), 0);
  c.pump_for(100);
  EXPECT_EQ(pad.received().size(), before);
}

TEST(TallypadControlE2E, PortNumberAndSpeedRules) {
  VirtualPad pad(39, PadScript{});
  Control c;
  EXPECT_EQ(c.call_number("SetPortNo", PINK_I2, 0), 0);
  EXPECT_EQ(c.call_number("SetPortNo", PINK_I4, -2), 0);
  EXPECT_EQ(c.call_number("SetPortNo", PINK_I2, 39), 1);
  EXPECT_EQ(c.call_number("SetBaudRate", PINK_I4, 4800), 0);  // refused: 38400 stays
  ASSERT_EQ(c.call("TallyPadInit"), 1);
  ASSERT_TRUE(c.wait_event("OnPadInitEvent"));
  EXPECT_EQ(pad.port().line().baud, 38400u);

  EXPECT_EQ(c.call_number("SetBaudRate", PINK_I4, 28800), 1);  // opens at 115200
  ASSERT_EQ(c.call("TallyPadInit"), 1);
  ASSERT_TRUE(c.wait_event("OnPadInitEvent", 2));
  EXPECT_EQ(pad.port().line().baud, 115200u);

  EXPECT_EQ(c.call_number("SetBaudRate", PINK_I2, 9600), 1);
  ASSERT_EQ(c.call("TallyPadInit"), 1);
  ASSERT_TRUE(c.wait_event("OnPadInitEvent", 3));
  EXPECT_EQ(pad.port().line().baud, 9600u);

  // 128000 is taken as it is; a Linux port has no such rate, so the open fails.
  EXPECT_EQ(c.call_number("SetBaudRate", PINK_I4, 128000), 1);
  EXPECT_EQ(c.call("TallyPadInit"), 0);
  EXPECT_EQ(c.data("TallyPadInitData").event_ret, 0);
  EXPECT_EQ(c.call_number("SetBaudRate", PINK_I4, 57600), 1);
  ASSERT_EQ(c.call("TallyPadInit"), 1);
  ASSERT_TRUE(c.wait_event("OnPadInitEvent", 4));
  EXPECT_EQ(pad.port().line().baud, 57600u);
}

TEST(TallypadControlE2E, AFailedOpenLeavesNoExchangeAndTheNextRequestTriesAgain) {
  testkit::TempDir dir;
  testkit::ScopedEnv missing("PINK_COM40", dir.file("no-such-port"));
  Control c;
  c.call_number("SetPortNo", PINK_I2, 40);
  EXPECT_EQ(c.call("TallyPadInit"), 0);
  EXPECT_EQ(c.call("TallySignReq", {"1", "m"}), 0);
  const Control::Data d = c.data("TallyPadInitData");
  EXPECT_EQ(d.type, PINK_EMPTY);
  EXPECT_EQ(d.event_ret, 0);

  // The port appears: the same control finds it at the next request.
  VirtualPad pad(40, PadScript{});
  ASSERT_EQ(c.call("TallyPadInit"), 1);
  ASSERT_TRUE(c.wait_event("OnPadInitEvent"));
  EXPECT_EQ(c.data("TallyPadInitData").event_ret, 1);
}

TEST(TallypadControlE2E, ARequestEndsTheOpenExchangeEvenFromInsideAnEvent) {
  VirtualPad pad(41, signing({{30, 30}, {31, 31}}));
  Control c;
  c.call_number("SetPortNo", PINK_I2, 41);
  // The host asks for the signature data as soon as enter is pressed: the
  // request runs inside the event and closes the signing exchange.
  int sign_send = -1;
  c.on_fired = [&](const std::string& name) {
    if (name == "OnSignSendInput") sign_send = c.call("TallySignSend");
  };
  ASSERT_EQ(c.call("TallySignReq", {"1", "m"}), 1);
  ASSERT_TRUE(c.wait_event("OnSignSendEvent"));
  EXPECT_EQ(sign_send, 1);
  const Control::Data d = c.data("TallySignSendData");
  EXPECT_EQ(d.event_ret, 1);
  EXPECT_EQ(d.bytes[17], 2);  // both points

  // Cancelled on the pad, the host asks the pad to start again at once: the
  // control has closed the signing exchange before the event, so the new
  // one stays open and completes.
  c.on_fired = [&](const std::string& name) {
    if (name == "OnSignSendCancel") c.call("TallyPadInit");
  };
  ASSERT_EQ(c.call("TallySignReq", {"1", "m"}), 1);
  ASSERT_TRUE(c.wait_event("OnSignSendInput", 2));
  pad.command("cancel");
  ASSERT_TRUE(c.wait_event("OnPadInitEvent"));
  EXPECT_EQ(c.data("TallyPadInitData").event_ret, 1);

  // A request while the pad waits: the port is closed and opened afresh.
  c.on_fired = nullptr;
  ASSERT_EQ(c.call("TallySignReq", {"1", "m"}), 1);
  ASSERT_EQ(c.call("TallyPadInit"), 1);
  ASSERT_TRUE(c.wait_event("OnPadInitEvent", 2));
  EXPECT_EQ(c.data("TallyPadInitData").event_ret, 1);
}

TEST(TallypadControlE2E, AnAnswerLongerThanTheReceiveBufferArrivesWhole) {
  testkit::VirtualPort port(42);
  Control c;
  c.call_number("SetPortNo", PINK_I2, 42);
  ASSERT_EQ(c.call("TallySignSend"), 1);
  EXPECT_EQ(port.read_exact(6, 3000), req(Mode::SignSend));
  Bytes data(3000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i % 251);
  const Bytes answer = frame(kAnswerSignData, data);
  port.write(str(answer));
  ASSERT_TRUE(c.wait_event("OnSignSendEvent"));
  const Control::Data d = c.data("TallySignSendData");
  ASSERT_EQ(d.bytes.size(), data.size() + 2);
  EXPECT_EQ(d.event_ret, 1);
  EXPECT_EQ(d.bytes[0], ' ');  // zero
  EXPECT_EQ(d.bytes[2999], 2999 % 251);
  EXPECT_EQ(port.read_exact(6, 3000), "\x02\x00\x02\x04\x03\x05"s);

  // An answer too short to hold the point count is an empty signature; the
  // bitmap still comes from the (empty) point image.
  ASSERT_EQ(c.call("TallySignSend"), 1);
  EXPECT_EQ(port.read_exact(6, 3000), req(Mode::SignSend));
  port.write(str(frame(kAnswerSignData, Bytes{'1', '2', '3', '4', '5'})));
  ASSERT_TRUE(c.wait_event("OnSignSendEvent", 2));
  const Control::Data short_answer = c.data("TallySignSendData");
  EXPECT_EQ(short_answer.event_ret, -1);
  EXPECT_EQ(short_answer.bytes.size(), 7u);
}

TEST(TallypadControlE2E, MembersKeepTheirContractsOnBadInput) {
  Control c;
  pink_object* o = c.object();
  // Both ProgIDs and the member table.
  pink_object* other = pink_create("tallypad.tallypadctrl");
  ASSERT_NE(other, nullptr);
  pink_release(other);
  EXPECT_EQ(pink_dispid(o, "TallyGetDongleGift"), 30);
  EXPECT_EQ(pink_dispid(o, "tallygetdonglegiftdata"), 21);
  EXPECT_EQ(pink_dispid(o, "SetBaudRate"), 32);
  EXPECT_EQ(pink_dispid(o, "OnPadInitEvent"), -1);

  pink_value result{};
  pink_value by_value{PINK_I2, 0, nullptr, nullptr, 0, 0};
  EXPECT_EQ(pink_invoke(o, 3, PINK_METHOD, &by_value, 1, &result), PINK_E_TYPE);  // nEventRet is an out-argument
  pink_value as_long{PINK_I4, 7, nullptr, nullptr, 0, 1};
  EXPECT_EQ(pink_invoke(o, 3, PINK_METHOD, &as_long, 1, &result), PINK_OK);
  EXPECT_EQ(as_long.num, 0);
  EXPECT_EQ(result.type, PINK_EMPTY);
  pink_value no_text{PINK_STR, 0, nullptr, nullptr, 0, 0};
  EXPECT_EQ(pink_invoke(o, 10, PINK_METHOD, &no_text, 1, &result), PINK_OK);  // TallyGetSignBMP(NULL)
  EXPECT_EQ(result.num, 0);

  testkit::TempDir dir;
  EXPECT_FALSE(c.snapshot(dir.file("zero.png"), 0, 10));
  EXPECT_FALSE(c.snapshot(dir.file("huge.png"), 100000, 10));
  EXPECT_FALSE(c.snapshot(dir.file("missing/folder.png"), 10, 10));
  EXPECT_TRUE(c.snapshot(dir.file("tiny.png"), 1, 1));
}

}  // namespace
}  // namespace pink::signpad::tally
