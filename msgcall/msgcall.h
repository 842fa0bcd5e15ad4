// The message sending client: MMS/SMS messages (a text, a subject and up to
// three attached files) sent through the messaging provider's servers over
// TCP, as one exchange of fixed-layout records per message, every step
// written to the day log.
//
// One message per connection:
//   msgcall::Message m{...};
//   std::int32_t r = msgcall::mms_send(m);          // 1 accepted
// Several messages over one connection:
//   std::int32_t s = msgcall::mms_connect();         // -1: no server
//   msgcall::mms_send_dongbo(s, 1, 0, first);        // logs in, "Y": more follow
//   msgcall::mms_send_dongbo(s, 0, 1, last);         // "N": the last one
//   msgcall::mms_close(s);
//
// Results (nRetVal) of mms_send and mms_send_dongbo: 1 accepted; -1 no
// server reachable (mms_send); -2 login not sent whole; -3 login reply not
// received whole; -4 header not sent whole; -5 message body not sent whole
// (or a text too long for its four-digit length field: nothing sent); -6 an
// attachment failed; -7 result not received whole; any other value: the
// provider's refusal byte (of the login reply or of the result) as a signed
// 8-bit value; a refusal byte 0x01, which would read as 1, gives 257.
//
// Texts are cp949. Every call is safe to make from several threads on
// different connections.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace pink::msgcall {

struct Message {
  std::string seq_no;        // the caller's sequence number (32-byte field)
  std::string type;          // its first character goes into the login
  std::string user_code;     // sender, with dept_code (login, log SENDID)
  std::string dept_code;
  std::string call_phone;    // the two phone numbers of the header
  std::string req_phone;
  std::string subject;       // 120-byte field
  std::string call_message;  // the message text
  std::string rdatetime;     // 16-character date-time field
  std::array<std::string, 3> file_paths;  // attachments, by position
};

inline constexpr std::int32_t kAccepted = 1;
inline constexpr std::int32_t kNoServer = -1;
inline constexpr std::int32_t kLoginNotSent = -2;
inline constexpr std::int32_t kLoginReplyNotReceived = -3;
inline constexpr std::int32_t kHeaderNotSent = -4;
inline constexpr std::int32_t kBodyNotSent = -5;
inline constexpr std::int32_t kAttachmentFailed = -6;
inline constexpr std::int32_t kResultNotReceived = -7;

// One message over a connection of its own: connect, log in, send, read the
// result, disconnect.
std::int32_t mms_send(const Message& message);

// Connects to the provider; the connection's identifier, or -1 when neither
// server could be reached.
std::int32_t mms_connect();

// Sends one message on a connection from mms_connect: logs in first when
// `first` is 1; marks the message as the last one when `last` is 1. Every
// failure (and a refused login) closes the connection; a refused message
// leaves it open.
std::int32_t mms_send_dongbo(std::int32_t socket_id, std::int32_t first, std::int32_t last,
                             const Message& message);

// Closes the connection (lingering off). Always 0.
std::int32_t mms_close(std::int32_t socket_id);

// The meaning of a result, for people ("accepted", "no server reachable",
// "refused by the provider (code 'X')" ...).
std::string describe_result(std::int32_t result);

}  // namespace pink::msgcall
