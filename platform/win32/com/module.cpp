#include "platform/win32/com/module.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace pink::com::module {
namespace {

std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

struct Library {
  std::mutex mutex;
  ITypeLib* lib = nullptr;
};

Library& library() {
  static Library l;
  return l;
}

}  // namespace

void object_created() noexcept { ++g_objects; }
void object_destroyed() noexcept { --g_objects; }
void lock(bool on) noexcept {
  if (on) {
    ++g_locks;
  } else {
    --g_locks;
  }
}
bool idle() noexcept { return g_objects.load() <= 0 && g_locks.load() <= 0; }

HMODULE handle() noexcept {
  HMODULE m = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&g_objects), &m);
  return m;
}

std::wstring path() {
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(handle(), buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) return std::wstring(buf.data(), n);
    buf.resize(buf.size() * 2);
  }
}

ITypeLib* type_library() noexcept {
  Library& l = library();
  std::lock_guard<std::mutex> lock(l.mutex);
  if (l.lib == nullptr) {
    try {
      const std::wstring file = path();
      // Not registered: registration writes the library's entries itself.
      if (FAILED(::LoadTypeLibEx(file.c_str(), REGKIND_NONE, &l.lib))) l.lib = nullptr;
    } catch (...) {
      l.lib = nullptr;
    }
  }
  if (l.lib != nullptr) l.lib->AddRef();
  return l.lib;
}

HRESULT type_info(const GUID& guid, ITypeInfo** out) noexcept {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  ITypeLib* lib = type_library();
  if (lib == nullptr) return TYPE_E_CANTLOADLIBRARY;
  const HRESULT hr = lib->GetTypeInfoOfGuid(guid, out);
  lib->Release();
  return hr;
}

void release_type_library() noexcept {
  Library& l = library();
  std::lock_guard<std::mutex> lock(l.mutex);
  if (l.lib != nullptr) l.lib->Release();
  l.lib = nullptr;
}

}  // namespace pink::com::module
