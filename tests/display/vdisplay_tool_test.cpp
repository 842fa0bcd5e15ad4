// The vdisplay program around the real pds program, listening on a port, on a
// capture file, and with bad usage.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/settings.h"
#include "platform/text.h"
#include "tests/tools/listening.h"
#include "tools/testkit/testkit.h"
#include "tools/vdisplay/screen.h"

namespace pink {
namespace {

using testkit::program;
using testkit::run;

const std::string kTypeFour = "\x1b\x40\x0b" + text::utf8_to_cp949("합계") + std::string(16, ' ') +
                              std::string(14, ' ') + "12,000";

std::string show(const std::string& stream, std::size_t width) {
  return vdisplay::show({reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size()}, width);
}

TEST(VdisplayTool, ShowsWhatPdsPutsOnTheDisplay) {
  testkit::TempStore store;
  testkit::TempDir dir;
  for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{
           {"pds_hw", "4"}, {"pds_port", "12"}, {"pds_1", "합계"}, {"pds_2", ""}, {"pds_3", "12,000"}}) {
    settings::put("pink", "floyd", key, text::utf8_to_cp949(value));
  }
  const auto r = run(program("vdisplay"), {"COM12", "--out", dir.file("capture.bin"), "--", program("pds")});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(dir.read("capture.bin"), kTypeFour);
  EXPECT_EQ(r.out, show(kTypeFour, 20));
  EXPECT_NE(r.out.find("|합계                |\n|              12,000|\n"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("43 bytes on COM12"), std::string::npos) << r.err;

  // The program's status is vdisplay's.
  const auto seven = run(program("vdisplay"), {"COM13", "--", "/bin/sh", "-c", "exit 7"});
  EXPECT_EQ(seven.exit_code, 7);
}

TEST(VdisplayTool, DecodesACaptureAtTheChosenWidthAndRefusesBadUsage) {
  testkit::TempDir dir;
  dir.write("gdisp.bin", "\x1b{2;1H" + std::string(32, '-'));
  auto r = run(program("vdisplay"), {"--decode", dir.file("gdisp.bin"), "--graphic"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("|" + std::string(32, '-') + "|\n+"), std::string::npos) << r.out;
  r = run(program("vdisplay"), {"--decode", dir.file("gdisp.bin"), "--width", "16"});
  EXPECT_EQ(r.out, show("\x1b{2;1H" + std::string(32, '-'), 16));

  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {}, {"COM14"}, {"COM14", "--"}, {"COM14", "--listen", "--", "/bin/true"}, {"LPT1", "--listen"},
           {"COM14", "--width", "1", "--listen"}, {"COM14", "--width", "81", "--listen"}, {"--decode"}}) {
    r = run(program("vdisplay"), args);
    EXPECT_EQ(r.exit_code, 2) << ::testing::PrintToString(args);
    EXPECT_NE(r.err.find("usage: vdisplay"), std::string::npos) << r.err;
  }
  r = run(program("vdisplay"), {"--decode", dir.file("missing.bin")});
  EXPECT_EQ(r.exit_code, 1);
  r = run(program("vdisplay"), {"--help"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.out.find("--listen"), std::string::npos);
}

TEST(VdisplayTool, ListensUntilStoppedAndShowsTheDisplayAsItStands) {
  testkit::Process vdisplay(program("vdisplay"), {"COM15", "--listen"});
  std::string path;
  ASSERT_NO_FATAL_FAILURE(testkit::take_device_path(vdisplay, path));
  testkit::RunOptions at;
  at.env["PINK_COM15"] = path;
  const auto sent = run(program("commsend"), {"COM15", "\x1b@HELLO"}, at);
  EXPECT_EQ(sent.exit_code, 0) << sent.err;
  EXPECT_TRUE(testkit::wait_until([&] { return vdisplay.out().find("|HELLO") != std::string::npos; }, 10000))
      << vdisplay.out();
  EXPECT_EQ(vdisplay.terminate(), 0) << vdisplay.err();
  const std::string out = vdisplay.out();
  EXPECT_NE(out.find("TEXT \"HELLO\""), std::string::npos) << out;
  EXPECT_NE(vdisplay.err().find("7 bytes on COM15"), std::string::npos) << vdisplay.err();
}

}  // namespace
}  // namespace pink
