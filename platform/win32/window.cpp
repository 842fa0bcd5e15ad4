// Posting to a window on Windows: PostMessageW, which queues the message and
// returns at once (false when the window is gone or its queue is full).
#include "platform/window.h"

#include <windows.h>

namespace pink::window {

bool post_message(std::intptr_t window, std::uint32_t message, std::uint32_t wparam,
                  std::uint32_t lparam) {
  if (window == 0) return false;  // no window: a null HWND would post to this thread
  HWND hwnd = reinterpret_cast<HWND>(window);
  return ::PostMessageW(hwnd, message, static_cast<WPARAM>(wparam), static_cast<LPARAM>(lparam)) != 0;
}

}  // namespace pink::window
