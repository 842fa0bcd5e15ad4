// What the Windows tests of the COM layer share: owning wrappers of
// interface pointers, VARIANTs and BSTRs, late-bound calls, an event sink,
// a message loop that runs until something happened, and the sample class
// served in this program.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <oleauto.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/win32/com/object.h"
#include "platform/win32/com/server.h"
#include "tests/win/com/sample.h"

namespace pink::comtest {

template <class T>
class Ptr {
 public:
  Ptr() = default;
  explicit Ptr(T* p) : p_(p) {}  // takes the reference
  ~Ptr() { reset(); }
  Ptr(const Ptr&) = delete;
  Ptr& operator=(const Ptr&) = delete;
  void reset() {
    if (p_ != nullptr) p_->Release();
    p_ = nullptr;
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T** out() {
    reset();
    return &p_;
  }
  void** out_void() { return reinterpret_cast<void**>(out()); }
  T* release() {
    T* p = p_;
    p_ = nullptr;
    return p;
  }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

struct Var {
  VARIANT v;
  Var() { ::VariantInit(&v); }
  ~Var() { ::VariantClear(&v); }
  Var(const Var&) = delete;
  Var& operator=(const Var&) = delete;
};

// The variants of a late-bound call, built in declaration order.
VARIANT vi2(short n);
VARIANT vi4(long n);
VARIANT vstr(const std::wstring& text);  // owns a new BSTR
VARIANT vbytes(const std::vector<std::uint8_t>& bytes);
VARIANT vref(VARIANT* target);  // VT_BYREF | VT_VARIANT
VARIANT vmissing();             // the marker of a missing argument

struct CallResult {
  HRESULT hr = E_FAIL;
  Var result;
  UINT arg_err = 0xFFFFFFFF;
  EXCEPINFO excep{};
  ~CallResult();
};

// Invokes `dispid` with `args` in declaration order (they are cleared
// afterwards), `named` naming the last arguments' parameters.
void invoke(IDispatch* d, DISPID dispid, WORD flags, std::vector<VARIANT> args, CallResult& out,
            std::vector<DISPID> named = {});
DISPID dispid_of(IDispatch* d, const std::wstring& name);

// The bytes of a VT_ARRAY | VT_UI1 variant; `lower` gets its lower bound.
std::vector<std::uint8_t> bytes_of(const VARIANT& v, LONG* lower = nullptr);
std::wstring text_of(BSTR b);

// Runs this thread's message loop until `done` or `timeout_ms` passed.
bool pump_until(const std::function<bool()>& done, DWORD timeout_ms);

// An event sink: records every event as "Name(arg,arg)" with by-reference
// arguments shown as "&value". It can unadvise itself or release an object
// from inside an event.
class Sink final : public IDispatch {
 public:
  explicit Sink(const automation::Interface& events) : events_(events) {}
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override { return --refs_; }  // lives on the test's stack
  STDMETHODIMP GetTypeInfoCount(UINT* n) override;
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*, UINT*) override;

  std::vector<std::string> seen;
  ULONG refs_ = 0;
  std::function<void()> on_event;  // run after recording each event
  bool accept_event_iid = true;    // false: QueryInterface only offers IDispatch

 private:
  const automation::Interface& events_;
};

// The server of this program: the sample class.
const com::ServerSpec& sample_server();
// A new sample object through the server's class factory.
Ptr<IDispatch> new_sample();

}  // namespace pink::comtest
