// Several messages over one connection against the simulated provider:
// logging in on the first, "Y" until the last, refusals that keep the
// connection, failures that close it, and a batch without a login.
#include <gtest/gtest.h>

#include "msgcall/msgcall.h"
#include "tests/msgcall/provider.h"

namespace pink::msgcall {
namespace {

using namespace testing;

TEST(Batch, ThreeMessagesOverOneConnectionMarkedYYN) {
  Provider provider({"--result", "O,E,O"});
  Terminal terminal(provider);
  const std::int32_t s = mms_connect();
  ASSERT_GT(s, 0) << terminal.log();
  EXPECT_EQ(mms_send_dongbo(s, 1, 0, message("1")), kAccepted);
  EXPECT_EQ(mms_send_dongbo(s, 0, 0, message("2")), 69);  // refused; the connection stays
  EXPECT_EQ(mms_send_dongbo(s, 0, 1, message("3")), kAccepted);
  EXPECT_EQ(mms_close(s), 0);

  for (int n = 1; n <= 3; ++n) {
    EXPECT_EQ(provider.stored(n, "header.bin").substr(1, 2), std::to_string(n) + z(1));
    EXPECT_EQ(provider.stored(n, "header.bin").substr(203), n < 3 ? "Y" : "N");
  }
  const std::string sim = provider.log("done");
  EXPECT_EQ(count_of(sim, "] connected"), 1u) << sim;
  EXPECT_EQ(count_of(sim, "<- LoginRequest"), 1u) << sim;
  EXPECT_NE(sim.find("that was the last message of the connection"), std::string::npos) << sim;

  const std::string log = terminal.log();
  EXPECT_NE(log.find(" " + kAuthOk + " SENDID=[user01/dept01] LINE=[822]\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" " + kCallOk + " SENDID=[user01/dept01] CALL=[01012345678] SEQNO=[1] LINE=[1020]\n"),
            std::string::npos)
      << log;
  // The later messages did not log in: their SENDID is empty.
  EXPECT_NE(log.find(" " + kCallFailed + " SENDID=[/] CALL=[01012345678] SEQNO=[2] RESULT=[E] LINE=[1033]\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find(" " + kCallOk + " SENDID=[/] CALL=[01012345678] SEQNO=[3] LINE=[1020]\n"), std::string::npos)
      << log;
}

TEST(Batch, WithoutALoginTheHeaderComesFirstAndTheProviderDecides) {
  Provider provider;
  Terminal terminal(provider);
  const std::int32_t s = mms_connect();
  ASSERT_GT(s, 0);
  EXPECT_EQ(mms_send_dongbo(s, 0, 1, message()), kAccepted);
  mms_close(s);
  EXPECT_EQ(provider.log("done").find("LoginRequest"), std::string::npos) << provider.log();
  EXPECT_FALSE(provider.store().exists("000001/login.bin"));
  EXPECT_NE(terminal.log().find(" " + kCallOk + " SENDID=[/] CALL=[01012345678] SEQNO=[20240131-0001] LINE=[1020]\n"),
            std::string::npos)
      << terminal.log();
}

TEST(Batch, EveryFailureClosesTheConnection) {
  Provider provider({"--login-reply", "0xE0"});
  Terminal terminal(provider);
  // A refused login closes it: the next message finds no connection.
  std::int32_t s = mms_connect();
  ASSERT_GT(s, 0);
  EXPECT_EQ(mms_send_dongbo(s, 1, 0, message()), -32);
  EXPECT_EQ(mms_send_dongbo(s, 0, 1, message()), kHeaderNotSent);
  EXPECT_NE(terminal.log().find(" " + kAuthFailed + " SENDID=[user01/dept01] RESULT=[\xE0] LINE=[830]\n"),
            std::string::npos);
  EXPECT_NE(terminal.log().find(" SENDID=[/] CALL=[01012345678] SEQNO=[20240131-0001] NRET=[-2] LINE=[927]\n"),
            std::string::npos)
      << terminal.log();

  // A text too long for its length field: nothing goes out and the connection is closed.
  s = mms_connect();
  ASSERT_GT(s, 0);
  Message long_text = message();
  long_text.call_message = std::string(12000, 'x');
  EXPECT_EQ(mms_send_dongbo(s, 0, 0, long_text), kBodyNotSent);
  EXPECT_NE(terminal.log().find(" SENDID=[/] CALL=[01012345678] SEQNO=[20240131-0001] NRET=[0] LINE=[957]\n"),
            std::string::npos)
      << terminal.log();
  EXPECT_EQ(mms_send_dongbo(s, 1, 0, message()), kLoginNotSent);
  EXPECT_NE(terminal.log().find(" SENDID=[user01/dept01] NRET=[-2] LINE=[797]\n"), std::string::npos);
  const std::string sim = provider.log("[2] done");
  EXPECT_NE(sim.find("[2] the terminal closed the connection"), std::string::npos) << sim;
  EXPECT_EQ(sim.find("[2] <-"), std::string::npos) << sim;  // not a byte of the long message

  // An identifier that was never handed out behaves as an invalid socket.
  EXPECT_EQ(mms_send_dongbo(987654, 1, 1, message()), kLoginNotSent);
  EXPECT_EQ(mms_close(987654), 0);
}

TEST(Batch, AnAttachmentFailureAndAMissingResultCloseTheConnection) {
  Provider provider({"--close-before-result"});
  Terminal terminal(provider);
  std::int32_t s = mms_connect();
  ASSERT_GT(s, 0);
  EXPECT_EQ(mms_send_dongbo(s, 1, 0, message()), kResultNotReceived);
  EXPECT_NE(terminal.log().find(" NRET=[-44] LINE=[1003]\n"), std::string::npos) << terminal.log();

  s = mms_connect();
  Message m = message();
  m.file_paths = {"no-extension", "", ""};
  EXPECT_EQ(mms_send_dongbo(s, 1, 0, m), kAttachmentFailed);
  EXPECT_NE(terminal.log().find(" NRET=[-1] LINE=[981]\n"), std::string::npos) << terminal.log();
  EXPECT_EQ(mms_send_dongbo(s, 0, 1, message()), kHeaderNotSent);
}

}  // namespace
}  // namespace pink::msgcall
