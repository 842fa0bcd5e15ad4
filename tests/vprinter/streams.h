// Byte streams as the virtual printer's tests build them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace pink::vprinter::testing {

// Bytes given as numbers: bytes({0x1B, 0x40}).
inline std::string bytes(std::initializer_list<int> values) {
  std::string out;
  for (const int v : values) out += static_cast<char>(v);
  return out;
}

inline std::span<const std::uint8_t> as_span(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// UTF-8 text as the cp949 bytes a spooler sends.
inline std::string cp949(std::string_view utf8) { return text::utf8_to_cp949(utf8); }

// UTF-8 text as the spoolers' Korean double-byte mode sends it: each
// double-byte character as FS &, lead and trail byte with the top bit
// cleared, FS .; single-byte characters as they are.
inline std::string korean_mode(std::string_view utf8) {
  const std::string code = cp949(utf8);
  std::string out;
  for (std::size_t i = 0; i < code.size();) {
    const auto b = static_cast<std::uint8_t>(code[i]);
    if (b >= 0x80 && i + 1 < code.size()) {
      out += bytes({0x1C, 0x26, b & 0x7F, static_cast<std::uint8_t>(code[i + 1]) & 0x7F, 0x1C, 0x2E});
      i += 2;
    } else {
      out += code[i];
      ++i;
    }
  }
  return out;
}

}  // namespace pink::vprinter::testing
