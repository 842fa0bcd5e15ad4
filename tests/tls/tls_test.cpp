// TLS sessions of the platform over loopback, against a test PKI made for
// each test: verification of chain and peer, refused protocols, waiting with
// bytes buffered inside the TLS layer, large transfers.
#include <gtest/gtest.h>

#include <string>

#include "platform/socket.h"
#include "platform/tls.h"
#include "tests/tls/loopback_server.h"
#include "tools/testkit/testkit.h"

namespace pink {
namespace {

using testing::LoopbackServer;
using testing::Pki;
using testing::receive_bytes;

tls::ClientOptions trusting(const Pki& pki, std::string peer = "127.0.0.1") {
  tls::ClientOptions o;
  o.peer_address = std::move(peer);
  o.ca_file = pki.files.ca_cert;
  return o;
}

Result<std::unique_ptr<tls::Session>> open_client(std::uint16_t port, const tls::ClientOptions& options) {
  auto socket = net::connect("127.0.0.1", port, 5000);
  if (!socket) return Result<std::unique_ptr<tls::Session>>::failure(socket.why());
  return tls::connect(std::move(*socket), options);
}

TEST(Tls, VerifiedSessionExchangesBytesAndSeesTheClose) {
  Pki pki;
  LoopbackServer server(pki, [](tls::Session& s) { s.send("\x05" + receive_bytes(s, 8)); });
  ASSERT_TRUE(server.ok()) << server.error();
  auto opened = open_client(server.port(), trusting(pki));
  ASSERT_TRUE(opened) << opened.why();
  auto client = std::move(*opened);
  EXPECT_TRUE(client->protocol() == "TLSv1.2" || client->protocol() == "TLSv1.3") << client->protocol();
  EXPECT_EQ(client->send(std::string_view("request!")), 8);
  EXPECT_EQ(receive_bytes(*client, 9), "\x05request!");
  // The server closes after answering: readable, and recv reports the end.
  ASSERT_EQ(client->wait_readable(10000), 1);
  std::uint8_t b[8];
  EXPECT_EQ(client->recv(b), 0);
  server.join();
  // Sending to the vanished peer fails without killing the process.
  client->set_timeouts(2000, 2000);
  long result = 0;
  for (int i = 0; i < 50 && result >= 0; ++i) result = client->send(std::string(64 * 1024, 'x'));
  EXPECT_EQ(result, -1);
  client->close();
  EXPECT_EQ(client->send(std::string_view("x")), -1);
  EXPECT_EQ(client->wait_readable(0), -1);
  EXPECT_EQ(server.served(), 1);
}

TEST(Tls, VerificationOfChainAndPeerDecidesTheSession) {
  Pki pki;
  tls::ClientOptions from_env;
  {
    // The name from the environment replaces the address check (the
    // certificate names "localhost" and 127.0.0.1, not 127.0.0.2).
    testkit::ScopedEnv name("PINK_TLS_PEERNAME", "localhost");
    testkit::ScopedEnv ca("PINK_TLS_CAFILE", pki.files.ca_cert);
    from_env = tls::ClientOptions::from_environment("127.0.0.2");
  }
  tls::ClientOptions other_ca = trusting(pki), system_store = trusting(pki), wrong_name = trusting(pki);
  other_ca.ca_file = pki.files.other_ca_cert;
  system_store.ca_file.reset();
  wrong_name.peer_name = "payments.example";
  const struct {
    const char* what;
    tls::ClientOptions options;
    bool ok;
  } cases[] = {
      {"the certificate's name from the environment", from_env, true},
      {"a CA that did not sign the certificate", other_ca, false},
      {"the system store, which does not know the test CA", system_store, false},
      {"another address than the certificate's", trusting(pki, "127.0.0.2"), false},
      {"a name the certificate lacks", wrong_name, false},
      {"no identity to check at all", trusting(pki, ""), false},
  };
  LoopbackServer server(pki, [](tls::Session& s) { s.send(std::string_view("ok")); }, std::size(cases));
  ASSERT_TRUE(server.ok()) << server.error();
  for (const auto& c : cases) {
    auto client = open_client(server.port(), c.options);
    EXPECT_EQ(client.ok(), c.ok) << c.what << ": " << client.why();
    if (client) {
      EXPECT_EQ(receive_bytes(**client, 2), "ok") << c.what;
    } else if (!c.options.peer_address.empty()) {
      EXPECT_NE(client.why().find("certificate verify failed"), std::string::npos) << c.what << ": " << client.why();
    }
  }
  server.join();
  EXPECT_EQ(server.served(), 1);
  EXPECT_EQ(server.failed(), static_cast<int>(std::size(cases)) - 1);
}

TEST(Tls, ServerWithOnlyTls11IsRefused) {
  Pki pki;
  tls::ServerOptions old;
  old.min_version = old.max_version = tls::Version::Tls1_1;
  LoopbackServer server(pki, [](tls::Session&) {}, 1, old);
  ASSERT_TRUE(server.ok()) << server.error();
  const auto refused = open_client(server.port(), trusting(pki));
  EXPECT_FALSE(refused);
  EXPECT_NE(refused.why().find("protocol"), std::string::npos) << refused.why();
  server.join();
  // The server did offer TLS 1.1: the versions did not meet.
  EXPECT_EQ(server.failed(), 1);
  EXPECT_NE(server.last_accept_error().find("unsupported protocol"), std::string::npos) << server.last_accept_error();
}

TEST(Tls, WaitCountsBytesBufferedInTheTlsLayerAndNotHousekeepingRecords) {
  Pki pki;
  LoopbackServer server(pki, [](tls::Session& s) {
    s.send(std::string(100, 'r'));  // one record of 100 bytes
    receive_bytes(s, 3);
  });
  ASSERT_TRUE(server.ok()) << server.error();
  auto opened = open_client(server.port(), trusting(pki));
  ASSERT_TRUE(opened) << opened.why();
  auto client = std::move(*opened);
  ASSERT_EQ(client->wait_readable(10000), 1);
  std::uint8_t ten[10];
  ASSERT_EQ(client->recv(ten), 10);
  // 90 bytes wait inside the TLS layer, none on the socket.
  EXPECT_EQ(client->wait_readable(0), 1);
  EXPECT_EQ(receive_bytes(*client, 90, 0), std::string(90, 'r'));
  // Nothing left: session tickets or other records do not make it readable.
  EXPECT_EQ(client->wait_readable(200), 0);
  client->send(std::string_view("end"));
}

TEST(Tls, LargeTransfersBothWays) {
  Pki pki;
  constexpr std::size_t kSize = 3 * 1024 * 1024 + 17;
  std::string pattern(kSize, '\0'), server_got;
  for (std::size_t i = 0; i < kSize; ++i) pattern[i] = static_cast<char>((i * 131 + i / 4096) & 0xFF);
  LoopbackServer server(pki, [&](tls::Session& s) {
    server_got = receive_bytes(s, kSize);
    std::string reply = server_got;
    for (char& c : reply) c = static_cast<char>(~c);
    EXPECT_EQ(s.send(reply), static_cast<long>(kSize));
  });
  ASSERT_TRUE(server.ok()) << server.error();
  auto opened = open_client(server.port(), trusting(pki));
  ASSERT_TRUE(opened) << opened.why();
  auto client = std::move(*opened);
  EXPECT_EQ(client->send(pattern), static_cast<long>(kSize));
  std::string back = receive_bytes(*client, kSize);
  server.join();
  EXPECT_TRUE(server_got == pattern);
  for (char& c : back) c = static_cast<char>(~c);
  EXPECT_TRUE(back == pattern) << "received " << back.size() << " bytes";
}

}  // namespace
}  // namespace pink
