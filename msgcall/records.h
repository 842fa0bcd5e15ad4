// The records exchanged with the messaging provider, as data: one table per
// record (offset, size, content of every field) read by one routine that
// writes a record into a fixed buffer and one that reads it back.
//
// Texts are cp949. A text field is left-aligned and padded with zero bytes; a
// text longer than its field is cut to the field (no terminating zero then).
// Numbers travel as decimal text in text fields.
//
// Terminal to provider: LoginRequest (67), SendHeader (204), MessageBody
// (4-byte length, then the text), per attached file AttachmentHeader (14)
// and the file's bytes. Provider to terminal: LoginReply (4), SendResult (36).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "msgcall/msgcall.h"

namespace pink::msgcall::wire {

enum class Content : std::uint8_t {
  Fixed,  // always the bytes of `fixed`
  Zero,   // always zero bytes
  Value,  // a text given per record (values[slot]), cut to the field
};

struct Field {
  std::string_view name;
  std::uint16_t offset;
  std::uint16_t size;
  Content content;
  std::string_view fixed = {};
  std::uint8_t slot = 0;
};

struct Record {
  std::string_view name;
  std::uint16_t size;
  std::span<const Field> fields;
  std::uint8_t slots;  // how many Value fields (slots 0 .. slots-1)
};

// Slots of the records' Value fields.
namespace login_request_slot { enum : std::uint8_t { kDeptCode, kVersion, kType, kUserCode, kCount }; }
namespace reply_slot { enum : std::uint8_t { kResult, kCount }; }
namespace send_header_slot {
enum : std::uint8_t { kSeqNo, kCallPhone, kReqPhone, kRDateTime, kSubject, kHasText, kFileCount, kMore, kCount };
}
namespace body_slot { enum : std::uint8_t { kLength, kCount }; }
namespace attachment_slot { enum : std::uint8_t { kSize, kExtension, kCount }; }

inline constexpr Field kLoginRequestFields[] = {
    {"Kind", 0, 1, Content::Fixed, "B"},
    {"DeptCode", 1, 12, Content::Value, {}, login_request_slot::kDeptCode},
    {"Version", 13, 14, Content::Value, {}, login_request_slot::kVersion},
    {"Type", 27, 1, Content::Value, {}, login_request_slot::kType},
    {"Reserved", 28, 1, Content::Zero},
    {"UserCode", 29, 30, Content::Value, {}, login_request_slot::kUserCode},
    {"Reserved", 59, 8, Content::Zero},
};
inline constexpr Field kLoginReplyFields[] = {
    {"Result", 0, 1, Content::Value, {}, reply_slot::kResult},  // "1": accepted
    {"Unused", 1, 3, Content::Zero},
};
inline constexpr Field kSendHeaderFields[] = {
    {"Kind", 0, 1, Content::Fixed, "Q"},
    {"SeqNo", 1, 32, Content::Value, {}, send_header_slot::kSeqNo},
    {"CallPhone", 33, 13, Content::Value, {}, send_header_slot::kCallPhone},
    {"ReqPhone", 46, 13, Content::Value, {}, send_header_slot::kReqPhone},
    {"RDateTime", 59, 16, Content::Value, {}, send_header_slot::kRDateTime},
    {"Subject", 75, 120, Content::Value, {}, send_header_slot::kSubject},
    {"HasText", 195, 4, Content::Value, {}, send_header_slot::kHasText},      // "1" or nothing
    {"FileCount", 199, 4, Content::Value, {}, send_header_slot::kFileCount},  // "0" .. "3"
    {"More", 203, 1, Content::Value, {}, send_header_slot::kMore},            // "Y" more follow, "N" last
};
inline constexpr Field kMessageBodyFields[] = {
    {"Length", 0, 4, Content::Value, {}, body_slot::kLength},  // then the text's bytes
};
inline constexpr Field kAttachmentHeaderFields[] = {
    {"Size", 0, 10, Content::Value, {}, attachment_slot::kSize},  // then the file's bytes
    {"Extension", 10, 4, Content::Value, {}, attachment_slot::kExtension},
};
inline constexpr Field kSendResultFields[] = {
    {"Unused", 0, 32, Content::Zero},
    {"Result", 32, 1, Content::Value, {}, reply_slot::kResult},  // "O": accepted
    {"Unused", 33, 3, Content::Zero},
};

inline constexpr Record kLoginRequest{"LoginRequest", 67, kLoginRequestFields, login_request_slot::kCount};
inline constexpr Record kLoginReply{"LoginReply", 4, kLoginReplyFields, reply_slot::kCount};
inline constexpr Record kSendHeader{"SendHeader", 204, kSendHeaderFields, send_header_slot::kCount};
inline constexpr Record kMessageBody{"MessageBody", 4, kMessageBodyFields, body_slot::kCount};
inline constexpr Record kAttachmentHeader{"AttachmentHeader", 14, kAttachmentHeaderFields,
                                          attachment_slot::kCount};
inline constexpr Record kSendResult{"SendResult", 36, kSendResultFields, reply_slot::kCount};

inline constexpr char kLoginAccepted = '1';
inline constexpr char kMessageAccepted = 'O';
// The body's length field holds four decimal digits.
inline constexpr std::size_t kMaxTextLength = 9999;
// The client's version as the login carries it: "%s_%dDA0" of these two.
inline constexpr std::string_view kClientVersion = "1.1.3";
inline constexpr int kClientRevision = 0;

// The one writer: zero bytes everywhere, then every Fixed field and every
// Value field (values[slot], cut to the field). `out` must be record.size
// bytes and `values` must hold record.slots texts; otherwise nothing is
// written and the result is false.
bool write(const Record& record, std::span<std::uint8_t> out, std::span<const std::string_view> values);

// The one reader: the record must be exactly record.size bytes and every
// Fixed field must hold its bytes. Value fields come back up to their first
// zero byte (a text that fills its field comes back whole). On a mismatch,
// nothing and the reason in `error`.
struct Values {
  std::array<std::string, 9> text;
  const std::string& operator[](std::size_t slot) const { return text[slot]; }
};
std::optional<Values> read(const Record& record, std::span<const std::uint8_t> bytes, std::string& error);

// A text as a Value field carries it: cut to the field's size.
std::string_view as_carried(const Record& record, std::uint8_t slot, std::string_view text);

// The raw bytes of a Value field (all of them, zeros included).
std::span<const std::uint8_t> raw_field(const Record& record, std::uint8_t slot, std::span<const std::uint8_t> bytes);

// ---- The terminal's side ----------------------------------------------------

using LoginRequestBytes = std::array<std::uint8_t, 67>;
using SendHeaderBytes = std::array<std::uint8_t, 204>;
using AttachmentHeaderBytes = std::array<std::uint8_t, 14>;

// "1.1.3_0DA0"
std::string version_text();

LoginRequestBytes login_request(const Message& message);
// `attachments` 0..3; `last`: "N" at offset 203, else "Y".
SendHeaderBytes send_header(const Message& message, int attachments, bool last);
// The 4-byte length and the text; nothing for a text longer than kMaxTextLength.
std::optional<std::string> message_body(std::string_view text);
// `extension`: the text after the file name's last "." (cut to 4 bytes here).
AttachmentHeaderBytes attachment_header(std::uint64_t size, std::string_view extension);

// The reply byte of a LoginReply / SendResult (at offset 0 / 32).
std::uint8_t login_reply_code(std::span<const std::uint8_t, 4> reply);
std::uint8_t send_result_code(std::span<const std::uint8_t, 36> result);

// ---- The provider's side ----------------------------------------------------

struct LoginRequestFields {
  std::string dept_code, version, type, user_code;
};
struct SendHeaderFields {
  std::string seq_no, call_phone, req_phone, rdatetime, subject;
  bool has_text = false;
  int file_count = 0;
  bool last = true;
};
struct AttachmentHeaderFields {
  std::uint64_t size = 0;
  std::string extension;
};

std::optional<LoginRequestFields> parse_login_request(std::span<const std::uint8_t> bytes, std::string& error);
// Checks "Q", HasText "1" or empty, FileCount "0".."3", More "Y" or "N".
std::optional<SendHeaderFields> parse_send_header(std::span<const std::uint8_t> bytes, std::string& error);
// The length field of a MessageBody: 1 to 4 decimal digits.
std::optional<std::size_t> parse_body_length(std::span<const std::uint8_t> bytes, std::string& error);
// Size: 1 to 10 decimal digits.
std::optional<AttachmentHeaderFields> parse_attachment_header(std::span<const std::uint8_t> bytes,
                                                              std::string& error);

std::array<std::uint8_t, 4> login_reply(std::uint8_t code);
std::array<std::uint8_t, 36> send_result(std::uint8_t code);

}  // namespace pink::msgcall::wire
