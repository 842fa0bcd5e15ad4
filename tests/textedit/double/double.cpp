// Text edit libraries for the tests, each built as libXOposPrint.so in a
// folder of its own. PINK_TEXTEDIT_DOUBLE (PINK_DOUBLE_...) picks how the
// copy behaves:
//   EDIT     upper-cases the line, drops its CR LF and writes it with two
//            blanks on either side and a NUL; refuses (5) lines that begin
//            with "FAIL"
//   FULL     fills all 100 bytes with the line repeated, no NUL
//   NO_EDIT  has no EditText at all
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/export.h"

#define PINK_DOUBLE_EDIT 1
#define PINK_DOUBLE_FULL 2
#define PINK_DOUBLE_NO_EDIT 3

#ifndef PINK_TEXTEDIT_DOUBLE
#error "PINK_TEXTEDIT_DOUBLE names the behaviour of this copy (PINK_DOUBLE_...)"
#endif

namespace {

constexpr std::size_t kBufferSize = 100;

[[maybe_unused]] void upper_case_edit(const char* input, char* output) {
  std::size_t n = std::strlen(input);
  while (n > 0 && (input[n - 1] == '\r' || input[n - 1] == '\n')) --n;
  if (n > kBufferSize - 5) n = kBufferSize - 5;
  char* out = output;
  *out++ = ' ';
  *out++ = ' ';
  for (std::size_t i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(input[i]);
    if (c >= 0x81 && i + 1 < n) {
      // A double-byte character: both bytes unchanged (a trail byte may look
      // like a Latin letter).
      *out++ = input[i++];
      *out++ = input[i];
    } else {
      *out++ = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : static_cast<char>(c);
    }
  }
  *out++ = ' ';
  *out++ = ' ';
  *out = '\0';
}

}  // namespace

#if PINK_TEXTEDIT_DOUBLE == PINK_DOUBLE_EDIT

PINK_EXPORT std::int32_t PINK_CALL EditText(const char* input, char* output, std::int32_t mode) {
  if (input == nullptr || output == nullptr || mode != 0) return -1;
  if (std::strncmp(input, "FAIL", 4) == 0) return 5;
  upper_case_edit(input, output);
  return 0;
}

#elif PINK_TEXTEDIT_DOUBLE == PINK_DOUBLE_FULL

PINK_EXPORT std::int32_t PINK_CALL EditText(const char* input, char* output, std::int32_t) {
  if (input == nullptr || output == nullptr) return -1;
  const std::size_t n = std::strlen(input);
  if (n == 0) return -1;
  for (std::size_t i = 0; i < kBufferSize; ++i) output[i] = input[i % n];
  return 0;
}

#elif PINK_TEXTEDIT_DOUBLE == PINK_DOUBLE_NO_EDIT

// Something else by a similar name, so that only the exact name is bound.
PINK_EXPORT std::int32_t PINK_CALL EditTextEx(const char*, char*, std::int32_t) { return 0; }

#else
#error "unknown PINK_TEXTEDIT_DOUBLE"
#endif
