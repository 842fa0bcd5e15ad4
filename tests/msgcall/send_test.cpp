// mms_send against the simulated provider on loopback: the bytes of every
// record, the edge cases of the fields and attachments, the provider's
// answers, the server fallback, and the day log of each.
#include <gtest/gtest.h>

#include "msgcall/msgcall.h"
#include "tests/msgcall/provider.h"

namespace pink::msgcall {
namespace {

using namespace testing;

TEST(Send, OneMessageWithTwoAttachmentsArrivesByteForByte) {
  Provider provider;
  Terminal terminal(provider);
  terminal.files().write("note.txt", "hello");
  terminal.files().write("photo.jpeg", std::string("\x00\xFF\x10", 3));
  Message m = message();
  m.file_paths = {terminal.files().file("note.txt"), terminal.files().file("photo.jpeg"), ""};

  ASSERT_EQ(mms_send(m), kAccepted) << terminal.log() << provider.log();

  EXPECT_EQ(provider.stored(1, "login.bin"),
            "B" "dept01" + z(6) + "1.1.3_0DA0" + z(4) + "M" + z(1) + "user01" + z(24) + z(8));
  const std::string header = "Q" "20240131-0001" + z(19) + "01012345678" + z(2) + "0212345678" + z(3) +
                             "2024013112000000" "\xC1\xA6\xB8\xF1" + z(116) + "1" + z(3) + "2" + z(3) + "N";
  EXPECT_EQ(provider.stored(1, "message.bin"), header + "4" + z(3) + "\xBA\xBB\xB9\xAE" +  // MessageBody
                                                   "5" + z(9) + "txt" + z(1) + "hello" +   // first file
                                                   "3" + z(9) + "jpeg" + std::string("\x00\xFF\x10", 3));
  EXPECT_EQ(provider.stored(1, "attachment2.jpeg"), std::string("\x00\xFF\x10", 3));
  EXPECT_NE(provider.stored(1, "header.txt").find("Subject=제목\n"), std::string::npos);

  const std::string log = terminal.log();
  EXPECT_NE(log.find(" " + kAuthOk + " SENDID=[user01/dept01] LINE=[516]\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" " + kCallOk + " SENDID=[user01/dept01] CALL=[01012345678] SEQNO=[20240131-0001] LINE=[709]\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(count_of(log, "\n"), 2u) << log;
}

TEST(Send, FieldsAreCutToTheirWidthAndEveryByteOfAFileIsSent) {
  Provider provider;
  Terminal terminal(provider);
  terminal.files().write("one.tiff5", "Z");
  Message m = message(std::string(32, '7') + "-TOO-LONG");
  m.subject = std::string(120, 'S') + "-beyond";
  m.file_paths = {terminal.files().file("one.tiff5"), "", ""};
  ASSERT_EQ(mms_send(m), kAccepted) << terminal.log();
  const std::string header = provider.stored(1, "header.bin");
  ASSERT_EQ(header.size(), 204u);
  EXPECT_EQ(header.substr(1, 32), std::string(32, '7'));
  EXPECT_EQ(header.substr(33, 13), "01012345678" + z(2));  // the next field untouched
  EXPECT_EQ(header.substr(75, 121), std::string(120, 'S') + "1");  // no terminator after the Subject
  // The five-letter extension loses its last letter; the single byte is sent.
  EXPECT_EQ(provider.stored(1, "message.bin").substr(204 + 8), "1" + z(9) + "tiff" + "Z");
  EXPECT_EQ(provider.stored(1, "attachment1.tiff"), "Z");
  EXPECT_NE(terminal.log().find("SEQNO=[" + std::string(32, '7') + "] LINE=[709]"), std::string::npos);

  // An empty text: zero bytes at 195 and a MessageBody of "0" and three zero bytes.
  m.call_message.clear();
  m.file_paths = {};
  ASSERT_EQ(mms_send(m), kAccepted);
  EXPECT_EQ(provider.stored(2, "header.bin").substr(195, 9), z(4) + "0" + z(3) + "N");
  EXPECT_EQ(provider.stored(2, "message.bin").substr(204), "0" + z(3));
}

TEST(Send, AttachmentsGoByPositionAndAFailureEndsTheSendWithMinusSix) {
  Provider provider;
  Terminal terminal(provider);
  terminal.files().write("second.txt", "2");
  Message m = message();
  m.file_paths = {"", terminal.files().file("second.txt"), ""};  // one named: the first path is tried
  EXPECT_EQ(mms_send(m), kAttachmentFailed);
  EXPECT_NE(terminal.log().find(" " + kCallFailed + " SENDID=[user01/dept01] CALL=[01012345678] "
                                "SEQNO=[20240131-0001] NRET=[-1] LINE=[670]\n"),
            std::string::npos)
      << terminal.log();
  EXPECT_NE(provider.log("done").find("AttachmentHeader 1: the terminal closed the connection"), std::string::npos)
      << provider.log();

  m.file_paths = {terminal.files().file("missing.txt"), "", ""};
  EXPECT_EQ(mms_send(m), kAttachmentFailed);
}

TEST(Send, TheProvidersAnswerDecidesTheResult) {
  struct Case {
    std::vector<std::string> script;
    std::int32_t result;
    std::string log_line;
  };
  const std::string sender = " SENDID=[user01/dept01]";
  const std::string call = sender + " CALL=[01012345678] SEQNO=[20240131-0001]";
  const Case cases[] = {
      {{"--login-reply", "E"}, 69, kAuthFailed + sender + " RESULT=[E] LINE=[524]\n"},
      {{"--result", "0xE0"}, -32, kCallFailed + call + " RESULT=[\xE0] LINE=[722]\n"},
      {{"--result", "0x01"}, 257, kCallFailed + call + " RESULT=[\x01] LINE=[722]\n"},
      {{"--close-before-result"}, kResultNotReceived, kCallFailed + call + " NRET=[-44] LINE=[692]\n"},
      {{"--short", "result"}, kResultNotReceived, kCallFailed + call + " NRET=[-44] LINE=[692]\n"},
      {{"--short", "login"}, kLoginReplyNotReceived, kAuthRequestFailed + " " + sender + " NRET=[-44] LINE=[505]\n"},
  };
  for (const Case& c : cases) {
    Provider provider(c.script);
    Terminal terminal(provider);
    EXPECT_EQ(mms_send(message()), c.result) << c.script[0];
    EXPECT_NE(terminal.log().find(c.log_line), std::string::npos) << c.script[0] << "\n" << terminal.log();
  }
}

TEST(Send, TheSecondaryServesWhenThePrimaryIsDownAndMinusOneWhenBothAre) {
  Provider provider;
  const std::uint16_t dead = closed_port();
  {
    Terminal terminal("127.0.0.1:" + std::to_string(dead), "localhost:" + std::to_string(provider.port()));
    EXPECT_EQ(mms_send(message()), kAccepted);
    const std::string log = terminal.log();
    EXPECT_EQ(count_of(log, " step3\n"), 1u) << log;
    EXPECT_NE(log.find("LINE=[709]"), std::string::npos) << log;
  }
  const std::uint16_t dead2 = closed_port();
  Terminal terminal("127.0.0.1:" + std::to_string(dead), "localhost:" + std::to_string(dead2));
  EXPECT_EQ(mms_send(message()), kNoServer);
  EXPECT_EQ(mms_connect(), kNoServer);
  const std::string log = terminal.log();
  EXPECT_EQ(count_of(log, " step3\n"), 4u) << log;
  const std::string both =
      "[127.0.0.1][" + std::to_string(dead) + "],[localhost][" + std::to_string(dead2) + "]" + kCannotConnect;
  EXPECT_NE(log.find(" " + both + "line[441]\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" " + both + "line[1052]\n"), std::string::npos) << log;
}

TEST(Send, ATextTooLongForItsLengthFieldSendsNothing) {
  Provider provider;
  Terminal terminal(provider);
  Message m = message();
  m.call_message = std::string(10000, 'x');
  EXPECT_EQ(mms_send(m), kBodyNotSent);
  EXPECT_NE(terminal.log().find(" " + kCallFailed + " SENDID=[user01/dept01] CALL=[01012345678] "
                                "SEQNO=[20240131-0001] NRET=[0] LINE=[646]\n"),
            std::string::npos)
      << terminal.log();
  // The longest text that fits goes out whole; the refused one never reached the provider.
  m.call_message = std::string(9999, 'y');
  EXPECT_EQ(mms_send(m), kAccepted);
  EXPECT_EQ(provider.stored(1, "body.txt"), m.call_message);
  EXPECT_FALSE(provider.has_stored(2));
  EXPECT_EQ(count_of(provider.log(), "] connected"), 1u) << provider.log();
}

TEST(Send, AMissingLogFolderLosesTheLinesNotTheMessage) {
  Provider provider;
  Terminal terminal(provider);
  testkit::TempDir elsewhere;
  testkit::ScopedEnv gone("PINK_MSG_LOGDIR", elsewhere.file("no/such/folder"));
  EXPECT_EQ(mms_send(message()), kAccepted);
  EXPECT_TRUE(provider.has_stored(1));
  EXPECT_FALSE(elsewhere.exists("no"));
}

}  // namespace
}  // namespace pink::msgcall
