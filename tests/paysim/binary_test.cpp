// The paysim program, run for real on a port the OS picks and driven by a
// small TLS client that plays the terminal.
#include <gtest/gtest.h>

#include <string>

#include "platform/socket.h"
#include "platform/tls.h"
#include "tools/paysim/message.h"
#include "tools/testkit/testkit.h"

namespace pink {
namespace {

using testkit::program;
using testkit::run;

struct Certs {
  testkit::TempDir dir;
  Certs() {
    const auto r = run(program("paysim"), {"--make-certs", dir.path()});
    EXPECT_EQ(r.exit_code, 0) << r.err;
  }
  std::vector<std::string> args(const std::string& ca = "ca.pem") const {
    return {"--cert", dir.file("server.pem"), "--key", dir.file("server.key"), "--ca", dir.file(ca)};
  }
};

std::string next_block(tls::Session& s) {
  std::string buf(4096, '\0');
  if (s.wait_readable(10000) != 1) return "";
  const long n = s.recv(std::span<std::uint8_t>(reinterpret_cast<std::uint8_t*>(buf.data()), buf.size()));
  return n > 0 ? buf.substr(0, static_cast<std::size_t>(n)) : "";
}

TEST(PaysimProgram, PlaysTheScriptedNetworkForAClientAndEndsAfterItsConnections) {
  Certs certs;
  certs.dir.write("answer.txt", "FROM-A-FILE-0910");
  auto args = certs.args();
  args.insert(args.end(), {"--port", "0", "--connections", "1", "--quiet-ms", "100", "--short", "SHORT",
                           "--response-file", certs.dir.file("answer.txt")});
  testkit::Process sim(program("paysim"), args);
  ASSERT_TRUE(testkit::wait_until([&] { return sim.out().find('\n') != std::string::npos; }, 10000)) << sim.err();
  const std::string first = sim.out().substr(0, sim.out().find('\n'));
  ASSERT_EQ(first.rfind("listening on 127.0.0.1:", 0), 0u) << first;

  auto socket = net::connect("127.0.0.1", static_cast<std::uint16_t>(std::stoi(first.substr(23))), 5000);
  ASSERT_TRUE(socket) << socket.why();
  tls::ClientOptions o;
  o.peer_address = "127.0.0.1";
  o.ca_file = certs.dir.file("ca.pem");
  auto terminal = tls::connect(std::move(*socket), o);
  ASSERT_TRUE(terminal) << terminal.why();
  EXPECT_EQ(next_block(**terminal), "\x05");
  const std::string request = "AB123456" "004" "1A2B";
  ASSERT_EQ(terminal->send(request), static_cast<long>(request.size()));
  EXPECT_EQ(next_block(**terminal), "SHORT");
  EXPECT_EQ(next_block(**terminal), "FROM-A-FILE-0910");
  terminal->send(std::string_view("\x06"));
  EXPECT_EQ(next_block(**terminal), "\x04");
  terminal->close();

  EXPECT_EQ(sim.wait(10000), 0);
  const std::string log = sim.out();
  EXPECT_NE(log.find("<- request (15 bytes): AB1234560041A2B"), std::string::npos) << log;
  EXPECT_NE(log.find("<- <ACK>"), std::string::npos) << log;
  EXPECT_NE(log.find("-> EOT"), std::string::npos) << log;
}

TEST(PaysimProgram, MakesCertificatesAndRefusesBadStarts) {
  Certs certs;
  // The key file is for its owner only.
  EXPECT_EQ(run("/usr/bin/stat", {"-c", "%a", certs.dir.file("server.key")}).out, "600\n");

  auto r = run(program("paysim"), {"--port", "0"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(r.err.find("usage: paysim"), std::string::npos) << r.err;

  // A CA that did not sign the server certificate is caught at start.
  r = run(program("paysim"), certs.args("other-ca.pem"));
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(r.err.find("does not verify"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");

  // No message ever carries the private key.
  const std::string key = certs.dir.read("server.key");
  r = run(program("paysim"), {"--cert", certs.dir.file("server.key"), "--key", certs.dir.file("server.key")});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err.find(key.substr(key.find('\n') + 1, 40)), std::string::npos) << r.err;
}

}  // namespace
}  // namespace pink
