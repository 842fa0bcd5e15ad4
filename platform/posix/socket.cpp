// TCP over IPv4 with BSD sockets. Connects and listens take dotted literals;
// lookup_ipv4 turns a host name into one. Sends never raise SIGPIPE
// (MSG_NOSIGNAL); a vanished peer is an error result like any other.
#include "platform/socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include "platform/common/socket_common.h"

namespace pink::net {
namespace {

std::uint64_t now_ms() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

template <typename T>
Result<T> failed(const std::string& what, int err) {
  return Result<T>::failure(what + ": " + std::strerror(err));
}

void set_blocking(int fd, bool blocking) {
  const int fl = ::fcntl(fd, F_GETFL);
  if (fl < 0) return;
  ::fcntl(fd, F_SETFL, blocking ? (fl & ~O_NONBLOCK) : (fl | O_NONBLOCK));
}

// Polls one descriptor, restarting after signals with the time that is left.
// Returns the revents, 0 on time-out, -1 on failure.
int poll_one(int fd, short events, std::uint32_t timeout_ms) {
  const std::uint64_t deadline = now_ms() + timeout_ms;
  for (;;) {
    int timeout = -1;
    if (timeout_ms != clock::kWaitForever) {
      const std::uint64_t now = now_ms();
      timeout = now >= deadline ? 0 : static_cast<int>(deadline - now);
    }
    pollfd pfd{fd, events, 0};
    const int r = ::poll(&pfd, 1, timeout);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return -1;
    if (r == 0) return 0;
    return pfd.revents;
  }
}

// A failed send or receive. On a blocking socket EAGAIN means that the
// socket's time-out passed (that is how Linux reports it); it is told as a
// time-out with ETIMEDOUT, as Windows reports its time-outs, so that a
// caller that retries would-block conditions does not retry a time-out
// forever. Only a non-blocking socket reports would-block.
Transfer failed_transfer(int fd, int err) {
  if (err == EAGAIN || err == EWOULDBLOCK) {
    const int fl = ::fcntl(fd, F_GETFL);
    if (fl >= 0 && (fl & O_NONBLOCK) != 0) return {Transfer::Status::WouldBlock, 0, err};
    return {Transfer::Status::TimedOut, 0, ETIMEDOUT};
  }
  return {Transfer::Status::Failed, 0, err};
}

sockaddr_in make_address(std::uint32_t host_order, std::uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(host_order);
  return sa;
}

class PosixSocket final : public Socket {
 public:
  explicit PosixSocket(int fd) : fd_(fd) {}
  ~PosixSocket() override { ::close(fd_); }

  long send(std::span<const std::uint8_t> bytes) override {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t w = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
      if (w < 0) {
        if (errno == EINTR) continue;
        return -1;
      }
      done += static_cast<std::size_t>(w);
    }
    return static_cast<long>(done);
  }

  long recv(std::span<std::uint8_t> out) override {
    for (;;) {
      const ssize_t r = ::recv(fd_, out.data(), out.size(), 0);
      if (r < 0 && errno == EINTR) continue;
      return r < 0 ? -1 : static_cast<long>(r);
    }
  }

  int wait_readable(std::uint32_t timeout_ms) override {
    const int revents = poll_one(fd_, POLLIN, timeout_ms);
    if (revents <= 0) return revents;
    if (revents & (POLLIN | POLLHUP)) return 1;
    return -1;
  }

  void set_timeouts(std::uint32_t recv_ms, std::uint32_t send_ms) override {
    auto tv = [](std::uint32_t ms) {
      timeval t{};
      t.tv_sec = static_cast<time_t>(ms / 1000u);
      t.tv_usec = static_cast<suseconds_t>((ms % 1000u) * 1000u);
      return t;
    };
    const timeval r = tv(recv_ms), s = tv(send_ms);
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &r, sizeof r);
    ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &s, sizeof s);
  }

  void shutdown_send() override { ::shutdown(fd_, SHUT_WR); }

  Transfer send_once(std::span<const std::uint8_t> bytes) override {
    if (bytes.empty()) return {Transfer::Status::Moved, 0, 0};
    for (;;) {
      const ssize_t w = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (w >= 0) return {Transfer::Status::Moved, static_cast<std::size_t>(w), 0};
      if (errno != EINTR) return failed_transfer(fd_, errno);
    }
  }

  Transfer recv_once(std::span<std::uint8_t> out) override {
    if (out.empty()) return {Transfer::Status::Moved, 0, 0};
    for (;;) {
      const ssize_t r = ::recv(fd_, out.data(), out.size(), 0);
      if (r > 0) return {Transfer::Status::Moved, static_cast<std::size_t>(r), 0};
      if (r == 0) return {Transfer::Status::Closed, 0, 0};
      if (errno != EINTR) return failed_transfer(fd_, errno);
    }
  }

  bool set_no_delay(bool on) override {
    const int v = on ? 1 : 0;
    return ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &v, sizeof v) == 0;
  }

  bool set_linger(bool on, std::uint16_t seconds) override {
    linger l{};
    l.l_onoff = on ? 1 : 0;
    l.l_linger = on ? seconds : 0;
    return ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l) == 0;
  }

  std::intptr_t native() const override { return fd_; }

 private:
  int fd_;
};

class PosixListener final : public Listener {
 public:
  PosixListener(int fd, std::uint16_t port) : fd_(fd), port_(port) {}
  ~PosixListener() override { ::close(fd_); }

  std::unique_ptr<Socket> accept(std::uint32_t timeout_ms) override {
    const int revents = poll_one(fd_, POLLIN, timeout_ms);
    if (revents <= 0 || (revents & POLLIN) == 0) return nullptr;
    int fd = -1;
    do {
      fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return nullptr;
    return std::make_unique<PosixSocket>(fd);
  }

  std::uint16_t port() const override { return port_; }

 private:
  int fd_;
  std::uint16_t port_;
};

}  // namespace

bool startup(int& granted_major, int& granted_minor) {
  granted_major = 2;
  granted_minor = 2;
  return true;
}

bool cleanup() { return true; }

int last_error() { return errno; }

HostLookup lookup_ipv4(std::string_view host) {
  if (const auto literal = parse_ipv4(host)) return {literal, 0};
  if (host.empty() || host.find('\0') != std::string_view::npos) return {std::nullopt, EAI_NONAME};
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string name(host);
  const int r = ::getaddrinfo(name.c_str(), nullptr, &hints, &found);
  if (r != 0) return {std::nullopt, r == EAI_SYSTEM ? errno : r};
  HostLookup out{std::nullopt, EAI_NONAME};
  for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
    if (a->ai_family == AF_INET && a->ai_addr != nullptr) {
      out = {ntohl(reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr), 0};
      break;
    }
  }
  ::freeaddrinfo(found);
  return out;
}

Result<std::unique_ptr<Socket>> connect(std::string_view ipv4, std::uint16_t port, std::uint32_t timeout_ms) {
  using Connected = Result<std::unique_ptr<Socket>>;
  const auto address = detail::address_of(ipv4);
  if (!address) {
    errno = EINVAL;
    return Connected::failure(address.why());
  }
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    return failed<std::unique_ptr<Socket>>("socket", errno);
  }
  auto fail = [&](const char* what, int err) {
    Connected outcome = failed<std::unique_ptr<Socket>>(what, err);
    ::close(fd);
    errno = err;
    return outcome;
  };

  const sockaddr_in sa = make_address(*address, port);
  // Connect without blocking and wait for the outcome, so that a time-out
  // can bound the wait and a signal cannot leave the attempt half done.
  set_blocking(fd, false);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
    if (errno != EINPROGRESS && errno != EINTR) return fail("connect", errno);
    const int revents = poll_one(fd, POLLOUT, timeout_ms == 0 ? clock::kWaitForever : timeout_ms);
    if (revents == 0) return fail("connect", ETIMEDOUT);
    if (revents < 0) return fail("connect", errno);
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) return fail("connect", errno);
    if (err != 0) return fail("connect", err);
  }
  set_blocking(fd, true);
  return std::make_unique<PosixSocket>(fd);
}

Result<std::unique_ptr<Listener>> listen(std::string_view ipv4, std::uint16_t port) {
  const auto address = detail::address_of(ipv4);
  if (!address) return Result<std::unique_ptr<Listener>>::failure(address.why());
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    return failed<std::unique_ptr<Listener>>("socket", errno);
  }
  const int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in sa = make_address(*address, port);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0 || ::listen(fd, 16) != 0) {
    const int err = errno;
    ::close(fd);
    return failed<std::unique_ptr<Listener>>("listen", err);
  }
  socklen_t len = sizeof sa;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
  return std::make_unique<PosixListener>(fd, ntohs(sa.sin_port));
}

}  // namespace pink::net
