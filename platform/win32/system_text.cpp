#include "platform/win32/system_text.h"

#include "platform/text.h"

namespace pink::win32 {

std::string system_text(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string out = "error " + std::to_string(code);
  if (n != 0 && buffer != nullptr) {
    std::u16string w(buffer, buffer + n);
    while (!w.empty() && (w.back() == u'\r' || w.back() == u'\n' || w.back() == u' ')) w.pop_back();
    out += ": " + text::utf16_to_cp949(w);
  }
  if (buffer != nullptr) ::LocalFree(buffer);
  return out;
}

}  // namespace pink::win32
