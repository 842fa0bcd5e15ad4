#include "platform/env.h"

#include <windows.h>

#include <vector>

#include "platform/text.h"

namespace pink::env {

// Windows values are wide; they come back as cp949 like all text of the suite.
std::optional<std::string> get(std::string_view name) {
  const std::u16string n16 = text::cp949_to_utf16(name);
  const std::wstring n(n16.begin(), n16.end());
  std::vector<wchar_t> buf(256);
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    const DWORD len = GetEnvironmentVariableW(n.c_str(), buf.data(), static_cast<DWORD>(buf.size()));
    if (len == 0) return std::nullopt;  // unset (ERROR_ENVVAR_NOT_FOUND) or empty
    if (len < buf.size()) {
      return text::utf16_to_cp949(std::u16string_view(reinterpret_cast<const char16_t*>(buf.data()), len));
    }
    buf.resize(len);
  }
}

}  // namespace pink::env
