// The COM layer's own Windows tests (comtest.exe, built by the 64-bit
// Windows build) run under Wine, one group per case: late-bound calls and
// the dual v-table, connection points with window work from the message
// loop, factories, unloading and type libraries, and msgcall.dll in-process
// with a registration that fails half-way (in a prefix of its own, as it
// writes the user's registry).
#include <gtest/gtest.h>

#include <string>

#include "tests/wintest/com_support.h"

namespace pink::comtest {
namespace {

void run_group(testkit::Wine& wine, const std::string& filter) {
  testkit::RunOptions o;
  o.timeout_ms = 120000;
  const auto r = wine.run(wine.program("comtest.exe"), {"--gtest_filter=" + filter}, o);
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("[  PASSED  ]"), std::string::npos) << r.out << r.err;
  EXPECT_EQ(r.out.find("[  FAILED  ]"), std::string::npos) << r.out;
}

TEST(ComLayer, LateBoundCallsAndTheDualVtableConvertCheckAndAnswer) {
  std::string why;
  ASSERT_TRUE(testkit::Wine::available(&why)) << why;
  run_group(testkit::Wine::shared(), "Dispatch.*:Dual.*");
}

TEST(ComLayer, EventsReachEverySinkOnTheObjectsThreadFromItsMessageLoop) {
  std::string why;
  ASSERT_TRUE(testkit::Wine::available(&why)) << why;
  run_group(testkit::Wine::shared(), "Events.*");
}

TEST(ComLayer, FactoriesUnloadingAndTheTypeLibraryInTheResources) {
  std::string why;
  ASSERT_TRUE(testkit::Wine::available(&why)) << why;
  run_group(testkit::Wine::shared(), "Server.*");
}

TEST(ComLayer, MsgcallInProcessAndARegistrationThatFailsHalfWay) {
  std::string why;
  ASSERT_TRUE(testkit::Wine::available(&why)) << why;
  run_group(own_prefix("com-inprocess"), "Msgcall.*");
}

}  // namespace
}  // namespace pink::comtest
