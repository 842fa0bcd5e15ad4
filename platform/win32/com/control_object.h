// The control object of control.h, shared by its three source files:
// control.cpp (identity, IOleObject, IOleControl, property pages, events),
// control_window.cpp (the window, activation, IOleInPlaceObject,
// IOleInPlaceActiveObject, IViewObject2) and control_persist.cpp
// (IPersistStreamInit, IPersistPropertyBag).
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <oleidl.h>

#include <memory>
#include <utility>
#include <vector>

#include "automation/persist.h"
#include "automation/view.h"
#include "platform/win32/com/control.h"
#include "platform/win32/com/object.h"

namespace pink::com {

// A reference-counted interface pointer held by the control.
template <class T>
class Held {
 public:
  Held() = default;
  ~Held() { reset(); }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  void reset(T* p = nullptr) {
    if (p != nullptr) p->AddRef();
    T* old = std::exchange(p_, p);
    if (old != nullptr) old->Release();
  }
  // Takes a reference the caller already owns.
  void adopt(T* p) {
    T* old = std::exchange(p_, p);
    if (old != nullptr) old->Release();
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

class Control final : public ServerObject,
                      public IOleObject,
                      public IOleInPlaceObject,
                      public IOleInPlaceActiveObject,
                      public IViewObject2,
                      public IPersistStreamInit,
                      public IPersistPropertyBag,
                      public ISpecifyPropertyPages,
                      public IOleControl,
                      private automation::ViewHost {
 public:
  Control(const ClassSpec& spec, const ControlSpec& control, std::unique_ptr<automation::Object> object);
  ~Control() override;

  // IUnknown of every interface: the object's one identity.
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return ServerObject::QueryInterface(iid, out); }
  STDMETHODIMP_(ULONG) AddRef() override { return ServerObject::AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return ServerObject::Release(); }

  // IOleObject.
  STDMETHODIMP SetClientSite(IOleClientSite* site) override;
  STDMETHODIMP GetClientSite(IOleClientSite** out) override;
  STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP Close(DWORD save_option) override;
  STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override;
  STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP GetClipboardData(DWORD, IDataObject** out) override;
  STDMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite* site, LONG index, HWND parent, LPCRECT pos) override;
  STDMETHODIMP EnumVerbs(IEnumOLEVERB** out) override;
  STDMETHODIMP Update() override { return S_OK; }
  STDMETHODIMP IsUpToDate() override { return S_OK; }
  STDMETHODIMP GetUserClassID(CLSID* out) override;
  STDMETHODIMP GetUserType(DWORD form, LPOLESTR* out) override;
  STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP Advise(IAdviseSink* sink, DWORD* cookie) override;
  STDMETHODIMP Unadvise(DWORD cookie) override;
  STDMETHODIMP EnumAdvise(IEnumSTATDATA** out) override;
  STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
  STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

  // IOleWindow (of IOleInPlaceObject and IOleInPlaceActiveObject).
  STDMETHODIMP GetWindow(HWND* out) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  // IOleInPlaceObject.
  STDMETHODIMP InPlaceDeactivate() override;
  STDMETHODIMP UIDeactivate() override;
  STDMETHODIMP SetObjectRects(LPCRECT pos, LPCRECT clip) override;
  STDMETHODIMP ReactivateAndUndo() override { return INPLACE_E_NOTUNDOABLE; }
  // IOleInPlaceActiveObject: no accelerators, no tools of its own.
  STDMETHODIMP TranslateAccelerator(LPMSG) override { return S_FALSE; }
  STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
  STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }

  // IViewObject2.
  STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspect_info, DVTARGETDEVICE* target, HDC target_dc, HDC dc,
                    LPCRECTL bounds, LPCRECTL window_bounds, BOOL(STDMETHODCALLTYPE* keep_going)(ULONG_PTR),
                    ULONG_PTR keep_going_arg) override;
  STDMETHODIMP GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** out) override;
  STDMETHODIMP Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
  STDMETHODIMP Unfreeze(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
  STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
  STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* target, LPSIZEL size) override;

  // IPersist (of both persistence interfaces).
  STDMETHODIMP GetClassID(CLSID* out) override;
  // IPersistStreamInit.
  STDMETHODIMP IsDirty() override;
  STDMETHODIMP Load(LPSTREAM stream) override;
  STDMETHODIMP Save(LPSTREAM stream, BOOL clear_dirty) override;
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
  STDMETHODIMP InitNew() override;
  // IPersistPropertyBag (its InitNew is the same).
  STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
  STDMETHODIMP Save(IPropertyBag* bag, BOOL clear_dirty, BOOL save_all) override;

  // ISpecifyPropertyPages.
  STDMETHODIMP GetPages(CAUUID* pages) override;

  // IOleControl.
  STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
  STDMETHODIMP OnMnemonic(MSG*) override { return S_OK; }
  STDMETHODIMP OnAmbientPropertyChange(DISPID) override { return S_OK; }
  STDMETHODIMP FreezeEvents(BOOL freeze) override;

  // The window's side (control_window.cpp).
  LRESULT on_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

 protected:
  void* query_more(REFIID iid) override;

 private:
  // ViewHost.
  void invalidate() noexcept override;
  bool post(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) noexcept override;

  // Activation (control_window.cpp).
  HRESULT activate(bool ui);
  HRESULT make_window();
  void ui_activate();
  void destroy_window(bool drain);
  void paint(HDC dc, const RECT& area);
  void view_message(UINT message, WPARAM wparam, LPARAM lparam);
  HRESULT show_properties(HWND parent);

  // Events, held while the host has frozen them.
  void on_event(const automation::Member& event, std::span<const automation::Value> args);

  // Persistence (control_persist.cpp).
  std::vector<automation::persist::Property> saved_properties();
  HRESULT restore(const std::vector<automation::persist::Property>& properties);
  HRESULT begin_init();
  bool dirty() const;
  void clean();

  const ControlSpec& control_;
  automation::View* view_;
  automation::Persistent* persistent_;  // null: only the extent is persisted
  Held<IOleClientSite> site_;
  Held<IOleInPlaceSite> in_place_site_;
  Held<IOleInPlaceFrame> frame_;
  Held<IOleInPlaceUIWindow> ui_window_;
  Held<IOleAdviseHolder> advise_holder_;
  Held<IAdviseSink> view_sink_;
  DWORD view_aspects_ = 0, view_flags_ = 0;
  HWND window_ = nullptr;
  bool ui_active_ = false;
  SIZEL extent_{};  // HIMETRIC
  bool extent_dirty_ = false;
  bool initialized_ = false;  // InitNew or Load was called
  int frozen_ = 0;            // FreezeEvents depth
  std::vector<std::pair<const automation::Member*, std::vector<automation::Value>>> held_events_;
};

}  // namespace pink::com
