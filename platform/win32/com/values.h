// Automation values of the COM layer: VARIANTs and BSTRs to and from the
// objects' values (automation/value.h). Strings cross as UTF-16 and are
// cp949 inside, converted through code page 949 explicitly.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>

#include "automation/value.h"

namespace pink::com {

// A BSTR as cp949; a null BSTR is the empty text. Embedded zeros are kept.
std::string cp949_of(BSTR text);
// A new BSTR of cp949 text; null when out of memory.
BSTR bstr_of(std::string_view cp949);

// UTF-8 <-> UTF-16, for registry texts and file names.
std::wstring wide_of_utf8(std::string_view utf8);
std::string utf8_of(std::wstring_view wide);

// Reads an argument (by value or by reference) as a value of the declared
// type: S_OK; DISP_E_TYPEMISMATCH when it cannot be one; DISP_E_OVERFLOW
// for a number out of the type's range; DISP_E_PARAMNOTOPTIONAL for the
// marker of a missing argument; E_OUTOFMEMORY.
HRESULT read_value(const VARIANT& given, automation::Type declared, automation::Value& out);

// True when `target` is a by-reference argument that can take a value of
// the declared type: a VARIANT, the type itself, or a wider integer.
bool can_receive(const VARIANT& target, automation::Type declared);

// Writes a value into a by-reference argument that can_receive() accepted,
// releasing what it held.
HRESULT write_byref(const VARIANT& target, const automation::Value& value);

// Fills `out` (whatever it held is not released) from a value: VT_EMPTY,
// VT_I2, VT_I4, VT_BOOL, VT_BSTR or VT_ARRAY | VT_UI1 with lower bound 0.
HRESULT to_variant(const automation::Value& value, VARIANT& out);

}  // namespace pink::com
