// The interface definition (IDL) of an automation class, written from its
// member table: the type library with the dispatch interface (dual or
// dispatch only), the event interface and the class. The Windows build
// compiles it into the module's type library, so the type library says what
// the table says: names, DISPIDs, parameter types and directions, results.
//
//   std::string idl;
//   if (const char* fault = automation::idl_of(msgcall::kClass, {}, idl)) fail(fault);
//
// The text needs no system IDL files: it imports a small prelude of the base
// types (HRESULT, BSTR, VARIANT, IUnknown, IDispatch) and refers to the system
// type library "stdole2.tlb" for IDispatch, as any automation library does.
#pragma once

#include <string>
#include <string_view>

#include "automation/table.h"

namespace pink::automation {

struct IdlOptions {
  bool control = false;                           // an ActiveX control class
  std::string_view prelude = "pink_prelude.idl";  // imported for the base types
};

// The v-table form of a row of a dual interface: every member returns an
// HRESULT, and a result that no retval parameter carries is handed back
// through one more, last [out, retval] parameter.
constexpr bool has_implicit_retval(const Member& m) {
  return m.result != Type::Empty && (m.params.empty() || m.params.back().dir != Dir::Retval);
}

// Why the class cannot be written as IDL (a malformed table, a name that is
// no IDL identifier, a text with a quote or a byte outside ASCII, a GUID
// that is not "{8-4-4-4-12}"), or null with the IDL in `out`.
const char* idl_of(const ClassInfo& c, const IdlOptions& options, std::string& out);

// The IDL spelling of a value type ("short", "long", "BSTR", "VARIANT_BOOL",
// "VARIANT"), or null for a type no parameter or result can have.
const char* idl_type(Type t);

}  // namespace pink::automation
