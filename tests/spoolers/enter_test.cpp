// The reduced receipt spooler `enter` run as a process.
#include <gtest/gtest.h>

#include "tests/spoolers/spooler_fixture.h"
#include "tools/testkit/vport.h"

namespace pink {
namespace {

using testing::SpoolerRun;
using namespace std::string_literals;

TEST(EnterSerial, LogoLineTextLinesAndEmptyLines) {
  SpoolerRun r;
  testkit::VirtualPort port(20);
  r.job("enter.zor", {"20X0X1", "START of the receipt", "start is text", "", "LAST"});
  auto res = r.run("enter");
  EXPECT_EQ(res.exit_code, 0) << res.err;
  EXPECT_EQ(port.line().baud, 9600u);
  EXPECT_EQ(port.read_available(1000),
            "\x1C\x70\x01\x00" "start is text\r\n\r\nLAST\r\n"s);
  // enter reports nothing.
  EXPECT_EQ(r.get("floyd", "prttw_state"), "");
}

TEST(EnterSerial, Model7EndsLinesWithCrLfAndTakesTheNullToken) {
  SpoolerRun r;
  testkit::VirtualPort port(21);
  r.job("enter.zor", {"21X7X2", "A#NULL#B", "START"});
  EXPECT_EQ(r.run("enter").exit_code, 0);
  EXPECT_EQ(port.read_available(1000), "A\0B\r\n\x1C\x70\x01\x03"s);
}

TEST(EnterSerial, OptionFiveLogoOnlyOutsideKoreanMode) {
  SpoolerRun r;
  testkit::VirtualPort port(22);
  r.job("enter.zor", {"22X0X5", "START"});
  EXPECT_EQ(r.run("enter").exit_code, 0);
  EXPECT_EQ(port.read_available(1000), "\x1D\x47\x30");

  r.job("enter.zor", {"22X5X5", "START", text::utf8_to_cp949("가"), ""});
  EXPECT_EQ(r.run("enter").exit_code, 0);
  EXPECT_EQ(port.read_available(1000), "\x1C&\x30\x21\x1C.\r\n"s);

  r.set("prtspeed", "com22", "4800,n,8,1");
  r.job("enter.zor", {"22XDX8", "#NULL# 8"});
  EXPECT_EQ(r.run("enter").exit_code, 0);
  EXPECT_EQ(port.line().baud, 38400u);  // model "D"
  EXPECT_EQ(port.read_available(1000), "#NULL# 8\r\n");  // no editing, no token
}

TEST(EnterParallel, OptionFiveLogoPrintsNothing) {
  SpoolerRun r;
  r.job("enter.zor", {"PX0X5", "START", "TEXT"});
  EXPECT_EQ(r.run("enter").exit_code, 0);
  EXPECT_EQ(r.parallel_output(), "TEXT\r\n");
  r.job("enter.zor", {"PX0X1", "STARTX"});
  r.work.write("lpt1.out", "");
  EXPECT_EQ(r.run("enter").exit_code, 0);
  EXPECT_EQ(r.parallel_output(), "\x1C\x70\x01\x00"s);
}

TEST(EnterFailures, EndSilently) {
  SpoolerRun r;
  auto missing_job = r.run("enter");
  EXPECT_EQ(missing_job.exit_code, 1);
  EXPECT_EQ(missing_job.err, "");
  testkit::ScopedEnv nowhere("PINK_COM23", "/nonexistent/tty23");
  r.job("enter.zor", {"23X0XN", "TEXT"});
  auto bad_port = r.run("enter");
  EXPECT_EQ(bad_port.exit_code, 1);
  EXPECT_EQ(bad_port.err, "");
  EXPECT_TRUE(settings::list("pink").empty());
}

}  // namespace
}  // namespace pink
