// The bars of a printed bar code: what the printer's own encoder makes of
// the data of a GS k command. Pure.
//
// A bar code is a run of elements, bar and space by turns, starting and
// ending with a bar, each a whole number of modules wide (the quiet zones are
// not part of it). Codes with two element widths (CODE39, ITF) use 1 for a
// narrow element and 2 for a wide one; the renderer turns them into dots.
//
// Systems drawn: UPC-A, JAN13 (EAN13), JAN8 (EAN8), CODE39, ITF and CODE128.
// Data a printer refuses (a character outside the system's set, a wrong
// length, a wrong check digit) give no bar code, and the reason.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pink::vprinter {

struct Bars {
  std::vector<std::uint8_t> elements;  // bar, space, bar ... widths
  bool two_widths = false;             // 1 narrow, 2 wide (CODE39, ITF)
  std::string hri;                     // the human-readable text under or over it
  std::string error;                   // why nothing prints; empty when it does
  bool ok() const { return error.empty(); }
};

// The bars of GS k m with `data` (m 0..6 as 65..71; 73 CODE128).
Bars encode_bar_code(std::uint32_t m, std::string_view data);

// Each system on its own, for callers that know which they want.
Bars encode_code39(std::string_view data);
Bars encode_code128(std::string_view data);  // starts "{A", "{B" or "{C"
Bars encode_ean13(std::string_view digits);  // 12 digits, or 13 with a right check digit
Bars encode_ean8(std::string_view digits);   // 7 digits, or 8 with a right check digit
Bars encode_upca(std::string_view digits);   // 11 digits, or 12 with a right check digit
Bars encode_itf(std::string_view digits);    // an even number of digits

// The check value of CODE128 symbol values: the start value plus each data
// value times its position, modulo 103.
std::uint32_t code128_check(std::uint32_t start, const std::vector<std::uint32_t>& values);

// How wide a bar code prints, in dots, with module width `module` (the wide
// element of a two-width code is 5/2 of a narrow one, rounded up).
std::uint32_t wide_dots(std::uint32_t module);
std::uint32_t bars_width(const Bars& bars, std::uint32_t module);

}  // namespace pink::vprinter
