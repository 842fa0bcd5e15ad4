// The Windows TLS client session (SChannel) under Wine, driven through the
// Windows program tls_session.exe against an OpenSSL server on loopback in
// this process: verification of chain and peer, refused protocols, bytes
// buffered inside the TLS layer, large transfers and the end of a session.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/tls/loopback_server.h"
#include "tools/testkit/wine.h"

namespace pink {
namespace {

using testing::LoopbackServer;
using testing::Pki;
using testing::receive_bytes;
using testkit::Wine;

std::vector<std::string> lines_of(const std::string& out) {
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// Runs tls_session.exe against the port with the options and steps; its
// output lines, with the milliseconds of "wait" lines left out.
std::vector<std::string> run_session(std::uint16_t port, const std::vector<std::string>& args,
                                     std::uint32_t timeout_ms = 60000) {
  Wine& wine = Wine::shared();
  std::vector<std::string> all{std::to_string(port)};
  all.insert(all.end(), args.begin(), args.end());
  testkit::RunOptions o;
  o.timeout_ms = timeout_ms;
  const auto r = wine.run(wine.program("tls_session.exe"), all, o);
  EXPECT_FALSE(r.timed_out) << r.err;
  auto lines = lines_of(r.out);
  for (auto& l : lines) {
    if (l.rfind("wait ", 0) == 0) l = l.substr(0, l.rfind(' '));
  }
  return lines;
}

std::string ca(const std::string& file) { return "ca=" + Wine::windows_path(file); }

class WinTls : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(Wine::available(&why)) << why;
  }
};

TEST_F(WinTls, VerifiedSessionExchangesBytesAndSeesTheEnd) {
  Pki pki;
  LoopbackServer server(pki, [](tls::Session& s) { s.send("\x05" + receive_bytes(s, 8)); });
  ASSERT_TRUE(server.ok()) << server.error();
  std::vector<std::string> steps{ca(pki.files.ca_cert), "protocol", "send", "request!", "wait", "10000",
                                 "recv", "64", "wait", "10000", "recv", "64"};
  // Sending to the vanished peer fails, and so does all after the close.
  for (int i = 0; i < 10; ++i) steps.insert(steps.end(), {"sendpattern", "65536"});
  steps.insert(steps.end(), {"close", "send", "x", "wait", "0"});
  const auto out = run_session(server.port(), steps);
  server.join();
  ASSERT_GE(out.size(), 9u);
  EXPECT_EQ(out[0], "connected");
  EXPECT_EQ(out[1], "protocol TLSv1.2");  // Wine's SChannel offers TLS 1.2 (1.3 is off there)
  EXPECT_EQ(out[2], "send 8");
  EXPECT_EQ(out[3], "wait 1");
  EXPECT_EQ(out[4], "recv 9 \\x05request!");
  // The server closed after answering: readable, and the receive tells the end.
  EXPECT_EQ(out[5], "wait 1");
  EXPECT_EQ(out[6], "recv 0");
  ASSERT_EQ(out.size(), 7u + 10u + 3u);
  EXPECT_EQ(out[16], "send -1");
  EXPECT_EQ(out[17], "close 0");
  EXPECT_EQ(out[18], "send -1");
  EXPECT_EQ(out[19], "wait -1");
  EXPECT_EQ(server.served(), 1);
}

TEST_F(WinTls, VerificationOfChainAndPeerDecidesTheSession) {
  Pki pki;
  const std::string& dir = pki.dir.path();
  // A bundle with the right anchor second; a block that is no base64; a key
  // file, which holds no certificate.
  pki.dir.write("bundle.pem", pki.dir.read("other-ca.pem") + pki.dir.read("ca.pem"));
  pki.dir.write("broken.pem", "-----BEGIN CERTIFICATE-----\nMIIB*not-base64*\n-----END CERTIFICATE-----\n");
  const std::string ok = "connected";
  const std::string verify = "refused certificate verify failed: ";
  const std::string unreadable = "refused cannot read the trust anchors in ";
  const struct {
    const char* what;
    std::vector<std::string> options;
    std::string first_line;  // the whole line, or its start for refusals
  } cases[] = {
      {"the test CA and the address connected to", {ca(pki.files.ca_cert)}, ok},
      {"a bundle holding the test CA", {ca(dir + "/bundle.pem")}, ok},
      {"the certificate's name, in other case", {ca(pki.files.ca_cert), "name=LOCALHOST"}, ok},
      {"an address given as the name", {ca(pki.files.ca_cert), "name=127.0.0.1"}, ok},
      {"a CA that did not sign the certificate", {ca(pki.files.other_ca_cert)},
       verify + "the chain does not end at a trust anchor"},
      {"the system store, which does not know the test CA", {}, verify},
      {"another address than the certificate's", {ca(pki.files.ca_cert), "address=127.0.0.2"},
       verify + "the certificate is not issued to the address connected to"},
      {"a name the certificate lacks", {ca(pki.files.ca_cert), "name=payments.example"},
       verify + "the certificate is not issued to payments.example"},
      {"a name under the certificate's", {ca(pki.files.ca_cert), "name=www.localhost"}, verify},
      {"a name with a trailing dot", {ca(pki.files.ca_cert), "name=localhost."}, verify},
      {"a domain rather than a name", {ca(pki.files.ca_cert), "name=.localhost"}, "refused not a usable peer name"},
      {"no identity to check at all", {ca(pki.files.ca_cert), "address=", "name="}, "refused no peer identity"},
      {"a file that is not there", {ca(dir + "/missing.pem")}, unreadable},
      {"a certificate block that is no base64", {ca(dir + "/broken.pem")}, unreadable},
      {"a file without certificates", {ca(pki.files.server_key)}, unreadable},
  };
  LoopbackServer server(pki, [](tls::Session& s) { s.send(std::string_view("ok")); }, std::size(cases));
  ASSERT_TRUE(server.ok()) << server.error();
  for (const auto& c : cases) {
    auto options = c.options;
    options.insert(options.end(), {"wait", "10000", "recv", "16"});
    const auto out = run_session(server.port(), options);
    ASSERT_FALSE(out.empty()) << c.what;
    EXPECT_EQ(out[0].substr(0, c.first_line.size()), c.first_line) << c.what << ": " << out[0];
    if (c.first_line == ok) {
      EXPECT_EQ(out, (std::vector<std::string>{ok, "wait 1", "recv 2 ok"})) << c.what;
    } else {
      EXPECT_EQ(out.size(), 1u) << c.what;
    }
  }
  server.join();
}

TEST_F(WinTls, ServerWithOnlyTls11IsRefused) {
  Pki pki;
  tls::ServerOptions old;
  old.min_version = old.max_version = tls::Version::Tls1_1;
  LoopbackServer server(pki, [](tls::Session&) {}, 1, old);
  ASSERT_TRUE(server.ok()) << server.error();
  const auto out = run_session(server.port(), {ca(pki.files.ca_cert), "protocol"});
  server.join();
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].rfind("refused TLS handshake failed", 0), 0u) << out[0];
  // The server offered TLS 1.1 and the client dropped the handshake there
  // (Wine's SChannel closes without an alert; OpenSSL clients send one).
  EXPECT_EQ(server.failed(), 1);
  EXPECT_EQ(server.served(), 0);
}

TEST_F(WinTls, WaitCountsBytesBufferedInTheTlsLayer) {
  Pki pki;
  std::string end;
  LoopbackServer server(pki, [&](tls::Session& s) {
    s.send(std::string(100, 'r'));  // one record of 100 bytes
    end = receive_bytes(s, 3);
  });
  ASSERT_TRUE(server.ok()) << server.error();
  const auto out = run_session(server.port(), {ca(pki.files.ca_cert), "wait", "10000", "recv", "10", "wait", "0",
                                               "recv", "4096", "wait", "200", "send", "end", "close"});
  server.join();
  // 90 bytes wait inside the TLS layer, none on the socket; then nothing.
  EXPECT_EQ(out, (std::vector<std::string>{"connected", "wait 1", "recv 10 " + std::string(10, 'r'), "wait 1",
                                           "recv 90 " + std::string(90, 'r'), "wait 0", "send 3", "close 0"}));
  EXPECT_EQ(end, "end");
}

TEST_F(WinTls, LargeTransfersBothWays) {
  Pki pki;
  constexpr std::size_t kSize = 3 * 1024 * 1024 + 17;
  std::size_t server_got = 0;
  bool server_same = false;
  LoopbackServer server(pki, [&](tls::Session& s) {
    std::string got = receive_bytes(s, kSize, 20000);
    server_got = got.size();
    server_same = true;
    for (std::size_t i = 0; i < got.size() && server_same; ++i) {
      server_same = got[i] == static_cast<char>((i * 131 + i / 4096) & 0xFF);
    }
    for (char& c : got) c = static_cast<char>(~c);
    s.send(got);
  });
  ASSERT_TRUE(server.ok()) << server.error();
  const std::string n = std::to_string(kSize);
  const auto out = run_session(server.port(), {ca(pki.files.ca_cert), "sendpattern", n, "recvpattern", n, "close"},
                               120000);
  server.join();
  EXPECT_EQ(server_got, kSize);
  EXPECT_TRUE(server_same);
  EXPECT_EQ(out, (std::vector<std::string>{"connected", "send " + n, "recvpattern " + n + " same", "close 0"}));
}

}  // namespace
}  // namespace pink
