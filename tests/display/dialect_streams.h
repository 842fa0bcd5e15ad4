// What pds sends for every display type, write by write, spelled out byte for
// byte for the texts TOTAL (line 1), SUB (line 2) and 12,000 (line 3). Shared
// by the tests of the dialect table and of the program on a virtual port.
// Among them: type "4" is one 40-byte write of TOTAL, 15 spaces, 14 spaces and
// 12,000; types "6" and "G" show line 3 alone, whatever lines 1 and 2 hold.
#pragma once

#include <string>
#include <vector>

#include "display/dialects.h"

namespace pink::testing {

inline const display::Texts kSampleTexts{"TOTAL", "SUB", "12,000"};

struct DialectStream {
  std::string type;
  std::vector<display::Action> actions;

  // Everything that reaches the display, in order.
  std::string bytes() const {
    std::string all;
    for (const auto& a : actions) all += a.bytes;
    return all;
  }
};

inline display::Action out(std::string bytes) { return {false, std::move(bytes)}; }
inline const display::Action kClear{true, {}};
inline std::string spaces(std::size_t n) { return std::string(n, ' '); }

inline std::vector<DialectStream> dialect_streams() {
  const std::vector<display::Action> four{out("\x1b\x40"), out("\x0b"),
                                          out("TOTAL" + spaces(15) + spaces(14) + "12,000"), kClear};
  const std::vector<display::Action> brace{out("\x1b\x7b\x32\x4a"), out("\x1b\x7b\x31\x3b\x31\x48"),
                                           out("TOTAL"), out("\x0a\x0d"), out("12,000")};
  return {
      {"1", {out("\x1b\x40"), out("TOTAL"), kClear, out("\x0d"), out("SUB"), kClear, out("\x0d"),
             out("12,000"), kClear}},
      {"4", four},
      {"5", four},
      {"6", {out("\x1b\x40"), out("\x0c"), out("\x0b"), out("12,000"), kClear}},
      {"7", {out("\x1b\x40"), out("\x0b"), out("TOTAL" + spaces(15) + spaces(17) + "SUB"), kClear}},
      {"8", {out("\x1b\x40"), out("\x0c"), out("\x0b"), out("TOTAL" + spaces(5) + "12,000"), kClear}},
      {"9", {out("\x0c"), out("TOTAL" + spaces(7) + "12,000"), kClear}},
      {"C", {out("\x1b\x40"), out("\x0b"), out("TOTAL" + spaces(27) + "12,000"), kClear}},
      {"G", {out("\x1b\x7b\x32\x4a"), out("\x0d"), out("12,000")}},
      {"H", {out("\x1f"), out("\x11"), out("TOTAL" + spaces(15) + "12,000")}},
      {"I", brace},
      {"K", brace},
      {"L", {out("\x1b\x5b\x32\x4a"), out("\x1b\x5b\x31\x3b\x31\x48" "TOTAL"), out("\x1b\x5b\x32\x3b\x31\x48" "12,000")}},
  };
}

}  // namespace pink::testing
