// The quillpad control end to end through the automation C interface,
// against the virtual quillpad on a virtual serial port: a signature to a
// bitmap file and a signature record, the window's picture, the customer
// information, the PIN, cancels and input errors, the response timer, a
// port that cannot be opened, the serial settings and the day log.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "platform/clock.h"
#include "signpad/capture.h"
#include "signpad/pad_keys.h"
#include "signpad/quillpad_device.h"
#include "signpad/quillpad_members.h"
#include "signpad/quillpad_protocol.h"
#include "tests/signpad_quillpad/control_fixture.h"
#include "tests/signpad_quillpad/pad_on_port.h"

namespace pink::signpad::quill::testing {
namespace {

namespace fs = std::filesystem;

const std::string kCard = "9410123412341234";
const std::string kTrInfo = "20240105120000POS01RCPT000123     000000050000THANK YOU 12345";
const std::string kStopBytes(kStop.begin(), kStop.end());

std::string as_text(const Bytes& b) { return std::string(b.begin(), b.end()); }

PadScript manual_script() {
  PadScript s;
  s.sign_automatically = false;
  return s;
}

// Pen points with the pad's edge cases among them: (127, 10) marks column 0
// of the next row too; (128, 5), (5, 64) and (5, 0) are off the pad.
PadScript signing_script() {
  PadScript s;
  s.signature = {{10, 20}, {127, 10}, {0, 1}, {128, 5}, {5, 64}, {5, 0}};
  for (int x = 20; x < 60; ++x) s.signature.emplace_back(x, 30 + x % 7);
  s.point_interval_ms = 2;
  return s;
}

PointImage image_of(const PadScript& s) {
  PointImage image{};
  for (const auto& [x, y] : s.signature) set_quill_point(image, x, y);
  return image;
}

TEST(QuillControl, ClassMembersAndSettingsAsAPosSeesThem) {
  Control c;
  ASSERT_TRUE(c);
  EXPECT_NE(automation::testing::Obj("quillpad.quillpadctrl").get(), nullptr);
  for (const automation::Member& m : kMembers) EXPECT_EQ(pink_dispid(c.get(), m.name), m.dispid) << m.name;
  EXPECT_EQ(c.text("strYNSignStarted"), "N");
  c.put("strCustInfoData", str("고객"));
  EXPECT_EQ(c.text("strCustInfoData"), "고객");

  EXPECT_EQ(c.call("SetPortNo", {i2(-5)}), 1);
  EXPECT_EQ(c.call("SetPortNo", {i2(61)}), 0);
  EXPECT_EQ(c.call("SetBaudRate", {i4(4800)}), 1);  // 57600 is used
  PadOnPort pad(61, PadScript{});
  EXPECT_EQ(c.call("QuillGetCustInfo"), 0);
  ASSERT_TRUE(c.pump_until("OnCustInfoEnd"));
  EXPECT_EQ(pad.port().line().baud, 57600u);
  EXPECT_EQ(c.call("SetBaudRate", {i4(19200)}), 0);
  EXPECT_EQ(c.call("QuillGetCustInfo"), 0);
  ASSERT_TRUE(c.pump_until("OnCustInfoEnd", 1));
  EXPECT_EQ(pad.port().line().baud, 19200u);

  // Port 0 becomes port 1.
  PadOnPort first(1, PadScript{});
  EXPECT_EQ(c.call("SetPortNo", {i2(0)}), 1);
  EXPECT_EQ(c.call("QuillGetCustInfo"), 0);
  ASSERT_TRUE(c.pump_until("OnCustInfoEnd", 2));
  EXPECT_EQ(first.received().substr(0, 6), as_text(cust_info_request()));
}

TEST(QuillControl, SignatureToBitmapFileRecordAndPicture) {
  testkit::TempDir dir;
  const PadScript script = signing_script();
  PadOnPort pad(62, script);
  Control c;
  c.call("SetPortNo", {i2(62)});
  EXPECT_EQ(c.call("QuillElecSign", {str(kCard.c_str()), str(kTrInfo.c_str())}), 0);
  EXPECT_TRUE(c.events.empty());  // events come from the pump only
  ASSERT_TRUE(c.pump_until("OnSignEnd"));
  EXPECT_EQ(c.events, std::vector<std::string>{"OnSignEnd"});
  EXPECT_EQ(pad.received(), as_text(sign_request(kCard, kTrInfo)));
  EXPECT_EQ(c.text("strYNSignStarted"), "Y");

  // The window shows the points at double scale, in the frame.
  const std::string png = dir.file("sign.png");
  ASSERT_EQ(pink_snapshot(c.get(), png.c_str(), 256, 128), 0);
  const Picture shown = Picture::of(dir.read("sign.png"));
  ASSERT_EQ(shown.width, 256);
  EXPECT_EQ(shown.at(0, 0), kBlack);
  EXPECT_EQ(shown.at(255, 127), kBlack);
  EXPECT_EQ(shown.at(20, 40), kBlack);    // (10, 20)
  EXPECT_EQ(shown.at(254, 20), kBlack);   // (127, 10)
  EXPECT_EQ(shown.at(200, 100), kWhite);
  EXPECT_EQ(shown.at(10, 126), kWhite);   // (5, 64) is off the pad

  const std::string bmp = dir.file("sign.bmp");
  EXPECT_EQ(c.call("QuillGetSignBMP", {str(kCard.c_str()), str(kTrInfo.c_str()), str(bmp.c_str())}), 1);
  const BitmapFile expected = bitmap_file(image_of(script));
  EXPECT_EQ(dir.read("sign.bmp"), std::string(expected.begin(), expected.end()));
  ASSERT_TRUE(pad.wait_for(kStopBytes));  // the pad was stopped

  std::int32_t success = 0;
  ::testing::internal::CaptureStdout();
  const std::vector<std::uint8_t> record = c.data("QuillGetSignData", success);
  const std::string console = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(success, 1);
  const QuillRecord reference =
      quill_record(kept_bytes(kCard, kTrInfo), image_of(script), *key_from_hex(kQuillpadInitialKey));
  EXPECT_EQ(record, reference.bytes);
  EXPECT_EQ(console, "non_zblock_cnt=" + std::to_string(reference.stored_halves) + "\n");

  // A resize repaints: the frame stays, the points leave the view.
  ASSERT_EQ(pink_snapshot(c.get(), png.c_str(), 300, 150), 0);
  const Picture resized = Picture::of(dir.read("sign.png"));
  ASSERT_EQ(resized.width, 300);
  EXPECT_EQ(resized.inked(), 0);
  EXPECT_EQ(resized.at(299, 149), kBlack);
  EXPECT_EQ(pink_snapshot(c.get(), png.c_str(), 100000, 10), -1);
}

bool pump_until_signed(Control& c) {
  return testkit::wait_until(
      [&] {
        pink_pump(c.get(), 10);
        return c.text("strYNSignStarted") == "Y";
      },
      10000);
}

TEST(QuillControl, OperatorCancelsErrorsAndTheStopBeforeEveryJob) {
  testkit::TempDir dir;
  PadOnPort pad(64, manual_script());
  Control c;
  c.call("SetPortNo", {i2(64)});
  EXPECT_EQ(c.call("QuillElecSign", {str(kCard.c_str()), str(kTrInfo.c_str())}), 0);
  ASSERT_TRUE(pad.wait_for(as_text(sign_request(kCard, kTrInfo))));
  pad.command("cancel");
  ASSERT_TRUE(c.pump_until("OnSignCancel"));
  // Nothing was signed: no bitmap, no record.
  EXPECT_EQ(c.call("QuillGetSignBMP", {str(""), str(""), str(dir.file("none.bmp").c_str())}), 9);
  EXPECT_FALSE(dir.exists("none.bmp"));
  std::int32_t success = 7;
  EXPECT_TRUE(c.data("QuillGetSignData", success).empty());
  EXPECT_EQ(success, 0);

  // In a window resized before the job, the job's first repaint centres the
  // pad's area: scale 2, offsets 150 - 128 = 22 and 75 - 64 = 11.
  const std::string png = dir.file("w.png");
  ASSERT_EQ(pink_snapshot(c.get(), png.c_str(), 300, 150), 0);
  EXPECT_EQ(c.call("QuillElecSign", {str(kCard.c_str()), str(kTrInfo.c_str())}), 0);
  pad.command("point 10 20");
  ASSERT_TRUE(pump_until_signed(c));
  ASSERT_EQ(pink_snapshot(c.get(), png.c_str(), 300, 150), 0);
  const Picture p = Picture::of(dir.read("w.png"));
  EXPECT_EQ(p.at(20 + 22, 40 + 11), kBlack);
  EXPECT_EQ(p.at(20, 40), kWhite);
  // A file that cannot be created is refused.
  EXPECT_EQ(c.call("QuillGetSignBMP", {str(""), str(""), str(dir.file("no/such/folder/x.bmp").c_str())}), 9);
  EXPECT_EQ(c.call("QuillGetSignBMP", {str(""), str(""), str("")}), 9);

  // A new job stops the pad before its request, and forgets the signature.
  EXPECT_EQ(c.call("QuillElecSign", {str(kCard.c_str()), str(kTrInfo.c_str())}), 0);
  pad.command("point 30 30");
  ASSERT_TRUE(pump_until_signed(c));
  const std::size_t mark = pad.received().size();
  EXPECT_EQ(c.call("QuillGetPin", {str(kCard.c_str()), str("1000"), str("0123456789ABCDEF")}), 0);
  ASSERT_TRUE(pad.wait_for(kStopBytes + as_text(pin_request(0, kCard, "1000", "0123456789ABCDEF")), mark));
  EXPECT_EQ(c.call("QuillGetSignBMP", {str(""), str(""), str(dir.file("late.bmp").c_str())}), 9);
  EXPECT_EQ(c.call("QuillGetPin", {str(kCard.c_str()), str("1000"), str("0123456789ABCDEF")}), 0);
  c.pump_for(100);
  pad.command("error");
  ASSERT_TRUE(c.pump_until("OnInputDataError"));
  EXPECT_TRUE(c.data("QuillGetPinData", success).empty());
  EXPECT_EQ(success, 0);

  // Over-long texts stay inside the 1024-byte send buffer.
  const std::string card(500, '4'), text(4000, 'T');
  EXPECT_EQ(c.call("QuillElecSign", {str(card.c_str()), str(text.c_str())}), 0);
  ASSERT_TRUE(pad.wait_for(as_text(sign_request(card, text)), mark));
  const std::size_t sent = pad.received().size();
  EXPECT_EQ(c.call("QuillCancel"), 0);
  EXPECT_TRUE(pad.wait_for(kStopBytes, sent));
}

TEST(QuillControl, CustomerInformationAndPin) {
  PadScript script;
  script.customer_info = "9410123412341234=2512";
  script.pin = "4321";
  PadOnPort pad(65, script);
  Control c;
  c.call("SetPortNo", {i2(65)});
  EXPECT_EQ(c.call("QuillGetCustInfo"), 0);
  ASSERT_TRUE(c.pump_until("OnCustInfoEnd"));
  EXPECT_EQ(c.text("strCustInfoData"), "9410123412341234=2512");
  std::int32_t success = 0;
  EXPECT_EQ(as_text(c.data("QuillGetCustInfoData", success)), "09410123412341234=2512");
  EXPECT_EQ(success, 1);
  EXPECT_TRUE(c.data("QuillGetPinData", success).empty());
  EXPECT_EQ(success, 0);
  ASSERT_TRUE(pad.wait_for(as_text(cust_info_request()) + kStopBytes));  // stopped when complete

  c.put("passWordType", i2(1));
  const std::size_t mark = pad.received().size();
  EXPECT_EQ(c.call("QuillGetPin", {str(kCard.c_str()), str("1000"), str("0123456789ABCDEF")}), 0);
  ASSERT_TRUE(c.pump_until("OnPinEnd"));
  EXPECT_EQ(c.text("strPinData"), "4321");
  EXPECT_EQ(as_text(c.data("QuillGetPinData", success)), "04321");
  EXPECT_EQ(success, 1);
  EXPECT_TRUE(pad.wait_for(as_text(pin_request(1, kCard, "1000", "0123456789ABCDEF")) + kStopBytes, mark));
  EXPECT_EQ(c.events, (std::vector<std::string>{"OnCustInfoEnd", "OnPinEnd"}));
}

TEST(QuillControl, PortThatCannotBeOpenedAndPadThatNeverAnswers) {
  testkit::TempDir dir;
  testkit::ScopedEnv missing("PINK_COM68", dir.file("no-such-tty"));
  Control c;
  c.call("SetPortNo", {i2(68)});
  std::uint64_t start = clock::monotonic_ms();
  EXPECT_EQ(c.call("QuillGetCustInfo"), 1);
  EXPECT_TRUE(c.events.empty());
  ASSERT_TRUE(c.pump_until("OnPadError"));
  EXPECT_GE(clock::monotonic_ms() - start, kOpenFailureMs);

  // The port is plugged in: the next request finds it. The pad stays
  // silent: the response timer stops it and reports the error.
  PadScript silent;
  silent.init = PadScript::Init::Silent;
  PadOnPort pad(68, silent);
  start = clock::monotonic_ms();
  EXPECT_EQ(c.call("QuillElecSign", {str(kCard.c_str()), str(kTrInfo.c_str())}), 0);
  ASSERT_TRUE(c.pump_until("OnPadError", 1));
  EXPECT_GE(clock::monotonic_ms() - start, kResponseMs);
  EXPECT_TRUE(pad.wait_for(as_text(sign_request(kCard, kTrInfo)) + kStopBytes));
  EXPECT_EQ(c.events, (std::vector<std::string>{"OnPadError", "OnPadError"}));
}

TEST(QuillControl, DayLogLinesWhenAskedAndJobsGoOnWithoutIt) {
  testkit::TempDir dir;
  InFolder here(dir.path());
  PadOnPort pad(70, PadScript{});
  {
    Control c;
    c.call("SetPortNo", {i2(70)});
    EXPECT_EQ(c.call("QuillGetCustInfo"), 0);
    ASSERT_TRUE(c.pump_until("OnCustInfoEnd"));
    EXPECT_FALSE(dir.exists("QUILL"));  // no log unless asked for
    c.put("strYNLog", str("Y"));
    EXPECT_EQ(c.call("QuillElecSign", {str(kCard.c_str()), str(kTrInfo.c_str())}), 0);
    ASSERT_TRUE(c.pump_until("OnSignEnd"));
    EXPECT_EQ(c.call("QuillGetSignBMP", {str(""), str(""), str("s.bmp")}), 1);
  }
  const clock::LocalTime t = clock::now_local();
  char name[64];
  std::snprintf(name, sizeof name, "QUILL/Quillpad-%04d%02d%02d.DAT", t.year, t.month, t.day);
  std::string log = dir.read(name);
  if (log.empty()) {  // the day turned meanwhile: the only file there
    for (const auto& e : fs::directory_iterator(dir.file("QUILL"))) log = dir.read("QUILL/" + e.path().filename().string());
  }
  const std::regex line(R"(\d\d:\d\d:\d\d:\d\d\d : [^\n]+)");
  std::vector<std::string> texts;
  for (std::size_t at = 0; at < log.size();) {
    const std::size_t end = log.find('\n', at);
    ASSERT_NE(end, std::string::npos) << "every line ends with a line feed";
    const std::string one = log.substr(at, end - at);
    EXPECT_TRUE(std::regex_match(one, line)) << one;
    texts.push_back(one.substr(15));
    at = end + 1;
  }
  for (const char* expected : {"QuillElecSign Start", "FireOnSignEnd event", "QuillGetSignBMP Start",
                               "m_JobGubn=[0] m_success=[1]", "QuillGetSignBMP Done", "OnDestroy Start",
                               "OnDestroy Done"}) {
    EXPECT_NE(std::find(texts.begin(), texts.end(), expected), texts.end()) << expected;
  }
  EXPECT_EQ(texts.back(), "OnDestroy Done");

  // A log that cannot be written loses its lines, not the job.
  fs::remove_all(dir.file("QUILL"));
  dir.write("QUILL", "a file where the folder should be");
  Control c;
  c.put("strYNLog", str("Y"));
  c.call("SetPortNo", {i2(70)});
  EXPECT_EQ(c.call("QuillGetCustInfo"), 0);
  ASSERT_TRUE(c.pump_until("OnCustInfoEnd"));
  EXPECT_EQ(c.text("strCustInfoData"), PadScript{}.customer_info);
}

}  // namespace
}  // namespace pink::signpad::quill::testing
