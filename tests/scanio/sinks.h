// Test helpers: the descriptors a POS watches for the scanner's messages,
// and the 12-byte records that arrive on them.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pink::testkit {

struct Message {
  std::uint32_t number = 0, wparam = 0, lparam = 0;
  friend bool operator==(const Message&, const Message&) = default;
};

inline std::uint32_t le32(std::string_view b, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(b[at + static_cast<std::size_t>(i)]);
  return v;
}

// Reads up to n bytes from fd, waiting at most timeout_ms for them in all.
inline std::string read_up_to(int fd, std::size_t n, int timeout_ms) {
  std::string out;
  while (out.size() < n) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, timeout_ms) <= 0) break;
    char buf[256];
    const ssize_t got = ::read(fd, buf, std::min(sizeof buf, n - out.size()));
    if (got <= 0) break;
    out.append(buf, static_cast<std::size_t>(got));
  }
  return out;
}

// A pipe whose write end is the "window".
class Pipe {
 public:
  Pipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
    read_end_ = fds[0];
    write_end_ = fds[1];
  }
  ~Pipe() {
    close_read_end();
    if (write_end_ >= 0) ::close(write_end_);
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;

  std::intptr_t window() const { return write_end_; }
  int read_end() const { return read_end_; }
  void close_read_end() {
    if (read_end_ >= 0) ::close(read_end_);
    read_end_ = -1;
  }

  // The next record, if one arrives within timeout_ms.
  std::optional<Message> record(int timeout_ms = 10000) {
    const std::string b = read_up_to(read_end_, 12, timeout_ms);
    if (b.size() != 12) return std::nullopt;
    return Message{le32(b, 0), le32(b, 4), le32(b, 8)};
  }
  // True when no byte arrives within ms.
  bool quiet(int ms) {
    pollfd p{read_end_, POLLIN, 0};
    return ::poll(&p, 1, ms) == 0;
  }
  // Fills the pipe until it takes no more; the write end stays blocking, as
  // a caller's pipe usually is. Returns the bytes written.
  std::size_t fill() {
    const int flags = ::fcntl(write_end_, F_GETFL);
    ::fcntl(write_end_, F_SETFL, flags | O_NONBLOCK);
    std::size_t total = 0;
    const std::string block(4096, 'f');
    for (;;) {
      const ssize_t n = ::write(write_end_, block.data(), block.size());
      if (n > 0) {
        total += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      break;
    }
    // Single bytes for the last part of a page that a block would not fit.
    while (::write(write_end_, "f", 1) == 1) ++total;
    ::fcntl(write_end_, F_SETFL, flags);
    return total;
  }
  // Reads and discards n bytes.
  std::size_t drain(std::size_t n) { return read_up_to(read_end_, n, 2000).size(); }

 private:
  int read_end_ = -1;
  int write_end_ = -1;
};

}  // namespace pink::testkit
