// What a form host does with a control besides its jobs: saving it with the
// form and loading it back (a stream, a property bag), its property page,
// freezing its events, and drawing it before it has a window.
#include <map>

#include "tests/win/olehost/host.h"

namespace olehost {
namespace {

// A property bag as a form file keeps it: names and values, and the errors
// the control reported while loading.
class Bag final : public IPropertyBag, public IErrorLog {
 public:
  ~Bag() {
    for (auto& [name, v] : values) ::VariantClear(&v);
  }
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IPropertyBag) *out = static_cast<IPropertyBag*>(this);
    if (iid == IID_IErrorLog) *out = static_cast<IErrorLog*>(this);
    return *out != nullptr ? S_OK : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP Read(LPCOLESTR name, VARIANT* v, IErrorLog*) override {
    const auto it = values.find(name);
    if (it == values.end()) return E_INVALIDARG;
    return ::VariantCopy(v, &it->second);
  }
  STDMETHODIMP Write(LPCOLESTR name, VARIANT* v) override {
    VARIANT copy;
    ::VariantInit(&copy);
    if (const HRESULT hr = ::VariantCopy(&copy, v); FAILED(hr)) return hr;
    ::VariantClear(&values[name]);
    values[name] = copy;
    return S_OK;
  }
  STDMETHODIMP AddError(LPCOLESTR name, EXCEPINFO*) override {
    errors.push_back(utf8(name));
    return S_OK;
  }
  void set_text(const std::wstring& name, const std::wstring& text) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = ::SysAllocString(text.c_str());
    Write(name.c_str(), &v);
    ::VariantClear(&v);
  }
  std::map<std::wstring, VARIANT> values;
  std::vector<std::string> errors;
};

Ptr<IUnknown> create(const Options& o) {
  Ptr<IUnknown> control;
  CLSID clsid{};
  if (SUCCEEDED(::CLSIDFromProgID(o.progid.c_str(), &clsid))) {
    ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, control.out_void());
  }
  check(static_cast<bool>(control), "created " + utf8(o.progid));
  return control;
}

std::string dirty_of(IPersistStreamInit* p) { return p->IsDirty() == S_OK ? "dirty" : "clean"; }

VARIANT number(short n) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_I2;
  v.iVal = n;
  return v;
}

// Saved to a stream with other data after it, loaded into a new control.
void stream_round_trip(const Options& o) {
  auto first = create(o);
  auto persist = query<IPersistStreamInit>(first.get(), IID_IPersistStreamInit);
  auto d = query<IDispatch>(first.get(), IID_IDispatch);
  if (!persist || !d) return fail("IPersistStreamInit");
  const HRESULT first_init = persist->InitNew();
  const HRESULT second_init = persist->InitNew();
  say("stream: InitNew " + hresult(first_init) + ", again " + hresult(second_init) + ", " + dirty_of(persist.get()));
  put(d.get(), L"signpadframWidth", number(300));
  say("stream: after a width was set: " + dirty_of(persist.get()));
  Ptr<IStream> stream;
  ::CreateStreamOnHGlobal(nullptr, TRUE, stream.out());
  ULARGE_INTEGER max{};
  persist->GetSizeMax(&max);
  const HRESULT saved = persist->Save(stream.get(), TRUE);
  const char tail[] = "the host's own data";
  stream->Write(tail, sizeof tail, nullptr);
  say("stream: Save " + hresult(saved) + ", " + dirty_of(persist.get()) + ", size at most " +
      std::to_string(max.QuadPart));

  auto second = create(o);
  auto loader = query<IPersistStreamInit>(second.get(), IID_IPersistStreamInit);
  auto d2 = query<IDispatch>(second.get(), IID_IDispatch);
  if (!loader || !d2) return fail("a second control");
  const LARGE_INTEGER start{};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  const HRESULT loaded = loader->Load(stream.get());
  say("stream: Load " + hresult(loaded) + ", " + dirty_of(loader.get()));
  char after[sizeof tail] = {};
  ULONG got = 0;
  stream->Read(after, sizeof after, &got);
  check(got == sizeof tail && std::string(after) == tail, "Load read exactly what Save wrote");
  get(d2.get(), L"signpadframWidth");
  get(d2.get(), L"signpadframHeight");

  // A stream that is not the control's is refused and changes nothing.
  Ptr<IStream> other;
  ::CreateStreamOnHGlobal(nullptr, TRUE, other.out());
  other->Write("not a control", 13, nullptr);
  other->Seek(start, STREAM_SEEK_SET, nullptr);
  say("stream: a foreign stream: Load " + hresult(loader->Load(other.get())));
  get(d2.get(), L"signpadframWidth");
}

void bag_round_trip(const Options& o) {
  auto first = create(o);
  auto persist = query<IPersistPropertyBag>(first.get(), IID_IPersistPropertyBag);
  auto d = query<IDispatch>(first.get(), IID_IDispatch);
  if (!persist || !d) return fail("IPersistPropertyBag");
  persist->InitNew();
  VARIANT yes;
  ::VariantInit(&yes);
  yes.vt = VT_BOOL;
  yes.boolVal = VARIANT_TRUE;
  put(d.get(), L"processClock", yes);
  put(d.get(), L"signpadframHeight", number(96));
  Bag bag;
  say("bag: Save " + hresult(persist->Save(&bag, TRUE, TRUE)));
  for (const auto& [name, v] : bag.values) say("bag: " + utf8(name) + " = " + shown(v));

  // A form file keeps texts: they are converted; one that does not convert
  // is reported and keeps its value.
  Bag text;
  text.set_text(L"processClock", L"True");
  text.set_text(L"signpadframWidth", L"320");
  text.set_text(L"signpadframHeight", L"tall");
  auto second = create(o);
  auto loader = query<IPersistPropertyBag>(second.get(), IID_IPersistPropertyBag);
  auto d2 = query<IDispatch>(second.get(), IID_IDispatch);
  if (!loader || !d2) return fail("a second control");
  say("bag: Load of texts " + hresult(loader->Load(&text, &text)));
  for (const std::string& e : text.errors) say("bag: error reported for " + e);
  get(d2.get(), L"processClock");
  get(d2.get(), L"signpadframWidth");
  get(d2.get(), L"signpadframHeight");
}

}  // namespace

void check_persistence(const Options& o) {
  stream_round_trip(o);
  bag_round_trip(o);
}

void check_pages(const Options& o) {
  auto control = create(o);
  auto pages = query<ISpecifyPropertyPages>(control.get(), IID_ISpecifyPropertyPages);
  CAUUID list{};
  if (!pages || FAILED(pages->GetPages(&list)) || list.cElems != 1) return fail("ISpecifyPropertyPages");
  const CLSID page_clsid = list.pElems[0];
  ::CoTaskMemFree(list.pElems);
  LPOLESTR progid = nullptr;
  if (SUCCEEDED(::ProgIDFromCLSID(page_clsid, &progid))) {
    say("page: " + utf8(progid));
    ::CoTaskMemFree(progid);
  }
  Ptr<IPropertyPage> page;
  ::CoCreateInstance(page_clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage, page.out_void());
  if (!check(static_cast<bool>(page), "the property page by its CLSID")) return;
  PROPPAGEINFO info{};
  info.cb = sizeof info;
  if (SUCCEEDED(page->GetPageInfo(&info))) {
    say("page title: " + utf8(info.pszTitle != nullptr ? info.pszTitle : L""));
    ::CoTaskMemFree(info.pszTitle);
  }
  IUnknown* objects[] = {control.get()};
  const HRESULT given = page->SetObjects(1, objects);
  say("page: SetObjects " + hresult(given) + ", dirty " + (page->IsPageDirty() == S_OK ? "yes" : "no"));
  page->SetObjects(0, nullptr);

  // Drawn before it has a window: the picture at its natural size.
  auto view = query<IViewObject2>(control.get(), IID_IViewObject2);
  SIZEL extent{};
  if (view) view->GetExtent(DVASPECT_CONTENT, -1, nullptr, &extent);
  say("view extent: " + std::to_string(extent.cx) + "x" + std::to_string(extent.cy));
  check(capture_draw(control.get(), 256, 128, o.draw), "drawing without a window");
}

}  // namespace olehost
