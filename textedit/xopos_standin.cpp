// Stand-in for the outside text edit library: every line goes back to the
// spooler as it came. The input (line and CR LF) is copied into the caller's
// buffer, at most its 100 bytes, and no NUL is written after it: the blanks
// the caller put there follow the copy, so once the caller trims them the
// line is printed with its own CR LF.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "pink/XOposPrint.h"
#include "platform/export.h"

namespace {
constexpr std::size_t kBufferSize = 100;
}

PINK_EXPORT std::int32_t PINK_CALL EditText(const char* input, char* output, std::int32_t mode) {
  static_cast<void>(mode);
  if (input == nullptr || output == nullptr) return -1;
  std::size_t n = 0;
  while (n < kBufferSize && input[n] != '\0') ++n;
  std::memcpy(output, input, n);
  return 0;
}
