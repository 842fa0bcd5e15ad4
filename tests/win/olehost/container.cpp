// The container: its window, the sites of the control's place, siting and
// closing a control, and pictures of the control's window.
#include <cstdio>
#include <map>
#include <stdexcept>

#include "tests/win/olehost/host.h"

namespace olehost {

// The client site, the in-place site and the frame of the control's place,
// one COM object living as long as the container.
struct Container::Sites final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
  explicit Sites(Container& c) : container(c) {}
  Container& container;
  std::vector<std::string> calls;
  void note(const std::string& call) {
    calls.push_back(call);
    say("site: " + call);
  }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) *out = static_cast<IOleClientSite*>(this);
    if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) *out = static_cast<IOleInPlaceSite*>(this);
    if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) *out = static_cast<IOleInPlaceFrame*>(this);
    return *out != nullptr ? S_OK : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // lives with the container
  STDMETHODIMP_(ULONG) Release() override { return 1; }

  // IOleClientSite.
  STDMETHODIMP SaveObject() override {
    note("SaveObject");
    return S_OK;
  }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override {
    if (out != nullptr) *out = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetContainer(IOleContainer** out) override {
    if (out != nullptr) *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow.
  STDMETHODIMP GetWindow(HWND* out) override {
    if (out == nullptr) return E_POINTER;
    *out = container.window_;
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite.
  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override {
    note("OnInPlaceActivate");
    return S_OK;
  }
  STDMETHODIMP OnUIActivate() override {
    note("OnUIActivate");
    return S_OK;
  }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                LPOLEINPLACEFRAMEINFO info) override {
    if (frame == nullptr || doc == nullptr || pos == nullptr || clip == nullptr || info == nullptr) return E_POINTER;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    *doc = nullptr;
    *pos = *clip = container.place_;
    info->fMDIApp = FALSE;
    info->hwndFrame = container.window_;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    note("GetWindowContext");
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return S_OK; }
  STDMETHODIMP OnUIDeactivate(BOOL) override {
    note("OnUIDeactivate");
    return S_OK;
  }
  STDMETHODIMP OnInPlaceDeactivate() override {
    note("OnInPlaceDeactivate");
    return S_OK;
  }
  STDMETHODIMP DiscardUndoState() override { return S_OK; }
  STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
  STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceFrame (and IOleInPlaceUIWindow): no tools, menus or status bar.
  STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* active, LPCOLESTR name) override {
    note(active != nullptr ? "SetActiveObject(" + utf8(name != nullptr ? name : L"") + ")" : "SetActiveObject(none)");
    return S_OK;
  }
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }
};

namespace {

constexpr wchar_t kWindowClass[] = L"pink.olehost";

LRESULT CALLBACK container_window(HWND w, UINT m, WPARAM wp, LPARAM lp) { return ::DefWindowProcW(w, m, wp, lp); }

}  // namespace

Container::Container() : sites_(new Sites(*this)) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = container_window;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kWindowClass;
  ::RegisterClassExW(&wc);
  window_ = ::CreateWindowExW(0, kWindowClass, L"olehost", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 400, 260,
                              nullptr, nullptr, wc.hInstance, nullptr);
  if (window_ == nullptr) {
    delete sites_;
    throw std::runtime_error("the container window could not be made: " + std::to_string(::GetLastError()));
  }
  place_ = RECT{16, 16, 16 + 256, 16 + 128};
  ::ShowWindow(window_, SW_SHOW);
  ::UpdateWindow(window_);
}

Container::~Container() {
  ::DestroyWindow(window_);
  delete sites_;
}

IOleClientSite* Container::client_site() { return static_cast<IOleClientSite*>(sites_); }

const std::vector<std::string>& Container::site_calls() const { return sites_->calls; }

// --- siting ---------------------------------------------------------------------------------

namespace {

// The event interface's type information, from the control's own class info.
Ptr<ITypeInfo> events_of(IUnknown* control, IID& iid) {
  Ptr<ITypeInfo> events;
  auto info = query<IProvideClassInfo2>(control, IID_IProvideClassInfo2);
  if (!check(static_cast<bool>(info), "IProvideClassInfo2")) return events;
  Ptr<ITypeInfo> coclass;
  Ptr<ITypeLib> lib;
  UINT index = 0;
  if (!check(SUCCEEDED(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &iid)), "the default event interface") ||
      !check(SUCCEEDED(info->GetClassInfo(coclass.out())), "GetClassInfo") ||
      !check(SUCCEEDED(coclass->GetContainingTypeLib(lib.out(), &index)), "the type library") ||
      !check(SUCCEEDED(lib->GetTypeInfoOfGuid(iid, events.out())), "the event interface's type information")) {
    return Ptr<ITypeInfo>();
  }
  BSTR name = nullptr;
  if (SUCCEEDED(events->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr))) {
    say("events: " + utf8(std::wstring(name, ::SysStringLen(name))));
    ::SysFreeString(name);
  }
  return events;
}

bool advise(Hosted& hosted, Sink& sink) {
  auto container = query<IConnectionPointContainer>(hosted.ole.get(), IID_IConnectionPointContainer);
  if (!check(static_cast<bool>(container), "IConnectionPointContainer")) return false;
  if (!check(SUCCEEDED(container->FindConnectionPoint(sink.iid, hosted.point.out())), "FindConnectionPoint")) {
    return false;
  }
  const HRESULT hr = hosted.point->Advise(static_cast<IDispatch*>(&sink), &hosted.cookie);
  say("advise: " + std::string(SUCCEEDED(hr) ? "connected" : "refused " + hresult(hr)));
  return SUCCEEDED(hr);
}

std::string window_class_of(HWND w) {
  wchar_t name[128] = {};
  ::GetClassNameW(w, name, 128);
  return utf8(name);
}

}  // namespace

bool site_control(const std::wstring& progid, Container& container, Sink*& sink, Hosted& hosted) {
  CLSID clsid{};
  if (!check(SUCCEEDED(::CLSIDFromProgID(progid.c_str(), &clsid)), "CLSIDFromProgID " + utf8(progid))) return false;
  const HRESULT made =
      ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, hosted.ole.out_void());
  if (!check(SUCCEEDED(made), "CoCreateInstance " + hresult(made))) return false;
  say("created: " + utf8(progid));
  DWORD misc = 0;
  hosted.ole->GetMiscStatus(DVASPECT_CONTENT, &misc);
  say("misc status: " + std::to_string(misc));
  if (misc & OLEMISC_SETCLIENTSITEFIRST) hosted.ole->SetClientSite(container.client_site());
  auto persist = query<IPersistStreamInit>(hosted.ole.get(), IID_IPersistStreamInit);
  check(persist && SUCCEEDED(persist->InitNew()), "IPersistStreamInit::InitNew");
  if (!(misc & OLEMISC_SETCLIENTSITEFIRST)) hosted.ole->SetClientSite(container.client_site());
  hosted.ole->QueryInterface(IID_IDispatch, hosted.dispatch.out_void());
  if (!check(static_cast<bool>(hosted.dispatch), "IDispatch")) return false;
  IID iid{};
  Ptr<ITypeInfo> events = events_of(hosted.ole.get(), iid);
  sink = new Sink(events.get());
  if (!advise(hosted, *sink)) return false;
  SIZEL extent{};
  hosted.ole->GetExtent(DVASPECT_CONTENT, &extent);
  say("extent: " + std::to_string(extent.cx) + "x" + std::to_string(extent.cy));
  RECT place = container.place();
  const HRESULT hr = hosted.ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, container.client_site(), 0,
                                        container.window(), &place);
  if (!check(hr == S_OK, "DoVerb(OLEIVERB_INPLACEACTIVATE) " + hresult(hr))) return false;
  auto in_place = query<IOleInPlaceObject>(hosted.ole.get(), IID_IOleInPlaceObject);
  if (!check(in_place && SUCCEEDED(in_place->GetWindow(&hosted.window)), "the control's window")) return false;
  RECT client{};
  ::GetClientRect(hosted.window, &client);
  say("window: " + window_class_of(hosted.window) + ", " +
      (::GetParent(hosted.window) == container.window() ? "child of the container" : "not the container's child") +
      ", " + (::IsWindowVisible(hosted.window) ? "visible" : "hidden") + ", " + std::to_string(client.right) + "x" +
      std::to_string(client.bottom));
  return true;
}

void close_control(Hosted& hosted, Sink* sink) {
  if (hosted.point) hosted.point->Unadvise(hosted.cookie);
  hosted.point.reset();
  if (hosted.ole) {
    const HRESULT hr = hosted.ole->Close(OLECLOSE_NOSAVE);
    say("close: " + std::string(SUCCEEDED(hr) ? "done" : hresult(hr)) + ", the control's window " +
        (hosted.window != nullptr && ::IsWindow(hosted.window) ? "remains" : "is gone"));
    hosted.ole->SetClientSite(nullptr);
  }
  hosted.dispatch.reset();
  hosted.ole.reset();
  if (sink != nullptr) check(sink->refs_ == 0, "the control let the event sink go");
  delete sink;
}

// --- the control's window's messages ------------------------------------------------------

namespace {

HWND g_watched = nullptr;
HHOOK g_hook = nullptr;
std::map<UINT, int> g_taken;

LRESULT CALLBACK taken_message(int code, WPARAM removed, LPARAM lparam) {
  const auto* m = reinterpret_cast<const MSG*>(lparam);
  if (code == HC_ACTION && removed == PM_REMOVE && m->hwnd == g_watched && g_watched != nullptr) ++g_taken[m->message];
  return ::CallNextHookEx(g_hook, code, removed, lparam);
}

}  // namespace

void watch_window(HWND window) {
  g_watched = window;
  g_taken.clear();
  if (g_hook == nullptr) g_hook = ::SetWindowsHookExW(WH_GETMESSAGE, taken_message, nullptr, ::GetCurrentThreadId());
  check(g_hook != nullptr, "a message hook on the host's thread");
}

void report_window_messages() {
  say("window messages: WM_USER+1 x " + std::to_string(g_taken[WM_USER + 1]) + ", WM_USER+2 x " +
      std::to_string(g_taken[WM_USER + 2]) + ", WM_TIMER x " + std::to_string(g_taken[WM_TIMER]));
}

// --- pictures -----------------------------------------------------------------------------

namespace {

// A 32-bit top-down DIB section of the size, and the memory DC it is in.
struct Canvas {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
  std::uint32_t* bits = nullptr;
  int width, height;
  Canvas(HDC like, int w, int h) : width(w), height(h) {
    dc = ::CreateCompatibleDC(like);
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = w;
    bmi.bmiHeader.biHeight = -h;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* p = nullptr;
    bitmap = ::CreateDIBSection(dc, &bmi, DIB_RGB_COLORS, &p, nullptr, 0);
    bits = static_cast<std::uint32_t*>(p);
    old = ::SelectObject(dc, bitmap);
    for (int i = 0; bits != nullptr && i < w * h; ++i) bits[i] = 0x00FFFFFF;
  }
  ~Canvas() {
    ::SelectObject(dc, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
  }
  // A 24-bit bottom-up BMP file.
  bool write(const std::wstring& path) const {
    if (bits == nullptr) return false;
    ::GdiFlush();
    const int row = (width * 3 + 3) / 4 * 4;
    std::vector<std::uint8_t> file(54 + static_cast<std::size_t>(row) * height, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
      for (int i = 0; i < 4; ++i) file[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, static_cast<std::uint32_t>(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(width));
    put32(22, static_cast<std::uint32_t>(height));
    file[26] = 1;
    file[28] = 24;
    for (int y = 0; y < height; ++y) {
      std::uint8_t* out = file.data() + 54 + static_cast<std::size_t>(height - 1 - y) * row;
      for (int x = 0; x < width; ++x) {
        const std::uint32_t p = bits[y * width + x];
        out[3 * x] = static_cast<std::uint8_t>(p);
        out[3 * x + 1] = static_cast<std::uint8_t>(p >> 8);
        out[3 * x + 2] = static_cast<std::uint8_t>(p >> 16);
      }
    }
    FILE* f = ::_wfopen(path.c_str(), L"wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
    return std::fclose(f) == 0 && ok;
  }
};

}  // namespace

bool capture_window(HWND window, const std::wstring& path) {
  ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  RECT client{};
  ::GetClientRect(window, &client);
  HDC dc = ::GetDC(window);
  bool ok = false;
  {
    Canvas c(dc, client.right, client.bottom);
    ok = ::BitBlt(c.dc, 0, 0, c.width, c.height, dc, 0, 0, SRCCOPY) && c.write(path);
  }
  ::ReleaseDC(window, dc);
  say("picture of the window: " + std::string(ok ? "written" : "failed"));
  return ok;
}

bool capture_draw(IUnknown* control, int width, int height, const std::wstring& path) {
  auto view = query<IViewObject2>(control, IID_IViewObject2);
  if (!check(static_cast<bool>(view), "IViewObject2")) return false;
  HDC screen = ::GetDC(nullptr);
  bool ok = false;
  {
    Canvas c(screen, width, height);
    const RECTL bounds{0, 0, width, height};
    const HRESULT hr = view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, c.dc, &bounds, nullptr, nullptr, 0);
    ok = SUCCEEDED(hr) && c.write(path);
  }
  ::ReleaseDC(nullptr, screen);
  say("picture drawn by IViewObject::Draw: " + std::string(ok ? "written" : "failed"));
  return ok;
}

}  // namespace olehost
