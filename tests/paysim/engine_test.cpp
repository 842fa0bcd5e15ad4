// The payment network simulator's script engine, driven directly: the
// terminal's events in, the network's actions out.
#include "tools/paysim/engine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/paysim/message.h"

namespace pink::paysim {
namespace {

using Steps = std::vector<std::string>;
const std::string kIdle = "<idle>", kClosed = "<closed>", kAck = "\x06", kEm = "\x19";

std::span<const std::uint8_t> bytes(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// An exchange that has started (its ENQ is out), driven by the terminal's
// side. Its actions as steps: "S:<bytes>" a send, "P" a pause, "C" a close;
// log lines apart.
struct Session {
  Exchange ex;
  Steps steps, logs;

  explicit Session(const Script& script) : ex(script) { add(ex.start()); }
  void add(const std::vector<Action>& actions) {
    for (const Action& a : actions) {
      if (a.kind == Action::Kind::Log) logs.push_back(a.bytes);
      if (a.kind == Action::Kind::Send) steps.push_back("S:" + show(a.bytes));
      if (a.kind == Action::Kind::Pause) steps.push_back("P");
      if (a.kind == Action::Kind::Close) steps.push_back("C");
    }
  }
  // A block of bytes, kIdle (the wait passed) or kClosed.
  void terminal(const std::string& event) {
    add(event == kIdle ? ex.on_idle() : event == kClosed ? ex.on_closed() : ex.on_bytes(bytes(event)));
  }
  bool logged(const std::string& part) const {
    for (const auto& l : logs) {
      if (l.find(part) != std::string::npos) return true;
    }
    return false;
  }
};

Script basic() {
  Script s;
  s.response = "RESPONSE-0910-ABCDEF";
  return s;
}
const std::string kEnq = "S:<ENQ>", kResponse = "S:RESPONSE-0910-ABCDEF";

TEST(PaysimEngine, PlaysTheWholeExchange) {
  Session s(basic());
  EXPECT_EQ(s.steps, Steps{kEnq});
  EXPECT_EQ(s.ex.wait_ms(), 60000u);
  s.terminal("REQ");
  s.terminal("UEST");
  EXPECT_EQ(s.ex.wait_ms(), 300u);  // the quiet gap ends the request
  EXPECT_EQ(s.steps.size(), 1u);
  s.terminal(kIdle);
  EXPECT_EQ(s.ex.requests(), Steps{"REQUEST"});
  s.terminal(kAck);
  EXPECT_EQ(s.steps, (Steps{kEnq, kResponse, "S:<EOT>"}));
  EXPECT_EQ(s.ex.wait_ms(), 5000u);
  EXPECT_FALSE(s.ex.done());
  // A terminal that does not close after EOT is closed.
  s.terminal(kIdle);
  EXPECT_TRUE(s.ex.done());
  EXPECT_EQ(s.steps.back(), "C");
  EXPECT_TRUE(s.logged("<- request (7 bytes): REQUEST"));
  EXPECT_TRUE(s.logged("<- <ACK>"));

  // Nothing happens before the start or after the end.
  Exchange ex(basic());
  EXPECT_TRUE(ex.on_bytes(bytes("X")).empty());
  EXPECT_TRUE(ex.on_closed().empty());
  ex.start();
  ex.on_closed();
  EXPECT_TRUE(ex.done());
  EXPECT_TRUE(ex.on_bytes(bytes("X")).empty());
  EXPECT_TRUE(ex.on_idle().empty());
  EXPECT_TRUE(ex.start().empty());
}

TEST(PaysimEngine, PlaysEachScriptedMisbehaviour) {
  const struct {
    const char* what;
    void (*set)(Script&);
    Steps terminal, steps;
    const char* logged;
  } cases[] = {
      {"NAK, and the terminal's EM", [](Script& s) { s.nak = true; }, {"REQ", kIdle, kEm, kClosed},
       {kEnq, "S:<NAK>", "C"}, "abandoned the exchange"},
      {"silence until the terminal gives up", [](Script& s) { s.silent = true; },
       {"REQ", kIdle, "\x19\x19\x19\x19", kIdle}, {kEnq, "C"}, "not answering"},
      {"a NAK byte as the response, and EM in place of the ACK", [](Script& s) { s.nak_byte_as_response = true; },
       {"REQ", kIdle, kEm}, {kEnq, "S:<NAK>", "C"}, "abandoned the exchange"},
      {"closing right after the ENQ", [](Script& s) { s.close_early = true; }, {}, {kEnq, "C"}, "close-early"},
      {"a short block, two responses and no EOT",
       [](Script& s) {
         s.short_block = "SHORT";
         s.two_responses = true;
         s.second_response = "SECOND-RESPONSE";
         s.no_eot = true;
       },
       {"REQ", kIdle, kAck, kAck, kEm, kClosed}, {kEnq, "S:SHORT", "P", kResponse, "S:SECOND-RESPONSE", "C"},
       "not sending EOT"},
      {"the first response twice", [](Script& s) { s.two_responses = true; }, {"REQ", kIdle, kAck, kAck},
       {kEnq, kResponse, kResponse, "S:<EOT>"}, "response 2"},
      {"a second ENQ", [](Script& s) { s.enq_twice = true; }, {"REQ", kIdle, "REQ", kIdle},
       {kEnq, kEnq, kResponse}, "the request came again unchanged"},
      {"a fixed request length, no gap needed", [](Script& s) { s.request_length = 6; }, {"ABC", "DEFGH"},
       {kEnq, kResponse}, "2 bytes more, ignored: GH"},
      {"a request that stops short of its length", [](Script& s) { s.request_length = 6; }, {"ABC", kIdle},
       {kEnq, "C"}, "3 bytes of 6 bytes"},
      {"four ACK bytes, in two blocks", [](Script& s) { s.ack4 = true; }, {"REQ", kIdle, "\x06\x06", "\x06\x06"},
       {kEnq, kResponse, "S:<EOT>"}, "<ACK><ACK><ACK><ACK>"},
      {"one ACK byte where four are due", [](Script& s) { s.ack4 = true; }, {"REQ", kIdle, kAck, kIdle},
       {kEnq, kResponse, "C"}, "expected four ACK bytes"},
      {"four ACK bytes where one is due", [](Script&) {}, {"REQ", kIdle, "\x06\x06\x06\x06"}, {kEnq, kResponse, "C"},
       "expected one ACK byte"},
      {"no ACK at all", [](Script&) {}, {"REQ", kIdle, "OK"}, {kEnq, kResponse, "C"}, "expected one ACK byte"},
      {"no ACK within the wait", [](Script&) {}, {"REQ", kIdle, kIdle}, {kEnq, kResponse, "C"}, "no ACK within"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Script script = basic();
    c.set(script);
    Session s(script);
    for (const auto& event : c.terminal) s.terminal(event);
    EXPECT_EQ(s.steps, c.steps);
    EXPECT_EQ(s.ex.done(), s.steps.back() == "C");
    EXPECT_EQ(s.ex.eot_sent(), s.steps.back() == "S:<EOT>");
    EXPECT_TRUE(s.logged(c.logged)) << ::testing::PrintToString(s.logs);
  }
}

}  // namespace
}  // namespace pink::paysim
