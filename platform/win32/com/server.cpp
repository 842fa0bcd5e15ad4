// The server's entry points: class factories, unloading, registration.
#include "platform/win32/com/server.h"

#include <windows.h>
#include <olectl.h>

#include <new>
#include <string>

#include "platform/win32/com/keystore.h"
#include "platform/win32/com/module.h"
#include "platform/win32/com/object.h"
#include "platform/win32/com/values.h"

namespace pink::com {
namespace {

// The factory of one class of the server: the automation class, or a plain
// one. Factories count as objects of the module while they live.
class Factory final : public IClassFactory {
 public:
  Factory(const ClassSpec* automation_class, const PlainClassSpec* plain)
      : automation_(automation_class), plain_(plain) {
    module::object_created();
  }
  ~Factory() { module::object_destroyed(); }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
    *out = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = ::InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* made = static_cast<IUnknown*>(automation_ ? make_automation() : plain_->create());
    if (made == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = made->QueryInterface(iid, out);
    made->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    module::lock(lock != FALSE);
    return S_OK;
  }

 private:
  void* make_automation() const {
    std::unique_ptr<automation::Object> object;
    try {
      object = automation_->make();
    } catch (...) {
      return nullptr;
    }
    if (!object) return nullptr;
    const Wrap wrap = automation_->wrap ? automation_->wrap : &wrap_standard;
    return wrap(*automation_, std::move(object));
  }

  const ClassSpec* automation_;
  const PlainClassSpec* plain_;
  LONG refs_ = 1;
};

// A class whose dual interface has no v-table of the right size would hand
// callers a short table: refused before anything is made or written.
bool well_formed(const ServerSpec& server) {
  if (server.classes.size() != 1) return false;
  for (const ClassSpec& c : server.classes) {
    if (c.info == nullptr || c.make == nullptr) return false;
    const std::size_t own = c.info->dispatch.dual ? c.info->dispatch.members.size() : 0;
    if (c.dual_slots.size() != own) return false;
  }
  for (const PlainClassSpec& p : server.plain) {
    if (p.create == nullptr || p.registry.clsid == nullptr) return false;
  }
  return true;
}

automation::registration::Module this_module() {
  const std::wstring file = module::path();
  const std::size_t cut = file.find_last_of(L"\\/");
  return {utf8_of(file), utf8_of(cut == std::wstring::npos ? std::wstring(L".") : file.substr(0, cut)),
          sizeof(void*) == 8};
}

HRESULT status_of(long error) { return error == 0 ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(error)); }

}  // namespace

std::int32_t get_class_object(const ServerSpec& server, const void* clsid, const void* iid, void** out) noexcept {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (clsid == nullptr || iid == nullptr) return E_INVALIDARG;
  if (!well_formed(server)) return E_UNEXPECTED;
  const GUID& wanted = *static_cast<const GUID*>(clsid);
  const ClassSpec* automation_class = nullptr;
  const PlainClassSpec* plain = nullptr;
  for (const ClassSpec& c : server.classes) {
    if (guid_of(c.info->clsid) == wanted) automation_class = &c;
  }
  for (const PlainClassSpec& p : server.plain) {
    if (guid_of(p.registry.clsid) == wanted) plain = &p;
  }
  if (automation_class == nullptr && plain == nullptr) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new (std::nothrow) Factory(automation_class, plain);
  if (factory == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = factory->QueryInterface(*static_cast<const IID*>(iid), out);
  factory->Release();
  return hr;
}

std::int32_t can_unload_now() noexcept {
  if (!module::idle()) return S_FALSE;
  module::release_type_library();
  return S_OK;
}

automation::registration::Registration registration_of(const ServerSpec& server,
                                                       const automation::registration::Module& module) {
  automation::registration::Registration r;
  for (const ClassSpec& c : server.classes) {
    automation::registration::add_class(r, *c.info, module, c.registry);
    automation::registration::add_type_library(r, *c.info, module);
  }
  for (const PlainClassSpec& p : server.plain) automation::registration::add_plain_class(r, p.registry, module);
  return r;
}

std::int32_t register_server(const ServerSpec& server, Scope scope) noexcept {
  try {
    if (!well_formed(server)) return E_UNEXPECTED;
    // The type library the entries point to must load from the module.
    ITypeLib* lib = module::type_library();
    if (lib == nullptr) return SELFREG_E_TYPELIB;
    lib->Release();
    ClassesKey classes(scope);
    if (classes.error() != 0) return status_of(classes.error());
    const auto outcome = automation::registration::write_all(classes, registration_of(server, this_module()));
    return status_of(outcome.error);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

std::int32_t unregister_server(const ServerSpec& server, Scope scope) noexcept {
  try {
    if (!well_formed(server)) return E_UNEXPECTED;
    ClassesKey classes(scope);
    if (classes.error() != 0) return status_of(classes.error());
    const auto outcome = automation::registration::remove_all(classes, registration_of(server, this_module()));
    return status_of(outcome.error);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

std::int32_t register_server(const ServerSpec& server) noexcept { return register_server(server, Scope::Machine); }
std::int32_t unregister_server(const ServerSpec& server) noexcept { return unregister_server(server, Scope::Machine); }

std::int32_t install(const ServerSpec& server, std::int32_t install, const wchar_t* command_line) noexcept {
  std::wstring text;
  try {
    text = command_line != nullptr ? command_line : L"";
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  const std::size_t first = text.find_first_not_of(L" \t");
  const std::size_t last = text.find_last_not_of(L" \t");
  text.erase(last == std::wstring::npos ? 0 : last + 1);
  text.erase(0, first == std::wstring::npos ? 0 : first);
  Scope scope = Scope::Machine;
  if (::CompareStringOrdinal(text.c_str(), -1, L"user", -1, TRUE) == CSTR_EQUAL) {
    scope = Scope::User;
  } else if (!text.empty() && ::CompareStringOrdinal(text.c_str(), -1, L"machine", -1, TRUE) != CSTR_EQUAL) {
    return E_INVALIDARG;
  }
  return install != 0 ? register_server(server, scope) : unregister_server(server, scope);
}

}  // namespace pink::com
