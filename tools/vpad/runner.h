// The virtual pad's loop: moves bytes between the port and the pad, sends
// each scheduled piece when it is due, takes the operator's lines, and
// sleeps in poll() until one of these has something to do. Linux only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

#include "tools/vpad/pad.h"

namespace pink::vpad {

class Runner {
 public:
  // What the control has not read yet may hold this much; beyond it the pad
  // drops what it sends (and says so), as a line nobody reads loses it.
  static constexpr std::size_t kMostUnread = 1u << 20;

  // port_fd: the master side of the virtual port (non-blocking); input_fd:
  // the operator's lines (-1: none); `say` receives the answers to them.
  Runner(VirtualPad& pad, int port_fd, int input_fd, std::ostream& say);

  enum class End { Quit, Stopped };

  // Serves until the operator types "quit" (End::Quit) or `stop` returns
  // true (End::Stopped); `stop` is asked at least every `check_ms`.
  End run(const std::function<bool()>& stop, std::uint32_t check_ms);

  // Reads what the control sent last and closes the log's open unit; for
  // the end of a run.
  void finish();

  // Bytes the pad sent that the port has not taken yet.
  std::size_t unread() const noexcept { return unread_.size(); }

 private:
  void read_port(std::uint64_t now);
  bool read_input(std::uint64_t now);  // false after "quit"
  void send_due(std::uint64_t now);
  void write_out();
  int timeout(std::uint64_t now, std::uint32_t check_ms) const;

  VirtualPad& pad_;
  int port_;
  int input_;
  std::ostream& say_;
  std::string unread_;  // what the pad sent that the port has not taken yet
  std::string line_;    // the operator's line so far
};

// The local time of a moment on the monotonic clock as "HH:MM:SS.mmm".
VirtualPad::Stamp local_time_stamp();

}  // namespace pink::vpad
