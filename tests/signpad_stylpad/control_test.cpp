// The stylpad control end to end through the automation C interface, against
// the virtual pad on a virtual port: a signature to a bitmap file, the
// operator's and the host's actions while signing, a PIN, cancels, the init
// watch, the error reports, the logs and the window's picture.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "platform/text.h"
#include "signpad/stylpad_control.h"
#include "signpad/stylpad_device.h"
#include "tests/signpad_stylpad/harness.h"
#include "tests/signpad_stylpad/picture.h"
#include "tools/testkit/testkit.h"

namespace pink::signpad::styl {
namespace {

using testing::Control;
using testing::i4;
using testing::PadLoop;
using testing::text;

std::string as_text(std::span<const std::uint8_t> b) { return std::string(b.begin(), b.end()); }
std::string utf8(std::string_view cp949) { return pink::text::cp949_to_utf8(cp949); }
std::string utf8(Error e) { return utf8(error_text(e)); }

int occurrences(const std::string& hay, const std::string& needle) {
  int n = 0;
  for (auto at = hay.find(needle); at != std::string::npos; at = hay.find(needle, at + 1)) ++n;
  return n;
}

// A control with its own folder for logs, images and the signature copy.
struct Bench {
  testkit::TempDir work;
  testkit::ScopedEnv copy_folder{"PINK_STYLPAD_SIGNDATA", work.file("SIGNDATA")};
  Control pad;
  std::string logs() const { return work.path() + "/"; }
  std::int32_t open_sign(int port, const std::string& amount = "50000") {
    return pad.num("OpenSign", {text(logs()), i4(port), text(amount)});
  }
  std::int32_t open_pin(int port) { return pad.num("OpenPinpad", {text(logs()), i4(port)}); }
};

PadScript script(bool automatic, PadScript::Init init = PadScript::Init::Answer) {
  PadScript s;
  s.signature = testing::sample_signature();
  s.point_interval_ms = 2;
  s.sign_automatically = automatic;
  s.init = init;
  return s;
}

TEST(StylpadControl, SignatureOnThePadBecomesTheBitmapTheSignatureStringAndItsCopy) {
  testkit::VirtualPort port(3);
  PadLoop device(port, make_stylpad_device(script(true)));
  Bench b;
  ASSERT_NE(b.pad.object(), nullptr);
  EXPECT_EQ(b.pad.num("SetImgName", {text(b.work.file("sign"))}), 0);
  ASSERT_EQ(b.open_sign(3), 0);
  EXPECT_EQ(b.pad.num("checkConfirm"), 0);
  ASSERT_TRUE(b.pad.pump_until_event("GetOCXMsg"));

  ASSERT_EQ(b.pad.events().size(), 2u);
  EXPECT_EQ(b.pad.events()[0].name, "readyTOsignAction");
  EXPECT_EQ(b.pad.events()[0].texts, std::vector<std::string>{"SIGN"});
  EXPECT_EQ(b.pad.events()[1].texts, std::vector<std::string>{"DoneSign"});
  EXPECT_EQ(b.pad.num("GetRtnVal"), 1);

  const BitmapFile expected = bitmap_file(image_of(testing::sample_signature()));
  EXPECT_EQ(testing::read_file(b.work.file("sign.bmp")), as_text(expected));
  EXPECT_EQ(testing::read_file(b.work.file("SIGNDATA/signtemp.bmp")), as_text(expected));
  EXPECT_EQ(b.pad.str("GetSigndata"),
            styl2_string(std::span(expected).subspan<kBitmapHeaderBytes, kImageBytes>()));

  // What the pad was sent: init, then the sign request with the amount.
  const Bytes request = build(kSignRequest, {sign_key_text(), "50000", "04"});
  EXPECT_EQ(device.received(), as_text(kInitFrame) + as_text(request));

  const std::string comm = testing::read_logs(b.work.path(), "comm_log");
  EXPECT_EQ(comm.substr(0, 1), "[");
  EXPECT_EQ(comm.substr(9, 31), "]-[02][00][04][a0]11[03][a7]\r\n[");
  EXPECT_EQ(occurrences(comm, "\r\n"), 3 + 60 + 1);  // init, ACK, the request, the points, the data
  EXPECT_EQ(occurrences(comm, "-[02][00][02][06][03][07]\r\n"), 1);
  EXPECT_EQ(occurrences(comm, "-[02][b1]"), 60);
  const std::string result = testing::read_logs(b.work.path(), "result");
  for (const char* line : {"CStylpadCtrl::Init_SignPad\r\n", "OnTimer_ID_EVENT_READ [1] \r\n",
                           "CStylpadCtrl::proc_svc\r\n", "CStylpadCtrl::file_write\r\n",
                           "CStylpadCtrl::EXIT_SIGNPAD\r\n"}) {
    EXPECT_NE(result.find(line), std::string::npos) << line;
  }

  // The window: white, the status text at the top left, no dots any more.
  ASSERT_EQ(pink_snapshot(b.pad.object(), b.work.file("done.png").c_str(), 256, 128), 0);
  const auto picture = testing::read_png(b.work.file("done.png"));
  ASSERT_EQ(picture.width, 256);
  EXPECT_LT(picture.count(kWhite, 0, 0, 200, 40), 200 * 40);
  EXPECT_EQ(picture.count(kDotColour, 0, 0, 256, 128), 0);
  EXPECT_EQ(picture.count(kWhite, 0, 40, 256, 128), 256 * 88);

  // The job was released: the next one starts.
  EXPECT_EQ(b.open_sign(3), 0);
  EXPECT_EQ(b.pad.str("GetSigndata"), "");
  EXPECT_TRUE(b.pad.pump_until([&] { return b.pad.count("GetOCXMsg") == 2; }, 10000));
}

TEST(StylpadControl, HostAcceptsClearsAndSeesThePenPointsWhileTheCustomerSigns) {
  testkit::VirtualPort port(4);
  PadLoop device(port, make_stylpad_device(script(false)));
  Bench b;
  b.pad.num("SetImgName", {text(b.work.file("sign.bmp"))});
  ASSERT_EQ(b.open_sign(4), 0);
  std::int32_t amount = 70000;
  pink_value byref{PINK_I4, amount, nullptr, nullptr, 0, 1};
  EXPECT_TRUE(b.pad.call("setamt", {byref}));
  ASSERT_TRUE(b.pad.pump_until_event("readyTOsignAction"));
  const std::string request = as_text(build(kSignRequest, {sign_key_text(), "70000", "04"}));
  EXPECT_TRUE(testkit::wait_until([&] { return device.received().find(request) != std::string::npos; }, 5000));

  // Nothing drawn yet: AcceptSign sends nothing.
  EXPECT_EQ(b.pad.num("AcceptSign"), 0);
  const std::string snap = b.work.file("live.png");
  auto dot_at = [&](int x, int y) {
    pink_snapshot(b.pad.object(), snap.c_str(), 300, 150);
    return testing::read_png(snap).at(2 * x, 2 * y) == kDotColour;
  };
  const auto points = testing::sample_signature();
  device.command("sign");
  ASSERT_TRUE(b.pad.pump_until([&] { return dot_at(points.back().first, points.back().second); }, 10000));
  EXPECT_TRUE(dot_at(points.front().first, points.front().second));
  EXPECT_TRUE(dot_at(points[30].first, points[30].second));

  // Clr: the pad is told, the list is emptied; AcceptSign finds nothing.
  EXPECT_EQ(b.pad.num("Clr"), 0);
  EXPECT_FALSE(dot_at(points.back().first, points.back().second));
  EXPECT_EQ(b.pad.num("AcceptSign"), 0);
  EXPECT_TRUE(b.pad.pump_until([&] { return device.received().find(as_text(kClearFrame)) != std::string::npos; },
                               5000));

  device.command("sign");
  ASSERT_TRUE(b.pad.pump_until([&] { return dot_at(points.back().first, points.back().second); }, 10000));
  EXPECT_EQ(b.pad.num("AcceptSign"), 2);
  EXPECT_EQ(b.pad.num("checkConfirm"), 3);
  ASSERT_TRUE(b.pad.pump_until_event("GetOCXMsg"));
  EXPECT_EQ(b.pad.last("GetOCXMsg")->texts[0], "DoneSign");
  EXPECT_EQ(testing::read_file(b.work.file("sign.bmp")), as_text(bitmap_file(image_of(points))));
  EXPECT_EQ(b.pad.count("errCode"), 0);
}

TEST(StylpadControl, CancelOnThePadAndNoSignEndTheJobWithoutASignature) {
  testkit::VirtualPort port(5);
  PadLoop device(port, make_stylpad_device(script(false)));
  Bench b;
  b.pad.num("SetImgName", {text(b.work.file("sign"))});
  ASSERT_EQ(b.open_sign(5), 0);
  ASSERT_TRUE(b.pad.pump_until_event("readyTOsignAction"));
  device.command("sign");
  device.command("cancel");
  ASSERT_TRUE(b.pad.pump_until_event("GetOCXMsg"));
  EXPECT_EQ(b.pad.last("GetOCXMsg")->texts[0], "");
  EXPECT_EQ(b.pad.num("GetRtnVal"), 0);
  EXPECT_EQ(b.pad.str("GetSigndata"), "");
  EXPECT_FALSE(b.work.exists("sign.bmp"));

  // NoSign: the pad confirms with BC and the job ends, SIGN_EMPTY.
  b.pad.forget_events();
  ASSERT_EQ(b.open_sign(5), 0);
  ASSERT_TRUE(b.pad.pump_until_event("readyTOsignAction"));
  EXPECT_EQ(b.pad.num("NoSign"), 0);
  ASSERT_TRUE(b.pad.pump_until_event("GetOCXMsg"));
  EXPECT_EQ(b.pad.last("GetOCXMsg")->texts[0], "SIGN_EMPTY");
  EXPECT_NE(device.received().find(as_text(kNoSignFrame)), std::string::npos);
  EXPECT_FALSE(b.work.exists("sign.bmp"));
}

TEST(StylpadControl, PinEnteredOnThePadBecomesPinpadValueAndItsPicture) {
  testkit::VirtualPort port(6);
  PadScript s = script(true);
  s.pin = "4321";
  PadLoop device(port, make_stylpad_device(s));
  Bench b;
  EXPECT_TRUE(b.pad.call("SetPinLen", {text("4")}));
  ASSERT_EQ(b.open_pin(6), 0);
  ASSERT_TRUE(b.pad.pump_until_event("GetOCXMsg"));
  ASSERT_EQ(b.pad.events().size(), 2u);
  EXPECT_EQ(b.pad.events()[0].texts, std::vector<std::string>{"PIN"});
  EXPECT_EQ(b.pad.events()[1].texts, std::vector<std::string>{"DonePinP"});
  EXPECT_EQ(b.pad.str("pinpadValue"), "4321");
  EXPECT_EQ(b.pad.num("GetRtnVal"), 2);
  EXPECT_EQ(device.received(), as_text(kInitFrame) + as_text(build(kPinRequest, {"", "", "04"})));

  ASSERT_EQ(pink_snapshot(b.pad.object(), b.work.file("pin.png").c_str(), 320, 640), 0);
  const auto picture = testing::read_png(b.work.file("pin.png"));
  EXPECT_EQ(picture.at(150, 300), (Rgb{0xDC, 0xE6, 0xF0}));
  EXPECT_EQ(picture.at(300, 300), kWhite);
  EXPECT_EQ(picture.at(150, 630), kWhite);

  // A later sign job repaints: the PIN picture is gone.
  ASSERT_EQ(b.open_sign(6), 0);
  ASSERT_EQ(pink_snapshot(b.pad.object(), b.work.file("pin.png").c_str(), 320, 640), 0);
  EXPECT_EQ(testing::read_png(b.work.file("pin.png")).at(150, 300), kWhite);
}

void expect_init_given_up(bool sign, int port_number) {
  testkit::VirtualPort port(port_number);
  PadLoop device(port, make_stylpad_device(script(true, PadScript::Init::Silent)));
  Bench b;
  const auto start = testing::Clock::now();
  ASSERT_EQ(sign ? b.open_sign(port_number) : b.open_pin(port_number), 0);
  ASSERT_TRUE(b.pad.pump_until_event("GetOCXMsg", 30000));
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(testing::Clock::now() - start);
  EXPECT_GE(elapsed.count(), 4000);  // the third init goes out 4 s after the first
  const Error error = sign ? Error::NoSignInitAnswer : Error::NoPinInitAnswer;
  ASSERT_EQ(b.pad.count("errCode"), 1);
  EXPECT_EQ(b.pad.last("errCode")->nums[0], sign ? 111 : 110);
  EXPECT_EQ(b.pad.last("errCode")->texts[0], utf8(error));
  EXPECT_EQ(b.pad.last("GetOCXMsg")->texts[0], utf8(error));
  EXPECT_EQ(b.pad.count("readyTOsignAction"), 0);
  const std::string three = as_text(kInitFrame) + as_text(kInitFrame) + as_text(kInitFrame);
  EXPECT_TRUE(testkit::wait_until([&] { return device.received() == three; }, 5000)) << device.received().size();
  EXPECT_EQ(occurrences(testing::read_logs(b.work.path(), "result"), "CStylpadCtrl::Init_SignPad"), 3);
}

TEST(StylpadControl, SignPadInitWithoutAnswerIsTriedThreeTimesThenGivenUpWith111) { expect_init_given_up(true, 7); }

TEST(StylpadControl, PinPadInitWithoutAnswerIsTriedThreeTimesThenGivenUpWith110) { expect_init_given_up(false, 8); }

TEST(StylpadControl, EscToInitEndsASignJobButLeavesAPinJobOpen) {
  testkit::VirtualPort port(9);
  PadLoop device(port, make_stylpad_device(script(true, PadScript::Init::Esc)));
  Bench b;
  ASSERT_EQ(b.open_sign(9), 0);
  ASSERT_TRUE(b.pad.pump_until_event("GetOCXMsg"));
  EXPECT_EQ(b.pad.num("GetRtnVal"), -7);

  ASSERT_EQ(b.open_pin(9), 0);
  ASSERT_TRUE(b.pad.pump_until([&] { return b.pad.num("GetRtnVal") == -7; }, 10000));
  b.pad.pump_for(300);
  EXPECT_EQ(b.pad.count("GetOCXMsg"), 1);
  EXPECT_EQ(b.open_pin(9), -4);
  EXPECT_EQ(b.pad.num("ExitPinPad"), 0);
  ASSERT_TRUE(b.pad.pump_until([&] { return b.pad.count("GetOCXMsg") == 2; }, 10000));
  EXPECT_EQ(b.open_pin(9), 0);
  EXPECT_EQ(b.pad.count("errCode"), 0);
  EXPECT_TRUE(testkit::wait_until([&] { return occurrences(device.received(), as_text(kInitFrame)) == 3; }, 5000));
}

TEST(StylpadControl, PortsOutsideOneToNineAndPortsThatDoNotOpenLeaveNoJobBehind) {
  Bench b;
  for (const int port : {0, 10, -1}) {
    EXPECT_EQ(b.open_sign(port), -2) << port;
    EXPECT_EQ(b.pad.last("errCode")->nums[0], 101);
    EXPECT_EQ(b.pad.last("errCode")->texts[0], utf8(Error::PortRange));
  }
  EXPECT_EQ(b.open_pin(0), -2);

  testkit::ScopedEnv missing("PINK_COM2", b.work.file("no-such-port"));
  EXPECT_EQ(b.open_sign(2), -1);
  EXPECT_EQ(b.pad.last("errCode")->nums[0], 102);
  EXPECT_EQ(b.pad.last("errCode")->texts[0], utf8(Error::SignPortOpen));
  EXPECT_EQ(b.open_pin(2), -1);
  EXPECT_EQ(b.pad.last("errCode")->texts[0], utf8(Error::PinPortOpen));
  const int errors = b.pad.count("errCode");

  // The port is plugged in: the next open finds it (no job was left behind).
  testkit::VirtualPort port(2);
  PadLoop device(port, make_stylpad_device(script(false)));
  EXPECT_EQ(b.open_sign(2), 0);
  EXPECT_EQ(b.open_sign(2), -4);  // refused: the job is open (a message box, no errCode)
  EXPECT_EQ(b.open_pin(2), -4);
  EXPECT_EQ(b.pad.count("errCode"), errors);
  ASSERT_TRUE(b.pad.pump_until_event("readyTOsignAction"));
}

TEST(StylpadControl, MembersRefusedInPinModeOrWithoutAPortReportTheirErrors) {
  Bench b;
  EXPECT_EQ(b.pad.num("Clr"), -1);
  EXPECT_EQ(b.pad.last("errCode")->nums[0], 106);
  EXPECT_EQ(b.pad.num("NoSign"), 1);  // nothing to write to: the connection is lost
  EXPECT_EQ(b.pad.last("errCode")->nums[0], 105);
  EXPECT_EQ(b.pad.last("errCode")->texts[0], utf8(Error::LostOnNoSign));
  EXPECT_EQ(b.pad.num("AcceptSign"), 0);  // nothing drawn
  EXPECT_EQ(b.pad.num("ExitPinPad"), 0);

  testkit::VirtualPort port(1);
  PadLoop device(port, make_stylpad_device(script(false, PadScript::Init::Silent)));
  ASSERT_EQ(b.open_pin(1), 0);
  b.pad.forget_events();
  EXPECT_EQ(b.pad.num("AcceptSign"), -1);
  EXPECT_EQ(b.pad.num("Clr"), 0);
  EXPECT_EQ(b.pad.num("NoSign"), 0);
  ASSERT_EQ(b.pad.events().size(), 3u);
  EXPECT_EQ(b.pad.events()[0].nums[0], 104);
  EXPECT_EQ(b.pad.events()[1].nums[0], 112);
  EXPECT_EQ(b.pad.events()[1].texts[0], utf8(Error::ClearInPinMode));
  EXPECT_EQ(b.pad.events()[2].nums[0], 107);
  EXPECT_EQ(b.pad.num("ExitPinPad"), 0);
  ASSERT_TRUE(b.pad.pump_until_event("GetOCXMsg"));
  EXPECT_EQ(b.pad.last("GetOCXMsg")->texts[0], utf8(Error::NoSignInPinMode));
}

TEST(StylpadControl, PropertiesKeepTheirValues) {
  Control pad;
  pink_object* o = pad.object();
  auto get = [&](const char* name) {
    pink_value r{};
    EXPECT_EQ(pink_invoke(o, pink_dispid(o, name), PINK_GET, nullptr, 0, &r), 0);
    return r;
  };
  auto put = [&](const char* name, pink_value v) { return pink_invoke(o, pink_dispid(o, name), PINK_PUT, &v, 1, nullptr); };
  EXPECT_EQ(get("processClock").num, 0);
  EXPECT_EQ(get("signpadframWidth").num, 256);
  EXPECT_EQ(get("signpadframHeight").num, 128);
  EXPECT_EQ(put("processClock", pink_value{PINK_BOOL, -1, nullptr, nullptr, 0, 0}), 0);
  EXPECT_EQ(put("signpadframWidth", pink_value{PINK_I2, 610, nullptr, nullptr, 0, 0}), 0);
  EXPECT_EQ(put("signpadframHeight", pink_value{PINK_I4, 295, nullptr, nullptr, 0, 0}), 0);
  EXPECT_EQ(get("processClock").num, -1);
  EXPECT_EQ(get("signpadframWidth").type, PINK_I2);
  EXPECT_EQ(get("signpadframWidth").num, 610);
  EXPECT_EQ(get("signpadframHeight").num, 295);
  EXPECT_EQ(pink_dispid(o, "AboutBox"), -552);
  EXPECT_EQ(pink_dispid(o, "readyTOsignAction"), -1);  // an event, not a member
  pink_object* again = pink_create("stylpad.stylpadctrl");
  EXPECT_NE(again, nullptr);
  pink_release(again);
}

// The pad's side of the line, opened by hand so that it can go away.
struct RawPort {
  int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  std::string slave = master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0 ? ::ptsname(master) : "";
  ~RawPort() {
    if (master >= 0) ::close(master);
  }
};

TEST(StylpadControl, AWriteThatFailsReportsTheLostConnectionAndEndsTheJob) {
  RawPort raw;
  ASSERT_FALSE(raw.slave.empty());
  testkit::ScopedEnv env("PINK_COM5", raw.slave);
  Bench b;
  ASSERT_EQ(b.open_sign(5), 0);
  ::close(raw.master);
  raw.master = -1;
  EXPECT_EQ(b.pad.num("Clr"), 1);
  EXPECT_EQ(b.pad.last("errCode")->nums[0], 105);
  EXPECT_EQ(b.pad.last("errCode")->texts[0], utf8(Error::LostOnClear));
  ASSERT_TRUE(b.pad.pump_until_event("GetOCXMsg"));
  EXPECT_EQ(b.pad.last("GetOCXMsg")->texts[0], utf8(Error::LostOnClear));
}

// A virtual port answered by the test itself, frame by frame.
struct HandPad {
  testkit::VirtualPort port;
  Bench b;
  explicit HandPad(int n) : port(n) {}
  // Opens a sign job and acknowledges its init: the sign request goes out.
  void start() {
    ASSERT_EQ(b.open_sign(port.com_number()), 0);
    ASSERT_EQ(port.read_exact(kInitFrame.size(), 3000), as_text(kInitFrame));
    port.write(as_text(short_answer(kAck)));
    ASSERT_TRUE(b.pad.pump_until_event("readyTOsignAction"));
    ASSERT_EQ(port.read_exact(91, 3000).size(), 91u);
    port.write(as_text(point_answer(5, 5)));
  }
};

TEST(StylpadControl, SignatureDataThatDoNotConvertOrCannotBeWrittenFailWithoutAFile) {
  {
    HandPad h(1);
    h.b.pad.num("SetImgName", {text(h.b.work.file("sign"))});
    h.start();
    Bytes data = signature_answer(image_of({{5, 5}}));
    data[21] = static_cast<std::uint8_t>(data[21] + 1);  // the data length reaches into ETX
    if (data[21] == 0) ++data[20];
    h.port.write(as_text(data));
    ASSERT_TRUE(h.b.pad.pump_until_event("GetOCXMsg"));
    EXPECT_EQ(h.b.pad.last("errCode")->nums[0], 109);
    EXPECT_EQ(h.b.pad.last("GetOCXMsg")->texts[0], "BMP 변환 실패");
    EXPECT_EQ(h.b.pad.num("GetRtnVal"), 0);
    EXPECT_FALSE(h.b.work.exists("sign.bmp"));
    EXPECT_FALSE(h.b.work.exists("SIGNDATA"));
  }
  {
    HandPad h(2);
    h.b.pad.num("SetImgName", {text(h.b.work.file("no-such-folder/sign"))});
    h.start();
    h.port.write(as_text(signature_answer(image_of({{5, 5}}))));
    ASSERT_TRUE(h.b.pad.pump_until_event("GetOCXMsg"));
    EXPECT_EQ(h.b.pad.last("errCode")->nums[0], 112);
    EXPECT_EQ(h.b.pad.last("errCode")->texts[0], utf8(Error::ImagePath));
    EXPECT_EQ(h.b.pad.str("GetSigndata"), "");
    EXPECT_FALSE(h.b.work.exists("SIGNDATA"));
  }
}

TEST(StylpadControl, ReleasingTheControlLeavesThePadAsTheJobFoundIt) {
  testkit::VirtualPort port(3);
  for (const bool sign : {true, false}) {
    PadLoop device(port, make_stylpad_device(script(false, PadScript::Init::Silent)));
    {
      Bench b;
      ASSERT_EQ(sign ? b.open_sign(3) : b.open_pin(3), 0);
    }
    const std::string ending = as_text(sign ? std::span<const std::uint8_t>(kNoSignFrame)
                                            : std::span<const std::uint8_t>(kInitFrame));
    ASSERT_TRUE(testkit::wait_until([&] { return device.received() == as_text(kInitFrame) + ending; }, 5000))
        << sign;
  }
}

TEST(StylpadControl, PathsAndLogLinesKeepTheirBounds) {
  const clock::LocalTime t{2024, 1, 31, 9, 5, 7, 0};
  EXPECT_EQ(comm_log_name("C:\\logs\\", t), "C:\\logs\\comm_log240131.txt");
  EXPECT_EQ(result_log_name("", t), "result240131.txt");
  EXPECT_EQ(comm_log_line(t, kInitFrame), "[09:05:07]-[02][00][04][a0]11[03][a7]\r\n");
  const std::uint8_t korean[] = {0xB0, 0xA1, 0x7F, 0x20, 0x7E};
  EXPECT_EQ(comm_log_line(t, korean), "[09:05:07]-[b0][a1][7f] ~\r\n");

  const std::string folder150(150, 'f');
  const auto fits = signdata_place(folder150 + "\\SIGNDATA");
  ASSERT_TRUE(fits.has_value());
  EXPECT_EQ(fits->file, folder150 + "\\SIGNDATA\\signtemp.bmp");
  EXPECT_FALSE(signdata_place(folder150 + "f\\SIGNDATA").has_value());

  EXPECT_EQ(pin_length_of("4"), "04");
  EXPECT_EQ(pin_length_of(""), "00");
  EXPECT_EQ(pin_length_of("123"), "12");
  EXPECT_EQ(amount_of("12345678901"), "1234567890");
  EXPECT_EQ(amount_of(pink::text::utf8_to_cp949("123456789가")), "123456789");
}

}  // namespace
}  // namespace pink::signpad::styl
