// The OS-independent half of the event loop, shared by the poll loop (Linux)
// and the window-message loop (Windows): the table of timers with their
// enabled and running state, and the pollers, stop callbacks and quit state.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/eventloop.h"

namespace pink::events::detail {

struct Timer {
  Loop::TimerId id = 0;
  std::uint32_t interval_ms = 0;
  std::function<void()> fn;
  bool enabled = true;
  bool running = false;  // its callback is on the stack
  std::uint64_t due = 0;  // for a loop that keeps the time itself: when it next falls due
};

class TimerTable {
 public:
  // A new timer, enabled, numbered 1, 2, ... in the order they are added.
  Timer& add(std::uint32_t interval_ms, std::function<void()> fn);
  Timer* find(Loop::TimerId id) const;
  bool enabled(Loop::TimerId id) const;

  // Sets a timer's enabled flag. Returns the timer when the flag changed, so
  // that the caller restarts or stops its interval; null for an unknown id
  // or when the flag was so already.
  Timer* set_enabled(Loop::TimerId id, bool enabled);

  // Calls the timer's callback, unless the timer is stopped or its callback
  // is still on the stack (it let messages run): a timer is never entered
  // twice. Returns whether it ran.
  bool fire(Timer& t);

  // For a loop that keeps the due times itself: the enabled timers that are
  // not running and are due at `now_ms`, earliest first (ties in the order
  // the timers were added).
  std::vector<Timer*> due_at(std::uint64_t now_ms) const;
  // How long from `now_ms` until the next enabled, not running timer falls
  // due (0 when one is due already), at most `limit_ms`.
  std::uint64_t wait_ms(std::uint64_t now_ms, std::uint64_t limit_ms) const;

  const std::vector<std::unique_ptr<Timer>>& all() const { return timers_; }

 private:
  // Owned one by one, so that a timer stays where it is while a callback adds another.
  std::vector<std::unique_ptr<Timer>> timers_;
  Loop::TimerId next_id_ = 1;
};

// What both loops keep besides their OS handles.
struct LoopState {
  TimerTable timers;
  std::vector<std::function<void()>> pollers;
  std::vector<std::function<void()>> stop_fns;
  bool quit = false;
  int exit_code = 0;
  bool stop_requested = false;
  bool in_pollers = false;

  // Takes a stop request once: runs the stop callbacks (which may still call
  // quit() with an exit code of their own), then ends the loop.
  void request_stop();

  // Runs every poller in the order added, until one quits the loop. A poller
  // may add another one; a poller that lets messages run does not enter the
  // pollers again.
  void run_pollers();
};

}  // namespace pink::events::detail
