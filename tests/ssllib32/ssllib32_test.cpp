// ssllib32 through its seven C calls, against an in-process TLS server on
// loopback with a test PKI made for each test.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "payment/ssllib32/handles.h"
#include "pink/ssllib32.h"
#include "platform/dynlib.h"
#include "platform/socket.h"
#include "tests/tls/loopback_server.h"
#include "tools/testkit/testkit.h"

namespace pink {
namespace {

using testing::LoopbackServer;
using testing::Pki;
using testing::receive_bytes;

int received(int ssl, std::string& out) {
  char buf[4096];
  const int n = SSL_RecvData(ssl, buf, sizeof buf);
  out.assign(buf, n > 0 ? static_cast<std::size_t>(n) : 0u);
  return n;
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
    receive_bytes(s, 1);                            // the ACK
    s.send(std::string_view("\x04"));
    receive_bytes(s, 1);                            // until the client closes
  });
  ASSERT_TRUE(server.ok()) << server.error();

  int sock = sock_connect("127.0.0.1", server.port());
  ASSERT_GT(sock, 0);
  const int ssl = SSL_StartUp(&sock);
  ASSERT_NE(ssl, 0);
  EXPECT_NE(ssl, sock);
  EXPECT_EQ(SSL_StartClient(&sock), ssl);  // the session is there already

  std::string got;
  ASSERT_GT(SSL_SelectTimeOut(sock, 10), 0);
  EXPECT_EQ(received(ssl, got), 1);
  EXPECT_EQ(got, "\x05");
  EXPECT_EQ(SSL_SendData(ssl, "request text", 12), 12);

  // A receive smaller than the record leaves bytes inside the TLS layer; the
  // wait sees them at once.
  ASSERT_GT(SSL_SelectTimeOut(sock, 10), 0);
  char four[4];
  EXPECT_EQ(SSL_RecvData(ssl, four, 4), 4);
  EXPECT_EQ(std::string(four, 4), "0123");
  EXPECT_GT(SSL_SelectTimeOut(sock, 0), 0);
  EXPECT_EQ(received(ssl, got), 12);
  EXPECT_EQ(got, "456789ABCDEF");

  EXPECT_EQ(SSL_SendData(ssl, "\x06", 1), 1);
  ASSERT_GT(SSL_SelectTimeOut(sock, 10), 0);
  EXPECT_EQ(received(ssl, got), 1);
  EXPECT_EQ(got, "\x04");

  EXPECT_EQ(SSL_Close(ssl, sock), 0);
  server.join();
  EXPECT_EQ(request_seen, "request text");

  // Both handles are gone.
  char buf[8];
  EXPECT_EQ(SSL_SelectTimeOut(sock, 0), -1);
  EXPECT_EQ(SSL_RecvData(ssl, buf, 8), -1);
  EXPECT_EQ(SSL_SendData(ssl, "x", 1), -1);
  EXPECT_EQ(SSL_Close(ssl, sock), 0);
}

TEST(Ssllib32, WaitIsInSecondsAndTheEndOfTheSessionIsReadable) {
  Pki pki;
  testkit::ScopedEnv ca("PINK_TLS_CAFILE", pki.files.ca_cert);
  LoopbackServer server(pki, [](tls::Session& s) { receive_bytes(s, 3); });
  ASSERT_TRUE(server.ok()) << server.error();
  int sock = sock_connect("127.0.0.1", server.port());
  ASSERT_GT(sock, 0);
  const int ssl = SSL_StartUp(&sock);
  ASSERT_NE(ssl, 0);

  EXPECT_EQ(SSL_SelectTimeOut(sock, 0), 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(SSL_SelectTimeOut(sock, 1), 0);
  const auto waited = std::chrono::steady_clock::now() - start;
  // One second, not one millisecond (and nowhere near a minute).
  EXPECT_GE(waited, std::chrono::milliseconds(900));
  EXPECT_LT(waited, std::chrono::seconds(30));

  // The server closes once it has three bytes: readable, and the receive
  // reports the end with 0.
  EXPECT_EQ(SSL_SendData(ssl, "bye", 3), 3);
  ASSERT_GT(SSL_SelectTimeOut(sock, 10), 0);
  char buf[16];
  EXPECT_EQ(SSL_RecvData(ssl, buf, sizeof buf), 0);
  EXPECT_EQ(SSL_Close(ssl, sock), 0);
}

TEST(Ssllib32, FailedVerificationGivesZeroAndLetsTheSocketGo) {
  Pki pki;
  LoopbackServer server(pki, [](tls::Session& s) { s.send(std::string_view("\x05")); }, 5);
  ASSERT_TRUE(server.ok()) << server.error();
  struct Case {
    const char* what;
    std::optional<std::string> ca_file;
    std::optional<std::string> peer_name;
    bool ok;
  };
  const Case cases[] = {
      {"a CA that did not sign", pki.files.other_ca_cert, std::nullopt, false},
      {"the system store", std::nullopt, std::nullopt, false},
      {"a peer name the certificate lacks", pki.files.ca_cert, "payments.example", false},
      {"the peer name the certificate has", pki.files.ca_cert, "localhost", true},
      {"the address connected to", pki.files.ca_cert, std::nullopt, true},
  };
  for (const Case& c : cases) {
    testkit::ScopedEnv ca("PINK_TLS_CAFILE", c.ca_file);
    testkit::ScopedEnv name("PINK_TLS_PEERNAME", c.peer_name);
    int sock = sock_connect("127.0.0.1", server.port());
    ASSERT_GT(sock, 0) << c.what;
    const int ssl = SSL_StartClient(&sock);
    if (c.ok) {
      EXPECT_NE(ssl, 0) << c.what;
      EXPECT_GT(SSL_SelectTimeOut(sock, 10), 0) << c.what;
    } else {
      EXPECT_EQ(ssl, 0) << c.what;
      // Nothing is left open under the socket handle.
      EXPECT_EQ(SSL_SelectTimeOut(sock, 0), -1) << c.what;
    }
    EXPECT_EQ(SSL_Close(ssl, sock), 0);
  }
  server.join();
  EXPECT_EQ(server.served(), 2);
}

TEST(Ssllib32, BadArgumentsAndHandlesGiveTheirFailureValues) {
  // Connect.
  EXPECT_EQ(sock_connect(nullptr, 443), -1);
  EXPECT_EQ(sock_connect("localhost", 443), -1);
  EXPECT_EQ(sock_connect("127.0.0.1", 0), -1);
  EXPECT_EQ(sock_connect("127.0.0.1", -5), -1);
  EXPECT_EQ(sock_connect("127.0.0.1", 65536), -1);
  EXPECT_EQ(sock_connect(std::string(200, '1').c_str(), 443), -1);
  std::uint16_t closed_port = 0;
  {
    auto l = net::listen("127.0.0.1", 0);
    ASSERT_TRUE(l);
    closed_port = l->port();
  }
  EXPECT_EQ(sock_connect("127.0.0.1", closed_port), -2);

  // Handles never handed out, of the wrong kind, or no pointer at all.
  int bad = 4242;
  char buf[16];
  EXPECT_EQ(SSL_StartUp(nullptr), 0);
  EXPECT_EQ(SSL_StartClient(nullptr), 0);
  EXPECT_EQ(SSL_StartUp(&bad), 0);
  EXPECT_EQ(SSL_SelectTimeOut(bad, 0), -1);
  EXPECT_EQ(SSL_SelectTimeOut(0, 0), -1);
  EXPECT_EQ(SSL_RecvData(bad, buf, 16), -1);
  EXPECT_EQ(SSL_SendData(bad, "x", 1), -1);
  EXPECT_EQ(SSL_Close(bad, bad), 0);
  EXPECT_EQ(SSL_Close(0, 0), 0);
  EXPECT_EQ(SSL_Close(-1, -1), 0);

  Pki pki;
  testkit::ScopedEnv ca("PINK_TLS_CAFILE", pki.files.ca_cert);
  LoopbackServer server(pki, [](tls::Session& s) { receive_bytes(s, 1); });
  ASSERT_TRUE(server.ok()) << server.error();
  int sock = sock_connect("127.0.0.1", server.port());
  ASSERT_GT(sock, 0);
  // Before the session starts the socket can be waited on, but there is no
  // SSL handle to receive or send with; the socket handle is not one.
  EXPECT_EQ(SSL_SelectTimeOut(sock, 0), 0);
  EXPECT_EQ(SSL_RecvData(sock, buf, 16), -1);
  const int ssl = SSL_StartUp(&sock);
  ASSERT_NE(ssl, 0);
  EXPECT_EQ(SSL_SelectTimeOut(ssl, 0), -1);
  EXPECT_EQ(SSL_SelectTimeOut(sock, -1), -1);
  EXPECT_EQ(SSL_RecvData(ssl, nullptr, 16), -1);
  EXPECT_EQ(SSL_RecvData(ssl, buf, 0), -1);
  EXPECT_EQ(SSL_RecvData(ssl, buf, -8), -1);
  EXPECT_EQ(SSL_SendData(ssl, "x", -1), -1);
  EXPECT_EQ(SSL_SendData(ssl, nullptr, 4), -1);
  EXPECT_EQ(SSL_SendData(ssl, nullptr, 0), 0);
  EXPECT_EQ(SSL_SendData(ssl, "!", 1), 1);
  // Closing through either handle alone closes the whole connection.
  EXPECT_EQ(SSL_Close(ssl, 0), 0);
  EXPECT_EQ(SSL_SelectTimeOut(sock, 0), -1);
  server.join();
}

TEST(Ssllib32, LibraryLoadsByNameWithTheSevenCalls) {
  std::string error;
  auto lib = dynlib::load("ssllib32", &error);
  ASSERT_TRUE(lib) << error;
  for (const char* name : {"sock_connect", "SSL_StartUp", "SSL_StartClient", "SSL_SelectTimeOut", "SSL_RecvData",
                           "SSL_SendData", "SSL_Close"}) {
    EXPECT_NE(lib->symbol(name), nullptr) << name;
  }
  EXPECT_EQ(lib->symbol("start_session"), nullptr);
}

TEST(Ssllib32HandleTable, HandlesComeInTurnWithinTheirRangeAndUpToTheCapacity) {
  ssllib32::HandleTable<int> t(10, 13, 3);
  auto rec = [](int v) { return std::make_shared<int>(v); };
  EXPECT_EQ(t.add(rec(1)), 10);
  EXPECT_EQ(t.add(rec(2)), 11);
  EXPECT_EQ(t.add(nullptr), 0);
  EXPECT_EQ(*t.remove(10), 1);
  // A handle just let go is not handed out again at once.
  EXPECT_EQ(t.add(rec(3)), 12);
  EXPECT_EQ(t.add(rec(4)), 13);
  EXPECT_EQ(t.add(rec(5)), 0);  // capacity 3 reached
  EXPECT_EQ(t.remove(10), nullptr);
  EXPECT_EQ(*t.remove(11), 2);
  // At the end of the range the numbers wrap round.
  EXPECT_EQ(t.add(rec(6)), 10);
  EXPECT_EQ(t.size(), 3u);
  EXPECT_EQ(t.find(9), nullptr);
  EXPECT_EQ(t.find(11), nullptr);
  EXPECT_EQ(t.find(14), nullptr);
  EXPECT_EQ(t.find(0), nullptr);
  EXPECT_EQ(*t.find(13), 4);

  // Numbers in use are skipped; a range smaller than the capacity fills up.
  ssllib32::HandleTable<int> small(1, 3, 100);
  EXPECT_EQ(small.add(rec(1)), 1);
  EXPECT_EQ(small.add(rec(2)), 2);
  EXPECT_EQ(small.add(rec(3)), 3);
  EXPECT_EQ(small.add(rec(4)), 0);
  small.remove(2);
  EXPECT_EQ(small.add(rec(5)), 2);
  EXPECT_EQ(*small.find(2), 5);
}

}  // namespace
}  // namespace pink
