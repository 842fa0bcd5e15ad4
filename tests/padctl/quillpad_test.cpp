// quillpad end to end: padctl drives the control through libpinkauto, vpad
// plays the pad on a virtual port: the signature record and bitmap of the
// points signed, customer information, a PIN, cancels and the response
// timer.
#include <gtest/gtest.h>

#include <string>

#include "signpad/capture.h"
#include "signpad/pad_keys.h"
#include "tests/padctl/pair.h"
#include "tools/vpad/options.h"

namespace pink::testkit {
namespace {

// A transaction text of 61 characters whose 12 from offset 34 are the amount.
const std::string kTrInfo = "20261208120000TERM0001CARD12345678000000005000TEXT-OF-A-SALE.";
const std::string kCardNo = "9410123412341234";

signpad::PointImage quill_drawn(const vpad::Points& points) {
  signpad::PointImage image{};
  for (const auto& [x, y] : points) signpad::set_quill_point(image, x, y);
  return image;
}

TEST(PadctlQuillpad, SignsTheSampleIntoItsRecordAndBitmap) {
  TempDir dir;
  const auto r = pad_and_control(dir, "quillpad", 41, {"--pace", "2"},
                                 {"sign", kCardNo, kTrInfo, "--bmp", "sign.bmp", "--log", "logs"});
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  expect_in_order(control_part(r.out),
                  {"padctl: quillpad sign on COM41", "call SetPortNo(41) = 0", "put strYNLog = \"Y\"",
                   "call QuillElecSign(\"" + kCardNo + "\", \"" + kTrInfo + "\") = 0", "event OnSignEnd",
                   "call QuillGetSignBMP(", "\"" + dir.file("sign.bmp") + "\") = 1",
                   "call QuillGetSignData(nSuccess -> 1) = [", "get strYNSignStarted = \"Y\"", "padctl: sign done"});
  // The amount field of the request: "    5000".
  expect_in_order(pad_part(r.out), {" rx 02 00 5C E8 1C 39 34 31 30", " 1C 20 20 20 20 35 30 30 30 1C", " tx 06 06 06",
                                    " tx 02 00 02 C0 ", " tx 05 05 05", " rx 1B 1B 1B 1B 1B"});
  const vpad::Points sample = vpad::sample_signature();
  const signpad::PointImage drawn = quill_drawn(sample);
  EXPECT_EQ(dir.read("sign.bmp"), bitmap(drawn));

  // The record is the one the control makes of the kept texts and the image.
  std::array<std::uint8_t, signpad::kQuillKeptBytes> kept{};
  std::copy(kCardNo.begin(), kCardNo.end(), kept.begin());
  ASSERT_EQ(kTrInfo.size(), 61u);
  std::copy(kTrInfo.begin(), kTrInfo.end(), kept.begin() + 20);
  const auto record = signpad::quill_record(kept, drawn, *signpad::key_from_hex(signpad::kQuillpadInitialKey));
  std::string shown;
  for (const std::uint8_t b : record.bytes) shown += (shown.empty() ? "" : " ") + signpad::hex_upper(std::vector{b});
  EXPECT_EQ(shown_bytes(r.out, "call QuillGetSignData"), shown);
  // The day log went under the folder given.
  EXPECT_TRUE(dir.exists("logs/QUILL"));
}

TEST(PadctlQuillpad, CustomerInformationAndAPin) {
  TempDir dir;
  auto r = pad_and_control(dir, "quillpad", 42, {"--info", "홍길동 010-1234-5678"}, {"custinfo"});
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  expect_in_order(control_part(r.out), {"call QuillGetCustInfo() = 0", "event OnCustInfoEnd",
                                        "call QuillGetCustInfoData(nSuccess -> 1) = [",
                                        "get strCustInfoData = \"홍길동 010-1234-5678\"", "padctl: custinfo done"});
  expect_in_order(pad_part(r.out), {" rx 02 00 00 FA 03 F9", " tx 06 06 06", " tx 02 00 ", " rx 1B 1B 1B 1B 1B"});

  r = pad_and_control(dir, "quillpad", 42, {"--pin", "987654"}, {"pin", kCardNo, "5000", "0123456789ABCDEF"});
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  expect_in_order(control_part(r.out), {"call QuillGetPin(\"" + kCardNo + "\", \"5000\", \"0123456789ABCDEF\") = 0",
                                        "event OnPinEnd", "call QuillGetPinData(nSuccess -> 1) = [",
                                        "get strPinData = \"987654\"", "padctl: pin done"});
  expect_in_order(pad_part(r.out), {" rx 02 00 2B F6 31 30 31 32 33", " tx 06 06 06", " tx 02 00 "});
}

TEST(PadctlQuillpad, CancelsFromTheHostAndOnThePad) {
  TempDir dir;
  // The cashier stops the pad: the job ends, as asked.
  auto r = pad_and_control(dir, "quillpad", 43, {"--manual"}, {"sign", kCardNo, kTrInfo, "--cancel", "300"});
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  expect_in_order(control_part(r.out), {"action cancel", "call QuillCancel() = ", "padctl: sign ended as asked"});
  EXPECT_NE(pad_part(r.out).find(" rx 1B 1B 1B 1B 1B"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("event OnSignEnd"), std::string::npos);

  // The customer cancels on the pad: no signature.
  ListeningPad pad(dir, "quillpad", 43, {"--manual"});
  ASSERT_TRUE(pad.ready()) << pad.pad.printed();
  auto padctl = control(dir, pad, "quillpad", 43, {"sign", kCardNo, kTrInfo, "--bmp", "none.bmp", "--timeout", "25000"});
  ASSERT_TRUE(pad.pad.wait_for(" tx 06 06 06", 30000)) << pad.pad.printed();
  pad.pad.type("point 40 20");
  pad.pad.type("cancel");
  EXPECT_EQ(padctl->wait(30000), 1) << padctl->printed();
  expect_in_order(padctl->printed(), {"event OnSignCancel", "padctl: sign failed: OnSignCancel"});
  EXPECT_FALSE(dir.exists("none.bmp"));
}

TEST(PadctlQuillpad, ASilentPadRunsOutTheResponseTimer) {
  TempDir dir;
  const auto r = pad_and_control(dir, "quillpad", 44, {"--init", "silent"}, {"sign", kCardNo, kTrInfo});
  EXPECT_EQ(r.exit_code, 1) << r.out << r.err;
  EXPECT_NE(r.out.find(" rx 02 00 5C E8"), std::string::npos) << r.out;
  EXPECT_EQ(lines_with(r.out, " tx "), 0) << r.out;
  expect_in_order(control_part(r.out), {"call QuillElecSign(", "event OnPadError", "padctl: sign failed: OnPadError"});
}

}  // namespace
}  // namespace pink::testkit
