// The event loop on Windows: a hidden message-only window owns the timers
// (SetTimer / WM_TIMER) and takes WM_CLOSE as the stop request; the loop
// waits for messages (and for a stop event another process sets) at most
// 10 ms a pass, dispatches them and runs the pollers. The status line of the resident programs is a small window with
// a static control, shown minimised so that it never takes the focus from
// the POS; closing it stops the program too.
#include "platform/eventloop.h"

#include <windows.h>

#include <atomic>
#include <vector>

#include "platform/common/eventloop_common.h"
#include "platform/text.h"

namespace pink::events {
namespace {

constexpr DWORD kMaxWaitMs = 10;

std::atomic<HWND> g_loop_window{nullptr};
Loop* g_current = nullptr;

std::wstring wide(std::string_view cp949) {
  const std::u16string w = text::cp949_to_utf16(cp949);
  return std::wstring(w.begin(), w.end());
}

std::wstring stop_event_name(std::string_view name) { return L"pink-" + wide(name) + L"-stop"; }

// The module this code is linked into: a DLL registers its window classes
// under its own instance and name, so that two libraries of the suite loaded
// into one process never share a class (and a window procedure).
const int g_module_anchor = 0;

HINSTANCE this_module() {
  HMODULE m = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&g_module_anchor), &m);
  return m;
}

std::wstring class_name(const wchar_t* base) {
  return std::wstring(base) + L"." + std::to_wstring(reinterpret_cast<std::uintptr_t>(this_module()));
}

void register_class(const std::wstring& name, WNDPROC proc) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = this_module();
  wc.lpszClassName = name.c_str();
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  RegisterClassExW(&wc);  // fails harmlessly when registered already
}

struct State : detail::LoopState {
  using TimerId = Loop::TimerId;
  HWND hwnd = nullptr;
  HANDLE stop_event = nullptr;  // set by send_stop() from another process

  // A WM_TIMER already queued when the timer was stopped is dropped, and a
  // timer whose callback is still on the stack is not entered again.
  void on_timer(TimerId id) {
    if (detail::Timer* t = timers.find(id)) timers.fire(*t);
  }

  void dispatch_pending() {
    MSG msg;
    while (!quit && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        exit_code = static_cast<int>(msg.wParam);
        quit = true;
        break;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
};

LRESULT CALLBACK loop_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lp);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* impl = reinterpret_cast<State*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (impl != nullptr) {
    switch (msg) {
      case WM_TIMER:
        impl->on_timer(static_cast<Loop::TimerId>(wp));
        return 0;
      case WM_CLOSE:
        impl->request_stop();
        return 0;
      default:
        break;
    }
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

BOOL WINAPI on_console_event(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
      if (HWND h = g_loop_window.load()) {
        PostMessageW(h, WM_CLOSE, 0, 0);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

struct Loop::Impl : State {};

Loop::Loop() : impl_(std::make_unique<Impl>()) {
  const std::wstring cls = class_name(L"pink.loop");
  register_class(cls, loop_proc);
  impl_->hwnd = CreateWindowExW(0, cls.c_str(), L"pink", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, this_module(),
                                static_cast<State*>(impl_.get()));
  g_current = this;
  g_loop_window.store(impl_->hwnd);
}

Loop::~Loop() {
  if (impl_->stop_event != nullptr) CloseHandle(impl_->stop_event);
  if (impl_->hwnd != nullptr) {
    for (const auto& t : impl_->timers.all()) KillTimer(impl_->hwnd, static_cast<UINT_PTR>(t->id));
    SetWindowLongPtrW(impl_->hwnd, GWLP_USERDATA, 0);
    DestroyWindow(impl_->hwnd);
  }
  if (g_current == this) {
    g_current = nullptr;
    g_loop_window.store(nullptr);
  }
}

Loop::TimerId Loop::add_timer(std::uint32_t interval_ms, std::function<void()> fn) {
  const TimerId id = impl_->timers.add(interval_ms, std::move(fn)).id;
  SetTimer(impl_->hwnd, static_cast<UINT_PTR>(id), interval_ms, nullptr);
  return id;
}

void Loop::enable_timer(TimerId id, bool enabled) {
  detail::Timer* t = impl_->timers.set_enabled(id, enabled);
  if (t == nullptr) return;
  if (enabled) {
    SetTimer(impl_->hwnd, static_cast<UINT_PTR>(id), t->interval_ms, nullptr);  // a fresh interval
  } else {
    KillTimer(impl_->hwnd, static_cast<UINT_PTR>(id));
  }
}

bool Loop::timer_enabled(TimerId id) const { return impl_->timers.enabled(id); }

void Loop::add_poller(std::function<void()> fn) { impl_->pollers.push_back(std::move(fn)); }

void Loop::on_stop(std::function<void()> fn) { impl_->stop_fns.push_back(std::move(fn)); }

int Loop::run() {
  if (impl_->stop_requested) return impl_->exit_code;
  while (!impl_->quit) {
    HANDLE stop = impl_->stop_event;
    const DWORD count = stop != nullptr ? 1 : 0;
    const DWORD woke = MsgWaitForMultipleObjectsEx(count, count ? &stop : nullptr, kMaxWaitMs, QS_ALLINPUT,
                                                   MWMO_INPUTAVAILABLE);
    if (count != 0 && woke == WAIT_OBJECT_0) {
      impl_->request_stop();  // the auto-reset event is taken by this wait
      break;
    }
    impl_->dispatch_pending();
    if (!impl_->quit) impl_->run_pollers();
  }
  impl_->quit = false;
  return impl_->exit_code;
}

void Loop::quit(int exit_code) {
  impl_->exit_code = exit_code;
  impl_->quit = true;
  if (impl_->hwnd != nullptr) PostMessageW(impl_->hwnd, WM_NULL, 0, 0);  // wake a waiting pass
}

bool Loop::stop_requested() const { return impl_->stop_requested; }

void Loop::request_stop() { impl_->request_stop(); }

void Loop::pump() {
  impl_->dispatch_pending();
  if (!impl_->quit) impl_->run_pollers();
}

Loop* Loop::current() { return g_current; }

Result<void> Loop::listen_for_stop(std::string_view name) {
  if (impl_->stop_event != nullptr) return {};
  // Auto-reset: one request stops one listener. The default security lets
  // the same user (the sender) set it; the name is in the session's space.
  HANDLE h = CreateEventW(nullptr, FALSE, FALSE, stop_event_name(name).c_str());
  if (h == nullptr) {
    return Result<void>::failure("CreateEvent: Windows error " + std::to_string(GetLastError()));
  }
  impl_->stop_event = h;
  return {};
}

StopResult send_stop(std::string_view name, std::uint32_t wait_ms) {
  const std::wstring event_name = stop_event_name(name);
  HANDLE h = OpenEventW(EVENT_MODIFY_STATE, FALSE, event_name.c_str());
  if (h == nullptr) {
    return GetLastError() == ERROR_FILE_NOT_FOUND ? StopResult::NotRunning : StopResult::Failed;
  }
  const BOOL set = SetEvent(h);
  CloseHandle(h);
  if (!set) return StopResult::Failed;
  // The event exists while a listener holds it: it is gone once the last
  // listener's loop has ended.
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    HANDLE again = OpenEventW(SYNCHRONIZE, FALSE, event_name.c_str());
    if (again == nullptr) return StopResult::Stopped;
    CloseHandle(again);
    if (GetTickCount64() - start >= wait_ms) return StopResult::StillRunning;
    Sleep(20);
  }
}

// The window takes the close request; a console program also gets Ctrl+C
// and Ctrl+Break as a close request to its loop.
void install_stop_handlers() { SetConsoleCtrlHandler(on_console_event, TRUE); }

SingleInstance::SingleInstance(std::string_view name) {
  const std::wstring w = L"pink-" + wide(name);
  HANDLE h = CreateMutexW(nullptr, FALSE, w.c_str());
  if (h == nullptr) return;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(h);
    return;
  }
  handle_ = reinterpret_cast<std::intptr_t>(h);
  acquired_ = true;
}

SingleInstance::~SingleInstance() {
  if (acquired_) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

namespace {

HWND g_status_window = nullptr;
HWND g_status_text = nullptr;

LRESULT CALLBACK status_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CLOSE:
      if (HWND h = g_loop_window.load()) PostMessageW(h, WM_CLOSE, 0, 0);
      return 0;
    case WM_SIZE:
      if (g_status_text != nullptr) {
        MoveWindow(g_status_text, 8, 8, LOWORD(lp) > 16 ? LOWORD(lp) - 16 : 0,
                   HIWORD(lp) > 16 ? HIWORD(lp) - 16 : 0, TRUE);
      }
      return 0;
    case WM_DESTROY:
      g_status_window = nullptr;
      g_status_text = nullptr;
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

}  // namespace

void show_status(std::string_view caption, std::string_view text_cp949) {
  static std::wstring last_caption, last_text;
  const std::wstring c = wide(caption);
  const std::wstring t = wide(text_cp949);
  if (g_status_window == nullptr) {
    const std::wstring cls = class_name(L"pink.status");
    register_class(cls, status_proc);
    g_status_window = CreateWindowExW(0, cls.c_str(), c.c_str(), WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                      CW_USEDEFAULT, CW_USEDEFAULT, 420, 110, nullptr, nullptr, this_module(), nullptr);
    if (g_status_window == nullptr) return;
    g_status_text = CreateWindowExW(0, L"STATIC", t.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT, 8, 8, 390, 50,
                                    g_status_window, nullptr, this_module(), nullptr);
    last_caption = c;
    last_text = t;
    ShowWindow(g_status_window, SW_SHOWMINNOACTIVE);
    return;
  }
  if (c != last_caption) {
    SetWindowTextW(g_status_window, c.c_str());
    last_caption = c;
  }
  if (t != last_text && g_status_text != nullptr) {
    SetWindowTextW(g_status_text, t.c_str());
    last_text = t;
  }
}

}  // namespace pink::events
