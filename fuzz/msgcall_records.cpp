// The messaging provider's records over any bytes: the one reader and the one
// writer agree (a record read and written again reads the same, a value
// written reads back as the field carries it), the terminal's records parse
// on the provider's side to what was put in, and a reply byte is where the
// reader finds it.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <vector>

#include "fuzz/check.h"
#include "msgcall/records.h"

using namespace pink::msgcall;
using namespace pink::msgcall::wire;

namespace {

constexpr const Record* kRecords[] = {&kLoginRequest, &kLoginReply, &kSendHeader,
                                      &kMessageBody,  &kAttachmentHeader, &kSendResult};

// A value as it reads back: cut to its field, then up to its first zero.
std::string carried(const Record& r, std::uint8_t slot, std::string_view text) {
  const std::string_view c = as_carried(r, slot, text);
  return std::string(c.substr(0, c.find('\0')));
}

void record_round_trip(const Record& r, FuzzedDataProvider& in) {
  // Values in, record out, values back.
  std::vector<std::string> texts;
  for (std::uint8_t s = 0; s < r.slots; ++s) texts.push_back(in.ConsumeRandomLengthString(40));
  std::vector<std::string_view> views(texts.begin(), texts.end());
  std::vector<std::uint8_t> out(r.size);
  FUZZ_CHECK(write(r, out, views));
  std::string error;
  const auto back = read(r, out, error);
  FUZZ_CHECK(back.has_value());
  for (std::uint8_t s = 0; s < r.slots; ++s) {
    FUZZ_CHECK((*back)[s] == carried(r, s, texts[s]));
    FUZZ_CHECK(raw_field(r, s, out).size() <= r.size);
  }
  // A wrong size or a missing value writes nothing.
  std::vector<std::uint8_t> short_out(r.size - 1, 0xAA);
  FUZZ_CHECK(!write(r, short_out, views));
  FUZZ_CHECK(std::all_of(short_out.begin(), short_out.end(), [](std::uint8_t b) { return b == 0xAA; }));
  if (r.slots > 0) FUZZ_CHECK(!write(r, out, std::span(views).first(r.slots - 1u)));

  // Bytes in: what reads, written again, reads the same.
  const std::vector<std::uint8_t> bytes = in.ConsumeBytes<std::uint8_t>(r.size + (in.ConsumeBool() ? 1u : 0u));
  const auto values = read(r, bytes, error);
  if (bytes.size() != r.size) FUZZ_CHECK(!values.has_value());
  if (!values) return;
  std::vector<std::string_view> again(values->text.begin(), values->text.begin() + r.slots);
  std::vector<std::uint8_t> rewritten(r.size);
  FUZZ_CHECK(write(r, rewritten, again));
  const auto reread = read(r, rewritten, error);
  FUZZ_CHECK(reread.has_value() && reread->text == values->text);
}

void terminal_to_provider(FuzzedDataProvider& in) {
  Message m;
  m.seq_no = in.ConsumeRandomLengthString(40);
  m.type = in.ConsumeRandomLengthString(4);
  m.user_code = in.ConsumeRandomLengthString(40);
  m.dept_code = in.ConsumeRandomLengthString(16);
  m.call_phone = in.ConsumeRandomLengthString(16);
  m.req_phone = in.ConsumeRandomLengthString(16);
  m.subject = in.ConsumeRandomLengthString(130);
  m.call_message = in.ConsumeRandomLengthString(64);
  m.rdatetime = in.ConsumeRandomLengthString(20);
  const int attachments = in.ConsumeIntegralInRange(0, 3);
  const bool last = in.ConsumeBool();
  std::string error;

  const auto login = parse_login_request(login_request(m), error);
  FUZZ_CHECK(login.has_value());
  FUZZ_CHECK(login->dept_code == carried(kLoginRequest, login_request_slot::kDeptCode, m.dept_code));
  FUZZ_CHECK(login->user_code == carried(kLoginRequest, login_request_slot::kUserCode, m.user_code));
  FUZZ_CHECK(login->version == version_text());

  const auto header = parse_send_header(send_header(m, attachments, last), error);
  FUZZ_CHECK(header.has_value());
  FUZZ_CHECK(header->seq_no == carried(kSendHeader, send_header_slot::kSeqNo, m.seq_no));
  FUZZ_CHECK(header->subject == carried(kSendHeader, send_header_slot::kSubject, m.subject));
  FUZZ_CHECK(header->file_count == attachments && header->last == last);
  FUZZ_CHECK(header->has_text == !m.call_message.empty());

  const auto body = message_body(m.call_message);
  FUZZ_CHECK(body.has_value() && body->size() == kMessageBody.size + m.call_message.size());
  const auto length = parse_body_length(
      std::span(reinterpret_cast<const std::uint8_t*>(body->data()), kMessageBody.size), error);
  FUZZ_CHECK(length == m.call_message.size());
  FUZZ_CHECK(body->compare(kMessageBody.size, std::string::npos, m.call_message) == 0);

  const std::uint64_t size = in.ConsumeIntegralInRange<std::uint64_t>(0, 9999999999u);
  const std::string extension = in.ConsumeRandomLengthString(8);
  const auto attachment = parse_attachment_header(attachment_header(size, extension), error);
  FUZZ_CHECK(attachment.has_value() && attachment->size == size);
  FUZZ_CHECK(attachment->extension == carried(kAttachmentHeader, attachment_slot::kExtension, extension));
}

void provider_to_terminal(FuzzedDataProvider& in) {
  const auto code = in.ConsumeIntegral<std::uint8_t>();
  FUZZ_CHECK(login_reply_code(login_reply(code)) == code);
  FUZZ_CHECK(send_result_code(send_result(code)) == code);
  // Any bytes as a provider's parse: never a crash, a reason when refused.
  const std::vector<std::uint8_t> bytes = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange(0, 210));
  std::string error;
  if (!parse_login_request(bytes, error)) FUZZ_CHECK(!error.empty());
  error.clear();
  if (!parse_send_header(bytes, error)) FUZZ_CHECK(!error.empty());
  error.clear();
  if (const auto n = parse_body_length(bytes, error)) FUZZ_CHECK(*n <= kMaxTextLength);
  else FUZZ_CHECK(!error.empty());
  error.clear();
  if (const auto a = parse_attachment_header(bytes, error)) FUZZ_CHECK(a->size <= 9999999999u);
  else FUZZ_CHECK(!error.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  switch (in.ConsumeIntegralInRange(0, 7)) {
    case 6:
      terminal_to_provider(in);
      break;
    case 7:
      provider_to_terminal(in);
      break;
    default:
      record_round_trip(*kRecords[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kRecords) - 1)], in);
      break;
  }
  return 0;
}
