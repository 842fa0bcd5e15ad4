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

std::unique_ptr<tls::Session> open_client(std::uint16_t port, const tls::ClientOptions& options,
                                          std::string* error) {
  auto socket = net::connect("127.0.0.1", port, 5000, error);
  if (!socket) return nullptr;
  return tls::connect(std::move(socket), options, error);
}

TEST(Tls, VerifiedSessionExchangesBytesAndSeesTheClose) {
  Pki pki;
  LoopbackServer server(pki, [](tls::Session& s) {
    const std::string request = receive_bytes(s, 8);
    s.send("\x05" + request);
  });
  ASSERT_TRUE(server.ok()) << server.error();

  std::string error;
  auto client = open_client(server.port(), trusting(pki), &error);
  ASSERT_TRUE(client) << error;
  EXPECT_TRUE(client->protocol() == "TLSv1.2" || client->protocol() == "TLSv1.3") << client->protocol();
  EXPECT_EQ(client->send(std::string_view("request!")), 8);
  EXPECT_EQ(receive_bytes(*client, 9), "\x05request!");
  // The server closes after answering: readable, and recv reports the end.
  ASSERT_EQ(client->wait_readable(10000), 1);
  std::uint8_t b[8];
  EXPECT_EQ(client->recv(b), 0);
  client->close();
  EXPECT_EQ(client->send(std::string_view("x")), -1);
  EXPECT_EQ(client->wait_readable(0), -1);
  client->close();  // twice is harmless
  server.join();
  EXPECT_EQ(server.served(), 1);
}

TEST(Tls, PeerIsCheckedByHostNameWhenOneIsGiven) {
  Pki pki;
  LoopbackServer server(pki, [](tls::Session& s) { s.send(std::string_view("ok")); }, 2);
  ASSERT_TRUE(server.ok()) << server.error();

  // The certificate names "localhost" beside 127.0.0.1; the name from the
  // environment replaces the address check.
  {
    testkit::ScopedEnv name("PINK_TLS_PEERNAME", "localhost");
    testkit::ScopedEnv ca("PINK_TLS_CAFILE", pki.files.ca_cert);
    const auto options = tls::ClientOptions::from_environment("127.0.0.1");
    ASSERT_EQ(options.peer_name, "localhost");
    ASSERT_EQ(options.ca_file, pki.files.ca_cert);
    std::string error;
    auto client = open_client(server.port(), options, &error);
    ASSERT_TRUE(client) << error;
    EXPECT_EQ(receive_bytes(*client, 2), "ok");
  }
  {
    auto options = trusting(pki);
    options.peer_name = "payments.example";
    std::string error;
    EXPECT_FALSE(open_client(server.port(), options, &error));
    EXPECT_NE(error.find("certificate verify failed"), std::string::npos) << error;
  }
  server.join();
  EXPECT_EQ(server.served(), 1);
  EXPECT_EQ(server.failed(), 1);
}

TEST(Tls, EveryVerificationFailureFailsTheSession) {
  Pki pki;
  struct Case {
    const char* what;
    tls::ClientOptions options;
    const char* error_part;
  };
  tls::ClientOptions other_ca = trusting(pki);
  other_ca.ca_file = pki.files.other_ca_cert;
  tls::ClientOptions system_store = trusting(pki);
  system_store.ca_file.reset();
  tls::ClientOptions missing_ca = trusting(pki);
  missing_ca.ca_file = pki.dir.file("absent.pem");
  tls::ClientOptions key_as_ca = trusting(pki);
  key_as_ca.ca_file = pki.files.server_key;

  const Case cases[] = {
      {"a CA that did not sign the certificate", other_ca, "certificate verify failed"},
      {"the system store, which does not know the test CA", system_store, "certificate verify failed"},
      {"another address than the certificate's", trusting(pki, "127.0.0.2"), "certificate verify failed"},
  };
  LoopbackServer server(pki, [](tls::Session&) {}, static_cast<int>(std::size(cases)));
  ASSERT_TRUE(server.ok()) << server.error();
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(open_client(server.port(), c.options, &error)) << c.what;
    EXPECT_NE(error.find(c.error_part), std::string::npos) << c.what << ": " << error;
  }
  server.join();
  EXPECT_EQ(server.served(), 0);
  EXPECT_EQ(server.failed(), static_cast<int>(std::size(cases)));

  // Trust anchors that cannot be read, and no identity to check, fail before
  // any handshake.
  auto listener = net::listen("127.0.0.1", 0);
  ASSERT_TRUE(listener);
  tls::ClientOptions no_identity = trusting(pki, "");
  for (const tls::ClientOptions* o : {&missing_ca, &key_as_ca, &no_identity}) {
    std::string error;
    auto socket = net::connect("127.0.0.1", listener->port(), 5000);
    ASSERT_TRUE(socket);
    EXPECT_FALSE(tls::connect(std::move(socket), *o, &error));
    EXPECT_FALSE(error.empty());
  }
  // The reason never quotes the key.
  const std::string key = pki.dir.read("server.key");
  std::string error;
  tls::connect(net::connect("127.0.0.1", listener->port(), 5000), key_as_ca, &error);
  EXPECT_EQ(error.find("PRIVATE KEY"), std::string::npos) << error;
}

TEST(Tls, ServerWithOnlyTls11IsRefused) {
  Pki pki;
  tls::ServerOptions old;
  old.min_version = tls::Version::Tls1_1;
  old.max_version = tls::Version::Tls1_1;
  LoopbackServer server(pki, [](tls::Session&) {}, 1, old);
  ASSERT_TRUE(server.ok()) << server.error();
  std::string error;
  EXPECT_FALSE(open_client(server.port(), trusting(pki), &error));
  EXPECT_NE(error.find("protocol"), std::string::npos) << error;
  server.join();
  EXPECT_EQ(server.failed(), 1);
  // The server did offer TLS 1.1: the versions did not meet.
  EXPECT_NE(server.last_accept_error().find("unsupported protocol"), std::string::npos)
      << server.last_accept_error();
}

TEST(Tls, WaitCountsBytesBufferedInTheTlsLayerAndNotHousekeepingRecords) {
  Pki pki;
  LoopbackServer server(pki, [](tls::Session& s) {
    // One record of 100 bytes, then wait for the client's word to end.
    s.send(std::string(100, 'r'));
    receive_bytes(s, 3);
  });
  ASSERT_TRUE(server.ok()) << server.error();
  std::string error;
  auto client = open_client(server.port(), trusting(pki), &error);
  ASSERT_TRUE(client) << error;

  ASSERT_EQ(client->wait_readable(10000), 1);
  std::uint8_t ten[10];
  ASSERT_EQ(client->recv(ten), 10);
  // 90 bytes wait inside the TLS layer, none on the socket.
  EXPECT_EQ(client->wait_readable(0), 1);
  EXPECT_EQ(receive_bytes(*client, 90, 0), std::string(90, 'r'));
  // Nothing left: session tickets or other records do not make it readable.
  EXPECT_EQ(client->wait_readable(200), 0);
  client->send(std::string_view("end"));
  server.join();
}

TEST(Tls, LargeTransfersBothWays) {
  Pki pki;
  constexpr std::size_t kSize = 3 * 1024 * 1024 + 17;
  std::string pattern(kSize, '\0');
  for (std::size_t i = 0; i < kSize; ++i) pattern[i] = static_cast<char>((i * 131 + i / 4096) & 0xFF);
  std::string server_got;
  LoopbackServer server(pki, [&](tls::Session& s) {
    server_got = receive_bytes(s, kSize);
    std::string reply = server_got;
    for (char& c : reply) c = static_cast<char>(~c);
    EXPECT_EQ(s.send(reply), static_cast<long>(kSize));
  });
  ASSERT_TRUE(server.ok()) << server.error();
  std::string error;
  auto client = open_client(server.port(), trusting(pki), &error);
  ASSERT_TRUE(client) << error;
  EXPECT_EQ(client->send(pattern), static_cast<long>(kSize));
  const std::string back = receive_bytes(*client, kSize);
  server.join();
  EXPECT_TRUE(server_got == pattern);
  ASSERT_EQ(back.size(), kSize);
  for (std::size_t i = 0; i < kSize; ++i) {
    if (back[i] != static_cast<char>(~pattern[i])) {
      ADD_FAILURE() << "byte " << i << " differs";
      break;
    }
  }
}

TEST(Tls, SendToAVanishedPeerFailsWithoutKillingTheProcess) {
  Pki pki;
  LoopbackServer server(pki, [](tls::Session&) {});
  ASSERT_TRUE(server.ok()) << server.error();
  std::string error;
  auto client = open_client(server.port(), trusting(pki), &error);
  ASSERT_TRUE(client) << error;
  server.join();  // the server closed its side
  client->set_timeouts(2000, 2000);
  long result = 0;
  for (int i = 0; i < 50 && result >= 0; ++i) result = client->send(std::string(64 * 1024, 'x'));
  EXPECT_EQ(result, -1);
}

TEST(Tls, ServerRefusesCertificatesAndKeysThatDoNotFit) {
  Pki pki, second;
  tls::ServerOptions o;
  o.cert_file = pki.files.server_cert;
  o.key_file = second.files.server_key;
  std::string error;
  EXPECT_FALSE(tls::listen(o, &error));
  EXPECT_NE(error.find("does not belong"), std::string::npos) << error;

  o.key_file = pki.dir.file("absent.key");
  EXPECT_FALSE(tls::listen(o, &error));
  EXPECT_NE(error.find("private key"), std::string::npos) << error;

  o.key_file = pki.files.server_key;
  o.ca_file = pki.files.other_ca_cert;
  EXPECT_FALSE(tls::listen(o, &error));
  EXPECT_NE(error.find("does not verify"), std::string::npos) << error;

  o.ca_file = pki.files.ca_cert;
  EXPECT_TRUE(tls::listen(o, &error)) << error;

  // A key file given as certificate: the reason names the file, not its content.
  o.cert_file = pki.files.server_key;
  EXPECT_FALSE(tls::listen(o, &error));
  EXPECT_EQ(error.find(pki.dir.read("server.key").substr(30, 20)), std::string::npos);
}

}  // namespace
}  // namespace pink
