// The payment network simulator's script engine, message builder and command
// line, driven directly: events in, actions out.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tools/paysim/engine.h"
#include "tools/paysim/message.h"
#include "tools/paysim/options.h"

namespace pink::paysim {
namespace {

// The actions of a run as one readable trace: "S:<bytes>" for a send, "P"
// for a pause, "C" for a close; log lines are kept apart.
struct Trace {
  std::vector<std::string> steps;
  std::vector<std::string> logs;
  void add(const std::vector<Action>& actions) {
    for (const Action& a : actions) {
      switch (a.kind) {
        case Action::Kind::Send:
          steps.push_back("S:" + show(a.bytes));
          break;
        case Action::Kind::Pause:
          steps.push_back("P");
          break;
        case Action::Kind::Close:
          steps.push_back("C");
          break;
        case Action::Kind::Log:
          logs.push_back(a.bytes);
          break;
      }
    }
  }
  bool logged(const std::string& part) const {
    for (const auto& l : logs) {
      if (l.find(part) != std::string::npos) return true;
    }
    return false;
  }
};

std::span<const std::uint8_t> bytes(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

const std::string kAckByte = "\x06";
const std::string kEmByte = "\x19";

Script basic() {
  Script s;
  s.response = "RESPONSE-0910-ABCDEF";
  return s;
}

// The basic script with one of its misbehaviours switched on.
Script basic_with(bool Script::*misbehaviour) {
  Script s = basic();
  s.*misbehaviour = true;
  return s;
}

// An exchange that has started (its ENQ is out), driven by the terminal's
// side, with the trace of everything it did.
struct Session {
  Exchange ex;
  Trace t;

  explicit Session(const Script& script) : ex(script) { t.add(ex.start()); }
  void receive(const std::string& block) { t.add(ex.on_bytes(bytes(block))); }
  void idle() { t.add(ex.on_idle()); }
  void closed() { t.add(ex.on_closed()); }
  // The terminal sends its request and falls quiet.
  void request(const std::string& text = "REQ") {
    receive(text);
    idle();
  }
};

using Steps = std::vector<std::string>;

TEST(PaysimEngine, PlaysTheWholeExchange) {
  Session s(basic());
  EXPECT_EQ(s.t.steps, Steps{"S:<ENQ>"});
  EXPECT_EQ(s.ex.wait_ms(), 60000u);
  s.receive("REQ");
  s.receive("UEST");
  EXPECT_EQ(s.ex.wait_ms(), 300u);  // the quiet gap ends the request
  EXPECT_EQ(s.t.steps.size(), 1u);
  s.idle();
  EXPECT_EQ(s.ex.requests(), std::vector<std::string>{"REQUEST"});
  s.receive(kAckByte);
  EXPECT_EQ(s.t.steps, (Steps{"S:<ENQ>", "S:RESPONSE-0910-ABCDEF", "S:<EOT>"}));
  EXPECT_TRUE(s.ex.eot_sent());
  EXPECT_EQ(s.ex.wait_ms(), 5000u);
  EXPECT_FALSE(s.ex.done());
  s.closed();
  EXPECT_TRUE(s.ex.done());
  EXPECT_EQ(s.ex.acks_received(), 1);
  EXPECT_TRUE(s.t.logged("<- request (7 bytes): REQUEST"));
  EXPECT_TRUE(s.t.logged("<- <ACK>"));

  // A terminal that does not close after EOT is closed.
  Session lingering(basic());
  lingering.request("R");
  lingering.receive(kAckByte);
  lingering.idle();
  EXPECT_TRUE(lingering.ex.done());
  EXPECT_EQ(lingering.t.steps.back(), "C");
}

TEST(PaysimEngine, FixedRequestLengthEndsTheRequestWithoutAGap) {
  Script script = basic();
  script.request_length = 6;
  Session s(script);
  s.receive("ABC");
  EXPECT_EQ(s.ex.wait_ms(), 60000u);
  s.receive("DEFGH");
  EXPECT_EQ(s.ex.requests(), std::vector<std::string>{"ABCDEF"});
  EXPECT_TRUE(s.t.logged("2 bytes more, ignored: GH"));
  EXPECT_EQ(s.t.steps.back(), "S:RESPONSE-0910-ABCDEF");

  // A request that stops short is not answered.
  Session shorter(script);
  shorter.request("ABC");
  EXPECT_TRUE(shorter.ex.done());
  EXPECT_EQ(shorter.t.steps, (Steps{"S:<ENQ>", "C"}));
  EXPECT_TRUE(shorter.t.logged("3 bytes of 6 bytes"));
}

TEST(PaysimEngine, RefusalsAndSilence) {
  {
    Session s(basic_with(&Script::nak));
    s.request();
    EXPECT_EQ(s.t.steps, (Steps{"S:<ENQ>", "S:<NAK>"}));
    s.receive(kEmByte);
    EXPECT_TRUE(s.ex.em_received());
    s.closed();
    EXPECT_TRUE(s.ex.done());
  }
  {
    Session s(basic_with(&Script::silent));
    s.request();
    EXPECT_EQ(s.t.steps, Steps{"S:<ENQ>"});
    EXPECT_EQ(s.ex.wait_ms(), 60000u);
    s.receive("\x19\x19\x19\x19");
    EXPECT_TRUE(s.ex.em_received());
    s.idle();
    EXPECT_EQ(s.t.steps, (Steps{"S:<ENQ>", "C"}));
  }
  {
    Session s(basic_with(&Script::nak_byte_as_response));
    s.request();
    EXPECT_EQ(s.t.steps, (Steps{"S:<ENQ>", "S:<NAK>"}));
    // The terminal gives up with EM instead of an ACK.
    s.receive(kEmByte);
    EXPECT_TRUE(s.ex.done());
    EXPECT_TRUE(s.ex.em_received());
    EXPECT_FALSE(s.ex.eot_sent());
  }
  {
    Session s(basic_with(&Script::close_early));
    EXPECT_EQ(s.t.steps, (Steps{"S:<ENQ>", "C"}));
    EXPECT_TRUE(s.ex.done());
  }
}

TEST(PaysimEngine, ShortBlockTwoResponsesAndNoEot) {
  Script script = basic();
  script.short_block = "SHORT";
  script.two_responses = true;
  script.second_response = "SECOND-RESPONSE";
  script.no_eot = true;
  Session s(script);
  s.request();
  s.receive(kAckByte);
  s.receive(kAckByte);
  EXPECT_EQ(s.t.steps, (Steps{"S:<ENQ>", "S:SHORT", "P", "S:RESPONSE-0910-ABCDEF", "S:SECOND-RESPONSE"}));
  EXPECT_EQ(s.ex.responses_sent(), 2);
  EXPECT_EQ(s.ex.acks_received(), 2);
  EXPECT_FALSE(s.ex.eot_sent());
  EXPECT_TRUE(s.t.logged("not sending EOT"));
  // The terminal's wait expires: EM, then it closes.
  s.receive(kEmByte);
  s.closed();
  EXPECT_TRUE(s.ex.done());
  EXPECT_TRUE(s.ex.em_received());

  // Without a second text the first response goes out twice.
  Session again(basic_with(&Script::two_responses));
  again.request();
  again.receive(kAckByte);
  again.receive(kAckByte);
  EXPECT_EQ(again.t.steps,
            (Steps{"S:<ENQ>", "S:RESPONSE-0910-ABCDEF", "S:RESPONSE-0910-ABCDEF", "S:<EOT>"}));
}

TEST(PaysimEngine, SecondEnqAsksForTheRequestAgain) {
  Session s(basic_with(&Script::enq_twice));
  s.request();
  EXPECT_EQ(s.t.steps, (Steps{"S:<ENQ>", "S:<ENQ>"}));
  s.request();
  EXPECT_EQ(s.ex.requests(), (std::vector<std::string>{"REQ", "REQ"}));
  EXPECT_TRUE(s.t.logged("the request came again unchanged"));
  EXPECT_EQ(s.t.steps.back(), "S:RESPONSE-0910-ABCDEF");
}

TEST(PaysimEngine, AcknowledgementMustHaveTheScriptedLength) {
  auto run = [](bool ack4, const std::vector<std::string>& blocks, bool idle_after) {
    Script script = basic();
    script.ack4 = ack4;
    Session s(script);
    s.request();
    for (const auto& b : blocks) s.receive(b);
    if (idle_after) s.idle();
    return s.ex.eot_sent();
  };
  EXPECT_TRUE(run(true, {"\x06\x06\x06\x06"}, false));
  EXPECT_TRUE(run(true, {"\x06\x06", "\x06\x06"}, false));  // in two blocks
  EXPECT_FALSE(run(true, {"\x06"}, true));                  // one byte, then nothing
  EXPECT_FALSE(run(false, {"\x06\x06\x06\x06"}, false));    // four where one was due
  EXPECT_FALSE(run(false, {"OK"}, false));                  // not an ACK at all
  EXPECT_FALSE(run(false, {}, true));                       // no ACK within the wait
}

TEST(PaysimEngine, NothingHappensBeforeStartOrAfterTheEnd) {
  Exchange ex(basic());
  EXPECT_TRUE(ex.on_bytes(bytes("X")).empty());
  EXPECT_TRUE(ex.on_closed().empty());
  Trace t;
  t.add(ex.start());
  t.add(ex.on_closed());
  EXPECT_TRUE(ex.done());
  EXPECT_TRUE(t.logged("before sending a request"));
  EXPECT_TRUE(ex.on_bytes(bytes("X")).empty());
  EXPECT_TRUE(ex.on_idle().empty());
  EXPECT_TRUE(ex.start().empty());
}

// Walks a response by the network's layout: bitmap bits name the fields,
// each of the length in this table (negative: an LL or LLL prefix).
std::string walk_fields(const std::string& msg, std::vector<int>& present) {
  static const std::map<int, int> kLength = {{3, 6},   {4, 12},  {7, 10},  {11, 6},  {12, 6},  {13, 4},
                                             {37, 12}, {38, 6},  {39, 2},  {41, 8},  {42, 15}, {44, -2},
                                             {58, -3}, {63, -3}};
  if (msg.size() < 32) return "too short";
  std::string rest = msg.substr(32);
  for (int n = 1; n <= 64; ++n) {
    const int digit = std::stoi(msg.substr(16 + (n - 1) / 4, 1), nullptr, 16);
    if (((digit >> (3 - (n - 1) % 4)) & 1) == 0) continue;
    present.push_back(n);
    const auto it = kLength.find(n);
    if (it == kLength.end()) return "unexpected field " + std::to_string(n);
    std::size_t len = static_cast<std::size_t>(it->second);
    if (it->second < 0) {
      const std::size_t digits = static_cast<std::size_t>(-it->second);
      len = digits + std::stoul(rest.substr(0, digits));
    }
    if (len > rest.size()) return "field " + std::to_string(n) + " runs past the end";
    rest = rest.substr(len);
  }
  return rest.empty() ? "" : "bytes behind the last field";
}

TEST(PaysimMessage, PresetsFollowTheNetworkLayout) {
  const std::string approval = approval_response();
  EXPECT_EQ(approval.substr(12, 4), "0910");
  EXPECT_EQ(approval.substr(32, 2), "10");  // the "10" kind
  std::vector<int> fields;
  EXPECT_EQ(walk_fields(approval, fields), "");
  EXPECT_EQ(fields, (std::vector<int>{3, 4, 7, 11, 12, 13, 37, 38, 39, 41, 42, 44, 63}));
  EXPECT_EQ(approval.find_first_of("abcdef", 16), std::string::npos);

  const std::string refusal = refusal_response();
  EXPECT_EQ(refusal.substr(12, 4), "9910");
  fields.clear();
  EXPECT_EQ(walk_fields(refusal, fields), "");
  EXPECT_EQ(fields, (std::vector<int>{3, 39, 58, 63}));

  // Field order follows the numbers whatever order they are given in; the
  // header is padded to 12 characters.
  EXPECT_EQ(build_message("H", "0910", {{64, "Z"}, {1, "A"}, {0, "dropped"}}), "H           0910" "8000000000000001" "AZ");
}

TEST(PaysimMessage, ShowNamesControlBytesAndEscapesTheRest) {
  EXPECT_EQ(show(std::string("\x05" "AB\\C\x06\x15\x04\x19\r\n\x7f", 12)), "<ENQ>AB\\\\C<ACK><NAK><EOT><EM>\\x0D\\x0A\\x7F");
  EXPECT_EQ(show(std::string("a\0b", 3)), "a\\x00b");
  // cp949 text stays text; bytes that are no cp949 are escaped.
  EXPECT_EQ(show(std::string("\xC7\xD1" "1")), "\xC7\xD1" "1");
  EXPECT_EQ(show(std::string("\xFF" "1")), "\\xFF1");
}

TEST(PaysimOptions, DefaultsPresetsAndUsageErrors) {
  std::string error;
  auto o = parse_options({"--cert", "c.pem", "--key", "k.pem"}, error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(o->host, "127.0.0.1");
  EXPECT_EQ(o->port, 0);
  EXPECT_EQ(o->connections, 0u);
  EXPECT_EQ(o->script.response, approval_response());

  o = parse_options({"--cert", "c", "--key", "k", "--refusal", "--port", "4433", "--connections", "2", "--ack4",
                     "--wait", "3", "--short", "0123456789"},
                    error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(o->script.response, refusal_response());
  EXPECT_EQ(o->port, 4433);
  EXPECT_EQ(o->connections, 2u);
  EXPECT_TRUE(o->script.ack4);
  EXPECT_EQ(o->script.wait_ms, 3000u);

  o = parse_options({"--make-certs", "dir"}, error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(o->make_certs_dir, "dir");

  const std::vector<std::vector<std::string>> bad = {
      {},                                                          // no certificate
      {"--cert", "c", "--key"},                                    // value missing
      {"--cert", "c", "--key", "k", "--port", "65536"},            // out of range
      {"--cert", "c", "--key", "k", "--port", "12ab"},             // not a number
      {"--cert", "c", "--key", "k", "--host", "localhost"},        // not an address
      {"--cert", "c", "--key", "k", "--short", "0123456789A"},     // 11 bytes is no short block
      {"--cert", "c", "--key", "k", "--nak", "--silent"},          // two answers
      {"--cert", "c", "--key", "k", "--refusal", "--response", "X"},
      {"--cert", "c", "--key", "k", "--response", ""},
      {"--cert", "c", "--key", "k", "--bogus"},
  };
  for (const auto& args : bad) {
    error.clear();
    EXPECT_FALSE(parse_options(args, error)) << (args.empty() ? "" : args.back());
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
}  // namespace pink::paysim
