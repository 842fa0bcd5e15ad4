// msgcall.dll as the COM in-process server of the message sending object
// (Windows): the class MSGCALLMSG ("msgcall.MSGCALLMSG.1", "msgcall.MSGCALLMSG")
// with its dual interface IMSGCALLMSG, its event interface and the type
// library MSGCALLLib in the module's resources. No threading model is
// registered: the object lives in the process's main apartment.
#include <cstdint>

#include "msgcall/members.h"
#include "msgcall/object.h"
#include "platform/export.h"
#include "platform/win32/com/server.h"

namespace {

const pink::com::ClassSpec kClasses[] = {
    {&pink::msgcall::kClass, &pink::msgcall::make_object, pink::com::dual_slots<pink::msgcall::kMembers>()},
};
const pink::com::ServerSpec kServer{kClasses};

}  // namespace

PINK_EXPORT std::int32_t PINK_CALL DllGetClassObject(const void* clsid, const void* iid, void** out) {
  return pink::com::get_class_object(kServer, clsid, iid, out);
}

PINK_EXPORT std::int32_t PINK_CALL DllCanUnloadNow() { return pink::com::can_unload_now(); }

PINK_EXPORT std::int32_t PINK_CALL DllRegisterServer() { return pink::com::register_server(kServer); }

PINK_EXPORT std::int32_t PINK_CALL DllUnregisterServer() { return pink::com::unregister_server(kServer); }

PINK_EXPORT std::int32_t PINK_CALL DllInstall(std::int32_t install, const wchar_t* command_line) {
  return pink::com::install(kServer, install, command_line);
}
