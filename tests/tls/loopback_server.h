// A TLS server on loopback for tests: a test PKI in a temporary folder, a
// listener on a port the OS picks, and a thread that accepts connections and
// hands each session to the test's handler. Used by the TLS and ssllib32 tests.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/tls_server.h"
#include "tools/testkit/testkit.h"

namespace pink::testing {

// A fresh test PKI in a temporary folder of its own.
struct Pki {
  testkit::TempDir dir;
  tls::TestPki files;
  Pki() {
    auto made = tls::make_test_pki(dir.path());
    EXPECT_TRUE(made) << made.why();
    if (made) files = *made;
  }
};

// Serves `connections` connections one after the other with the handler; the
// session is closed after the handler returns.
class LoopbackServer {
 public:
  LoopbackServer(const Pki& pki, std::function<void(tls::Session&)> handler, int connections = 1,
                 tls::ServerOptions options = {}) {
    options.cert_file = pki.files.server_cert;
    options.key_file = pki.files.server_key;
    auto listening = tls::listen(options);
    if (!listening) {
      error_ = listening.why();
      return;
    }
    server_ = std::move(*listening);
    thread_ = std::thread([this, handler = std::move(handler), connections] {
      for (int i = 0; i < connections; ++i) {
        auto session = server_->accept(20000);
        if (!session) {
          last_accept_error_ = session.why();
          ++failed_;
          continue;
        }
        ++served_;
        handler(**session);
        session->close();
      }
    });
  }
  ~LoopbackServer() { join(); }

  bool ok() const { return server_ != nullptr; }
  const std::string& error() const { return error_; }
  std::uint16_t port() const { return server_ ? server_->port() : 0; }
  // Waits until every connection was served (or failed).
  void join() {
    if (thread_.joinable()) thread_.join();
  }
  int served() const { return served_; }
  int failed() const { return failed_; }
  const std::string& last_accept_error() const { return last_accept_error_; }

 private:
  std::string error_, last_accept_error_;
  std::unique_ptr<tls::Server> server_;
  std::thread thread_;
  std::atomic<int> served_{0}, failed_{0};
};

// Receives until `n` bytes came or nothing more arrives within the wait.
inline std::string receive_bytes(tls::Session& s, std::size_t n, std::uint32_t wait_ms = 10000) {
  std::string got, buf(65536, '\0');
  while (got.size() < n && s.wait_readable(wait_ms) == 1) {
    const long r = s.recv(std::span<std::uint8_t>(reinterpret_cast<std::uint8_t*>(buf.data()),
                                                  std::min(buf.size(), n - got.size())));
    if (r <= 0) break;
    got.append(buf.data(), static_cast<std::size_t>(r));
  }
  return got;
}

}  // namespace pink::testing
