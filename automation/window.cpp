#include "automation/window.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <utility>

#include "platform/clock.h"

namespace pink::automation {

void Window::post(std::function<void()> work) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(work));
  }
  signal_.notify();
}

void Window::set_timer(int id, std::uint32_t interval_ms, std::function<void()> tick) {
  const std::uint32_t interval = std::max(interval_ms, kMinimumInterval);
  timers_[id] = Timer{interval, clock::monotonic_ms() + interval, std::move(tick)};
  rearm();
}

void Window::kill_timer(int id) {
  timers_.erase(id);
  rearm();
}

std::uint64_t Window::next_due() const {
  std::uint64_t due = std::numeric_limits<std::uint64_t>::max();
  for (const auto& [id, t] : timers_) due = std::min(due, t.due);
  return due;
}

bool Window::has_work(std::uint64_t now) {
  if (next_due() <= now) return true;
  std::lock_guard<std::mutex> lock(mutex_);
  return !queue_.empty();
}

int Window::run(std::uint32_t timeout_ms) {
  // However the run ends (work that throws included), the signal is set
  // again for what is left and the next deadline is armed.
  struct Rearm {
    Window& w;
    ~Rearm() { w.rearm(); }
  } rearm_at_end{*this};
  const std::uint64_t end = clock::monotonic_ms() + timeout_ms;
  for (;;) {
    // Cleared before looking, so that work handed over after the look sets
    // the signal again and ends the wait.
    signal_.clear();
    const std::uint64_t now = clock::monotonic_ms();
    if (has_work(now)) break;
    if (now >= end) return 0;
    const std::uint64_t until = std::min(end, next_due());
    signal_.wait(static_cast<std::uint32_t>(std::min<std::uint64_t>(until - now, 0x7FFFFFFF)));
  }
  int ran = run_queue();
  ran += run_timers(clock::monotonic_ms());
  return ran;
}

int Window::run_queue() {
  std::vector<std::function<void()>> work;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    work.swap(queue_);
  }
  for (std::size_t i = 0; i < work.size(); ++i) {
    try {
      work[i]();
    } catch (...) {
      // Nothing handed over is lost: what did not run yet goes back first.
      std::lock_guard<std::mutex> lock(mutex_);
      queue_.insert(queue_.begin(), std::make_move_iterator(work.begin() + static_cast<std::ptrdiff_t>(i) + 1),
                    std::make_move_iterator(work.end()));
      throw;
    }
  }
  return static_cast<int>(work.size());
}

int Window::run_timers(std::uint64_t now) {
  std::vector<int> due;
  for (const auto& [id, t] : timers_) {
    if (t.due <= now) due.push_back(id);
  }
  int ran = 0;
  for (int id : due) {
    // An earlier tick may have killed or replaced this timer.
    auto it = timers_.find(id);
    if (it == timers_.end() || it->second.due > now) continue;
    it->second.due = now + it->second.interval;
    const std::function<void()> tick = it->second.tick;  // the tick may kill its timer
    tick();
    ++ran;
  }
  return ran;
}

void Window::rearm() {
  bool queued = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queued = !queue_.empty();
  }
  if (queued) signal_.notify();
  const std::uint64_t due = next_due();
  if (due == std::numeric_limits<std::uint64_t>::max()) {
    signal_.disarm();
    return;
  }
  const std::uint64_t now = clock::monotonic_ms();
  signal_.arm_after(due <= now ? 0 : static_cast<std::uint32_t>(std::min<std::uint64_t>(due - now, 0x7FFFFFFF)));
}

}  // namespace pink::automation
