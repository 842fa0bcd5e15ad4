#include "msgcall/records.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

namespace pink::msgcall::wire {
namespace {

constexpr std::array<const Record*, 6> kRecords = {&kLoginRequest, &kLoginReply, &kSendHeader,
                                                   &kMessageBody, &kAttachmentHeader, &kSendResult};

// Every field lies inside its record and every slot has room in Values.
constexpr bool tables_fit() {
  for (const Record* r : kRecords) {
    if (r->slots > std::tuple_size_v<decltype(Values::text)>) return false;
    for (const Field& f : r->fields) {
      if (f.offset + f.size > r->size) return false;
      if (f.content == Content::Value && f.slot >= r->slots) return false;
      if (f.content == Content::Fixed && f.fixed.size() != f.size) return false;
    }
  }
  return true;
}
static_assert(tables_fit());

const Field* value_field(const Record& record, std::uint8_t slot) {
  for (const Field& f : record.fields) {
    if (f.content == Content::Value && f.slot == slot) return &f;
  }
  return nullptr;
}

std::string_view as_text(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// Decimal text of 1 to `max_digits` digits and nothing else.
std::optional<std::uint64_t> decimal(std::string_view text, std::size_t max_digits) {
  if (text.empty() || text.size() > max_digits) return std::nullopt;
  std::uint64_t v = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return v;
}

template <std::size_t N>
std::array<std::uint8_t, N> build(const Record& record, std::initializer_list<std::string_view> values) {
  std::array<std::uint8_t, N> out{};
  write(record, out, std::span<const std::string_view>(values.begin(), values.size()));
  return out;
}

}  // namespace

bool write(const Record& record, std::span<std::uint8_t> out, std::span<const std::string_view> values) {
  if (out.size() != record.size || values.size() != record.slots) return false;
  std::fill(out.begin(), out.end(), std::uint8_t{0});
  for (const Field& f : record.fields) {
    std::string_view text;
    if (f.content == Content::Fixed) text = f.fixed;
    if (f.content == Content::Value) text = values[f.slot];
    const std::size_t n = std::min<std::size_t>(text.size(), f.size);
    if (n > 0) std::memcpy(out.data() + f.offset, text.data(), n);
  }
  return true;
}

std::optional<Values> read(const Record& record, std::span<const std::uint8_t> bytes, std::string& error) {
  if (bytes.size() != record.size) {
    error = std::string(record.name) + ": " + std::to_string(bytes.size()) + " bytes, not " +
            std::to_string(record.size);
    return std::nullopt;
  }
  Values values;
  for (const Field& f : record.fields) {
    const std::string_view field = as_text(bytes.subspan(f.offset, f.size));
    if (f.content == Content::Fixed && field != f.fixed) {
      error = std::string(record.name) + ": " + std::string(f.name) + " is not \"" + std::string(f.fixed) + "\"";
      return std::nullopt;
    }
    if (f.content == Content::Value) values.text[f.slot] = std::string(field.substr(0, field.find('\0')));
  }
  return values;
}

std::string_view as_carried(const Record& record, std::uint8_t slot, std::string_view text) {
  const Field* f = value_field(record, slot);
  return f == nullptr ? std::string_view() : text.substr(0, f->size);
}

std::span<const std::uint8_t> raw_field(const Record& record, std::uint8_t slot, std::span<const std::uint8_t> bytes) {
  const Field* f = value_field(record, slot);
  if (f == nullptr || bytes.size() < static_cast<std::size_t>(f->offset + f->size)) return {};
  return bytes.subspan(f->offset, f->size);
}

std::string version_text() {
  return std::string(kClientVersion) + "_" + std::to_string(kClientRevision) + "DA0";
}

LoginRequestBytes login_request(const Message& m) {
  const std::string version = version_text();
  const std::string_view type = std::string_view(m.type).substr(0, 1);
  return build<67>(kLoginRequest, {m.dept_code, version, type, m.user_code});
}

SendHeaderBytes send_header(const Message& m, int attachments, bool last) {
  const std::string count = std::to_string(attachments);
  const std::string_view has_text = m.call_message.empty() ? "" : "1";
  return build<204>(kSendHeader, {m.seq_no, m.call_phone, m.req_phone, m.rdatetime, m.subject, has_text, count,
                                  last ? "N" : "Y"});
}

std::optional<std::string> message_body(std::string_view text) {
  if (text.size() > kMaxTextLength) return std::nullopt;
  std::string body(kMessageBody.size + text.size(), '\0');
  const std::string length = std::to_string(text.size());
  const std::string_view values[] = {length};
  write(kMessageBody, std::span<std::uint8_t>(reinterpret_cast<std::uint8_t*>(body.data()), kMessageBody.size),
        values);
  if (!text.empty()) std::memcpy(body.data() + kMessageBody.size, text.data(), text.size());
  return body;
}

AttachmentHeaderBytes attachment_header(std::uint64_t size, std::string_view extension) {
  const std::string digits = std::to_string(size);
  return build<14>(kAttachmentHeader, {digits, extension});
}

std::uint8_t login_reply_code(std::span<const std::uint8_t, 4> reply) {
  return raw_field(kLoginReply, reply_slot::kResult, reply)[0];
}

std::uint8_t send_result_code(std::span<const std::uint8_t, 36> result) {
  return raw_field(kSendResult, reply_slot::kResult, result)[0];
}

std::optional<LoginRequestFields> parse_login_request(std::span<const std::uint8_t> bytes, std::string& error) {
  const auto v = read(kLoginRequest, bytes, error);
  if (!v) return std::nullopt;
  using namespace login_request_slot;
  return LoginRequestFields{(*v)[kDeptCode], (*v)[kVersion], (*v)[kType], (*v)[kUserCode]};
}

std::optional<SendHeaderFields> parse_send_header(std::span<const std::uint8_t> bytes, std::string& error) {
  const auto v = read(kSendHeader, bytes, error);
  if (!v) return std::nullopt;
  using namespace send_header_slot;
  SendHeaderFields h{(*v)[kSeqNo], (*v)[kCallPhone], (*v)[kReqPhone], (*v)[kRDateTime], (*v)[kSubject]};
  const auto count = decimal((*v)[kFileCount], 4);
  if ((*v)[kHasText] != "1" && !(*v)[kHasText].empty()) {
    error = "SendHeader: HasText is \"" + (*v)[kHasText] + "\", not \"1\" or empty";
  } else if (!count || *count > 3) {
    error = "SendHeader: FileCount is \"" + (*v)[kFileCount] + "\", not 0 to 3";
  } else if ((*v)[kMore] != "Y" && (*v)[kMore] != "N") {
    error = "SendHeader: More is \"" + (*v)[kMore] + "\", not Y or N";
  } else {
    h.has_text = (*v)[kHasText] == "1";
    h.file_count = static_cast<int>(*count);
    h.last = (*v)[kMore] == "N";
    return h;
  }
  return std::nullopt;
}

std::optional<std::size_t> parse_body_length(std::span<const std::uint8_t> bytes, std::string& error) {
  const auto v = read(kMessageBody, bytes, error);
  if (!v) return std::nullopt;
  const auto n = decimal((*v)[body_slot::kLength], 4);
  if (!n) {
    error = "MessageBody: length \"" + (*v)[body_slot::kLength] + "\" is no decimal number";
    return std::nullopt;
  }
  return static_cast<std::size_t>(*n);
}

std::optional<AttachmentHeaderFields> parse_attachment_header(std::span<const std::uint8_t> bytes,
                                                              std::string& error) {
  const auto v = read(kAttachmentHeader, bytes, error);
  if (!v) return std::nullopt;
  const auto n = decimal((*v)[attachment_slot::kSize], 10);
  if (!n) {
    error = "AttachmentHeader: size \"" + (*v)[attachment_slot::kSize] + "\" is no decimal number";
    return std::nullopt;
  }
  return AttachmentHeaderFields{*n, (*v)[attachment_slot::kExtension]};
}

std::array<std::uint8_t, 4> login_reply(std::uint8_t code) {
  const char c = static_cast<char>(code);
  return build<4>(kLoginReply, {std::string_view(&c, 1)});
}

std::array<std::uint8_t, 36> send_result(std::uint8_t code) {
  const char c = static_cast<char>(code);
  return build<36>(kSendResult, {std::string_view(&c, 1)});
}

}  // namespace pink::msgcall::wire
