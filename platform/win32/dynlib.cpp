// Dynamic libraries on Windows: LoadLibrary of "<name>.dll", which looks in
// the program's folder first.
#include "platform/dynlib.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/text.h"

namespace pink::dynlib {
namespace {

std::wstring wide(std::string_view cp949) {
  const std::u16string w = text::cp949_to_utf16(cp949);
  return std::wstring(w.begin(), w.end());
}

std::string narrow(const wchar_t* w, std::size_t n) {
  return text::utf16_to_cp949(std::u16string_view(reinterpret_cast<const char16_t*>(w), n));
}

}  // namespace

Library::~Library() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
}

void* Library::symbol(std::string_view name) const {
  const std::string n(name);
  const FARPROC f = GetProcAddress(static_cast<HMODULE>(handle_), n.c_str());
  void* p = nullptr;
  static_assert(sizeof p == sizeof f);
  std::memcpy(&p, &f, sizeof p);
  return p;
}

std::string file_name(std::string_view name) { return std::string(name) + ".dll"; }

std::string program_folder() {
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return ".";
    if (n < buf.size()) {
      std::size_t end = n;
      while (end > 0 && buf[end - 1] != L'\\' && buf[end - 1] != L'/') --end;
      if (end == 0) return ".";
      return narrow(buf.data(), end - 1);
    }
    buf.resize(buf.size() * 2);
  }
}

std::unique_ptr<Library> load(std::string_view name, std::string* error_text) {
  const std::string file = file_name(name);
  const std::wstring w = wide(file);
  HMODULE h = LoadLibraryW(w.c_str());
  if (h == nullptr) {
    if (error_text) *error_text = file + ": Windows error " + std::to_string(GetLastError());
    return nullptr;
  }
  return std::unique_ptr<Library>(new Library(h, file));
}

}  // namespace pink::dynlib
