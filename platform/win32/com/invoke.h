// IDispatch driven by a member table, and the dual v-table's calls: the
// caller's arguments checked and converted by the row's parameters, the
// member run, its out-arguments and result handed back. Every check comes
// before the member runs, so a call that is refused has done nothing.
//
// Bad calls get the automation errors: DISP_E_MEMBERNOTFOUND (no row of that
// DISPID and kind), DISP_E_BADPARAMCOUNT, DISP_E_PARAMNOTFOUND (a named
// argument the row does not have), DISP_E_PARAMNOTOPTIONAL,
// DISP_E_TYPEMISMATCH and DISP_E_OVERFLOW (with the argument's place in
// puArgErr), DISP_E_UNKNOWNINTERFACE, DISP_E_UNKNOWNNAME. A failure that
// escapes a member (out of memory) is DISP_E_EXCEPTION with its EXCEPINFO and
// the thread's error information; nothing is ever thrown out.
//
// The retval argument of a row may be left out (the result carries it) or
// passed by reference (it is written too); an out-argument passed by value
// is read and its output dropped, as automation does.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <span>

#include "automation/object.h"

namespace pink::com {

HRESULT ids_of_names(std::span<const automation::Member> rows, const IID& iid, LPOLESTR* names, UINT count,
                     DISPID* ids) noexcept;

HRESULT invoke(automation::Object& object, DISPID id, const IID& iid, WORD flags, DISPPARAMS* params,
               VARIANT* result, EXCEPINFO* excep, UINT* arg_err) noexcept;

// A row of the dual v-table: `args` as dual.h hands them over.
HRESULT call_row(automation::Object& object, const automation::Member& row, const void* const* args) noexcept;

}  // namespace pink::com
