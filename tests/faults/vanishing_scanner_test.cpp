// A scanner whose serial device vanishes while a code is on its way: the
// driver's reader neither hangs nor spins, a close still closes, and a new
// open gives the library's failure code.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <future>
#include <string>

#include "pink/scanio.h"
#include "tests/scanio/sinks.h"
#include "tools/testkit/vport.h"

namespace pink {
namespace {

// Processor time of this process (every thread) spent while `ms` pass.
double cpu_seconds_over(int ms) {
  auto cpu = [] {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
  };
  const double before = cpu();
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  return cpu() - before;
}

// Runs `call` on another thread; its result, or nothing when it hangs.
template <typename Fn>
std::optional<std::int32_t> within(std::chrono::seconds limit, Fn call) {
  auto f = std::async(std::launch::async, call);
  if (f.wait_for(limit) != std::future_status::ready) {
    ADD_FAILURE() << "the call hangs";
    f.wait();  // it must end before the test's objects go
    return std::nullopt;
  }
  return f.get();
}

TEST(VanishingScanner, MessageModeReaderStopsAndTheCloseCloses) {
  testkit::VirtualPort port(2);
  testkit::Pipe window;
  char code[100] = "untouched";
  ASSERT_EQ(ScnOpenI(window.window(), 0x8001, code), 1);
  port.write("880123");  // half a code
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  port.unplug();
  // A reader that took the hang-up for data would spin on it.
  EXPECT_LT(cpu_seconds_over(1500), 0.5);
  EXPECT_TRUE(window.quiet(100));  // no code was delivered
  EXPECT_STREQ(code, "untouched");
  EXPECT_EQ(within(std::chrono::seconds(20), [] { return ScnCloseI(); }), 1);
  EXPECT_EQ(ScnCloseI(), 0);
  // The port is gone: the library gives its failure code.
  EXPECT_EQ(ScnOpenI(window.window(), 0x8001, code), 0);
  EXPECT_EQ(ScnOpenP(window.window()), 0);
}

TEST(VanishingScanner, PollingModeReadsNothingAndTheCloseCloses) {
  testkit::VirtualPort port(2);
  char code[100] = "EARLIER";
  ASSERT_EQ(ScnOpenP(0), 1);
  port.write("ABC\r");
  ASSERT_TRUE(testkit::wait_until([&] { return ScnReadP(code) == 3; }, 10000));
  EXPECT_STREQ(code, "ABC");
  port.write("DEF");
  port.unplug();
  for (int i = 0; i < 3; ++i) {
    // The last complete code stays; the unfinished one is dropped.
    EXPECT_EQ(within(std::chrono::seconds(20), [&] { return ScnReadP(code); }), 3);
  }
  EXPECT_STREQ(code, "ABC");
  EXPECT_EQ(within(std::chrono::seconds(20), [] { return ScnCloseP(); }), 1);
  EXPECT_EQ(ScnReadP(code), -1);
  EXPECT_EQ(ScnOpenP(0), 0);
}

}  // namespace
}  // namespace pink
