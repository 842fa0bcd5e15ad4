// Device control on Linux: the drawer device is a Unix-domain stream socket
// $PINK_DRAWERDIR/<name> (default /run/pink), one framed exchange per
// request. Every wait is bounded by kExchangeTimeoutMs, sends never raise
// SIGPIPE, and a reply is never written past the caller's output buffer.
#include "platform/devctl.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <vector>

#include "platform/common/devctl_frame.h"
#include "platform/env.h"

namespace pink::devctl {
namespace {

constexpr std::string_view kDevicePrefix = "\\\\.\\";
constexpr const char* kDefaultDir = "/run/pink";

std::uint64_t now_ms() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

// Waits until `fd` is ready for `events` or the deadline passes. False on
// time-out or failure; true also when the peer hung up (the next call on the
// socket then tells what happened).
bool wait_for(int fd, short events, std::uint64_t deadline) {
  for (;;) {
    const std::uint64_t now = now_ms();
    const int timeout = now >= deadline ? 0 : static_cast<int>(deadline - now);
    pollfd p{fd, events, 0};
    const int r = ::poll(&p, 1, timeout);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    return (p.revents & (events | POLLHUP | POLLERR)) != 0;
  }
}

class SocketDevice final : public Device {
 public:
  explicit SocketDevice(int fd) : fd_(fd) {}
  ~SocketDevice() override { ::close(fd_); }

  bool control(std::uint32_t code, std::span<const std::uint8_t> input,
               std::span<std::uint8_t> output, std::size_t& returned) override {
    returned = 0;
    if (broken_) return false;
    if (input.size() > frame::kMaxLength || output.size() > frame::kMaxLength) return false;
    const Outcome o = exchange(code, input, output, returned);
    if (o == Outcome::Broken) broken_ = true;
    if (o != Outcome::Accepted) returned = 0;
    return o == Outcome::Accepted;
  }

 private:
  enum class Outcome { Accepted, Refused, Broken };

  Outcome exchange(std::uint32_t code, std::span<const std::uint8_t> input,
                   std::span<std::uint8_t> output, std::size_t& returned) {
    // Anything the server sent unasked, or its end of the connection, means
    // the two sides no longer agree on where a reply starts.
    if (!quiet()) return Outcome::Broken;
    const std::uint64_t deadline = now_ms() + kExchangeTimeoutMs;
    const auto size = static_cast<std::uint32_t>(output.size());
    if (!send_all(frame::encode_request(code, input, size), deadline)) return Outcome::Broken;

    std::uint8_t head[frame::kReplyHeaderSize];
    frame::ReplyHeader header;
    if (!recv_exact(head, deadline) ||
        frame::decode_reply_header(head, size, header) != frame::Decode::Complete) {
      return Outcome::Broken;
    }
    std::vector<std::uint8_t> body(header.length);
    if (!recv_exact(body, deadline)) return Outcome::Broken;
    if (!header.accepted) return Outcome::Refused;
    if (!body.empty()) std::memcpy(output.data(), body.data(), body.size());  // <= output.size()
    returned = body.size();
    return Outcome::Accepted;
  }

  // True when nothing waits to be read and the server is still there.
  bool quiet() {
    std::uint8_t b = 0;
    for (;;) {
      const ssize_t r = ::recv(fd_, &b, 1, MSG_PEEK | MSG_DONTWAIT);
      if (r < 0 && errno == EINTR) continue;
      return r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
  }

  bool send_all(std::span<const std::uint8_t> bytes, std::uint64_t deadline) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t w = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (w > 0) {
        done += static_cast<std::size_t>(w);
      } else if (w < 0 && errno == EINTR) {
        continue;
      } else if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        if (!wait_for(fd_, POLLOUT, deadline)) return false;
      } else {
        return false;
      }
    }
    return true;
  }

  bool recv_exact(std::span<std::uint8_t> out, std::uint64_t deadline) {
    std::size_t done = 0;
    while (done < out.size()) {
      const ssize_t r = ::recv(fd_, out.data() + done, out.size() - done, MSG_DONTWAIT);
      if (r > 0) {
        done += static_cast<std::size_t>(r);
      } else if (r < 0 && errno == EINTR) {
        continue;
      } else if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        if (!wait_for(fd_, POLLIN, deadline)) return false;
      } else {
        return false;  // closed by the server, or failed
      }
    }
    return true;
  }

  int fd_;
  bool broken_ = false;
};

// Connects within kExchangeTimeoutMs (a server whose queue of connections is
// full makes connect wait); a signal does not abandon the attempt.
bool connect_bounded(int fd, const sockaddr_un& address, int& error) {
  timeval tv{};
  tv.tv_sec = kExchangeTimeoutMs / 1000;
  tv.tv_usec = static_cast<suseconds_t>(kExchangeTimeoutMs % 1000) * 1000;
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  for (;;) {
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return true;
    if (errno == EINTR || errno == EALREADY) continue;
    if (errno == EISCONN) return true;
    error = errno;
    return false;
  }
}

}  // namespace

std::string device_path(std::string_view name) {
  if (name.substr(0, kDevicePrefix.size()) == kDevicePrefix) name.remove_prefix(kDevicePrefix.size());
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos ||
      name.find('\0') != std::string_view::npos) {
    return {};
  }
  const std::string dir = env::get("PINK_DRAWERDIR").value_or(kDefaultDir);
  return dir + "/" + std::string(name);
}

OpenResult open(std::string_view name) {
  OpenResult r;
  const std::string path = device_path(name);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty()) {
    r.text = "no device name: \"" + std::string(name) + "\"";
    return r;
  }
  if (path.size() >= sizeof address.sun_path) {
    r.text = path + ": the path is too long for a socket";
    return r;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    r.text = path + ": socket: " + std::strerror(errno);
    return r;
  }
  int error = 0;
  if (!connect_bounded(fd, address, error)) {
    ::close(fd);
    r.text = path + ": " + std::strerror(error);
    return r;
  }
  r.device = std::make_unique<SocketDevice>(fd);
  return r;
}

SequenceTimer::SequenceTimer() = default;
SequenceTimer::~SequenceTimer() = default;

void SequenceTimer::wait_ms(std::uint32_t ms) {
  timespec until{};
  clock_gettime(CLOCK_MONOTONIC, &until);
  until.tv_sec += static_cast<time_t>(ms / 1000u);
  until.tv_nsec += static_cast<long>(ms % 1000u) * 1000000L;
  if (until.tv_nsec >= 1000000000L) {
    until.tv_sec += 1;
    until.tv_nsec -= 1000000000L;
  }
  // Sleeping to an absolute deadline: a signal does not stretch the wait.
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
  }
}

}  // namespace pink::devctl
