#include "msgcall/object.h"

#include <array>
#include <string>

#include "msgcall/members.h"

namespace pink::msgcall {
namespace {

// Where each text goes in the message, in the methods' argument order.
constexpr std::array<std::string Message::*, 9> kFields = {
    &Message::seq_no,    &Message::type,    &Message::user_code,
    &Message::dept_code, &Message::call_phone, &Message::req_phone,
    &Message::subject,   &Message::call_message, &Message::rdatetime,
};

}  // namespace

constinit const automation::ClassEntry kClassEntry{&kClass, &make_object};

namespace {
[[maybe_unused]] const bool kRegistered = (automation::register_class(kClassEntry), true);
}  // namespace

Message message_of(std::span<const automation::Value> texts) {
  Message m;
  for (std::size_t i = 0; i < kFields.size() && i < texts.size(); ++i) m.*kFields[i] = texts[i].str;
  for (std::size_t k = 0; k < m.file_paths.size() && kFields.size() + k < texts.size(); ++k) {
    m.file_paths[k] = texts[kFields.size() + k].str;
  }
  return m;
}

MessageObject::MessageObject() : Object(kClass) {}

std::unique_ptr<automation::Object> make_object() { return std::make_unique<MessageObject>(); }

// The arguments were checked against the member's row: their count and types
// are the row's, and the last one is the out-argument.
void MessageObject::run(const automation::Member& member, std::span<automation::Value> args,
                        automation::Value&) {
  automation::Value& out = args.back();
  switch (member.dispid) {
    case kDispMMSSend:
      out.num = mms_send(message_of(args.subspan(kMMSSendTexts, kTextCount)));
      break;
    case kDispMMSConnect:
      out.num = mms_connect();
      break;
    case kDispMMSClose:
      out.num = mms_close(args[0].num);
      break;
    case kDispMMSSendDongbo:
      out.num = mms_send_dongbo(args[0].num, args[1].num, args[2].num,
                                message_of(args.subspan(kMMSSendDongboTexts, kTextCount)));
      break;
    default:
      break;
  }
}

}  // namespace pink::msgcall
