// TCP over IPv4 with Winsock. The caller starts the library (startup) before
// its first socket, as the payment and printer libraries do themselves.
#include "platform/socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <string>

#include "platform/common/socket_common.h"

namespace pink::net {
namespace {

template <typename T>
Result<T> failed(const std::string& what, int err) {
  return Result<T>::failure(what + ": Winsock error " + std::to_string(err));
}

void set_blocking(SOCKET s, bool blocking) {
  u_long nonblocking = blocking ? 0 : 1;
  ioctlsocket(s, FIONBIO, &nonblocking);
}

sockaddr_in make_address(std::uint32_t host_order, std::uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(host_order);
  return sa;
}

// Waits for one socket; 1 ready, 0 time-out, -1 error. `write` waits for a
// connect to finish (writable or failed), otherwise for data.
int wait_socket(SOCKET s, bool write, std::uint32_t timeout_ms) {
  fd_set main_set, fail_set;
  FD_ZERO(&main_set);
  FD_ZERO(&fail_set);
  FD_SET(s, &main_set);
  FD_SET(s, &fail_set);
  timeval tv{};
  tv.tv_sec = static_cast<long>(timeout_ms / 1000u);
  tv.tv_usec = static_cast<long>((timeout_ms % 1000u) * 1000u);
  const int r = select(0, write ? nullptr : &main_set, write ? &main_set : nullptr, &fail_set,
                       timeout_ms == clock::kWaitForever ? nullptr : &tv);
  if (r == SOCKET_ERROR) return -1;
  if (r == 0) return 0;
  if (FD_ISSET(s, &main_set)) return 1;
  return -1;
}

// A failed send or receive, told apart by Winsock's error code.
Transfer failed_transfer(int err) {
  if (err == WSAEWOULDBLOCK) return {Transfer::Status::WouldBlock, 0, err};
  if (err == WSAETIMEDOUT) return {Transfer::Status::TimedOut, 0, err};
  return {Transfer::Status::Failed, 0, err};
}

int clamp_length(std::size_t n) { return n > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(n); }

class WinSocket final : public Socket {
 public:
  explicit WinSocket(SOCKET s) : s_(s) {}
  ~WinSocket() override { closesocket(s_); }

  long send(std::span<const std::uint8_t> bytes) override {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const std::size_t left = bytes.size() - done;
      const int chunk = left > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(left);
      const int w = ::send(s_, reinterpret_cast<const char*>(bytes.data() + done), chunk, 0);
      if (w == SOCKET_ERROR) return -1;
      done += static_cast<std::size_t>(w);
    }
    return static_cast<long>(done);
  }

  long recv(std::span<std::uint8_t> out) override {
    const int want = out.size() > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(out.size());
    const int r = ::recv(s_, reinterpret_cast<char*>(out.data()), want, 0);
    return r == SOCKET_ERROR ? -1 : r;
  }

  int wait_readable(std::uint32_t timeout_ms) override { return wait_socket(s_, false, timeout_ms); }

  void set_timeouts(std::uint32_t recv_ms, std::uint32_t send_ms) override {
    const DWORD r = recv_ms, s = send_ms;
    setsockopt(s_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&r), sizeof r);
    setsockopt(s_, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&s), sizeof s);
  }

  void shutdown_send() override { ::shutdown(s_, SD_SEND); }

  Transfer send_once(std::span<const std::uint8_t> bytes) override {
    if (bytes.empty()) return {Transfer::Status::Moved, 0, 0};
    const int w = ::send(s_, reinterpret_cast<const char*>(bytes.data()), clamp_length(bytes.size()), 0);
    if (w == SOCKET_ERROR) return failed_transfer(WSAGetLastError());
    return {Transfer::Status::Moved, static_cast<std::size_t>(w), 0};
  }

  Transfer recv_once(std::span<std::uint8_t> out) override {
    if (out.empty()) return {Transfer::Status::Moved, 0, 0};
    const int r = ::recv(s_, reinterpret_cast<char*>(out.data()), clamp_length(out.size()), 0);
    if (r == SOCKET_ERROR) return failed_transfer(WSAGetLastError());
    if (r == 0) return {Transfer::Status::Closed, 0, 0};
    return {Transfer::Status::Moved, static_cast<std::size_t>(r), 0};
  }

  bool set_no_delay(bool on) override {
    const BOOL v = on ? TRUE : FALSE;
    return setsockopt(s_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&v), sizeof v) == 0;
  }

  bool set_linger(bool on, std::uint16_t seconds) override {
    linger l{};
    l.l_onoff = on ? 1 : 0;
    l.l_linger = on ? seconds : 0;
    return setsockopt(s_, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l) == 0;
  }

  std::intptr_t native() const override { return static_cast<std::intptr_t>(s_); }

 private:
  SOCKET s_;
};

class WinListener final : public Listener {
 public:
  WinListener(SOCKET s, std::uint16_t port) : s_(s), port_(port) {}
  ~WinListener() override { closesocket(s_); }

  std::unique_ptr<Socket> accept(std::uint32_t timeout_ms) override {
    if (wait_socket(s_, false, timeout_ms) != 1) return nullptr;
    const SOCKET c = ::accept(s_, nullptr, nullptr);
    if (c == INVALID_SOCKET) return nullptr;
    set_blocking(c, true);
    return std::make_unique<WinSocket>(c);
  }

  std::uint16_t port() const override { return port_; }

 private:
  SOCKET s_;
  std::uint16_t port_;
};

}  // namespace

bool startup(int& granted_major, int& granted_minor) {
  WSADATA data{};
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
    granted_major = 0;
    granted_minor = 0;
    return false;
  }
  granted_major = LOBYTE(data.wVersion);
  granted_minor = HIBYTE(data.wVersion);
  return true;
}

bool cleanup() { return WSACleanup() == 0; }

int last_error() { return WSAGetLastError(); }

// The caller has started the socket library (startup) before.
HostLookup lookup_ipv4(std::string_view host) {
  if (const auto literal = parse_ipv4(host)) return {literal, 0};
  if (host.empty() || host.find('\0') != std::string_view::npos) return {std::nullopt, WSAHOST_NOT_FOUND};
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string name(host);
  const int r = getaddrinfo(name.c_str(), nullptr, &hints, &found);
  if (r != 0) return {std::nullopt, r};
  HostLookup out{std::nullopt, WSAHOST_NOT_FOUND};
  for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
    if (a->ai_family == AF_INET && a->ai_addr != nullptr) {
      out = {ntohl(reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr), 0};
      break;
    }
  }
  freeaddrinfo(found);
  return out;
}

Result<std::unique_ptr<Socket>> connect(std::string_view ipv4, std::uint16_t port, std::uint32_t timeout_ms) {
  using Connected = Result<std::unique_ptr<Socket>>;
  const auto address = detail::address_of(ipv4);
  if (!address) {
    WSASetLastError(WSAEINVAL);
    return Connected::failure(address.why());
  }
  const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) {
    return failed<std::unique_ptr<Socket>>("socket", WSAGetLastError());
  }
  auto fail = [&](const char* what, int err) {
    Connected outcome = failed<std::unique_ptr<Socket>>(what, err);
    closesocket(s);
    WSASetLastError(err);
    return outcome;
  };
  const sockaddr_in sa = make_address(*address, port);
  if (timeout_ms == 0) {
    if (::connect(s, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == SOCKET_ERROR) {
      return fail("connect", WSAGetLastError());
    }
    return std::make_unique<WinSocket>(s);
  }
  set_blocking(s, false);
  if (::connect(s, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == SOCKET_ERROR) {
    const int err = WSAGetLastError();
    if (err != WSAEWOULDBLOCK) return fail("connect", err);
    const int r = wait_socket(s, true, timeout_ms);
    if (r == 0) return fail("connect", WSAETIMEDOUT);
    int so_error = 0;
    int len = sizeof so_error;
    getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&so_error), &len);
    if (r < 0 || so_error != 0) return fail("connect", so_error != 0 ? so_error : WSAGetLastError());
  }
  set_blocking(s, true);
  return std::make_unique<WinSocket>(s);
}

// No SO_REUSEADDR here: on Windows it would let another socket take over a
// port that is in use, and a closed port can be bound again without it.
Result<std::unique_ptr<Listener>> listen(std::string_view ipv4, std::uint16_t port) {
  const auto address = detail::address_of(ipv4);
  if (!address) return Result<std::unique_ptr<Listener>>::failure(address.why());
  const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) {
    return failed<std::unique_ptr<Listener>>("socket", WSAGetLastError());
  }
  sockaddr_in sa = make_address(*address, port);
  if (::bind(s, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == SOCKET_ERROR ||
      ::listen(s, 16) == SOCKET_ERROR) {
    const int err = WSAGetLastError();
    closesocket(s);
    return failed<std::unique_ptr<Listener>>("listen", err);
  }
  int len = sizeof sa;
  getsockname(s, reinterpret_cast<sockaddr*>(&sa), &len);
  return std::make_unique<WinListener>(s, ntohs(sa.sin_port));
}

}  // namespace pink::net
