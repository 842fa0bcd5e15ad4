// stylpad end to end: padctl drives the control through libpinkauto, vpad
// plays the pad on a virtual port: the signature data the pad codes are
// decoded by the control into the bitmap of the ink signed.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "signpad/capture.h"
#include "tests/padctl/pair.h"

namespace pink::testkit {
namespace {

// The names of the files in a folder that start with `prefix`.
std::vector<std::string> files_starting(const std::string& folder, const std::string& prefix) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = e.path().filename().string();
    if (name.rfind(prefix, 0) == 0) names.push_back(name);
  }
  return names;
}

TEST(PadctlStylpad, SignsTheSampleIntoABitmapOfItsInk) {
  TempDir dir;
  const auto r = pad_and_control(dir, "stylpad", 4, {"--pace", "2"},
                                 {"sign", "5000", "--bmp", "sign", "--log", "logs", "--snapshot", "pad.png"});
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  expect_in_order(control_part(r.out),
                  {"padctl: stylpad sign on COM4", "call SetImgName(\"sign\") = 0", "call OpenSign(\"logs/\", 4, \"5000\") = 0",
                   "event readyTOsignAction(\"SIGN\")", "event GetOCXMsg(\"DoneSign\")", "call GetRtnVal() = 1",
                   "call GetSigndata() = \"STYL2", "snapshot pad.png", "padctl: sign done"});
  expect_in_order(pad_part(r.out), {" rx 02 00 04 A0 31 31 03 A7", " tx 02 00 02 06 03 07", " rx 02 00 57 A1 30 45",
                                    " tx 02 B1 ", " tx 02 ", " B2 "});
  // The points went at the pad's pace, each a 6-byte record.
  const vpad::Points sample = vpad::sample_signature();
  EXPECT_EQ(lines_with(r.out, " tx 02 B1 "), static_cast<int>(sample.size()));
  // The control added the extension the name lacked; stylpad counts its
  // rows from 0.
  EXPECT_EQ(dir.read("sign.bmp"), bitmap(vpad::draw_points(sample, 0)));
  EXPECT_EQ(files_starting(dir.file("logs"), "comm_log").size(), 1u);
  EXPECT_EQ(files_starting(dir.file("logs"), "result").size(), 1u);
}

TEST(PadctlStylpad, SignsTheInkOfAGivenBitmapWhenTheHostAccepts) {
  TempDir dir;
  const signpad::PointImage ink = written_ink();
  dir.write("name.bmp", bitmap(ink));
  ListeningPad pad(dir, "stylpad", 5, {"--manual", "--signature", "name.bmp", "--pace", "1"});
  ASSERT_TRUE(pad.ready()) << pad.pad.printed();
  auto padctl = control(dir, pad, "stylpad", 5, {"sign", "3000", "--bmp", "signed.bmp", "--timeout", "25000"});
  // The customer signs once the sign request is on the pad's screen, and the
  // cashier accepts once the control shows ink (AcceptSign says 0 while it
  // shows none, and the job goes on). The pad's "sign" only schedules the
  // points: the first one goes out later, and reaches the control later
  // still, however loaded the machine. So the cashier waits for the pen on
  // the pad, then tries again until the control shows ink, for as long as
  // that takes, never for a number of tries (a hundred answers of 0 take a
  // few milliseconds).
  ASSERT_TRUE(pad.pad.wait_for(" rx 02 00 57 A1", 30000)) << pad.pad.printed();
  pad.pad.type("sign");
  ASSERT_TRUE(pad.pad.wait_for(" tx 02 B1 ", 20000)) << pad.pad.printed();
  padctl->type("help");
  int tries = 0;
  const bool accepted = wait_until(
      [&] {
        padctl->type("accept");
        ++tries;
        return padctl->wait_for_count("call AcceptSign() = ", tries, 20000) &&
               padctl->printed().find("call AcceptSign() = 2") != std::string::npos;
      },
      30000);
  ASSERT_TRUE(accepted) << tries << " tries\n" << padctl->printed() << "\npad:\n" << pad.pad.printed();
  EXPECT_EQ(padctl->wait(30000), 0) << padctl->printed() << "\npad:\n" << pad.pad.printed();
  expect_in_order(padctl->printed(), {"event readyTOsignAction(\"SIGN\")", "actions: accept clear nosign",
                                      "action accept", "call AcceptSign() = 2", "event GetOCXMsg(\"DoneSign\")",
                                      "call GetRtnVal() = 1", "padctl: sign done"});
  EXPECT_EQ(dir.read("signed.bmp"), bitmap(ink));
  pad.pad.type("quit");
  EXPECT_EQ(pad.pad.wait(10000), 0);
  EXPECT_NE(pad.pad.printed().find(" rx 02 00 02 A2 03 A3"), std::string::npos);
}

TEST(PadctlStylpad, APinOfTheAskedLength) {
  TempDir dir;
  const auto r = pad_and_control(dir, "stylpad", 6, {"--pin", "482913"}, {"pin", "--len", "6"});
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  expect_in_order(control_part(r.out), {"call SetPinLen(\"06\")", "call OpenPinpad(\"", "event readyTOsignAction(\"PIN\")",
                                        "event GetOCXMsg(\"DonePinP\")", "call pinpadValue() = \"482913\"",
                                        "padctl: pin done"});
  expect_in_order(pad_part(r.out), {" rx 02 00 04 A0 31 31 03 A7", " rx 02 00 4B A3 30 30 36", " tx 02 00 0A B3 30 36"});
}

TEST(PadctlStylpad, NoSignFromTheHostAndACancelOnThePad) {
  TempDir dir;
  // The cashier: the customer will not sign. The job ends, as asked.
  auto r = pad_and_control(dir, "stylpad", 7, {"--manual"}, {"sign", "100", "--nosign", "300"});
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  expect_in_order(control_part(r.out), {"action nosign", "call NoSign() = 0", "event GetOCXMsg(\"SIGN_EMPTY\")",
                                        "call GetRtnVal() = 0", "padctl: sign ended as asked"});
  expect_in_order(pad_part(r.out), {" rx 02 00 02 AC 03 AD", " tx 02 00 02 BC 03 BD"});

  // The customer cancels on the pad: no signature, a failed job.
  ListeningPad pad(dir, "stylpad", 7, {"--manual"});
  ASSERT_TRUE(pad.ready()) << pad.pad.printed();
  auto padctl = control(dir, pad, "stylpad", 7, {"sign", "100", "--bmp", "none.bmp", "--timeout", "25000"});
  ASSERT_TRUE(pad.pad.wait_for(" rx 02 00 57 A1", 30000)) << pad.pad.printed();
  pad.pad.type("cancel");
  EXPECT_EQ(padctl->wait(30000), 1) << padctl->printed();
  expect_in_order(padctl->printed(), {"event GetOCXMsg(", "call GetRtnVal() = 0", "padctl: sign failed: GetRtnVal"});
  EXPECT_FALSE(dir.exists("none.bmp"));
}

TEST(PadctlStylpad, ASilentPadIsAskedThreeTimesThenGivenUp) {
  TempDir dir;
  const auto r = pad_and_control(dir, "stylpad", 8, {"--init", "silent"}, {"sign", "100"});
  EXPECT_EQ(r.exit_code, 1) << r.out << r.err;
  EXPECT_EQ(lines_with(r.out, " rx 02 00 04 A0 31 31 03 A7"), 3) << r.out;
  expect_in_order(control_part(r.out), {"event errCode(111, \" 사인패드 초기화 응답이 없습니다.\")", "event GetOCXMsg(",
                                        "call GetRtnVal() = 0", "padctl: sign failed"});
  EXPECT_EQ(r.out.find("readyTOsignAction"), std::string::npos);
}

}  // namespace
}  // namespace pink::testkit
