// ssllib32: the seven calls of the TLS client library, over the platform's
// sockets and TLS sessions (the same code for libssllib32.so and
// ssllib32.dll). Argument checks and the handle tables are here; all socket
// and TLS work is done by the platform pieces. Callers hold plain 32-bit
// handles; the sockets behind them (64 bits wide on 64-bit Windows) stay in
// the tables.
#include "pink/ssllib32.h"

#include <cstdint>
#include <cstring>
#include <mutex>
#include <span>
#include <string>

#include "payment/ssllib32/handles.h"
#include "payment/ssllib32/settings.h"
#include "platform/dynlib.h"
#include "platform/export.h"
#include "platform/msgbox.h"
#include "platform/socket.h"
#include "platform/tls.h"

namespace pink::ssllib32 {
namespace {

constexpr int kSocketFirst = 1, kSocketLast = 0xFFFF;
constexpr int kSslFirst = 0x10001, kSslLast = 0x1FFFF;
constexpr std::size_t kMaxConnections = 256;
constexpr std::size_t kMaxAddressLength = 64;
constexpr std::uint32_t kConnectMs = 30000;
constexpr std::uint32_t kHandshakeMs = 30000;
constexpr std::uint32_t kRecvMs = 60000;
constexpr std::uint32_t kSendMs = 60000;

// sock_connect results.
constexpr int kBadArguments = -1;
constexpr int kConnectFailed = -2;
constexpr int kTooMany = -3;

struct Connection {
  std::mutex lock;  // one call at a time on a connection
  std::string peer_address;
  std::unique_ptr<net::Socket> socket;    // until the TLS session starts
  std::unique_ptr<tls::Session> session;  // from then on
  int socket_handle = 0;
  int ssl_handle = 0;
};

struct Tables {
  std::mutex lock;
  HandleTable<Connection> sockets{kSocketFirst, kSocketLast, kMaxConnections};
  HandleTable<Connection> ssls{kSslFirst, kSslLast, kMaxConnections};

  std::shared_ptr<Connection> socket(int h) {
    std::lock_guard<std::mutex> g(lock);
    return sockets.find(h);
  }
  std::shared_ptr<Connection> ssl(int h) {
    std::lock_guard<std::mutex> g(lock);
    return ssls.find(h);
  }
  // Lets go of both handles of a connection. The caller holds the
  // connection's lock, so that its handles are read while nobody changes
  // them (the connection's lock is always taken before the tables' lock).
  void forget(const Connection& c) {
    std::lock_guard<std::mutex> g(lock);
    if (c.socket_handle) sockets.remove(c.socket_handle);
    if (c.ssl_handle) ssls.remove(c.ssl_handle);
  }
};

Tables& tables() {
  static Tables t;
  return t;
}

// The socket library, started once for the process at the first connection
// (tried again at the next one when it failed) and left running: a library
// may not stop it while being unloaded.
bool sockets_started() {
  static std::mutex lock;
  static bool started = false;
  std::lock_guard<std::mutex> g(lock);
  if (!started) {
    int major = 0, minor = 0;
    started = net::startup(major, minor);
  }
  return started;
}

// The wait of SSL_SelectTimeOut, given in seconds.
std::uint32_t seconds_to_ms(int seconds) {
  const std::uint64_t ms = static_cast<std::uint64_t>(seconds) * 1000u;
  return ms >= clock::kWaitForever ? clock::kWaitForever - 1 : static_cast<std::uint32_t>(ms);
}

int start_session(int* socket_handle) {
  if (socket_handle == nullptr) return 0;
  const std::shared_ptr<Connection> c = tables().socket(*socket_handle);
  if (!c) return 0;
  std::unique_lock<std::mutex> g(c->lock);
  if (c->session) return c->ssl_handle;
  if (!c->socket) return 0;
  auto options = client_options(c->peer_address, read_trust_sources(), &dynlib::beside_module);
  options.handshake_timeout_ms = kHandshakeMs;
  auto opened = tls::connect(std::move(c->socket), options);
  if (!opened) {
    msgbox::note(handshake_failure_text(options, opened.why(), dynlib::beside_module(kIniFile)), "ssllib32");
  }
  std::unique_ptr<tls::Session> session = opened ? std::move(*opened) : nullptr;
  if (session) {
    std::lock_guard<std::mutex> tg(tables().lock);
    c->ssl_handle = tables().ssls.add(c);
  }
  if (!session || c->ssl_handle == 0) {
    // The socket is gone with the failed session; nothing is left for the
    // caller to close, so the handle is let go here.
    if (session) session->close();
    tables().forget(*c);
    return 0;
  }
  session->set_timeouts(kRecvMs, kSendMs);
  c->session = std::move(session);
  return c->ssl_handle;
}

int connect_socket(const char* ip, int port) {
  if (ip == nullptr || port < 1 || port > 0xFFFF) return kBadArguments;
  const std::size_t len = ::strnlen(ip, kMaxAddressLength + 1);
  if (len > kMaxAddressLength) return kBadArguments;
  const std::string address(ip, len);
  if (!net::parse_ipv4(address)) return kBadArguments;
  if (!sockets_started()) return kConnectFailed;
  auto socket = net::connect(address, static_cast<std::uint16_t>(port), kConnectMs);
  if (!socket) return kConnectFailed;
  auto c = std::make_shared<Connection>();
  c->peer_address = address;
  c->socket = std::move(*socket);
  std::lock_guard<std::mutex> g(tables().lock);
  const int h = tables().sockets.add(c);
  if (h == 0) return kTooMany;  // the socket closes with the record
  c->socket_handle = h;
  return h;
}

int select_timeout(int socket_handle, int wait) {
  if (wait < 0) return -1;
  const auto c = tables().socket(socket_handle);
  if (!c) return -1;
  std::lock_guard<std::mutex> g(c->lock);
  const std::uint32_t ms = seconds_to_ms(wait);
  if (c->session) return c->session->wait_readable(ms);
  if (c->socket) return c->socket->wait_readable(ms);
  return -1;
}

int recv_data(int ssl_handle, char* buf, int size) {
  if (buf == nullptr || size <= 0) return -1;
  const auto c = tables().ssl(ssl_handle);
  if (!c) return -1;
  std::lock_guard<std::mutex> g(c->lock);
  if (!c->session) return -1;
  const long n = c->session->recv(
      std::span<std::uint8_t>(reinterpret_cast<std::uint8_t*>(buf), static_cast<std::size_t>(size)));
  return static_cast<int>(n);
}

int send_data(int ssl_handle, const char* data, int len) {
  if (len < 0 || (data == nullptr && len > 0)) return -1;
  const auto c = tables().ssl(ssl_handle);
  if (!c) return -1;
  if (len == 0) return 0;
  std::lock_guard<std::mutex> g(c->lock);
  if (!c->session) return -1;
  const long n = c->session->send(
      std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(data), static_cast<std::size_t>(len)));
  return n < 0 ? -1 : static_cast<int>(n);
}

int close_link(int ssl_handle, int socket_handle) {
  for (const auto& c : {tables().ssl(ssl_handle), tables().socket(socket_handle)}) {
    if (!c) continue;
    std::lock_guard<std::mutex> g(c->lock);
    tables().forget(*c);
    if (c->session) c->session->close();
    c->session.reset();
    c->socket.reset();
  }
  return 0;
}

// Runs one call; nothing thrown inside (no memory, a failed lock) leaves
// the library: the call gives its failure value instead.
template <typename Fn, typename... Args>
int guarded(int failure, Fn fn, Args... args) noexcept {
  try {
    return fn(args...);
  } catch (...) {
    return failure;
  }
}

}  // namespace
}  // namespace pink::ssllib32

using namespace pink::ssllib32;

PINK_EXPORT int PINK_CALL sock_connect(const char* ip, int port) {
  return guarded(kConnectFailed, connect_socket, ip, port);
}

PINK_EXPORT int PINK_CALL SSL_StartUp(int* socket_handle) { return guarded(0, start_session, socket_handle); }

PINK_EXPORT int PINK_CALL SSL_StartClient(int* socket_handle) { return guarded(0, start_session, socket_handle); }

PINK_EXPORT int PINK_CALL SSL_SelectTimeOut(int socket_handle, int wait) {
  return guarded(-1, select_timeout, socket_handle, wait);
}

PINK_EXPORT int PINK_CALL SSL_RecvData(int ssl_handle, char* buf, int size) {
  return guarded(-1, recv_data, ssl_handle, buf, size);
}

PINK_EXPORT int PINK_CALL SSL_SendData(int ssl_handle, const char* data, int len) {
  return guarded(-1, send_data, ssl_handle, data, len);
}

PINK_EXPORT int PINK_CALL SSL_Close(int ssl_handle, int socket_handle) {
  return guarded(0, close_link, ssl_handle, socket_handle);
}
