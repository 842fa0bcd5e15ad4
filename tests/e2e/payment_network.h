// The payment network simulator `paysim` on loopback for end-to-end tests:
// its test certificates, the trust anchor set for the scope, and the
// simulator running on a free port.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/socket.h"
#include "tools/testkit/testkit.h"

namespace pink::testing {

// A free loopback port a caller can name: the port travels as a 16-bit
// signed number, so it must be below 32768.
inline std::uint16_t free_port() {
  std::mt19937 rng(std::random_device{}());
  for (int i = 0; i < 200; ++i) {
    const auto port = static_cast<std::uint16_t>(20000 + rng() % 12000);
    if (net::listen("127.0.0.1", port)) return port;
  }
  return 0;
}

struct PaymentNetwork {
  testkit::TempDir pki;
  testkit::ScopedEnv ca{"PINK_TLS_CAFILE", pki.file("ca.pem")};
  std::unique_ptr<testkit::Process> process;
  std::uint16_t port = 0;

  PaymentNetwork() {
    auto made = testkit::run(testkit::program("paysim"), {"--make-certs", pki.path()});
    EXPECT_EQ(made.exit_code, 0) << made.err;
  }

  // Starts the simulator for one connection with the given options.
  void start(std::vector<std::string> options) {
    port = free_port();
    ASSERT_NE(port, 0);
    std::vector<std::string> args{"--cert", pki.file("server.pem"), "--key", pki.file("server.key"),
                                  "--port", std::to_string(port), "--connections", "1"};
    args.insert(args.end(), options.begin(), options.end());
    process = std::make_unique<testkit::Process>(testkit::program("paysim"), args);
    ASSERT_TRUE(testkit::wait_until(
        [&] { return process->out().find("listening on") != std::string::npos; }, 10000))
        << process->err();
  }

  // What the network logged once its connection is over.
  std::string log() {
    if (process) process->wait(10000);
    return process ? process->out() : std::string();
  }
};

}  // namespace pink::testing
