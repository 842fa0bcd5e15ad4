// A payment network that never stops sending ENQ or short blocks: the whole
// exchange still ends, as when its wait expires, after a few waits in all.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "payment/corvanavan/api.h"
#include "payment/corvanavan/exchange.h"
#include "pink/ssllib32.h"
#include "tests/corvanavan/fake_transport.h"
#include "tests/tls/loopback_server.h"
#include "tools/testkit/testkit.h"

namespace pink::corvanavan::testing {
namespace {

const std::string kRequest = "HDREQUEST-0001";
const std::string kResponse = "0123456789RESPONSE-A";

// A clock that moves on by a fixed step every time it is read.
std::uint64_t g_now = 0;
std::uint64_t g_step = 0;
std::uint64_t stepping_clock() { return g_now += g_step; }

class FloodedExchange : public LinkTest {
 protected:
  std::vector<char> response = std::vector<char>(4096, 'Z');

  int run(int wait, std::uint64_t step_ms) {
    g_now = 1000000;
    g_step = step_ms;
    ExchangeRequest r;
    r.ip = "10.1.2.3";
    r.port = 7001;
    r.request = kRequest.c_str();
    r.length = static_cast<int>(kRequest.size());
    r.wait = wait;
    BufferSink sink(response.data());
    return run_exchange(net, process_link(), r, sink, nullptr, &stepping_clock);
  }
  int sends_of(const std::string& bytes) const {
    int n = 0;
    for (const auto& s : net.sent) n += s == bytes ? 1 : 0;
    return n;
  }
};

TEST_F(FloodedExchange, EndlessEnqOrShortBlocksEndAsAnExpiredWait) {
  for (const std::string& block : {kEnqBlock, std::string("SHORT"), kEnqBlock + "padding"}) {
    SCOPED_TRACE(block);
    net = FakeTransport{};
    process_link() = Link{};
    for (int i = 0; i < 100000; ++i) net.script.push_back(arrives(block));
    // Each pass takes a quarter of a second; a wait of 2 s bounds the whole
    // exchange at 8 s: 31 passes, then EM.
    EXPECT_EQ(run(2, 250), kWaitExpired);
    ASSERT_FALSE(net.sent.empty());
    EXPECT_EQ(net.sent.back(), kEmBlock);
    EXPECT_EQ(sends_of(kEmBlock), 1);
    const int passes = static_cast<int>(100000 - net.script.size());
    EXPECT_EQ(passes, 31);
    // The last waits are cut to what is left of the exchange's time.
    ASSERT_EQ(net.waits.size(), 31u);
    EXPECT_EQ(net.waits.front(), 2);
    EXPECT_EQ(net.waits.back(), 1);
    if (block[0] == '\x05') {
      EXPECT_EQ(sends_of(kRequest), passes);  // answered each time until the end
    }
    EXPECT_EQ(std::string(response.data(), 5), std::string(4, '\0') + "Z");
    EXPECT_EQ(net.closes, 1);
    EXPECT_EQ(process_link().sock, 0);
  }
}

TEST_F(FloodedExchange, AWaitOfZeroStillGivesTheNetworkFourSeconds) {
  for (int i = 0; i < 1000; ++i) net.script.push_back(arrives(kEnqBlock));
  EXPECT_EQ(run(0, 1000), kWaitExpired);
  EXPECT_EQ(1000 - static_cast<int>(net.script.size()), 3);
  EXPECT_EQ(net.sent.back(), kEmBlock);
}

// A whole exchange that keeps within its time is not cut short, however
// many ENQs it takes; one that runs out after its response is abandoned.
TEST_F(FloodedExchange, ANormalExchangeIsUntouchedAndALateEotIsAnExpiredWait) {
  for (int i = 0; i < 20; ++i) net.script.push_back(arrives(kEnqBlock));
  net.script.push_back(arrives(kResponse));
  net.script.push_back(arrives(kEotBlock));
  EXPECT_EQ(run(10, 1000), static_cast<int>(kResponse.size()));  // 22 s of 40
  EXPECT_EQ(std::string(response.data(), kResponse.size()), kResponse);
  EXPECT_EQ(sends_of(kRequest), 20);

  net = FakeTransport{};
  process_link() = Link{};
  net.script = {arrives(kEnqBlock), arrives(kResponse), arrives(kEotBlock)};
  // 4 s a pass with a wait of 3 s: the time is up before the EOT is read.
  EXPECT_EQ(run(3, 4000), kWaitExpired);
  EXPECT_EQ(net.sent, (std::vector<std::string>{kRequest, kAckBlock, kEmBlock}));
  EXPECT_EQ(std::string(response.data(), 4), std::string(4, '\0'));
  EXPECT_EQ(net.script.size(), 1u);
}

// ssllib32's calls as the library's transport, in this process.
class Ssllib32Transport final : public Transport {
 public:
  int sock_connect(const char* ip, int port) override { return ::sock_connect(ip, port); }
  int ssl_startup(int* sock) override { return ::SSL_StartUp(sock); }
  int ssl_start_client(int* sock) override { return ::SSL_StartClient(sock); }
  int select_timeout(int sock, int wait) override { return ::SSL_SelectTimeOut(sock, wait); }
  int recv_data(int ssl, char* buffer, int size) override { return ::SSL_RecvData(ssl, buffer, size); }
  int send_data(int ssl, const char* data, int length) override { return ::SSL_SendData(ssl, data, length); }
  int close(int ssl, int sock) override { return ::SSL_Close(ssl, sock); }
};

// A real TLS network on loopback that sends ENQ (or a short block) every
// 50 ms for a minute, answering nothing else, until the terminal gives up.
TEST(FloodingNetwork, TheWholeExchangeEndsWithEmWithinItsWaits) {
  pink::testing::Pki pki;
  testkit::ScopedEnv ca("PINK_TLS_CAFILE", pki.files.ca_cert);
  testkit::ScopedEnv name("PINK_TLS_PEERNAME", std::nullopt);
  for (const std::string& flood : {kEnqBlock, std::string("SHORT")}) {
    std::atomic<bool> em_seen{false};
    pink::testing::LoopbackServer server(pki, [&](tls::Session& s) {
      const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
      std::uint8_t buf[4096];
      while (std::chrono::steady_clock::now() < until) {
        if (s.send(flood) < 0) return;
        if (s.wait_readable(50) != 1) continue;
        const long n = s.recv(buf);
        if (n <= 0) return;
        for (long i = 0; i < n; ++i) em_seen = em_seen || buf[i] == 0x19;
        if (em_seen) return;
      }
    });
    ASSERT_TRUE(server.ok()) << server.error();
    Ssllib32Transport ssl;
    set_transport(&ssl);
    process_link() = Link{};
    std::vector<char> out(4096, 'Z');
    const auto start = std::chrono::steady_clock::now();
    const int code = api::ssl_conn_rcv_snd("127.0.0.1", static_cast<short>(server.port()), kRequest.c_str(),
                                           static_cast<short>(kRequest.size()), out.data(), 1);
    const auto took = std::chrono::steady_clock::now() - start;
    set_transport(nullptr);
    server.join();
    EXPECT_EQ(code, kWaitExpired);
    EXPECT_TRUE(em_seen);
    // Four waits of a second; the bound is generous for a loaded machine,
    // and far below the minute the network would go on for.
    EXPECT_GE(took, std::chrono::milliseconds(3900));
    EXPECT_LT(took, std::chrono::seconds(40));
    std::printf("flood of %s: the whole exchange took %lld ms\n", flood == kEnqBlock ? "ENQ" : "short blocks",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
  }
}

}  // namespace
}  // namespace pink::corvanavan::testing
