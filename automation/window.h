// What an automation object's window runs, without a window: work handed
// over by other threads (received data), timers, and deferred events, all run
// on the thread that calls run() (the caller's thread, as a window's thread
// would). A wake-up handle is signalled while there is work to run, so a
// caller's event loop can wait for it.
//
// On Windows the queue and the timers also run from the creating thread's
// message loop (serve()), as a window's messages do.
//
// Timers behave like window timers: periodic, intervals under 10 ms count as
// 10 ms, and a timer that fell behind runs once, not once per interval
// missed. Setting a timer again with the same id replaces it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "platform/wakeup.h"

namespace pink::automation {

class Window {
 public:
  Window() = default;  // throws std::runtime_error without a wake-up signal
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Queues work for the next run(). Any thread.
  void post(std::function<void()> work);

  // Timers; the owner's thread only (inside members, work and timers).
  void set_timer(int id, std::uint32_t interval_ms, std::function<void()> tick);
  void kill_timer(int id);

  // Waits up to `timeout_ms` for work, then runs what is due: the work queued
  // before this run started, then the timers that are due. Work queued while
  // it runs waits for the next run (the handle stays signalled). Returns how
  // many pieces of work and timer ticks ran.
  int run(std::uint32_t timeout_ms);

  // From now on `run` (the owner's run() with its own scope) is called from
  // the creating thread's message loop whenever work is handed over or a
  // timer is due, with no one calling run(): on Windows an object's window
  // work runs from its host's message loop. Linux has no such loop and the
  // owner keeps calling run(). See wakeup::Signal::serve. `run` must not
  // throw.
  void serve(std::function<void()> run) { signal_.serve(std::move(run)); }

  // Windows, served: the queue and the timers run from the messages of
  // `window` (a window of the creating thread whose procedure hands its
  // messages to take_message() first) from now on; 0 goes back to the
  // signal's own window. Nothing handed over or due is lost on the way.
  // Linux: nothing. Owner thread.
  void route_to(std::intptr_t window) {
    signal_.route_to(window);
    rearm();
  }
  bool take_message(std::uint32_t message, std::uintptr_t wparam) noexcept {
    return signal_.take_message(message, wparam);
  }

  // Signalled while run() has work; see platform/wakeup.h.
  std::intptr_t handle() const noexcept { return signal_.handle(); }

  static constexpr std::uint32_t kMinimumInterval = 10;

 private:
  struct Timer {
    std::uint32_t interval;
    std::uint64_t due;
    std::function<void()> tick;
  };
  bool has_work(std::uint64_t now);
  std::uint64_t next_due() const;  // UINT64_MAX without timers
  int run_queue();
  int run_timers(std::uint64_t now);
  void rearm();

  wakeup::Signal signal_;
  std::mutex mutex_;
  std::vector<std::function<void()>> queue_;  // guarded by mutex_
  std::map<int, Timer> timers_;
};

}  // namespace pink::automation
