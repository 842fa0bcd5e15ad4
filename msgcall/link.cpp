#include "msgcall/link.h"

#include <map>
#include <mutex>

#include "msgcall/daylog.h"
#include "msgcall/logtext.h"

namespace pink::msgcall::link {
namespace {

using Status = net::Transfer::Status;

// The socket library is started once per process and left running (on
// Linux there is nothing to start).
void start_sockets() {
  static const bool started = [] {
    int major = 0, minor = 0;
    return net::startup(major, minor);
  }();
  (void)started;
}

struct Table {
  std::mutex mutex;
  std::map<std::int32_t, Socket> sockets;
  std::int32_t last_id = 0;
};

Table& table() {
  static Table t;
  return t;
}

}  // namespace

long send_all(net::Socket* socket, std::span<const std::uint8_t> bytes) {
  if (socket == nullptr) return kSendInvalidSocket;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const net::Transfer t = socket->send_once(bytes.subspan(done));
    if (t.status == Status::Moved) {
      done += t.bytes;
    } else if (t.status != Status::WouldBlock) {
      return -static_cast<long>(t.error);
    }
  }
  return static_cast<long>(done);
}

long recv_exact(net::Socket* socket, std::span<std::uint8_t> out) {
  if (socket == nullptr) return kRecvInvalidSocket;
  std::size_t done = 0;
  while (done < out.size()) {
    const net::Transfer t = socket->recv_once(out.subspan(done));
    if (t.status == Status::Moved) {
      done += t.bytes;
    } else if (t.status == Status::Closed || t.status == Status::WouldBlock) {
      return kRecvClosedOrWouldBlock;
    } else {
      return -static_cast<long>(t.error);
    }
  }
  return static_cast<long>(done);
}

std::unique_ptr<net::Socket> connect_one(const Endpoint& endpoint) {
  start_sockets();
  const net::HostLookup found = net::lookup_ipv4(endpoint.host);
  if (!found.address) {
    daylog::write(logtext::lookup_failed(endpoint.host, found.error));
    return nullptr;
  }
  const auto port = static_cast<std::uint16_t>(endpoint.port);
  if (endpoint.port <= 0 || endpoint.port > 65535) {
    daylog::write(logtext::connect_failed());
    return nullptr;
  }
  auto connected = net::connect(net::format_ipv4(*found.address), port);
  if (!connected) {
    daylog::write(logtext::connect_failed());
    return nullptr;
  }
  std::unique_ptr<net::Socket> socket = std::move(*connected);
  socket->set_timeouts(kTimeoutMs, kTimeoutMs);
  socket->set_no_delay(true);
  socket->set_linger(true, kLingerSeconds);
  return socket;
}

std::unique_ptr<net::Socket> connect_either(const Endpoints& endpoints) {
  if (auto s = connect_one(endpoints.primary)) return s;
  return connect_one(endpoints.secondary);
}

std::int32_t add(std::unique_ptr<net::Socket> socket) {
  Table& t = table();
  std::lock_guard lock(t.mutex);
  // Identifiers count up and skip any still in use once they wrap around.
  do {
    t.last_id = t.last_id == INT32_MAX ? 1 : t.last_id + 1;
  } while (t.sockets.count(t.last_id) != 0);
  t.sockets.emplace(t.last_id, Socket(std::move(socket)));
  return t.last_id;
}

Socket find(std::int32_t id) {
  Table& t = table();
  std::lock_guard lock(t.mutex);
  const auto it = t.sockets.find(id);
  return it == t.sockets.end() ? nullptr : it->second;
}

Socket remove(std::int32_t id) {
  Table& t = table();
  std::lock_guard lock(t.mutex);
  const auto it = t.sockets.find(id);
  if (it == t.sockets.end()) return nullptr;
  Socket s = std::move(it->second);
  t.sockets.erase(it);
  return s;
}

}  // namespace pink::msgcall::link
