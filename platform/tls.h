// TLS client sessions over TCP sockets.
//
// Linux builds them on OpenSSL; Windows on its own TLS stack (SChannel,
// through SSPI), with the certificate checks done by the system's chain
// engine. Both back the ssllib32 library; on Linux also the payment network
// simulator and the tests (whose server side is platform/tls_server.h).
//
// Client sessions always verify the server: TLS 1.2 or later only; the chain
// against the trust anchors of `ca_file` (a PEM bundle; only those are trusted
// then) when given, else the system trust store; the peer against the
// address connected to (an IP address entry of the certificate), or against
// `peer_name` when given (its DNS names, or its common name when it has none;
// a wildcard stands for one whole left-most label), which is then also sent
// as SNI. A failed verification fails the session. Nothing here ever writes a
// private key or its contents into an error text.
//
//   auto sock = net::connect("127.0.0.1", port, 5000);
//   auto tls = tls::connect(std::move(*sock), tls::ClientOptions::from_environment("127.0.0.1"));
//   if (!tls) ... tls.why() says why (e.g. "certificate verify failed: ...")
//   tls->send(request); if (tls->wait_readable(45000) == 1) n = tls->recv(buf);
//   tls->close();
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
#include "platform/socket.h"

namespace pink::tls {

// One TLS session over a connected socket (client or server side). The
// session owns the socket and closes it with itself.
class Session {
 public:
  virtual ~Session() = default;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Sends every byte (waiting up to the send time-out for room): the count
  // sent, or -1 on failure or a closed session.
  virtual long send(std::span<const std::uint8_t> bytes) = 0;
  long send(std::string_view bytes);
  // Receives what has arrived, at most out.size() bytes. When nothing has
  // arrived it waits up to the receive time-out. >0 the count, 0 the peer
  // ended the session (close_notify or a plain close), -1 failure or time-out.
  virtual long recv(std::span<std::uint8_t> out) = 0;
  // Waits up to `timeout_ms` (clock::kWaitForever: no limit) until recv has something
  // to report: 1 application data is buffered inside the TLS layer or has
  // arrived, or the peer has closed; 0 the wait expired; -1 the session
  // failed. TLS records that carry no application data (session tickets,
  // key updates) are taken in while waiting and do not count as readable.
  virtual int wait_readable(std::uint32_t timeout_ms) = 0;
  // Bounds recv (when nothing has arrived) and send; defaults 60 s each.
  virtual void set_timeouts(std::uint32_t recv_ms, std::uint32_t send_ms) = 0;
  // Sends close_notify (without waiting for the peer's) and closes the
  // socket. Idempotent; later sends and receives fail.
  virtual void close() = 0;
  // The negotiated protocol, e.g. "TLSv1.3" ("" after close).
  virtual std::string protocol() const = 0;

 protected:
  Session() = default;
};

struct ClientOptions {
  // The dotted IPv4 address connected to; the certificate must be issued to
  // it (subjectAltName IP) unless `peer_name` is given.
  std::string peer_address;
  // Host name the certificate must be issued to instead (and the SNI name).
  std::optional<std::string> peer_name;
  // PEM bundle of trust anchors; nothing: the system trust store.
  std::optional<std::string> ca_file;
  std::uint32_t handshake_timeout_ms = 30000;

  // peer_address, plus $PINK_TLS_PEERNAME and $PINK_TLS_CAFILE when set.
  static ClientOptions from_environment(std::string peer_address);
};

// Runs the client handshake on a connected socket. On failure (the socket
// closed) a short reason.
Result<std::unique_ptr<Session>> connect(std::unique_ptr<net::Socket> socket, const ClientOptions& options);

}  // namespace pink::tls
