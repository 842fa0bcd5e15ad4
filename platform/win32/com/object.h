// The COM object around an automation object: IUnknown, IDispatch (for a
// dual interface with the interface's own v-table behind it),
// IProvideClassInfo2, IConnectionPointContainer with the connection point of
// the event interface, and ISupportErrorInfo. Events the object fires reach
// every advised sink's IDispatch::Invoke, on the object's thread.
//
// A control derives from it, adds its interfaces through query_more() and
// overrides the three IUnknown members of its added bases with forwards:
//
//   class Control : public com::ServerObject, public IOleObject, ... {
//     STDMETHODIMP QueryInterface(REFIID i, void** o) override { return ServerObject::QueryInterface(i, o); }
//     STDMETHODIMP_(ULONG) AddRef() override { return ServerObject::AddRef(); }
//     STDMETHODIMP_(ULONG) Release() override { return ServerObject::Release(); }
//     void* query_more(REFIID iid) override;  // IOleObject* ... without a reference
//   };
//
// The object counts as alive for DllCanUnloadNow from construction to its
// last Release.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <oleauto.h>

#include <memory>
#include <vector>

#include "automation/object.h"
#include "platform/win32/com/server.h"

namespace pink::com {

class ServerObject;
class EventPoint;

// An IDispatch whose v-table is built here: IUnknown and IDispatch entries
// that forward to the object, then the dual interface's own entries.
struct Face {
  const Slot* vtable;
  ServerObject* owner;
};

class ServerObject : public IProvideClassInfo2, public IConnectionPointContainer, public ISupportErrorInfo {
 public:
  // Throws when the class's dual interface has no v-table of the right size.
  ServerObject(const ClassSpec& spec, std::unique_ptr<automation::Object> object);
  virtual ~ServerObject();
  ServerObject(const ServerObject&) = delete;
  ServerObject& operator=(const ServerObject&) = delete;

  // IUnknown (one identity for every interface).
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IProvideClassInfo2.
  STDMETHODIMP GetClassInfo(ITypeInfo** out) override;
  STDMETHODIMP GetGUID(DWORD kind, GUID* out) override;

  // IConnectionPointContainer.
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override;
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

  // ISupportErrorInfo: the dispatch interface reports its failures.
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override;

  // IDispatch, behind the face.
  HRESULT type_info_count(UINT* count);
  HRESULT type_info(UINT index, ITypeInfo** out);
  HRESULT ids_of_names(const IID& iid, LPOLESTR* names, UINT count, DISPID* ids);
  HRESULT invoke(DISPID id, const IID& iid, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                 UINT* arg_err);

  automation::Object& object() noexcept { return *object_; }
  const ClassSpec& spec() const noexcept { return spec_; }
  // The object's IDispatch (its dual interface when it has one); no reference added.
  IDispatch* dispatch() noexcept { return reinterpret_cast<IDispatch*>(&face_); }
  IUnknown* identity() noexcept { return static_cast<IProvideClassInfo2*>(this); }

 protected:
  // Further interfaces of a derived object: the pointer for `iid` without a
  // reference, or null.
  virtual void* query_more(REFIID iid);
  // Delivers an event to every advised sink: what the object's events do
  // unless a derived object sets a sink of its own on the object.
  void deliver_event(const automation::Member& event, std::span<const automation::Value> args) noexcept;

 private:
  // Calls in progress (IDispatch, the v-table, the window work): the last
  // Release inside one of them ends the object when the outermost returns.
  class Busy {
   public:
    explicit Busy(ServerObject& o) : o_(o) { ++o_.busy_; }
    ~Busy();
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

   private:
    ServerObject& o_;
  };
  friend class Busy;
  friend std::int32_t dual::call(void*, const automation::Member&, const void* const*) noexcept;

  const ClassSpec& spec_;
  std::unique_ptr<automation::Object> object_;
  std::vector<Slot> vtable_;
  Face face_;
  std::unique_ptr<EventPoint> events_;
  LONG refs_ = 1;
  int busy_ = 0;
  bool dying_ = false;
};

// The standard COM object of a class (ClassSpec::wrap when none is given).
void* wrap_standard(const ClassSpec& spec, std::unique_ptr<automation::Object> object);

// A GUID from its registry text "{...}"; GUID_NULL when malformed.
GUID guid_of(const char* text);

}  // namespace pink::com
