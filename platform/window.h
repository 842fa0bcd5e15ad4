// Posting a message to the caller's window, from any thread, without waiting
// for it to be handled.
//
// Windows: PostMessageW to the HWND whose value `window` holds.
//
// Linux: there are no windows; `window` is a file descriptor that the caller
// owns and watches (a pipe, a socket, an eventfd). A posted message is one
// 12-byte record, written at once:
//
//   offset 0  message number  u32 little-endian
//   offset 4  wParam          u32 little-endian
//   offset 8  lParam          u32 little-endian
//
// An eventfd only takes 8-byte counter increments: it is incremented by 1
// per message, so that its counter tells how many messages were posted (the
// message number and parameters are the ones the caller registered).
//
// A caller that does not read fills its pipe or socket; then posting waits at
// most kPostWaitMs for room and the message is lost, as a message posted to
// a full Windows queue is. A record is never split on a pipe or a datagram
// socket; on a stream socket the rest of a record that went out in part
// follows within the same bound. Posting never raises SIGPIPE. A window of 0
// or below (no window, like a null HWND) receives nothing.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pink::window {

inline constexpr std::uint32_t kPostWaitMs = 200;
inline constexpr std::size_t kRecordBytes = 12;

// True when the message was handed to the window; false when it was lost
// (no such window, a full queue or pipe, a closed descriptor).
bool post_message(std::intptr_t window, std::uint32_t message, std::uint32_t wparam,
                  std::uint32_t lparam);

}  // namespace pink::window
