#include "platform/win32/com/invoke.h"

#include <exception>
#include <new>
#include <string>
#include <vector>

#include "automation/idl.h"
#include "platform/win32/com/values.h"

namespace pink::com {
namespace {

using automation::Dir;
using automation::Member;
using automation::Type;
using automation::Value;

// The caller's arguments in declaration order, with their places in
// rgvarg (for puArgErr).
struct Placed {
  std::vector<const VARIANT*> given;  // null: not given
  std::vector<UINT> index;
};

// The row a call asks for: a property put (or put-by-reference) takes the
// put row, anything else the first row whose kind it allows.
const Member* row_for(std::span<const Member> rows, DISPID id, WORD flags) {
  const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  const std::int32_t kinds = put ? automation::kPut
                                 : ((flags & DISPATCH_METHOD) ? automation::kMethod : 0) |
                                       ((flags & DISPATCH_PROPERTYGET) ? automation::kGet : 0);
  if (id == automation::kUnknownDispid || kinds == 0) return nullptr;
  for (const Member& m : rows) {
    if (m.dispid == id && (m.kind & kinds) != 0) return &m;
  }
  return nullptr;
}

HRESULT place(const Member& row, const DISPPARAMS& dp, Placed& p, UINT* arg_err) {
  const std::size_t n = row.params.size();
  p.given.assign(n, nullptr);
  p.index.assign(n, 0);
  const UINT positional = dp.cArgs - dp.cNamedArgs;
  if (positional > n) return DISP_E_BADPARAMCOUNT;
  for (UINT j = 0; j < positional; ++j) {
    p.given[j] = &dp.rgvarg[dp.cArgs - 1 - j];
    p.index[j] = dp.cArgs - 1 - j;
  }
  for (UINT k = 0; k < dp.cNamedArgs; ++k) {
    const DISPID named = dp.rgdispidNamedArgs[k];
    std::size_t at = n;
    if (named == DISPID_PROPERTYPUT && row.kind == automation::kPut) at = n - 1;
    if (named >= 0 && static_cast<std::size_t>(named) < n) at = static_cast<std::size_t>(named);
    if (at == n || p.given[at] != nullptr) {
      if (arg_err) *arg_err = k;
      return DISP_E_PARAMNOTFOUND;
    }
    p.given[at] = &dp.rgvarg[k];
    p.index[at] = k;
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (p.given[i] == nullptr && row.params[i].dir != Dir::Retval) return DISP_E_BADPARAMCOUNT;
  }
  return S_OK;
}

// Converts the placed arguments; out- and retval-arguments start empty of
// their type, in/out-arguments with the caller's value.
HRESULT take(const Member& row, const Placed& p, std::vector<Value>& values, UINT* arg_err) {
  values.assign(row.params.size(), Value{});
  for (std::size_t i = 0; i < row.params.size(); ++i) {
    const automation::Param& param = row.params[i];
    const VARIANT* g = p.given[i];
    values[i] = Value::of(param.type);
    if (g == nullptr) continue;
    HRESULT hr = S_OK;
    if (param.dir != Dir::In && (g->vt & VT_BYREF) != 0 && !can_receive(*g, param.type)) hr = DISP_E_TYPEMISMATCH;
    if (SUCCEEDED(hr) && (param.dir == Dir::In || param.dir == Dir::InOut)) hr = read_value(*g, param.type, values[i]);
    if (FAILED(hr)) {
      if (arg_err) *arg_err = p.index[i];
      return hr;
    }
  }
  return S_OK;
}

void set_error_info(const automation::ClassInfo& c, const std::wstring& description) {
  ICreateErrorInfo* create = nullptr;
  if (FAILED(::CreateErrorInfo(&create))) return;
  IID iid{};
  ::IIDFromString(wide_of_utf8(c.dispatch.iid).c_str(), &iid);
  const std::wstring source = wide_of_utf8(c.progid);
  create->SetGUID(iid);
  create->SetSource(const_cast<LPOLESTR>(source.c_str()));
  create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
  IErrorInfo* info = nullptr;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
    ::SetErrorInfo(0, info);
    info->Release();
  }
  create->Release();
}

// Runs the member. A failure escaping it is reported (error information and
// EXCEPINFO when given) and returned as its status code.
HRESULT run(automation::Object& o, const Member& row, std::vector<Value>& values, Value& result, EXCEPINFO* ei) {
  HRESULT code = S_OK;
  std::string what;
  try {
    o.call(row, values, result);
    return S_OK;
  } catch (const std::bad_alloc&) {
    code = E_OUTOFMEMORY;
    what = "out of memory";
  } catch (const std::exception& e) {
    code = E_FAIL;
    what = e.what();
  } catch (...) {
    code = E_FAIL;
    what = "unexpected failure";
  }
  std::wstring description;
  try {
    description = wide_of_utf8(std::string(row.name) + ": " + what);
  } catch (...) {
  }
  set_error_info(o.info(), description);
  if (ei != nullptr) {
    *ei = EXCEPINFO{};
    ei->bstrSource = ::SysAllocString(wide_of_utf8(o.info().progid).c_str());
    ei->bstrDescription = ::SysAllocString(description.c_str());
    ei->scode = code;
  }
  return code;
}

HRESULT give_back(const Member& row, const Placed& p, const std::vector<Value>& values) {
  for (std::size_t i = 0; i < row.params.size(); ++i) {
    const VARIANT* g = p.given[i];
    if (row.params[i].dir == Dir::In || g == nullptr || (g->vt & VT_BYREF) == 0) continue;
    if (const HRESULT hr = write_byref(*g, values[i]); FAILED(hr)) return hr;
  }
  return S_OK;
}

bool is_retval_row(const Member& row) { return !row.params.empty() && row.params.back().dir == Dir::Retval; }

HRESULT invoke_row(automation::Object& o, const Member& row, const DISPPARAMS& dp, VARIANT* result, EXCEPINFO* ei,
                   UINT* arg_err) {
  Placed placed;
  if (const HRESULT hr = place(row, dp, placed, arg_err); FAILED(hr)) return hr;
  std::vector<Value> values;
  if (const HRESULT hr = take(row, placed, values, arg_err); FAILED(hr)) return hr;
  Value out = Value::of(row.result);
  if (const HRESULT hr = run(o, row, values, out, ei); FAILED(hr)) return DISP_E_EXCEPTION;
  if (is_retval_row(row)) out = values.back();
  if (const HRESULT hr = give_back(row, placed, values); FAILED(hr)) return hr;
  if (result != nullptr && row.kind != automation::kPut) return to_variant(out, *result);
  return S_OK;
}

// The v-table's arguments: in-arguments by value, the others through
// pointers that must not be null.
HRESULT read_in(const automation::Param& p, const void* arg, Value& v) {
  switch (p.type) {
    case Type::I2: v = Value::i2(*static_cast<const std::int16_t*>(arg)); return S_OK;
    case Type::I4: v = Value::i4(*static_cast<const std::int32_t*>(arg)); return S_OK;
    case Type::Bool: v = Value::boolean(*static_cast<const std::int16_t*>(arg) != 0); return S_OK;
    case Type::Str: v = Value::string(cp949_of(*static_cast<const BSTR*>(arg))); return S_OK;
    case Type::Bytes: return read_value(*static_cast<const VARIANT*>(arg), Type::Bytes, v);
    default: return E_INVALIDARG;
  }
}

HRESULT read_through(Type t, void* p, Value& v) {
  switch (t) {
    case Type::I2: v = Value::i2(*static_cast<SHORT*>(p)); return S_OK;
    case Type::I4: v = Value::i4(*static_cast<LONG*>(p)); return S_OK;
    case Type::Bool: v = Value::boolean(*static_cast<VARIANT_BOOL*>(p) != VARIANT_FALSE); return S_OK;
    case Type::Str: v = Value::string(cp949_of(*static_cast<BSTR*>(p))); return S_OK;
    default: return read_value(*static_cast<VARIANT*>(p), t, v);
  }
}

// Writes through an out-pointer; `held` says it holds a value to release
// (in/out), else it is uninitialised (out).
HRESULT write_through(Type t, void* p, const Value& v, bool held) {
  switch (t) {
    case Type::I2: *static_cast<SHORT*>(p) = static_cast<SHORT>(v.num); return S_OK;
    case Type::I4: *static_cast<LONG*>(p) = v.num; return S_OK;
    case Type::Bool: *static_cast<VARIANT_BOOL*>(p) = v.num != 0 ? VARIANT_TRUE : VARIANT_FALSE; return S_OK;
    case Type::Str: {
      BSTR text = bstr_of(v.str);
      if (text == nullptr) return E_OUTOFMEMORY;
      if (held) ::SysFreeString(*static_cast<BSTR*>(p));
      *static_cast<BSTR*>(p) = text;
      return S_OK;
    }
    default:
      if (held) ::VariantClear(static_cast<VARIANT*>(p));
      return to_variant(v, *static_cast<VARIANT*>(p));
  }
}

HRESULT take_row(const Member& row, const void* const* args, std::vector<Value>& values) {
  values.assign(row.params.size(), Value{});
  for (std::size_t i = 0; i < row.params.size(); ++i) {
    const automation::Param& p = row.params[i];
    values[i] = Value::of(p.type);
    if (p.dir == Dir::In) {
      if (const HRESULT hr = read_in(p, args[i], values[i]); FAILED(hr)) return hr;
      continue;
    }
    void* to = *static_cast<void* const*>(args[i]);
    if (to == nullptr) return E_POINTER;
    if (p.dir == Dir::InOut) {
      if (const HRESULT hr = read_through(p.type, to, values[i]); FAILED(hr)) return hr;
    }
  }
  if (automation::has_implicit_retval(row) && *static_cast<void* const*>(args[row.params.size()]) == nullptr) {
    return E_POINTER;
  }
  return S_OK;
}

HRESULT give_row(const Member& row, const void* const* args, const std::vector<Value>& values, const Value& result) {
  for (std::size_t i = 0; i < row.params.size(); ++i) {
    const automation::Param& p = row.params[i];
    if (p.dir == Dir::In) continue;
    void* to = *static_cast<void* const*>(args[i]);
    if (const HRESULT hr = write_through(p.type, to, values[i], p.dir == Dir::InOut); FAILED(hr)) return hr;
  }
  if (!automation::has_implicit_retval(row)) return S_OK;
  void* to = *static_cast<void* const*>(args[row.params.size()]);
  const Type t = row.result == Type::Variant ? Type::Bytes : row.result;  // both are VARIANT*
  if (t == Type::Bytes) return to_variant(result, *static_cast<VARIANT*>(to));
  return write_through(t, to, result, false);
}

}  // namespace

HRESULT ids_of_names(std::span<const Member> rows, const IID& iid, LPOLESTR* names, UINT count,
                     DISPID* ids) noexcept {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (count == 0) return S_OK;
  if (names == nullptr || ids == nullptr) return E_INVALIDARG;
  try {
    const Member* member = nullptr;
    const std::string name = names[0] ? utf8_of(names[0]) : std::string();
    for (const Member& m : rows) {
      // The row with parameters names them: a put's value, a method's arguments.
      if (automation::same_name(m.name, name) && (member == nullptr || member->params.empty())) member = &m;
    }
    ids[0] = member ? member->dispid : DISPID_UNKNOWN;
    bool all = member != nullptr;
    for (UINT k = 1; k < count; ++k) {
      ids[k] = DISPID_UNKNOWN;
      const std::string param = names[k] ? utf8_of(names[k]) : std::string();
      for (std::size_t i = 0; member != nullptr && i < member->params.size(); ++i) {
        if (automation::same_name(member->params[i].name, param)) ids[k] = static_cast<DISPID>(i);
      }
      all = all && ids[k] != DISPID_UNKNOWN;
    }
    return all ? S_OK : DISP_E_UNKNOWNNAME;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT invoke(automation::Object& object, DISPID id, const IID& iid, WORD flags, DISPPARAMS* params,
               VARIANT* result, EXCEPINFO* excep, UINT* arg_err) noexcept {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  DISPPARAMS none{};
  const DISPPARAMS& dp = params != nullptr ? *params : none;
  if (dp.cNamedArgs > dp.cArgs || (dp.cArgs > 0 && dp.rgvarg == nullptr) ||
      (dp.cNamedArgs > 0 && dp.rgdispidNamedArgs == nullptr)) {
    return E_INVALIDARG;
  }
  if (result != nullptr) ::VariantInit(result);
  const Member* row = row_for(object.info().dispatch.members, id, flags);
  if (row == nullptr) return DISP_E_MEMBERNOTFOUND;
  try {
    return invoke_row(object, *row, dp, result, excep, arg_err);
  } catch (...) {
    return E_OUTOFMEMORY;  // building the argument list
  }
}

HRESULT call_row(automation::Object& object, const Member& row, const void* const* args) noexcept {
  try {
    std::vector<Value> values;
    if (const HRESULT hr = take_row(row, args, values); FAILED(hr)) return hr;
    Value result = Value::of(row.result);
    if (const HRESULT hr = run(object, row, values, result, nullptr); FAILED(hr)) return hr;
    return give_row(row, args, values, result);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace pink::com
