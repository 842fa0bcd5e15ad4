// The paysim program, run for real on a port the OS picks and driven by a
// small TLS client that plays the terminal.
#include <gtest/gtest.h>

#include <string>

#include "platform/socket.h"
#include "platform/tls.h"
#include "tests/tls/loopback_server.h"
#include "tools/paysim/message.h"
#include "tools/testkit/testkit.h"

namespace pink {
namespace {

using testing::receive_bytes;

struct Certs {
  testkit::TempDir dir;
  Certs() {
    const auto r = testkit::run(testkit::program("paysim"), {"--make-certs", dir.path()});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.out.find(dir.file("ca.pem")), std::string::npos) << r.out;
  }
  std::vector<std::string> args() const {
    return {"--cert", dir.file("server.pem"), "--key", dir.file("server.key"), "--ca", dir.file("ca.pem")};
  }
};

// paysim running with the certificates and the extra arguments.
class Simulator {
 public:
  Simulator(const Certs& certs, std::vector<std::string> extra) {
    std::vector<std::string> args = certs.args();
    args.insert(args.end(), extra.begin(), extra.end());
    process_ = std::make_unique<testkit::Process>(testkit::program("paysim"), args);
    testkit::wait_until([&] { return process_->out().find('\n') != std::string::npos || !process_->running(); },
                        10000);
    const std::string out = process_->out();
    const std::string first = out.substr(0, out.find('\n'));
    const std::string prefix = "listening on 127.0.0.1:";
    if (first.rfind(prefix, 0) == 0) port_ = static_cast<std::uint16_t>(std::stoi(first.substr(prefix.size())));
  }
  std::uint16_t port() const { return port_; }
  testkit::Process& process() { return *process_; }

  std::unique_ptr<tls::Session> connect(const Certs& certs) {
    std::string error;
    auto socket = net::connect("127.0.0.1", port_, 5000, &error);
    EXPECT_TRUE(socket) << error;
    if (!socket) return nullptr;
    tls::ClientOptions o;
    o.peer_address = "127.0.0.1";
    o.ca_file = certs.dir.file("ca.pem");
    auto session = tls::connect(std::move(socket), o, &error);
    EXPECT_TRUE(session) << error;
    return session;
  }

 private:
  std::unique_ptr<testkit::Process> process_;
  std::uint16_t port_ = 0;
};

std::string next_block(tls::Session& s) {
  std::string buf(4096, '\0');
  if (s.wait_readable(10000) != 1) return "";
  const long n = s.recv(std::span<std::uint8_t>(reinterpret_cast<std::uint8_t*>(buf.data()), buf.size()));
  return n > 0 ? buf.substr(0, static_cast<std::size_t>(n)) : "";
}

TEST(PaysimProgram, PlaysTheNetworkForAClientAndEndsAfterItsConnections) {
  Certs certs;
  Simulator sim(certs, {"--port", "0", "--connections", "1", "--quiet-ms", "100"});
  ASSERT_NE(sim.port(), 0) << sim.process().out() << sim.process().err();

  auto terminal = sim.connect(certs);
  ASSERT_TRUE(terminal);
  EXPECT_EQ(next_block(*terminal), "\x05");
  const std::string request = "AB123456" "004" "1A2B";
  ASSERT_EQ(terminal->send(request), static_cast<long>(request.size()));
  EXPECT_EQ(next_block(*terminal), paysim::approval_response());
  terminal->send(std::string_view("\x06"));
  EXPECT_EQ(next_block(*terminal), "\x04");
  terminal->close();

  EXPECT_EQ(sim.process().wait(10000), 0);
  const std::string log = sim.process().out();
  EXPECT_NE(log.find("<- request (15 bytes): AB1234560041A2B"), std::string::npos) << log;
  EXPECT_NE(log.find("<- <ACK>"), std::string::npos) << log;
  EXPECT_NE(log.find("-> EOT"), std::string::npos) << log;
}

TEST(PaysimProgram, ScriptedMisbehaviourReachesTheClient) {
  Certs certs;
  certs.dir.write("answer.txt", "FROM-A-FILE-0910");
  Simulator sim(certs, {"--connections", "2", "--quiet-ms", "100", "--response-file", certs.dir.file("answer.txt"),
                        "--short", "SHORT", "--ack4", "--no-eot", "--wait", "2"});
  ASSERT_NE(sim.port(), 0) << sim.process().out() << sim.process().err();

  {
    auto terminal = sim.connect(certs);
    ASSERT_TRUE(terminal);
    EXPECT_EQ(next_block(*terminal), "\x05");
    terminal->send(std::string_view("REQUEST-1"));
    EXPECT_EQ(next_block(*terminal), "SHORT");
    EXPECT_EQ(next_block(*terminal), "FROM-A-FILE-0910");
    terminal->send(std::string_view("\x06\x06\x06\x06"));
    // No EOT: nothing comes within the wait, and the simulator closes.
    EXPECT_EQ(terminal->wait_readable(500), 0);
    terminal->send(std::string_view("\x19\x19\x19\x19"));
    EXPECT_EQ(next_block(*terminal), "");
  }
  {
    // A single ACK where four are due: no EOT either.
    auto terminal = sim.connect(certs);
    ASSERT_TRUE(terminal);
    EXPECT_EQ(next_block(*terminal), "\x05");
    terminal->send(std::string_view("REQUEST-2"));
    EXPECT_EQ(next_block(*terminal), "SHORT");
    EXPECT_EQ(next_block(*terminal), "FROM-A-FILE-0910");
    terminal->send(std::string_view("\x06"));
    EXPECT_EQ(next_block(*terminal), "");  // closed after the wait, no EOT
  }
  EXPECT_EQ(sim.process().wait(10000), 0);
  const std::string log = sim.process().out();
  EXPECT_NE(log.find("[1] <- <EM><EM><EM><EM>: the terminal abandoned the exchange"), std::string::npos) << log;
  EXPECT_NE(log.find("[2] <- <ACK>: expected four ACK bytes"), std::string::npos) << log;
  EXPECT_EQ(log.find("-> EOT"), std::string::npos) << log;
}

TEST(PaysimProgram, MakesCertificatesAndRefusesBadStarts) {
  Certs certs;
  // The key file is for its owner only.
  EXPECT_EQ(testkit::run("/usr/bin/stat", {"-c", "%a", certs.dir.file("server.key")}).out, "600\n");

  auto r = testkit::run(testkit::program("paysim"), {"--port", "0"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(r.err.find("--cert and --key are needed"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("usage: paysim"), std::string::npos) << r.err;

  // A CA that did not sign the server certificate is caught at start.
  r = testkit::run(testkit::program("paysim"), {"--cert", certs.dir.file("server.pem"), "--key",
                                                certs.dir.file("server.key"), "--ca", certs.dir.file("other-ca.pem")});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(r.err.find("does not verify"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");

  r = testkit::run(testkit::program("paysim"), {"--make-certs", certs.dir.file("absent/folder")});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;

  // Neither output ever carries the private key.
  const std::string key = certs.dir.read("server.key");
  const std::string key_line = key.substr(key.find('\n') + 1, 40);
  r = testkit::run(testkit::program("paysim"), {"--cert", certs.dir.file("server.key"), "--key",
                                                certs.dir.file("server.key")});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err.find(key_line), std::string::npos) << r.err;
}

}  // namespace
}  // namespace pink
