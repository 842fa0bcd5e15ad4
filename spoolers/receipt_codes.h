// Control sequences the receipt spoolers send to the receipt printers, per
// model code and path, as the exact bytes that reach the printer.
#pragma once

#include <array>
#include <string_view>

namespace pink::spoolers::codes {

using namespace std::string_view_literals;

// Stored logo ("LOGOPRT").
inline constexpr auto kLogoModel7 = "\x1D\x2F\x00\x01"sv;        // GS / 0 1
inline constexpr auto kLogoModelBSerial = "\x1F\x30\x03"sv;     // select logo 3
inline constexpr auto kLogoModelBParallel = "\x1F\x30\x04"sv;   // select logo 4
inline constexpr auto kLogoModelBPrint = "\x1D\x2F\x00"sv;      // GS / 0

// Stored logo chosen by the option code, for the other models. Each entry is
// the writes made, in order; the parallel port takes only the NV images.
struct OptionLogo {
  char option;
  std::array<std::string_view, 2> serial;
  std::array<std::string_view, 2> parallel;
};

inline constexpr std::array kOptionLogos{
    OptionLogo{'1', {"\x1C\x70\x01\x00"sv, {}}, {"\x1C\x70\x01\x00"sv, {}}},  // FS p 1 0
    OptionLogo{'2', {"\x1C\x70\x01\x03"sv, {}}, {"\x1C\x70\x01\x03"sv, {}}},  // FS p 1 3
    OptionLogo{'5', {"\x1D\x47\x30"sv, {}}, {}},                             // GS G 0
    OptionLogo{'6', {"\x1B\x61\x31"sv, "\x1C\x70\x02\x00"sv}, {}},            // centre, FS p 2 0
};

// Bar codes ("BARPRT", "BARPRT2"), the common dialect: HRI font, height,
// module width, centring, then GS k with the NUL-terminated data.
inline constexpr std::array kBarcodeSetup{
    "\x1D\x66\x01"sv,  // GS f 1: HRI font B
    "\x1D\x68\x30"sv,  // GS h 48: height
    "\x1D\x77\x02"sv,  // GS w 2: module width
    "\x1B\x61\x31"sv,  // ESC a 1: centre
};
inline constexpr auto kBarcodeCode39 = "\x1D\x6B\x04"sv;  // GS k 4 (BARPRT)
inline constexpr auto kBarcodeEan13 = "\x1D\x6B\x02"sv;   // GS k 2 (BARPRT2)

// Model "A": its own bar code dialect, data after a fixed length byte.
inline constexpr std::array kBarcodeModelASetup{
    "\x1B\x61\x01"sv,  // ESC a 1
    "\x1D\x77\x02"sv,  // GS w 2
    "\x1D\x68\x32"sv,  // GS h 50
};
inline constexpr auto kBarcodeModelA = "\x1D\x6B\x73\x0E"sv;
inline constexpr auto kBarcodeModelATail = "  \r\n"sv;

// Model "4" on the parallel port: Code 128 in code set B, each character's
// value (code - 32) after the start-B value 104, ended by FF 0D.
inline constexpr std::array kBarcodeModel4Setup{
    "\x1D\x68\x50"sv,      // height
    "\x1D\x77\x00\x01"sv,  // module width
    "\x1D\x50\x01"sv,
    "\x1D\x66\x00"sv,      // HRI font
    "\x1D\x48\x02"sv,      // HRI below
    "\x1D\x6B\x08\x68"sv,  // bar code 8, start B
};
inline constexpr auto kBarcodeModel4End = "\xFF\x0D\r\n"sv;

// The library path's centring before a signature.
inline constexpr auto kCentre = "\x1B\x61\x31"sv;

// Logo file rows on the parallel port (model "4"): the file's last 9,296
// bytes as 166 rows of 56 bytes, last row first, sent as 576-dot rows.
inline constexpr auto kLogoStart1 = "\x12\x7E\x64"sv;
inline constexpr auto kLogoStart2 = "\x1B\x3D\x31"sv;
inline constexpr auto kLogoStart3 = "\x12\x7A\x00\x48\x21"sv;
inline constexpr auto kLogoRow = "\x1B\x56\x01\x00"sv;
inline constexpr auto kLogoEnd = "\x12\x7A\x01\x00"sv;
inline constexpr std::size_t kLogoRows = 166;
inline constexpr std::size_t kLogoRowBytes = 56;
inline constexpr std::size_t kLogoMargin = 8;  // blank bytes each side of a row

}  // namespace pink::spoolers::codes
