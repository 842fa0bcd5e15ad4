// The exported entry points of a COM server module, compiled into each
// module by pink_com_server (cmake/pink_com.cmake): each forwards to the COM
// layer with the server the module describes in `com::module_server()`.
#include <cstdint>

#include "platform/export.h"
#include "platform/win32/com/server.h"

namespace com = pink::com;

PINK_EXPORT std::int32_t PINK_CALL DllGetClassObject(const void* clsid, const void* iid, void** out) {
  return com::get_class_object(com::module_server(), clsid, iid, out);
}

PINK_EXPORT std::int32_t PINK_CALL DllCanUnloadNow() { return com::can_unload_now(); }

PINK_EXPORT std::int32_t PINK_CALL DllRegisterServer() { return com::register_server(com::module_server()); }

PINK_EXPORT std::int32_t PINK_CALL DllUnregisterServer() { return com::unregister_server(com::module_server()); }

PINK_EXPORT std::int32_t PINK_CALL DllInstall(std::int32_t install, const wchar_t* command_line) {
  return com::install(com::module_server(), install, command_line);
}
