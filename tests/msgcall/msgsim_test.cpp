// The msgsim program as an integrator meets it: its command line, several
// connections at once, the store's numbering, and the terminal's mistakes
// and the simulator's stalls as they show in its log.
#include <gtest/gtest.h>

#include "msgcall/link.h"
#include "msgcall/records.h"
#include "tests/msgcall/provider.h"

namespace pink::msgcall {
namespace {

using namespace testing;

std::unique_ptr<net::Socket> raw_client(const Provider& p) {
  auto s = net::connect("127.0.0.1", p.port(), 5000);
  if (!s) return nullptr;
  s->set_timeouts(10000, 10000);
  return std::move(*s);
}

template <std::size_t N>
std::string str(const std::array<std::uint8_t, N>& a) {
  return std::string(a.begin(), a.end());
}

TEST(Msgsim, HelpAndBadOptions) {
  auto r = testkit::run(testkit::program("msgsim"), {"--help"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out.rfind("usage: msgsim", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("--store DIR"), std::string::npos);
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--port", "70000"}, {"--result", "OK"}, {"--stall", "always"}, {"--bogus"},
        {"--host", "localhost"}, {"--login-reply"}, {"--wait", "0"}}) {
    r = testkit::run(testkit::program("msgsim"), bad);
    EXPECT_EQ(r.exit_code, 2) << bad[0];
    EXPECT_NE(r.err.find("msgsim: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("usage: msgsim"), std::string::npos) << r.err;
  }
}

TEST(Msgsim, ServesConnectionsAtOnceAndNumbersTheStoreOn) {
  Provider provider({}, {"000003", "000007", "notes"});
  auto idle = raw_client(provider);  // a terminal that connected and says nothing yet
  ASSERT_TRUE(idle);
  provider.log("[1] connected");
  {
    Terminal terminal(provider);
    EXPECT_EQ(mms_send(message()), kAccepted);
  }
  EXPECT_TRUE(provider.store().exists("000008/header.txt"));
  // The first connection is still served afterwards.
  const auto login = wire::login_request(message());
  ASSERT_EQ(idle->send(std::string_view(reinterpret_cast<const char*>(login.data()), login.size())), 67);
  std::array<std::uint8_t, 4> reply{};
  ASSERT_EQ(link::recv_exact(idle.get(), reply), 4);
  EXPECT_EQ(str(reply), "1" + z(3));
}

TEST(Msgsim, StallsWhenToldAndLogsTheTerminalsMistakes) {
  Provider stalling({"--stall", "login"});
  auto s = raw_client(stalling);
  const auto login = wire::login_request(message());
  s->send(std::string_view(reinterpret_cast<const char*>(login.data()), login.size()));
  EXPECT_EQ(s->wait_readable(300), 0);  // no answer comes
  s.reset();
  EXPECT_NE(stalling.log("[1] done").find("[1] stalling: no LoginReply is sent"), std::string::npos);
  EXPECT_NE(stalling.log().find("[1] the terminal closed the connection"), std::string::npos);

  Provider provider;
  s = raw_client(provider);
  s->send(std::string_view("X"));
  std::array<std::uint8_t, 1> byte{};
  EXPECT_EQ(s->recv(byte), 0);  // closed
  EXPECT_NE(provider.log("[1] done").find("[1] unknown record kind 0x58; closing"), std::string::npos);

  // A message whose attachment stops short is kept as far as it came.
  s = raw_client(provider);
  Message m = message();
  m.file_paths = {"a.bin", "", ""};
  const auto header = wire::send_header(m, 1, true);
  const std::string sent = str(header) + *wire::message_body("hi") + str(wire::attachment_header(10, "bin")) + "abc";
  s->send(sent);
  s.reset();
  const std::string log = provider.log("[2] done");
  EXPECT_NE(log.find("[2] attachment 1 cut short: 3 of 10 bytes, then the terminal closed the connection"),
            std::string::npos)
      << log;
  EXPECT_EQ(provider.stored(1, "attachment1.bin"), "abc");
  EXPECT_EQ(provider.stored(1, "message.bin"), sent);
  EXPECT_NE(provider.stored(1, "header.txt").find("Answer=none (the message was cut short)\n"), std::string::npos);
}

}  // namespace
}  // namespace pink::msgcall
