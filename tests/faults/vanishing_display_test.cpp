// A display pole whose serial device vanishes while pds writes to it: pds
// writes its failure to "pds_error" and ends; nothing hangs.
#include <gtest/gtest.h>

#include <string>

#include "platform/settings.h"
#include "platform/text.h"
#include "tools/testkit/testkit.h"
#include "tools/testkit/vport.h"

namespace pink {
namespace {

TEST(VanishingDisplay, PdsReportsTheFailureAndEnds) {
  for (const std::string type : {"1", "C", "L"}) {
    SCOPED_TRACE("type " + type);
    testkit::TempStore store;
    testkit::TempDir work;
    testkit::VirtualPort port(7);
    for (const auto& [key, value] : {std::pair<std::string, std::string>{"pds_hw", type}, {"pds_port", "7"},
                                     {"pds_1", "TOTAL"}, {"pds_2", "ITEMS 3"}, {"pds_3", "12,000"}}) {
      settings::put("pink", "floyd", key, value);
    }
    // The display stops the line, so pds is caught writing; then it goes.
    port.hold_output(true);
    testkit::RunOptions o;
    o.cwd = work.path();
    testkit::Process p(testkit::program("pds"), {}, o);
    ASSERT_TRUE(testkit::wait_until([&] { return port.opened_by_another_process() || !p.running(); }, 20000));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    port.unplug();
    const auto code = p.wait(30000);
    ASSERT_TRUE(code.has_value()) << "pds hangs after its device vanished";
    EXPECT_EQ(text::cp949_to_utf8(settings::get("pink", "floyd", "pds_error")), "Device I/O error") << p.err();
  }
}

}  // namespace
}  // namespace pink
