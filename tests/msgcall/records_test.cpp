// The records byte for byte against expectations written out by hand, the
// provider's parsers against every kind of bad record, and the results.
#include "msgcall/records.h"

#include <gtest/gtest.h>

#include <string>

#include "msgcall/client.h"

namespace pink::msgcall {
namespace {

std::string z(std::size_t n) { return std::string(n, '\0'); }

template <std::size_t N>
std::string str(const std::array<std::uint8_t, N>& a) {
  return std::string(a.begin(), a.end());
}

std::span<const std::uint8_t> span_of(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

Message sample() {
  Message m;
  m.seq_no = "20240131-0001";
  m.type = "MMS";
  m.user_code = "user01";
  m.dept_code = "dept01";
  m.call_phone = "01012345678";
  m.req_phone = "0212345678";
  m.subject = "Receipt";
  m.call_message = "Thank you";
  m.rdatetime = "2024013112000000";
  return m;
}

TEST(Records, LoginRequestIsPaddedCutAndCarriesTheVersionAndTheTypesFirstByte) {
  Message m = sample();
  EXPECT_EQ(str(wire::login_request(m)), "B" "dept01" + z(6) + "1.1.3_0DA0" + z(4) + "M" + z(1) + "user01" + z(24) +
                                             z(8));
  m.dept_code = "D123456789ABCDEF";            // 16 bytes: cut to 12
  m.user_code = std::string(31, 'u') + "X";    // 32 bytes: cut to 30
  m.type.clear();                              // no type: a zero byte
  EXPECT_EQ(str(wire::login_request(m)),
            "B" "D123456789AB" "1.1.3_0DA0" + z(4) + z(1) + z(1) + std::string(30, 'u') + z(8));
}

TEST(Records, SendHeaderFieldsAreCutToTheirWidthWithoutATerminator) {
  Message m = sample();
  EXPECT_EQ(str(wire::send_header(m, 2, false)),
            "Q" "20240131-0001" + z(19) + "01012345678" + z(2) + "0212345678" + z(3) + "2024013112000000" +
                "Receipt" + z(113) + "1" + z(3) + "2" + z(3) + "Y");

  // SeqNo of 40 bytes, Subject of 130: both cut, the next field right after.
  m.seq_no = std::string(32, 's') + "OVERFLOW";
  m.subject = std::string(120, 'S') + "0123456789";
  m.call_message.clear();  // empty text: zero bytes at 195
  const std::string h = str(wire::send_header(m, 0, true));
  ASSERT_EQ(h.size(), 204u);
  EXPECT_EQ(h.substr(1, 32), std::string(32, 's'));
  EXPECT_EQ(h.substr(33, 13), "01012345678" + z(2));
  EXPECT_EQ(h.substr(75, 120), std::string(120, 'S'));
  EXPECT_EQ(h.substr(195, 4), z(4));
  EXPECT_EQ(h.substr(199, 5), "0" + z(3) + "N");
}

TEST(Records, MessageBodyAndAttachmentHeader) {
  EXPECT_EQ(wire::message_body(""), "0" + z(3));
  EXPECT_EQ(wire::message_body("\xBA\xBB\xB9\xAE"), "4" + z(3) + "\xBA\xBB\xB9\xAE");
  const std::string longest(9999, 'x');
  EXPECT_EQ(wire::message_body(longest), "9999" + longest);
  EXPECT_FALSE(wire::message_body(std::string(10000, 'x')).has_value());

  EXPECT_EQ(str(wire::attachment_header(1, "jpeg")), "1" + z(9) + "jpeg");
  EXPECT_EQ(str(wire::attachment_header(102400, "jpegx")), "102400" + z(4) + "jpeg");
  EXPECT_EQ(str(wire::attachment_header(0, "")), "0" + z(13));
  EXPECT_EQ(str(wire::attachment_header(9999999999ull, "gif")), "9999999999" "gif" + z(1));
}

TEST(Records, RepliesAndTheirBytes) {
  EXPECT_EQ(str(wire::login_reply('1')), "1" + z(3));
  EXPECT_EQ(str(wire::send_result('O')), z(32) + "O" + z(3));
  std::array<std::uint8_t, 4> reply{'E', 'x', 'y', 'z'};
  EXPECT_EQ(wire::login_reply_code(reply), 'E');
  std::array<std::uint8_t, 36> result{};
  result[0] = 'O';  // only byte 32 counts
  result[32] = 0xE0;
  EXPECT_EQ(wire::send_result_code(result), 0xE0);
}

TEST(Records, TheProviderReadsBackWhatTheTerminalWrites) {
  Message m = sample();
  m.subject = std::string(120, 'S');
  std::string error;
  const auto login = wire::parse_login_request(wire::login_request(m), error);
  ASSERT_TRUE(login) << error;
  EXPECT_EQ(login->dept_code, "dept01");
  EXPECT_EQ(login->user_code, "user01");
  EXPECT_EQ(login->type, "M");
  EXPECT_EQ(login->version, "1.1.3_0DA0");

  const auto header = wire::parse_send_header(wire::send_header(m, 3, false), error);
  ASSERT_TRUE(header) << error;
  EXPECT_EQ(header->subject, std::string(120, 'S'));  // a full field reads whole
  EXPECT_EQ(header->seq_no, "20240131-0001");
  EXPECT_TRUE(header->has_text);
  EXPECT_EQ(header->file_count, 3);
  EXPECT_FALSE(header->last);

  const auto attachment = wire::parse_attachment_header(wire::attachment_header(4096, "png"), error);
  ASSERT_TRUE(attachment) << error;
  EXPECT_EQ(attachment->size, 4096u);
  EXPECT_EQ(attachment->extension, "png");
  EXPECT_EQ(wire::parse_body_length(span_of("9999"), error), 9999u);
  EXPECT_EQ(wire::parse_body_length(span_of("0" + z(3)), error), 0u);
}

TEST(Records, TheProvidersParsersRefuseBadRecords) {
  std::string error;
  const std::string login = str(wire::login_request(sample()));
  EXPECT_FALSE(wire::parse_login_request(span_of(login.substr(0, 66)), error));
  EXPECT_NE(error.find("66 bytes, not 67"), std::string::npos) << error;
  EXPECT_FALSE(wire::parse_login_request(span_of(login + "x"), error));
  EXPECT_FALSE(wire::parse_login_request(span_of("Q" + login.substr(1)), error));

  const std::string header = str(wire::send_header(sample(), 1, true));
  auto with = [&](std::size_t at, const std::string& bytes) { return header.substr(0, at) + bytes + header.substr(at + bytes.size()); };
  EXPECT_TRUE(wire::parse_send_header(span_of(header), error)) << error;
  EXPECT_FALSE(wire::parse_send_header(span_of(with(0, "B")), error));
  EXPECT_FALSE(wire::parse_send_header(span_of(with(195, "2")), error));
  EXPECT_FALSE(wire::parse_send_header(span_of(with(199, "4")), error));
  EXPECT_NE(error.find("FileCount"), std::string::npos) << error;
  EXPECT_FALSE(wire::parse_send_header(span_of(with(199, z(4))), error));
  EXPECT_FALSE(wire::parse_send_header(span_of(with(203, "X")), error));
  EXPECT_FALSE(wire::parse_send_header(span_of(header.substr(0, 203)), error));

  for (const std::string& bad : {std::string("12a") + z(1), z(4), std::string(" 12") + z(1), std::string("123")}) {
    EXPECT_FALSE(wire::parse_body_length(span_of(bad), error)) << bad;
  }
  for (const std::string& bad : {z(14), "12x" + z(7) + "jpeg", "-1" + z(8) + "jpeg", " 1" + z(8) + "jpeg"}) {
    EXPECT_FALSE(wire::parse_attachment_header(span_of(bad), error)) << bad;
  }
}

TEST(Results, RefusalBytesAreSignedAndNeverReadAsAccepted) {
  EXPECT_EQ(refusal_result(0xE0), -32);
  EXPECT_EQ(refusal_result('E'), 69);
  EXPECT_EQ(refusal_result(0x80), -128);
  EXPECT_EQ(refusal_result(0x00), 0);
  EXPECT_EQ(refusal_result(0x01), kRefusedWithOne);
  EXPECT_NE(refusal_result(0x01), kAccepted);

  EXPECT_EQ(describe_result(1), "accepted");
  EXPECT_EQ(describe_result(-1), "no server reachable");
  EXPECT_EQ(describe_result(-7), "the result was not received whole");
  EXPECT_EQ(describe_result(69), "refused by the provider (code 'E', 0x45)");
  EXPECT_EQ(describe_result(-32), "refused by the provider (code 0xE0)");
  EXPECT_EQ(describe_result(kRefusedWithOne), "refused by the provider (code 0x01)");
  EXPECT_EQ(describe_result(1000), "unknown result 1000");
}

}  // namespace
}  // namespace pink::msgcall
