// TCP sockets over IPv4 (Winsock on Windows, BSD sockets elsewhere).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/result.h"

namespace pink::net {

// Starts the socket library (Windows: WSAStartup 2.2; elsewhere nothing).
// Returns false when it cannot be started; `granted_major/minor` tell the
// version granted (2.2 elsewhere).
bool startup(int& granted_major, int& granted_minor);
// Stops the socket library again; false when stopping fails (last_error()
// tells why). Elsewhere nothing, and true.
bool cleanup();
int last_error();

// Parses a dotted IPv4 literal ("192.168.0.10"): exactly four decimal parts
// 0..255, no leading zeros, no name lookup. The value is in host order with
// the first part in the top byte (192.168.0.10 -> 0xC0A8000A).
std::optional<std::uint32_t> parse_ipv4(std::string_view text);

// The dotted text of an address in host order (0xC0A8000A -> "192.168.0.10").
std::string format_ipv4(std::uint32_t address);

// The IPv4 address of a host: a dotted literal as it is, otherwise the name
// looked up (the first IPv4 address the resolver gives). On failure no
// address and the system's error code of the lookup (the resolver's result:
// EAI_* on Linux, the Winsock error on Windows).
struct HostLookup {
  std::optional<std::uint32_t> address;
  int error = 0;
};
HostLookup lookup_ipv4(std::string_view host);

// The outcome of one send or receive call, in the system's own terms.
struct Transfer {
  enum class Status {
    Moved,       // `bytes` (> 0) went out or came in
    Closed,      // receive: the peer closed the connection in order
    WouldBlock,  // a non-blocking socket has no room or no data now
    TimedOut,    // the send or receive time-out passed
    Failed,      // any other error
  };
  Status status = Status::Failed;
  std::size_t bytes = 0;
  int error = 0;  // the system's error code (errno, WSAGetLastError) unless Moved or Closed
};

class Socket {
 public:
  virtual ~Socket() = default;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  // Sends everything (looping over partial sends); returns the bytes sent or
  // -1 on a socket error (including the send time-out).
  virtual long send(std::span<const std::uint8_t> bytes) = 0;
  long send(std::string_view bytes);
  // Receives what is there, waiting up to the receive time-out: >0 bytes,
  // 0 orderly close by the peer, -1 error or time-out.
  virtual long recv(std::span<std::uint8_t> out) = 0;
  // Waits up to `timeout_ms` for data to read: 1 readable, 0 time-out, -1 error.
  virtual int wait_readable(std::uint32_t timeout_ms) = 0;
  virtual void set_timeouts(std::uint32_t recv_ms, std::uint32_t send_ms) = 0;
  virtual void shutdown_send() = 0;

  // One send / one receive call as the system makes it (restarted after a
  // signal), with the error told apart: a caller that needs the system's
  // error code or the difference between a time-out and a closed
  // connection loops over these itself. An empty span moves nothing and
  // reports Moved with 0 bytes.
  virtual Transfer send_once(std::span<const std::uint8_t> bytes) = 0;
  virtual Transfer recv_once(std::span<std::uint8_t> out) = 0;
  // Nagle's algorithm off (true) or on again; false when refused.
  virtual bool set_no_delay(bool on) = 0;
  // Lingering on close: on with a time in seconds, or off; false when refused.
  virtual bool set_linger(bool on, std::uint16_t seconds) = 0;
  // The OS handle (for TLS layers in the platform).
  virtual std::intptr_t native() const = 0;

 protected:
  Socket() = default;
};

// Connects to a dotted IPv4 address, blocking (optionally bounded; 0 waits as
// long as the system does). On failure the reason ("connect: Connection
// refused"), and last_error() tells the system's code.
Result<std::unique_ptr<Socket>> connect(std::string_view ipv4, std::uint16_t port,
                                        std::uint32_t timeout_ms = 0);

class Listener {
 public:
  virtual ~Listener() = default;
  // Waits up to `timeout_ms` (clock::kWaitForever: no limit) for a connection.
  // Null when none came in time, and also when taking it failed (the peer
  // gave up before it was taken, the process ran out of handles): either way
  // there is no connection now and the caller waits again or gives up, so
  // the two are not told apart and this is no Result.
  virtual std::unique_ptr<Socket> accept(std::uint32_t timeout_ms) = 0;
  virtual std::uint16_t port() const = 0;
};

// Listens on `ipv4`:`port` (port 0 picks a free one), with address reuse.
// On failure the reason ("listen: Address already in use").
Result<std::unique_ptr<Listener>> listen(std::string_view ipv4, std::uint16_t port);

}  // namespace pink::net
