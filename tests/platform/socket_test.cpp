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
  EXPECT_EQ(net::parse_ipv4("255.255.255.255"), 0xFFFFFFFFu);
  EXPECT_EQ(net::parse_ipv4("127.0.0.1"), 0x7F000001u);

  for (const char* bad : {"", "localhost", "1.2.3", "1.2.3.4.5", "1.2.3.256", "1.2.3.4 ", "1..3.4", "1.2.3.",
                          "1.2.3.-4", "1.2.3.0x4", "1234.1.1.1", "010.0.0.1", "+1.2.3.4"})
    EXPECT_FALSE(net::parse_ipv4(bad).has_value()) << '"' << bad << '"';
  EXPECT_FALSE(net::parse_ipv4(std::string_view("1.2.3.4\0", 8)).has_value());
}

TEST(Ipv4Address, LiteralsAreTakenAsTheyAreAndNamesAreLookedUp) {
  EXPECT_EQ(net::format_ipv4(0xC0A8000Au), "192.168.0.10");
  EXPECT_EQ(net::format_ipv4(0), "0.0.0.0");
  EXPECT_EQ(net::lookup_ipv4("10.1.2.3").address, 0x0A010203u);
  EXPECT_EQ(net::lookup_ipv4("localhost").address, 0x7F000001u);
  for (const char* bad : {"nosuch.invalid", ""}) {
    const net::HostLookup r = net::lookup_ipv4(bad);
    EXPECT_FALSE(r.address.has_value()) << bad;
    EXPECT_NE(r.error, 0) << bad;
  }
}

TEST(Socket, ExchangesBytesLargeSendsTimeOutsAndCloses) {
  int major = 0, minor = 0;
  ASSERT_TRUE(net::startup(major, minor));
  EXPECT_EQ(major, 2);
  EXPECT_EQ(minor, 2);
  auto listener = net::listen("127.0.0.1", 0);
  ASSERT_TRUE(listener) << listener.why();
  auto connected = net::connect("127.0.0.1", listener->port(), 5000);
  ASSERT_TRUE(connected) << connected.why();
  std::unique_ptr<net::Socket> client = std::move(*connected);
  auto server = listener->accept(5000);
  ASSERT_TRUE(server);
  std::vector<std::uint8_t> buf(65536);
  auto receive_text = [&](net::Socket& s) {
    const long n = s.recv(buf);
    return n > 0 ? std::string(buf.begin(), buf.begin() + n) : std::string();
  };

  EXPECT_EQ(client->send(std::string_view("\x05request")), 8);
  ASSERT_EQ(server->wait_readable(5000), 1);
  EXPECT_EQ(receive_text(*server), "\x05request");
  EXPECT_EQ(server->send(std::string_view("\x06")), 1);
  EXPECT_EQ(receive_text(*client), "\x06");
  EXPECT_EQ(client->wait_readable(20), 0);  // nothing waiting: the wait times out

  // A large send arrives whole.
  std::string block(8 << 20, '\0');
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i % 253);
  std::string received;
  std::thread reader([&] {
    server->set_timeouts(20000, 0);
    for (long n = 1; n > 0 && received.size() < block.size();) {
      n = server->recv(buf);
      if (n > 0) received.append(buf.begin(), buf.begin() + n);
    }
  });
  EXPECT_EQ(client->send(block), static_cast<long>(block.size()));
  reader.join();
  EXPECT_TRUE(received == block);

  // A receive time-out is an error.
  client->set_timeouts(50, 50);
  EXPECT_EQ(client->recv(buf), -1);
  // The peer stops sending: readable, and recv reports the close with 0.
  server->shutdown_send();
  ASSERT_EQ(client->wait_readable(5000), 1);
  EXPECT_EQ(client->recv(buf), 0);
  // The peer is gone: sending fails (sooner or later) without ending the process.
  server.reset();
  long result = 0;
  for (int i = 0; i < 100 && result >= 0; ++i) result = client->send(std::string_view(block).substr(0, 65536));
  EXPECT_EQ(result, -1);
  EXPECT_TRUE(net::cleanup());
}

TEST(Socket, ConnectAndAcceptFailuresAreReported) {
  const auto by_name = net::connect("localhost", 9100, 1000);
  EXPECT_FALSE(by_name);
  EXPECT_NE(by_name.why().find("localhost"), std::string::npos);
  const auto bad_listen = net::listen("127.0.0.1.1", 0);
  EXPECT_FALSE(bad_listen);
  EXPECT_NE(bad_listen.why().find("127.0.0.1.1"), std::string::npos) << bad_listen.why();

  // Nobody connects within the wait; then nobody listens any more: refused.
  std::uint16_t port = 0;
  {
    auto l = net::listen("127.0.0.1", 0);
    ASSERT_TRUE(l);
    EXPECT_FALSE(l->accept(20));
    port = l->port();
  }
  for (const std::uint32_t wait : {0u, 2000u}) {
    const auto refused = net::connect("127.0.0.1", port, wait);
    EXPECT_FALSE(refused);
    EXPECT_EQ(refused.why().rfind("connect: ", 0), 0u) << refused.why();
  }
}

}  // namespace
}  // namespace pink
