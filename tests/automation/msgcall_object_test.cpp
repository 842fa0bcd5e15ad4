// The message sending object through the automation C interface, with the
// client's operations played by a double: both ProgIDs, DISPIDs 1 to 4,
// the texts arriving in cp949 in their places, the socket and flags passed
// on, and every result coming back in the out-argument and the result.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "msgcall/members.h"
#include "tests/automation/core_double.h"
#include "tests/automation/values.h"

namespace pink::msgcall {
namespace {

using automation::testing::i2;
using automation::testing::i4;
using automation::testing::Obj;
using automation::testing::out;
using automation::testing::str;
using testing::core_double;

// SeqNo, Type, UserCode, DeptCode, CallPhone, ReqPhone, Subject, CallMessage,
// RDateTime, FilePath1..3, as a POS passes them (UTF-8 on Linux).
const std::vector<const char*> kTexts = {
    "A0001", "M", "홍길동", "영업부", "01012345678", "0212345678", "제목",
    "본문 내용", "2024010112300000", "/tmp/한글 파일.jpg", nullptr, "",
};

std::vector<pink_value> texts() {
  std::vector<pink_value> v;
  for (const char* t : kTexts) v.push_back(str(t));
  return v;
}

void expect_message(const Message& m) {
  EXPECT_EQ(m.seq_no, "A0001");
  EXPECT_EQ(m.type, "M");
  EXPECT_EQ(m.user_code, "\xC8\xAB\xB1\xE6\xB5\xBF");
  EXPECT_EQ(m.dept_code, "\xBF\xB5\xBE\xF7\xBA\xCE");
  EXPECT_EQ(m.call_phone, "01012345678");
  EXPECT_EQ(m.req_phone, "0212345678");
  EXPECT_EQ(m.subject, "\xC1\xA6\xB8\xF1");
  EXPECT_EQ(m.call_message, "\xBA\xBB\xB9\xAE \xB3\xBB\xBF\xEB");
  EXPECT_EQ(m.rdatetime, "2024010112300000");
  EXPECT_EQ(m.file_paths[0], "/tmp/\xC7\xD1\xB1\xDB \xC6\xC4\xC0\xCF.jpg");
  EXPECT_EQ(m.file_paths[1], "");  // a NULL string is empty
  EXPECT_EQ(m.file_paths[2], "");
}

class MsgcallObject : public ::testing::Test {
 protected:
  void SetUp() override { testing::reset_core_double(); }
};

TEST_F(MsgcallObject, IsCreatedByBothProgIdsWithItsFourMembers) {
  for (const char* progid : {"msgcall.MSGCALLMSG", "msgcall.MSGCALLMSG.1", "MSGCALL.msgcallmsg"}) {
    Obj o(progid);
    ASSERT_TRUE(o) << progid;
    EXPECT_EQ(pink_dispid(o.get(), "MMSSend"), 1);
    EXPECT_EQ(pink_dispid(o.get(), "mmsconnect"), 2);
    EXPECT_EQ(pink_dispid(o.get(), "MMSClose"), 3);
    EXPECT_EQ(pink_dispid(o.get(), "MMSSENDDONGBO"), 4);
    EXPECT_EQ(pink_dispid(o.get(), "MMSSendAll"), -1);
    // No window: nothing to pump, nothing to draw; the descriptor is there.
    EXPECT_EQ(pink_pump(o.get(), 0), 0);
    EXPECT_GE(pink_fd(o.get()), 0);
    EXPECT_EQ(pink_snapshot(o.get(), "/tmp/msgcall.png", 100, 100), -1);
  }
  EXPECT_EQ(pink_create("msgcall.MSGCALLMSG.2"), nullptr);
}

TEST_F(MsgcallObject, MMSSendPassesTheTextsInCp949AndReturnsTheResultTwice) {
  Obj o("msgcall.MSGCALLMSG");
  for (std::int32_t answer : {1, -6, -82}) {  // accepted, an attachment, a refusal byte
    core_double().answer = answer;
    std::vector<pink_value> args = texts();
    args.push_back(out(PINK_I4, 12345));
    pink_value r{};
    ASSERT_EQ(pink_invoke(o.get(), 1, PINK_METHOD, args.data(), 13, &r), PINK_OK);
    EXPECT_EQ(args[12].num, answer);
    EXPECT_EQ(r.type, PINK_I4);
    EXPECT_EQ(r.num, answer);
  }
  ASSERT_EQ(core_double().calls.size(), 3u);
  EXPECT_EQ(core_double().calls[0].operation, "send");
  expect_message(core_double().calls[0].message);
}

TEST_F(MsgcallObject, ABatchPassesSocketAndFlagsThroughConnectSendDongboAndClose) {
  Obj o("msgcall.MSGCALLMSG.1");
  pink_value r{};
  core_double().answer = 7;
  std::vector<pink_value> connect = {out(PINK_EMPTY)};
  ASSERT_EQ(pink_invoke(o.get(), 2, PINK_METHOD, connect.data(), 1, &r), PINK_OK);
  EXPECT_EQ(connect[0].type, PINK_I4);
  EXPECT_EQ(connect[0].num, 7);
  EXPECT_EQ(r.num, 7);

  core_double().answer = 1;
  std::vector<pink_value> send = {i4(connect[0].num), i2(1), i4(0)};  // int flags may come as I2
  for (const pink_value& t : texts()) send.push_back(t);
  send.push_back(out(PINK_I4));
  ASSERT_EQ(pink_invoke(o.get(), 4, PINK_METHOD, send.data(), 16, &r), PINK_OK);
  EXPECT_EQ(send[15].num, 1);
  EXPECT_EQ(r.num, 1);

  core_double().answer = -44;
  std::vector<pink_value> close = {i4(7), out(PINK_I4, -1)};
  ASSERT_EQ(pink_invoke(o.get(), 3, PINK_METHOD, close.data(), 2, &r), PINK_OK);
  EXPECT_EQ(close[1].num, 0);
  EXPECT_EQ(r.num, 0);

  const auto& calls = core_double().calls;
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].operation, "connect");
  EXPECT_EQ(calls[1].operation, "send_dongbo");
  EXPECT_EQ(calls[1].socket_id, 7);
  EXPECT_EQ(calls[1].first, 1);
  EXPECT_EQ(calls[1].last, 0);
  expect_message(calls[1].message);
  EXPECT_EQ(calls[2].operation, "close");
  EXPECT_EQ(calls[2].socket_id, 7);
}

TEST_F(MsgcallObject, BadArgumentsReachNoOperation) {
  Obj o("msgcall.MSGCALLMSG");
  pink_value r{};
  std::vector<pink_value> twelve = texts();  // nRetVal missing
  EXPECT_EQ(pink_invoke(o.get(), 1, PINK_METHOD, twelve.data(), 12, &r), PINK_E_COUNT);
  std::vector<pink_value> by_value = texts();
  by_value.push_back(i4(0));  // nRetVal not by reference
  EXPECT_EQ(pink_invoke(o.get(), 1, PINK_METHOD, by_value.data(), 13, &r), PINK_E_TYPE);
  std::vector<pink_value> number_text = texts();
  number_text[4] = i4(1012345678);
  number_text.push_back(out(PINK_I4));
  EXPECT_EQ(pink_invoke(o.get(), 1, PINK_METHOD, number_text.data(), 13, &r), PINK_E_TYPE);
  std::vector<pink_value> close = {str("7"), out(PINK_I4)};
  EXPECT_EQ(pink_invoke(o.get(), 3, PINK_METHOD, close.data(), 2, &r), PINK_E_TYPE);
  std::vector<pink_value> short_out = {out(PINK_I2)};  // a socket may not fit a short
  EXPECT_EQ(pink_invoke(o.get(), 2, PINK_METHOD, short_out.data(), 1, &r), PINK_E_TYPE);
  EXPECT_EQ(pink_invoke(o.get(), 5, PINK_METHOD, nullptr, 0, &r), PINK_E_MEMBER);
  EXPECT_EQ(pink_invoke(o.get(), 2, PINK_GET, short_out.data(), 1, &r), PINK_E_MEMBER);
  EXPECT_TRUE(core_double().calls.empty());
}

}  // namespace
}  // namespace pink::msgcall
