// The log folder on a full file system (the log file leads to /dev/full,
// where every write fails for want of space, for root as for any user): the
// line is lost and the job goes on. A missing log folder still fails the
// job, as a set-up the operator must mend.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "platform/files.h"
#include "tests/kitchen/kitchen_fixture.h"
#include "tools/testkit/vport.h"

namespace pink {
namespace {

void fill_log_disk(const testing::SpoolerRun& r) {
  ASSERT_EQ(::symlink("/dev/full", r.work.file("zorlog/ZorVB.log").c_str()), 0);
}

TEST(FullDisk, AnAppendReportsNoSpace) {
  testkit::TempDir dir;
  ASSERT_EQ(::symlink("/dev/full", dir.file("full.log").c_str()), 0);
  EXPECT_EQ(files::append(dir.file("full.log"), "line\r\n"), files::AppendStatus::NoSpace);
  EXPECT_EQ(files::append(dir.file("missing/x.log"), "line\r\n"), files::AppendStatus::PathNotFound);
}

TEST(FullDisk, SpoolersLoseTheLogLineAndPrintTheJob) {
  {
    testing::KitchenRun r;
    testkit::VirtualPort port(11);
    fill_log_disk(r);
    r.set("spiro", "PortCheckYN", "Y");
    r.set("spiro", "11", "Y");  // taken: the wait ends with a log line
    r.job("printer.zor", {"11X0XN", "RECEIPT"});
    const auto res = r.run("printer");
    EXPECT_EQ(res.exit_code, 0) << res.err;
    EXPECT_EQ(port.read_available(5000), "RECEIPT\r\n");
    EXPECT_EQ(r.get("floyd", "prttw_error"), "");
    EXPECT_EQ(r.get("spiro", "11"), "N");
  }
  {
    testing::KitchenRun r;
    testkit::VirtualPort port(12);
    fill_log_disk(r);
    r.set("spiro", "PortCheckYN", "Y");
    r.set("spiro", "12", "Y");
    r.job("kitchen.zor", {"12N0XX", "ORDER"});
    const auto res = r.run("kitchen");
    EXPECT_EQ(res.exit_code, 0) << res.err;
    EXPECT_EQ(port.read_available(5000), "ORDER\r\n");
    EXPECT_EQ(r.get("floyd", "kit_state"), "end");
    EXPECT_EQ(r.get("floyd", "kit_error"), "");
    EXPECT_EQ(r.get("spiro", "12"), "N");
  }
}

}  // namespace
}  // namespace pink
