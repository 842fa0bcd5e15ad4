// The whole exchanges and the step-by-step link, driven by a scripted network.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "payment/corvanavan/api.h"
#include "tests/corvanavan/fake_transport.h"

namespace pink::corvanavan::testing {
namespace {

const std::string kRequest = "HDREQUEST-0001";
const std::string kResponse = "0123456789RESPONSE-A";  // 20 bytes
const std::string kOtherResponse = "NEXT-ANSWER";       // 11 bytes

class CorvanaVanWholeExchange : public LinkTest {
 protected:
  // A response buffer full of a marker byte, to see what was written.
  std::vector<char> response = std::vector<char>(4096, 'Z');

  int conn(short wait = 45) {
    return api::ssl_conn_rcv_snd("10.1.2.3", 7001, kRequest.c_str(),
                                 static_cast<short>(kRequest.size()), response.data(), wait);
  }
  int conn_new(short wait = 45) {
    return api::ssl_new_conn_rcv_snd("10.1.2.3", 7001, kRequest.c_str(),
                                     static_cast<short>(kRequest.size()), response.data(), wait);
  }
  std::string head(std::size_t n) const { return std::string(response.data(), n); }
  void expect_closed() {
    EXPECT_EQ(net.closes, 1);
    EXPECT_EQ(net.calls.back(), "SSL_Close 4711 31");
    EXPECT_EQ(process_link().sock, 0);
    EXPECT_EQ(process_link().ssl, 0);
  }
};

TEST_F(CorvanaVanWholeExchange, ResponseAcknowledgedAndReturnedAtEot) {
  net.script = {arrives(kEnqBlock), arrives(kResponse), arrives(kEotBlock)};
  EXPECT_EQ(conn(45), 20);
  EXPECT_EQ(head(20), kResponse);
  EXPECT_EQ(response[20], 'Z');  // the response as received, nothing behind it
  EXPECT_EQ(net.sent, (std::vector<std::string>{kRequest, kAckBlock}));
  EXPECT_EQ(net.connected_ip, "10.1.2.3");
  EXPECT_EQ(net.connected_port, 7001);
  EXPECT_EQ(net.calls[1], "SSL_StartUp 31");
  EXPECT_EQ(net.calls[3], "SSL_RecvData 4711 4096");
  EXPECT_EQ(net.waits, (std::vector<int>{45, 45, 45}));
  expect_closed();
}

TEST_F(CorvanaVanWholeExchange, TenByteBlockIgnoredElevenByteBlockTaken) {
  net.script = {arrives(kEnqBlock), arrives("ABCDEFGHIJ"), arrives(kOtherResponse),
                arrives(kEotBlock)};
  EXPECT_EQ(conn(), 11);
  EXPECT_EQ(head(11), kOtherResponse);
  EXPECT_EQ(net.sent, (std::vector<std::string>{kRequest, kAckBlock}));
}

TEST_F(CorvanaVanWholeExchange, EveryEnqGetsTheRequestWhateverFollowsIt) {
  // A block that starts with ENQ is ENQ, however long.
  net.script = {arrives(kEnqBlock), arrives(kEnqBlock + "padding-after-enq"), arrives(kResponse),
                arrives(kEotBlock)};
  EXPECT_EQ(conn(), 20);
  EXPECT_EQ(net.sent, (std::vector<std::string>{kRequest, kRequest, kAckBlock}));
}

TEST_F(CorvanaVanWholeExchange, SecondResponseOverwritesTheFirst) {
  net.script = {arrives(kEnqBlock), arrives(kResponse), arrives(kOtherResponse),
                arrives(kEotBlock)};
  EXPECT_EQ(conn(), 11);
  // The second response lies over the first, whose tail stays behind it.
  EXPECT_EQ(head(20), kOtherResponse + kResponse.substr(11));
  EXPECT_EQ(net.sent, (std::vector<std::string>{kRequest, kAckBlock, kAckBlock}));
}

TEST_F(CorvanaVanWholeExchange, EotBeforeAnyResponseLeavesTheBufferAlone) {
  net.script = {arrives(kEnqBlock), arrives("short"), arrives(kEotBlock)};
  EXPECT_EQ(conn(), -1);
  EXPECT_EQ(head(4), "ZZZZ");
  expect_closed();
}

TEST_F(CorvanaVanWholeExchange, ResponseThenExpiredWait) {
  net.script = {arrives(kEnqBlock), arrives(kResponse), wait_expires()};
  EXPECT_EQ(conn(), -7);
  EXPECT_EQ(net.sent, (std::vector<std::string>{kRequest, kAckBlock, kEmBlock}));
  EXPECT_EQ(head(20), std::string(4, '\0') + kResponse.substr(4));
  expect_closed();
}

TEST_F(CorvanaVanWholeExchange, FailuresAfterConnectingZeroTheFirstFourBytes) {
  struct Case {
    const char* what;
    std::deque<NetEvent> script;
    std::deque<int> send_results;
    int code;
    std::vector<std::string> sent;
    std::string behind = "ZZ";  // the bytes after the first four
  };
  const std::vector<Case> cases = {
      {"NAK", {arrives(kEnqBlock), arrives(kNakBlock)}, {}, -4, {kRequest, kEmBlock}},
      {"NAK before ENQ", {arrives(kNakBlock + "xx")}, {}, -4, {kEmBlock}},
      {"request send fails", {arrives(kEnqBlock)}, {-9}, -3, {kRequest}},
      {"ACK send fails", {arrives(kEnqBlock), arrives(kResponse)}, {14, -2}, -5,
       {kRequest, kAckBlock}, kResponse.substr(4, 2)},
      {"receive gives 0", {arrives(kEnqBlock), receive_fails(0)}, {}, -6, {kRequest}},
      {"receive gives -1", {receive_fails(-1)}, {}, -6, {}},
      {"wait fails", {wait_expires(-1)}, {}, -7, {kEmBlock}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    net = FakeTransport{};
    net.script = c.script;
    net.send_results = c.send_results;
    response.assign(4096, 'Z');
    EXPECT_EQ(conn(), c.code);
    EXPECT_EQ(head(6), std::string(4, '\0') + c.behind);
    EXPECT_EQ(net.sent, c.sent);
    expect_closed();
  }
}

TEST_F(CorvanaVanWholeExchange, ConnectAndSslFailuresReturnAtOnce) {
  net.connect_result = -3;
  EXPECT_EQ(conn(), -1);
  EXPECT_EQ(net.calls, (std::vector<std::string>{"sock_connect"}));

  net = FakeTransport{};
  net.startup_result = 0;
  EXPECT_EQ(conn(), -2);
  EXPECT_EQ(net.calls, (std::vector<std::string>{"sock_connect", "SSL_StartUp 31"}));
  EXPECT_EQ(head(4), "ZZZZ");
}

TEST_F(CorvanaVanWholeExchange, NewVariantSendsFourByteAckAndEm) {
  net.script = {arrives(kEnqBlock), arrives(kResponse), arrives(kEotBlock)};
  EXPECT_EQ(conn_new(), 20);
  EXPECT_EQ(net.sent, (std::vector<std::string>{kRequest, kAck4Block}));

  net = FakeTransport{};
  net.script = {arrives(kEnqBlock), arrives(kNakBlock)};
  EXPECT_EQ(conn_new(), -4);
  EXPECT_EQ(net.sent, (std::vector<std::string>{kRequest, kEm4Block}));

  net = FakeTransport{};
  net.script = {arrives(kEnqBlock), arrives(kResponse), wait_expires()};
  EXPECT_EQ(conn_new(), -7);
  EXPECT_EQ(net.sent, (std::vector<std::string>{kRequest, kAck4Block, kEm4Block}));
  EXPECT_EQ(head(4), std::string(4, '\0'));
}

TEST_F(CorvanaVanWholeExchange, FullReceiveBlockIsCopiedWhole) {
  const std::string big(4096, 'R');
  net.script = {arrives(kEnqBlock), arrives(big), arrives(kEotBlock)};
  EXPECT_EQ(conn(), 4096);
  EXPECT_EQ(std::string(response.data(), 4096), big);
}

TEST_F(CorvanaVanWholeExchange, NullArgumentsConnectNothing) {
  char buf[4096];
  EXPECT_EQ(api::ssl_conn_rcv_snd(nullptr, 1, "x", 1, buf, 1), -1);
  EXPECT_EQ(api::ssl_conn_rcv_snd("1.2.3.4", 1, nullptr, 1, buf, 1), -1);
  EXPECT_EQ(api::ssl_new_conn_rcv_snd("1.2.3.4", 1, "x", 1, nullptr, 1), -1);
  EXPECT_EQ(api::crv_conn_snd_rcv(nullptr, 1, "x", 1, buf), -1);
  EXPECT_EQ(api::crv_conn_snd_rcv("1.2.3.4", 1, "x", 1, nullptr), -1);
  EXPECT_EQ(api::ssl_user_conn_rcv_snd(nullptr, "1", "x", "1", "1", 0), nullptr);
  EXPECT_EQ(api::ssl_user_conn_rcv_snd("1.2.3.4", "1", nullptr, "1", "1", 0), nullptr);
  EXPECT_TRUE(net.calls.empty());
}

TEST_F(CorvanaVanWholeExchange, NegativeRequestLengthIsAFailedSend) {
  net.script = {arrives(kEnqBlock)};
  EXPECT_EQ(api::ssl_conn_rcv_snd("10.1.2.3", 7001, "abc", -1, response.data(), 45), -3);
  EXPECT_TRUE(net.sent.empty());
}

// The user variant: texts for port, length and wait, a block as the result.
class CorvanaVanUserExchange : public LinkTest {
 protected:
  char* run(const char* port = "7001", const char* length = "14", const char* wait = "45") {
    return api::ssl_user_conn_rcv_snd("10.1.2.3", port, kRequest.c_str(), length, wait, 0);
  }
};

TEST_F(CorvanaVanUserExchange, LastResponseComesBackInABlockOfItsOwn) {
  net.script = {arrives(kEnqBlock), arrives(kResponse), arrives(kOtherResponse),
                arrives(kEotBlock)};
  // Both responses got a block; the first one is released when the second
  // arrives (the leak check of the sanitizer build sees any that is not).
  char* block = run();
  ASSERT_NE(block, nullptr);
  EXPECT_STREQ(block, kOtherResponse.c_str());  // ends with a zero byte
  EXPECT_EQ(net.sent, (std::vector<std::string>{kRequest, kAckBlock, kAckBlock}));
  EXPECT_EQ(net.waits, (std::vector<int>{45, 45, 45, 45}));
  api::free_block(block);
}

TEST_F(CorvanaVanUserExchange, NumbersComeFromTheLeadingDigitsOfTheTexts) {
  net.script = {arrives(kEnqBlock), arrives(kResponse), arrives(kEotBlock)};
  char* block = run("7001abc", "4 bytes", "30s");
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(net.connected_port, 7001);
  EXPECT_EQ(net.sent.front(), kRequest.substr(0, 4));
  EXPECT_EQ(net.waits.front(), 30);
  api::free_block(block);

  net = FakeTransport{};
  EXPECT_EQ(run("1234567890"), nullptr);  // wait expires at once: silent network
  EXPECT_EQ(net.connected_port, 0);
}

TEST_F(CorvanaVanUserExchange, EveryFailureGivesNull) {
  // A response followed by a failure is dropped, its block released.
  net.script = {arrives(kEnqBlock), arrives(kResponse), wait_expires()};
  EXPECT_EQ(run(), nullptr);
  EXPECT_EQ(net.sent.back(), kEmBlock);

  net = FakeTransport{};
  net.script = {arrives(kEnqBlock), arrives(kEotBlock)};
  EXPECT_EQ(run(), nullptr);

  net = FakeTransport{};
  net.connect_result = -1;
  EXPECT_EQ(run(), nullptr);
}

// The plain exchange: no control bytes, one send, one receive.
class CorvanaVanPlainExchange : public LinkTest {
 protected:
  std::vector<char> response = std::vector<char>(4096, 'Z');
  int run() {
    return api::crv_conn_snd_rcv("10.1.2.3", 7002, kRequest.c_str(),
                                 static_cast<short>(kRequest.size()), response.data());
  }
};

TEST_F(CorvanaVanPlainExchange, SendsOnceAndReturnsWhatOneReceiveDelivers) {
  net.script = {arrives("ANS")};
  EXPECT_EQ(run(), 3);
  EXPECT_EQ(std::string(response.data(), 4), "ANSZ");
  EXPECT_EQ(net.sent, (std::vector<std::string>{kRequest}));
  EXPECT_EQ(net.waits, (std::vector<int>{17}));
  EXPECT_EQ(net.calls, (std::vector<std::string>{"sock_connect", "SSL_StartClient 31",
                                                 "SSL_SendData 4711", "SSL_SelectTimeOut 31",
                                                 "SSL_RecvData 4711 4096", "SSL_Close 4711 31"}));
}

TEST_F(CorvanaVanPlainExchange, Codes) {
  struct Case {
    const char* what;
    std::deque<NetEvent> script;
    std::deque<int> send_results;
    int connect, client, code;
    bool touched;
  };
  const std::vector<Case> cases = {
      {"connect fails", {}, {}, -1, FakeTransport::kSsl, -1, false},
      {"SSL fails", {}, {}, FakeTransport::kSock, 0, -2, false},
      {"send fails", {}, {-1}, FakeTransport::kSock, FakeTransport::kSsl, -3, true},
      {"receive fails", {receive_fails(0)}, {}, FakeTransport::kSock, FakeTransport::kSsl, -4, true},
      {"wait expires", {wait_expires()}, {}, FakeTransport::kSock, FakeTransport::kSsl, -5, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    net = FakeTransport{};
    net.script = c.script;
    net.send_results = c.send_results;
    net.connect_result = c.connect;
    net.start_client_result = c.client;
    response.assign(4096, 'Z');
    EXPECT_EQ(run(), c.code);
    EXPECT_EQ(std::string(response.data(), 5), c.touched ? std::string(4, '\0') + "Z" : "ZZZZZ");
    EXPECT_EQ(net.closes, c.touched ? 1 : 0);
    // No EM, ever.
    for (const auto& s : net.sent) EXPECT_EQ(s, kRequest);
  }
}

// The step-by-step link the bridge drives.
using CorvanaVanStepLink = LinkTest;

TEST_F(CorvanaVanStepLink, ConnectUsesStartClientAndKeepsTheHandles) {
  EXPECT_EQ(api::server_connect("10.9.8.7", 9000), 1);
  EXPECT_EQ(net.calls, (std::vector<std::string>{"sock_connect", "SSL_StartClient 31"}));
  EXPECT_EQ(process_link().sock, FakeTransport::kSock);
  EXPECT_EQ(process_link().ssl, FakeTransport::kSsl);

  EXPECT_EQ(api::server_send_data("\x06", 1), 1);
  net.send_results = {-4};
  EXPECT_EQ(api::server_send_data("abc", 3), -4);  // the send's result, unchanged
  EXPECT_EQ(api::server_close(), 1);
  EXPECT_EQ(net.calls.back(), "SSL_Close 4711 31");
  EXPECT_EQ(process_link().sock, 0);
  EXPECT_EQ(process_link().ssl, 0);

  net.connect_result = -2;
  EXPECT_EQ(api::server_connect("10.9.8.7", 9000), -1);
  net.connect_result = 5;
  net.start_client_result = 0;
  EXPECT_EQ(api::server_connect("10.9.8.7", 9000), -2);
  EXPECT_EQ(api::server_connect(nullptr, 9000), -1);
}

TEST_F(CorvanaVanStepLink, ReceiveStoresAZeroBehindTheData) {
  ASSERT_EQ(api::server_connect("10.9.8.7", 9000), 1);
  char buffer[1025];
  std::memset(buffer, 'Z', sizeof buffer);
  net.script = {arrives("\x05"), wait_expires(), arrives(std::string(1024, 'D'))};

  EXPECT_EQ(api::server_receive_data(buffer, 45), 1);
  EXPECT_EQ(net.calls.back(), "SSL_RecvData 4711 1024");
  // The first four bytes are cleared, the zero stored right behind the data.
  EXPECT_EQ(std::string(buffer, 6), std::string("\x05\0\0\0ZZ", 6));

  // Nothing within the wait: 0, the buffer as it was.
  std::memset(buffer, 'Z', sizeof buffer);
  EXPECT_EQ(api::server_receive_data(buffer, 45), 0);
  EXPECT_EQ(buffer[0], 'Z');

  EXPECT_EQ(api::server_receive_data(buffer, 45), 1024);
  EXPECT_EQ(buffer[1023], 'D');
  EXPECT_EQ(buffer[1024], '\0');
  EXPECT_EQ(net.waits, (std::vector<int>{45, 45, 45}));
}

TEST_F(CorvanaVanStepLink, NullPointersAndNegativeLengthsSendAndReceiveNothing) {
  ASSERT_EQ(api::server_connect("10.9.8.7", 9000), 1);
  net.calls.clear();
  EXPECT_EQ(api::server_send_data(nullptr, 4), -1);
  EXPECT_EQ(api::server_send_data("abc", -1), -1);
  EXPECT_EQ(api::server_receive_data(nullptr, 45), 0);
  EXPECT_TRUE(net.calls.empty());
}

TEST_F(CorvanaVanStepLink, PortsAboveThirtyTwoThousandArriveWhole) {
  // 16 bits are a port from 0 to 65535, whatever the sign of the short.
  const auto high = static_cast<short>(43031);
  EXPECT_EQ(api::server_connect("10.9.8.7", high), 1);
  EXPECT_EQ(net.connected_port, 43031);
  char response[4096];
  net.connected_port = 0;
  api::ssl_conn_rcv_snd("10.9.8.7", high, "x", 1, response, 1);
  EXPECT_EQ(net.connected_port, 43031);
  net.connected_port = 0;
  api::ssl_new_conn_rcv_snd("10.9.8.7", static_cast<short>(65535), "x", 1, response, 1);
  EXPECT_EQ(net.connected_port, 65535);
  net.connected_port = 0;
  api::crv_conn_snd_rcv("10.9.8.7", high, "x", 1, response);
  EXPECT_EQ(net.connected_port, 43031);
}

TEST(CorvanaVanLeadingNumber, DigitsAtTheStartAmongTheFirstTen) {
  EXPECT_EQ(api::parse_leading_number("7001abc"), 7001);
  EXPECT_EQ(api::parse_leading_number("000123"), 123);
  EXPECT_EQ(api::parse_leading_number("123456789"), 123456789);
  EXPECT_EQ(api::parse_leading_number("123456789x"), 123456789);
  EXPECT_EQ(api::parse_leading_number("1234567890"), 0);   // ten digits: 0
  EXPECT_EQ(api::parse_leading_number("12345678901"), 0);
  EXPECT_EQ(api::parse_leading_number("abc"), 0);
  EXPECT_EQ(api::parse_leading_number(" 5"), 0);
  EXPECT_EQ(api::parse_leading_number("-5"), 0);
  EXPECT_EQ(api::parse_leading_number(""), 0);
  EXPECT_EQ(api::parse_leading_number(nullptr), 0);
}

}  // namespace
}  // namespace pink::corvanavan::testing
