#include "platform/console.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/text.h"

namespace pink::console {
namespace {

void write_handle(DWORD which, std::string_view cp949) {
  HANDLE h = GetStdHandle(which);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return;
  DWORD mode = 0;
  if (GetConsoleMode(h, &mode)) {
    // A real console: hand it UTF-16 so Korean text shows whatever the
    // console's code page is.
    const std::u16string w = text::cp949_to_utf16(cp949);
    DWORD written = 0;
    WriteConsoleW(h, reinterpret_cast<const wchar_t*>(w.data()), static_cast<DWORD>(w.size()),
                  &written, nullptr);
    return;
  }
  // Redirected: the bytes as they are (cp949).
  DWORD written = 0;
  WriteFile(h, cp949.data(), static_cast<DWORD>(cp949.size()), &written, nullptr);
}

}  // namespace

std::vector<std::string> arguments(int, char**) {
  std::vector<std::string> args;
  int n = 0;
  LPWSTR* wargv = CommandLineToArgvW(GetCommandLineW(), &n);
  if (wargv == nullptr) return args;
  for (int i = 1; i < n; ++i) {
    const auto* w = reinterpret_cast<const char16_t*>(wargv[i]);
    args.push_back(text::utf16_to_cp949(std::u16string_view(w)));
  }
  LocalFree(wargv);
  return args;
}

void out(std::string_view cp949) { write_handle(STD_OUTPUT_HANDLE, cp949); }
void err(std::string_view cp949) { write_handle(STD_ERROR_HANDLE, cp949); }

}  // namespace pink::console
