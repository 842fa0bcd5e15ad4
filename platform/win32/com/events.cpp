#include "platform/win32/com/events.h"

#include <olectl.h>

#include <algorithm>

#include "platform/win32/com/module.h"
#include "platform/win32/com/object.h"
#include "platform/win32/com/values.h"

namespace pink::com {
namespace {

// Items an enumerator hands out with a reference each: connection points
// and connections.
struct PointItem {
  using Item = IConnectionPoint*;
  static void keep(Item i) { i->AddRef(); }
  static void let_go(Item i) { i->Release(); }
};
struct ConnectionItem {
  using Item = CONNECTDATA;
  static void keep(const Item& i) { i.pUnk->AddRef(); }
  static void let_go(const Item& i) { i.pUnk->Release(); }
};

// IEnumConnectionPoints / IEnumConnections over a snapshot.
template <class Enum, class Traits>
class Enumerator final : public Enum {
 public:
  using Item = typename Traits::Item;
  Enumerator(std::vector<Item> items, const IID& iid) : items_(std::move(items)), iid_(iid) {
    for (const Item& i : items_) Traits::keep(i);
    module::object_created();
  }
  ~Enumerator() {
    for (const Item& i : items_) Traits::let_go(i);
    module::object_destroyed();
  }
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != iid_) return E_NOINTERFACE;
    *out = this;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = ::InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }
  STDMETHODIMP Next(ULONG count, Item* out, ULONG* fetched) override {
    if (out == nullptr || (count > 1 && fetched == nullptr)) return E_POINTER;
    ULONG n = 0;
    for (; n < count && at_ < items_.size(); ++n, ++at_) {
      out[n] = items_[at_];
      Traits::keep(out[n]);
    }
    if (fetched != nullptr) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override {
    const std::size_t left = items_.size() - at_;
    at_ += std::min<std::size_t>(count, left);
    return count <= left ? S_OK : S_FALSE;
  }
  STDMETHODIMP Reset() override {
    at_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(Enum** out) override {
    if (out == nullptr) return E_POINTER;
    try {
      auto* copy = new Enumerator(items_, iid_);
      copy->at_ = at_;
      *out = copy;
      return S_OK;
    } catch (...) {
      *out = nullptr;
      return E_OUTOFMEMORY;
    }
  }

 private:
  std::vector<Item> items_;
  IID iid_;
  std::size_t at_ = 0;
  LONG refs_ = 1;
};

// One event argument: by value, or for a by-reference parameter a reference
// to a held copy of the value.
void set_argument(const automation::Param& p, const automation::Value& v, VARIANT& arg, VARIANT& held) {
  if (p.dir == automation::Dir::In) {
    to_variant(v, arg);
    return;
  }
  to_variant(v, held);
  const VARTYPE referred = held.vt == VT_EMPTY ? static_cast<VARTYPE>(VT_VARIANT) : held.vt;
  arg.vt = static_cast<VARTYPE>(VT_BYREF | referred);
  arg.byref = held.vt == VT_EMPTY ? static_cast<void*>(&held) : static_cast<void*>(&held.lVal);
}

void deliver(IDispatch* sink, const automation::Member& event, std::span<const automation::Value> args) {
  const std::size_t n = std::min(args.size(), event.params.size());
  std::vector<VARIANT> vars(n), held(n);
  for (std::size_t i = 0; i < n; ++i) {
    ::VariantInit(&vars[i]);
    ::VariantInit(&held[i]);
  }
  // Automation passes the last argument first.
  for (std::size_t i = 0; i < n; ++i) set_argument(event.params[i], args[i], vars[n - 1 - i], held[n - 1 - i]);
  DISPPARAMS dp{n ? vars.data() : nullptr, nullptr, static_cast<UINT>(n), 0};
  sink->Invoke(event.dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &dp, nullptr, nullptr, nullptr);
  for (std::size_t i = 0; i < n; ++i) {
    if ((vars[i].vt & VT_BYREF) == 0) ::VariantClear(&vars[i]);
    ::VariantClear(&held[i]);
  }
}

}  // namespace

EventPoint::EventPoint(ServerObject& owner, const automation::Interface& events)
    : owner_(owner), iid_(guid_of(events.iid)) {}

EventPoint::~EventPoint() { clear(); }

STDMETHODIMP EventPoint::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (iid != IID_IUnknown && iid != IID_IConnectionPoint) return E_NOINTERFACE;
  *out = static_cast<IConnectionPoint*>(this);
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) EventPoint::AddRef() { return owner_.AddRef(); }
STDMETHODIMP_(ULONG) EventPoint::Release() { return owner_.Release(); }

STDMETHODIMP EventPoint::GetConnectionInterface(IID* out) {
  if (out == nullptr) return E_POINTER;
  *out = iid_;
  return S_OK;
}

STDMETHODIMP EventPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
  if (out == nullptr) return E_POINTER;
  return owner_.QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(out));
}

STDMETHODIMP EventPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (cookie == nullptr) return E_POINTER;
  *cookie = 0;
  if (sink == nullptr) return E_POINTER;
  // The sink implements the event interface (a dispatch interface), or at
  // least IDispatch, through which every event is delivered.
  IDispatch* dispatch = nullptr;
  if (FAILED(sink->QueryInterface(iid_, reinterpret_cast<void**>(&dispatch))) &&
      FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)))) {
    return CONNECT_E_CANNOTCONNECT;
  }
  try {
    sinks_.push_back(Sink{next_cookie_, dispatch});
  } catch (...) {
    dispatch->Release();
    return E_OUTOFMEMORY;
  }
  *cookie = next_cookie_++;
  return S_OK;
}

STDMETHODIMP EventPoint::Unadvise(DWORD cookie) {
  const auto it = std::find_if(sinks_.begin(), sinks_.end(), [cookie](const Sink& s) { return s.cookie == cookie; });
  if (it == sinks_.end()) return CONNECT_E_NOCONNECTION;
  IDispatch* gone = it->dispatch;
  sinks_.erase(it);
  gone->Release();
  return S_OK;
}

STDMETHODIMP EventPoint::EnumConnections(IEnumConnections** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  try {
    std::vector<CONNECTDATA> items;
    for (const Sink& s : sinks_) items.push_back(CONNECTDATA{s.dispatch, s.cookie});
    *out = new Enumerator<IEnumConnections, ConnectionItem>(std::move(items), IID_IEnumConnections);
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

void EventPoint::fire(const automation::Member& event, std::span<const automation::Value> args) noexcept {
  std::vector<IDispatch*> targets;
  try {
    for (const Sink& s : sinks_) targets.push_back(s.dispatch);
  } catch (...) {
    return;
  }
  // Each sink is held for its call: it may unadvise (and the host release
  // the object) from inside.
  for (IDispatch* t : targets) t->AddRef();
  owner_.AddRef();
  for (IDispatch* t : targets) {
    try {
      deliver(t, event, args);
    } catch (...) {
    }
    t->Release();
  }
  owner_.Release();
}

void EventPoint::clear() noexcept {
  std::vector<Sink> gone;
  gone.swap(sinks_);
  for (const Sink& s : gone) s.dispatch->Release();
}

HRESULT enum_points(IConnectionPoint* point, IEnumConnectionPoints** out) noexcept {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  try {
    *out = new Enumerator<IEnumConnectionPoints, PointItem>({point}, IID_IEnumConnectionPoints);
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace pink::com
