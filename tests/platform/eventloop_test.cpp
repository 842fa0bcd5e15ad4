// The event loop: timers, pollers, letting pending work run, stop requests;
// the single-instance lock and the status line.
#include "platform/eventloop.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/text.h"
#include "tools/testkit/testkit.h"

namespace pink {
namespace {

namespace tk = pink::testkit;

// Ends a loop that would otherwise run on for ever.
void quit_after(events::Loop& loop, std::uint32_t ms) {
  loop.add_timer(ms, [&loop] { loop.quit(99); });
}

TEST(EventLoop, TimersFireInTheOrderTheyFallDue) {
  events::Loop loop;
  EXPECT_EQ(events::Loop::current(), &loop);
  std::vector<int> order;
  std::vector<events::Loop::TimerId> ids(3);
  const std::uint32_t intervals[3] = {90, 30, 60};
  for (int i = 0; i < 3; ++i) {
    ids[i] = loop.add_timer(intervals[i], [&, i] {
      order.push_back(i);
      loop.enable_timer(ids[i], false);
      if (order.size() == 3) loop.quit(7);
    });
  }
  quit_after(loop, 60000);
  EXPECT_EQ(loop.run(), 7);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 0}));
}

TEST(EventLoop, DisabledTimerIsSilentAndReEnablingRestartsIt) {
  events::Loop loop;
  int fired = 0;
  const auto id = loop.add_timer(5, [&] { ++fired; });
  EXPECT_TRUE(loop.timer_enabled(id));
  loop.enable_timer(id, false);
  EXPECT_FALSE(loop.timer_enabled(id));

  // The disabled timer stays quiet for many passes while other work runs.
  int passes = 0;
  loop.add_poller([&] { ++passes; });
  const auto stopper = loop.add_timer(100, [&] { loop.quit(1); });
  EXPECT_EQ(loop.run(), 1);
  EXPECT_EQ(fired, 0);
  EXPECT_GE(passes, 2);

  // Re-enabled it runs again; a fresh interval counts from the re-enable.
  loop.enable_timer(stopper, false);
  const std::uint64_t enabled_at = clock::monotonic_ms();
  loop.enable_timer(id, true);
  std::uint64_t first_fire = 0;
  const auto watcher = loop.add_timer(1, [&] {
    if (fired > 0 && first_fire == 0) {
      first_fire = clock::monotonic_ms();
      loop.quit(2);
    }
  });
  EXPECT_EQ(loop.run(), 2);
  EXPECT_GE(first_fire - enabled_at, 5u);
  loop.enable_timer(watcher, false);
  EXPECT_FALSE(loop.timer_enabled(12345));
}

TEST(EventLoop, PumpRunsWhatIsDueButNeverADisabledOrRunningTimer) {
  events::Loop loop;
  int fired = 0, depth = 0, max_depth = 0, polled = 0;
  events::Loop::TimerId id = 0;
  id = loop.add_timer(1, [&] {
    ++fired;
    ++depth;
    max_depth = std::max(max_depth, depth);
    // Lets pending work run while the timer is due again and again.
    for (int i = 0; i < 5; ++i) {
      clock::sleep_ms(3);
      loop.pump();
    }
    --depth;
  });
  loop.add_poller([&] { ++polled; });

  loop.enable_timer(id, false);
  clock::sleep_ms(20);
  loop.pump();
  EXPECT_EQ(fired, 0);
  EXPECT_GE(polled, 1);

  loop.enable_timer(id, true);
  clock::sleep_ms(20);
  loop.pump();
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(max_depth, 1);
  EXPECT_GE(polled, 6);
}

TEST(EventLoop, TerminationSignalStopsTheLoopAfterTheStopCallbacks) {
  events::install_stop_handlers();
  events::Loop loop;
  std::vector<std::string> calls;
  loop.on_stop([&] { calls.push_back("first"); });
  loop.on_stop([&] {
    calls.push_back("second");
    EXPECT_TRUE(loop.stop_requested());
  });
  loop.add_timer(20, [] { ::kill(::getpid(), SIGTERM); });
  quit_after(loop, 60000);
  EXPECT_EQ(loop.run(), 0);
  EXPECT_EQ(calls, (std::vector<std::string>{"first", "second"}));
  EXPECT_TRUE(loop.stop_requested());
  // Further signals do not call the callbacks again.
  ::raise(SIGINT);
  loop.pump();
  EXPECT_EQ(calls.size(), 2u);
}

TEST(EventLoop, PumpTakesAStopRequestToo) {
  events::install_stop_handlers();
  events::Loop loop;
  int stops = 0;
  loop.on_stop([&] {
    ++stops;
    loop.quit(3);
  });
  ::raise(SIGINT);
  loop.pump();
  EXPECT_EQ(stops, 1);
  EXPECT_TRUE(loop.stop_requested());
  EXPECT_EQ(loop.run(), 3);  // returns at once
}

TEST(SingleInstance, SecondHolderIsRefusedUntilTheFirstLetsGo) {
  tk::TempDir dir;
  tk::ScopedEnv lockdir("PINK_LOCKDIR", dir.path());
  {
    events::SingleInstance first("kitmux");
    EXPECT_TRUE(first.acquired());
    EXPECT_TRUE(dir.exists("pink-kitmux.lock"));
    events::SingleInstance second("kitmux");
    EXPECT_FALSE(second.acquired());
    events::SingleInstance other("kitfeed");
    EXPECT_TRUE(other.acquired());
  }
  events::SingleInstance again("kitmux");
  EXPECT_TRUE(again.acquired());
}

TEST(StatusLine, PrintsALineOnlyWhenItChanges) {
  testing::internal::CaptureStdout();
  events::show_status("kitmux", text::utf8_to_cp949("포트 ,4"));
  events::show_status("kitmux", text::utf8_to_cp949("포트 ,4"));
  events::show_status("kitmux", text::utf8_to_cp949("포트 ,4,7"));
  events::show_status("kitmux", text::utf8_to_cp949("포트 ,4"));
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "kitmux 포트 ,4\nkitmux 포트 ,4,7\nkitmux 포트 ,4\n");
}

}  // namespace
}  // namespace pink
