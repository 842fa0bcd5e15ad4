// Closing a connection while its session is still being set up on another
// thread: the close waits for the set-up and lets go of both handles, so no
// SSL handle is left behind naming a dead connection.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "pink/ssllib32.h"
#include "platform/tls_server.h"
#include "tests/tls/loopback_server.h"
#include "tools/testkit/testkit.h"

namespace pink {
namespace {

using testing::Pki;

// More rounds than the library holds connections at once (256): a handle
// left behind by each round would fill its table.
constexpr int kRounds = 400;

TEST(Ssllib32Release, ACloseDuringTheHandshakeLetsGoOfBothHandles) {
  Pki pki;
  testkit::ScopedEnv ca("PINK_TLS_CAFILE", pki.files.ca_cert);
  testkit::ScopedEnv name("PINK_TLS_PEERNAME", std::nullopt);
  auto server = tls::listen({.cert_file = pki.files.server_cert, .key_file = pki.files.server_key});
  ASSERT_TRUE(server) << server.why();

  int sessions = 0;
  for (int round = 0; round < kRounds; ++round) {
    int sock = sock_connect("127.0.0.1", server->port());
    ASSERT_GT(sock, 0) << "round " << round;
    int ssl = -1;
    std::atomic<bool> starting{false};
    // The client's hello waits in the socket until the server accepts: the
    // set-up holds the connection while the close comes.
    std::thread starter([&] {
      starting = true;
      ssl = SSL_StartUp(&sock);
    });
    while (!starting) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    std::thread closer([&] { SSL_Close(0, sock); });
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    auto session = server->accept(20000);
    starter.join();
    closer.join();
    if (ssl != 0) ++sessions;
    // Whatever the order, nothing is left open under either handle.
    EXPECT_EQ(SSL_SelectTimeOut(sock, 0), -1) << "round " << round;
    char buf[4];
    EXPECT_EQ(SSL_RecvData(ssl, buf, sizeof buf), -1) << "round " << round;
    if (session) session->close();
  }
  // Handshakes did succeed with the close waiting on them.
  EXPECT_GT(sessions, 0);

  // A fresh connection still gets its session.
  int sock = sock_connect("127.0.0.1", server->port());
  ASSERT_GT(sock, 0);
  int ssl = 0;
  std::thread starter([&] { ssl = SSL_StartUp(&sock); });
  auto session = server->accept(20000);
  starter.join();
  EXPECT_NE(ssl, 0) << "no SSL handle left for a new connection";
  SSL_Close(ssl, sock);
}

}  // namespace
}  // namespace pink
