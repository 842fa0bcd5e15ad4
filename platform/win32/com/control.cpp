// The control object: its identity and interfaces, siting, verbs, extents,
// property pages and events (control_object.h).
#include "platform/win32/com/control.h"

#include <olectl.h>

#include <new>

#include "platform/win32/com/control_object.h"
#include "platform/win32/com/values.h"

namespace pink::com {
namespace {

// The natural size in HIMETRIC, at the screen's nominal 96 pixels an inch,
// so that the extent a form saves does not depend on the machine.
LONG himetric_of(int pixels) { return ::MulDiv(pixels, 2540, 96); }

}  // namespace

void* wrap_control(const ClassSpec& spec, const ControlSpec& control,
                   std::unique_ptr<automation::Object> object) noexcept {
  try {
    if (dynamic_cast<automation::View*>(object.get()) == nullptr) return nullptr;
    auto* made = new Control(spec, control, std::move(object));
    return static_cast<IUnknown*>(static_cast<IProvideClassInfo2*>(made));
  } catch (...) {
    return nullptr;
  }
}

Control::Control(const ClassSpec& spec, const ControlSpec& control, std::unique_ptr<automation::Object> object)
    : ServerObject(spec, std::move(object)),
      control_(control),
      view_(dynamic_cast<automation::View*>(&this->object())),
      persistent_(dynamic_cast<automation::Persistent*>(&this->object())),
      extent_{himetric_of(control.width), himetric_of(control.height)} {
  this->object().set_sink(
      [this](const automation::Member& event, std::span<const automation::Value> args) { on_event(event, args); });
}

Control::~Control() {
  // No event and no message of the window may reach a control half gone.
  object().set_sink({});
  destroy_window(false);
}

void* Control::query_more(REFIID iid) {
  if (iid == IID_IOleObject) return static_cast<IOleObject*>(this);
  if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject) return static_cast<IOleInPlaceObject*>(this);
  if (iid == IID_IOleInPlaceActiveObject) return static_cast<IOleInPlaceActiveObject*>(this);
  if (iid == IID_IViewObject || iid == IID_IViewObject2) return static_cast<IViewObject2*>(this);
  if (iid == IID_IPersist || iid == IID_IPersistStreamInit) return static_cast<IPersistStreamInit*>(this);
  if (iid == IID_IPersistPropertyBag) return static_cast<IPersistPropertyBag*>(this);
  if (iid == IID_ISpecifyPropertyPages) return static_cast<ISpecifyPropertyPages*>(this);
  if (iid == IID_IOleControl) return static_cast<IOleControl*>(this);
  return nullptr;
}

// --- IOleObject ------------------------------------------------------------------

STDMETHODIMP Control::SetClientSite(IOleClientSite* site) {
  if (site == nullptr) InPlaceDeactivate();
  site_.reset(site);
  return S_OK;
}

STDMETHODIMP Control::GetClientSite(IOleClientSite** out) {
  if (out == nullptr) return E_POINTER;
  *out = site_.get();
  if (*out != nullptr) (*out)->AddRef();
  return S_OK;
}

// Saved when the host asks for it and something changed, then deactivated;
// the container's advise sinks learn that the control closed.
STDMETHODIMP Control::Close(DWORD save_option) {
  const bool save = save_option == OLECLOSE_SAVEIFDIRTY || save_option == OLECLOSE_PROMPTSAVE;
  if (save && site_ && dirty()) site_->SaveObject();
  InPlaceDeactivate();
  if (advise_holder_) advise_holder_->SendOnClose();
  return S_OK;
}

STDMETHODIMP Control::GetMoniker(DWORD, DWORD, IMoniker** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP Control::GetClipboardData(DWORD, IDataObject** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return E_NOTIMPL;
}

// Every showing verb activates the control in place; the primary verb,
// "show", "open" and "UI activate" also make it the UI-active object.
STDMETHODIMP Control::DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND parent, LPCRECT) {
  switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_OPEN:
    case OLEIVERB_UIACTIVATE: return activate(true);
    case OLEIVERB_INPLACEACTIVATE: return activate(false);
    case OLEIVERB_HIDE:
      UIDeactivate();
      if (window_ != nullptr) ::ShowWindow(window_, SW_HIDE);
      return S_OK;
    case OLEIVERB_DISCARDUNDOSTATE: return S_OK;
    case OLEIVERB_PROPERTIES: return show_properties(parent);
    default: {
      if (verb < 0) return E_NOTIMPL;
      const HRESULT hr = activate(true);
      return FAILED(hr) ? hr : OLEOBJ_S_INVALIDVERB;
    }
  }
}

STDMETHODIMP Control::EnumVerbs(IEnumOLEVERB** out) {
  if (out == nullptr) return E_POINTER;
  return ::OleRegEnumVerbs(guid_of(spec().info->clsid), out);
}

STDMETHODIMP Control::GetUserClassID(CLSID* out) {
  if (out == nullptr) return E_POINTER;
  *out = guid_of(spec().info->clsid);
  return S_OK;
}

// The registered names, or the class's description when there are none.
STDMETHODIMP Control::GetUserType(DWORD form, LPOLESTR* out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (SUCCEEDED(::OleRegGetUserType(guid_of(spec().info->clsid), form, out)) && *out != nullptr) return S_OK;
  const std::wstring name = wide_of_utf8(spec().info->description);
  *out = static_cast<LPOLESTR>(::CoTaskMemAlloc((name.size() + 1) * sizeof(wchar_t)));
  if (*out == nullptr) return E_OUTOFMEMORY;
  ::memcpy(*out, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
  return S_OK;
}

STDMETHODIMP Control::SetExtent(DWORD aspect, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (size->cx < 0 || size->cy < 0) return E_INVALIDARG;
  if (size->cx != extent_.cx || size->cy != extent_.cy) extent_dirty_ = true;
  extent_ = *size;
  return S_OK;
}

STDMETHODIMP Control::GetExtent(DWORD aspect, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *size = extent_;
  return S_OK;
}

STDMETHODIMP Control::Advise(IAdviseSink* sink, DWORD* cookie) {
  if (sink == nullptr || cookie == nullptr) return E_POINTER;
  if (!advise_holder_) {
    IOleAdviseHolder* holder = nullptr;
    if (const HRESULT hr = ::CreateOleAdviseHolder(&holder); FAILED(hr)) return hr;
    advise_holder_.adopt(holder);
  }
  return advise_holder_->Advise(sink, cookie);
}

STDMETHODIMP Control::Unadvise(DWORD cookie) {
  return advise_holder_ ? advise_holder_->Unadvise(cookie) : OLE_E_NOCONNECTION;
}

STDMETHODIMP Control::EnumAdvise(IEnumSTATDATA** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return advise_holder_ ? advise_holder_->EnumAdvise(out) : E_FAIL;
}

STDMETHODIMP Control::GetMiscStatus(DWORD aspect, DWORD* status) {
  if (status == nullptr) return E_POINTER;
  *status = aspect == DVASPECT_CONTENT ? spec().registry.misc_status : 0;
  return S_OK;
}

// --- ISpecifyPropertyPages ---------------------------------------------------------

STDMETHODIMP Control::GetPages(CAUUID* pages) {
  if (pages == nullptr) return E_POINTER;
  pages->cElems = 0;
  pages->pElems = static_cast<GUID*>(::CoTaskMemAlloc(sizeof(GUID)));
  if (pages->pElems == nullptr) return E_OUTOFMEMORY;
  pages->pElems[0] = guid_of(control_.property_page);
  pages->cElems = 1;
  return S_OK;
}

// The property frame of the control's page, modal over `parent`.
HRESULT Control::show_properties(HWND parent) {
  IUnknown* self = identity();
  CLSID page = guid_of(control_.property_page);
  const std::wstring caption = wide_of_utf8(spec().info->name);
  return ::OleCreatePropertyFrame(parent, 0, 0, caption.c_str(), 1, &self, 1, &page, LOCALE_USER_DEFAULT, 0,
                                  nullptr);
}

// --- IOleControl and events -----------------------------------------------------------

STDMETHODIMP Control::GetControlInfo(CONTROLINFO* info) {
  if (info == nullptr) return E_POINTER;
  info->hAccel = nullptr;  // no mnemonics
  info->cAccel = 0;
  info->dwFlags = 0;
  return S_OK;
}

// While the host has frozen events, they are held in order and delivered
// when it thaws them: an answer of the pad is never lost to a busy host.
STDMETHODIMP Control::FreezeEvents(BOOL freeze) {
  if (freeze) {
    ++frozen_;
    return S_OK;
  }
  if (frozen_ == 0 || --frozen_ > 0) return S_OK;
  auto held = std::move(held_events_);
  held_events_.clear();
  AddRef();  // a sink may release the control from inside an event
  for (std::size_t i = 0; i < held.size(); ++i) {
    if (frozen_ > 0) {  // frozen again by a sink: the rest waits again
      held_events_.insert(held_events_.begin(), std::make_move_iterator(held.begin() + static_cast<std::ptrdiff_t>(i)),
                          std::make_move_iterator(held.end()));
      break;
    }
    deliver_event(*held[i].first, held[i].second);
  }
  Release();
  return S_OK;
}

void Control::on_event(const automation::Member& event, std::span<const automation::Value> args) {
  if (frozen_ > 0) {
    held_events_.emplace_back(&event, std::vector<automation::Value>(args.begin(), args.end()));
    return;
  }
  deliver_event(event, args);
}

}  // namespace pink::com
