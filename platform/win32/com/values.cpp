#include "platform/win32/com/values.h"

#include <cstring>
#include <vector>

#include "platform/text.h"

namespace pink::com {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "OLECHAR is UTF-16");

using automation::Type;
using automation::Value;

// A VARIANT that clears itself.
struct Scoped {
  VARIANT v;
  Scoped() { ::VariantInit(&v); }
  ~Scoped() { ::VariantClear(&v); }
  Scoped(const Scoped&) = delete;
  Scoped& operator=(const Scoped&) = delete;
};

constexpr VARTYPE kBytes = VT_ARRAY | VT_UI1;

HRESULT read_bytes(const VARIANT& v, Value& out) {
  out = Value::array({});
  if (v.vt == VT_EMPTY) return S_OK;
  if (v.vt != kBytes || v.parray == nullptr || ::SafeArrayGetDim(v.parray) != 1) return DISP_E_TYPEMISMATCH;
  LONG low = 0, high = -1;
  ::SafeArrayGetLBound(v.parray, 1, &low);
  ::SafeArrayGetUBound(v.parray, 1, &high);
  if (high < low) return S_OK;
  void* data = nullptr;
  if (FAILED(::SafeArrayAccessData(v.parray, &data))) return DISP_E_TYPEMISMATCH;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  out.bytes.assign(bytes, bytes + (static_cast<std::size_t>(high) - static_cast<std::size_t>(low) + 1));
  ::SafeArrayUnaccessData(v.parray);
  return S_OK;
}

HRESULT read_number(VARIANT& v, Type declared, Value& out) {
  const VARTYPE want = declared == Type::I2 ? VT_I2 : declared == Type::I4 ? VT_I4 : VT_BOOL;
  const HRESULT hr = ::VariantChangeType(&v, &v, 0, want);
  if (hr == DISP_E_OVERFLOW) return hr;
  if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
  if (want == VT_I2) out = Value::i2(v.iVal);
  if (want == VT_I4) out = Value::i4(v.lVal);
  if (want == VT_BOOL) out = Value::boolean(v.boolVal != VARIANT_FALSE);
  return S_OK;
}

HRESULT read_text(VARIANT& v, Value& out) {
  if (v.vt == VT_EMPTY) {
    out = Value::string({});
    return S_OK;
  }
  if (v.vt != VT_BSTR && FAILED(::VariantChangeType(&v, &v, 0, VT_BSTR))) return DISP_E_TYPEMISMATCH;
  out = Value::string(cp949_of(v.bstrVal));
  return S_OK;
}

SAFEARRAY* array_of(const std::vector<std::uint8_t>& bytes) {
  SAFEARRAY* a = ::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
  if (a == nullptr || bytes.empty()) return a;
  void* data = nullptr;
  if (FAILED(::SafeArrayAccessData(a, &data))) {
    ::SafeArrayDestroy(a);
    return nullptr;
  }
  std::memcpy(data, bytes.data(), bytes.size());
  ::SafeArrayUnaccessData(a);
  return a;
}

bool fits_short(std::int32_t n) { return n >= -32768 && n <= 32767; }

}  // namespace

std::string cp949_of(BSTR text) {
  if (text == nullptr) return {};
  return text::utf16_to_cp949(std::u16string_view(reinterpret_cast<const char16_t*>(text), ::SysStringLen(text)));
}

BSTR bstr_of(std::string_view cp949) {
  const std::u16string wide = text::cp949_to_utf16(cp949);
  return ::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(wide.data()), static_cast<UINT>(wide.size()));
}

std::wstring wide_of_utf8(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string utf8_of(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                      nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) {
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
  }
  return out;
}

HRESULT read_value(const VARIANT& given, Type declared, Value& out) {
  Scoped v;
  // By reference (VT_BYREF | VT_VARIANT from script callers, VT_BYREF | X
  // from typed ones): the value referred to.
  const HRESULT copied = ::VariantCopyInd(&v.v, const_cast<VARIANT*>(&given));  // only read
  if (copied == E_OUTOFMEMORY) return copied;
  if (FAILED(copied)) return DISP_E_TYPEMISMATCH;
  if (v.v.vt == VT_ERROR && v.v.scode == DISP_E_PARAMNOTFOUND) return DISP_E_PARAMNOTOPTIONAL;
  switch (declared) {
    case Type::I2:
    case Type::I4:
    case Type::Bool:
      return read_number(v.v, declared, out);
    case Type::Str:
      return read_text(v.v, out);
    case Type::Bytes:
      return read_bytes(v.v, out);
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

bool can_receive(const VARIANT& target, Type declared) {
  if ((target.vt & VT_BYREF) == 0 || target.byref == nullptr) return false;
  switch (target.vt & ~VT_BYREF) {
    case VT_VARIANT: return true;
    case VT_I2: return declared == Type::I2;
    case VT_I4: return declared == Type::I2 || declared == Type::I4;
    case VT_BOOL: return declared == Type::Bool;
    case VT_BSTR: return declared == Type::Str;
    case kBytes: return declared == Type::Bytes;
    default: return false;
  }
}

HRESULT write_byref(const VARIANT& target, const Value& value) {
  switch (target.vt & ~VT_BYREF) {
    case VT_VARIANT:
      ::VariantClear(target.pvarVal);
      return to_variant(value, *target.pvarVal);
    case VT_I2:
      *target.piVal = static_cast<SHORT>(fits_short(value.num) ? value.num : 0);
      return S_OK;
    case VT_I4:
      *target.plVal = value.num;
      return S_OK;
    case VT_BOOL:
      *target.pboolVal = value.num != 0 ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    case VT_BSTR: {
      BSTR text = bstr_of(value.str);
      if (text == nullptr) return E_OUTOFMEMORY;
      ::SysFreeString(*target.pbstrVal);
      *target.pbstrVal = text;
      return S_OK;
    }
    case kBytes: {
      SAFEARRAY* a = array_of(value.bytes);
      if (a == nullptr) return E_OUTOFMEMORY;
      if (*target.pparray != nullptr) ::SafeArrayDestroy(*target.pparray);
      *target.pparray = a;
      return S_OK;
    }
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

HRESULT to_variant(const Value& value, VARIANT& out) {
  ::VariantInit(&out);
  switch (value.type) {
    case Type::I2:
      out.vt = VT_I2;
      out.iVal = static_cast<SHORT>(value.num);
      return S_OK;
    case Type::I4:
      out.vt = VT_I4;
      out.lVal = value.num;
      return S_OK;
    case Type::Bool:
      out.vt = VT_BOOL;
      out.boolVal = value.num != 0 ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    case Type::Str:
      out.bstrVal = bstr_of(value.str);
      if (out.bstrVal == nullptr) return E_OUTOFMEMORY;
      out.vt = VT_BSTR;
      return S_OK;
    case Type::Bytes:
      out.parray = array_of(value.bytes);
      if (out.parray == nullptr) return E_OUTOFMEMORY;
      out.vt = kBytes;
      return S_OK;
    default:
      return S_OK;  // VT_EMPTY
  }
}

}  // namespace pink::com
