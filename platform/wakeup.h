// A wake-up signal for one thread's work queue: it becomes signalled when
// another thread hands over work (notify) or when a deadline its owner armed
// passes, and stays signalled until the owner clears it. The owner waits on
// it, or gives its handle to an event loop of its own.
//
// Linux: handle() is a descriptor (an epoll set over an eventfd and a
// timerfd) that polls readable while the signal is set; the caller may poll,
// select or epoll it but must not read it. Windows: handle() is the HANDLE of
// the event object that notify() sets; deadlines are seen by wait().
//
// An owner that never waits (an object living on a host's thread, whose own
// message loop runs everything) asks the signal to serve it instead; see
// serve().
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace pink::wakeup {

class Signal {
 public:
  // Throws std::runtime_error when the system gives no descriptors or handles.
  Signal();
  ~Signal();
  Signal(const Signal&) = delete;
  Signal& operator=(const Signal&) = delete;

  // Sets the signal. Any thread; never blocks, never fails visibly.
  void notify() noexcept;
  // Sets the signal once `ms` milliseconds have passed (0: at once),
  // replacing the deadline armed before. Owner thread.
  void arm_after(std::uint32_t ms) noexcept;
  // Forgets the armed deadline. Owner thread.
  void disarm() noexcept;
  // Clears the signal: notifications so far and a deadline that has passed.
  // A deadline still ahead stays armed. Owner thread.
  void clear() noexcept;
  // Waits up to `timeout_ms` for the signal; true when it is set.
  bool wait(std::uint32_t timeout_ms) noexcept;

  std::intptr_t handle() const noexcept { return handle_; }

  // From now on each notify() and each armed deadline that passes also ends
  // in a call of `run` on the thread that called serve(), from that
  // thread's own message loop, with no one calling wait(). `run` must not
  // throw. Owner thread, once.
  //
  // Windows: a message-only window of that thread receives a posted message
  // (at most one waits in the queue at a time) or a timer message. Linux has
  // no message loop: `run` is never called, and the owner waits or polls
  // handle() as before.
  void serve(std::function<void()> run);

  // Served signals only (Windows; nothing on Linux). From now on the
  // wake-up messages and the deadline timer go to `window`, a window of the
  // owner thread whose procedure hands every message to take_message()
  // first; 0 routes them back to the signal's own message-only window.
  // Work handed over or due before the call still runs (the caller re-arms
  // what a window that goes may take with it: automation::Window does).
  // Owner thread.
  void route_to(std::intptr_t window) noexcept;
  // Runs the served work when `message` (with `wparam`) is one of the
  // signal's own, and says so; false for every other message.
  bool take_message(std::uint32_t message, std::uintptr_t wparam) noexcept;

  struct Served;  // what serve() set up (each implementation's own)

 private:
  std::shared_ptr<Served> served_;
  std::intptr_t handle_ = -1;  // what callers wait on
  std::intptr_t notify_ = -1;  // the notification object
  std::intptr_t timer_ = -1;   // the deadline timer
};

}  // namespace pink::wakeup
