// The report, message pumping, late-bound calls and the event sink.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "tests/win/olehost/host.h"

namespace olehost {
namespace {

int g_failures = 0;

std::string hex_bytes(const std::vector<std::uint8_t>& bytes, std::size_t shown_at_most) {
  std::string out = "[";
  out.append(std::to_string(bytes.size())).append(" bytes]");
  char b[4];
  for (std::size_t i = 0; i < bytes.size() && i < shown_at_most; ++i) {
    std::snprintf(b, sizeof b, " %02X", bytes[i]);
    out += b;
  }
  return out;
}

}  // namespace

std::string utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring wide(const std::string& utf8_text) {
  if (utf8_text.empty()) return {};
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8_text.data(), static_cast<int>(utf8_text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8_text.data(), static_cast<int>(utf8_text.size()), out.data(), n);
  return out;
}

std::string hresult(HRESULT hr) {
  char b[16];
  std::snprintf(b, sizeof b, "0x%08lX", static_cast<unsigned long>(hr));
  return b;
}

void say(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void fail(const std::string& what) {
  ++g_failures;
  say("FAIL " + what);
}

bool check(bool ok, const std::string& what) {
  if (!ok) fail(what);
  return ok;
}

int failures() { return g_failures; }

bool pump_until(const std::function<bool()>& done, DWORD timeout_ms) {
  const ULONGLONG end = ::GetTickCount64() + timeout_ms;
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (done()) return true;
    const ULONGLONG now = ::GetTickCount64();
    if (now >= end) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(end - now, 50)),
                                QS_ALLINPUT);
  }
}

void pump_for(DWORD ms) {
  pump_until([] { return false; }, ms);
}

// --- arguments and results --------------------------------------------------------

Arg Arg::text(const std::wstring& s) {
  Arg a{std::make_shared<Var>(), false};
  a.value->v.vt = VT_BSTR;
  a.value->v.bstrVal = ::SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
  return a;
}

Arg Arg::i2(short n) {
  Arg a{std::make_shared<Var>(), false};
  a.value->v.vt = VT_I2;
  a.value->v.iVal = n;
  return a;
}

Arg Arg::i4(long n) {
  Arg a{std::make_shared<Var>(), false};
  a.value->v.vt = VT_I4;
  a.value->v.lVal = n;
  return a;
}

Arg Arg::out_i2() {
  Arg a = i2(0);
  a.out = true;
  return a;
}

Arg Arg::out_i4() {
  Arg a = i4(0);
  a.out = true;
  return a;
}

namespace {

std::vector<std::uint8_t> array_bytes(const VARIANT& v) {
  std::vector<std::uint8_t> out;
  if (v.vt != (VT_ARRAY | VT_UI1) || v.parray == nullptr) return out;
  LONG low = 0, high = -1;
  ::SafeArrayGetLBound(v.parray, 1, &low);
  ::SafeArrayGetUBound(v.parray, 1, &high);
  void* data = nullptr;
  if (high >= low && SUCCEEDED(::SafeArrayAccessData(v.parray, &data))) {
    const auto* b = static_cast<const std::uint8_t*>(data);
    out.assign(b, b + (high - low + 1));
    ::SafeArrayUnaccessData(v.parray);
  }
  return out;
}

std::wstring bstr_text(BSTR b) { return b == nullptr ? std::wstring() : std::wstring(b, ::SysStringLen(b)); }

std::string text_of_value(VARIANT& v) {
  if (v.vt == (VT_ARRAY | VT_UI1)) return hex_bytes(array_bytes(v), 8);
  if (v.vt == VT_BSTR) return std::string(1, '"').append(utf8(bstr_text(v.bstrVal))).append(1, '"');
  if (v.vt == VT_EMPTY) return std::string("empty");
  if (SUCCEEDED(::VariantChangeType(&v, &v, 0, VT_BSTR))) return utf8(bstr_text(v.bstrVal));
  return std::string("?");
}

}  // namespace

std::string shown(const VARIANT& v) {
  VARIANT copy;
  ::VariantInit(&copy);
  ::VariantCopyInd(&copy, const_cast<VARIANT*>(&v));
  std::string out = text_of_value(copy);
  ::VariantClear(&copy);
  return out;
}

long Called::number() const {
  VARIANT n;
  ::VariantInit(&n);
  if (FAILED(::VariantChangeType(&n, &result->v, 0, VT_I4))) return -99999;
  return n.lVal;
}

std::wstring Called::text() const {
  if (result->v.vt != VT_BSTR || result->v.bstrVal == nullptr) return {};
  return std::wstring(result->v.bstrVal, ::SysStringLen(result->v.bstrVal));
}

std::vector<std::uint8_t> Called::bytes() const { return array_bytes(result->v); }

long Called::out(std::size_t i) const {
  if (i >= args.size()) return -99999;
  const VARIANT& v = args[i].value->v;
  return v.vt == VT_I2 ? v.iVal : v.vt == VT_I4 ? v.lVal : -99999;
}

// --- calls ----------------------------------------------------------------------------

namespace {

DISPID dispid_of(IDispatch* d, const std::wstring& name) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
  d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  return id;
}

HRESULT invoke(IDispatch* d, DISPID id, WORD flags, std::vector<VARIANT>& reversed, VARIANT* result,
               std::vector<DISPID> named = {}) {
  DISPPARAMS dp{reversed.empty() ? nullptr : reversed.data(), named.empty() ? nullptr : named.data(),
                static_cast<UINT>(reversed.size()), static_cast<UINT>(named.size())};
  EXCEPINFO e{};
  UINT arg_err = 0;
  const HRESULT hr = d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &dp, result, &e, &arg_err);
  ::SysFreeString(e.bstrSource);
  ::SysFreeString(e.bstrDescription);
  ::SysFreeString(e.bstrHelpFile);
  return hr;
}

}  // namespace

// Arguments in declaration order; out-arguments by reference.
Called call(IDispatch* d, const std::wstring& name, std::vector<Arg> args) {
  Called c;
  c.args = std::move(args);
  std::vector<VARIANT> reversed;
  for (auto it = c.args.rbegin(); it != c.args.rend(); ++it) {
    VARIANT v;
    ::VariantInit(&v);
    if (it->out) {
      v.vt = static_cast<VARTYPE>(VT_BYREF | it->value->v.vt);
      v.byref = &it->value->v.iVal;  // the value's storage, whatever its width
    } else {
      v = it->value->v;  // a shallow copy: the Arg owns it
    }
    reversed.push_back(v);
  }
  const DISPID id = dispid_of(d, name);
  c.hr = id == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME
                              : invoke(d, id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, reversed, &c.result->v);
  std::string line = "call " + utf8(name) + "(";
  for (std::size_t i = 0; i < c.args.size(); ++i) {
    if (i > 0) line += ", ";
    line += c.args[i].out ? "-> " + shown(c.args[i].value->v) : shown(c.args[i].value->v);
  }
  line += ") = " + (FAILED(c.hr) ? "error " + hresult(c.hr) : shown(c.result->v));
  c.line = line;
  say(line);
  return c;
}

Called get(IDispatch* d, const std::wstring& name) {
  Called c;
  std::vector<VARIANT> none;
  const DISPID id = dispid_of(d, name);
  c.hr = id == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : invoke(d, id, DISPATCH_PROPERTYGET, none, &c.result->v);
  c.line = "get " + utf8(name) + " = " + (FAILED(c.hr) ? "error " + hresult(c.hr) : shown(c.result->v));
  say(c.line);
  return c;
}

HRESULT put(IDispatch* d, const std::wstring& name, VARIANT value) {
  std::vector<VARIANT> args{value};
  const DISPID id = dispid_of(d, name);
  const HRESULT hr = id == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME
                                          : invoke(d, id, DISPATCH_PROPERTYPUT, args, nullptr, {DISPID_PROPERTYPUT});
  say("put " + utf8(name) + " = " + shown(value) + (FAILED(hr) ? " error " + hresult(hr) : ""));
  return hr;
}

// --- the event sink ------------------------------------------------------------------------

Sink::Sink(ITypeInfo* events) : events_(events) {
  if (events_ != nullptr) {
    events_->AddRef();
    TYPEATTR* attr = nullptr;
    if (SUCCEEDED(events_->GetTypeAttr(&attr))) {
      iid = attr->guid;
      events_->ReleaseTypeAttr(attr);
    }
  }
}

Sink::~Sink() {
  if (events_ != nullptr) events_->Release();
}

STDMETHODIMP Sink::QueryInterface(REFIID wanted, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (wanted != IID_IUnknown && wanted != IID_IDispatch && wanted != iid) return E_NOINTERFACE;
  *out = static_cast<IDispatch*>(this);
  AddRef();
  return S_OK;
}

STDMETHODIMP Sink::GetTypeInfoCount(UINT* n) {
  if (n == nullptr) return E_POINTER;
  *n = 0;
  return S_OK;
}

STDMETHODIMP Sink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*, UINT*) {
  std::string name = "dispid" + std::to_string(id);
  BSTR names[1] = {nullptr};
  UINT found = 0;
  if (events_ != nullptr && SUCCEEDED(events_->GetNames(id, names, 1, &found)) && found == 1) {
    name = utf8(std::wstring(names[0], ::SysStringLen(names[0])));
    ::SysFreeString(names[0]);
  }
  std::string line = name + "(";
  for (UINT i = 0; p != nullptr && i < p->cArgs; ++i) {
    if (i > 0) line += ", ";
    line += shown(p->rgvarg[p->cArgs - 1 - i]);
  }
  line += ")";
  seen.push_back(line);
  say("event " + line);
  return S_OK;
}

int Sink::count(const std::string& name) const {
  int n = 0;
  for (const std::string& s : seen) {
    if (s.compare(0, name.size() + 1, name + "(") == 0) ++n;
  }
  return n;
}

bool Sink::wait(const std::string& name, int times, DWORD timeout_ms) {
  const bool ok = pump_until([&] { return count(name) >= times; }, timeout_ms);
  if (!ok) fail("no event " + name + " within " + std::to_string(timeout_ms) + " ms");
  return ok;
}

}  // namespace olehost
