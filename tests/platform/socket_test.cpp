// Sockets over loopback on ports the OS picks, and the address rules.
#include "platform/socket.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace pink {
namespace {

TEST(Ipv4Address, OnlyFourDottedDecimalPartsAreAddresses) {
  EXPECT_EQ(net::parse_ipv4("192.168.0.10"), 0xC0A8000Au);
  EXPECT_EQ(net::parse_ipv4("0.0.0.0"), 0u);
  EXPECT_EQ(net::parse_ipv4("255.255.255.255"), 0xFFFFFFFFu);
  EXPECT_EQ(net::parse_ipv4("127.0.0.1"), 0x7F000001u);

  for (const char* bad : {"", "localhost", "1.2.3", "1.2.3.4.5", "256.0.0.1", "1.2.3.256", "1.2.3.4 ",
                          " 1.2.3.4", "1..3.4", "1.2.3.", ".1.2.3", "1.2.3.-4", "1.2.3.0x4", "1234.1.1.1",
                          "1.2.3.4567", "010.0.0.1", "1.2.3.00", "+1.2.3.4", "1.2.3.4\n"}) {
    EXPECT_FALSE(net::parse_ipv4(bad).has_value()) << '"' << bad << '"';
  }
  EXPECT_FALSE(net::parse_ipv4(std::string_view("1.2.3.4\0", 8)).has_value());
}

struct Pair {
  std::unique_ptr<net::Listener> listener;
  std::unique_ptr<net::Socket> client;
  std::unique_ptr<net::Socket> server;
};

Pair connected_pair() {
  Pair p;
  std::string error;
  p.listener = net::listen("127.0.0.1", 0, &error);
  EXPECT_TRUE(p.listener) << error;
  if (!p.listener) return p;
  EXPECT_NE(p.listener->port(), 0);
  p.client = net::connect("127.0.0.1", p.listener->port(), 5000, &error);
  EXPECT_TRUE(p.client) << error;
  p.server = p.listener->accept(5000);
  EXPECT_TRUE(p.server);
  return p;
}

std::string receive_text(net::Socket& s) {
  std::vector<std::uint8_t> buf(256);
  const long n = s.recv(buf);
  return n > 0 ? std::string(buf.begin(), buf.begin() + n) : std::string();
}

TEST(Socket, ExchangesBytesBothWaysAndSeesTheOrderlyClose) {
  int major = 0, minor = 0;
  ASSERT_TRUE(net::startup(major, minor));
  EXPECT_EQ(major, 2);
  EXPECT_EQ(minor, 2);

  Pair p = connected_pair();
  ASSERT_TRUE(p.client && p.server);
  EXPECT_EQ(p.client->send(std::string_view("\x05request")), 8);
  ASSERT_EQ(p.server->wait_readable(5000), 1);
  EXPECT_EQ(receive_text(*p.server), "\x05request");
  EXPECT_EQ(p.server->send(std::string_view("\x06")), 1);
  EXPECT_EQ(receive_text(*p.client), "\x06");

  // Nothing waiting: the wait times out.
  EXPECT_EQ(p.client->wait_readable(20), 0);
  // The peer stops sending: readable, and recv reports the close with 0.
  p.server->shutdown_send();
  ASSERT_EQ(p.client->wait_readable(5000), 1);
  std::vector<std::uint8_t> buf(16);
  EXPECT_EQ(p.client->recv(buf), 0);
  EXPECT_TRUE(net::cleanup());
}

TEST(Socket, ReceiveTimeOutIsAnErrorAndSendToAVanishedPeerFails) {
  Pair p = connected_pair();
  ASSERT_TRUE(p.client && p.server);
  p.client->set_timeouts(50, 50);
  std::vector<std::uint8_t> buf(16);
  EXPECT_EQ(p.client->recv(buf), -1);

  // The peer is gone: sending fails (sooner or later) without ending the process.
  p.server.reset();
  const std::string block(64 * 1024, 'z');
  long result = 0;
  for (int i = 0; i < 100 && result >= 0; ++i) result = p.client->send(block);
  EXPECT_EQ(result, -1);
}

TEST(Socket, LargeSendsArriveWhole) {
  Pair p = connected_pair();
  ASSERT_TRUE(p.client && p.server);
  std::string block(8 << 20, '\0');
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i % 253);
  std::string received;
  std::thread reader([&] {
    std::vector<std::uint8_t> buf(65536);
    p.server->set_timeouts(20000, 0);
    while (received.size() < block.size()) {
      const long n = p.server->recv(buf);
      if (n <= 0) break;
      received.append(buf.begin(), buf.begin() + n);
    }
  });
  EXPECT_EQ(p.client->send(block), static_cast<long>(block.size()));
  reader.join();
  EXPECT_TRUE(received == block);
}

TEST(Socket, ConnectFailuresAreReported) {
  std::string error;
  EXPECT_FALSE(net::connect("localhost", 9100, 1000, &error));
  EXPECT_NE(error.find("localhost"), std::string::npos);
  EXPECT_FALSE(net::connect("1.2.3", 9100, 1000, &error));

  // A port nobody listens on any more: refused.
  std::uint16_t port = 0;
  {
    auto l = net::listen("127.0.0.1", 0);
    ASSERT_TRUE(l);
    port = l->port();
  }
  error.clear();
  EXPECT_FALSE(net::connect("127.0.0.1", port, 0, &error));
  EXPECT_FALSE(error.empty());
  error.clear();
  EXPECT_FALSE(net::connect("127.0.0.1", port, 2000, &error));
  EXPECT_FALSE(error.empty());
}

TEST(Socket, AcceptWaitsOnlyAsLongAsAsked) {
  auto l = net::listen("127.0.0.1", 0);
  ASSERT_TRUE(l);
  EXPECT_FALSE(l->accept(20));
  EXPECT_FALSE(net::listen("127.0.0.1.1", 0));
}

}  // namespace
}  // namespace pink
