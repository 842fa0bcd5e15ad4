#include "tools/drawerd/link.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

#include "platform/serial.h"

namespace pink::drawerd {
namespace {

std::uint64_t now_ms() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

class SerialLink final : public PrinterLink {
 public:
  explicit SerialLink(std::unique_ptr<serial::Port> port) : port_(std::move(port)) {}

  bool write(std::span<const std::uint8_t> bytes, std::uint32_t timeout_ms) override {
    return port_->write(bytes, timeout_ms).status == serial::WriteStatus::Completed;
  }

  std::optional<std::uint8_t> read_byte(std::uint32_t timeout_ms) override {
    // What is waiting at once, else the first byte within the time-out.
    serial::Timeouts t;
    t.read_interval = clock::kWaitForever;
    t.read_total_constant = timeout_ms == 0 ? 1 : timeout_ms;
    port_->set_timeouts(t);
    std::uint8_t b = 0;
    if (port_->read({&b, 1}) != 1) return std::nullopt;
    return b;
  }

  void drop_input() override { port_->purge(serial::kAbortRx | serial::kClearRx); }

 private:
  std::unique_ptr<serial::Port> port_;
};

class NodeLink final : public PrinterLink {
 public:
  explicit NodeLink(int fd) : fd_(fd) {}
  // A printer node may still be sending the last write when it is closed,
  // and closing would cut it off: wait (bounded) until it takes more again.
  ~NodeLink() override {
    pollfd p{fd_, POLLOUT, 0};
    ::poll(&p, 1, 1000);
    ::close(fd_);
  }

  bool write(std::span<const std::uint8_t> bytes, std::uint32_t timeout_ms) override {
    const std::uint64_t deadline = now_ms() + timeout_ms;
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t w = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (w > 0) {
        done += static_cast<std::size_t>(w);
        continue;
      }
      if (w < 0 && errno != EAGAIN && errno != EINTR) return false;
      if (!wait(POLLOUT, deadline, w == 0)) return false;
    }
    return true;
  }

  std::optional<std::uint8_t> read_byte(std::uint32_t timeout_ms) override {
    const std::uint64_t deadline = now_ms() + timeout_ms;
    for (;;) {
      std::uint8_t b = 0;
      const ssize_t r = ::read(fd_, &b, 1);
      if (r == 1) return b;
      if (r < 0 && errno != EAGAIN && errno != EINTR) return std::nullopt;
      if (!wait(POLLIN, deadline, r == 0)) return std::nullopt;
    }
  }

  void drop_input() override {
    std::uint8_t buf[64];
    for (int i = 0; i < 64 && ::read(fd_, buf, sizeof buf) > 0; ++i) {
    }
  }

 private:
  // Waits for the node in steps of at most 10 ms; false once the deadline
  // has passed or the node failed. A printer node may read 0 bytes (or take
  // 0) and still poll ready while the printer is silent, so after such a
  // call a ready poll is followed by a short pause instead of a spin.
  bool wait(short events, std::uint64_t deadline, bool got_nothing) {
    const std::uint64_t now = now_ms();
    if (now >= deadline) return false;
    pollfd p{fd_, events, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(std::min<std::uint64_t>(deadline - now, 10)));
    if (ready < 0) return errno == EINTR;
    if (ready > 0 && (p.revents & (POLLERR | POLLNVAL)) != 0) return false;
    if (ready > 0 && got_nothing) {
      timespec pause{0, 2000000};
      ::nanosleep(&pause, nullptr);
    }
    return true;
  }

  int fd_;
};

}  // namespace

std::unique_ptr<PrinterLink> open_link(const std::string& name, std::uint32_t baud, std::string& error) {
  if (serial::port_number(name) != 0) {
    auto r = serial::open(name);
    if (r.status != serial::OpenStatus::Ok) {
      error = name + ": " + r.text;
      return nullptr;
    }
    serial::LineSettings line;
    line.baud = baud;
    if (!r.port->set_line(line)) {
      error = name + ": the port does not take " + std::to_string(baud) + " baud";
      return nullptr;
    }
    return std::make_unique<SerialLink>(std::move(r.port));
  }
  const int fd = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = name + ": " + std::strerror(errno);
    return nullptr;
  }
  return std::make_unique<NodeLink>(fd);
}

}  // namespace pink::drawerd
