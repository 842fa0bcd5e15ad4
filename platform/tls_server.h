// TLS servers and a throwaway test PKI, on OpenSSL: for the payment network
// simulator and the tests. Linux build only: nothing of the Windows build may
// include this header (the terminals never serve TLS).
//
//   auto server = tls::listen({.cert_file = "server.pem", .key_file = "server.key"});
//   auto session = server->accept(20000);   // a tls::Session, as a client gets
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/result.h"
#include "platform/tls.h"

namespace pink::tls {

enum class Version { Tls1_1, Tls1_2, Tls1_3 };

struct ServerOptions {
  std::string cert_file;  // PEM: the server certificate, optionally followed by its chain
  std::string key_file;   // PEM: its private key, unencrypted
  // When given, the server certificate must verify against this CA bundle at
  // start (catches a certificate and CA that do not belong together).
  std::optional<std::string> ca_file;
  std::string address = "127.0.0.1";
  std::uint16_t port = 0;  // 0: a free port
  std::uint32_t handshake_timeout_ms = 10000;
  // Protocol range offered; the defaults offer TLS 1.2 and 1.3. A range
  // reaching below 1.2 lowers the server's security level so that the old
  // protocol can really be offered (for refusing clients in tests).
  Version min_version = Version::Tls1_2;
  Version max_version = Version::Tls1_3;
};

// A TLS listener for tools and tests.
class Server {
 public:
  virtual ~Server() = default;
  // Waits up to `timeout_ms` for a connection and runs the server handshake
  // (bounded by the handshake time-out). A failure on time-out ("no
  // connection") or a failed handshake, with the reason: the tools and tests
  // that serve TLS report both alike.
  virtual Result<std::unique_ptr<Session>> accept(std::uint32_t timeout_ms) = 0;
  virtual std::uint16_t port() const = 0;
};

// Loads certificate and key and listens; on failure the reason.
Result<std::unique_ptr<Server>> listen(const ServerOptions& options);

// File names of a throwaway test PKI in one folder.
struct TestPki {
  std::string ca_cert;        // ca.pem: the test CA (trust anchor for clients)
  std::string server_cert;    // server.pem: issued by the CA to IP 127.0.0.1 and DNS "localhost"
  std::string server_key;     // server.key: its private key (file mode 0600)
  std::string other_ca_cert;  // other-ca.pem: a second CA that signed nothing here
};

// Writes a fresh test PKI (EC P-256 keys, SHA-256 signatures whose r and s
// are full 32 bytes each, valid from an hour ago for 30 days) into `folder`,
// which must exist. The CA keys are never written. On failure the reason.
Result<TestPki> make_test_pki(const std::string& folder);

}  // namespace pink::tls
