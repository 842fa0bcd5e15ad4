// The texts of the day log: one row per event with its message (cp949) and
// the LINE number it carries in each call, read by one formatter.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace pink::msgcall::logtext {

enum class Event : std::uint8_t {
  Unreachable,            // neither server could be reached
  LoginNotSent,           // LoginRequest not sent whole
  LoginReplyNotReceived,  // LoginReply not received whole
  LoginAccepted,
  LoginRefused,
  HeaderNotSent,          // SendHeader not sent whole
  BodyNotSent,            // MessageBody not sent whole (or its text too long)
  AttachmentFailed,
  ResultNotReceived,      // SendResult not received whole
  MessageAccepted,
  MessageRefused,
};

// Which call writes the line; each has its own LINE numbers.
enum class Caller : std::uint8_t { Send, Batch, Connect };

// The LINE number of an event in a call (0 where the call has no such line).
int line_number(Event event, Caller caller);

// Who and what a line is about, as the records carried them: SENDID is
// user/dept (empty in a batch message sent without logging in), CALL the
// CallPhone, SEQNO the SeqNo.
struct Subject {
  std::string user, dept, call, seq;
};

// The message of an event with its LINE number. `value` is NRET for the
// "not sent / received whole" events and the attachment failure, the reply
// byte (RESULT) for the refusals.
std::string message(Event event, Caller caller, const Subject& who, int value = 0);

// "[primary][port],[secondary][port]에 연결할수 없습니다.line[N]\n"
std::string unreachable(std::string_view primary, int primary_port, std::string_view secondary,
                        int secondary_port, Caller caller);

// "step2 host[name][code]\n": the name could not be looked up.
std::string lookup_failed(std::string_view host, int error);
// "step3\n": the connect failed.
std::string connect_failed();

// The formatter: "%s", "%d" and "%c" take the next argument (a text, a
// number, a byte), "%%" is a percent sign; any other text is copied. Missing
// arguments format as nothing. No fixed buffer: the result is as long as it
// needs to be (the day log bounds its lines).
using Arg = std::variant<std::string_view, long, char>;
std::string format(std::string_view pattern, std::initializer_list<Arg> args);

}  // namespace pink::msgcall::logtext
