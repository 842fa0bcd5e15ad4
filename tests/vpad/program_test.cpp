// The vpad program as an integrator runs it: help and usage errors, bad
// signature bitmaps, warnings about ink a family cannot show, the program
// it runs and its exit status, listening until stopped, the log file and
// the operator's lines.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "signpad/capture.h"
#include "tests/padctl/operated.h"
#include "tools/testkit/testkit.h"

namespace pink::testkit {
namespace {

RunResult vpad(const std::vector<std::string>& args, const TempDir& dir) {
  RunOptions o;
  o.cwd = dir.path();
  return run(program("vpad"), args, o);
}

std::string bitmap_with(const std::vector<std::pair<int, int>>& pixels) {
  signpad::PointImage ink{};
  for (const auto& [x, y] : pixels) {
    const int bit = y * 128 + x;
    ink[static_cast<std::size_t>(bit / 8)] |= static_cast<std::uint8_t>(0x80 >> (bit % 8));
  }
  const auto f = signpad::bitmap_file(ink);
  return std::string(f.begin(), f.end());
}

TEST(VpadProgram, HelpUsageErrorsAndSignaturesThatCannotBeRead) {
  TempDir dir;
  auto r = vpad({"--help"}, dir);
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out.rfind("usage: vpad FAMILY COMn [options] -- PROGRAM [ARGS...]", 0), 0u) << r.out;

  dir.write("small.bmp", std::string("BM") + std::string(60, '\0'));
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"tallypad"}, "vpad: FAMILY and COMn are needed"},
      {{"penpad", "COM1", "--listen"}, "vpad: unknown pad family penpad"},
      {{"stylpad", "COM1", "--pace", "fast", "--listen"}, "vpad: --pace takes milliseconds"},
      {{"stylpad", "COM1", "--signature", "none.bmp", "--listen"}, "vpad: cannot read the signature bitmap none.bmp"},
      {{"stylpad", "COM1", "--signature", "small.bmp", "--listen"}, "vpad: small.bmp: an unknown bitmap header"},
      {{"stylpad", "COM1", "--log", dir.file("no/such/folder/pad.log"), "--listen"}, "vpad: cannot write the log"},
  };
  for (const auto& [args, why] : cases) {
    r = vpad(args, dir);
    EXPECT_EQ(r.exit_code, 2) << why;
    EXPECT_EQ(r.err.rfind(why, 0), 0u) << r.err;
    EXPECT_EQ(r.out, "");
  }
}

TEST(VpadProgram, RunsTheProgramOnItsPortAndEndsWithItsStatus) {
  TempDir dir;
  // The program finds the port through $PINK_COMn and reads nothing from the
  // operator's terminal.
  auto r = vpad({"quillpad", "COM17", "--", "/bin/sh", "-c", "test -c \"$PINK_COM17\" && read x; exit $((7 + ${#x}))"},
                dir);
  EXPECT_EQ(r.exit_code, 7) << r.out << r.err;
  EXPECT_EQ(r.out.rfind("vpad: quillpad on COM17 (/dev/pts/", 0), 0u) << r.out;
  r = vpad({"quillpad", "COM17", "--", "/no/such/program"}, dir);
  EXPECT_EQ(r.exit_code, 127);
}

TEST(VpadProgram, WarnsAboutInkTheFamilyCannotShow) {
  TempDir dir;
  // Column 0 and coordinate 3 for tallypad; the bottom row for quillpad.
  dir.write("edges.bmp", bitmap_with({{0, 10}, {3, 20}, {50, 2}, {60, 63}, {61, 30}}));
  auto r = vpad({"tallypad", "COM18", "--signature", "edges.bmp", "--", "/bin/true"}, dir);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find("vpad: warning: 1 of the signature's 5 points fall where a tallypad control draws nothing"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("vpad: warning: 2 of the signature's 5 points have a coordinate of 3"), std::string::npos)
      << r.err;
  r = vpad({"quillpad", "COM18", "--signature", "edges.bmp", "--", "/bin/true"}, dir);
  EXPECT_NE(r.err.find("vpad: warning: 1 of the signature's 5 points fall where a quillpad control draws nothing"),
            std::string::npos)
      << r.err;
  r = vpad({"stylpad", "COM18", "--signature", "edges.bmp", "--", "/bin/true"}, dir);
  EXPECT_EQ(r.err, "");
}

TEST(VpadProgram, ListensLogsToAFileTakesTheOperatorsLinesAndQuits) {
  TempDir dir;
  Operated pad(program("vpad"), {"tallypad", "COM19", "--listen", "--manual", "--log", "pad.log"}, dir.path());
  ASSERT_TRUE(pad.wait_for("\n", 20000));
  const std::string path = pad.printed().substr(0, pad.printed().find('\n'));
  ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;

  // A control asks for the init answer.
  const int port = ::open(path.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(port, 0);
  const std::string init("\x02\x00\x04\xA0\x30\x37\x03\xA0", 8);
  ASSERT_EQ(::write(port, init.data(), init.size()), 8);
  std::string answer;
  for (int i = 0; i < 200 && answer.size() < 15; ++i) {
    pollfd p{port, POLLIN, 0};
    if (::poll(&p, 1, 50) == 1) {
      char buf[64];
      const ssize_t n = ::read(port, buf, sizeof buf);
      if (n > 0) answer.append(buf, static_cast<std::size_t>(n));
    }
  }
  ::close(port);
  EXPECT_EQ(answer, std::string("\x02\x00\x0B\x06PAD V1.00\x03\x32", 15));

  pad.type("help");
  pad.type("wave");
  ASSERT_TRUE(pad.wait_for("has no action", 10000)) << pad.printed();
  pad.type("quit");
  EXPECT_EQ(pad.wait(10000), 0);
  EXPECT_NE(pad.printed().find("tallypad actions:\n  sign "), std::string::npos) << pad.printed();
  EXPECT_NE(pad.printed().find("  quit  ends vpad\n"), std::string::npos);
  EXPECT_NE(pad.printed().find("vpad: tallypad has no action \"wave\""), std::string::npos);
  // The frames went to the log file, not to the terminal.
  EXPECT_EQ(pad.printed().find(" rx "), std::string::npos);
  const std::string log = dir.read("pad.log");
  EXPECT_NE(log.find(" rx 02 00 04 A0 30 37 03 A0\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" tx 02 00 0B 06 50 41 44 20 56 31 2E 30 30 03 32\n"), std::string::npos) << log;
}

TEST(VpadProgram, AListeningPadEndsOnSigterm) {
  TempDir dir;
  Process pad(program("vpad"), {"stylpad", "COM20", "--listen"});
  ASSERT_TRUE(wait_until([&] { return pad.out().find('\n') != std::string::npos; }, 20000));
  EXPECT_EQ(pad.terminate(), 0);
}

}  // namespace
}  // namespace pink::testkit
