// The connection point of an object's event interface: sinks advise and
// unadvise, and every event the object fires goes to each advised sink's
// IDispatch::Invoke (arguments in reverse order as automation passes them;
// by-reference parameters as references to the value). A sink's failure or
// its unadvising from inside an event never stops the others.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <span>
#include <vector>

#include "automation/value.h"

namespace pink::com {

class ServerObject;

class EventPoint final : public IConnectionPoint {
 public:
  EventPoint(ServerObject& owner, const automation::Interface& events);
  ~EventPoint();
  EventPoint(const EventPoint&) = delete;
  EventPoint& operator=(const EventPoint&) = delete;

  // IUnknown: the point lives as long as its object.
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IConnectionPoint.
  STDMETHODIMP GetConnectionInterface(IID* out) override;
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override;
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
  STDMETHODIMP Unadvise(DWORD cookie) override;
  STDMETHODIMP EnumConnections(IEnumConnections** out) override;

  const IID& iid() const noexcept { return iid_; }
  // Delivers an event of the interface to every sink.
  void fire(const automation::Member& event, std::span<const automation::Value> args) noexcept;
  // Lets every sink go.
  void clear() noexcept;

 private:
  struct Sink {
    DWORD cookie;
    IDispatch* dispatch;
  };
  ServerObject& owner_;
  IID iid_;
  std::vector<Sink> sinks_;
  DWORD next_cookie_ = 1;
};

// An enumerator over one connection point (IEnumConnectionPoints).
HRESULT enum_points(IConnectionPoint* point, IEnumConnectionPoints** out) noexcept;

}  // namespace pink::com
