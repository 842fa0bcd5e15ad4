// A scripted stand-in for ssllib32: the test lists what the network does
// (blocks that arrive, waits that expire, receives that fail) and reads back
// every call the library made. Installed as the library's transport for the
// life of a LinkTest, with the process's link handles reset around it.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "payment/corvanavan/exchange.h"
#include "payment/corvanavan/transport.h"

namespace pink::corvanavan::testing {

inline const std::string kEnqBlock(1, '\x05');
inline const std::string kNakBlock(1, '\x15');
inline const std::string kEotBlock(1, '\x04');
inline const std::string kAckBlock(1, '\x06');
inline const std::string kEmBlock(1, '\x19');
inline const std::string kAck4Block(4, '\x06');
inline const std::string kEm4Block(4, '\x19');

struct NetEvent {
  enum Kind { Arrives, WaitExpires, ReceiveFails } kind;
  std::string bytes;  // Arrives
  int result = 0;     // WaitExpires: what the wait gives; ReceiveFails: the count
};

inline NetEvent arrives(std::string bytes) { return {NetEvent::Arrives, std::move(bytes), 0}; }
inline NetEvent wait_expires(int result = 0) { return {NetEvent::WaitExpires, {}, result}; }
inline NetEvent receive_fails(int result = 0) { return {NetEvent::ReceiveFails, {}, result}; }

class FakeTransport final : public Transport {
 public:
  static constexpr int kSock = 31;
  static constexpr int kSsl = 4711;

  // What the calls give.
  int connect_result = kSock;
  int startup_result = kSsl;
  int start_client_result = kSsl;
  std::deque<NetEvent> script;   // consumed by waits and receives
  std::deque<int> send_results;  // consumed by sends; when empty a send gives its length

  // What the library did.
  std::vector<std::string> calls;
  std::vector<std::string> sent;  // the bytes of every send, in order
  std::string connected_ip;
  int connected_port = -1;
  std::vector<int> waits;  // the wait of every SSL_SelectTimeOut
  int closes = 0;

  int sock_connect(const char* ip, int port) override {
    calls.push_back("sock_connect");
    connected_ip = ip;
    connected_port = port;
    return connect_result;
  }
  int ssl_startup(int* sock) override {
    calls.push_back("SSL_StartUp " + std::to_string(*sock));
    return startup_result;
  }
  int ssl_start_client(int* sock) override {
    calls.push_back("SSL_StartClient " + std::to_string(*sock));
    return start_client_result;
  }
  int select_timeout(int sock, int wait) override {
    calls.push_back("SSL_SelectTimeOut " + std::to_string(sock));
    waits.push_back(wait);
    // A script that has run out behaves as a network that stays silent.
    if (script.empty()) return 0;
    if (script.front().kind == NetEvent::WaitExpires) {
      const int r = script.front().result;
      script.pop_front();
      return r;
    }
    return 1;
  }
  int recv_data(int ssl, char* buffer, int size) override {
    calls.push_back("SSL_RecvData " + std::to_string(ssl) + " " + std::to_string(size));
    if (script.empty()) return -1;
    NetEvent e = script.front();
    script.pop_front();
    if (e.kind != NetEvent::Arrives) return e.result;
    EXPECT_LE(e.bytes.size(), static_cast<std::size_t>(size));
    e.bytes.copy(buffer, static_cast<std::size_t>(size));
    return static_cast<int>(e.bytes.size());
  }
  int send_data(int ssl, const char* data, int length) override {
    calls.push_back("SSL_SendData " + std::to_string(ssl));
    sent.emplace_back(data, static_cast<std::size_t>(length));
    if (send_results.empty()) return length;
    const int r = send_results.front();
    send_results.pop_front();
    return r;
  }
  int close(int ssl, int sock) override {
    calls.push_back("SSL_Close " + std::to_string(ssl) + " " + std::to_string(sock));
    ++closes;
    return 0;
  }
};

// Every test of the link gets a fresh fake in place of ssllib32.
class LinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    process_link() = Link{};
    set_transport(&net);
  }
  void TearDown() override {
    set_transport(nullptr);
    process_link() = Link{};
  }
  FakeTransport net;
};

}  // namespace pink::corvanavan::testing
