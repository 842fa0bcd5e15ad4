// The bridge's run over a scripted network and a mailbox in memory: the calls
// into the link library in order, the bytes sent, the mailbox keys written
// (and their order), and the error text of every failure.
#include <gtest/gtest.h>

#include "payment/corvana/bridge.h"
#include "payment/corvana/fields.h"
#include "platform/failure.h"
#include "platform/text.h"
#include "tests/corvana/responses.h"
#include "tests/corvana/scripted_network.h"
#include "tests/mailbox/fakes.h"

namespace pink::corvana {
namespace {

using namespace testing;
using Strings = std::vector<std::string>;

constexpr std::string_view kRequest = "AB0200123456";
const std::string kMessage = std::string(kRequest) + "004" + crc_digits("0200123456");

const Strings kConnectAndSend = {"make_arc 0200123456", "ServerConnect 10.1.2.3 7000",
                                 "ServerReceiveData 45", "ServerSendData",
                                 "ServerReceiveData 45"};

Strings operator+(Strings a, const Strings& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct Exchange {
  mailbox::testing::MapMailbox mb;
  ScriptedNetwork net;
  Bridge bridge{net, mb};

  Exchange() {
    mb.set(mailbox::kFloyd, kStateKey, "start");
    mb.set(mailbox::kFloyd, kTextKey, std::string(kRequest));
  }
  int go(std::string_view command_line = "C/10.1.2.3/7000") { return bridge.run(command_line); }

  std::string key(std::string_view k) const {
    return text::cp949_to_utf8(mb.value(mailbox::kFloyd, k));
  }
  Strings writes() const {
    Strings w;
    for (const auto& s : mb.writes) w.push_back(text::cp949_to_utf8(s));
    return w;
  }
};

const Strings kStartWrites = {"floyd/corvana_error=", "floyd/corvana_state="};

Strings failure_writes(const std::string& error) {
  return {"floyd/corvana_power=", "floyd/corvana_text=", "floyd/corvana_error=" + error,
          "floyd/corvana_state=End"};
}

// A failure after the start: the start writes, then the failure's four.
void expect_failure(const Exchange& r, int status, const std::string& error) {
  EXPECT_EQ(status, 1);
  EXPECT_EQ(r.writes(), kStartWrites + failure_writes(error));
  EXPECT_EQ(r.bridge.error_text(), text::utf8_to_cp949(error));
}

// The link was dropped: EM as one byte, then the close.
void expect_dropped(const Exchange& r) {
  ASSERT_GE(r.net.calls.size(), 2u);
  EXPECT_EQ(r.net.calls[r.net.calls.size() - 2], "ServerSendData");
  EXPECT_EQ(r.net.calls.back(), "ServerClose");
  EXPECT_EQ(r.net.sent.back(), "\x19");
}

TEST(CorvanaBridgeRun, CardResponseIsAcknowledgedAndHandedBack) {
  Exchange r;
  r.net.answer(cf_response());
  ASSERT_EQ(r.go(), 0) << r.bridge.detail();

  EXPECT_EQ(r.net.calls, kConnectAndSend + Strings({"ServerSendData", "ServerReceiveData 45",
                                                    "ServerClose"}));
  EXPECT_EQ(r.net.sent, (Strings{kMessage, "\x06"}));
  const std::string normalised =
      walk_fields(card_data(kField3Cf), expand_bitmap(bitmap_of({3, 4, 11, 39, 44, 63})), Kind::CF)
          .normalised;
  EXPECT_EQ(r.writes(), kStartWrites + Strings({"floyd/corvana_power=" + normalised,
                                                "floyd/corvana_text=" + cf_response(),
                                                "floyd/corvana_state=End"}));
  EXPECT_EQ(r.key(kErrorKey), "");
  EXPECT_EQ(r.bridge.markers(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14,
                                                  15, 16, 17, 18, 21, 22, 23}));
}

TEST(CorvanaBridgeRun, KoreanResponseComesBackAsReceived) {
  Exchange r;
  const std::string field63 = "004" + text::utf8_to_cp949("승인");
  const std::string response = text::utf8_to_cp949("응답") + "ISO0123456" + "9910" +
                               bitmap_of({3, 39, 63}) + "000000" + "05" + field63;
  r.net.answer(response);
  ASSERT_EQ(r.go(), 0) << r.bridge.detail();
  EXPECT_EQ(r.mb.value(mailbox::kFloyd, kTextKey), response);
  EXPECT_EQ(r.mb.value(mailbox::kFloyd, kPowerKey), "000000" "05" "000" "000" "000" + field63);
}

TEST(CorvanaBridgeRun, JobsStartAndEndOnlyRestartTheLibrary) {
  for (const auto& [job, calls] : {std::pair{"S/10.1.2.3/7000", Strings{"StopDLL", "StartDLL"}},
                                   std::pair{"E/10.1.2.3/7000", Strings{"StopDLL"}}}) {
    Exchange r;
    EXPECT_EQ(r.go(job), 0);
    EXPECT_EQ(r.net.calls, calls);
    EXPECT_EQ(r.writes(), kStartWrites + Strings({"floyd/corvana_state=End"}));
    EXPECT_EQ(r.key(kTextKey), kRequest) << "the request stays";
    EXPECT_EQ(r.bridge.markers(), (std::vector<int>{1, 2, 3}));
  }
}

// Failures before the link is up: nothing to drop. The start state is read
// before anything is written; every later failure follows the start writes.
TEST(CorvanaBridgeRun, FailuresWithoutALink) {
  struct Case {
    const char* line = "C/10.1.2.3/7000";
    const char* state = "start";
    const char* request = "AB12";
    std::int32_t connect = 1;
    int fail_call = 0;  // the library call that fails as a missing library does
    const char* error;
    std::size_t calls = 0;
  };
  const Case cases[] = {
      {.state = "Start", .error = "시작 상태 오류"}, {.state = "start ", .error = "시작 상태 오류"},
      {.state = "", .error = "시작 상태 오류"},      {.line = "", .error = "시작 초기값 Null 오류"},
      {.line = "X/10.1.2.3/7000", .error = "시작 초기값 작업 구분 오류"},
      {.line = "c/10.1.2.3/7000", .error = "시작 초기값 작업 구분 오류"},
      // Too few parts, or a port that is no 16-bit number: an unexpected
      // failure in step 2, before the library is touched.
      {.line = "S/10.1.2.3", .error = "System 오류 : 2"}, {.line = "E/10.1.2.3/65000", .error = "System 오류 : 2"},
      {.request = "", .error = "전문 생성 오류"},
      {.connect = -1, .error = "Connect Socket 오류", .calls = 2},
      {.connect = -2, .error = "Connect SSL 오류", .calls = 2},
      {.connect = 0, .error = "Connect SSL 오류", .calls = 2},
      // A library that cannot be loaded fails at the first call into it.
      {.fail_call = 1, .error = "System 오류 : 5", .calls = 1},
      {.line = "S/10.1.2.3/7000", .fail_call = 1, .error = "System 오류 : 3", .calls = 1},
      {.line = "E/10.1.2.3/7000", .fail_call = 1, .error = "System 오류 : 3", .calls = 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.line) + " / " + c.state + " / " + c.request);
    Exchange r;
    r.mb.set(mailbox::kFloyd, kStateKey, c.state);
    r.mb.set(mailbox::kFloyd, kTextKey, c.request);
    r.net.connect_result = c.connect;
    r.net.fail_call = c.fail_call;
    EXPECT_EQ(r.go(c.line), 1);
    const bool started = std::string_view(c.state) == "start";
    EXPECT_EQ(r.writes(), (started ? kStartWrites : Strings{}) + failure_writes(c.error));
    EXPECT_EQ(r.bridge.error_text(), text::utf8_to_cp949(c.error));
    EXPECT_EQ(r.net.calls.size(), c.calls);
    EXPECT_TRUE(r.net.sent.empty());
  }
}

TEST(CorvanaBridgeRun, ExchangeFaultsDropTheLink) {
  using Blocks = std::deque<ScriptedNetwork::Block>;
  auto enq_and = [](std::string block) { return Blocks{{"\x05", {}}, {std::move(block), {}}}; };
  struct Case {
    const char* name;
    Blocks blocks;
    std::deque<std::int32_t> sends;
    const char* error;
  };
  const std::string cf = cf_response();
  const std::vector<Case> cases = {
      {"no ENQ in the wait", {}, {}, "Connect Receive 오류 : 0"},
      {"EOT instead of ENQ", {{"\x04", {}}}, {}, "Connect Receive 오류 : 1"},
      {"request not sent", {{"\x05", {}}}, {-3}, "전문 전송 오류 : -3"},
      {"request sent as 0 bytes", {{"\x05", {}}}, {0}, "전문 전송 오류 : 0"},
      {"no response", {{"\x05", {}}}, {}, "전문 전송 확인 오류 : 0"},
      {"receive failed", {{"\x05", {}}, {"", -1}}, {}, "전문 전송 확인 오류 : -1"},
      {"blank response", enq_and("    "), {}, "전문 해석 데이타 널(NULL) 오류"},
      {"NAK", enq_and("\x15"), {}, "전문 해석 망 데이타 손실 오류"},
      {"unknown type", enq_and(response("0200", bitmap_of({3}), "100000")), {}, "전문 해석 종류 오류 : 0200"},
      {"short response", enq_and("ISO0123"), {}, "전문 해석 종류 오류 : "},
      {"unknown deal", enq_and(response("0910", bitmap_of({3}), "120000")), {}, "전문 해석 거래 종류 오류"},
      {"short bitmap", enq_and(response("9910", "200000000000000", "")), {}, "전문 해석 자릿수 오류"},
      {"bytes behind the fields", enq_and(cf + "0"), {}, "전문 해석 결과값 오류"},
      {"bit 2 set", enq_and(response("0910", bitmap_of({2, 3, 39}), "1041111000000000")), {},
       "전문 해석 결과값 오류"},
      {"field past the end", enq_and(response("0910", bitmap_of({3, 4}), "100000000")), {}, "System 오류 : 16"},
      {"ACK not sent", enq_and(cf), {100, 0}, "최종 응답 송신 오류 : 0"},
      {"no EOT in the wait", enq_and(cf), {}, "최종 응답 수신 오류 : 0"},
      {"ENQ instead of EOT", {{"\x05", {}}, {cf, {}}, {"\x05", {}}}, {}, "최종 응답 수신 오류 : 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Exchange r;
    r.net.blocks = c.blocks;
    r.net.send_results = c.sends;
    expect_failure(r, r.go(), c.error);
    expect_dropped(r);
    EXPECT_EQ(std::count(r.net.calls.begin(), r.net.calls.end(), "ServerClose"), 1);
  }
}

TEST(CorvanaBridgeRun, StepMarkerNamesTheStepOfAnUnexpectedFailure) {
  // The call that fails, counted from 1 in a complete exchange, and the
  // marker reported; from step 7 on the link is dropped as well.
  const std::vector<std::pair<int, int>> failing = {
      {1, 5}, {2, 6}, {3, 7}, {4, 8}, {5, 9}, {6, 21}, {7, 22}, {8, 23}};
  for (const auto& [call, marker] : failing) {
    SCOPED_TRACE(call);
    Exchange r;
    r.net.answer(cf_response());
    r.net.fail_call = call;
    expect_failure(r, r.go(), "System 오류 : " + std::to_string(marker));
    if (marker >= 7) {
      expect_dropped(r);
    } else {
      EXPECT_EQ(r.net.calls.size(), static_cast<std::size_t>(call));
    }
  }
}

// A mailbox whose writes of one key fail once.
struct FailingMailbox : mailbox::testing::MapMailbox {
  std::string fail_put;
  void put(std::string_view s, std::string_view k, std::string_view v) override {
    if (k == fail_put) {
      fail_put.clear();
      throw Failure(Err::PermissionDenied);
    }
    MapMailbox::put(s, k, v);
  }
};

TEST(CorvanaBridgeRun, ResultThatCannotBeWrittenIsAFailureOfTheLastStep) {
  // Reported as a failure of step 23, without EM or a second close on the
  // link that is closed already.
  FailingMailbox mb;
  ScriptedNetwork net;
  mb.set(mailbox::kFloyd, kStateKey, "start");
  mb.set(mailbox::kFloyd, kTextKey, std::string(kRequest));
  mb.fail_put = std::string(kPowerKey);
  net.answer(cf_response());
  Bridge bridge(net, mb);
  EXPECT_EQ(bridge.run("C/10.1.2.3/7000"), 1);
  EXPECT_EQ(text::cp949_to_utf8(mb.value(mailbox::kFloyd, kErrorKey)), "System 오류 : 23");
  EXPECT_EQ(mb.value(mailbox::kFloyd, kStateKey), "End");
  EXPECT_EQ(std::count(net.calls.begin(), net.calls.end(), "ServerClose"), 1);
  EXPECT_EQ(net.calls.back(), "ServerClose");
  EXPECT_EQ(net.sent, (Strings{kMessage, "\x06"}));
  EXPECT_EQ(mb.value(mailbox::kFloyd, kTextKey), "");
}

TEST(CorvanaBridgeRun, OverlongRequestIsRefusedBeforeItIsSent) {
  Exchange r;
  r.mb.set(mailbox::kFloyd, kTextKey, "AB" + std::string(32766, '1'));
  r.net.answer(cf_response());
  expect_failure(r, r.go(), "System 오류 : 8");
  // The checksum covered all of it; the message with "004" and the digits
  // does not fit a 16-bit length and is never handed to the library.
  EXPECT_EQ(r.net.sent, (Strings{"\x19"}));
}

}  // namespace
}  // namespace pink::corvana
