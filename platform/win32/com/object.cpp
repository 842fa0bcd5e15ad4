#include "platform/win32/com/object.h"

#include <olectl.h>

#include <stdexcept>
#include <string>

#include "platform/win32/com/events.h"
#include "platform/win32/com/invoke.h"
#include "platform/win32/com/module.h"
#include "platform/win32/com/values.h"

namespace pink::com {
namespace {

static_assert(sizeof(dual::VariantArg) == sizeof(VARIANT) && alignof(dual::VariantArg) >= alignof(VARIANT),
              "a VARIANT passed by value is passed as dual.h spells it");

ServerObject* owner_of(void* face) { return static_cast<Face*>(face)->owner; }

// The IUnknown and IDispatch entries of the face's v-table.
HRESULT STDMETHODCALLTYPE face_query(void* f, REFIID iid, void** out) { return owner_of(f)->QueryInterface(iid, out); }
ULONG STDMETHODCALLTYPE face_add_ref(void* f) { return owner_of(f)->AddRef(); }
ULONG STDMETHODCALLTYPE face_release(void* f) { return owner_of(f)->Release(); }
HRESULT STDMETHODCALLTYPE face_type_info_count(void* f, UINT* n) { return owner_of(f)->type_info_count(n); }
HRESULT STDMETHODCALLTYPE face_type_info(void* f, UINT i, LCID, ITypeInfo** out) {
  return owner_of(f)->type_info(i, out);
}
HRESULT STDMETHODCALLTYPE face_ids(void* f, REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  return owner_of(f)->ids_of_names(iid, names, count, ids);
}
HRESULT STDMETHODCALLTYPE face_invoke(void* f, DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                      VARIANT* result, EXCEPINFO* excep, UINT* arg_err) {
  return owner_of(f)->invoke(id, iid, flags, params, result, excep, arg_err);
}

std::vector<Slot> vtable_for(const ClassSpec& spec) {
  const automation::Interface& itf = spec.info->dispatch;
  const std::size_t own = itf.dual ? itf.members.size() : 0;
  if (spec.dual_slots.size() != own) {
    throw std::logic_error("the v-table of " + std::string(itf.name) + " does not match its member table");
  }
  std::vector<Slot> v = {
      reinterpret_cast<Slot>(&face_query),           reinterpret_cast<Slot>(&face_add_ref),
      reinterpret_cast<Slot>(&face_release),         reinterpret_cast<Slot>(&face_type_info_count),
      reinterpret_cast<Slot>(&face_type_info),       reinterpret_cast<Slot>(&face_ids),
      reinterpret_cast<Slot>(&face_invoke),
  };
  v.insert(v.end(), spec.dual_slots.begin(), spec.dual_slots.end());
  return v;
}

}  // namespace

GUID guid_of(const char* text) {
  GUID g = GUID_NULL;
  if (text == nullptr || FAILED(::IIDFromString(wide_of_utf8(text).c_str(), &g))) return GUID_NULL;
  return g;
}

ServerObject::ServerObject(const ClassSpec& spec, std::unique_ptr<automation::Object> object)
    : spec_(spec), object_(std::move(object)), vtable_(vtable_for(spec)), face_{vtable_.data(), this} {
  events_ = std::make_unique<EventPoint>(*this, spec.info->events);
  object_->set_sink([this](const automation::Member& e, std::span<const automation::Value> args) {
    events_->fire(e, args);
  });
  object_->set_served_scope([this](const std::function<void()>& run) {
    AddRef();
    {
      Busy busy(*this);
      run();
    }
    Release();
  });
  module::object_created();
}

ServerObject::~ServerObject() {
  events_->clear();
  object_.reset();
  module::object_destroyed();
}

ServerObject::Busy::~Busy() {
  if (--o_.busy_ == 0 && o_.dying_) delete &o_;
}

STDMETHODIMP ServerObject::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  void* p = nullptr;
  if (iid == IID_IUnknown) {
    p = identity();
  } else if (iid == IID_IDispatch || iid == guid_of(spec_.info->dispatch.iid)) {
    p = &face_;
  } else if (iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2) {
    p = static_cast<IProvideClassInfo2*>(this);
  } else if (iid == IID_IConnectionPointContainer) {
    p = static_cast<IConnectionPointContainer*>(this);
  } else if (iid == IID_ISupportErrorInfo) {
    p = static_cast<ISupportErrorInfo*>(this);
  } else {
    p = query_more(iid);
  }
  if (p == nullptr) return E_NOINTERFACE;
  AddRef();
  *out = p;
  return S_OK;
}

STDMETHODIMP_(ULONG) ServerObject::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }

STDMETHODIMP_(ULONG) ServerObject::Release() {
  const LONG left = ::InterlockedDecrement(&refs_);
  if (left == 0) {
    if (busy_ > 0) {
      dying_ = true;  // ended when the running call returns
    } else {
      delete this;
    }
  }
  return static_cast<ULONG>(left);
}

STDMETHODIMP ServerObject::GetClassInfo(ITypeInfo** out) {
  return module::type_info(guid_of(spec_.info->clsid), out);
}

STDMETHODIMP ServerObject::GetGUID(DWORD kind, GUID* out) {
  if (out == nullptr) return E_POINTER;
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
    *out = GUID_NULL;
    return E_INVALIDARG;
  }
  *out = events_->iid();
  return S_OK;
}

STDMETHODIMP ServerObject::EnumConnectionPoints(IEnumConnectionPoints** out) { return enum_points(events_.get(), out); }

STDMETHODIMP ServerObject::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (iid != events_->iid()) return CONNECT_E_NOCONNECTION;
  *out = events_.get();
  events_->AddRef();
  return S_OK;
}

STDMETHODIMP ServerObject::InterfaceSupportsErrorInfo(REFIID iid) {
  return iid == IID_IDispatch || iid == guid_of(spec_.info->dispatch.iid) ? S_OK : S_FALSE;
}

HRESULT ServerObject::type_info_count(UINT* count) {
  if (count == nullptr) return E_POINTER;
  ITypeInfo* info = nullptr;
  *count = SUCCEEDED(type_info(0, &info)) ? 1 : 0;
  if (info != nullptr) info->Release();
  return S_OK;
}

HRESULT ServerObject::type_info(UINT index, ITypeInfo** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  return module::type_info(guid_of(spec_.info->dispatch.iid), out);
}

HRESULT ServerObject::ids_of_names(const IID& iid, LPOLESTR* names, UINT count, DISPID* ids) {
  return com::ids_of_names(spec_.info->dispatch.members, iid, names, count, ids);
}

HRESULT ServerObject::invoke(DISPID id, const IID& iid, WORD flags, DISPPARAMS* params, VARIANT* result,
                             EXCEPINFO* excep, UINT* arg_err) {
  Busy busy(*this);
  return com::invoke(*object_, id, iid, flags, params, result, excep, arg_err);
}

void* ServerObject::query_more(REFIID) { return nullptr; }

void ServerObject::deliver_event(const automation::Member& event, std::span<const automation::Value> args) noexcept {
  events_->fire(event, args);
}

void* wrap_standard(const ClassSpec& spec, std::unique_ptr<automation::Object> object) {
  try {
    return static_cast<IUnknown*>(static_cast<IProvideClassInfo2*>(new ServerObject(spec, std::move(object))));
  } catch (...) {
    return nullptr;
  }
}

std::int32_t dual::call(void* self, const automation::Member& row, const void* const* args) noexcept {
  ServerObject* o = owner_of(self);
  ServerObject::Busy busy(*o);
  return call_row(o->object(), row, args);
}

}  // namespace pink::com
