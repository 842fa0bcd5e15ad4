// ssllib32.dll under Wine, called by the Windows program ssl_client.exe
// through its seven calls: a verified exchange with the payment network
// simulator, refused servers (untrusted, wrong name), the trust settings of
// ssllib32.ini beside the library against those of the environment, and the
// failure values of bad calls.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/payment_network.h"
#include "tests/tls/loopback_server.h"
#include "tools/testkit/wine.h"

namespace pink {
namespace {

using testing::PaymentNetwork;
using testkit::Wine;

constexpr const char* kResponse =
    "PAYSIM0000010910323800000ED000021000000000000100000101120000000001120000010100000012345612345600CAT00001"
    "PAYSIM00000000104PINK008APPROVED";

// The trust settings a Wine process gets: none unless given (the test's own
// environment may hold Linux paths).
std::map<std::string, std::string> trust_env(const std::string& ca_file = "", const std::string& peer_name = "") {
  return {{"PINK_TLS_CAFILE", ca_file.empty() ? "" : Wine::windows_path(ca_file)},
          {"PINK_TLS_PEERNAME", peer_name}};
}

// Runs ssl_client.exe (from `folder`, or the build) with the steps; its
// output lines with the milliseconds of "wait" lines left out, and those
// milliseconds in `waited` when asked for.
std::vector<std::string> run_client(const std::vector<std::string>& steps,
                                    const std::map<std::string, std::string>& env, const std::string& folder = "",
                                    std::vector<long>* waited = nullptr) {
  Wine& wine = Wine::shared();
  testkit::RunOptions o;
  o.env = env;
  o.timeout_ms = 60000;
  const std::string exe = folder.empty() ? wine.program("ssl_client.exe") : folder + "/ssl_client.exe";
  const auto r = wine.run(exe, steps, o);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  std::vector<std::string> lines;
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("wait ", 0) == 0) {
      if (waited) waited->push_back(std::stol(line.substr(line.rfind(' ') + 1)));
      line = line.substr(0, line.rfind(' '));
    }
    lines.push_back(line);
  }
  return lines;
}

class WinSsllib32 : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(Wine::available(&why)) << why;
  }
};

TEST_F(WinSsllib32, VerifiedExchangeWithThePaymentNetwork) {
  PaymentNetwork net;
  net.start({});
  const std::string port = std::to_string(net.port);
  const auto out = run_client({"names", "connect", "127.0.0.1", port, "start", "client", "wait", "10", "recv", "4096",
                               "send", "AB0200123456", "wait", "10", "recv", "4096", "send", "\\x06", "wait", "10",
                               "recv", "4096", "close", "wait", "0", "recv", "16"},
                              trust_env(net.pki.file("ca.pem")));
  ASSERT_EQ(out.size(), 15u) << ::testing::PrintToString(out);
  EXPECT_EQ(out[0], "names ok");  // plain and decorated names at the same entry points
  EXPECT_EQ(out[1], "connect 1");
  EXPECT_EQ(out[2], "start 65537");
  EXPECT_EQ(out[3], "client 65537");  // the session is there already
  EXPECT_EQ(out[4], "wait 1");
  EXPECT_EQ(out[5], "recv 1 \\x05");
  EXPECT_EQ(out[6], "send 12");
  EXPECT_EQ(out[7], "wait 1");
  EXPECT_EQ(out[8], std::string("recv 136 ") + kResponse);
  EXPECT_EQ(out[9], "send 1");
  EXPECT_EQ(out[10], "wait 1");
  EXPECT_EQ(out[11], "recv 1 \\x04");
  EXPECT_EQ(out[12], "close 0");
  // Both handles are gone.
  EXPECT_EQ(out[13], "wait -1");
  EXPECT_EQ(out[14], "recv -1");
  const std::string log = net.log();
  EXPECT_NE(log.find("<- request (12 bytes): AB0200123456"), std::string::npos) << log;
  EXPECT_NE(log.find("<- <ACK>"), std::string::npos) << log;
}

TEST_F(WinSsllib32, UntrustedServerAndWrongNameAreNeverTalkedTo) {
  PaymentNetwork net;
  net.start({"--connections", "2"});
  const std::string port = std::to_string(net.port);
  const std::vector<std::string> steps{"connect", "127.0.0.1", port, "start", "wait", "0", "send", "AB0200123456"};
  const std::vector<std::string> refused{"connect 1", "start 0", "wait -1", "send -1"};
  EXPECT_EQ(run_client(steps, trust_env(net.pki.file("other-ca.pem"))), refused);
  EXPECT_EQ(run_client(steps, trust_env(net.pki.file("ca.pem"), "payments.example")), refused);
  const std::string log = net.log();
  EXPECT_EQ(log.find("<- request"), std::string::npos) << log;
}

TEST_F(WinSsllib32, TrustSettingsFromTheIniBesideTheLibraryYieldToTheEnvironment) {
  PaymentNetwork net;
  net.start({"--connections", "4"});
  // The library and its caller in a folder of their own, with the settings
  // file and a trust anchor beside them.
  testkit::TempDir folder;
  for (const char* f : {"ssl_client.exe", "ssllib32.dll"}) {
    std::filesystem::copy_file(Wine::bin_dir() + "/" + f, folder.file(f));
  }
  folder.write("ca.pem", net.pki.read("ca.pem"));
  const std::vector<std::string> steps{"connect", "127.0.0.1", std::to_string(net.port), "start", "wait", "10",
                                       "recv", "16", "close"};
  const std::vector<std::string> verified{"connect 1", "start 65537", "wait 1", "recv 1 \\x05", "close 0"};
  const std::vector<std::string> refused{"connect 1", "start 0", "wait -1", "recv -1", "close 0"};

  // A relative anchor file and the certificate's host name.
  folder.write("ssllib32.ini", "[ssllib32]\r\nCAFile=ca.pem\r\nPeerName=localhost\r\n");
  EXPECT_EQ(run_client(steps, trust_env(), folder.path()), verified);
  // The environment's anchor file comes first.
  EXPECT_EQ(run_client(steps, trust_env(net.pki.file("other-ca.pem")), folder.path()), refused);
  // A name the certificate lacks.
  folder.write("ssllib32.ini", "[ssllib32]\r\nCAFile=ca.pem\r\nPeerName=payments.example\r\n");
  EXPECT_EQ(run_client(steps, trust_env(), folder.path()), refused);
  // An absolute anchor file, and the address connected to.
  folder.write("ssllib32.ini", "[ssllib32]\r\nCAFile=" + Wine::windows_path(net.pki.file("ca.pem")) + "\r\n");
  EXPECT_EQ(run_client(steps, trust_env(), folder.path()), verified);
  const std::string log = net.log();
  EXPECT_EQ(log.find("<- request"), std::string::npos) << log;
}

TEST_F(WinSsllib32, WaitIsInSecondsAndBadArgumentsGiveTheirFailureValues) {
  std::uint16_t closed_port = 0;
  if (auto l = net::listen("127.0.0.1", 0)) closed_port = l->port();
  ASSERT_NE(closed_port, 0);
  testing::Pki pki;
  std::string got;
  testing::LoopbackServer server(pki, [&](tls::Session& s) { got = testing::receive_bytes(s, 1, 20000); });
  ASSERT_TRUE(server.ok()) << server.error();
  std::vector<long> waited;
  const auto out = run_client({"badcalls", "connect", "127.0.0.1", std::to_string(closed_port), "connect", "127.0.0.1",
                               std::to_string(server.port()), "recv", "16", "start", "wait", "1", "send", "!", "close",
                               "wait", "0"},
                              trust_env(pki.files.ca_cert), "", &waited);
  server.join();
  EXPECT_EQ(out, (std::vector<std::string>{"badcalls -1 -1 -1 -1 0 0 -1 -1 -1 0", "connect -2", "connect 1",
                                           "recv -1", "start 65537", "wait 0", "send 1", "close 0", "wait -1"}));
  ASSERT_EQ(waited.size(), 2u);
  // One second, not one millisecond (and nowhere near a minute).
  EXPECT_GE(waited[0], 900);
  EXPECT_LT(waited[0], 30000);
  EXPECT_EQ(got, "!");
}

}  // namespace
}  // namespace pink
