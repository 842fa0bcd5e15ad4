#include "tests/win/com/support.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/win32/com/object.h"

namespace pink::comtest {

VARIANT vi2(short n) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_I2;
  v.iVal = n;
  return v;
}

VARIANT vi4(long n) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = n;
  return v;
}

VARIANT vstr(const std::wstring& text) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return v;
}

VARIANT vbytes(const std::vector<std::uint8_t>& bytes) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_ARRAY | VT_UI1;
  v.parray = ::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
  void* data = nullptr;
  if (!bytes.empty() && SUCCEEDED(::SafeArrayAccessData(v.parray, &data))) {
    std::memcpy(data, bytes.data(), bytes.size());
    ::SafeArrayUnaccessData(v.parray);
  }
  return v;
}

VARIANT vref(VARIANT* target) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_BYREF | VT_VARIANT;
  v.pvarVal = target;
  return v;
}

VARIANT vmissing() {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_ERROR;
  v.scode = DISP_E_PARAMNOTFOUND;
  return v;
}

CallResult::~CallResult() {
  ::SysFreeString(excep.bstrSource);
  ::SysFreeString(excep.bstrDescription);
  ::SysFreeString(excep.bstrHelpFile);
}

void invoke(IDispatch* d, DISPID dispid, WORD flags, std::vector<VARIANT> args, CallResult& out,
            std::vector<DISPID> named) {
  // Automation passes the last argument first.
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPPARAMS dp{reversed.empty() ? nullptr : reversed.data(), named.empty() ? nullptr : named.data(),
                static_cast<UINT>(reversed.size()), static_cast<UINT>(named.size())};
  out.hr = d->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, flags, &dp, &out.result.v, &out.excep, &out.arg_err);
  for (VARIANT& v : reversed) {
    if ((v.vt & VT_BYREF) == 0) ::VariantClear(&v);
  }
}

DISPID dispid_of(IDispatch* d, const std::wstring& name) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
  d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  return id;
}

std::vector<std::uint8_t> bytes_of(const VARIANT& v, LONG* lower) {
  std::vector<std::uint8_t> out;
  if (v.vt != (VT_ARRAY | VT_UI1) || v.parray == nullptr) return out;
  LONG low = 0, high = -1;
  ::SafeArrayGetLBound(v.parray, 1, &low);
  ::SafeArrayGetUBound(v.parray, 1, &high);
  if (lower != nullptr) *lower = low;
  void* data = nullptr;
  if (high >= low && SUCCEEDED(::SafeArrayAccessData(v.parray, &data))) {
    const auto* b = static_cast<const std::uint8_t*>(data);
    out.assign(b, b + (high - low + 1));
    ::SafeArrayUnaccessData(v.parray);
  }
  return out;
}

std::wstring text_of(BSTR b) { return b == nullptr ? std::wstring() : std::wstring(b, ::SysStringLen(b)); }

bool pump_until(const std::function<bool()>& done, DWORD timeout_ms) {
  const ULONGLONG end = ::GetTickCount64() + timeout_ms;
  while (!done()) {
    const ULONGLONG now = ::GetTickCount64();
    if (now >= end) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
  return true;
}

STDMETHODIMP Sink::QueryInterface(REFIID iid, void** out) {
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDispatch || (accept_event_iid && iid == com::guid_of(events_.iid))) {
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  return E_NOINTERFACE;
}

STDMETHODIMP Sink::GetTypeInfoCount(UINT* n) {
  *n = 0;
  return S_OK;
}

namespace {

std::string shown(const VARIANT& v) {
  const bool byref = (v.vt & VT_BYREF) != 0;
  Var copy;
  ::VariantCopyInd(&copy.v, const_cast<VARIANT*>(&v));
  ::VariantChangeType(&copy.v, &copy.v, 0, VT_BSTR);
  std::string text = byref ? "&" : "";
  for (const wchar_t c : text_of(copy.v.bstrVal)) text.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return text;
}

}  // namespace

STDMETHODIMP Sink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*, UINT*) {
  std::string name = "?";
  for (const automation::Member& e : events_.members) {
    if (e.dispid == id) name = e.name;
  }
  std::string line = name + "(";
  for (UINT i = 0; i < p->cArgs; ++i) {
    if (i > 0) line.push_back(',');
    line.append(shown(p->rgvarg[p->cArgs - 1 - i]));
  }
  seen.push_back(line + ")");
  if (on_event) on_event();
  return S_OK;
}

const com::ServerSpec& sample_server() {
  static const com::ClassSpec classes[] = {{&kSample, &make_sample, com::dual_slots<kMembers>()}};
  static const com::ServerSpec server{classes};
  return server;
}

Ptr<IDispatch> new_sample() {
  const GUID clsid = com::guid_of(kSample.clsid);
  Ptr<IClassFactory> factory;
  EXPECT_EQ(com::get_class_object(sample_server(), &clsid, &IID_IClassFactory, factory.out_void()), S_OK);
  Ptr<IDispatch> d;
  if (factory) {
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, d.out_void()), S_OK);
  }
  return Ptr<IDispatch>(d.release());
}

}  // namespace pink::comtest
