// The control's window: in-place and UI activation, the child window that
// paints the object's picture and runs its posted notifications and window
// work, and the picture drawn for the host (IViewObject2).
#include <windows.h>
#include <olectl.h>

#include <algorithm>
#include <mutex>
#include <string>

#include "platform/win32/com/control_object.h"
#include "platform/win32/com/module.h"
#include "platform/win32/com/values.h"

namespace pink::com {
namespace {

// Messages the object posts to its window (automation::ViewHost::post).
constexpr UINT kFirstViewMessage = WM_USER;
constexpr UINT kLastViewMessage = WM_USER + 0xFF;

LRESULT CALLBACK control_window(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* control = reinterpret_cast<Control*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_NCDESTROY) ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  if (control == nullptr) return ::DefWindowProcW(window, message, wparam, lparam);
  return control->on_message(window, message, wparam, lparam);
}

// The window classes of this module, registered while windows of them
// exist, so that a module unloaded and loaded again registers its own.
struct Classes {
  std::mutex mutex;
  int windows = 0;
  std::vector<std::wstring> names;
};

Classes& classes() {
  static Classes c;
  return c;
}

bool class_in_use(const std::wstring& name) {
  Classes& c = classes();
  std::lock_guard<std::mutex> lock(c.mutex);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = control_window;
  wc.hInstance = module::handle();
  wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.lpszClassName = name.c_str();
  if (::RegisterClassExW(&wc) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  if (std::find(c.names.begin(), c.names.end(), name) == c.names.end()) c.names.push_back(name);
  ++c.windows;
  return true;
}

void class_done() {
  Classes& c = classes();
  std::lock_guard<std::mutex> lock(c.mutex);
  if (--c.windows > 0) return;
  for (const std::wstring& name : c.names) ::UnregisterClassW(name.c_str(), module::handle());
  c.names.clear();
}

int width_of(const RECT& r) { return r.right > r.left ? r.right - r.left : 0; }
int height_of(const RECT& r) { return r.bottom > r.top ? r.bottom - r.top : 0; }

}  // namespace

// --- activation ----------------------------------------------------------------------

HRESULT Control::activate(bool ui) {
  if (!site_) return E_UNEXPECTED;
  if (!in_place_site_) {
    IOleInPlaceSite* site = nullptr;
    if (FAILED(site_->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&site)))) return E_NOINTERFACE;
    in_place_site_.adopt(site);
    if (in_place_site_->CanInPlaceActivate() != S_OK) {
      in_place_site_.reset();
      return OLEOBJ_S_CANNOT_DOVERB_NOW;
    }
    in_place_site_->OnInPlaceActivate();
  }
  if (window_ == nullptr) {
    if (const HRESULT hr = make_window(); FAILED(hr)) {
      frame_.reset();
      ui_window_.reset();
      Held<IOleInPlaceSite> site;
      site.reset(in_place_site_.get());
      in_place_site_.reset();
      site->OnInPlaceDeactivate();
      return hr;
    }
  }
  ::ShowWindow(window_, SW_SHOW);
  if (ui) ui_activate();
  return S_OK;
}

// The child window at the place the site gives, in the site's window.
HRESULT Control::make_window() {
  HWND parent = nullptr;
  if (FAILED(in_place_site_->GetWindow(&parent)) || parent == nullptr) return E_FAIL;
  IOleInPlaceFrame* frame = nullptr;
  IOleInPlaceUIWindow* ui_window = nullptr;
  RECT pos{}, clip{};
  OLEINPLACEFRAMEINFO info{};
  info.cb = sizeof info;
  if (FAILED(in_place_site_->GetWindowContext(&frame, &ui_window, &pos, &clip, &info))) return E_FAIL;
  frame_.adopt(frame);
  ui_window_.adopt(ui_window);
  const std::wstring name = wide_of_utf8(control_.window_class);
  if (!class_in_use(name)) return HRESULT_FROM_WIN32(::GetLastError());
  window_ = ::CreateWindowExW(0, name.c_str(), L"", WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, pos.left, pos.top,
                              width_of(pos), height_of(pos), parent, nullptr, module::handle(), this);
  if (window_ == nullptr) {
    const DWORD error = ::GetLastError();
    class_done();
    return HRESULT_FROM_WIN32(error);
  }
  view_->resize(width_of(pos), height_of(pos));
  object().route_window(reinterpret_cast<std::intptr_t>(window_));
  view_->attach(this);
  return S_OK;
}

void Control::ui_activate() {
  if (ui_active_ || !in_place_site_) return;
  ui_active_ = true;
  in_place_site_->OnUIActivate();
  const std::wstring name = wide_of_utf8(spec().info->name);
  if (frame_) frame_->SetActiveObject(this, name.c_str());
  if (ui_window_) ui_window_->SetActiveObject(this, name.c_str());
  if (frame_) frame_->SetBorderSpace(nullptr);
  if (ui_window_) ui_window_->SetBorderSpace(nullptr);
}

STDMETHODIMP Control::UIDeactivate() {
  if (!ui_active_) return S_OK;
  ui_active_ = false;
  if (ui_window_) ui_window_->SetActiveObject(nullptr, nullptr);
  if (frame_) frame_->SetActiveObject(nullptr, nullptr);
  if (in_place_site_) in_place_site_->OnUIDeactivate(FALSE);
  return S_OK;
}

STDMETHODIMP Control::InPlaceDeactivate() {
  if (!in_place_site_) return S_OK;
  UIDeactivate();
  destroy_window(true);
  frame_.reset();
  ui_window_.reset();
  Held<IOleInPlaceSite> site;
  site.reset(in_place_site_.get());
  in_place_site_.reset();
  site->OnInPlaceDeactivate();
  return S_OK;
}

// The object stops posting to the window first; what it had posted still
// runs (unless the control is going: then so is the object's port), then
// its window work goes back to the message-only window.
void Control::destroy_window(bool drain) {
  if (window_ == nullptr) return;
  view_->attach(nullptr);
  MSG m;
  while (::PeekMessageW(&m, window_, kFirstViewMessage, kLastViewMessage, PM_REMOVE)) {
    if (drain) view_message(m.message, m.wParam, m.lParam);
  }
  object().route_window(0);
  const HWND window = window_;
  window_ = nullptr;
  ::DestroyWindow(window);
  class_done();
}

STDMETHODIMP Control::GetWindow(HWND* out) {
  if (out == nullptr) return E_POINTER;
  *out = window_;
  return window_ != nullptr ? S_OK : E_FAIL;
}

STDMETHODIMP Control::SetObjectRects(LPCRECT pos, LPCRECT) {
  if (pos == nullptr) return E_POINTER;
  if (window_ != nullptr) {
    ::SetWindowPos(window_, nullptr, pos->left, pos->top, width_of(*pos), height_of(*pos),
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return S_OK;
}

// --- the window ---------------------------------------------------------------------------

LRESULT Control::on_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (object().window_message(message, wparam)) return 0;  // the object's timers and work
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      const HDC dc = ::BeginPaint(window, &ps);
      RECT client;
      ::GetClientRect(window, &client);
      paint(dc, client);
      ::EndPaint(window, &ps);
      return 0;
    }
    case WM_PRINTCLIENT: {
      RECT client;
      ::GetClientRect(window, &client);
      paint(reinterpret_cast<HDC>(wparam), client);
      return 0;
    }
    case WM_ERASEBKGND: return 1;  // the picture covers the window
    case WM_SIZE:
      view_->resize(LOWORD(lparam), HIWORD(lparam));
      return 0;
    case WM_MOUSEACTIVATE:
      ui_activate();
      return MA_ACTIVATE;
    default: break;
  }
  if (message >= kFirstViewMessage && message <= kLastViewMessage) {
    view_message(message, wparam, lparam);
    return 0;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

// A notification the object posted, run as its window's message; a host
// releasing the control from inside an event ends it after the message.
void Control::view_message(UINT message, WPARAM wparam, LPARAM lparam) {
  AddRef();
  try {
    view_->message(message, wparam, lparam);
  } catch (...) {
    // A notification that failed is dropped; the next one drains the rest.
  }
  Release();
}

// The object's picture into `area` of the DC, stretched when the sizes differ.
void Control::paint(HDC dc, const RECT& area) {
  automation::Picture p;
  try {
    p = view_->picture();
  } catch (...) {
    return;
  }
  if (p.width <= 0 || p.height <= 0 || p.pixels.size() != static_cast<std::size_t>(p.width) * p.height) return;
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = p.width;
  bmi.bmiHeader.biHeight = -p.height;  // rows top down
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  ::SetStretchBltMode(dc, COLORONCOLOR);
  ::StretchDIBits(dc, area.left, area.top, width_of(area), height_of(area), 0, 0, p.width, p.height,
                  p.pixels.data(), &bmi, DIB_RGB_COLORS, SRCCOPY);
}

// --- ViewHost ---------------------------------------------------------------------------------

void Control::invalidate() noexcept {
  if (window_ != nullptr) ::InvalidateRect(window_, nullptr, FALSE);
  if (!view_sink_ || (view_aspects_ & DVASPECT_CONTENT) == 0) return;
  Held<IAdviseSink> sink;
  sink.reset(view_sink_.get());
  if (view_flags_ & ADVF_ONLYONCE) view_sink_.reset();
  sink->OnViewChange(DVASPECT_CONTENT, -1);
}

bool Control::post(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) noexcept {
  return window_ != nullptr && ::PostMessageW(window_, message, wparam, lparam) != FALSE;
}

// --- IViewObject2 ---------------------------------------------------------------------------

STDMETHODIMP Control::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                           BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (dc == nullptr) return E_INVALIDARG;
  RECT area{};
  if (bounds != nullptr) {
    area = RECT{bounds->left, bounds->top, bounds->right, bounds->bottom};
  } else if (window_ != nullptr) {
    ::GetClientRect(window_, &area);
  } else {
    return E_INVALIDARG;
  }
  paint(dc, area);
  return S_OK;
}

STDMETHODIMP Control::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return S_FALSE;  // no palette of its own
}

STDMETHODIMP Control::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
  view_sink_.reset(sink);
  view_aspects_ = aspects;
  view_flags_ = flags;
  return S_OK;
}

STDMETHODIMP Control::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  if (aspects != nullptr) *aspects = view_aspects_;
  if (flags != nullptr) *flags = view_flags_;
  if (sink != nullptr) {
    *sink = view_sink_.get();
    if (*sink != nullptr) (*sink)->AddRef();
  }
  return S_OK;
}

STDMETHODIMP Control::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
  return GetExtent(aspect, size);
}

}  // namespace pink::com
