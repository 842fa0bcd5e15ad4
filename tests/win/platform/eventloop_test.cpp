// The event loop on window messages: timers as window timers, letting
// pending messages run, the close message and stop requests by name from
// another thread or process, and the single-instance lock on a named mutex.
#include "platform/eventloop.h"

#include <gtest/gtest.h>

#include <future>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>

#include "platform/clock.h"

namespace pink {
namespace {

std::string own_name(const char* what) { return std::string(what) + "-" + std::to_string(GetCurrentProcessId()); }

// Ends a loop that would otherwise run on for ever.
void quit_after(events::Loop& loop, std::uint32_t ms) {
  loop.add_timer(ms, [&loop] { loop.quit(99); });
}

TEST(EventLoop, TimersFireAtTheirIntervalAndNeverTwiceAtOnce) {
  events::Loop loop;
  EXPECT_EQ(events::Loop::current(), &loop);
  int fast = 0, depth = 0, max_depth = 0, polled = 0;
  const std::uint64_t start = clock::monotonic_ms();
  const auto id = loop.add_timer(20, [&] {
    ++fast;
    max_depth = std::max(max_depth, ++depth);
    // Lets messages run while the timer falls due again.
    for (int i = 0; i < 3; ++i) {
      clock::sleep_ms(25);
      loop.pump();
    }
    --depth;
  });
  loop.add_poller([&] { ++polled; });
  loop.add_timer(400, [&] { loop.quit(7); });
  EXPECT_EQ(loop.run(), 7);
  const std::uint64_t took = clock::monotonic_ms() - start;
  EXPECT_GE(took, 390u);
  EXPECT_GE(fast, 2);
  EXPECT_LE(fast, 6);  // each callback lasts 75 ms of the 400
  EXPECT_EQ(max_depth, 1);
  EXPECT_GT(polled, 5);

  // A stopped timer does not fire, also from a WM_TIMER queued before it stopped.
  loop.enable_timer(id, false);
  EXPECT_FALSE(loop.timer_enabled(id));
  const int before = fast;
  loop.add_timer(150, [&] { loop.quit(8); });
  EXPECT_EQ(loop.run(), 8);
  EXPECT_EQ(fast, before);
  EXPECT_FALSE(loop.timer_enabled(12345));
}

TEST(EventLoop, ACloseMessageStopsTheLoopAfterTheStopCallbacksOnce) {
  events::Loop loop;
  std::vector<std::string> calls;
  loop.on_stop([&] { calls.push_back("first"); });
  loop.on_stop([&] { calls.push_back("second"); });
  int polls = 0;
  loop.add_poller([&] {
    if (++polls == 3) loop.request_stop();
  });
  quit_after(loop, 60000);
  EXPECT_EQ(loop.run(), 0);
  EXPECT_TRUE(loop.stop_requested());
  loop.request_stop();
  EXPECT_EQ(calls, (std::vector<std::string>{"first", "second"}));
  EXPECT_EQ(loop.run(), 0) << "returns at once";
}

// A resident program without a window station: the stop request comes by
// name from another process (another thread stands in for it here).
TEST(EventLoop, AStopRequestByNameEndsTheRunBetweenPassesNeverInsidePump) {
  const std::string name = own_name("pinktest-stop");
  EXPECT_EQ(events::send_stop(name, 0), events::StopResult::NotRunning);
  auto loop = std::make_unique<events::Loop>();
  const auto listening = loop->listen_for_stop(name);
  ASSERT_TRUE(listening) << listening.why();
  int stops = 0;
  loop->on_stop([&] { ++stops; });

  // Delivered, but not taken by pump(): a job letting messages run goes on.
  EXPECT_EQ(events::send_stop(name, 0), events::StopResult::StillRunning);
  for (int i = 0; i < 5; ++i) {
    loop->pump();
    clock::sleep_ms(5);
  }
  EXPECT_FALSE(loop->stop_requested());
  // run() takes it at once.
  quit_after(*loop, 30000);
  const std::uint64_t start = clock::monotonic_ms();
  EXPECT_EQ(loop->run(), 0);
  EXPECT_LT(clock::monotonic_ms() - start, 5000u);
  EXPECT_EQ(stops, 1);

  // A sender that waits hears that the program stopped once its loop is gone.
  auto loop2 = std::make_unique<events::Loop>();
  const auto also_listening = loop2->listen_for_stop(name);
  ASSERT_TRUE(also_listening) << also_listening.why();
  loop2->on_stop([&] { ++stops; });
  auto sent = std::async(std::launch::async, [&] { return events::send_stop(name, 20000); });
  quit_after(*loop2, 30000);
  EXPECT_EQ(loop2->run(), 0);
  loop2.reset();
  loop.reset();
  EXPECT_EQ(sent.get(), events::StopResult::Stopped);
  EXPECT_EQ(stops, 2);
  EXPECT_EQ(events::send_stop(name, 0), events::StopResult::NotRunning);
}

TEST(SingleInstance, ASecondHolderIsRefusedUntilTheFirstLetsGo) {
  const std::string name = own_name("pinktest-single");
  {
    events::SingleInstance first(name);
    EXPECT_TRUE(first.acquired());
    events::SingleInstance second(name);
    EXPECT_FALSE(second.acquired());
    events::SingleInstance other(name + "-other");
    EXPECT_TRUE(other.acquired());
  }
  events::SingleInstance again(name);
  EXPECT_TRUE(again.acquired());
}

}  // namespace
}  // namespace pink
