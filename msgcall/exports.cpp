// The plain exports of the message sending client: the four calls of the
// automation object as standard-call functions taking cp949 texts (a null
// text counts as empty) and an output argument that also is the result (a
// null output pointer is allowed). No exception leaves an export.
#include <cstdint>
#include <string>

#include "msgcall/msgcall.h"
#include "platform/export.h"

namespace {

using pink::msgcall::Message;

std::string text_of(const char* text) { return text == nullptr ? std::string() : std::string(text); }

Message message_of(const char* seq_no, const char* type, const char* user_code, const char* dept_code,
                   const char* call_phone, const char* req_phone, const char* subject, const char* call_message,
                   const char* rdatetime, const char* file1, const char* file2, const char* file3) {
  Message m;
  m.seq_no = text_of(seq_no);
  m.type = text_of(type);
  m.user_code = text_of(user_code);
  m.dept_code = text_of(dept_code);
  m.call_phone = text_of(call_phone);
  m.req_phone = text_of(req_phone);
  m.subject = text_of(subject);
  m.call_message = text_of(call_message);
  m.rdatetime = text_of(rdatetime);
  m.file_paths = {text_of(file1), text_of(file2), text_of(file3)};
  return m;
}

std::int32_t give(std::int32_t value, std::int32_t* out) {
  if (out != nullptr) *out = value;
  return value;
}

}  // namespace

PINK_EXPORT std::int32_t PINK_CALL MMSSend(const char* seq_no, const char* type, const char* user_code,
                                           const char* dept_code, const char* call_phone, const char* req_phone,
                                           const char* subject, const char* call_message, const char* rdatetime,
                                           const char* file1, const char* file2, const char* file3,
                                           std::int32_t* ret) {
  try {
    return give(pink::msgcall::mms_send(message_of(seq_no, type, user_code, dept_code, call_phone, req_phone,
                                                   subject, call_message, rdatetime, file1, file2, file3)),
                ret);
  } catch (...) {
    return give(pink::msgcall::kNoServer, ret);
  }
}

PINK_EXPORT std::int32_t PINK_CALL MMSConnect(std::int32_t* socket_id) {
  return give(pink::msgcall::mms_connect(), socket_id);
}

PINK_EXPORT std::int32_t PINK_CALL MMSClose(std::int32_t socket_id, std::int32_t* ret) {
  return give(pink::msgcall::mms_close(socket_id), ret);
}

PINK_EXPORT std::int32_t PINK_CALL MMSSendDongbo(std::int32_t socket_id, std::int32_t first, std::int32_t last,
                                                 const char* seq_no, const char* type, const char* user_code,
                                                 const char* dept_code, const char* call_phone,
                                                 const char* req_phone, const char* subject,
                                                 const char* call_message, const char* rdatetime,
                                                 const char* file1, const char* file2, const char* file3,
                                                 std::int32_t* ret) {
  try {
    return give(pink::msgcall::mms_send_dongbo(socket_id, first, last,
                                               message_of(seq_no, type, user_code, dept_code, call_phone,
                                                          req_phone, subject, call_message, rdatetime, file1,
                                                          file2, file3)),
                ret);
  } catch (...) {
    pink::msgcall::mms_close(socket_id);  // as every failure of a batch message does
    return give(pink::msgcall::kNoServer, ret);
  }
}
