// The wake-up signal on Windows: a manual-reset event for notifications and
// a manual-reset waitable timer for the deadline; wait() waits for either.
#include "platform/wakeup.h"

#include <windows.h>

#include <stdexcept>
#include <string>

namespace pink::wakeup {
namespace {

HANDLE h(std::intptr_t v) { return reinterpret_cast<HANDLE>(v); }

// Setting a manual-reset timer makes it non-signalled until the new due time.
void set_timer(std::intptr_t timer, std::int64_t due_100ns) {
  LARGE_INTEGER due;
  due.QuadPart = due_100ns;
  ::SetWaitableTimer(h(timer), &due, 0, nullptr, nullptr, FALSE);
}

constexpr std::int64_t kFarAhead = -(std::int64_t{365} * 24 * 3600 * 10000000);  // a year

}  // namespace

Signal::Signal() {
  HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE timer = ::CreateWaitableTimerW(nullptr, TRUE, nullptr);
  if (event == nullptr || timer == nullptr) {
    const DWORD error = ::GetLastError();
    if (event != nullptr) ::CloseHandle(event);
    if (timer != nullptr) ::CloseHandle(timer);
    throw std::runtime_error("wake-up signal: no handles (error " + std::to_string(error) + ")");
  }
  notify_ = handle_ = reinterpret_cast<std::intptr_t>(event);
  timer_ = reinterpret_cast<std::intptr_t>(timer);
}

Signal::~Signal() {
  ::CloseHandle(h(timer_));
  ::CloseHandle(h(notify_));
}

void Signal::notify() noexcept { ::SetEvent(h(notify_)); }

void Signal::arm_after(std::uint32_t ms) noexcept {
  // Relative due times are negative, in 100 ns units; 0 would not count as relative.
  set_timer(timer_, ms == 0 ? -1 : -static_cast<std::int64_t>(ms) * 10000);
}

void Signal::disarm() noexcept {
  set_timer(timer_, kFarAhead);  // resets a signalled timer
  ::CancelWaitableTimer(h(timer_));
}

void Signal::clear() noexcept {
  ::ResetEvent(h(notify_));
  if (::WaitForSingleObject(h(timer_), 0) == WAIT_OBJECT_0) disarm();
}

bool Signal::wait(std::uint32_t timeout_ms) noexcept {
  const HANDLE both[2] = {h(notify_), h(timer_)};
  const DWORD ms = timeout_ms >= INFINITE ? INFINITE - 1 : timeout_ms;
  const DWORD r = ::WaitForMultipleObjects(2, both, FALSE, ms);
  return r == WAIT_OBJECT_0 || r == WAIT_OBJECT_0 + 1;
}

}  // namespace pink::wakeup
