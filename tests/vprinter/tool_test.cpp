// The vprinter program in each of its modes: around a program on a virtual
// serial port, listening on a port, as a network printer, and on a capture
// file. What it shows is the printer logic's transcript of the same bytes;
// the picture of the paper of a real receipt job; a missing font; --help.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/socket.h"
#include "platform/text.h"
#include "tests/rcptlib/bmp_writer.h"
#include "tests/spoolers/spooler_fixture.h"
#include "tests/tools/listening.h"
#include "tests/vprinter/bytes.h"
#include "tools/testkit/testkit.h"
#include "tools/vprinter/transcript.h"

namespace pink::vprinter {
namespace {

using testkit::program;
using testkit::run;
using testkit::TempDir;

const std::string kReceipt = "\x1b@\x1b" "a1" + text::utf8_to_cp949("주문 1번") + "\r\n\x1d*\x01\x02" +
                             std::string(16, '\xC3') + "\x1d/0TOTAL 3,000\r\n\x1dVA\x03";

std::string transcript_of(const std::string& s) {
  return print({reinterpret_cast<const std::uint8_t*>(s.data()), s.size()}).transcript;
}

// A PNG file whose header gives 8 x 16 dots, the image of kReceipt.
void expect_png(const std::string& file) {
  ASSERT_GT(file.size(), 24u);
  EXPECT_EQ(file.substr(0, 16), std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16));
  EXPECT_EQ(file.substr(16, 8), std::string("\0\0\0\x08\0\0\0\x10", 8));
}

TEST(VprinterTool, PrintsWhatAProgramSendsToAVirtualPort) {
  ASSERT_NE(transcript_of(kReceipt).find("TEXT 주문 1번\n"), std::string::npos);
  TempDir dir;
  dir.write("out/image-7.png", "from an earlier run");
  testkit::RunOptions in;
  in.input = kReceipt;
  auto r = run(program("vprinter"), {"COM81", "--out", dir.file("out"), "--", program("commsend"), "COM81"}, in);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, transcript_of(kReceipt));
  EXPECT_EQ(dir.read("out/transcript.txt"), r.out);
  EXPECT_EQ(dir.read("out/capture.bin"), kReceipt);
  expect_png(dir.read("out/image-1.png"));
  EXPECT_FALSE(dir.exists("out/image-7.png"));

  // The program's exit status is vprinter's.
  r = run(program("vprinter"), {"COM82", "--out", dir.file("seven"), "--", "/bin/sh", "-c", "exit 7"});
  EXPECT_EQ(r.exit_code, 7) << r.err;
  EXPECT_EQ(dir.read("seven/capture.bin"), "");
}

TEST(VprinterTool, DecodesACaptureFileAndRefusesBadUsage) {
  TempDir dir;
  dir.write("lpt1.bin", kReceipt);
  auto r = run(program("vprinter"), {"--decode", dir.file("lpt1.bin"), "--out", dir.file("out")});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, transcript_of(kReceipt));
  expect_png(dir.read("out/image-1.png"));

  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {}, {"COM82", "--"}, {"COM82", "--listen", "--", "/bin/true"}, {"--tcp", "--port", "65536"}, {"--decode"}}) {
    r = run(program("vprinter"), args);
    EXPECT_EQ(r.exit_code, 2) << ::testing::PrintToString(args);
    EXPECT_NE(r.err.find("usage: vprinter"), std::string::npos) << r.err;
  }
  r = run(program("vprinter"), {"--decode", dir.file("missing.bin"), "--out", dir.file("out")});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("cannot read"), std::string::npos) << r.err;
}

TEST(VprinterTool, ListensOnAPortUntilStopped) {
  TempDir dir;
  testkit::Process vprinter(program("vprinter"), {"COM83", "--listen", "--out", dir.file("out")});
  std::string path;
  ASSERT_NO_FATAL_FAILURE(testkit::take_device_path(vprinter, path));
  testkit::send_ping_pong("COM83", path);
  EXPECT_EQ(vprinter.terminate(), 0) << vprinter.err();
  EXPECT_EQ(vprinter.out(), path + "\nTEXT PING\nTEXT PONG<NO LINE END>\n");
  EXPECT_EQ(dir.read("out/capture.bin"), "PING\r\nPONG");
}

TEST(VprinterTool, ServesNetworkJobsOnePerConnection) {
  TempDir dir;
  testkit::Process vprinter(program("vprinter"), {"--tcp", "--port", "0", "--out", dir.file("out")});
  ASSERT_TRUE(testkit::wait_until([&] { return vprinter.out().find('\n') != std::string::npos; }, 10000));
  const std::string first = vprinter.out().substr(0, vprinter.out().find('\n') + 1);
  ASSERT_EQ(first.rfind("127.0.0.1:", 0), 0u) << first;
  const auto port = static_cast<std::uint16_t>(std::stoi(first.substr(10)));

  const auto send_job = [&](const std::string& job, const std::string& seen) {
    if (auto socket = net::connect("127.0.0.1", port, 5000)) {
      EXPECT_EQ(socket->send(job), static_cast<long>(job.size()));
    } else {
      FAIL() << "no connection";
    }
    ASSERT_TRUE(testkit::wait_until([&] { return vprinter.out().find(seen) != std::string::npos; }, 10000));
  };
  send_job(kReceipt, "GS V");
  send_job("SECOND\n", "SECOND");
  EXPECT_EQ(vprinter.terminate(), 0);
  EXPECT_EQ(vprinter.out(),
            first + "== connection 1\n" + transcript_of(kReceipt) + "== connection 2\nTEXT SECOND<LF>\n");
  EXPECT_EQ(dir.read("out/job-1/transcript.txt"), transcript_of(kReceipt));
  expect_png(dir.read("out/job-1/image-1.png"));
  EXPECT_EQ(dir.read("out/job-2/capture.bin"), "SECOND\n");
}

// The width in the header of a PNG file, 0 when it is none.
std::uint32_t png_width(const std::string& file) {
  if (file.size() < 24 || file.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return 0;
  std::uint32_t w = 0;
  for (int i = 16; i < 20; ++i) w = w << 8 | static_cast<std::uint8_t>(file[static_cast<std::size_t>(i)]);
  return w;
}

TEST(VprinterTool, DrawsThePaperOfAReceiptJobWithBarCodeAndSignature) {
  testing::SpoolerRun job;
  rcptlib::testing::Picture sign(128, 64, 1);
  sign.palette = {rcptlib::testing::Rgb{255, 255, 255}, rcptlib::testing::Rgb{0, 0, 0}};
  for (int x = 10; x < 118; ++x) sign.at(x, 32 + (x % 7) - 3) = 1;
  const auto bmp = rcptlib::testing::encode(sign);
  job.signs.write("sign.bmp", std::string(bmp.begin(), bmp.end()));
  job.job("printer.zor", {"1XCXN", "      pink coffee", text::utf8_to_cp949("주문 1번  아메리카노      4,500"), "BARPRT",
                          "20261208001", "SIGNPRT", text::utf8_to_cp949("감사합니다")});
  testkit::RunOptions in;
  in.cwd = job.work.path();
  for (const auto& [paper, width] : {std::pair{"80", 576u}, std::pair{"58", 384u}}) {
    SCOPED_TRACE(paper);
    const std::string out = job.work.file(std::string("out") + paper);
    const auto r = run(program("vprinter"), {"COM1", "--paper", paper, "--out", out, "--", program("printer")}, in);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.out.find("GS k 4 \"20261208001\""), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("paper.png " + std::to_string(width) + " x "), std::string::npos) << r.err;
    EXPECT_EQ(png_width(job.work.read(std::string("out") + paper + "/paper.png")), width);
    const std::string zbarimg = testaid::zbarimg();
    ASSERT_FALSE(zbarimg.empty()) << "zbarimg is missing (zbar-tools; scripts/setup installs it)";
    const auto scanned = run(zbarimg, {"-q", out + "/paper.png"});
    EXPECT_EQ(scanned.out, "CODE-39:20261208001\n") << scanned.err;
  }
}

TEST(VprinterTool, SaysWhatDidNotPrintOnThePaper) {
  TempDir dir;
  dir.write("job.bin", "\x1dk\x04" "abc" + std::string(1, '\0') + "\r\nOK\r\n\x1d*\x01");
  const auto r = run(program("vprinter"), {"--decode", dir.file("job.bin"), "--out", dir.file("out")});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find("vprinter: paper: bar code GS k 4 \"abc\": character a is not in CODE39; not printed\n"),
            std::string::npos) << r.err;
  EXPECT_NE(r.err.find("vprinter: paper: the stream ends inside a command, which does not print\n"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("paper.png 576 x 60 dots"), std::string::npos) << r.err;
}

TEST(VprinterTool, AMissingFontStopsItBeforeAnythingRuns) {
  TempDir dir;
  testkit::RunOptions o;
  o.cwd = dir.path();
  o.env["PINK_VPRINTER_FONT"] = dir.file("no-such-font.ttf");
  auto r = run(program("vprinter"), {"COM84", "--out", dir.file("out"), "--", "/bin/sh", "-c", "touch ran"}, o);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("PINK_VPRINTER_FONT names " + dir.file("no-such-font.ttf")), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("--no-picture"), std::string::npos) << r.err;
  EXPECT_FALSE(dir.exists("ran"));
  EXPECT_FALSE(dir.exists("out"));

  // Without the picture no font is needed; a paper.png of an earlier run
  // goes, as the pictures do.
  dir.write("out/paper.png", "from an earlier run");
  r = run(program("vprinter"), {"COM84", "--no-picture", "--out", dir.file("out"), "--", "/bin/sh", "-c", "touch ran"}, o);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(dir.exists("ran"));
  EXPECT_TRUE(dir.exists("out/transcript.txt"));
  EXPECT_FALSE(dir.exists("out/paper.png"));

  // With the font, nothing printed gives no paper either.
  o.env.erase("PINK_VPRINTER_FONT");
  dir.write("out/paper.png", "from an earlier run");
  r = run(program("vprinter"), {"COM84", "--out", dir.file("out"), "--", "/bin/true"}, o);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find("nothing printed on the paper"), std::string::npos) << r.err;
  EXPECT_FALSE(dir.exists("out/paper.png"));
}

TEST(VprinterTool, HelpAndVersionTouchNothing) {
  TempDir dir;
  testkit::RunOptions o;
  o.cwd = dir.path();
  o.env["PINK_VPRINTER_FONT"] = dir.file("no-such-font.ttf");  // not even looked for
  auto r = run(program("vprinter"), {"--help"}, o);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  for (const char* part : {"usage: vprinter COMn", "--paper 80|58", "--no-picture", "paper.png", "PINK_VPRINTER_FONT",
                           "Exit status"}) {
    EXPECT_NE(r.out.find(part), std::string::npos) << part;
  }
  EXPECT_EQ(r.err, "");
  r = run(program("vprinter"), {"--version"}, o);
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out.rfind("vprinter (pink) ", 0), 0u) << r.out;
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  // Bad paper widths are bad usage.
  r = run(program("vprinter"), {"--decode", "x", "--paper", "70"}, o);
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
}  // namespace pink::vprinter
