// The wake-up signal on Windows: a manual-reset event for notifications and
// a manual-reset waitable timer for the deadline; wait() waits for either.
// Served (serve()), it also drives a message-only window of the owner thread:
// notify() posts it a message and a deadline sets a window timer, so the
// owner's work runs from whatever message loop that thread runs. Routed
// (route_to()), the messages and the timer go to another window of that
// thread instead (a control's own window), which hands them back through
// take_message().
#include "platform/wakeup.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>

namespace pink::wakeup {

struct Signal::Served {
  HWND own = nullptr;                // the message-only window
  std::atomic<HWND> window{nullptr};  // where wake-ups and the deadline go
  DWORD thread = 0;
  std::function<void()> run;
  std::atomic<bool> posted{false};  // a wake-up message waits in the queue
  std::atomic<bool> gone{false};    // the signal was destroyed
};

namespace {

HANDLE h(std::intptr_t v) { return reinterpret_cast<HANDLE>(v); }

// Setting a manual-reset timer makes it non-signalled until the new due time.
void set_timer(std::intptr_t timer, std::int64_t due_100ns) {
  LARGE_INTEGER due;
  due.QuadPart = due_100ns;
  ::SetWaitableTimer(h(timer), &due, 0, nullptr, nullptr, FALSE);
}

constexpr std::int64_t kFarAhead = -(std::int64_t{365} * 24 * 3600 * 10000000);  // a year

constexpr UINT kWakeMessage = WM_APP + 0x51;
constexpr UINT_PTR kDeadlineTimer = 1;
constexpr wchar_t kClassName[] = L"pink.wakeup";

LRESULT CALLBACK served_window(HWND, UINT, WPARAM, LPARAM);

// The window class belongs to the module this code is linked into; it is
// registered while windows of it exist, so that a library unloaded and
// loaded again registers it anew.
struct WindowClass {
  std::mutex mutex;
  int windows = 0;
  HINSTANCE module = nullptr;
};

WindowClass& window_class() {
  static WindowClass c;
  return c;
}

HINSTANCE this_module() {
  HMODULE m = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&served_window), &m);
  return m;
}

HINSTANCE class_in_use() {
  WindowClass& c = window_class();
  std::lock_guard<std::mutex> lock(c.mutex);
  if (c.windows++ == 0) {
    c.module = this_module();
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = served_window;
    wc.hInstance = c.module;
    wc.lpszClassName = kClassName;
    ::RegisterClassExW(&wc);  // already registered (a window that died with its thread): fine
  }
  return c.module;
}

void class_done() {
  WindowClass& c = window_class();
  std::lock_guard<std::mutex> lock(c.mutex);
  if (--c.windows == 0) ::UnregisterClassW(kClassName, c.module);
}

void post_wake(Signal::Served& s) {
  const HWND window = s.window.load();
  if (window != nullptr && !s.posted.exchange(true)) {
    if (!::PostMessageW(window, kWakeMessage, 0, 0)) s.posted = false;
  }
}


// Runs on copies: the work may destroy the signal, and with it the window
// and what it holds.
void run_served(std::shared_ptr<Signal::Served> s) {
  if (!s || s->gone) return;
  const std::function<void()> run = s->run;
  if (run) run();
}

// The signal's own messages, whichever window of the thread received them.
bool take(const std::shared_ptr<Signal::Served>& s, HWND window, UINT message, WPARAM wparam) {
  if (message == kWakeMessage) {
    s->posted = false;
    run_served(s);
    return true;
  }
  if (message == WM_TIMER && wparam == kDeadlineTimer) {
    ::KillTimer(window, kDeadlineTimer);
    run_served(s);
    return true;
  }
  return false;
}

LRESULT CALLBACK served_window(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* held = reinterpret_cast<std::shared_ptr<Signal::Served>*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case kWakeMessage:
    case WM_TIMER:
      if (held != nullptr && take(*held, window, message, wparam)) return 0;
      break;
    case WM_CLOSE:
      ::DestroyWindow(window);
      return 0;
    case WM_NCDESTROY:
      ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      delete held;
      class_done();
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

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
  if (served_ && served_->own != nullptr) {
    served_->gone = true;
    const HWND routed = served_->window.load();
    if (routed != served_->own) ::KillTimer(routed, kDeadlineTimer);
    // A window is destroyed by its own thread; from elsewhere it is asked to close.
    if (::GetCurrentThreadId() == served_->thread) {
      ::DestroyWindow(served_->own);
    } else {
      ::PostMessageW(served_->own, WM_CLOSE, 0, 0);
    }
  }
  ::CloseHandle(h(timer_));
  ::CloseHandle(h(notify_));
}

void Signal::serve(std::function<void()> run) {
  auto s = std::make_shared<Served>();
  s->run = std::move(run);
  s->thread = ::GetCurrentThreadId();
  const HINSTANCE module = class_in_use();
  s->own = ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, module, nullptr);
  s->window = s->own;
  if (s->own == nullptr) {
    class_done();
    throw std::runtime_error("wake-up signal: no message window (error " + std::to_string(::GetLastError()) + ")");
  }
  ::SetWindowLongPtrW(s->own, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(new std::shared_ptr<Served>(s)));
  served_ = std::move(s);
}

void Signal::notify() noexcept {
  ::SetEvent(h(notify_));
  if (served_) post_wake(*served_);
}

void Signal::arm_after(std::uint32_t ms) noexcept {
  // Relative due times are negative, in 100 ns units; 0 would not count as relative.
  set_timer(timer_, ms == 0 ? -1 : -static_cast<std::int64_t>(ms) * 10000);
  if (!served_ || served_->own == nullptr) return;
  if (ms == 0) {
    post_wake(*served_);
  } else {
    ::SetTimer(served_->window.load(), kDeadlineTimer, ms, nullptr);
  }
}

void Signal::disarm() noexcept {
  set_timer(timer_, kFarAhead);  // resets a signalled timer
  ::CancelWaitableTimer(h(timer_));
  if (served_ && served_->own != nullptr) ::KillTimer(served_->window.load(), kDeadlineTimer);
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

void Signal::route_to(std::intptr_t window) noexcept {
  if (!served_ || served_->own == nullptr) return;
  const HWND target = window != 0 ? reinterpret_cast<HWND>(window) : served_->own;
  const HWND before = served_->window.exchange(target);
  if (before == target) return;
  // The deadline timer and a wake-up waiting in the old window's queue may
  // go with it: the owner re-arms, and a wake-up is posted anew.
  ::KillTimer(before, kDeadlineTimer);
  served_->posted = false;
}

bool Signal::take_message(std::uint32_t message, std::uintptr_t wparam) noexcept {
  if (!served_ || served_->own == nullptr) return false;
  const std::shared_ptr<Served> s = served_;  // the work may destroy the signal
  return take(s, s->window.load(), message, wparam);
}

}  // namespace pink::wakeup
