#include "platform/common/eventloop_common.h"

#include <algorithm>

namespace pink::events::detail {

Timer& TimerTable::add(std::uint32_t interval_ms, std::function<void()> fn) {
  auto t = std::make_unique<Timer>();
  t->id = next_id_++;
  t->interval_ms = interval_ms;
  t->fn = std::move(fn);
  timers_.push_back(std::move(t));
  return *timers_.back();
}

Timer* TimerTable::find(Loop::TimerId id) const {
  for (const auto& t : timers_) {
    if (t->id == id) return t.get();
  }
  return nullptr;
}

bool TimerTable::enabled(Loop::TimerId id) const {
  const Timer* t = find(id);
  return t != nullptr && t->enabled;
}

Timer* TimerTable::set_enabled(Loop::TimerId id, bool enabled) {
  Timer* t = find(id);
  if (t == nullptr || t->enabled == enabled) return nullptr;
  t->enabled = enabled;
  return t;
}

bool TimerTable::fire(Timer& t) {
  if (!t.enabled || t.running) return false;
  t.running = true;
  auto fn = t.fn;
  fn();
  t.running = false;
  return true;
}

std::vector<Timer*> TimerTable::due_at(std::uint64_t now_ms) const {
  std::vector<Timer*> due;
  for (const auto& t : timers_) {
    if (t->enabled && !t->running && t->due <= now_ms) due.push_back(t.get());
  }
  std::stable_sort(due.begin(), due.end(), [](const Timer* a, const Timer* b) { return a->due < b->due; });
  return due;
}

std::uint64_t TimerTable::wait_ms(std::uint64_t now_ms, std::uint64_t limit_ms) const {
  std::uint64_t wait = limit_ms;
  for (const auto& t : timers_) {
    if (!t->enabled || t->running) continue;
    wait = std::min<std::uint64_t>(wait, t->due > now_ms ? t->due - now_ms : 0);
  }
  return wait;
}

void LoopState::request_stop() {
  if (stop_requested) return;
  stop_requested = true;
  for (std::size_t i = 0; i < stop_fns.size(); ++i) stop_fns[i]();
  quit = true;
}

void LoopState::run_pollers() {
  if (in_pollers) return;
  in_pollers = true;
  // By index: a poller may add another one.
  for (std::size_t i = 0; i < pollers.size() && !quit; ++i) {
    auto fn = pollers[i];
    fn();
  }
  in_pollers = false;
}

}  // namespace pink::events::detail
