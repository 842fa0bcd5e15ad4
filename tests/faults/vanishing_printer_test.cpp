// A printer whose serial device vanishes in the middle of a job (the other
// end of its line closes): each spooler takes its failure path with its
// keys, lets go of the port-busy flag and ends; nothing hangs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/kitchen/kitchen_fixture.h"
#include "tools/testkit/vport.h"

namespace pink {
namespace {

using testing::KitchenRun;

// A body far larger than what a line holds in flight, so that the program
// is still writing when the device goes.
std::vector<std::string> long_job(const std::string& header) {
  std::vector<std::string> lines{header};
  for (int i = 0; i < 6000; ++i) lines.push_back("LINE " + std::to_string(i) + std::string(50, '-'));
  return lines;
}

// Starts `program` on the job, lets the first bytes arrive, then unplugs the
// device; returns the program's exit code (nothing when it hung).
std::optional<int> run_and_unplug(KitchenRun& r, testkit::VirtualPort& port, const std::string& program) {
  testkit::RunOptions o;
  o.cwd = r.work.path();
  testkit::Process p(testkit::program(program), {}, o);
  const std::string first = port.read_exact(64, 20000);
  EXPECT_EQ(first.size(), 64u) << "the job never started: " << p.err();
  port.unplug();
  auto code = p.wait(30000);
  if (!code) ADD_FAILURE() << program << " hangs after its device vanished";
  return code;
}

TEST(VanishingPrinter, PrinterSerialPathReportsTheFailureAndReleasesTheFlag) {
  KitchenRun r;
  testkit::VirtualPort port(31);
  r.set("spiro", "PortCheckYN", "Y");
  r.job("printer.zor", long_job("31X0XN"));
  const auto code = run_and_unplug(r, port, "printer");
  EXPECT_EQ(code, 1);
  EXPECT_EQ(r.get("floyd", "prttw_state"), "end");
  EXPECT_EQ(r.get("floyd", "prttw_error"), "syserror");
  EXPECT_EQ(r.get("floyd", "prttw_text"), "Device I/O error");
  EXPECT_EQ(r.get("spiro", "31"), "N");
}

// The library path: the library's string printing reports nothing, so the
// job ends as printed; it still ends at once and lets the flag go.
TEST(VanishingPrinter, PrinterLibraryPathEndsAndReleasesTheFlag) {
  KitchenRun r;
  testkit::VirtualPort port(30);
  r.set("spiro", "PortCheckYN", "Y");
  r.job("printer.zor", long_job("30XCXN"));
  const auto code = run_and_unplug(r, port, "printer");
  EXPECT_EQ(code, 0);
  EXPECT_EQ(r.get("floyd", "prttw_state"), "start");
  EXPECT_EQ(r.get("spiro", "30"), "N");
}

TEST(VanishingPrinter, KitchenReportsTheFailureAndReleasesTheFlag) {
  for (const std::string program : {"kitchen", "kitchenb"}) {
    SCOPED_TRACE(program);
    KitchenRun r;
    testkit::VirtualPort port(32);
    r.set("spiro", "PortCheckYN", "Y");
    r.job(program + ".zor", long_job("32T0XX"));
    const auto code = run_and_unplug(r, port, program);
    EXPECT_EQ(code, 1);
    EXPECT_EQ(r.get("floyd", "kit_state"), "end");
    EXPECT_EQ(r.get("floyd", "kit_error"), "syserror");
    EXPECT_EQ(r.get("floyd", "kit_text"), "Device I/O error");
    EXPECT_EQ(r.get("floyd", "kit_error_no"), "57");
    EXPECT_EQ(r.get("spiro", "32"), "N");
  }
}

struct Resident : KitchenRun {
  testkit::TempDir locks;
  testkit::ScopedEnv lockdir{"PINK_LOCKDIR", locks.path()};
};

// The resident printers end on a failure; the POS sees "end" and "N".
TEST(VanishingPrinter, ResidentPrintersReportTheFailureAndEnd) {
  struct Case {
    std::string program, header, marker;
  };
  for (const Case& c : {Case{"kitmux", "13T0XX", "Err_Rtn-13"}, Case{"kitfeed", "13T0XX", "EN1"}}) {
    SCOPED_TRACE(c.program);
    Resident r;
    testkit::VirtualPort port(13);
    testkit::RunOptions o;
    o.cwd = r.work.path();
    testkit::Process p(testkit::program(c.program), {}, o);
    ASSERT_TRUE(testkit::wait_until([&] { return !r.writes_of("kit_state").empty(); }, 10000));
    r.job("kitchen.zor", long_job(c.header));
    r.set("floyd", "kit_abc", "Y");
    ASSERT_EQ(port.read_exact(64, 20000).size(), 64u) << p.err();
    port.unplug();
    const auto code = p.wait(30000);
    ASSERT_TRUE(code.has_value()) << c.program << " hangs after its device vanished";
    EXPECT_EQ(*code, 1);
    EXPECT_EQ(r.get("floyd", "kit_process"), c.marker);
    EXPECT_EQ(r.get("floyd", "kit_state"), "end");
    EXPECT_EQ(r.get("floyd", "kit_abc"), "N");
    EXPECT_EQ(r.get("floyd", "kit_error"), "syserror");
    EXPECT_NE(r.get("floyd", "kit_text").find("Device I/O error"), std::string::npos) << r.get("floyd", "kit_text");
  }
}

}  // namespace
}  // namespace pink
