// The batch's sending rules over a scripted link: one connection, the login
// with the first message, the last one marked, a new connection after a
// failure, no more tries when no server is reachable, and what each result
// is called.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "tools/msgsend/batch.h"

namespace pink::msgsend {
namespace {

// Records the object calls as text and answers from a script.
class ScriptedLink final : public Link {
 public:
  std::deque<std::int32_t> connects, sends;
  std::vector<std::string> calls;

  std::int32_t send(const Fields& m) override {
    calls.push_back("send " + m.seq);
    return next(sends);
  }
  std::int32_t connect() override {
    calls.push_back("connect");
    return next(connects);
  }
  std::int32_t send_dongbo(std::int32_t socket, bool first, bool last, const Fields& m) override {
    calls.push_back("dongbo " + std::to_string(socket) + (first ? " first" : "") + (last ? " last" : "") + " " + m.seq);
    return next(sends);
  }
  void close(std::int32_t socket) override { calls.push_back("close " + std::to_string(socket)); }

 private:
  static std::int32_t next(std::deque<std::int32_t>& q) {
    const std::int32_t v = q.empty() ? 1 : q.front();
    if (!q.empty()) q.pop_front();
    return v;
  }
};

std::vector<Fields> messages(int n) {
  std::vector<Fields> v(n);
  for (int i = 0; i < n; ++i) v[i].seq = "S" + std::to_string(i + 1);
  return v;
}

TEST(MsgsendSending, ABatchGoesOverOneConnectionLoggingInFirstAndMarkingTheLast) {
  ScriptedLink link;
  link.connects = {5};
  EXPECT_EQ(send_batch(link, messages(3)), (std::vector<std::int32_t>{1, 1, 1}));
  EXPECT_EQ(link.calls, (std::vector<std::string>{"connect", "dongbo 5 first S1", "dongbo 5 S2",
                                                  "dongbo 5 last S3", "close 5"}));
  ScriptedLink one;
  one.connects = {3};
  EXPECT_EQ(send_batch(one, messages(1)), (std::vector<std::int32_t>{1}));
  EXPECT_EQ(one.calls, (std::vector<std::string>{"connect", "dongbo 3 first last S1", "close 3"}));
}

TEST(MsgsendSending, AfterAFailureTheRestGoOverANewConnectionAndTheOldSocketIsLeftAlone) {
  ScriptedLink link;
  link.connects = {5, 6, 7};
  // S2 fails after the login (-6: the object closed the connection); S3 is
  // refused in the send that logs in (perhaps the login: closed too); S5's
  // refusal after the login leaves the connection open for S6.
  link.sends = {1, -6, 'E', 1, 'X', 1};
  EXPECT_EQ(send_batch(link, messages(6)), (std::vector<std::int32_t>{1, -6, 'E', 1, 'X', 1}));
  EXPECT_EQ(link.calls, (std::vector<std::string>{"connect", "dongbo 5 first S1", "dongbo 5 S2", "connect",
                                                  "dongbo 6 first S3", "connect", "dongbo 7 first S4",
                                                  "dongbo 7 S5", "dongbo 7 last S6", "close 7"}));
}

TEST(MsgsendSending, WhenNoServerIsReachableTheRestAreNotTried) {
  ScriptedLink link;
  link.connects = {5, -1};
  link.sends = {-7};
  EXPECT_EQ(send_batch(link, messages(4)), (std::vector<std::int32_t>{-7, -1, -1, -1}));
  EXPECT_EQ(link.calls, (std::vector<std::string>{"connect", "dongbo 5 first S1", "connect"}));
  ScriptedLink down;
  down.connects = {-1};
  EXPECT_EQ(send_batch(down, messages(2)), (std::vector<std::int32_t>{-1, -1}));
  EXPECT_EQ(down.calls, (std::vector<std::string>{"connect"}));
}

TEST(MsgsendSending, EachMessageIsReportedWithWhatItsResultMeans) {
  Fields m;
  m.seq = "A0001";
  EXPECT_EQ(report(1, m, 1), "message 2 (seq A0001): 1 accepted");
  EXPECT_EQ(report(0, m, -32), "message 1 (seq A0001): -32 refused by the provider (code 0xE0)");
}

}  // namespace
}  // namespace pink::msgsend
