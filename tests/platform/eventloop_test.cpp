// The event loop: timers, pollers, letting pending work run, stop requests;
// the single-instance lock and the status line. Then the timer table and loop
// state both event loops keep: the Windows loop relies on them for the timer
// rules its window timers cannot enforce, so they are checked here, without a
// clock.
#include "platform/eventloop.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/common/eventloop_common.h"
#include "platform/text.h"
#include "tools/testkit/testkit.h"

namespace pink {
namespace {

namespace tk = pink::testkit;

// Ends a loop that would otherwise run on for ever.
void quit_after(events::Loop& loop, std::uint32_t ms) {
  loop.add_timer(ms, [&loop] { loop.quit(99); });
}

// The order in which due timers fire is shown on the timer table itself
// (below).
TEST(EventLoop, PumpRunsWhatIsDueButNeverADisabledOrRunningTimer) {
  events::Loop loop;
  EXPECT_EQ(events::Loop::current(), &loop);
  int fired = 0, depth = 0, max_depth = 0, polled = 0;
  const auto id = loop.add_timer(1, [&] {
    ++fired;
    max_depth = std::max(max_depth, ++depth);
    // Lets pending work run while the timer is due again and again.
    for (int i = 0; i < 5; ++i) {
      clock::sleep_ms(3);
      loop.pump();
    }
    --depth;
  });
  loop.add_poller([&] { ++polled; });

  loop.enable_timer(id, false);
  EXPECT_FALSE(loop.timer_enabled(id));
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
  EXPECT_FALSE(loop.timer_enabled(12345));
}

TEST(EventLoop, ReEnabledTimerCountsAFreshIntervalAndQuitEndsTheRun) {
  events::Loop loop;
  int fired = 0;
  const auto id = loop.add_timer(50, [&] { ++fired; });
  loop.enable_timer(id, false);
  clock::sleep_ms(60);
  const std::uint64_t enabled_at = clock::monotonic_ms();
  loop.enable_timer(id, true);
  std::uint64_t first_fire = 0;
  loop.add_timer(1, [&] {
    if (fired > 0) {
      first_fire = clock::monotonic_ms();
      loop.quit(2);
    }
  });
  EXPECT_EQ(loop.run(), 2);
  EXPECT_GE(first_fire - enabled_at, 50u);
}

TEST(EventLoop, TerminationSignalStopsTheLoopAfterTheStopCallbacksOnce) {
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
  // Further signals do not call the callbacks again.
  ::raise(SIGINT);
  loop.pump();
  EXPECT_EQ(calls.size(), 2u);

  // pump() takes a stop request too; a stop callback may quit with a code.
  events::Loop other;
  other.on_stop([&] { other.quit(3); });
  ::raise(SIGINT);
  other.pump();
  EXPECT_TRUE(other.stop_requested());
  EXPECT_EQ(other.run(), 3);  // returns at once
}

// A window's end request (a poller standing in for the window here) stops
// the loop the way a stop signal does: stop callbacks once, then run() ends.
TEST(EventLoop, RequestStopFromInsideTheLoopEndsTheRunAfterTheStopCallbacks) {
  events::Loop loop;
  int stops = 0, polls = 0;
  loop.on_stop([&] { ++stops; });
  loop.add_poller([&] {
    if (++polls == 3) loop.request_stop();
  });
  quit_after(loop, 60000);
  EXPECT_EQ(loop.run(), 0);
  EXPECT_TRUE(loop.stop_requested());
  EXPECT_EQ(polls, 3);
  loop.request_stop();
  EXPECT_EQ(stops, 1);
  EXPECT_EQ(loop.run(), 0) << "returns at once";
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

// A stop request by name from another process (a thread stands in for it):
// taken by run() between passes, never inside pump(), and the sender hears
// when the listener is gone.
TEST(StopRequest, EndsTheRunBetweenPassesAndTheSenderHearsWhenTheLoopIsGone) {
  tk::TempDir dir;
  tk::ScopedEnv lockdir("PINK_LOCKDIR", dir.path());
  EXPECT_EQ(events::send_stop("kitmux", 0), events::StopResult::NotRunning);
  auto loop = std::make_unique<events::Loop>();
  const auto listening = loop->listen_for_stop("kitmux");
  ASSERT_TRUE(listening) << listening.why();
  int stops = 0;
  loop->on_stop([&] { ++stops; });
  EXPECT_EQ(events::send_stop("kitmux", 0), events::StopResult::StillRunning);
  for (int i = 0; i < 5; ++i) {
    loop->pump();
    clock::sleep_ms(5);
  }
  EXPECT_FALSE(loop->stop_requested()) << "a job letting messages run goes on";
  quit_after(*loop, 60000);
  EXPECT_EQ(loop->run(), 0);
  EXPECT_EQ(stops, 1);

  std::thread sender;
  events::StopResult result = events::StopResult::Failed;
  auto second = std::make_unique<events::Loop>();
  const auto also_listening = second->listen_for_stop("kitmux");
  ASSERT_TRUE(also_listening) << also_listening.why();
  sender = std::thread([&] { result = events::send_stop("kitmux", 20000); });
  quit_after(*second, 60000);
  EXPECT_EQ(second->run(), 0);
  second.reset();
  loop.reset();
  sender.join();
  EXPECT_EQ(result, events::StopResult::Stopped);
  EXPECT_EQ(events::send_stop("kitmux", 0), events::StopResult::NotRunning);
}

// What lies where the FIFO belongs neither stops a program nor takes bytes.
TEST(StopRequest, AStrayFileIsNoStopChannel) {
  tk::TempDir dir;
  tk::ScopedEnv lockdir("PINK_LOCKDIR", dir.path());
  dir.write("pink-kitfeed.stop", "");
  events::Loop loop;
  const auto listening = loop.listen_for_stop("kitfeed");
  EXPECT_FALSE(listening);
  EXPECT_NE(listening.why().find("pink-kitfeed.stop"), std::string::npos) << listening.why();
  EXPECT_EQ(events::send_stop("kitfeed", 0), events::StopResult::Failed);
  EXPECT_EQ(dir.read("pink-kitfeed.stop"), "");
  quit_after(loop, 50);
  EXPECT_EQ(loop.run(), 99);
  EXPECT_FALSE(loop.stop_requested());
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

namespace pink::events::detail {
namespace {

std::vector<Loop::TimerId> ids(const std::vector<Timer*>& timers) {
  std::vector<Loop::TimerId> out;
  for (const Timer* t : timers) out.push_back(t->id);
  return out;
}

TEST(TimerTable, DueTimersComeEarliestFirstAndTheWaitIsCapped) {
  TimerTable table;
  const std::uint64_t due[] = {50, 20, 50, 10, 5};
  for (std::uint64_t d : due) table.add(10, [] {}).due = d;
  table.find(4)->enabled = false;  // due at 10, but stopped
  table.find(5)->running = true;   // due at 5, but on the stack

  EXPECT_EQ(ids(table.due_at(9)), std::vector<Loop::TimerId>{});
  EXPECT_EQ(ids(table.due_at(20)), (std::vector<Loop::TimerId>{2}));
  EXPECT_EQ(ids(table.due_at(60)), (std::vector<Loop::TimerId>{2, 1, 3}));  // a tie keeps the order added

  EXPECT_EQ(table.wait_ms(9, 100), 11u);  // to timer 2; the stopped and the running ones do not count
  EXPECT_EQ(table.wait_ms(9, 10), 10u);
  EXPECT_EQ(table.wait_ms(30, 100), 0u);  // overdue
}

// A timer that is never entered twice and a stop that runs its callbacks
// once are shown through the running loop (above); here what the
// window timers of the other loop rely on.
TEST(TimerTable, EnablingReportsOnlyAChange) {
  TimerTable table;
  int calls = 0;
  Timer& t = table.add(10, [&] { ++calls; });
  EXPECT_EQ(t.id, 1);
  EXPECT_FALSE(table.enabled(2));
  EXPECT_EQ(table.set_enabled(1, true), nullptr);  // so already: no restart
  EXPECT_EQ(table.set_enabled(2, false), nullptr);
  EXPECT_EQ(table.set_enabled(1, false), &t);
  EXPECT_FALSE(table.fire(t));  // a message queued before the stop is dropped
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(table.set_enabled(1, true), &t);
  EXPECT_TRUE(table.fire(t));
  EXPECT_EQ(calls, 1);
}

TEST(LoopState, PollersRunInOrderUntilOneQuits) {
  // A poller added by another runs in the same pass; one that lets messages
  // run does not enter the pollers again; quitting ends the pass.
  LoopState polled;
  std::vector<int> order;
  bool quit_at_2 = false;
  polled.pollers.push_back([&] {
    order.push_back(1);
    polled.run_pollers();
    if (polled.pollers.size() == 2) polled.pollers.push_back([&] { order.push_back(3); });
  });
  polled.pollers.push_back([&] {
    order.push_back(2);
    polled.quit = quit_at_2;
  });
  polled.run_pollers();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
  quit_at_2 = true;
  polled.run_pollers();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 1, 2}));
}

}  // namespace
}  // namespace pink::events::detail
