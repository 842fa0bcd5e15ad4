#include "tools/vpad/runner.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/clock.h"

namespace pink::vpad {

Runner::Runner(VirtualPad& pad, int port_fd, int input_fd, std::ostream& say)
    : pad_(pad), port_(port_fd), input_(input_fd), say_(say) {}

Runner::End Runner::run(const std::function<bool()>& stop, std::uint32_t check_ms) {
  for (;;) {
    std::uint64_t now = clock::monotonic_ms();
    pad_.idle(now);  // first, so that what came is logged before late answers to it
    send_due(now);
    if (stop && stop()) return End::Stopped;
    pollfd fds[2] = {{port_, static_cast<short>(POLLIN | (unread_.empty() ? 0 : POLLOUT)), 0},
                     {input_, POLLIN, 0}};
    const int ready = ::poll(fds, input_ >= 0 ? 2 : 1, timeout(now, check_ms));
    if (ready < 0 && errno != EINTR) return End::Stopped;
    if (ready <= 0) continue;
    now = clock::monotonic_ms();
    if (fds[0].revents & POLLIN) read_port(now);
    if (fds[0].revents & POLLOUT) write_out();
    if (input_ >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) && !read_input(now)) return End::Quit;
  }
}

void Runner::finish() {
  read_port(clock::monotonic_ms());
  pad_.idle(UINT64_MAX - VirtualPad::kQuietMs);
}

int Runner::timeout(std::uint64_t now, std::uint32_t check_ms) const {
  std::uint64_t wait = check_ms;
  if (const auto at = pad_.next_wakeup()) wait = *at > now ? std::min<std::uint64_t>(*at - now, wait) : 0;
  return static_cast<int>(wait);
}

void Runner::read_port(std::uint64_t now) {
  std::uint8_t buf[4096];
  for (;;) {
    const ssize_t n = ::read(port_, buf, sizeof buf);
    if (n > 0) {
      pad_.received(now, std::span<const std::uint8_t>(buf, static_cast<std::size_t>(n)));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return;  // EAGAIN: all read
  }
}

bool Runner::read_input(std::uint64_t now) {
  char buf[1024];
  const ssize_t n = ::read(input_, buf, sizeof buf);
  if (n < 0 && errno == EINTR) return true;
  if (n <= 0) {
    input_ = -1;  // the operator's input ended; the pad goes on
    return true;
  }
  line_.append(buf, static_cast<std::size_t>(n));
  for (std::size_t end; (end = line_.find('\n')) != std::string::npos; line_.erase(0, end + 1)) {
    const std::string line = line_.substr(0, end);
    const auto first = line.find_first_not_of(" \t\r");
    if (first != std::string::npos && line.substr(first, line.find_last_not_of(" \t\r") + 1 - first) == "quit") {
      return false;
    }
    say_ << pad_.action(now, line) << std::flush;
  }
  return true;
}

void Runner::send_due(std::uint64_t now) {
  for (const auto& piece : pad_.due(now)) {
    if (unread_.size() + piece.size() > kMostUnread) {
      say_ << "vpad: the control does not read the port; " << piece.size() << " bytes dropped" << std::endl;
      continue;
    }
    unread_.append(piece.begin(), piece.end());
  }
  write_out();
}

void Runner::write_out() {
  while (!unread_.empty()) {
    const ssize_t n = ::write(port_, unread_.data(), unread_.size());
    if (n > 0) {
      unread_.erase(0, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return;  // the port is full: poll says when it takes more
  }
}

VirtualPad::Stamp local_time_stamp() {
  const clock::LocalTime t = clock::now_local();
  const std::uint64_t start = clock::monotonic_ms();
  constexpr std::uint64_t kDay = 24 * 3600 * 1000;
  const std::uint64_t midnight_ms =
      ((static_cast<std::uint64_t>(t.hour) * 60 + t.minute) * 60 + t.second) * 1000 + t.millisecond;
  return [start, midnight_ms](std::uint64_t now) {
    const std::uint64_t ms = (midnight_ms + (now > start ? now - start : 0)) % kDay;
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u.%03u", static_cast<unsigned>(ms / 3600000),
                  static_cast<unsigned>(ms / 60000 % 60), static_cast<unsigned>(ms / 1000 % 60),
                  static_cast<unsigned>(ms % 1000));
    return std::string(text);
  };
}

}  // namespace pink::vpad
