// The connection to the provider: connecting with the fallback from the
// primary to the secondary server, the socket options, sending everything
// and receiving an exact count with the client's result codes, and the
// process-wide table of batch connections by their 32-bit identifiers.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "msgcall/endpoints.h"
#include "platform/socket.h"

namespace pink::msgcall::link {

// Results of send_all and recv_exact besides the byte count.
inline constexpr long kSendInvalidSocket = -2;
inline constexpr long kRecvInvalidSocket = -3;
inline constexpr long kRecvClosedOrWouldBlock = -44;

// Options set on every connection.
inline constexpr std::uint32_t kTimeoutMs = 20000;
inline constexpr std::uint16_t kLingerSeconds = 5;

using Socket = std::shared_ptr<net::Socket>;

// Sends all bytes, retrying would-block conditions. The count sent, or the
// negated system error code, or kSendInvalidSocket for no socket.
long send_all(net::Socket* socket, std::span<const std::uint8_t> bytes);

// Receives exactly out.size() bytes. The count, or kRecvClosedOrWouldBlock
// when the connection closed (or a non-blocking socket had nothing), or the
// negated system error code (a time-out included), or kRecvInvalidSocket.
long recv_exact(net::Socket* socket, std::span<std::uint8_t> out);

// Connects to one server: the host as a dotted address or looked up (a
// failed lookup is logged "step2 host[..][code]"), then connected (a failure
// is logged "step3"); the connected socket gets its time-outs, no-delay and
// linger. Null on failure.
std::unique_ptr<net::Socket> connect_one(const Endpoint& endpoint);

// The primary, else the secondary server. Null when both fail (the caller
// logs that with its own LINE number).
std::unique_ptr<net::Socket> connect_either(const Endpoints& endpoints);

// Batch connections. `add` gives the new connection its identifier (a
// positive number counting up, never one in use, so that a closed
// connection's identifier does not soon name another); `find` gives
// the socket of an identifier (null for an unknown one, which then behaves
// as an invalid socket); `remove` takes it out of the table (the socket
// closes when the last user lets go of it).
std::int32_t add(std::unique_ptr<net::Socket> socket);
Socket find(std::int32_t id);
Socket remove(std::int32_t id);

}  // namespace pink::msgcall::link
