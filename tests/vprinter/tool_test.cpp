// The vprinter program, run as an integrator runs it: on a virtual serial
// port around a program, listening on a port, as a network printer, and on
// a capture file.
#include <gtest/gtest.h>

#include <string>

#include "platform/socket.h"
#include "tests/tools/listening.h"
#include "tests/vprinter/streams.h"
#include "tools/testkit/testkit.h"

namespace pink::vprinter {
namespace {

using testing::bytes;
using testing::cp949;
using testkit::program;
using testkit::run;
using testkit::RunOptions;
using testkit::TempDir;

const std::string kReceipt = bytes({0x1B, 0x40, 0x1B, 0x61, 0x31}) + cp949("주문 1번") + "\r\n" +
                             bytes({0x1D, 0x2A, 0x01, 0x02}) + std::string(16, '\xC3') +
                             bytes({0x1D, 0x2F, 0x30}) + "TOTAL 3,000\r\n" +
                             bytes({0x1D, 0x56, 0x41, 0x03});

const std::string kReceiptTranscript =
    "ESC @                      initialise\n"
    "ESC a '1'                  justification centre\n"
    "TEXT 주문 1번\n"
    "GS * 1 2                   bit image 8 x 16 dots -> image-1.png\n"
    "GS / '0'                   print bit image, normal size\n"
    "TEXT TOTAL 3,000\n"
    "GS V 65 3                  feed 3 and full cut\n";

// Width and height from a PNG file's header.
void expect_png(const std::string& file, std::uint32_t width, std::uint32_t height) {
  ASSERT_GT(file.size(), 24u);
  EXPECT_EQ(file.substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_EQ(file.substr(12, 4), "IHDR");
  const auto be32 = [&](std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<std::uint8_t>(file[at + i]);
    return v;
  };
  EXPECT_EQ(be32(16), width);
  EXPECT_EQ(be32(20), height);
}

TEST(VprinterTool, PrintsWhatAProgramSendsToAVirtualPort) {
  TempDir dir;
  dir.write("out/image-7.png", "from an earlier run");
  dir.write("out/notes.txt", "kept");
  RunOptions in;
  in.input = kReceipt;
  auto r = run(program("vprinter"),
               {"COM81", "--out", dir.file("out"), "--", program("commsend"), "COM81"}, in);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, kReceiptTranscript);
  EXPECT_EQ(dir.read("out/transcript.txt"), kReceiptTranscript);
  EXPECT_EQ(dir.read("out/capture.bin"), kReceipt);
  expect_png(dir.read("out/image-1.png"), 8, 16);
  EXPECT_FALSE(dir.exists("out/image-7.png"));
  EXPECT_EQ(dir.read("out/notes.txt"), "kept");

  // Words typed on the terminal go out as cp949; without --out the files
  // land in vprinter-out under the current folder.
  RunOptions here;
  here.cwd = dir.path();
  r = run(program("vprinter"), {"COM81", "--", program("commsend"), "COM81", "주문", "1번"}, here);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "TEXT 주문 1번<NO LINE END>\n");
  EXPECT_EQ(dir.read("vprinter-out/capture.bin"), cp949("주문 1번"));
  EXPECT_EQ(dir.read("vprinter-out/transcript.txt"), r.out);
}

TEST(VprinterTool, EndsWithTheProgramsStatusAndRefusesBadUsage) {
  TempDir dir;
  RunOptions here;
  here.cwd = dir.path();
  auto r = run(program("vprinter"), {"COM82", "--", "/bin/sh", "-c", "exit 7"}, here);
  EXPECT_EQ(r.exit_code, 7) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(dir.read("vprinter-out/capture.bin"), "");

  r = run(program("vprinter"), {"COM82", "--", "/nonexistent/pink/program"}, here);
  EXPECT_EQ(r.exit_code, 127);

  const std::vector<std::vector<std::string>> bad{
      {},
      {"COM82"},
      {"LPT1", "--listen"},
      {"COM82", "--listen", "--", "/bin/true"},
      {"COM82", "--"},
      {"COM82", "--once", "--listen"},
      {"COM82", "--out"},
      {"--tcp", "--port", "65536"},
      {"--tcp", "--port", "-1"},
      {"--tcp", "--listen"},
      {"--decode"},
      {"--decode", "x", "--once"},
  };
  for (const auto& args : bad) {
    r = run(program("vprinter"), args, here);
    EXPECT_EQ(r.exit_code, 2) << ::testing::PrintToString(args);
    EXPECT_NE(r.err.find("usage: vprinter"), std::string::npos) << r.err;
  }

  r = run(program("vprinter"), {"--decode", dir.file("missing.bin")}, here);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("cannot read"), std::string::npos) << r.err;

  // An output folder that cannot be made.
  dir.write("file", "x");
  dir.write("job.bin", "A");
  r = run(program("vprinter"), {"--decode", dir.file("job.bin"), "--out", dir.file("file/out")}, here);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("cannot make the folder"), std::string::npos) << r.err;
}

TEST(VprinterTool, DecodesACaptureFile) {
  TempDir dir;
  dir.write("lpt1.bin", kReceipt);
  auto r = run(program("vprinter"), {"--decode", dir.file("lpt1.bin"), "--out", dir.file("out")});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, kReceiptTranscript);
  EXPECT_EQ(dir.read("out/capture.bin"), kReceipt);
  expect_png(dir.read("out/image-1.png"), 8, 16);
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

// Starts vprinter --tcp on a free port; returns the port from its first line.
std::uint16_t start_network_printer(testkit::Process& vprinter) {
  std::uint16_t port = 0;
  EXPECT_TRUE(testkit::wait_until([&] { return vprinter.out().find('\n') != std::string::npos; }, 10000));
  const std::string first = vprinter.out().substr(0, vprinter.out().find('\n'));
  EXPECT_EQ(first.rfind("127.0.0.1:", 0), 0u) << first;
  if (first.rfind("127.0.0.1:", 0) == 0) port = static_cast<std::uint16_t>(std::stoi(first.substr(10)));
  return port;
}

void send_job(std::uint16_t port, const std::string& job) {
  const auto socket = net::connect("127.0.0.1", port, 5000);
  ASSERT_NE(socket, nullptr);
  EXPECT_EQ(socket->send(job), static_cast<long>(job.size()));
}

TEST(VprinterTool, ServesNetworkJobsOnePerConnection) {
  TempDir dir;
  testkit::Process vprinter(program("vprinter"), {"--tcp", "--port", "0", "--out", dir.file("out")});
  const std::uint16_t port = start_network_printer(vprinter);
  ASSERT_NE(port, 0);

  send_job(port, kReceipt);
  ASSERT_TRUE(testkit::wait_until([&] { return vprinter.out().find("GS V") != std::string::npos; }, 10000));
  send_job(port, "SECOND\n");
  ASSERT_TRUE(testkit::wait_until([&] { return vprinter.out().find("SECOND") != std::string::npos; }, 10000));
  EXPECT_EQ(vprinter.terminate(), 0);

  const std::string first_line = vprinter.out().substr(0, vprinter.out().find('\n') + 1);
  EXPECT_EQ(vprinter.out(), first_line + "== connection 1\n" + kReceiptTranscript +
                                "== connection 2\nTEXT SECOND<LF>\n");
  EXPECT_EQ(dir.read("out/job-1/transcript.txt"), kReceiptTranscript);
  expect_png(dir.read("out/job-1/image-1.png"), 8, 16);
  EXPECT_EQ(dir.read("out/job-2/capture.bin"), "SECOND\n");

  // --once: the first connection's job, straight into the folder, then the end.
  testkit::Process once(program("vprinter"), {"--tcp", "--port", "0", "--once", "--out", dir.file("once")});
  const std::uint16_t once_port = start_network_printer(once);
  ASSERT_NE(once_port, 0);
  send_job(once_port, kReceipt);
  EXPECT_EQ(once.wait(10000), std::optional<int>(0)) << once.err();
  EXPECT_EQ(dir.read("once/transcript.txt"), kReceiptTranscript);
  EXPECT_EQ(dir.read("once/capture.bin"), kReceipt);
}

}  // namespace
}  // namespace pink::vprinter
