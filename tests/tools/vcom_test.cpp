// vcom and commsend, run as an integrator runs them.
#include <gtest/gtest.h>

#include <string>

#include "tests/tools/listening.h"
#include "tools/testkit/testkit.h"

namespace pink::testkit {
namespace {

TEST(VcomTool, CapturesWhatAProgramSends) {
  TempDir dir;
  const std::string vcom = program("vcom"), commsend = program("commsend");

  // Words typed on the terminal go out as the suite's cp949 text.
  auto r = run(vcom, {"COM60", "--out", dir.file("words.bin"), "--", commsend, "COM60", "주문", "<1>"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(dir.read("words.bin"), "\xc1\xd6\xb9\xae <1>");
  EXPECT_EQ(r.out, "<c1><d6><b9><ae> <3c>1>\n");

  // Standard input goes out byte for byte, at the settings given.
  const std::string raw("A\x1b\x00\xff\r\nB", 7);
  RunOptions in;
  in.input = raw;
  r = run(vcom, {"COM60", "--hex", "--", commsend, "--settings", "19200,e,7,1", "COM60"}, in);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "00000000  41 1b 00 ff 0d 0a 42                              |A.....B|\n");
}

TEST(VcomTool, PassesOnTheProgramsFailure) {
  const std::string vcom = program("vcom"), commsend = program("commsend");
  auto r = run(vcom, {"COM61", "--", commsend, "--settings", "9600,x,8,1", "COM61", "X"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("commsend: 380 Invalid property value"), std::string::npos) << r.err;

  r = run(vcom, {"COM61", "--", "/nonexistent/pink/program"});
  EXPECT_EQ(r.exit_code, 127);
  r = run(vcom, {"COM61"});
  EXPECT_NE(r.exit_code, 0);
  EXPECT_NE(r.err.find("usage"), std::string::npos);
}

TEST(VcomTool, ListensUntilStopped) {
  Process vcom(program("vcom"), {"COM64", "--listen"});
  std::string path;
  ASSERT_NO_FATAL_FAILURE(take_device_path(vcom, path));
  send_ping_pong("COM64", path);
  EXPECT_TRUE(wait_until([&] { return vcom.out().find("PONG") != std::string::npos; }, 10000));
  EXPECT_EQ(vcom.terminate(), 0);
  EXPECT_EQ(vcom.out(), path + "\nPING<0d><0a>\nPONG\n");
}

}  // namespace
}  // namespace pink::testkit
