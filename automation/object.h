// The base of the suite's automation objects: the class's member table, the
// member code behind it, events through one sink, and the work its window
// would run (received data, timers, deferred events), run by pump() on the
// caller's thread.
//
// Events reach the sink only on the caller's thread, from inside call() or
// pump(): an event fired there is delivered at once, as a control fires it
// from its window's thread; one fired anywhere else (a reader thread) is
// deferred to the next pump(), as a posted window message would be.
//
// On Windows nobody needs to call pump(): the window work also runs from the
// creating thread's message loop (Window::serve), so an object living in a
// host's apartment runs its received data, timers and deferred events, and
// fires their events, on that thread as the host's loop turns.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "automation/table.h"
#include "automation/value.h"
#include "automation/window.h"

namespace pink::automation {

class Object {
 public:
  explicit Object(const ClassInfo& info);
  virtual ~Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  const ClassInfo& info() const noexcept { return info_; }

  // Runs a member on the caller's thread. `args` are in declaration order,
  // already checked and converted to the row's parameter types: in- and
  // in/out-arguments hold the caller's values, out- and retval-arguments
  // start empty of their type. The member writes its outputs into them and
  // its result into `result`; a retval argument is the result (the API layer
  // copies it). Members report failures in their results and never throw for
  // them; anything that escapes is the API layer's to turn into an error.
  void call(const Member& member, std::span<Value> args, Value& result);

  // Runs the window's work on the caller's thread; see Window::run.
  int pump(std::uint32_t timeout_ms);
  std::intptr_t wait_handle() const noexcept { return window_.handle(); }

  // Draws what the object's window shows now into a PNG file (UTF-8 path);
  // false for objects without a window, and when drawing fails.
  virtual bool snapshot(const std::string& png_path, int width, int height);

  // Wraps each run of the window work from the message loop (Window::serve)
  // in `scope`, which calls its argument once: a COM object holds itself
  // over it, so that a host releasing it from inside an event does not
  // destroy it under the running work. Nothing of the object is touched
  // after `scope` returns.
  using Scope = std::function<void(const std::function<void()>& run)>;
  void set_served_scope(Scope scope) { served_scope_ = std::move(scope); }

  // Receives every event: its row in the event table and its arguments.
  using Sink = std::function<void(const Member& event, std::span<const Value> args)>;
  void set_sink(Sink sink) { sink_ = std::move(sink); }

  // Windows: the window work runs from the messages of the object's own
  // window (a control's window, whose procedure hands every message to
  // window_message() first) from now on; 0 goes back to the message-only
  // window. Linux: nothing. The object's thread.
  void route_window(std::intptr_t window) { window_.route_to(window); }
  // True when `message` was the window work's own (and it ran).
  bool window_message(std::uint32_t message, std::uintptr_t wparam) noexcept {
    return window_.take_message(message, wparam);
  }

 protected:
  virtual void run(const Member& member, std::span<Value> args, Value& result) = 0;

  // Fires an event of the class's event table (unknown DISPIDs are dropped).
  // Any thread: at once on the caller's thread inside call() or pump(),
  // otherwise deferred to the next pump().
  void fire(std::int32_t dispid, std::vector<Value> args);
  // Fires it from the next pump(), whichever thread asks.
  void defer(std::int32_t dispid, std::vector<Value> args);
  // The window: post() received data from other threads, set timers.
  Window& window() noexcept { return window_; }
  // Runs `work` now on the caller's thread as the window runs its work:
  // events fired inside are delivered at once. For a message of the
  // object's real window (automation/view.h).
  void as_window(const std::function<void()>& work);

 private:
  // Marks the calling thread as the one events fire on, for the scope.
  class Dispatching {
   public:
    explicit Dispatching(Object& o);
    ~Dispatching();

   private:
    Object& o_;
    std::thread::id previous_;
  };
  void deliver(std::int32_t dispid, std::span<const Value> args);

  const ClassInfo& info_;
  Window window_;
  Sink sink_;
  Scope served_scope_;
  std::atomic<std::thread::id> dispatching_{};
};

}  // namespace pink::automation
