// What the vprinter tests build printer streams from, and the bar-code
// reader they check the drawn paper with.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <sstream>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace pink::vprinter::testaid {

// Bytes written as numbers: b({0x1B, 0x40}).
inline std::string b(std::initializer_list<int> values) {
  std::string out;
  for (const int v : values) out += static_cast<char>(v);
  return out;
}

// Korean text as the spoolers send it.
inline std::string cp949(std::string_view utf8) { return text::utf8_to_cp949(utf8); }

// zbarimg (zbar-tools), wherever $PATH has it; "" when it is missing.
inline std::string zbarimg() {
  std::istringstream path(std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin");
  std::string dir;
  while (std::getline(path, dir, ':')) {
    std::error_code ec;
    if (std::filesystem::exists(dir + "/zbarimg", ec)) return dir + "/zbarimg";
  }
  return {};
}

}  // namespace pink::vprinter::testaid
