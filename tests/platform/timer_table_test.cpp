// The timer table and loop state both event loops keep: the Windows loop
// relies on them for the timer rules its window timers cannot enforce, so
// they are checked here, without a clock.
#include "platform/common/eventloop_common.h"

#include <gtest/gtest.h>

#include <vector>

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

TEST(TimerTable, EnablingReportsOnlyAChangeAndATimerIsNeverEnteredTwice) {
  TimerTable table;
  int calls = 0;
  bool entered_again = true;
  Timer& t = table.add(10, [&] {
    ++calls;
    entered_again = table.fire(*table.find(1));  // a callback that lets messages run
  });
  EXPECT_EQ(t.id, 1);
  EXPECT_TRUE(table.enabled(1));
  EXPECT_FALSE(table.enabled(2));
  EXPECT_EQ(table.set_enabled(1, true), nullptr);  // so already: no restart
  EXPECT_EQ(table.set_enabled(2, false), nullptr);

  EXPECT_TRUE(table.fire(t));
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(entered_again);
  EXPECT_FALSE(t.running);

  EXPECT_EQ(table.set_enabled(1, false), &t);
  EXPECT_FALSE(table.fire(t));  // a message queued before the stop is dropped
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(table.set_enabled(1, true), &t);
  EXPECT_TRUE(table.fire(t));
  EXPECT_EQ(calls, 2);
}

TEST(LoopState, StopRunsTheCallbacksOnceAndPollersStopAtQuit) {
  LoopState state;
  std::vector<int> order;
  state.stop_fns.push_back([&] { order.push_back(1); });
  state.stop_fns.push_back([&] { order.push_back(2); });
  state.request_stop();
  state.request_stop();
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  EXPECT_TRUE(state.stop_requested);
  EXPECT_TRUE(state.quit);

  // A poller added by another runs in the same pass; one that lets messages
  // run does not enter the pollers again; quitting ends the pass.
  LoopState polled;
  order.clear();
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
