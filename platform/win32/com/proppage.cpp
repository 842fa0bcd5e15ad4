// The controls' property page: a minimal IPropertyPage that a property
// frame shows for its objects: a page with one line of text, nothing to
// edit, never dirty.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/win32/com/control.h"
#include "platform/win32/com/module.h"

namespace pink::com {
namespace {

constexpr SIZE kPageSize{320, 120};  // pixels

std::wstring wide_of_cp949(std::string_view text) {
  const std::u16string w = text::cp949_to_utf16(text);
  return std::wstring(w.begin(), w.end());
}

LPOLESTR task_copy(const std::wstring& text) {
  auto* out = static_cast<LPOLESTR>(::CoTaskMemAlloc((text.size() + 1) * sizeof(wchar_t)));
  if (out != nullptr) ::memcpy(out, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  return out;
}

class PropertyPage final : public IPropertyPage {
 public:
  PropertyPage(std::wstring title, std::wstring text) : title_(std::move(title)), text_(std::move(text)) {
    module::object_created();
  }
  ~PropertyPage() {
    Deactivate();
    SetObjects(0, nullptr);
    SetPageSite(nullptr);
    module::object_destroyed();
  }
  PropertyPage(const PropertyPage&) = delete;
  PropertyPage& operator=(const PropertyPage&) = delete;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IPropertyPage) return E_NOINTERFACE;
    *out = static_cast<IPropertyPage*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = ::InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  STDMETHODIMP SetPageSite(IPropertyPageSite* site) override {
    if (site != nullptr) site->AddRef();
    if (site_ != nullptr) site_->Release();
    site_ = site;
    return S_OK;
  }
  STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL) override {
    if (rect == nullptr) return E_POINTER;
    Deactivate();
    window_ = ::CreateWindowExW(0, L"STATIC", text_.c_str(), WS_CHILD | SS_LEFT, rect->left, rect->top,
                                rect->right - rect->left, rect->bottom - rect->top, parent, nullptr,
                                module::handle(), nullptr);
    return window_ != nullptr ? S_OK : HRESULT_FROM_WIN32(::GetLastError());
  }
  STDMETHODIMP Deactivate() override {
    if (window_ != nullptr) ::DestroyWindow(window_);
    window_ = nullptr;
    return S_OK;
  }
  STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override {
    if (info == nullptr) return E_POINTER;
    info->cb = sizeof *info;
    info->pszTitle = task_copy(title_);
    info->size = kPageSize;
    info->pszDocString = nullptr;
    info->pszHelpFile = nullptr;
    info->dwHelpContext = 0;
    return info->pszTitle != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override {
    if (count > 0 && objects == nullptr) return E_POINTER;
    for (IUnknown* o : objects_) o->Release();
    objects_.clear();
    for (ULONG i = 0; i < count; ++i) {
      if (objects[i] == nullptr) continue;
      objects[i]->AddRef();
      objects_.push_back(objects[i]);
    }
    return S_OK;
  }
  STDMETHODIMP Show(UINT command) override {
    if (window_ != nullptr) ::ShowWindow(window_, static_cast<int>(command));
    return S_OK;
  }
  STDMETHODIMP Move(LPCRECT rect) override {
    if (rect == nullptr) return E_POINTER;
    if (window_ != nullptr) {
      ::MoveWindow(window_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
    }
    return S_OK;
  }
  STDMETHODIMP IsPageDirty() override { return S_FALSE; }
  STDMETHODIMP Apply() override { return S_OK; }
  STDMETHODIMP Help(LPCOLESTR) override { return E_NOTIMPL; }
  STDMETHODIMP TranslateAccelerator(MSG*) override { return S_FALSE; }

 private:
  std::wstring title_, text_;
  IPropertyPageSite* site_ = nullptr;
  std::vector<IUnknown*> objects_;
  HWND window_ = nullptr;
  LONG refs_ = 1;
};

}  // namespace

void* new_property_page(const char* title, const char* text) noexcept {
  try {
    return static_cast<IUnknown*>(new PropertyPage(wide_of_cp949(title), wide_of_cp949(text)));
  } catch (...) {
    return nullptr;
  }
}

}  // namespace pink::com
