// A single-threaded event loop: timers, "let pending messages run", pollers
// (such as a serial control's receive event) and a stop request from a signal,
// a window close or another process.
// Windows: window messages and timers of a hidden window. Linux: a poll loop.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace pink::events {

class Loop {
 public:
  Loop();
  ~Loop();
  Loop(const Loop&) = delete;
  Loop& operator=(const Loop&) = delete;

  using TimerId = int;
  // A timer that calls `fn` every `interval_ms` while enabled; created enabled.
  TimerId add_timer(std::uint32_t interval_ms, std::function<void()> fn);
  void enable_timer(TimerId id, bool enabled);  // re-enabling restarts the interval
  bool timer_enabled(TimerId id) const;

  // Called on every pass of the loop (at least every 10 ms while running).
  void add_poller(std::function<void()> fn);

  // Called once when a stop is requested (SIGTERM/SIGINT on Linux, the window
  // being closed on Windows) before run() returns.
  void on_stop(std::function<void()> fn);

  // Runs until quit() or a stop request. Returns the exit code given to quit().
  int run();
  void quit(int exit_code = 0);
  bool stop_requested() const;
  // Asks the program to end, as a stop signal or a closed window does: runs
  // the stop callbacks once and ends run(). For a window whose user asked to
  // end (an end button, an end key).
  void request_stop();

  // "Let pending messages run": handles what is due now (pollers, stop
  // requests, window messages) without waiting, and returns.
  void pump();

  // Takes stop requests that another process sends under `name` with
  // send_stop(): they need no window, console or signal, so a resident
  // program started where no close message can reach it can still be ended
  // cleanly. A request is taken by run() between its passes, never inside
  // pump(), so that a job under way finishes first; it then acts as any
  // stop request. Listening ends with the loop. Several loops may listen
  // under one name; each request stops one of them.
  // Windows: the named event "pink-<name>-stop". Linux: the FIFO
  // "<lock folder>/pink-<name>.stop" (the folder of SingleInstance).
  // A failure with the reason when the program cannot listen.
  Result<void> listen_for_stop(std::string_view name);

  // The loop of the running program (set by the constructor), or null.
  static Loop* current();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Stops the program's loop when the process is asked to end (installs the
// SIGTERM/SIGINT handlers on Linux; on Windows the window takes the close
// request, and this adds Ctrl+C / Ctrl+Break for console programs).
void install_stop_handlers();

enum class StopResult {
  Stopped,       // the program took the request and no longer listens
  StillRunning,  // the request was delivered; it still listens after the wait
  NotRunning,    // nothing listens under the name
  Failed,        // the request could not be sent
};

// Sends a stop request to the program listening under `name` (see
// Loop::listen_for_stop) and waits up to `wait_ms` for it to stop listening.
StopResult send_stop(std::string_view name, std::uint32_t wait_ms);

// Single-instance lock, held for the life of the object.
// Linux: an exclusive lock on "<$PINK_LOCKDIR or $XDG_RUNTIME_DIR or /tmp>/pink-<name>.lock";
// Windows: a named mutex "pink-<name>".
class SingleInstance {
 public:
  explicit SingleInstance(std::string_view name);
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;
  // False when another process already holds the lock.
  bool acquired() const noexcept { return acquired_; }

 private:
  bool acquired_ = false;
  std::intptr_t handle_ = -1;
};

// Windowed status for the resident programs: Linux prints "caption text" as
// one line on standard output when it changes; Windows shows it on a small
// window of the program (minimised, never taking the focus), whose closing is
// a stop request like any other.
void show_status(std::string_view caption, std::string_view text_cp949);

}  // namespace pink::events
