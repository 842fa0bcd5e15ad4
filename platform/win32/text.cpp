// Text codec over the Windows conversion functions, always with code page 949
// named explicitly (never the process's ANSI code page) and CP_UTF8 for UTF-8.
// Conversions never fail: unreadable cp949 becomes U+FFFD, characters without
// a cp949 code become '?'.
#include <windows.h>

#include <string>

#include "platform/text.h"

#include "platform/common/text_common.h"

namespace pink::text {
namespace {

constexpr UINT kKorean = 949;


// Converts one run of multi-byte text to UTF-16, appending to `out`; false
// when the run holds a sequence the code page rejects.
bool append_wide(UINT code_page, std::string_view in, std::u16string& out) {
  if (in.empty()) return true;
  const int n = ::MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, in.data(),
                                      static_cast<int>(in.size()), nullptr, 0);
  if (n <= 0) return false;
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()),
                        wide.data(), n);
  out.append(wide.begin(), wide.end());
  return true;
}

std::string narrow(UINT code_page, std::u16string_view in) {
  if (in.empty()) return {};
  const std::wstring wide(in.begin(), in.end());
  // cp949 takes no best-fit substitutes, so that a character without a code
  // becomes the default character '?'; UTF-8 allows neither flag nor default.
  const DWORD flags = code_page == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const char* fallback = code_page == CP_UTF8 ? nullptr : "?";
  const int n = ::WideCharToMultiByte(code_page, flags, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, fallback, nullptr);
  if (n <= 0) return std::string(in.size(), '?');
  std::string out(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(code_page, flags, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                        fallback, nullptr);
  return out;
}

}  // namespace

std::u16string cp949_to_utf16(std::string_view cp949) {
  if (detail::is_ascii(cp949)) return std::u16string(cp949.begin(), cp949.end());
  std::u16string out;
  out.reserve(cp949.size());
  if (append_wide(kKorean, cp949, out)) return out;
  // Something in the text is not cp949: convert character by character so
  // that only the unreadable ones become U+FFFD.
  out.clear();
  for (std::size_t i = 0; i < cp949.size();) {
    const std::size_t n = char_length_at(cp949, i);
    const auto c = static_cast<unsigned char>(cp949[i]);
    if (n == 1 && c < 0x80) {
      out.push_back(static_cast<char16_t>(c));
    } else if (!append_wide(kKorean, cp949.substr(i, n), out)) {
      out.push_back(u'\uFFFD');
    }
    i += n;
  }
  return out;
}

std::string utf16_to_cp949(std::u16string_view utf16) {
  if (detail::is_ascii(utf16)) {
    std::string out(utf16.size(), '\0');
    for (std::size_t i = 0; i < utf16.size(); ++i) out[i] = static_cast<char>(utf16[i]);
    return out;
  }
  return narrow(kKorean, utf16);
}

std::string cp949_to_utf8(std::string_view cp949) {
  if (detail::is_ascii(cp949)) return std::string(cp949);
  return narrow(CP_UTF8, cp949_to_utf16(cp949));
}

std::string utf8_to_cp949(std::string_view utf8) {
  if (detail::is_ascii(utf8)) return std::string(utf8);
  // Ill-formed UTF-8 becomes U+FFFD here, which has no cp949 code and so
  // becomes '?' below.
  std::u16string wide;
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                      nullptr, 0);
  if (n <= 0) return std::string(utf8.size(), '?');
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
  wide.assign(w.begin(), w.end());
  return narrow(kKorean, wide);
}

}  // namespace pink::text
