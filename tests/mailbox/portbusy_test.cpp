#include "mailbox/portbusy.h"

#include <gtest/gtest.h>

#include "tests/mailbox/fakes.h"

namespace pink::mailbox {
namespace {

using testing::MapMailbox;
using testing::RecordingLog;

struct Sleeps {
  std::vector<std::uint32_t> calls;
  PortBusyOptions options() {
    PortBusyOptions o;
    o.sleep = [this](std::uint32_t ms) { calls.push_back(ms); };
    return o;
  }
};

TEST(PortBusy, WithoutPortCheckThereIsNoWaitButTheFlagIsStillSet) {
  MapMailbox mb;
  RecordingLog log;
  Sleeps sleeps;
  mb.set("spiro", "1", "Y");
  EXPECT_EQ(take_port(mb, log, "1", sleeps.options()), 0);
  EXPECT_TRUE(sleeps.calls.empty());
  EXPECT_TRUE(log.lines.empty());
  EXPECT_EQ(mb.value("spiro", "1"), "Y");
  release_port(mb, "1");
  EXPECT_EQ(mb.value("spiro", "1"), "N");
}

TEST(PortBusy, AFlagThatNeverClearsWaitsTenTimesAndLogs) {
  MapMailbox mb;
  RecordingLog log;
  Sleeps sleeps;
  mb.set("spiro", "PortCheckYN", "Y");
  mb.set("spiro", "1", "Y");
  EXPECT_EQ(take_port(mb, log, "1", sleeps.options()), 10);
  EXPECT_EQ(sleeps.calls, std::vector<std::uint32_t>(10, 200));
  EXPECT_EQ(log.lines, std::vector<std::string>{"1 Port-10"});
  EXPECT_EQ(mb.value("spiro", "1"), "Y");
}

TEST(PortBusy, AFlagThatClearsAfterThreePollsEndsTheWaitEarly) {
  MapMailbox mb;
  RecordingLog log;
  Sleeps sleeps;
  mb.set("spiro", "PortCheckYN", "Y");
  mb.set("spiro", "P", "Y");
  int flag_reads = 0;
  mb.on_get = [&](std::string_view section, std::string_view key) {
    if (section == "spiro" && key == "P" && ++flag_reads == 4) mb.set("spiro", "P", "N");
  };
  EXPECT_EQ(take_port(mb, log, "P", sleeps.options()), 3);
  EXPECT_EQ(sleeps.calls.size(), 3u);
  EXPECT_EQ(log.lines, std::vector<std::string>{"P Port-3"});
  EXPECT_EQ(mb.value("spiro", "P"), "Y");
}

TEST(PortBusy, OnlyTheExactYesIsTakenAsBusy) {
  MapMailbox mb;
  RecordingLog log;
  Sleeps sleeps;
  mb.set("spiro", "PortCheckYN", "y");  // not "Y": protocol off
  mb.set("spiro", "10", "Y");
  EXPECT_EQ(take_port(mb, log, "10", sleeps.options()), 0);
  EXPECT_TRUE(log.lines.empty());

  mb.set("spiro", "PortCheckYN", "Y");
  mb.set("spiro", "10", "N");
  EXPECT_EQ(take_port(mb, log, "10", sleeps.options()), 0);
  EXPECT_TRUE(sleeps.calls.empty());
  EXPECT_TRUE(log.lines.empty());
  EXPECT_EQ(mb.value("spiro", "10"), "Y");
}

TEST(SerialSettingsLookup, TrimsDefaultsAndForces) {
  MapMailbox mb;
  mb.set("prtspeed", "com3", "  ");
  EXPECT_EQ(serial_settings(mb, "3"), "9600,n,8,1");
  EXPECT_EQ(serial_settings(mb, "4"), "9600,n,8,1");  // absent

  mb.set("prtspeed", "com1", " 19200,n,8,1 ");
  EXPECT_EQ(serial_settings(mb, "1 "), "19200,n,8,1");  // port field's trailing blank dropped
  EXPECT_EQ(serial_settings(mb, "1", /*force_38400=*/true), "38400,n,8,1");

  mb.set("prtspeed", "COM12", "4800,e,7,1");  // names compare case-insensitively
  EXPECT_EQ(serial_settings(mb, "12"), "4800,e,7,1");
}

}  // namespace
}  // namespace pink::mailbox
