// The one-job kitchen spoolers `kitchen` and `kitchenb` run as processes.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/kitchen/kitchen_fixture.h"
#include "tools/testkit/vport.h"

namespace pink {
namespace {

using testing::KitchenRun;
using namespace std::string_literals;
using Markers = std::vector<std::string>;

const Markers kSerialMarkers{"SP1", "SP2", "SP3", "SP4", "SP5", "SP6", "CM1", "CM2"};

TEST(Kitchen, OrderWithADrawerPulse) {
  KitchenRun r;
  testkit::VirtualPort port(1);
  r.job("kitchen.zor", {"1T0XX", "ORDER"});
  auto res = r.run("kitchen");
  EXPECT_EQ(res.exit_code, 0) << res.err;
  EXPECT_EQ(port.read_available(1000), "ORDER\r\n\x1B\x70\x00\x40\x50"s);
  EXPECT_EQ(r.get("floyd", "kit_state"), "end");
  EXPECT_EQ(r.get("floyd", "kit_process"), "CM2");
  EXPECT_EQ(r.get("floyd", "kit_error"), "");
  EXPECT_EQ(r.get("floyd", "kit_error_no"), "");
  EXPECT_EQ(r.markers(), kSerialMarkers);
  EXPECT_EQ(r.writes_of("kit_state"), (Markers{"start", "end"}));
  EXPECT_EQ(r.get("spiro", "1"), "N");
}

TEST(Kitchen, SignalsByCodeAndModel) {
  KitchenRun r;
  testkit::VirtualPort port(2);
  r.job("kitchen.zor", {"2N0XX", "A"});
  EXPECT_EQ(r.run("kitchen").exit_code, 0);
  EXPECT_EQ(port.read_available(1000), "A\r\n");

  r.job("kitchen.zor", {"21912", "B"});  // model "9", signal "1": the model-9 pulse
  EXPECT_EQ(r.run("kitchen").exit_code, 0);
  EXPECT_EQ(port.read_available(1000), "B\r\n\x1B\x70\x01\xFF\x10"s);

  r.job("kitchen.zor", {"2300X", "C"});
  EXPECT_EQ(r.run("kitchen").exit_code, 0);
  EXPECT_EQ(port.read_available(1000), "C\r\n\x1C\x62\x03\xF4\x01\xFA\x00"s);

  r.job("kitchen.zor", {"2B0XX", "", "D"});
  EXPECT_EQ(r.run("kitchen").exit_code, 0);
  EXPECT_EQ(port.read_available(1000), "\r\nD\r\n\x1B\x70\x30\x00\xFF"s);
}

TEST(Kitchen, ModelDForcesTheSpeedOnlyInKitchen) {
  KitchenRun r;
  testkit::VirtualPort port(3);
  r.job("kitchen.zor", {"3ND0X", "X"});
  r.job("kitchenb.zor", {"3ND0X", "X"});
  EXPECT_EQ(r.run("kitchen").exit_code, 0);
  EXPECT_EQ(port.line().baud, 38400u);
  port.read_available(500);
  EXPECT_EQ(r.run("kitchenb").exit_code, 0);
  EXPECT_EQ(port.line().baud, 9600u);
  r.set("prtspeed", "com3", " 19200,n,8,1 ");
  EXPECT_EQ(r.run("kitchenb").exit_code, 0);
  EXPECT_EQ(port.line().baud, 19200u);
  EXPECT_EQ(port.read_available(1000), "X\r\nX\r\n");
}

TEST(Kitchen, BodyRulesPerModel) {
  KitchenRun r;
  testkit::VirtualPort port(4);
  r.job("kitchen.zor", {"4N5XX", text::utf8_to_cp949("가A"), "", "#NULL#"});
  EXPECT_EQ(r.run("kitchen").exit_code, 0);
  EXPECT_EQ(port.read_available(1000), "\x1C&\x30\x21\x1C.A\r\n#NULL#\r\n"s);

  r.job("kitchen.zor", {"4N7XX", "A#NULL#B", ""});
  EXPECT_EQ(r.run("kitchen").exit_code, 0);
  EXPECT_EQ(port.read_available(1000), "A\0B\n\n"s);

  r.job("kitchen.zor", {"4NAXX", "#NULL#"});
  EXPECT_EQ(r.run("kitchen").exit_code, 0);
  EXPECT_EQ(port.read_available(1000), "\0\r\n"s);

  r.job("kitchen.zor", {"4N0XX", "#NULL#"});
  EXPECT_EQ(r.run("kitchen").exit_code, 0);
  EXPECT_EQ(port.read_available(1000), "#NULL#\r\n");

  r.job("kitchen.zor", {"4N8XX", "EDIT ME"});  // the stand-in returns the line with CR LF
  EXPECT_EQ(r.run("kitchen").exit_code, 0);
  EXPECT_EQ(port.read_available(1000), "EDIT ME\r\n");
}

TEST(Kitchen, ParallelPathMarkers) {
  KitchenRun r;
  r.job("kitchen.zor", {"PS0XX", "PAR"});
  EXPECT_EQ(r.run("kitchen").exit_code, 0);
  EXPECT_EQ(r.parallel_output(), "PAR\r\n\x1B\x70\x01\x40\x50"s);
  EXPECT_EQ(r.markers(), (Markers{"LP1", "LP2", "LP3", "LP4", "CM1", "CM2"}));
  EXPECT_EQ(r.get("spiro", "P"), "N");
}

TEST(KitchenFailures, MissingJobFilePortAndLogFolder) {
  KitchenRun r;
  EXPECT_EQ(r.run("kitchen").exit_code, 1);
  EXPECT_EQ(r.get("floyd", "kit_state"), "end");
  EXPECT_EQ(r.get("floyd", "kit_error"), "syserror");
  EXPECT_EQ(r.get("floyd", "kit_text"), "File not found");
  EXPECT_EQ(r.get("floyd", "kit_error_no"), "53");
  EXPECT_EQ(r.get("floyd", "kit_process"), "");

  testkit::ScopedEnv missing("PINK_COM5", "/nonexistent/tty5");
  r.job("kitchen.zor", {"5T0XX", "ORDER"});
  EXPECT_EQ(r.run("kitchen").exit_code, 1);
  EXPECT_EQ(r.get("floyd", "kit_process"), "SP2");  // the last step that completed
  EXPECT_EQ(r.get("floyd", "kit_text"), "Invalid port number");
  EXPECT_EQ(r.get("floyd", "kit_error_no"), "8002");
  EXPECT_EQ(r.get("spiro", "5"), "N");

  std::filesystem::remove_all(r.work.file("zorlog"));
  r.set("spiro", "PortCheckYN", "Y");
  r.set("spiro", "P", "Y");
  r.job("kitchen.zor", {"PT0XX", "ORDER"});
  EXPECT_EQ(r.run("kitchen").exit_code, 1);
  EXPECT_EQ(r.get("floyd", "kit_text"), "Path not found");
  EXPECT_EQ(r.get("floyd", "kit_error_no"), "76");
  EXPECT_EQ(r.get("spiro", "P"), "N");
}

}  // namespace
}  // namespace pink
