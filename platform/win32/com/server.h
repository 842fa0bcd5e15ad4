// The COM in-process server of a module: what its exported entry points
// (DllGetClassObject, DllCanUnloadNow, DllRegisterServer, DllUnregisterServer,
// DllInstall) call. No Windows header is needed to use it; results are
// HRESULT values. A module describes its server once, and the entry points
// (platform/win32/com/entry, compiled into every module by pink_com_server)
// serve it:
//
//   const com::ClassSpec kClasses[] = {
//       {&msgcall::kClass, &msgcall::make_object, com::dual_slots<msgcall::kMembers>()}};
//   const com::ServerSpec kServer{kClasses};
//   const com::ServerSpec& com::module_server() { return kServer; }
//
// A module serves one automation class, described by its member table and
// made by its `make` function, with the type library in the module's
// resources (cmake: pink_com_typelib), plus any number of plain classes
// created by CLSID only (a control's property page). Every object the server
// hands out is a COM object of the module: IUnknown, IDispatch driven by the
// member table (for a dual interface also its v-table), IProvideClassInfo2,
// IConnectionPointContainer with the event interface's connection point, and
// ISupportErrorInfo. A control adds its own interfaces through `wrap`
// (platform/win32/com/object.h).
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "automation/object.h"
#include "automation/registration.h"
#include "platform/win32/com/dual.h"

namespace pink::com {

struct ClassSpec;

// Makes the COM object around a new automation object: an IUnknown* with
// one reference, or null. Never throws.
using Wrap = void* (*)(const ClassSpec& spec, std::unique_ptr<automation::Object> object);

struct ClassSpec {
  const automation::ClassInfo* info;
  std::unique_ptr<automation::Object> (*make)();  // may throw
  // The dual interface's own v-table entries (dual_slots<kMembers>()); empty
  // for a dispatch-only interface.
  std::span<const Slot> dual_slots = {};
  // Null: the standard automation object (object.h). Controls give theirs.
  Wrap wrap = nullptr;
  // Threading model, control entries: what the class key gets beyond its
  // ProgIDs, description, server, type library and "Programmable".
  automation::registration::ClassOptions registry = {};
};

// A class created by CLSID only (a property page).
struct PlainClassSpec {
  automation::registration::PlainClass registry;
  void* (*create)();  // an IUnknown* with one reference, or null; never throws
};

struct ServerSpec {
  std::span<const ClassSpec> classes;  // one: the module's type library is its library
  std::span<const PlainClassSpec> plain = {};
};

enum class Scope {
  Machine,  // HKEY_LOCAL_MACHINE\Software\Classes
  User,     // HKEY_CURRENT_USER\Software\Classes
};

// DllGetClassObject: a class factory of a class of the server. `clsid` and
// `iid` point to GUIDs.
std::int32_t get_class_object(const ServerSpec& server, const void* clsid, const void* iid, void** out) noexcept;

// DllCanUnloadNow: S_OK when no object of the module is alive and no
// factory is locked, S_FALSE otherwise.
std::int32_t can_unload_now() noexcept;

// DllRegisterServer / DllUnregisterServer: per machine. All or nothing: a
// registration that fails removes what it wrote and returns the failure.
std::int32_t register_server(const ServerSpec& server) noexcept;
std::int32_t unregister_server(const ServerSpec& server) noexcept;
std::int32_t register_server(const ServerSpec& server, Scope scope) noexcept;
std::int32_t unregister_server(const ServerSpec& server, Scope scope) noexcept;

// DllInstall, as `regsvr32 /n /i:user` calls it: "user" registers (or with
// install 0 unregisters) per user, "machine" or nothing per machine; any
// other text is refused (E_INVALIDARG).
std::int32_t install(const ServerSpec& server, std::int32_t install, const wchar_t* command_line) noexcept;

// The server of this module, defined once by each server module; the
// module's exported entry points serve it.
const ServerSpec& module_server();

// The registry entries of the server for a module file; what registration
// writes below the classes key.
automation::registration::Registration registration_of(const ServerSpec& server,
                                                       const automation::registration::Module& module);

}  // namespace pink::com
