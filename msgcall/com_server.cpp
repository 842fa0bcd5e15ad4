// msgcall.dll as the COM in-process server of the message sending object
// (Windows): the class MSGCALLMSG ("msgcall.MSGCALLMSG.1", "msgcall.MSGCALLMSG")
// with its dual interface IMSGCALLMSG, its event interface and the type
// library MSGCALLLib in the module's resources. No threading model is
// registered: the object lives in the process's main apartment.
#include "msgcall/members.h"
#include "msgcall/object.h"
#include "platform/win32/com/server.h"

namespace {

const pink::com::ClassSpec kClasses[] = {
    {&pink::msgcall::kClass, &pink::msgcall::make_object, pink::com::dual_slots<pink::msgcall::kMembers>()},
};
const pink::com::ServerSpec kServer{kClasses};

}  // namespace

const pink::com::ServerSpec& pink::com::module_server() { return kServer; }
