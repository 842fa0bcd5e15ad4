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

  int conn(bool four_byte_variant = false, short wait = 33) {
    const auto call = four_byte_variant ? api::ssl_new_conn_rcv_snd : api::ssl_conn_rcv_snd;
    return call("10.1.2.3", 7001, kRequest.c_str(), static_cast<short>(kRequest.size()),
                response.data(), wait);
  }
  std::string head(std::size_t n) const { return std::string(response.data(), n); }
};

// Both variants through every way an exchange ends: the code, what the
// terminal sent (ACK and EM as one byte; the new variant sends four) and
// the first bytes of the response buffer afterwards.
TEST_F(CorvanaVanWholeExchange, CodesSendsAndTheResponseBuffer) {
  const auto enq = arrives(kEnqBlock), eot = arrives(kEotBlock), nak = arrives(kNakBlock);
  const auto resp = arrives(kResponse), other = arrives(kOtherResponse);
  const std::string req = kRequest, ack = kAckBlock, em = kEmBlock, zeros(4, '\0');
  const std::string big(4096, 'R');
  struct Case {
    const char* what;
    std::deque<NetEvent> script;
    std::deque<int> send_results;
    int code;
    std::vector<std::string> sent;
    std::string head;  // 'Z': untouched
  };
  const std::vector<Case> cases = {
      {"a response, then EOT", {enq, resp, eot}, {}, 20, {req, ack}, kResponse + "Z"},
      {"10 bytes ignored, 11 taken", {enq, arrives("ABCDEFGHIJ"), other, eot}, {}, 11, {req, ack},
       kOtherResponse + "Z"},
      {"a block that starts with ENQ is ENQ", {enq, arrives(kEnqBlock + "padding"), resp, eot}, {}, 20,
       {req, req, ack}, kResponse},
      // The second response lies over the first, whose tail stays behind it.
      {"two responses", {enq, resp, other, eot}, {}, 11, {req, ack, ack}, kOtherResponse + kResponse.substr(11)},
      {"a full receive block", {enq, arrives(big), eot}, {}, 4096, {req, ack}, big},
      {"EOT before any response", {enq, arrives("short"), eot}, {}, -1, {req}, "ZZZZZZ"},
      {"request send fails", {enq}, {-9}, -3, {req}, zeros + "ZZ"},
      {"NAK", {enq, nak}, {}, -4, {req, em}, zeros + "ZZ"},
      {"NAK before ENQ", {arrives(kNakBlock + "xx")}, {}, -4, {em}, zeros + "ZZ"},
      {"ACK send fails", {enq, resp}, {14, -2}, -5, {req, ack}, zeros + kResponse.substr(4, 2)},
      {"receive gives 0", {enq, receive_fails(0)}, {}, -6, {req}, zeros + "ZZ"},
      {"receive gives -1", {receive_fails(-1)}, {}, -6, {}, zeros + "ZZ"},
      {"a response, then an expired wait", {enq, resp, wait_expires()}, {}, -7, {req, ack, em},
       zeros + kResponse.substr(4)},
      {"wait fails", {wait_expires(-1)}, {}, -7, {em}, zeros + "ZZ"},
  };
  for (const bool four : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (four ? ", four-byte variant" : ""));
      net = FakeTransport{};
      net.script = c.script;
      net.send_results = c.send_results;
      response.assign(4096, 'Z');
      EXPECT_EQ(conn(four), c.code);
      EXPECT_EQ(head(c.head.size()), c.head);
      std::vector<std::string> sent = c.sent;
      for (auto& s : sent) {
        if (four && s == ack) s = kAck4Block;
        if (four && s == em) s = kEm4Block;
      }
      EXPECT_EQ(net.sent, sent);
      EXPECT_EQ(net.connected_ip, "10.1.2.3");
      EXPECT_EQ(net.connected_port, 7001);
      EXPECT_EQ(net.calls[1], "SSL_StartUp 31");
      for (const auto& call : net.calls) {
        if (call.starts_with("SSL_RecvData")) {
          EXPECT_EQ(call, "SSL_RecvData 4711 4096");
        }
      }
      EXPECT_EQ(net.waits, std::vector<int>(net.waits.size(), 33));
      // Closed once, the link handles back to 0.
      EXPECT_EQ(net.closes, 1);
      EXPECT_EQ(net.calls.back(), "SSL_Close 4711 31");
      EXPECT_EQ(process_link().sock, 0);
      EXPECT_EQ(process_link().ssl, 0);
    }
  }
}

TEST_F(CorvanaVanWholeExchange, ConnectAndSslFailuresReturnAtOnce) {
  net.connect_result = -3;
  EXPECT_EQ(conn(), -1);
  EXPECT_EQ(net.calls, (std::vector<std::string>{"sock_connect"}));

  net = FakeTransport{};
  net.startup_result = 0;
  EXPECT_EQ(conn(true), -2);
  EXPECT_EQ(net.calls, (std::vector<std::string>{"sock_connect", "SSL_StartUp 31"}));
  EXPECT_EQ(head(4), "ZZZZ");
}

TEST_F(CorvanaVanWholeExchange, RefusedArgumentsConnectNothing) {
  char buf[4096];
  EXPECT_EQ(api::ssl_conn_rcv_snd(nullptr, 1, "x", 1, buf, 1), -1);
  EXPECT_EQ(api::ssl_conn_rcv_snd("1.2.3.4", 1, nullptr, 1, buf, 1), -1);
  EXPECT_EQ(api::ssl_new_conn_rcv_snd("1.2.3.4", 1, "x", 1, nullptr, 1), -1);
  EXPECT_EQ(api::crv_conn_snd_rcv(nullptr, 1, "x", 1, buf), -1);
  EXPECT_EQ(api::crv_conn_snd_rcv("1.2.3.4", 1, "x", 1, nullptr), -1);
  EXPECT_EQ(api::ssl_user_conn_rcv_snd(nullptr, "1", "x", "1", "1", 0), nullptr);
  EXPECT_EQ(api::ssl_user_conn_rcv_snd("1.2.3.4", "1", nullptr, "1", "1", 0), nullptr);
  EXPECT_TRUE(net.calls.empty());

  // A negative request length is a failed send.
  net.script = {arrives(kEnqBlock)};
  EXPECT_EQ(api::ssl_conn_rcv_snd("10.1.2.3", 7001, "abc", -1, response.data(), 45), -3);
  EXPECT_TRUE(net.sent.empty());
}

// The user variant: texts for port, length and wait, a block as the result
// (its outcomes and trace lines are in settings_and_log_test).
using CorvanaVanUserExchange = LinkTest;

TEST_F(CorvanaVanUserExchange, NumbersComeFromTheLeadingDigitsOfTheTexts) {
  net.script = {arrives(kEnqBlock), arrives(kResponse), arrives(kEotBlock)};
  char* block = api::ssl_user_conn_rcv_snd("10.1.2.3", "7001abc", kRequest.c_str(), "4 bytes", "30s", 0);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(net.connected_port, 7001);
  EXPECT_EQ(net.sent.front(), kRequest.substr(0, 4));
  EXPECT_EQ(net.waits.front(), 30);
  api::free_block(block);

  net = FakeTransport{};  // a silent network: the wait expires at once
  EXPECT_EQ(api::ssl_user_conn_rcv_snd("10.1.2.3", "1234567890", kRequest.c_str(), "14", "45", 0), nullptr);
  EXPECT_EQ(net.connected_port, 0);
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
  EXPECT_EQ(net.waits, (std::vector<int>{17}));
  EXPECT_EQ(net.calls, (std::vector<std::string>{"sock_connect", "SSL_StartClient 31",
                                                 "SSL_SendData 4711", "SSL_SelectTimeOut 31",
                                                 "SSL_RecvData 4711 4096", "SSL_Close 4711 31"}));
}

TEST_F(CorvanaVanPlainExchange, Codes) {
  struct Case {
    const char* what;
    std::deque<NetEvent> script;
    int send, connect, client, code;
  };
  const int sock = FakeTransport::kSock, ssl = FakeTransport::kSsl;
  const Case cases[] = {
      {"connect fails", {}, 0, -1, ssl, -1},         {"SSL fails", {}, 0, sock, 0, -2},
      {"send fails", {}, -1, sock, ssl, -3},         {"receive fails", {receive_fails(0)}, 0, sock, ssl, -4},
      {"wait expires", {wait_expires()}, 0, sock, ssl, -5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    net = FakeTransport{};
    net.script = c.script;
    if (c.send) net.send_results = {c.send};
    net.connect_result = c.connect;
    net.start_client_result = c.client;
    response.assign(4096, 'Z');
    EXPECT_EQ(run(), c.code);
    // Once the link is up it is closed and the first four bytes cleared.
    const bool linked = c.code < -2;
    EXPECT_EQ(std::string(response.data(), 5), linked ? std::string(4, '\0') + "Z" : "ZZZZZ");
    EXPECT_EQ(net.closes, linked ? 1 : 0);
    for (const auto& s : net.sent) EXPECT_EQ(s, kRequest);  // no EM, ever
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

  // Null pointers and negative lengths send and receive nothing.
  net.calls.clear();
  EXPECT_EQ(api::server_send_data(nullptr, 4), -1);
  EXPECT_EQ(api::server_send_data("abc", -1), -1);
  EXPECT_EQ(api::server_receive_data(nullptr, 45), 0);
  EXPECT_TRUE(net.calls.empty());
}

TEST_F(CorvanaVanStepLink, PortsAboveThirtyTwoThousandArriveWhole) {
  // 16 bits are a port from 0 to 65535, whatever the sign of the short.
  EXPECT_EQ(api::server_connect("10.9.8.7", static_cast<short>(43031)), 1);
  EXPECT_EQ(net.connected_port, 43031);
  char response[4096];
  api::ssl_new_conn_rcv_snd("10.9.8.7", static_cast<short>(65535), "x", 1, response, 1);
  EXPECT_EQ(net.connected_port, 65535);
  api::crv_conn_snd_rcv("10.9.8.7", static_cast<short>(43032), "x", 1, response);
  EXPECT_EQ(net.connected_port, 43032);
}

TEST(CorvanaVanLeadingNumber, DigitsAtTheStartAmongTheFirstTen) {
  const std::pair<const char*, int> cases[] = {
      {"7001abc", 7001}, {"000123", 123}, {"123456789x", 123456789}, {"1234567890", 0},  // ten digits: 0
      {"12345678901", 0}, {"abc", 0},     {" 5", 0},                 {"-5", 0},
      {"", 0},           {nullptr, 0}};
  for (const auto& [text, value] : cases) EXPECT_EQ(api::parse_leading_number(text), value) << (text ? text : "(null)");
}

}  // namespace
}  // namespace pink::corvanavan::testing
