// The message sending object "msgcall.MSGCALLMSG" (".1"): the automation
// face of the message sending client. Its members (msgcall/members.h) call
// the client's four operations with the texts as given (cp949) and put the
// outcome in the last, out-argument; the object keeps no state between calls
// (a batch connection lives in the caller's nSocketID). It has no window: no
// events, no timers, nothing to pump.
#pragma once

#include <memory>
#include <span>

#include "automation/object.h"
#include "automation/registry.h"
#include "msgcall/msgcall.h"

namespace pink::msgcall {

// The message of a send method's twelve texts (SeqNo ... FilePath3).
Message message_of(std::span<const automation::Value> texts);

class MessageObject final : public automation::Object {
 public:
  MessageObject();

 protected:
  void run(const automation::Member& member, std::span<automation::Value> args,
           automation::Value& result) override;
};

std::unique_ptr<automation::Object> make_object();

// The class as the registry knows it; registered under both ProgIDs when the
// program or library that links the object starts.
extern const automation::ClassEntry kClassEntry;

}  // namespace pink::msgcall
