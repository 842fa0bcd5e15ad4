// What a form host saves of a control and gives back when it loads the
// form: the extent ("_ExtentX", "_ExtentY" in HIMETRIC) and the object's
// persisted properties (automation::Persistent), in a stream
// (automation/persist.h) or a property bag under their own names. Loading
// is all or nothing: a stream or bag with a value that does not fit sets
// nothing.
#include <windows.h>
#include <ocidl.h>

#include <string_view>
#include <vector>

#include "platform/win32/com/control_object.h"
#include "platform/win32/com/values.h"

namespace pink::com {
namespace {

using automation::Type;
using automation::Value;
using automation::persist::Property;

constexpr std::string_view kExtentX = "_ExtentX";
constexpr std::string_view kExtentY = "_ExtentY";

bool is_extent(std::string_view name) { return name == kExtentX || name == kExtentY; }

HRESULT read_exactly(IStream* stream, void* into, ULONG n) {
  ULONG got = 0;
  const HRESULT hr = stream->Read(into, n, &got);
  if (FAILED(hr)) return hr;
  return got == n ? S_OK : STG_E_READFAULT;
}

}  // namespace

std::vector<Property> Control::saved_properties() {
  std::vector<Property> out = {{std::string(kExtentX), Value::i4(extent_.cx)},
                               {std::string(kExtentY), Value::i4(extent_.cy)}};
  if (persistent_ != nullptr) {
    for (Property& p : automation::persist::read(object(), persistent_->persisted())) out.push_back(std::move(p));
  }
  return out;
}

HRESULT Control::restore(const std::vector<Property>& properties) {
  SIZEL extent = extent_;
  std::vector<Property> rest;
  for (const Property& p : properties) {
    if (!is_extent(p.name)) {
      rest.push_back(p);
      continue;
    }
    if (p.value.type != Type::I4 || p.value.num < 0) return E_INVALIDARG;
    (p.name == kExtentX ? extent.cx : extent.cy) = p.value.num;
  }
  const std::span<const std::string_view> allowed =
      persistent_ != nullptr ? persistent_->persisted() : std::span<const std::string_view>{};
  if (!automation::persist::write(object(), allowed, rest)) return E_INVALIDARG;
  extent_ = extent;
  return S_OK;
}

HRESULT Control::begin_init() {
  if (initialized_) return E_UNEXPECTED;
  initialized_ = true;
  clean();
  return S_OK;
}

bool Control::dirty() const { return extent_dirty_ || (persistent_ != nullptr && persistent_->modified()); }

void Control::clean() {
  extent_dirty_ = false;
  if (persistent_ != nullptr) persistent_->set_modified(false);
}

STDMETHODIMP Control::GetClassID(CLSID* out) {
  if (out == nullptr) return E_POINTER;
  *out = guid_of(spec().info->clsid);
  return S_OK;
}

STDMETHODIMP Control::InitNew() { return begin_init(); }

STDMETHODIMP Control::IsDirty() { return dirty() ? S_OK : S_FALSE; }

// --- IPersistStreamInit ------------------------------------------------------------------

STDMETHODIMP Control::Load(LPSTREAM stream) {
  if (stream == nullptr) return E_POINTER;
  try {
    std::uint8_t header[automation::persist::kHeaderBytes];
    if (const HRESULT hr = read_exactly(stream, header, sizeof header); FAILED(hr)) return hr;
    const auto length = automation::persist::body_length(header);
    if (!length) return E_FAIL;  // not a stream this control wrote
    std::vector<std::uint8_t> body(*length);
    if (*length > 0) {
      if (const HRESULT hr = read_exactly(stream, body.data(), *length); FAILED(hr)) return hr;
    }
    const auto properties = automation::persist::decode_body(body);
    if (!properties) return E_FAIL;
    if (const HRESULT hr = restore(*properties); FAILED(hr)) return hr;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
  initialized_ = true;
  clean();
  return S_OK;
}

STDMETHODIMP Control::Save(LPSTREAM stream, BOOL clear_dirty) {
  if (stream == nullptr) return E_POINTER;
  try {
    const std::vector<std::uint8_t> bytes = automation::persist::encode(saved_properties());
    ULONG written = 0;
    const HRESULT hr = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    if (FAILED(hr)) return hr;
    if (written != bytes.size()) return STG_E_WRITEFAULT;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
  if (clear_dirty) clean();
  return S_OK;
}

STDMETHODIMP Control::GetSizeMax(ULARGE_INTEGER* size) {
  if (size == nullptr) return E_POINTER;
  try {
    size->QuadPart = automation::persist::encode(saved_properties()).size();
  } catch (...) {
    return E_UNEXPECTED;
  }
  return S_OK;
}

// --- IPersistPropertyBag --------------------------------------------------------------------

// Each value the bag holds, converted to its property's type; a missing one
// keeps its value, one that does not convert is reported to the error log
// and also keeps its value.
STDMETHODIMP Control::Load(IPropertyBag* bag, IErrorLog* log) {
  if (bag == nullptr) return E_POINTER;
  try {
    std::vector<Property> found;
    for (const Property& current : saved_properties()) {
      const std::wstring name = wide_of_utf8(current.name);
      VARIANT v;
      ::VariantInit(&v);
      if (FAILED(bag->Read(name.c_str(), &v, log))) continue;
      Value value;
      if (SUCCEEDED(read_value(v, current.value.type, value))) {
        found.push_back(Property{current.name, std::move(value)});
      } else if (log != nullptr) {
        EXCEPINFO e{};
        e.scode = DISP_E_TYPEMISMATCH;
        log->AddError(name.c_str(), &e);
      }
      ::VariantClear(&v);
    }
    if (const HRESULT hr = restore(found); FAILED(hr)) return hr;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
  initialized_ = true;
  clean();
  return S_OK;
}

STDMETHODIMP Control::Save(IPropertyBag* bag, BOOL clear_dirty, BOOL) {
  if (bag == nullptr) return E_POINTER;
  try {
    for (const Property& p : saved_properties()) {
      VARIANT v;
      ::VariantInit(&v);
      if (const HRESULT hr = to_variant(p.value, v); FAILED(hr)) return hr;
      const HRESULT hr = bag->Write(wide_of_utf8(p.name).c_str(), &v);
      ::VariantClear(&v);
      if (FAILED(hr)) return hr;
    }
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
  if (clear_dirty) clean();
  return S_OK;
}

}  // namespace pink::com
