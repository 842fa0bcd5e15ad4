// ssllib32 through its seven C calls, against an in-process TLS server on
// loopback with a test PKI made for each test. How verification decides a
// session is proven by the TLS tests; here only that a refused session
// gives 0.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "pink/ssllib32.h"
#include "platform/socket.h"
#include "tests/tls/loopback_server.h"
#include "tools/testkit/testkit.h"

namespace pink {
namespace {

using testing::LoopbackServer;
using testing::Pki;
using testing::receive_bytes;

std::string received(int ssl, int size = 4096) {
  char buf[4096];
  const int n = SSL_RecvData(ssl, buf, size);
  return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : "<" + std::to_string(n) + ">";
}

TEST(Ssllib32, SevenCallsRunAnExchange) {
  Pki pki;
  testkit::ScopedEnv ca("PINK_TLS_CAFILE", pki.files.ca_cert);
  testkit::ScopedEnv name("PINK_TLS_PEERNAME", std::nullopt);
  std::string request_seen;
  LoopbackServer server(pki, [&](tls::Session& s) {
    s.send(std::string_view("\x05"));
    request_seen = receive_bytes(s, 12);
    s.send(std::string_view("0123456789ABCDEF"));  // one record of 16 bytes
    receive_bytes(s, 1);                            // the ACK, then the server closes
  });
  ASSERT_TRUE(server.ok()) << server.error();

  int sock = sock_connect("127.0.0.1", server.port());
  ASSERT_GT(sock, 0);
  const int ssl = SSL_StartUp(&sock);
  ASSERT_NE(ssl, 0);
  EXPECT_NE(ssl, sock);
  EXPECT_EQ(SSL_StartClient(&sock), ssl);  // the session is there already

  ASSERT_GT(SSL_SelectTimeOut(sock, 10), 0);
  EXPECT_EQ(received(ssl), "\x05");
  EXPECT_EQ(SSL_SendData(ssl, "request text", 12), 12);
  // A receive smaller than the record leaves bytes inside the TLS layer; the
  // wait sees them at once.
  ASSERT_GT(SSL_SelectTimeOut(sock, 10), 0);
  EXPECT_EQ(received(ssl, 4), "0123");
  EXPECT_GT(SSL_SelectTimeOut(sock, 0), 0);
  EXPECT_EQ(received(ssl), "456789ABCDEF");
  EXPECT_EQ(SSL_SendData(ssl, "\x06", 1), 1);
  // The end of the session is readable, and the receive reports it with 0.
  ASSERT_GT(SSL_SelectTimeOut(sock, 10), 0);
  EXPECT_EQ(received(ssl), "<0>");
  EXPECT_EQ(SSL_Close(ssl, sock), 0);
  server.join();
  EXPECT_EQ(request_seen, "request text");

  // Both handles are gone.
  EXPECT_EQ(SSL_SelectTimeOut(sock, 0), -1);
  EXPECT_EQ(received(ssl), "<-1>");
  EXPECT_EQ(SSL_SendData(ssl, "x", 1), -1);
  EXPECT_EQ(SSL_Close(ssl, sock), 0);
}

TEST(Ssllib32, RefusedSessionGivesZeroAndLetsTheSocketGo) {
  Pki pki;
  testkit::ScopedEnv ca("PINK_TLS_CAFILE", pki.files.other_ca_cert);
  LoopbackServer server(pki, [](tls::Session&) {});
  ASSERT_TRUE(server.ok()) << server.error();
  int sock = sock_connect("127.0.0.1", server.port());
  ASSERT_GT(sock, 0);
  EXPECT_EQ(SSL_StartClient(&sock), 0);
  EXPECT_EQ(SSL_SelectTimeOut(sock, 0), -1);  // nothing left open under the handle
  server.join();
  EXPECT_EQ(server.failed(), 1);
}

TEST(Ssllib32, WaitIsInSecondsAndBadArgumentsGiveTheirFailureValues) {
  std::uint16_t closed_port = 0;
  if (auto l = net::listen("127.0.0.1", 0)) closed_port = l->port();
  ASSERT_NE(closed_port, 0);
  EXPECT_EQ(sock_connect("127.0.0.1", closed_port), -2);
  for (const auto& [ip, port] : std::vector<std::pair<const char*, int>>{
           {nullptr, 443}, {"localhost", 443}, {"127.0.0.1", 0}, {"127.0.0.1", 65536}}) {
    EXPECT_EQ(sock_connect(ip, port), -1) << (ip ? ip : "null") << " " << port;
  }
  // Handles never handed out, or no pointer at all.
  int bad = 4242;
  char buf[16];
  EXPECT_EQ(SSL_StartUp(nullptr), 0);
  EXPECT_EQ(SSL_StartClient(&bad), 0);
  EXPECT_EQ(SSL_SelectTimeOut(bad, 0), -1);
  EXPECT_EQ(SSL_RecvData(bad, buf, 16), -1);
  EXPECT_EQ(SSL_SendData(bad, "x", 1), -1);
  EXPECT_EQ(SSL_Close(bad, bad), 0);

  Pki pki;
  testkit::ScopedEnv ca("PINK_TLS_CAFILE", pki.files.ca_cert);
  LoopbackServer server(pki, [](tls::Session& s) { receive_bytes(s, 1); });
  ASSERT_TRUE(server.ok()) << server.error();
  int sock = sock_connect("127.0.0.1", server.port());
  ASSERT_GT(sock, 0);
  EXPECT_EQ(SSL_RecvData(sock, buf, 16), -1);  // the socket handle is no SSL handle
  const int ssl = SSL_StartUp(&sock);
  ASSERT_NE(ssl, 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(SSL_SelectTimeOut(sock, 1), 0);
  const auto waited = std::chrono::steady_clock::now() - start;
  // One second, not one millisecond (and nowhere near a minute).
  EXPECT_GE(waited, std::chrono::milliseconds(900));
  EXPECT_LT(waited, std::chrono::seconds(30));
  EXPECT_EQ(SSL_SelectTimeOut(ssl, 0), -1);
  EXPECT_EQ(SSL_RecvData(ssl, nullptr, 16), -1);
  EXPECT_EQ(SSL_RecvData(ssl, buf, 0), -1);
  EXPECT_EQ(SSL_SendData(ssl, "x", -1), -1);
  EXPECT_EQ(SSL_SendData(ssl, nullptr, 4), -1);
  EXPECT_EQ(SSL_SendData(ssl, "!", 1), 1);
  // Closing through either handle alone closes the whole connection.
  EXPECT_EQ(SSL_Close(ssl, 0), 0);
  EXPECT_EQ(SSL_SelectTimeOut(sock, 0), -1);
}

}  // namespace
}  // namespace pink
