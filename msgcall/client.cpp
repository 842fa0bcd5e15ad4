// One message: log in, SendHeader, MessageBody, the attachments by position,
// SendResult; every step written to the day log with the LINE number of its
// call. mms_send does it on a connection of its own; mms_send_dongbo on a
// batch connection, which every failure closes.
#include "msgcall/client.h"

#include <array>
#include <new>
#include <optional>

#include "msgcall/daylog.h"
#include "msgcall/link.h"
#include "msgcall/logtext.h"
#include "msgcall/records.h"

namespace pink::msgcall {
namespace {

using logtext::Caller;
using logtext::Event;
using Failure = std::optional<std::int32_t>;  // a result other than "done", or nothing

void log(Event event, Caller caller, const logtext::Subject& who, long value = 0) {
  daylog::write(logtext::message(event, caller, who, static_cast<int>(value)));
}

// SENDID as the login carries it.
void set_sender(logtext::Subject& who, const Message& m) {
  using namespace wire::login_request_slot;
  who.user = wire::as_carried(wire::kLoginRequest, kUserCode, m.user_code);
  who.dept = wire::as_carried(wire::kLoginRequest, kDeptCode, m.dept_code);
}

// CALL and SEQNO as the header carries them.
void set_message(logtext::Subject& who, const Message& m) {
  using namespace wire::send_header_slot;
  who.call = wire::as_carried(wire::kSendHeader, kCallPhone, m.call_phone);
  who.seq = wire::as_carried(wire::kSendHeader, kSeqNo, m.seq_no);
}

bool text_fits(const Message& m) { return m.call_message.size() <= wire::kMaxTextLength; }

int attachment_count(const Message& m) {
  int n = 0;
  for (const std::string& path : m.file_paths) n += path.empty() ? 0 : 1;
  return n;
}

// LoginRequest out, LoginReply in. Nothing when the login was accepted.
Failure log_in(net::Socket* s, const Message& m, Caller caller, logtext::Subject& who) {
  set_sender(who, m);
  const wire::LoginRequestBytes request = wire::login_request(m);
  long n = link::send_all(s, request);
  if (n != static_cast<long>(request.size())) {
    log(Event::LoginNotSent, caller, who, n);
    return kLoginNotSent;
  }
  std::array<std::uint8_t, 4> reply{};
  n = link::recv_exact(s, reply);
  if (n != static_cast<long>(reply.size())) {
    log(Event::LoginReplyNotReceived, caller, who, n);
    return kLoginReplyNotReceived;
  }
  const std::uint8_t code = wire::login_reply_code(reply);
  if (code != static_cast<std::uint8_t>(wire::kLoginAccepted)) {
    log(Event::LoginRefused, caller, who, code);
    return refusal_result(code);
  }
  log(Event::LoginAccepted, caller, who);
  return std::nullopt;
}

// The message's records out (the text fits its length field), SendResult in.
// Nothing when the result arrived; its byte in `code`.
Failure send_message(net::Socket* s, const Message& m, bool last, Caller caller, const logtext::Subject& who,
                     const FileReader& reader, std::uint8_t& code) {
  const int count = attachment_count(m);
  const wire::SendHeaderBytes header = wire::send_header(m, count, last);
  long n = link::send_all(s, header);
  if (n != static_cast<long>(header.size())) {
    log(Event::HeaderNotSent, caller, who, n);
    return kHeaderNotSent;
  }
  const std::optional<std::string> body = wire::message_body(m.call_message);
  n = body ? link::send_all(s, {reinterpret_cast<const std::uint8_t*>(body->data()), body->size()}) : 0;
  if (!body || n != static_cast<long>(body->size())) {
    log(Event::BodyNotSent, caller, who, n);
    return kBodyNotSent;
  }
  // By position: with n files named, the first n paths are sent, filled or not.
  for (int i = 0; i < count; ++i) {
    const int r = send_attachment(s, m.file_paths[static_cast<std::size_t>(i)], reader);
    if (r != kAttachmentSent) {
      log(Event::AttachmentFailed, caller, who, r);
      return kAttachmentFailed;
    }
  }
  std::array<std::uint8_t, 36> result{};
  n = link::recv_exact(s, result);
  if (n != static_cast<long>(result.size())) {
    log(Event::ResultNotReceived, caller, who, n);
    return kResultNotReceived;
  }
  code = wire::send_result_code(result);
  return std::nullopt;
}

// The result of an answered message, logged.
std::int32_t answered(std::uint8_t code, Caller caller, const logtext::Subject& who) {
  if (code == static_cast<std::uint8_t>(wire::kMessageAccepted)) {
    log(Event::MessageAccepted, caller, who);
    return kAccepted;
  }
  log(Event::MessageRefused, caller, who, code);
  return refusal_result(code);
}

}  // namespace

std::int32_t refusal_result(std::uint8_t code) {
  if (code == 0x01) return kRefusedWithOne;
  return static_cast<std::int8_t>(code);
}

std::int32_t send_with(const Message& m, const Endpoints& servers, const FileReader& reader) {
  logtext::Subject who;
  set_message(who, m);
  if (!text_fits(m)) {
    // The length field cannot carry it: nothing goes out, no connection.
    set_sender(who, m);
    log(Event::BodyNotSent, Caller::Send, who, 0);
    return kBodyNotSent;
  }
  std::unique_ptr<net::Socket> s = link::connect_either(servers);
  if (!s) {
    daylog::write(logtext::unreachable(servers.primary.host, servers.primary.port, servers.secondary.host,
                                       servers.secondary.port, Caller::Send));
    return kNoServer;
  }
  if (const Failure f = log_in(s.get(), m, Caller::Send, who)) return *f;
  std::uint8_t code = 0;
  if (const Failure f = send_message(s.get(), m, true, Caller::Send, who, reader, code)) return *f;
  s.reset();  // closed before the result is told
  return answered(code, Caller::Send, who);
}

std::int32_t connect_with(const Endpoints& servers) {
  std::unique_ptr<net::Socket> s = link::connect_either(servers);
  if (!s) {
    daylog::write(logtext::unreachable(servers.primary.host, servers.primary.port, servers.secondary.host,
                                       servers.secondary.port, Caller::Connect));
    return kNoServer;
  }
  return link::add(std::move(s));
}

std::int32_t send_in_batch_with(std::int32_t socket_id, std::int32_t first, std::int32_t last, const Message& m,
                                const FileReader& reader) {
  const link::Socket s = link::find(socket_id);
  logtext::Subject who;  // SENDID stays empty unless this call logs in
  set_message(who, m);
  if (!text_fits(m)) {
    if (first == 1) set_sender(who, m);
    link::remove(socket_id);
    log(Event::BodyNotSent, Caller::Batch, who, 0);
    return kBodyNotSent;
  }
  Failure f;
  if (first == 1) f = log_in(s.get(), m, Caller::Batch, who);
  std::uint8_t code = 0;
  if (!f) f = send_message(s.get(), m, last == 1, Caller::Batch, who, reader, code);
  if (f) {
    link::remove(socket_id);
    return *f;
  }
  return answered(code, Caller::Batch, who);
}

// Out of memory is the one exception the steps can meet; the connection is
// closed by then (mms_send's on the way out, a batch one here) and the
// message counts as not sent.
std::int32_t mms_send(const Message& message) {
  try {
    return send_with(message, configured_endpoints(), files::read_shared);
  } catch (...) {
    return kNoServer;
  }
}

std::int32_t mms_connect() {
  try {
    return connect_with(configured_endpoints());
  } catch (...) {
    return kNoServer;
  }
}

std::int32_t mms_send_dongbo(std::int32_t socket_id, std::int32_t first, std::int32_t last, const Message& message) {
  try {
    return send_in_batch_with(socket_id, first, last, message, files::read_shared);
  } catch (...) {
    link::remove(socket_id);
    return kNoServer;
  }
}

std::int32_t mms_close(std::int32_t socket_id) {
  if (const link::Socket s = link::remove(socket_id)) s->set_linger(false, 0);
  return 0;
}

}  // namespace pink::msgcall
