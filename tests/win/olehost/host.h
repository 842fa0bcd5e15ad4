// olehost.exe: a minimal OLE container, the way a POS form hosts the
// signature pad controls, for the Windows tests run under Wine. It knows
// the controls only through COM: it creates one by its ProgID, sites it in a
// container window (client site, in-place site, frame), activates it in
// place, advises its events through its connection point, calls its members
// late-bound through IDispatch, and reports every call, event and check on
// standard output, one line each, for the Linux test to read.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <oleauto.h>
#include <olectl.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace olehost {

// --- plumbing ------------------------------------------------------------------------

template <class T>
class Ptr {
 public:
  Ptr() = default;
  ~Ptr() { reset(); }
  Ptr(const Ptr&) = delete;
  Ptr& operator=(const Ptr&) = delete;
  Ptr(Ptr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
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
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

// QueryInterface into a Ptr.
template <class T>
Ptr<T> query(IUnknown* from, REFIID iid) {
  Ptr<T> p;
  if (from != nullptr) from->QueryInterface(iid, p.out_void());
  return p;
}

struct Var {
  VARIANT v;
  Var() { ::VariantInit(&v); }
  ~Var() { ::VariantClear(&v); }
  Var(const Var&) = delete;
  Var& operator=(const Var&) = delete;
};

std::string utf8(const std::wstring& text);
std::wstring wide(const std::string& utf8_text);
std::string hresult(HRESULT hr);  // "0x80004005"

// One line of the report on standard output.
void say(const std::string& line);
// A failed expectation: reported as "FAIL ..." and counted; the exit status
// is 1 when there was one.
void fail(const std::string& what);
bool check(bool ok, const std::string& what);
int failures();

// Runs this thread's messages until `done` or `timeout_ms` passed.
bool pump_until(const std::function<bool()>& done, DWORD timeout_ms);
void pump_for(DWORD ms);

// --- late-bound calls -------------------------------------------------------------------

// An argument of a call: a value, or an out-argument the call writes.
struct Arg {
  static Arg text(const std::wstring& s);
  static Arg i2(short n);
  static Arg i4(long n);
  static Arg out_i2();
  static Arg out_i4();
  std::shared_ptr<Var> value;  // by value, or the target of an out-argument
  bool out = false;
};

// The result of a call, its out-arguments, and the call as a report line
// ("call Name(args) = result").
struct Called {
  HRESULT hr = E_FAIL;
  std::shared_ptr<Var> result = std::make_shared<Var>();
  std::vector<Arg> args;
  std::string line;
  long number() const;                    // the result as a number
  std::wstring text() const;              // the result as text
  std::vector<std::uint8_t> bytes() const;  // the result as a byte array
  long out(std::size_t i) const;          // the i-th argument's value as a number
};

Called call(IDispatch* d, const std::wstring& name, std::vector<Arg> args = {});
Called get(IDispatch* d, const std::wstring& name);
HRESULT put(IDispatch* d, const std::wstring& name, VARIANT value);
std::string shown(const VARIANT& v);  // a value as the report shows it

// --- events -------------------------------------------------------------------------------

// The event sink: every event the control fires, named from the control's
// type library, reported and kept in order.
class Sink final : public IDispatch {
 public:
  explicit Sink(ITypeInfo* events);  // the event interface's type information
  ~Sink();
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override { return --refs_; }  // lives on the caller's stack
  STDMETHODIMP GetTypeInfoCount(UINT* n) override;
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*, UINT*) override;

  IID iid{};
  std::vector<std::string> seen;  // "Name(args)"
  int count(const std::string& name) const;
  // Waits until `name` has fired `times` times in all.
  bool wait(const std::string& name, int times = 1, DWORD timeout_ms = 30000);
  ULONG refs_ = 0;

 private:
  ITypeInfo* events_;
};

// --- the container --------------------------------------------------------------------------

// The container's window and its sites: a top-level window with the
// control's place in it, the client site and in-place site of that place,
// and the frame. Every call the control makes on them is reported
// ("site: OnInPlaceActivate" ...).
class Container {
 public:
  Container();  // throws std::runtime_error when the window cannot be made
  ~Container();
  Container(const Container&) = delete;
  Container& operator=(const Container&) = delete;

  HWND window() const { return window_; }
  IOleClientSite* client_site();
  RECT place() const { return place_; }
  // Calls the control made, in order.
  const std::vector<std::string>& site_calls() const;

 private:
  struct Sites;
  HWND window_ = nullptr;
  RECT place_{};
  Sites* sites_;
};

// A control created by ProgID and sited in the container.
struct Hosted {
  Ptr<IOleObject> ole;
  Ptr<IDispatch> dispatch;
  Ptr<IConnectionPoint> point;
  DWORD cookie = 0;
  HWND window = nullptr;  // the control's window once active
};

// Creates the control by ProgID, sites it, advises the sink, loads it new
// and activates it in place, reporting each step. False when a step failed.
bool site_control(const std::wstring& progid, Container& container, Sink*& sink, Hosted& hosted);

// Counts the messages the control's window takes from this thread's queue
// (the pad notifications WM_USER + 1 and + 2, its timers), from now on.
void watch_window(HWND window);
// "window messages: WM_USER+1 x N, WM_USER+2 x N, WM_TIMER x N".
void report_window_messages();
// Closes and releases the control, reporting that its window went.
void close_control(Hosted& hosted, Sink* sink);

// The pixels of the control's window as the screen shows it (BitBlt from
// its DC), and as IViewObject::Draw draws them into a memory DC, written as
// 24-bit BMP files.
bool capture_window(HWND window, const std::wstring& path);
bool capture_draw(IUnknown* control, int width, int height, const std::wstring& path);

// --- the families' jobs -----------------------------------------------------------------------

struct Options {
  std::wstring progid;
  int port = 0;
  std::wstring bmp;     // the signature bitmap the control writes
  std::wstring window;  // the window's picture
  std::wstring draw;    // the picture drawn through IViewObject::Draw
  std::wstring log;     // stylpad's log folder prefix
};

// A signature, then a PIN, against the pad on COM<port>.
void run_tallypad(IDispatch* d, Sink& sink, const Hosted& hosted, const Options& o);
void run_quillpad(IDispatch* d, Sink& sink, const Hosted& hosted, const Options& o);
void run_stylpad(IDispatch* d, Sink& sink, const Hosted& hosted, const Options& o);
// A signature asked of a pad that never answers: the control's timers give
// up (quillpad: OnPadError; stylpad: init sent three times, then errCode).
void run_silent(IDispatch* d, Sink& sink, const Options& o);

// What needs no pad: persistence, property pages, frozen events, drawing
// without a window.
void check_persistence(const Options& o);
void check_pages(const Options& o);

}  // namespace olehost
