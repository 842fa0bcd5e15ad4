// Dynamic libraries on Windows: "<name>.dll" from the folder of the module
// that asks first (a DLL loaded by a program elsewhere finds its companions
// beside itself), then through LoadLibrary's own search, which starts with
// the program's folder.
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

// An address inside the module this copy of the platform layer is linked into.
const int g_module_anchor = 0;

// Folder of a module's file (without the separator), "." when unknown.
std::string folder_of_module(HMODULE module) {
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(module, buf.data(), static_cast<DWORD>(buf.size()));
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

std::string program_folder() { return folder_of_module(nullptr); }

std::string module_folder() {
  HMODULE m = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&g_module_anchor), &m)) {
    return program_folder();
  }
  return folder_of_module(m);
}

std::string beside_module(std::string_view file_name) {
  return module_folder() + "\\" + std::string(file_name);
}

Result<std::unique_ptr<Library>> load(std::string_view name) {
  const std::string file = file_name(name);
  const std::string beside = module_folder() + "\\" + file;
  const std::wstring wb = wide(beside);
  const DWORD attributes = GetFileAttributesW(wb.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    // The library's own dependencies are looked for beside it, too.
    if (HMODULE h = LoadLibraryExW(wb.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)) {
      return std::unique_ptr<Library>(new Library(h, beside));
    }
  }
  const bool was_beside = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  const std::wstring w = wide(file);
  HMODULE h = LoadLibraryW(w.c_str());
  if (h == nullptr) {
    const DWORD err = GetLastError();
    // Both places looked in are named.
    return Result<std::unique_ptr<Library>>::failure(
        (was_beside ? beside + " could not be loaded; " : "no " + beside + "; ") + file +
        ": Windows error " + std::to_string(err));
  }
  return std::unique_ptr<Library>(new Library(h, file));
}

}  // namespace pink::dynlib
